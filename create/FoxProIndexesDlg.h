// "Define Index": the fields of a FoxPro index for the table being defined
// in the New Table window, in index order, and whether it is unique; OK goes
// on to naming it. Created once; "U&nique" keeps its state between uses,
// the field lists are rebuilt each time.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class TFieldMover;
class TSaveFoxProIndexFormDlg;

class TFoxProIndexFormDlg : public QDialog {
    Q_OBJECT
public:
    TFoxProIndexFormDlg(TNewTableIndexHost &host, TSaveFoxProIndexFormDlg &saveDlg,
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
    QCheckBox *Sensitive; // shown, never available
    QCheckBox *Descending; // shown, never available
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // The options of the last confirmed use; empty from the start of each use.
    qvx::IndexDef::Options Options;

    // Lists the host's fields and shows the dialog; on OK runs the naming
    // dialog and returns true (whether or not the name was confirmed).
    bool Execute();

private:
    TNewTableIndexHost &m_host;
    TSaveFoxProIndexFormDlg &m_saveDlg;
};
