// Services for tests: every dialog and message box is answered from a queue
// the test fills beforehand, and everything shown is recorded so the test can
// check it. An unexpected dialog (nothing queued) fails loudly instead of
// waiting for a user. Installs itself for its lifetime.
#pragma once

#include "ui/Services.h"

#include <QList>
#include <QPrinter>

#include <deque>
#include <functional>
#include <memory>

class ScriptedServices : public qvx::ui::Services {
public:
    ScriptedServices();
    ~ScriptedServices() override;

    // --- answers, taken in order; std::nullopt means "cancelled" ---------
    std::deque<std::optional<qvx::ui::FileDialogAnswer>> openAnswers;
    std::deque<std::optional<qvx::ui::FileDialogAnswer>> saveAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::deque<bool> printAnswers;
    std::deque<bool> printerSetupAnswers;
    std::deque<qvx::ui::MessageButton> messageAnswers; // default when empty: Ok
    std::deque<int> modalAnswers; // result of runModal; default when empty: Rejected

    // --- what was shown --------------------------------------------------
    struct Message {
        qvx::ui::MessageIcon icon;
        QString title;
        QString text;
        unsigned buttons;
    };
    QList<qvx::ui::FileDialogRequest> openRequests;
    QList<qvx::ui::FileDialogRequest> saveRequests;
    QList<QColor> colorRequests;
    QList<QFont> fontRequests;
    int printDialogs = 0;
    int printerSetupDialogs = 0;
    QList<Message> messages;
    QList<QString> modalDialogs; // object names (or class names) of dialogs run
    // A callback run on each modal dialog before it returns, so a test can
    // fill it in; may be empty.
    std::function<void(QDialog &)> onModal;

    QSize screen { 1024, 768 };
    // The printer's page as layouts see it; the printer's own when invalid.
    QSize printerPage;
    int ppi = 96;
    QStringList families { QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif") };

    // The texts of the error boxes shown so far.
    QStringList errors() const;

    std::optional<qvx::ui::FileDialogAnswer> openFile(QWidget *, const qvx::ui::FileDialogRequest &) override;
    std::optional<qvx::ui::FileDialogAnswer> saveFile(QWidget *, const qvx::ui::FileDialogRequest &) override;
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override;
    std::optional<QFont> chooseFont(QWidget *, const QFont &initial) override;
    bool printDialog(QWidget *) override;
    bool printerSetupDialog(QWidget *) override;
    qvx::ui::MessageButton message(QWidget *, qvx::ui::MessageIcon icon, const QString &title,
                                   const QString &text, unsigned buttons) override;
    QPrinter &printer() override;
    QSize printerPageSize() override
    {
        return printerPage.isValid() ? printerPage : qvx::ui::Services::printerPageSize();
    }
    QSize screenSize() const override { return screen; }
    int pixelsPerInch() const override { return ppi; }
    QStringList fontFamilies() const override { return families; }
    int runModal(QDialog &dialog) override;

private:
    std::unique_ptr<QPrinter> m_printer;
    qvx::ui::Services *m_previous = nullptr;
};
