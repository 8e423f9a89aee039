#include "AliasDlg.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "ui/ChildWindow.h"
#include "ui/DBGrid.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"
#include "ui/TableChoice.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

using qvx::ui::MessageIcon;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

const QString kParamsName = QStringLiteral("ParamsName");
const QString kParamsValue = QStringLiteral("ParamsValue");
constexpr int kShownWidth = 20;
constexpr int kPendingRole = Qt::UserRole + 1; // children not read yet

const qvx::ui::CommandSpec kCommands[] = {
    { "AddAlias", "Alias", "Add Alias", "Add New Alias", "", "list-add" },
    { "AddStandardAlias", "Alias", "Standard Alias", "Add Standard Alias", "", "folder-new" },
    { "DeleteAlias", "Alias", "Delete Alias", "Delete Alias", "", "list-remove" },
    { "FindDatabase", "Database", "Find Database", "Find Database", "", "edit-find" },
    { "SaveConfig", "Database", "Save Config", "Save Config", "", "document-save" },
    { "SelectDirectory", "Database", "Select Directory", "Select Directory", "", "folder-open" },
    { "Init", "Driver", "Init", "", "", "" },
    { "Date", "Driver", "Date", "", "", "" },
    { "Time", "Driver", "Time", "", "", "" },
    { "Number", "Driver", "Number", "", "", "" },
    { "Driver", "Driver", "Driver", "Driver Params", "", "" },
};

const char *const kSections[]
    = { "\\SYSTEM\\INIT", "\\SYSTEM\\FORMATS\\DATE", "\\SYSTEM\\FORMATS\\TIME", "\\SYSTEM\\FORMATS\\NUMBER" };

QIcon levelIcon(QStyle *style, QStyle::StandardPixmap normal, QStyle::StandardPixmap selected)
{
    QIcon icon = style->standardIcon(normal);
    icon.addPixmap(style->standardIcon(selected).pixmap(16), QIcon::Selected);
    return icon;
}

} // namespace

TAliasFormDlg::TAliasFormDlg(qvx::Session &session, qvx::ui::ChildFrame *frame, QWidget *parent)
    : QDialog(parent), m_session(session), m_frame(frame)
{
    setObjectName(QStringLiteral("AliasFormDlg"));
    setWindowTitle(QStringLiteral("Alias Manager"));
    buildCommands();
    buildControls();
    setFixedSize(QSize(654, 342).expandedTo(sizeHint()));
    RefreshAll();
}

TAliasFormDlg::~TAliasFormDlg()
{
    m_paramsSource.setDataSet(nullptr);
}

bool TAliasFormDlg::Execute()
{
    QApplication::restoreOverrideCursor();
    return Services::current().runModal(*this) == QDialog::Accepted;
}

// ---- Building -------------------------------------------------------------------

void TAliasFormDlg::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(kCommands, int(std::size(kCommands)));
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("AddAlias", [this] { AddAliasExecute(); });
    on("AddStandardAlias", [this] { AddStandardAliasExecute(); });
    on("DeleteAlias", [this] { DeleteAliasExecute(); });
    on("FindDatabase", [this] { FindDatabaseExecute(); });
    on("SaveConfig", [this] { SaveConfigExecute(); });
    on("SelectDirectory", [this] { SelectDirectoryExecute(); });
    for (int view = 1; view <= 5; ++view) {
        const char *names[] = { "Init", "Date", "Time", "Number", "Driver" };
        on(names[view - 1], [this, view] {
            ParamsView = view;
            FillParams();
        });
    }
}

void TAliasFormDlg::buildControls()
{
    auto *row = new QHBoxLayout(this);
    DBTree = named(new QTreeWidget, QStringLiteral("DBTree"));
    DBTree->setHeaderHidden(true);
    DBTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBTree->setContextMenuPolicy(Qt::CustomContextMenu);
    DBTree->installEventFilter(this);
    row->addWidget(DBTree, 1);

    auto *right = new QWidget;
    right->setFixedWidth(343);
    auto *side = new QVBoxLayout(right);
    side->setContentsMargins(0, 0, 0, 0);
    ShowPublic
        = named(new QCheckBox(QStringLiteral("Show public aliaces only")), QStringLiteral("ShowPublic"));
    ShowAll = named(new QCheckBox(QStringLiteral("Show all aliaces")), QStringLiteral("ShowAll"));
    ShowAll->setChecked(true);
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(ShowPublic);
    boxes->addWidget(ShowAll);
    side->addLayout(boxes);

    auto *grid = new QGridLayout;
    Directory = named(new QLineEdit, QStringLiteral("Directory"));
    SelectDirectoryBtn = named(new QPushButton(QStringLiteral("<")), QStringLiteral("SelectDirectoryBtn"));
    QFont bold = SelectDirectoryBtn->font();
    bold.setBold(true);
    SelectDirectoryBtn->setFont(bold);
    SelectDirectoryBtn->setFixedWidth(28);
    const auto combo = [](const QString &name) {
        auto *box = named(new QComboBox, name);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        return box;
    };
    AliasName = combo(QStringLiteral("AliasName"));
    DriverType = combo(QStringLiteral("DriverType"));
    ConfigMode = combo(QStringLiteral("ConfigMode"));
    ConfigMode->addItems({ QStringLiteral("All"), QStringLiteral("Session"), QStringLiteral("Virtual"),
                           QStringLiteral("Persistent") });
    grid->addWidget(new QLabel(QStringLiteral("Path To Database:")), 0, 0);
    grid->addWidget(Directory, 0, 1);
    grid->addWidget(SelectDirectoryBtn, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Alias Name:")), 1, 0);
    grid->addWidget(AliasName, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Driver Type:")), 2, 0);
    grid->addWidget(DriverType, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Config Mode:")), 3, 0);
    grid->addWidget(ConfigMode, 3, 1, 1, 2);
    side->addLayout(grid);

    const auto button = [this](const QString &caption, const char *commandName, const QString &name) {
        auto *b = named(new QPushButton(caption), name);
        qvx::ui::Command *c = command(QLatin1String(commandName));
        b->setToolTip(c->toolTip());
        connect(b, &QPushButton::clicked, c, &qvx::ui::Command::execute);
        return b;
    };
    auto *sections = new QHBoxLayout;
    InitBtn = button(QStringLiteral("Init"), "Init", QStringLiteral("InitBtn"));
    DateBtn = button(QStringLiteral("Date"), "Date", QStringLiteral("DateBtn"));
    TimeBtn = button(QStringLiteral("Time"), "Time", QStringLiteral("TimeBtn"));
    NumberBtn = button(QStringLiteral("Number"), "Number", QStringLiteral("NumberBtn"));
    for (QPushButton *b : { InitBtn, DateBtn, TimeBtn, NumberBtn })
        sections->addWidget(b);
    side->addLayout(sections);

    DriverParams = named(new qvx::ui::DBGrid, QStringLiteral("DriverParams"));
    m_paramsSource.setDataSet(&ParamsSet);
    DriverParams->setDataSource(&m_paramsSource);
    side->addWidget(DriverParams, 1);

    auto *first = new QHBoxLayout;
    AddAliasBtn = button(QStringLiteral("Add Alias"), "AddAlias", QStringLiteral("AddAliasBtn"));
    StandardBtn = button(QStringLiteral("Standard"), "AddStandardAlias", QStringLiteral("StandardBtn"));
    DriverBtn = button(QStringLiteral("Driver"), "Driver", QStringLiteral("DriverBtn"));
    for (QPushButton *b : { AddAliasBtn, StandardBtn, DriverBtn })
        first->addWidget(b);
    side->addLayout(first);
    auto *second = new QHBoxLayout;
    FindAliasBtn = button(QStringLiteral("Find Alias"), "FindDatabase", QStringLiteral("FindAliasBtn"));
    DeleteBtn = button(QStringLiteral("Delete"), "DeleteAlias", QStringLiteral("DeleteBtn"));
    SaveBtn = button(QStringLiteral("Save"), "SaveConfig", QStringLiteral("SaveBtn"));
    for (QPushButton *b : { FindAliasBtn, DeleteBtn, SaveBtn })
        second->addWidget(b);
    side->addLayout(second);
    row->addWidget(right);
    connect(SelectDirectoryBtn, &QPushButton::clicked, command(QStringLiteral("SelectDirectory")),
            &qvx::ui::Command::execute);

    // The context menu: the entries the engine has an operation for work.
    PopupMenu = named(new QMenu(this), QStringLiteral("PopupMenu"));
    const auto item = [this](const QString &text, std::function<void()> fn) {
        QAction *a = PopupMenu->addAction(text);
        if (fn)
            connect(a, &QAction::triggered, this, [this, fn] { qvx::ui::guarded(this, fn); });
        else
            a->setEnabled(false);
    };
    item(QStringLiteral("Add Alias"), [this] { AddAliasExecute(); });
    item(QStringLiteral("Add Driver"), {});
    item(QStringLiteral("Add Password"), {});
    item(QStringLiteral("Add Standart Alias"), [this] { AddStandardAliasExecute(); });
    item(QStringLiteral("Close"), {});
    item(QStringLiteral("Delete Alias"), [this] { DeleteAliasExecute(); });
    item(QStringLiteral("Delete Driver"), {});
    item(QStringLiteral("Drop Connections"), {});
    item(QStringLiteral("Find Database"), [this] { FindDatabaseExecute(); });
    item(QStringLiteral("Open"), [this] { OpenSelectedTable(); });
    item(QStringLiteral("Remove All Passwords"), {});
    item(QStringLiteral("Save Config File"), [this] { SaveConfigExecute(); });
    item(QStringLiteral("Sort alphabeticaly"), [this] { SortAlphabetically(); });
    connect(DBTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu->popup(DBTree->viewport()->mapToGlobal(at)); });

    // Events.
    connect(DriverType, &QComboBox::currentTextChanged, this,
            [this] { qvx::ui::guarded(this, [this] { FillParams(); }); });
    connect(ConfigMode, &QComboBox::currentTextChanged, this,
            [this](const QString &text) { qvx::ui::guarded(this, [&] { ConfigModeChanged(text); }); });
    connect(ShowAll, &QCheckBox::clicked, this,
            [this] { qvx::ui::guarded(this, [this] { ShowAllClick(); }); });
    connect(ShowPublic, &QCheckBox::clicked, this,
            [this] { qvx::ui::guarded(this, [this] { ShowPublicClick(); }); });
    const auto touched
        = [this](QTreeWidgetItem *node) { qvx::ui::guarded(this, [&] { NodeTouched(node); }); };
    connect(DBTree, &QTreeWidget::currentItemChanged, this, [touched](QTreeWidgetItem *now) {
        if (now)
            touched(now);
    });
    connect(DBTree, &QTreeWidget::itemExpanded, this, [this, touched](QTreeWidgetItem *node) {
        qvx::ui::guarded(this, [&] { FillChildren(node); });
        touched(node);
    });
    connect(DBTree, &QTreeWidget::itemCollapsed, this, touched);
    connect(DBTree, &QTreeWidget::itemDoubleClicked, this,
            [this] { qvx::ui::guarded(this, [this] { OpenSelectedTable(); }); });
    connect(&m_paramsSource, &qvx::ui::DataSource::recordMoved, this, [this] { updatePickList(); });
    connect(&m_paramsSource, &qvx::ui::DataSource::stateChanged, this, [this] { paramEdited(); });
}

bool TAliasFormDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            qvx::ui::guarded(this, [this] { OpenSelectedTable(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- The tree -------------------------------------------------------------------

int TAliasFormDlg::LevelOf(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return node ? level : -1;
}

void TAliasFormDlg::RefreshAll()
{
    if (m_frame)
        m_frame->tableChoice().chooseAliasTable(QString(), QString());
    if (!ParamsSet.isOpen()) {
        ParamsSet.addFieldDef(kParamsName, qvx::FieldType::String, kShownWidth);
        ParamsSet.addFieldDef(kParamsValue, qvx::FieldType::String, kShownWidth);
        ParamsSet.createDataSet();
        ParamsSet.setDisplayLabel(0, QStringLiteral("Params"));
        ParamsSet.setDisplayLabel(1, QStringLiteral("Value"));
        ParamsSet.setFieldAlignment(1, qvx::Alignment::Center);
        DriverParams->fieldColumn(kParamsName).readOnly = true;
        DriverParams->fieldColumn(kParamsValue).titleAlignment = Qt::AlignCenter;
        DriverParams->setColumnWidth(0, 130);
        DriverParams->setColumnWidth(1, 168);
    }
    FillAliasTree();
    const QString driver = DriverType->currentText();
    const QSignalBlocker quiet(DriverType);
    DriverType->clear();
    DriverType->addItems(qvx::Session::driverNames());
    DriverType->setCurrentText(driver);
    ParamsView = 5;
}

void TAliasFormDlg::FillAliasTree()
{
    const QStringList aliases = m_session.aliasNames();
    const QString typed = AliasName->currentText();
    {
        const QSignalBlocker quiet(AliasName);
        AliasName->clear();
        AliasName->addItems(aliases);
        AliasName->setCurrentText(typed);
    }
    const QSignalBlocker quiet(DBTree);
    DBTree->clear();
    QStyle *s = style();
    auto *root = new QTreeWidgetItem(DBTree, { QStringLiteral("Root") });
    root->setIcon(0, levelIcon(s, QStyle::SP_ComputerIcon, QStyle::SP_ComputerIcon));
    for (qsizetype i = aliases.size() - 1; i >= 0; --i) {
        auto *alias = new QTreeWidgetItem(root, { aliases[i] });
        alias->setIcon(0, levelIcon(s, QStyle::SP_DriveHDIcon, QStyle::SP_DialogOpenButton));
        // A standard alias's tables are read when it is first opened.
        if (m_session.aliasDriverName(aliases[i]) == QLatin1String("STANDARD")) {
            alias->setData(0, kPendingRole, true);
            alias->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
    }
    root->setExpanded(true);
}

void TAliasFormDlg::FillChildren(QTreeWidgetItem *node)
{
    if (!node || !node->data(0, kPendingRole).toBool())
        return;
    node->setData(0, kPendingRole, false);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    QStyle *s = style();
    const int level = LevelOf(node);
    try {
        if (level == AliasLevel) {
            const QStringList tables = m_session.tableNames(node->text(0));
            for (qsizetype i = tables.size() - 1; i >= 0; --i) {
                auto *table = new QTreeWidgetItem(node, { tables[i] });
                table->setIcon(0, levelIcon(s, QStyle::SP_FileIcon, QStyle::SP_FileDialogDetailedView));
                table->setData(0, kPendingRole, true);
                table->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            }
        } else if (level == TableLevel) {
            const QStringList fields
                = qvx::tableFieldNames(m_session, node->parent()->text(0), node->text(0));
            for (qsizetype i = fields.size() - 1; i >= 0; --i) {
                auto *field = new QTreeWidgetItem(node, { fields[i] });
                field->setIcon(0, levelIcon(s, QStyle::SP_FileDialogListView, QStyle::SP_DialogOpenButton));
            }
        }
    } catch (const std::exception &e) {
        // What could not be read shows where it would have been; the rest
        // of the tree is as it was.
        auto *error = new QTreeWidgetItem(node, { QString::fromUtf8(e.what()) });
        error->setIcon(0, s->standardIcon(QStyle::SP_MessageBoxWarning));
        error->setFlags(Qt::ItemIsEnabled);
    }
}

void TAliasFormDlg::NodeTouched(QTreeWidgetItem *node)
{
    const QString text = node->text(0);
    if (text == QLatin1String("Root")) {
        AliasName->setCurrentText(QString());
        const QSignalBlocker quiet(DriverType);
        DriverType->setCurrentText(QString());
        SelectedNodeText.clear();
    }
    if (m_session.isAlias(text) && LevelOf(node) == AliasLevel) {
        {
            const QSignalBlocker quiet(DriverType);
            DriverType->setCurrentText(m_session.aliasDriverName(text));
        }
        AliasName->setCurrentText(text);
        SelectedNodeText.clear();
        FillParams();
    } else {
        SelectedNodeText = text;
    }
}

void TAliasFormDlg::SortAlphabetically()
{
    if (QTreeWidgetItem *root = DBTree->topLevelItem(0))
        root->sortChildren(0, Qt::AscendingOrder);
}

void TAliasFormDlg::OpenSelectedTable()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QString alias = AliasName->currentText();
    QTreeWidgetItem *node = DBTree->currentItem();
    if (SelectedNodeText.isEmpty() || m_session.isAlias(SelectedNodeText) || alias.isEmpty()
        || alias == QLatin1String("Root") || LevelOf(node) != TableLevel || !m_frame)
        return;
    m_frame->tableChoice().chooseAliasTable(alias, SelectedNodeText);
    m_frame->openDocument(qvx::DocumentKind::LocalTable,
                          qvx::ui::DocumentSource::databaseTable(alias, SelectedNodeText));
    m_frame->tableChoice().chooseAliasTable(alias, m_frame->tableChoice().TableName());
}

void TAliasFormDlg::FindDatabaseExecute()
{
    const QString wanted = AliasName->currentText();
    QTreeWidgetItem *root = DBTree->topLevelItem(0);
    if (!root)
        return;
    // Tables are found too: the standard aliases' table lists are read now.
    for (int i = 0; i < root->childCount(); ++i)
        FillChildren(root->child(i));
    QList<QTreeWidgetItem *> found;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *node) {
        if (node->text(0) == wanted)
            found << node;
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(root);
    for (QTreeWidgetItem *node : found) {
        for (QTreeWidgetItem *p = node->parent(); p; p = p->parent())
            p->setExpanded(true);
        node->setExpanded(true);
        DBTree->scrollToItem(node);
    }
}

// ---- Parameters -----------------------------------------------------------------

void TAliasFormDlg::FillParams()
{
    m_editRow = -1;
    if (ParamsSet.state() != qvx::DataSet::State::Browse)
        ParamsSet.cancel();
    ParamsSet.emptyDataSet();
    FullValues.clear();
    const QString alias = AliasName->currentText();
    if (alias.isEmpty())
        return;
    QStringList entries;
    if (ParamsView >= 1 && ParamsView <= 4) {
        entries = m_session.configSection(QLatin1String(kSections[ParamsView - 1]));
    } else {
        const QString driver = DriverType->currentText();
        // An alias of this driver shows its own values; otherwise the driver's.
        entries = m_session.isAlias(alias) && m_session.aliasDriverName(alias) == driver
            ? m_session.aliasParams(alias)
            : qvx::Session::driverParams(driver);
    }
    // The first entry of the INIT section and of a driver's parameters is
    // their header (VERSION, PATH); the format sections have none, and all
    // their entries are shown.
    const qsizetype from = ParamsView >= 2 && ParamsView <= 4 ? 0 : 1;
    for (qsizetype i = from; i < entries.size(); ++i) {
        const QString &e = entries[i];
        const qsizetype eq = e.indexOf(u'=');
        const QString name = u' ' + (eq < 0 ? QString() : e.left(eq));
        const QString value = eq < 0 ? e : e.mid(eq + 1);
        FullValues << value;
        ParamsSet.appendRecord({ name.left(kShownWidth), value.left(kShownWidth) });
    }
    if (!ParamsSet.isEmpty())
        ParamsSet.first();
    updatePickList();
}

QStringList TAliasFormDlg::ValuesFor(const QString &paramsName)
{
    static const QStringList truth { QStringLiteral(" ENABLE BCD"),   QStringLiteral(" ENABLE SCHEMA CACHE"),
                                     QStringLiteral(" AUTO ODBC"),    QStringLiteral(" LOCAL SHARE"),
                                     QStringLiteral(" MTS POOLING"),  QStringLiteral(" SQLQRYMODE"),
                                     QStringLiteral(" FOURDIGIYEAR"), QStringLiteral(" LEADINGZEROD"),
                                     QStringLiteral(" LEADINGZEROM"), QStringLiteral(" YEARBIASED"),
                                     QStringLiteral(" MILSECONDS"),   QStringLiteral(" SECONDS"),
                                     QStringLiteral(" TWELVEHOUR"),   QStringLiteral(" LEADINGZERON") };
    if (paramsName == QLatin1String(" DEFAULT DRIVER"))
        return { QStringLiteral("PARADOX"), QStringLiteral("DBASE"), QStringLiteral("ASCIIDRV") };
    if (truth.contains(paramsName))
        return { QStringLiteral("TRUE"), QStringLiteral("FALSE") };
    if (paramsName == QLatin1String(" SQLPASSTHRU MODE"))
        return { QStringLiteral("NOT SHARED"), QStringLiteral("SHARED AUTOCOMMIT"),
                 QStringLiteral("SHARED NOAUTOCOMMIT") };
    if (paramsName == QLatin1String(" OPEN MODE"))
        return { QStringLiteral("READ/WRITE"), QStringLiteral("READ ONLY") };
    return {};
}

void TAliasFormDlg::updatePickList()
{
    const QString name = ParamsSet.isOpen() && !ParamsSet.isEmpty() ? ParamsSet.text(0) : QString();
    DriverParams->fieldColumn(kParamsValue).pickList = ValuesFor(name);
}

void TAliasFormDlg::paramEdited()
{
    // A row enters editing, then is posted: its value goes to the session.
    if (ParamsSet.state() == qvx::DataSet::State::Edit) {
        m_editRow = int(ParamsSet.recNo()) - 1;
        return;
    }
    if (ParamsSet.state() != qvx::DataSet::State::Browse || m_editRow < 0 || m_editRow >= FullValues.size())
        return;
    qvx::Record rec;
    const int row = m_editRow;
    m_editRow = -1;
    if (!ParamsSet.readRecord(row + 1, rec))
        return;
    const QString name = rec[0].toString().trimmed();
    const QString value = rec[1].toString();
    if (value == FullValues[row].left(kShownWidth))
        return; // unchanged: the full value stays
    const bool ok = qvx::ui::guarded(this, [&] {
        if (ParamsView >= 1 && ParamsView <= 4)
            m_session.setConfigEntry(QLatin1String(kSections[ParamsView - 1]), name, value);
        else if (m_session.isAlias(AliasName->currentText()))
            m_session.setAliasParam(AliasName->currentText(), name, value);
        else
            throw qvx::EngineError(
                QStringLiteral("These are the %1 driver's defaults: choose an alias in the "
                               "tree to change its parameters.")
                    .arg(DriverType->currentText()));
    });
    // The grid shows the value in force: the new one, or the one kept.
    QMetaObject::invokeMethod(
        this,
        [this, row, ok] {
            FillParams();
            if (ok || row < ParamsSet.recordCount())
                ParamsSet.setRecNo(row + 1);
        },
        Qt::QueuedConnection);
}

// ---- Configuration mode -------------------------------------------------------

void TAliasFormDlg::setMode(int flags)
{
    m_session.setConfigMode(qvx::Session::ConfigMode(flags));
}

void TAliasFormDlg::ConfigModeChanged(const QString &text)
{
    if (text == QLatin1String("All"))
        setMode(qvx::Session::AllAliases);
    else if (text == QLatin1String("Session"))
        setMode(qvx::Session::SessionAliases);
    else if (text == QLatin1String("Virtual"))
        setMode(qvx::Session::VirtualAliases);
    else if (text == QLatin1String("Persistent"))
        setMode(qvx::Session::PersistentAliases);
    else
        return;
    FillAliasTree();
}

void TAliasFormDlg::ShowAllClick()
{
    const bool all = ShowAll->isChecked();
    ShowPublic->setChecked(!all);
    setMode(all ? qvx::Session::PersistentAliases : qvx::Session::VirtualAliases);
    RefreshAll();
}

void TAliasFormDlg::ShowPublicClick()
{
    const bool publicOnly = ShowPublic->isChecked();
    ShowAll->setChecked(!publicOnly);
    setMode(publicOnly ? qvx::Session::VirtualAliases : qvx::Session::PersistentAliases);
    RefreshAll();
}

// ---- Alias commands ---------------------------------------------------------------

void TAliasFormDlg::AddAliasExecute()
{
    ParamsView = 5;
    FillParams();
    m_session.close();
    setMode(qvx::Session::AllAliases);
    try {
        m_session.addAlias(AliasName->currentText(), DriverType->currentText(), {});
        m_session.saveConfigFile();
        m_session.open();
    } catch (...) {
        // The session is opened again, so the program keeps working.
        m_session.open();
        setMode(qvx::Session::AllAliases);
        throw;
    }
    setMode(qvx::Session::AllAliases);
    RefreshAll();
}

void TAliasFormDlg::AddStandardAliasExecute()
{
    setMode(qvx::Session::AllAliases);
    m_session.addStandardAlias(AliasName->currentText(), Directory->text(), QStringLiteral("PARADOX"));
    RefreshAll();
}

void TAliasFormDlg::DeleteAliasExecute()
{
    if (Services::current().message(this, MessageIcon::Confirmation, windowTitle(),
                                    QStringLiteral("Are you sure you want to delete alias?"),
                                    qvx::ui::ButtonYes | qvx::ui::ButtonNo)
        != qvx::ui::ButtonYes)
        return;
    setMode(qvx::Session::AllAliases);
    m_session.deleteAlias(AliasName->currentText());
    RefreshAll();
}

void TAliasFormDlg::SaveConfigExecute()
{
    if (Services::current().message(this, MessageIcon::Confirmation, windowTitle(),
                                    QStringLiteral("Are you sure you want to save configuration?"),
                                    qvx::ui::ButtonYes | qvx::ui::ButtonNo)
        != qvx::ui::ButtonYes)
        return;
    setMode(qvx::Session::AllAliases);
    m_session.saveConfigFile();
}

void TAliasFormDlg::SelectDirectoryExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Select Directory");
    request.filter = QStringLiteral("All files ...|*.*");
    request.fileName = QStringLiteral("Table.db");
    const auto answer = Services::current().openFile(this, request);
    if (!answer)
        return;
    const QString path = answer->fileName;
    Directory->setText(path.left(path.lastIndexOf(u'/') + 1));
}
