// The contract between the main frame and every child window it holds: what
// a child is (its kind, caption and document), how it is opened and saved,
// how its pending edits are committed, which commands it answers, and what
// it hands to the page manager and the editors. The frame holds no child's
// work: it opens a child through this contract and routes each command to
// the active child, and a command the active child does not answer is
// unavailable.
#pragma once

#include "engine/FileKinds.h"

#include <QColor>
#include <QString>

class QWidget;

namespace qvx::ui {

class DBGrid;
class DBImage;
class DBMemo;

// Where a child window's document comes from: a file path, or a database
// (a folder or an alias) and a table name within it.
struct DocumentSource {
    QString path; // the full path of a file; empty when opened by database and table
    QString database; // a folder (ending in "/") or an alias name
    QString table; // a table name within database

    static DocumentSource file(const QString &path);
    static DocumentSource databaseTable(const QString &database, const QString &table);
};

// What a child window needs from the frame that holds it: the status bar it
// writes, the formatting boxes and choices it reads, the style buttons it
// asks to update. The main window implements it; tests can supply their own.
class ChildWindow;

class ChildHost {
public:
    virtual ~ChildHost() = default;

    // The status bar's panels: record number, column index, field name, and
    // the active document's state (read-only and why).
    enum StatusPanel { RecordPanel, ColumnPanel, FieldPanel, StatePanel, StatusPanelCount };
    virtual void setStatusText(int panel, const QString &text) = 0;
    // True for the child the frame's commands act on now; only that child
    // writes the status panels.
    virtual bool isActiveChild(const ChildWindow &child) const = 0;

    // Re-reads the selected column's style from the active child and sets
    // the bold, italic and underline buttons from it.
    virtual void UpdateStyleButtons() = 0;
    // True when the formatting commands act on the selected column's title,
    // false for its cells.
    virtual bool formatsTitles() const = 0;
    // The formatting boxes: font name, size (as typed) and colour, and the
    // colour last chosen in the colour dialog.
    virtual QString fontNameText() const = 0;
    virtual QString fontSizeText() const = 0;
    virtual QColor fontColor() const = 0;
    virtual QColor chosenColor() const = 0;
};

class ChildWindow {
public:
    virtual ~ChildWindow() = default;

    // The window as a widget (what the frame puts in its sub-window).
    virtual QWidget *widget() = 0;
    // A name for the kind of window ("Standard Table", "SQL Table", ...).
    virtual QString kindName() const = 0;
    // The caption the frame shows for it.
    QString caption() const;
    // The file or table it owns; an empty path for one with no file.
    virtual DocumentSource document() const = 0;

    // Opens the document; throws with a message for the user when it cannot.
    virtual void open(const DocumentSource &source) = 0;
    // Writes what the window shows to a new file at path; throws when it cannot.
    virtual void saveToFile(const QString &path) = 0;
    virtual bool canSaveToFile() const { return false; }

    // Commits what the user typed or changed but did not yet store (a cell
    // being edited, an unposted record, a document to write back). Throws
    // when that fails: the window then stays open with its edits. Closing
    // the window and quitting the program both run it.
    virtual void commitPendingEdits() = 0;

    // The commands this window answers, by command name, and whether each
    // can run now. A command it does not answer is unavailable while the
    // window is active.
    virtual bool answers(const QString &command) const = 0;
    virtual bool isAvailable(const QString &command) const { return answers(command); }
    // Runs one of the commands it answers.
    virtual void runCommand(const QString &command) = 0;

    // The font style bits (bold 1, italic 2, underline 4) of what the
    // formatting commands act on now, the selected column's title or cells;
    // -1 for a window with nothing to format.
    virtual int fontStyle(bool titles)
    {
        (void)titles;
        return -1;
    }

    // Called when the window becomes the active child, so that it can write
    // its state into the frame's status panels.
    virtual void activated() { }

    // The records grid and caption the page manager prints; null for none.
    virtual DBGrid *recordsGrid() { return nullptr; }
    // The memo and picture panes the editors store their results into; null
    // for none.
    virtual DBMemo *memoPane() { return nullptr; }
    virtual DBImage *picturePane() { return nullptr; }
};

class TableChoice;

// What the windows that open documents or read the table choice (the alias
// manager, the SQL editor, the designers) need from the frame, so that they
// stand on ui/ and not on the main window.
class ChildFrame {
public:
    virtual ~ChildFrame() = default;
    // The table the user chose last (TableDir, TableName, OpenedFromFile).
    virtual TableChoice &tableChoice() = 0;
    // Opens a child window of that kind on source; the window stays, empty,
    // when opening fails (the error is thrown on).
    virtual ChildWindow *openDocument(qvx::DocumentKind kind, const DocumentSource &source) = 0;
    // The child the frame's commands act on; null when there is none.
    virtual ChildWindow *activeChild() const = 0;
};

// The child window a widget is (the widget itself, or the window inside a
// frame's sub-window); null when it is none.
ChildWindow *childWindowOf(QWidget *widget);

} // namespace qvx::ui
