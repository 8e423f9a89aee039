// "Define Secondary Index": the fields and options of a Paradox secondary
// index for the table being defined in the New Table window; OK goes on to
// naming it. Created once; the check boxes keep their state between uses,
// the field lists are rebuilt each time.
#pragma once

#include "create/FieldsIndexDlg.h"

class QCheckBox;
class TSaveParadoxIndexForm;

class TSecondaryIndexFormDlg : public TFieldsIndexDlg {
    Q_OBJECT
public:
    TSecondaryIndexFormDlg(TNewTableIndexHost &host, TSaveParadoxIndexForm &saveDlg,
                           QWidget *parent = nullptr);

    QCheckBox *Maintained;

    // Lists the host's fields and shows the dialog; on OK takes the options
    // from the check boxes, runs the naming dialog and returns true (whether
    // or not the name was confirmed).
    bool Execute();

    // "U&nique" and "&Maintained" exclude each other: while one is checked
    // the other is disabled (but keeps its check).
    void UniqueClick();
    void MaintainedClick();

private:
    TSaveParadoxIndexForm &m_saveDlg;
};
