#include "ErrorGuard.h"

#include "Services.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdio>
#include <stdexcept>

namespace qvx::ui {

void showError(QWidget *parent, const std::exception &error)
{
    const QString text = QString::fromUtf8(error.what());
    try {
        const QString title = QGuiApplication::applicationDisplayName();
        Services::current().message(parent ? parent->window() : nullptr, MessageIcon::Error, title, text,
                                    ButtonOk);
    } catch (const std::exception &) {
        // No services to show it with (or showing failed): the error must
        // not get lost all the same.
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

bool guarded(QWidget *parent, const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        showError(parent, e);
        return false;
    } catch (...) {
        showError(parent, std::runtime_error("An unexpected error ended the command"));
        return false;
    }
}

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) { }

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showError(qobject_cast<QWidget *>(receiver), e);
        return true;
    } catch (...) {
        showError(qobject_cast<QWidget *>(receiver),
                  std::runtime_error("An unexpected error ended the command"));
        return true;
    }
}

} // namespace qvx::ui
