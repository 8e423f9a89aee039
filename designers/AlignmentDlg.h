// "Alignment": how the designers line up the selected controls with the
// primary one. It only collects the choices; the designer applies them.
// Made once; the stored results stay until the next OK.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

class TAlignmentFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAlignmentFormDlg(QWidget *parent = nullptr);

    QLineEdit *LeftEdit; // "Left:"
    QLineEdit *TopEdit; // "Top:"
    QGroupBox *HorizontalGroup; // " Horizontal ": No Change, Left Sides, Centers, Right Sides
    QGroupBox *VerticalGroup; // " Vertical ": No Change, Tops, Centers, Bottoms
    QButtonGroup *HorizontalChoice; // ids 0..3 in that order
    QButtonGroup *VerticalChoice;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // The stored results of the last OK.
    int Left = 0;
    int Top = 0;
    int Horizontal = 0;
    int Vertical = 0;

    // Both boxes to "0", both groups to their first item; the stored results
    // are not touched.
    void ClearChoices();
    // Shows the dialog modally through the services; on OK stores the two
    // numbers and choices and returns true. A box that holds no integer
    // throws qvx::EngineError "'<text>' is not a valid integer value",
    // keeping what was stored before it.
    bool Execute();
};
