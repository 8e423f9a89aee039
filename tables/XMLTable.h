// The XML table window: a client data set read from a data packet file,
// edited in memory and written back to its file when the window closes,
// only if the data changed (XML for a ".xml" name, the binary packet
// otherwise).
#pragma once

#include "TableForm.h"

class TXMLTableForm : public TTableForm {
    Q_OBJECT
public:
    TXMLTableForm(TableHost &host, TTableData &tableData, QWidget *parent = nullptr);
    ~TXMLTableForm() override;

    qvx::ClientDataSet DataSet;

    // Closes the data set, which writes it back when it changed; a failed
    // write keeps the window (and the edits) open.
    bool FormClose() override;

protected:
    bool layoutsEmptyPicture() const override { return true; }
};
