// The program's one error handler: a command or event handler that throws
// ends there, its error text is shown in an error box, and the program goes
// on with the state the handler had reached. No exception crosses the event
// loop.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

class QWidget;

namespace qvx::ui {

// Shows the error box for an exception that ended a handler.
void showError(QWidget *parent, const std::exception &error);

// Runs fn; a std::exception it throws is shown in an error box (through
// Services::current()) and swallowed. Returns false when fn failed.
bool guarded(QWidget *parent, const std::function<void()> &fn);

// The application object of the program: an exception escaping any event
// handler is shown the same way instead of ending the process.
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace qvx::ui
