// "Save Index As...": names a FoxPro index and hands the definition to the
// New Table window. The name starts as "<Table>_" on every use.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TSaveFoxProIndexFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSaveFoxProIndexFormDlg(TNewTableIndexHost &host, QWidget *parent = nullptr);

    QLabel *IndexNameLabel;
    QLineEdit *EditIndexName;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // Shows the dialog with the name "<Table>_"; on OK records definition
    // (its fields and options) under the name typed and returns true. Cancel
    // records nothing.
    bool Execute(DBIndexList definition);

private:
    TNewTableIndexHost &m_host;
};
