// The splash window shown while the program creates its windows: no border,
// on top of everything, exactly the size of its picture.
#pragma once

#include <QImage>
#include <QWidget>

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget *parent = nullptr);
    QImage Picture;

protected:
    void paintEvent(QPaintEvent *event) override;
};
