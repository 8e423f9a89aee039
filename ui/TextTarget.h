// The edit and search commands' view of a text control: a one-line edit
// (also the editor of a grid cell), a rich or plain text edit. It answers
// what a command can do there and does it, so the commands need not know
// which kind of control has the focus.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace qvx::ui {

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
    bool down = true; // search forward from the cursor
};

class TextTarget {
public:
    // Null when widget is no text control.
    explicit TextTarget(QWidget *widget = nullptr);
    static bool isTextControl(const QWidget *widget);

    QWidget *widget() const { return m_widget; }
    bool isValid() const { return !m_widget.isNull(); }

    bool isReadOnly() const;
    bool canUndo() const;
    bool hasSelection() const;
    bool hasText() const;
    bool canPaste() const; // writable, and the clipboard holds text

    void undo();
    void cut();
    void copy();
    void paste();
    void selectAll();
    void deleteSelection();

    QString selectedText() const;
    void replaceSelection(const QString &text);
    // Selects the next occurrence of text from the cursor (or from the start,
    // or the end when searching up, with fromEdge); false when there is none.
    bool find(const QString &text, const FindOptions &options, bool fromEdge = false);
    // Does the selection match text under options?
    bool selectionMatches(const QString &text, const FindOptions &options) const;

private:
    QPointer<QWidget> m_widget;
};

} // namespace qvx::ui
