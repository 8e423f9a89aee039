// "Tab Order": the designer's records in the order the live form tabs
// through them, to be rearranged with Up and Down.
#pragma once

#include "designers/FormDesigner.h"

#include <QDialog>
#include <QList>

#include <vector>

class QListWidget;
class QPushButton;

class TTabOrderDlg : public QDialog {
    Q_OBJECT
public:
    explicit TTabOrderDlg(QWidget *parent = nullptr);

    QListWidget *ControlList; // one entry per record: "caption (kind)"
    QPushButton *UpBtn; // "&Up": the current entry one place earlier
    QPushButton *DownBtn; // "&Down": one place later
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // Lists the records in their order.
    void SetRecords(const std::vector<smControls> &records);
    // The ControlIndex of every entry, in the list's order.
    QList<int> Order() const;

private:
    void MoveCurrent(int step);
};
