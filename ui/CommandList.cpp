#include "CommandList.h"

#include "DrawnGlyphs.h"

#include "ErrorGuard.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QShortcutEvent>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <stdexcept>

namespace qvx::ui {

Command::Command(const CommandSpec &spec, QWidget *owner)
    : QAction(owner),
      m_category(QString::fromUtf8(spec.category)),
      m_hint(QString::fromUtf8(spec.hint)),
      m_owner(owner)
{
    setObjectName(QString::fromUtf8(spec.name));
    const QString caption = QString::fromUtf8(spec.caption);
    setText(caption);
    // Menus show "&" as the accelerator mark; a tool tip must not.
    QString plain = caption;
    plain.remove(u'&');
    const qsizetype bar = m_hint.indexOf(u'|');
    const QString shortHint = bar < 0 ? m_hint : m_hint.left(bar);
    const QString longHint = bar < 0 ? m_hint : m_hint.mid(bar + 1);
    setToolTip(shortHint.isEmpty() ? plain : shortHint);
    setStatusTip(longHint);
    if (spec.shortcut && *spec.shortcut)
        setShortcut(QKeySequence(QString::fromLatin1(spec.shortcut), QKeySequence::PortableText));
    setIcon(glyph(QString::fromLatin1(spec.glyph), plain));
    setEnabled(false);
    connect(this, &QAction::triggered, this, [this] { execute(); });
}

void Command::setHandler(std::function<void()> handler)
{
    m_handler = std::move(handler);
    setEnabled(bool(m_handler));
}

void Command::execute()
{
    if (!m_handler || !isEnabled())
        return;
    // Copied: a handler may replace the command's handler while it runs.
    const std::function<void()> handler = m_handler;
    guarded(m_owner, handler);
}

bool Command::event(QEvent *e)
{
    // Qt runs neither of two owners of one key; a command's key is its own.
    if (e->type() == QEvent::Shortcut && static_cast<QShortcutEvent *>(e)->isAmbiguous()) {
        if (isEnabled())
            activate(Trigger);
        return true;
    }
    return QAction::event(e);
}

CommandList::CommandList(QWidget *owner) : QObject(owner), m_owner(owner) { }

Command *CommandList::add(const CommandSpec &spec)
{
    if (find(QString::fromUtf8(spec.name)))
        throw std::logic_error(std::string("command listed twice: ") + spec.name);
    auto *command = new Command(spec, m_owner);
    // The owner holds the command so its shortcut works wherever the focus is
    // inside the window.
    if (m_owner)
        m_owner->addAction(command);
    m_commands << command;
    return command;
}

void CommandList::add(const CommandSpec *specs, int count)
{
    for (int i = 0; i < count; ++i)
        add(specs[i]);
}

Command *CommandList::find(const QString &name) const
{
    for (Command *c : m_commands)
        if (c->objectName() == name)
            return c;
    return nullptr;
}

Command *CommandList::command(const QString &name) const
{
    Command *c = find(name);
    if (!c)
        throw std::logic_error("no command named " + name.toStdString());
    return c;
}

void CommandList::takePrecedenceOver(QWidget *menuBar)
{
    menuBar->installEventFilter(this);
}

Command *CommandList::enabledCommandFor(const QKeySequence &keys) const
{
    for (Command *c : m_commands)
        if (c->isEnabled() && !c->shortcut().isEmpty() && c->shortcut() == keys)
            return c;
    return nullptr;
}

bool CommandList::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Shortcut) {
        auto *se = static_cast<QShortcutEvent *>(e);
        if (se->isAmbiguous()) {
            if (Command *c = enabledCommandFor(se->key())) {
                c->activate(QAction::Trigger);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, e);
}

QStringList CommandList::categories() const
{
    QStringList result;
    for (const Command *c : m_commands)
        if (!result.contains(c->category()))
            result << c->category();
    return result;
}

namespace {

QPixmap letteredGlyph(const QString &caption, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    // The tile's colour follows the caption, so the same command always gets
    // the same tile and neighbouring ones rarely match.
    const QColor base = QColor::fromHsv(int(qHash(caption) % 360), 110, 190);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0.5, 0.5, size - 1.0, size - 1.0);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, base.lighter(135));
    fill.setColorAt(1, base.darker(115));
    painter.setBrush(fill);
    painter.setPen(base.darker(160));
    painter.drawRoundedRect(tile, size / 5.0, size / 5.0);

    QString letters;
    for (const QString &word :
         caption.split(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), Qt::SkipEmptyParts)) {
        letters += word.front().toUpper();
        if (letters.size() == 2)
            break;
    }
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(letters.size() > 1 ? size * 9 / 20 : size * 3 / 5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(tile, Qt::AlignCenter, letters);
    return pixmap;
}

} // namespace

QIcon glyph(const QString &themeName, const QString &caption)
{
    if (themeName.startsWith(QLatin1String("qvx-"))) {
        const QIcon ours = drawnGlyph(themeName);
        if (!ours.isNull())
            return ours;
    }
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    QIcon drawn;
    for (int size : { 16, 22, 24, 32 })
        drawn.addPixmap(letteredGlyph(caption, size));
    return drawn;
}

QString installIconTheme()
{
    // A full-colour theme suits a tool bar of many small buttons; the
    // platform's own theme (often monochrome, or none at all under a bare X
    // server) is the second choice.
    static const char *const preferred[] = { "Tango", "oxygen", "Adwaita" };
    for (const char *name : preferred) {
        for (const QString &dir : QIcon::themeSearchPaths()) {
            if (QFile::exists(dir + u'/' + QLatin1String(name) + QStringLiteral("/index.theme"))) {
                QIcon::setThemeName(QLatin1String(name));
                QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
                return QLatin1String(name);
            }
        }
    }
    return QIcon::themeName();
}

QToolButton *addCommandButton(QToolBar *bar, QAction *command, const QString &objectName)
{
    bar->addAction(command);
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(command));
    if (button && !objectName.isEmpty())
        button->setObjectName(objectName);
    return button;
}

QMenu *addCommands(QMenu *menu, const CommandList &list, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (!*name)
            menu->addSeparator();
        else
            menu->addAction(list.command(QLatin1String(name)));
    }
    return menu;
}

QMenu *addCommandMenu(QMenuBar *bar, const CommandList &list, const QString &title, const QString &name,
                      std::initializer_list<const char *> names)
{
    QMenu *menu = bar->addMenu(title);
    menu->setObjectName(name);
    return addCommands(menu, list, names);
}

} // namespace qvx::ui
