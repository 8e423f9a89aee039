// The two field lists of an index dialog that orders by any number of fields:
// the table's fields, kept in alphabetical order, and the indexed fields, in
// the order they were added, with the four buttons that move fields between
// them. The Paradox and FoxPro index dialogs both hold one.
#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// Adds a field name to a list. A list with sorting on keeps its names in
// alphabetical order, letter case aside; empty names and repeats are kept.
void AddFieldName(QListWidget *list, const QString &name);

class TFieldMover : public QWidget {
    Q_OBJECT
public:
    explicit TFieldMover(QWidget *parent = nullptr);

    QLabel *SrcLabel;
    QListWidget *SrcList; // the fields not in the index: sorted, multi-selection
    QPushButton *IncludeBtn;
    QPushButton *IncAllBtn;
    QPushButton *ExcludeBtn;
    QPushButton *ExAllBtn;
    QLabel *DstLabel;
    QListWidget *DstList; // the indexed fields, in index order: multi-selection

    // Empties both lists, puts every name into SrcList and sets the buttons.
    void Reset(const QStringList &fieldNames);
    // The entries of DstList in list order.
    QStringList IndexedFields() const;

    void IncludeBtnClick() { MoveSelected(SrcList, DstList); }
    void IncAllBtnClick() { MoveAll(SrcList, DstList); }
    void ExcludeBtnClick() { MoveSelected(DstList, SrcList); }
    void ExcAllBtnClick() { MoveAll(DstList, SrcList); }

    // The row of the first selected entry; -1 when nothing is selected.
    static int GetFirstSelection(const QListWidget *list);
    // Moves the selected entries of source to the end of target, walking the
    // source from its last entry, so several arrive in reverse order; then
    // selects the source entry now where the first selected one was.
    void MoveSelected(QListWidget *source, QListWidget *target);
    // Moves every entry of source to the end of target in source order.
    void MoveAll(QListWidget *source, QListWidget *target);
    // Focuses list and selects its entry at position, brought into range
    // (-1 is the first entry, past the end the last); then SetButtons.
    void SetItem(QListWidget *list, int position);
    // The include buttons work when SrcList has entries, the exclude
    // buttons when DstList has.
    void SetButtons();
};
