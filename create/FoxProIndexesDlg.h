// "Define Index": the fields of a FoxPro index for the table being defined
// in the New Table window, in index order, and whether it is unique; OK goes
// on to naming it. Created once; "U&nique" keeps its state between uses,
// the field lists are rebuilt each time.
#pragma once

#include "create/FieldsIndexDlg.h"

class TSaveFoxProIndexFormDlg;

// "&Case sensitive" and "De&scending" are shown and never available.
class TFoxProIndexFormDlg : public TFieldsIndexDlg {
    Q_OBJECT
public:
    TFoxProIndexFormDlg(TNewTableIndexHost &host, TSaveFoxProIndexFormDlg &saveDlg,
                        QWidget *parent = nullptr);

    // Lists the host's fields and shows the dialog; on OK runs the naming
    // dialog and returns true (whether or not the name was confirmed).
    bool Execute();

private:
    TSaveFoxProIndexFormDlg &m_saveDlg;
};
