// The naming dialog of an index that has one name box ("Index name:"): it
// hands the confirmed definition, under the name typed, to the New Table
// window. The Paradox and FoxPro naming dialogs are this with their own
// caption and size.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TIndexNameDlg : public QDialog {
    Q_OBJECT
public:
    TIndexNameDlg(TNewTableIndexHost &host, const QString &objectName, const QString &caption,
                  QWidget *parent);

    QLabel *IndexNameLabel;
    QLineEdit *EditIndexName;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

protected:
    // Shows the dialog; on OK records definition (its fields and options)
    // under the name typed and returns true. Cancel records nothing.
    bool Confirm(DBIndexList definition);

private:
    TNewTableIndexHost &m_host;
};
