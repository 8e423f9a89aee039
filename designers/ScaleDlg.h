// "Scaling": a factor in percent for the designers' "Scale ..." command.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

class TScaleFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TScaleFormDlg(QWidget *parent = nullptr);

    QLineEdit *ScaleEdit; // text "100"
    QSpinBox *UpDown1; // 0..200, step 10, position 100, kept in step with ScaleEdit
    QPushButton *ScaleBtn; // "&Do scale", default, closes with OK
    QPushButton *RestoreBtn; // "&Restore", closes with Cancel

    int Factor = 100;

    // The factor becomes 100; shows the dialog through the services; on OK
    // the factor is ScaleEdit's text as an integer (or the conversion
    // error) and the result true; otherwise 100 and false.
    bool Execute();
};
