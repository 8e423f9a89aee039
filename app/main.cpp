// The program: splash, the long-lived windows in their order, the tables
// named on the command line, then the event loop until the main window closes.
#include "Artwork.h"
#include "ClientMenu.h"
#include "Program.h"
#include "Splash.h"

#include "ui/CommandList.h"
#include "ui/ErrorGuard.h"
#include "ui/QtServices.h"

#include <QStringList>

int main(int argc, char **argv)
{
    qvx::ui::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("QVX"));
    QApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    qvx::ui::QtServices services;
    qvx::ui::Services::install(&services);
    qvx::ui::installIconTheme();
    QApplication::setWindowIcon(qvx::app::programIcon());

    auto splash = std::make_unique<TSplashForm>();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    TProgram program;

    splash->hide();
    splash.reset();

    TMainForm *mainForm = program.MainForm();
    mainForm->show();
    const QStringList files = QApplication::arguments().mid(1);
    for (const QString &file : files)
        qvx::ui::guarded(mainForm, [&] { mainForm->OpenFile(file); });
    // Several tables at once: each caption in sight.
    if (files.size() > 1)
        mainForm->command(QStringLiteral("WindowCascade"))->execute();

    const int result = QApplication::exec();
    return result;
}
