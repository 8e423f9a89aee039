#include "DBEdit.h"

#include "ErrorGuard.h"

namespace qvx::ui {

DBEdit::DBEdit(QWidget *parent) : QLineEdit(parent), m_link(new FieldLink(this))
{
    connect(m_link, &FieldLink::changed, this, &DBEdit::load);
    // Only the user's typing writes; setText() from load() does not emit textEdited.
    connect(this, &QLineEdit::textEdited, this, &DBEdit::store);
}

void DBEdit::load()
{
    if (m_link->writing())
        return;
    QString text;
    guarded(this, [&] { text = m_link->text(); });
    if (text != QLineEdit::text())
        setText(text);
}

void DBEdit::store(const QString &text)
{
    if (!m_link->isBound())
        return;
    if (!guarded(this, [&] { m_link->write(text); }))
        load();
}

} // namespace qvx::ui
