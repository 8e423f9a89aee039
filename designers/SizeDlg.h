// "Size": how the designers size the selected controls (to the smallest,
// the largest, or a typed size). It only collects the choices.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

class TSizeFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSizeFormDlg(QWidget *parent = nullptr);

    QLineEdit *WidthEdit; // "Width:"
    QLineEdit *HeightEdit; // "Height:"
    QGroupBox *HorizontalGroup; // No Change, Shrink to smales, Grow to largest
    QGroupBox *VerticalGroup;
    QButtonGroup *HorizontalChoice; // ids 0..2
    QButtonGroup *VerticalChoice;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    int SizeWidth = 0;
    int SizeHeight = 0;
    int Horizontal = 0;
    int Vertical = 0;

    // Stored width and height to 0, both boxes to "0", both groups to their
    // first item.
    void ClearChoices();
    // As TAlignmentFormDlg::Execute, with width, height and the choices.
    bool Execute();
};
