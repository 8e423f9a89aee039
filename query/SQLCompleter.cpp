#include "SQLCompleter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.';
}

} // namespace

TSQLCompleter::TSQLCompleter(QTextEdit *edit)
    : QObject(edit), m_edit(edit), m_completer(new QCompleter(this)), m_model(new QStringListModel(this))
{
    m_completer->setModel(m_model);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setWidget(edit);
    edit->installEventFilter(this);
    // Runs before the completer's own filter on its pop-up.
    m_completer->popup()->installEventFilter(this);
    connect(edit, &QTextEdit::textChanged, this, [this] {
        if (m_typing)
            typed();
    });
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
            [this](const QString &completion) { insertCompletion(completion); });
}

void TSQLCompleter::setNames(const QStringList &tableReferences, const QStringList &fields)
{
    QStringList names;
    for (const QString &reference : tableReferences) {
        const QString name = reference.mid(reference.lastIndexOf(u' ') + 1);
        if (!name.isEmpty() && !name.contains(u'"') && !names.contains(name))
            names << name;
    }
    for (const QString &field : fields) {
        if (!names.contains(field))
            names << field;
        const QString bare = field.mid(field.indexOf(u'.') + 1);
        if (!names.contains(bare))
            names << bare;
    }
    m_model->setStringList(names);
}

QStringList TSQLCompleter::words() const
{
    return m_model->stringList();
}

QString TSQLCompleter::wordBeforeCursor() const
{
    const QTextCursor cursor = m_edit->textCursor();
    const QString line = cursor.block().text().left(cursor.positionInBlock());
    qsizetype start = line.size();
    while (start > 0 && isWordChar(line[start - 1]))
        --start;
    return line.mid(start);
}

bool TSQLCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool popupKey = key->key() == Qt::Key_Enter || key->key() == Qt::Key_Return
        || key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (watched == m_completer->popup()) {
        // These keys end the completion here: the completer would hand them
        // on to the text box as well (a new line, or Escape closing the window).
        if (!popupKey)
            return false;
        QModelIndex chosen = m_completer->popup()->currentIndex();
        if (!chosen.isValid())
            chosen = m_completer->completionModel()->index(0, 0);
        m_completer->popup()->hide();
        if (key->key() != Qt::Key_Escape && chosen.isValid())
            insertCompletion(chosen.data().toString());
        return true;
    }
    if (watched == m_edit) {
        if (popupKey && m_completer->popup()->isVisible())
            return eventFilter(m_completer->popup(), event);
        m_typing = (!key->text().isEmpty() && key->text().at(0).isPrint())
            || (key->key() == Qt::Key_Backspace && m_completer->popup()->isVisible());
    }
    return QObject::eventFilter(watched, event);
}

void TSQLCompleter::typed()
{
    m_typing = false;
    const QString prefix = wordBeforeCursor();
    if (prefix.size() < 2) {
        m_completer->popup()->hide();
        return;
    }
    if (prefix != m_completer->completionPrefix()) {
        m_completer->setCompletionPrefix(prefix);
        m_completer->popup()->setCurrentIndex(m_completer->completionModel()->index(0, 0));
    }
    if (m_completer->completionCount() == 0
        || (m_completer->completionCount() == 1 && m_completer->currentCompletion() == prefix)) {
        m_completer->popup()->hide();
        return;
    }
    QRect at = m_edit->cursorRect();
    at.setWidth(m_completer->popup()->sizeHintForColumn(0)
                + m_completer->popup()->verticalScrollBar()->sizeHint().width());
    m_completer->complete(at);
}

void TSQLCompleter::insertCompletion(const QString &completion)
{
    QTextCursor cursor = m_edit->textCursor();
    const qsizetype typedLength = wordBeforeCursor().size();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(typedLength));
    cursor.insertText(completion);
    m_edit->setTextCursor(cursor);
}
