#include "about.h"

#include "Artwork.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(207, 278);
    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(QPixmap::fromImage(qvx::app::aboutPicture()));
    ProgramIcon->setGeometry(0, 0, 207, 278);
    ProgramIcon->setScaledContents(false);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}
