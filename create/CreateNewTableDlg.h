// The start of creating a table: a small dialog asking for the new table's
// name and kind. It then fills the New Table window's type pick list from
// the kind's field-type file, hands over the name and kind, and opens that
// window. Made once; it keeps what the user typed and picked.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class TNewTableForm;

class TCreateNewBDETable : public QDialog {
    Q_OBJECT
public:
    explicit TCreateNewBDETable(TNewTableForm &newTable, QWidget *parent = nullptr);

    // Asks for the name and kind and opens the New Table window on them;
    // false when the user cancels. A type text given here is put in the
    // type box first (the XML Document command offers "XML Table").
    bool Execute(const QString &presetType = {});

    // The list items, in order; typed text that is none of them counts as
    // Paradox.
    static QStringList TypeItems();
    // The field-type file of a list item (-1 for none).
    static QString FieldTypeFileName(int item);

    QString ChosenName;
    QLineEdit *NameEdit;
    QComboBox *SelectType;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

private:
    TNewTableForm &m_newTable;
};
