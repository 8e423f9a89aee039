// "Save Index As ..." for dBASE: names the index as a tag of the table's
// production index or as an index file of its own, and hands the definition
// to the New Table window. The dBASE index dialog sets the mode before each
// use; the boxes keep their text between uses.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TSavedBaseIndexFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSavedBaseIndexFormDlg(TNewTableIndexHost &host, QWidget *parent = nullptr);

    QLabel *FileNameLabel;
    QLineEdit *EditIndexFileName;
    QPushButton *SaveFileBtn;
    QLabel *TagNameLabel;
    QLineEdit *EditIndexTagName;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // Tag mode offers name as the tag name and shuts off the file name;
    // file mode offers it as the file name and shuts off the tag name. The
    // box shut off is emptied.
    void SetMode(bool tagMode, const QString &name);

    // Shows the dialog; on OK records definition with the tag name as its
    // Name and the file name as its File, and returns true. Cancel records
    // nothing.
    bool Execute(DBIndexList definition);

    // Asks for the index file's name in a save-file dialog; a cancelled
    // dialog leaves the name as it was.
    void SaveFileBtnClick();

private:
    TNewTableIndexHost &m_host;
};
