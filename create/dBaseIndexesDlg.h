// "Create Index": the field or key expression, the options and the subset
// condition of a dBASE index for the table being defined in the New Table
// window; OK goes on to naming it, as a tag when the index is maintained or
// descending, as an index file otherwise. Created once: everything but the
// field list and the options carries over from one use to the next.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TSavedBaseIndexFormDlg;

class TdBaseIndexFormDlg : public QDialog {
    Q_OBJECT
public:
    TdBaseIndexFormDlg(TNewTableIndexHost &host, TSavedBaseIndexFormDlg &saveDlg, QWidget *parent = nullptr);

    QLabel *FieldListLabel;
    QListWidget *SrcList; // sorted, single selection
    QPushButton *IncludeBtn;
    QPushButton *ClearBtn;
    QLabel *IndexedFieldLabel;
    QLineEdit *EditIndexName; // read-only: the field taken with IncludeBtn
    QCheckBox *Unique;
    QCheckBox *Maintained;
    QCheckBox *Descending;
    QPushButton *ExpressionIndexBtn;
    QLabel *ExpressionLabel;
    QLineEdit *EditExpressionIndex;
    QLabel *SubsetLabel;
    QLineEdit *EditSubset;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // The options of the last confirmed use; empty from the start of each use.
    qvx::IndexDef::Options Options;

    // Lists the host's fields and shows the dialog; on OK sets up and runs
    // the naming dialog and returns true (whether or not the name was
    // confirmed).
    bool Execute();

    // The entry selected in SrcList, or empty; enables OK exactly when there
    // is one.
    QString GetSelectedFieldName();
    void IncludeBtnClick();
    void ClearBtnClick();
    // "Descending" and "Maintained" exclude each other: checking one
    // unchecks and disables the other, unchecking it enables the other.
    void DescendingClick();
    void MaintainedClick();
    // The subset condition is in use while either of them is checked.
    void UpdateSubsetState();
    // Switches between indexing the field and indexing an expression.
    void ExpressionIndexBtnClick();

private:
    QString selectedField() const;

    TNewTableIndexHost &m_host;
    TSavedBaseIndexFormDlg &m_saveDlg;
};
