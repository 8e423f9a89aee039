// Find and replace for a window's search commands: it owns the find and
// replace dialogs, remembers the last search, and searches the text control
// its owner names at the moment of each search (the control that has the
// focus, as the owner sees it). A search string that is not found is said in
// a message box through Services.
#pragma once

#include "ui/TextTarget.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class TFindDialog;
class TReplaceDialog;

namespace qvx::ui {

class TextSearch : public QObject {
    Q_OBJECT
public:
    // owner: the parent of the dialogs and of the message box; target: the
    // text control to search now (an invalid target makes a search do nothing).
    TextSearch(QWidget *owner, std::function<TextTarget()> target);

    // The dialogs, made on first use.
    TFindDialog *findDialog();
    TReplaceDialog *replaceDialog();
    // Is widget one of the dialogs or inside one? Focus there leaves the
    // searched text where it was.
    bool isSearchWidget(const QWidget *widget) const;

    // Has a search run (so that "find next" has something to repeat)?
    bool hasSearched() const { return m_searched; }
    QString lastFindText() const { return m_lastFindText; }
    FindOptions lastFindOptions() const { return m_lastFindOptions; }

    // Shows the find dialog with the last searched text; with fromStart its
    // next search starts at the top (the bottom when searching up).
    void showFind(bool fromStart);
    // Repeats the last search from the cursor.
    void findNext();
    // Shows the replace dialog with the last searched text.
    void showReplace();
    // Replaces the selection when it is the replace dialog's text, then finds the next one.
    void replaceOne();
    // Replaces every occurrence of the replace dialog's text in the target.
    void replaceAll();

signals:
    // A search or replacement ran on a target (found or not).
    void searchDone();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void find(const QString &text, const FindOptions &options);
    void hideDialogs();

    QWidget *m_owner;
    std::function<TextTarget()> m_target;
    QPointer<TFindDialog> m_findDialog;
    QPointer<TReplaceDialog> m_replaceDialog;
    QString m_lastFindText;
    FindOptions m_lastFindOptions;
    bool m_findFromStart = false; // the next search from the find dialog starts at the top
    bool m_searched = false;
};

} // namespace qvx::ui
