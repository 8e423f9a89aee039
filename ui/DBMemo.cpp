#include "DBMemo.h"

#include "ErrorGuard.h"

#include <QKeyEvent>

namespace qvx::ui {

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent), m_link(new FieldLink(this))
{
    connect(m_link, &FieldLink::changed, this, &DBMemo::load);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::store);
}

void DBMemo::load()
{
    if (m_link->writing())
        return;
    QString text;
    guarded(this, [&] { text = m_link->text(); });
    if (text == toPlainText())
        return;
    m_loading = true;
    setPlainText(text);
    m_loading = false;
}

void DBMemo::store()
{
    if (m_loading || !m_link->isBound())
        return;
    const QString text = toPlainText();
    if (!guarded(this, [&] { m_link->write(text); }))
        load(); // refused: show the field as it is
}

void DBMemo::mouseDoubleClickEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void DBMemo::keyReleaseEvent(QKeyEvent *event)
{
    QPlainTextEdit::keyReleaseEvent(event);
    emit keyUp(event->key());
}

} // namespace qvx::ui
