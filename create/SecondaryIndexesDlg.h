// "Define Secondary Index": the fields and options of a Paradox secondary
// index for the table being defined in the New Table window; OK goes on to
// naming it. Created once; the check boxes keep their state between uses,
// the field lists are rebuilt each time.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class TFieldMover;
class TSaveParadoxIndexForm;

class TSecondaryIndexFormDlg : public QDialog {
    Q_OBJECT
public:
    TSecondaryIndexFormDlg(TNewTableIndexHost &host, TSaveParadoxIndexForm &saveDlg,
                           QWidget *parent = nullptr);

    TFieldMover *FieldMover; // holds the lists and move buttons below
    QListWidget *SrcList;
    QListWidget *DstList;
    QPushButton *IncludeBtn;
    QPushButton *IncAllBtn;
    QPushButton *ExcludeBtn;
    QPushButton *ExAllBtn;
    QGroupBox *IndexOptions;
    QCheckBox *Unique;
    QCheckBox *Maintained;
    QCheckBox *Sensitive;
    QCheckBox *Descending;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // The options of the last confirmed use; empty from the start of each use.
    qvx::IndexDef::Options Options;

    // Lists the host's fields and shows the dialog; on OK takes the options
    // from the check boxes, runs the naming dialog and returns true (whether
    // or not the name was confirmed).
    bool Execute();

    // "U&nique" and "&Maintained" exclude each other: while one is checked
    // the other is disabled (but keeps its check).
    void UniqueClick();
    void MaintainedClick();

private:
    TNewTableIndexHost &m_host;
    TSaveParadoxIndexForm &m_saveDlg;
};
