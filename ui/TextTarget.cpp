#include "TextTarget.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>

namespace qvx::ui {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The position of text in line at or after from (before from, searching up);
// -1 when it is not there.
qsizetype findInLine(const QString &line, const QString &text, qsizetype from, const FindOptions &options)
{
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype pos = from;
    while (true) {
        if (options.down) {
            pos = line.indexOf(text, pos, cs);
        } else {
            const qsizetype start = pos - text.size();
            pos = start < 0 ? -1 : line.lastIndexOf(text, start, cs);
        }
        if (pos < 0)
            return -1;
        const qsizetype end = pos + text.size();
        const bool whole
            = (pos == 0 || !isWordChar(line[pos - 1])) && (end >= line.size() || !isWordChar(line[end]));
        if (!options.wholeWord || whole)
            return pos;
        pos = options.down ? pos + 1 : pos + text.size() - 1;
    }
}

} // namespace

TextTarget::TextTarget(QWidget *widget) : m_widget(isTextControl(widget) ? widget : nullptr) { }

bool TextTarget::isTextControl(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget)
        || qobject_cast<const QPlainTextEdit *>(widget);
}

#define QVX_ON_TEXT(lineExpr, textExpr, plainExpr, otherwise)                                                \
    if (auto *line = qobject_cast<QLineEdit *>(m_widget.data())) {                                           \
        lineExpr;                                                                                            \
    } else if (auto *text = qobject_cast<QTextEdit *>(m_widget.data())) {                                    \
        textExpr;                                                                                            \
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(m_widget.data())) {                              \
        plainExpr;                                                                                           \
    } else {                                                                                                 \
        otherwise;                                                                                           \
    }

bool TextTarget::isReadOnly() const
{
    QVX_ON_TEXT(return line->isReadOnly(), return text->isReadOnly(), return plain->isReadOnly(), return true)
}

bool TextTarget::canUndo() const
{
    if (isReadOnly())
        return false;
    QVX_ON_TEXT(return line->isUndoAvailable(), return text->document()->isUndoAvailable(),
                       return plain->document()->isUndoAvailable(), return false)
}

bool TextTarget::hasSelection() const
{
    QVX_ON_TEXT(return line->hasSelectedText(), return text->textCursor().hasSelection(),
                       return plain->textCursor().hasSelection(), return false)
}

bool TextTarget::hasText() const
{
    QVX_ON_TEXT(return !line->text().isEmpty(), return !text->document()->isEmpty(),
                       return !plain->document()->isEmpty(), return false)
}

bool TextTarget::canPaste() const
{
    if (!isValid() || isReadOnly())
        return false;
    const QMimeData *data = QApplication::clipboard()->mimeData();
    return data && data->hasText() && !data->text().isEmpty();
}

void TextTarget::undo()
{
    QVX_ON_TEXT(line->undo(), text->undo(), plain->undo(), return )
}

void TextTarget::cut()
{
    QVX_ON_TEXT(line->cut(), text->cut(), plain->cut(), return )
}

void TextTarget::copy()
{
    QVX_ON_TEXT(line->copy(), text->copy(), plain->copy(), return )
}

void TextTarget::paste()
{
    QVX_ON_TEXT(line->paste(), text->paste(), plain->paste(), return )
}

void TextTarget::selectAll()
{
    QVX_ON_TEXT(line->selectAll(), text->selectAll(), plain->selectAll(), return )
}

void TextTarget::deleteSelection()
{
    if (!hasSelection() || isReadOnly())
        return;
    QVX_ON_TEXT(line->del(), text->textCursor().removeSelectedText(),
                plain->textCursor().removeSelectedText(), return )
}

QString TextTarget::selectedText() const
{
    QVX_ON_TEXT(return line->selectedText(),
                       return text->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'),
                       return plain->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'),
                       return {})
}

void TextTarget::replaceSelection(const QString &replacement)
{
    if (isReadOnly())
        return;
    QVX_ON_TEXT(line->insert(replacement), text->textCursor().insertText(replacement),
                plain->textCursor().insertText(replacement), return )
}

bool TextTarget::selectionMatches(const QString &wanted, const FindOptions &options) const
{
    if (!hasSelection() || wanted.isEmpty())
        return false;
    return selectedText().compare(wanted, options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

bool TextTarget::find(const QString &wanted, const FindOptions &options, bool fromEdge)
{
    if (wanted.isEmpty() || !isValid())
        return false;
    if (auto *line = qobject_cast<QLineEdit *>(m_widget.data())) {
        const QString content = line->text();
        qsizetype from;
        if (fromEdge)
            from = options.down ? 0 : content.size();
        else if (options.down)
            from = line->hasSelectedText() ? line->selectionEnd() : line->cursorPosition();
        else
            from = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        const qsizetype pos = findInLine(content, wanted, from, options);
        if (pos < 0)
            return false;
        line->setSelection(int(pos), int(wanted.size()));
        return true;
    }
    QTextDocument::FindFlags flags;
    if (options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (options.wholeWord)
        flags |= QTextDocument::FindWholeWords;
    if (!options.down)
        flags |= QTextDocument::FindBackward;
    const auto search = [&](auto *edit) {
        QTextCursor cursor = edit->textCursor();
        if (fromEdge)
            cursor.movePosition(options.down ? QTextCursor::Start : QTextCursor::End);
        const QTextCursor found = edit->document()->find(wanted, cursor, flags);
        if (found.isNull())
            return false;
        edit->setTextCursor(found);
        return true;
    };
    if (auto *text = qobject_cast<QTextEdit *>(m_widget.data()))
        return search(text);
    if (auto *plain = qobject_cast<QPlainTextEdit *>(m_widget.data()))
        return search(plain);
    return false;
}

#undef QVX_ON_TEXT

} // namespace qvx::ui
