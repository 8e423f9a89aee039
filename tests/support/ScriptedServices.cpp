#include "ScriptedServices.h"

#include <QDialog>
#include <QTest>

using namespace qvx::ui;

namespace {
// Takes the next answer, or fails the test when none was queued: a dialog the
// test did not expect must not pass unnoticed.
template<typename T> T take(std::deque<T> &queue, const char *what)
{
    if (queue.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected %1 dialog").arg(QLatin1String(what))), __FILE__,
                     __LINE__);
        return T {};
    }
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}
} // namespace

ScriptedServices::ScriptedServices()
{
    try {
        m_previous = &Services::current();
    } catch (const std::logic_error &) {
        m_previous = nullptr;
    }
    Services::install(this);
}

ScriptedServices::~ScriptedServices()
{
    Services::install(m_previous);
}

QStringList ScriptedServices::errors() const
{
    QStringList texts;
    for (const Message &m : messages)
        if (m.icon == MessageIcon::Error)
            texts << m.text;
    return texts;
}

std::optional<FileDialogAnswer> ScriptedServices::openFile(QWidget *, const FileDialogRequest &r)
{
    openRequests << r;
    return take(openAnswers, "open");
}

std::optional<FileDialogAnswer> ScriptedServices::saveFile(QWidget *, const FileDialogRequest &r)
{
    saveRequests << r;
    return take(saveAnswers, "save");
}

std::optional<QColor> ScriptedServices::chooseColor(QWidget *, const QColor &initial)
{
    colorRequests << initial;
    return take(colorAnswers, "colour");
}

std::optional<QFont> ScriptedServices::chooseFont(QWidget *, const QFont &initial)
{
    fontRequests << initial;
    return take(fontAnswers, "font");
}

bool ScriptedServices::printDialog(QWidget *)
{
    ++printDialogs;
    return take(printAnswers, "print");
}

bool ScriptedServices::printerSetupDialog(QWidget *)
{
    ++printerSetupDialogs;
    return take(printerSetupAnswers, "printer set-up");
}

MessageButton ScriptedServices::message(QWidget *, MessageIcon icon, const QString &title,
                                        const QString &text, unsigned buttons)
{
    messages << Message { icon, title, text, buttons };
    if (messageAnswers.empty())
        return ButtonOk;
    MessageButton answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

QPrinter &ScriptedServices::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
    }
    return *m_printer;
}

int ScriptedServices::runModal(QDialog &dialog)
{
    modalDialogs << (dialog.objectName().isEmpty() ? QString::fromLatin1(dialog.metaObject()->className())
                                                   : dialog.objectName());
    // A copy runs, so that the callback may replace onModal (for a dialog
    // the shown one opens) while it runs.
    if (const std::function<void(QDialog &)> callback = onModal)
        callback(dialog);
    if (modalAnswers.empty())
        return QDialog::Rejected;
    int answer = modalAnswers.front();
    modalAnswers.pop_front();
    return answer;
}
