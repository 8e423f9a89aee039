// The command list: every feature of a window is a named command (a QAction)
// with a category, a caption, a hint ("short|long": the short part is the
// tool tip, the long part the status tip), a shortcut and a glyph. Menu items
// and tool buttons show the command itself, so they share its caption,
// glyph, shortcut and enabled state. A command with no behaviour shows
// disabled; every behaviour runs through the error guard.
#pragma once

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>

class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace qvx::ui {

// One row of a command table.
struct CommandSpec {
    const char *name;
    const char *category;
    const char *caption;
    const char *hint; // "short|long", or one text for both; may be empty
    const char *shortcut; // portable text ("Ctrl+F", "Alt+X", "F3", "Del"); may be empty
    const char *glyph; // an icon theme name; may be empty
};

class Command : public QAction {
    Q_OBJECT
public:
    Command(const CommandSpec &spec, QWidget *owner);

    QString category() const { return m_category; }
    QString hint() const { return m_hint; }
    QString shortHint() const { return toolTip(); }
    QString longHint() const { return statusTip(); }

    // Gives the command its behaviour and enables it; run through the guard
    // with the owner window as the parent of any error box.
    void setHandler(std::function<void()> handler);
    bool hasHandler() const { return bool(m_handler); }
    // Runs the behaviour as triggering does (nothing when there is none or the
    // command is disabled).
    void execute();

protected:
    bool event(QEvent *event) override;

private:
    QString m_category;
    QString m_hint;
    QWidget *m_owner;
    std::function<void()> m_handler;
};

class CommandList : public QObject {
    Q_OBJECT
public:
    // owner: the window whose shortcuts these are, and the parent of error boxes.
    explicit CommandList(QWidget *owner);

    Command *add(const CommandSpec &spec);
    void add(const CommandSpec *specs, int count);
    // The command of that name; throws std::logic_error for an unknown name
    // (a typo in the program, not a user's mistake).
    Command *command(const QString &name) const;
    Command *find(const QString &name) const; // nullptr when there is none
    QList<Command *> commands() const { return m_commands; }
    QStringList categories() const;

    // A key that is both a command's shortcut and a menu bar's accelerator
    // (Alt+W and "&Window") runs the command, as long as it is enabled.
    void takePrecedenceOver(QWidget *menuBar);
    // The enabled command whose shortcut is keys; nullptr when there is none.
    Command *enabledCommandFor(const QKeySequence &keys) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_owner;
    QList<Command *> m_commands;
};

// A glyph from the icon theme, or, where the theme has none, one drawn from
// the caption's first letters so that no button is ever blank.
QIcon glyph(const QString &themeName, const QString &caption);
// The icon theme the program uses, set once at start-up; "" when none found.
QString installIconTheme();

// Fills menu with the commands of list named in names, in order; an empty
// name is a separator. Returns menu.
QMenu *addCommands(QMenu *menu, const CommandList &list, std::initializer_list<const char *> names);
// A new menu of bar titled title, with objectName name, filled as above.
QMenu *addCommandMenu(QMenuBar *bar, const CommandList &list, const QString &title, const QString &name,
                      std::initializer_list<const char *> names);

// A tool button on bar showing command (its glyph, hint and state).
QToolButton *addCommandButton(QToolBar *bar, QAction *command, const QString &objectName = {});

} // namespace qvx::ui
