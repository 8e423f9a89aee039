#include "TextSearch.h"

#include "ui/ErrorGuard.h"
#include "ui/FindDialogs.h"
#include "ui/Services.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>

namespace qvx::ui {

TextSearch::TextSearch(QWidget *owner, std::function<TextTarget()> target)
    : QObject(owner), m_owner(owner), m_target(std::move(target))
{
    // The dialogs are windows of their own: hiding the owner does not hide them.
    owner->installEventFilter(this);
}

TFindDialog *TextSearch::findDialog()
{
    if (!m_findDialog) {
        m_findDialog = new TFindDialog(m_owner);
        TFindDialog *dialog = m_findDialog;
        connect(dialog, &TFindDialog::find, this,
                [this, dialog] { guarded(dialog, [&] { find(dialog->findText(), dialog->options()); }); });
    }
    return m_findDialog;
}

TReplaceDialog *TextSearch::replaceDialog()
{
    if (!m_replaceDialog) {
        m_replaceDialog = new TReplaceDialog(m_owner);
        TReplaceDialog *dialog = m_replaceDialog;
        connect(dialog, &TReplaceDialog::find, this,
                [this, dialog] { guarded(dialog, [&] { find(dialog->findText(), dialog->options()); }); });
        connect(dialog, &TReplaceDialog::replace, this,
                [this, dialog] { guarded(dialog, [this] { replaceOne(); }); });
        connect(dialog, &TReplaceDialog::replaceAll, this,
                [this, dialog] { guarded(dialog, [this] { replaceAll(); }); });
    }
    return m_replaceDialog;
}

bool TextSearch::isSearchWidget(const QWidget *widget) const
{
    if (!widget)
        return false;
    for (const QWidget *dialog : { static_cast<const QWidget *>(m_findDialog.data()),
                                   static_cast<const QWidget *>(m_replaceDialog.data()) }) {
        if (dialog && (widget == dialog || dialog->isAncestorOf(widget)))
            return true;
    }
    return false;
}

void TextSearch::showFind(bool fromStart)
{
    TFindDialog *dialog = findDialog();
    m_findFromStart = fromStart;
    dialog->FindEdit->setText(m_lastFindText);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TextSearch::findNext()
{
    find(m_lastFindText, m_lastFindOptions);
}

void TextSearch::showReplace()
{
    TReplaceDialog *dialog = replaceDialog();
    dialog->FindEdit->setText(m_lastFindText);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TextSearch::find(const QString &text, const FindOptions &options)
{
    TextTarget target = m_target();
    if (text.isEmpty() || !target.isValid())
        return;
    m_lastFindText = text;
    m_lastFindOptions = options;
    m_searched = true;
    const bool fromStart = m_findFromStart;
    m_findFromStart = false;
    const bool found = target.find(text, options, fromStart);
    emit searchDone();
    if (!found)
        Services::current().message(m_owner, MessageIcon::Information,
                                    QGuiApplication::applicationDisplayName(),
                                    QStringLiteral("Search string '%1' not found").arg(text), ButtonOk);
}

void TextSearch::replaceOne()
{
    TReplaceDialog *dialog = replaceDialog();
    const QString wanted = dialog->findText();
    const FindOptions options = dialog->options();
    TextTarget target = m_target();
    if (target.selectionMatches(wanted, options))
        target.replaceSelection(dialog->replaceText());
    find(wanted, options);
}

void TextSearch::replaceAll()
{
    TReplaceDialog *dialog = replaceDialog();
    const QString wanted = dialog->findText();
    const FindOptions options = dialog->options();
    TextTarget target = m_target();
    if (wanted.isEmpty() || !target.isValid())
        return;
    m_lastFindText = wanted;
    m_lastFindOptions = options;
    m_searched = true;
    bool first = true;
    // A replacement that contains the searched text must not be found again:
    // the search goes on after each replacement.
    while (target.find(wanted, options, first)) {
        first = false;
        target.replaceSelection(dialog->replaceText());
    }
    emit searchDone();
}

bool TextSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner && event->type() == QEvent::Hide && !m_owner->isVisible())
        hideDialogs();
    return QObject::eventFilter(watched, event);
}

void TextSearch::hideDialogs()
{
    if (m_findDialog)
        m_findDialog->hide();
    if (m_replaceDialog)
        m_replaceDialog->hide();
}

} // namespace qvx::ui
