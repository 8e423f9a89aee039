// The XML table window: a client data set read from a data packet file,
// edited in memory and written back to its file when the window closes (or
// the program quits), only if the data changed (XML for a ".xml" name, the
// binary packet otherwise).
#pragma once

#include "TableForm.h"

class TXMLTableForm : public TTableForm {
    Q_OBJECT
public:
    TXMLTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent = nullptr);
    ~TXMLTableForm() override;

    qvx::ClientDataSet DataSet;

    qvx::ui::DocumentSource document() const override;
    // Posts a pending edit and writes the packet back when it changed; a
    // failed write keeps the data set open with its rows.
    void commitPendingEdits() override;
    // Commits, then closes the data set; a failed write keeps the window
    // (and the edits) open.
    bool FormClose() override;
    bool answers(const QString &command) const override;
    void runCommand(const QString &command) override;

protected:
    void openDocument(const qvx::ui::DocumentSource &source) override;
    bool layoutsEmptyPicture() const override { return true; }
};
