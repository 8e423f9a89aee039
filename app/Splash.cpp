#include "Splash.h"

#include "Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

TSplashForm::TSplashForm(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      Picture(qvx::app::splashPicture())
{
    setObjectName(QStringLiteral("SplashForm"));
    setFixedSize(Picture.size());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TSplashForm::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, Picture);
}
