// What the Paradox and FoxPro index dialogs share: the two field lists with
// their move buttons, the " Index Options " box with "U&nique", "&Case
// sensitive" and "De&scending", OK and Cancel, and showing the dialog over
// the New Table window's fields.
#pragma once

#include "create/IndexHost.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QListWidget;
class QPushButton;
class TFieldMover;

class TFieldsIndexDlg : public QDialog {
    Q_OBJECT
public:
    TFieldMover *FieldMover; // holds the lists and move buttons below
    QListWidget *SrcList;
    QListWidget *DstList;
    QPushButton *IncludeBtn;
    QPushButton *IncAllBtn;
    QPushButton *ExcludeBtn;
    QPushButton *ExAllBtn;
    QGroupBox *IndexOptions;
    QCheckBox *Unique;
    QCheckBox *Sensitive;
    QCheckBox *Descending;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // The options of the last confirmed use; empty from the start of each use.
    qvx::IndexDef::Options Options;

protected:
    // The controls, laid out top to bottom; Options holds the check boxes
    // (the dialog places them in it).
    TFieldsIndexDlg(TNewTableIndexHost &host, const QString &objectName, const QString &caption,
                    Qt::WindowFlags flags, QWidget *parent);
    QGridLayout *OptionsGrid;
    // Empties the options, lists the host's fields and shows the dialog; on
    // OK the definition's fields are the indexed ones in order, joined by
    // ";" (the caller adds the options); nothing on Cancel.
    std::optional<DBIndexList> ShowForFields();

    TNewTableIndexHost &m_host;
};
