// "Save Index As ...": names a Paradox secondary index and hands the
// definition to the New Table window. Created once; the name typed stays
// for the next use.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TSaveParadoxIndexForm : public QDialog {
    Q_OBJECT
public:
    explicit TSaveParadoxIndexForm(TNewTableIndexHost &host, QWidget *parent = nullptr);

    QLabel *IndexNameLabel;
    QLineEdit *EditIndexName;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // Shows the dialog; on OK records definition (its fields and options)
    // under the name typed and returns true. Cancel records nothing.
    bool Execute(DBIndexList definition);

private:
    TNewTableIndexHost &m_host;
};
