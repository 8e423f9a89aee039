// The about box: one picture of our own, shown modally by "About...".
#pragma once

#include <QDialog>

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon; // the picture
};
