#include "NewTable.h"

#include "FoxProIndexesDlg.h"
#include "SecondaryIndexesDlg.h"
#include "dBaseIndexesDlg.h"

#include "tables/TableDataModule.h"
#include "ui/DBGrid.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using qvx::ui::MessageIcon;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

const QString kFieldName = QStringLiteral("Field_Name");
const QString kFieldType = QStringLiteral("Field_Type");
const QString kFieldSize = QStringLiteral("Field_Size");
const QString kIsIndexed = QStringLiteral("Is_Indexed");

const qvx::ui::CommandSpec kCommands[] = {
    { "CreateTableParams", "Tables", "Create Table Params", "", "", "document-new" },
    { "LoadFields", "Tables", "Load Table Fields", "", "", "document-open" },
    { "SaveFields", "Tables", "Save Table Params", "", "", "document-save" },
    { "InsertFields", "Tables", "Insert New Field", "", "", "list-add" },
    { "DeleteFields", "Tables", "Delete Selected Field", "", "", "list-remove" },
    { "CreateTable", "Tools", "Create New Table", "", "", "system-run" },
    { "AddIndex", "Tables", "Add New Index", "", "", "view-sort-ascending" },
    { "SaveTableAs", "Tools", "Save Table As ...", "", "", "document-save-as" },
    { "OpenCreatedTable", "Tools", "Open in Main Window",
      "Open in Main Window|Open the table just created in a window of the main window, and close this one",
      "", "window-new" },
    { "CloseWindow", "Tools", "Exit", "", "Alt+X", "application-exit" },
    { "Print", "Tools", "Print", "", "Ctrl+P", "document-print" },
    { "Help", "Help", "Help", "", "", "help-contents" },
    { "About", "Help", "About", "", "", "help-about" },
    { "ViewControlPanel", "View", "View Control Panel", "", "", "" },
    { "ViewStructure", "View", "View Structure", "", "", "" },
    { "ViewTable", "View", "View Table", "", "", "" },
    { "EditUndo1", "Edit", "&Undo", "", "Ctrl+Z", "edit-undo" },
    { "EditCut1", "Edit", "Cu&t", "", "Ctrl+X", "edit-cut" },
    { "EditCopy1", "Edit", "&Copy", "", "Ctrl+C", "edit-copy" },
    { "EditPaste1", "Edit", "&Paste", "", "Ctrl+V", "edit-paste" },
    { "EditDelete1", "Edit", "&Delete", "", "Del", "edit-delete" },
};

// The type codes whose size is fixed by the type: whatever the Field Size
// cell holds, such a field is defined with size 0.
bool fixedSize(int code, bool memoryTable)
{
    switch (code) {
    case 0:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
    case 9:
    case 10:
    case 11:
        return true;
    case 14:
    case 22:
    case 27:
    case 28:
    case 29:
        return !memoryTable;
    default:
        return false;
    }
}

bool isYes(const QString &text)
{
    return text.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
}

// A push button showing a command: its caption (or one of its own), its
// hint and its enabled state; pressing it runs the command.
QPushButton *commandButton(qvx::ui::Command *command, const QString &caption = {})
{
    auto *button = named(new QPushButton(caption.isEmpty() ? command->text() : caption),
                         command->objectName() + QStringLiteral("Button"));
    button->setToolTip(command->toolTip());
    button->setEnabled(command->isEnabled());
    QObject::connect(button, &QPushButton::clicked, command, &qvx::ui::Command::execute);
    QObject::connect(command, &QAction::changed, button,
                     [button, command] { button->setEnabled(command->isEnabled()); });
    return button;
}

} // namespace

TNewTableForm::TNewTableForm(TTableData &tableData, QWidget *parent) : QDialog(parent), m_tableData(tableData)
{
    setObjectName(QStringLiteral("NewTableForm"));
    setWindowTitle(QStringLiteral("Create New Table"));
    setModal(true);
    NewTable.setSession(&Session);
    m_fieldsSource.setDataSet(&SystemDataSet);
    buildCommands();
    buildControls();
    buildMenus();
    resize(616, 520);
    setMinimumSize(616, 464);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    updateCommands();
}

TNewTableForm::~TNewTableForm()
{
    // The grids let go of the data sets before these go.
    m_tableSource.setDataSet(nullptr);
    m_fieldsSource.setDataSet(nullptr);
}

void TNewTableForm::setIndexDialogs(TSecondaryIndexFormDlg *paradox, TdBaseIndexFormDlg *dbase,
                                    TFoxProIndexFormDlg *foxPro)
{
    m_paradoxIndex = paradox;
    m_dbaseIndex = dbase;
    m_foxProIndex = foxPro;
}

// ---- Building ------------------------------------------------------------

void TNewTableForm::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(kCommands, int(std::size(kCommands)));
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("CreateTableParams", [this] { CreateTableParamsExecute(); });
    on("LoadFields", [this] { LoadFieldsExecute(); });
    on("SaveFields", [this] { SaveFieldsExecute(); });
    on("InsertFields", [this] { InsertFieldsExecute(); });
    on("DeleteFields", [this] { DeleteFieldsExecute(); });
    on("CreateTable", [this] { CreateTableExecute(); });
    on("AddIndex", [this] { AddIndexExecute(); });
    on("SaveTableAs", [this] { SaveTableAsExecute(); });
    on("OpenCreatedTable", [this] { OpenCreatedTableExecute(); });
    on("CloseWindow", [this] { reject(); });
    on("Help", [this] {
        Services::current().message(
            this, MessageIcon::Information, windowTitle(),
            QStringLiteral("List the fields of the new table, one per row. In the \"Field Type\" column a "
                           "letter enters a type (for example D for a date) or pick one from the list; in "
                           "\"Is Index\" Y and N enter Yes and No. \"Create New Table\" checks the list and "
                           "creates the table; \"Add New Index\" defines a further index for it."),
            qvx::ui::ButtonOk);
    });
    qvx::ui::Command *panel = command(QStringLiteral("ViewControlPanel"));
    panel->setCheckable(true);
    panel->setChecked(true);
    on("ViewControlPanel", [this, panel] { ControlPanel->setVisible(panel->isChecked()); });
    on("ViewStructure", [this] { PageControl->setCurrentIndex(1); });
    on("ViewTable", [this] { PageControl->setCurrentIndex(0); });

    // The clipboard commands act on the focused text box (a cell being edited).
    const auto onText = [this, &on](const char *name, std::function<void(QLineEdit *)> fn) {
        on(name, [this, fn] {
            QWidget *focus = QApplication::focusWidget();
            auto *edit = qobject_cast<QLineEdit *>(focus);
            if (!edit)
                if (auto *combo = qobject_cast<QComboBox *>(focus))
                    edit = combo->lineEdit();
            if (edit && isAncestorOf(edit))
                fn(edit);
        });
    };
    onText("EditUndo1", [](QLineEdit *e) { e->undo(); });
    onText("EditCut1", [](QLineEdit *e) { e->cut(); });
    onText("EditCopy1", [](QLineEdit *e) { e->copy(); });
    onText("EditPaste1", [](QLineEdit *e) { e->paste(); });
    onText("EditDelete1", [](QLineEdit *e) { e->del(); });
}

void TNewTableForm::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    MainMenu = named(new QMenuBar(this), QStringLiteral("MainMenu"));
    outer->setMenuBar(MainMenu);

    auto *body = new QHBoxLayout;
    outer->addLayout(body, 1);

    // Left: the field list over the table and structure pages.
    Splitter = named(new QSplitter(Qt::Vertical), QStringLiteral("Splitter"));
    auto *top = new QWidget;
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(4, 4, 4, 0);
    FieldsGrid = named(new qvx::ui::DBGrid, QStringLiteral("FieldsGrid"));
    FieldsGrid->setMinimumHeight(208);
    FieldsGrid->setDataSource(&m_fieldsSource);

    topLayout->addWidget(FieldsGrid, 1);
    SizeHint = named(new QLabel, QStringLiteral("SizeHint"));
    SizeHint->setWordWrap(true);
    topLayout->addWidget(SizeHint);
    Splitter->addWidget(top);

    PageControl = named(new QTabWidget, QStringLiteral("PageControl"));
    PageControl->setTabPosition(QTabWidget::South);
    DBGrid = named(new qvx::ui::DBGrid, QStringLiteral("DBGrid"));
    DBGrid->setDataSource(&m_tableSource);
    PageControl->addTab(DBGrid, QStringLiteral("Table"));
    SystemTree = named(new QTreeWidget, QStringLiteral("SystemTree"));
    SystemTree->setHeaderHidden(true);
    PageControl->addTab(SystemTree, QStringLiteral("Structure"));
    Splitter->addWidget(PageControl);
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    body->addWidget(Splitter, 1);

    connect(FieldsGrid, &qvx::ui::DBGrid::colEnter, this, [this] { updateSizeHint(); });
    connect(&m_fieldsSource, &qvx::ui::DataSource::recordMoved, this, [this] { updateSizeHint(); });
    connect(&m_fieldsSource, &qvx::ui::DataSource::recordChanged, this, [this] { updateSizeHint(); });

    // Right: the control panel.
    ControlPanel = named(new QWidget, QStringLiteral("ControlPanel"));
    ControlPanel->setFixedWidth(194);
    auto *panel = new QVBoxLayout(ControlPanel);
    const auto group = [&](const QString &title, const QString &name,
                           std::initializer_list<std::pair<const char *, const char *>> buttons) {
        auto *box = named(new QGroupBox(title), name);
        auto *layout = new QVBoxLayout(box);
        for (const auto &[commandName, caption] : buttons)
            layout->addWidget(commandButton(command(QLatin1String(commandName)), QString::fromUtf8(caption)));
        panel->addWidget(box);
        return box;
    };
    group(QStringLiteral("Create Fields"), QStringLiteral("FieldsGroup"),
          { { "CreateTableParams", "" }, { "LoadFields", "Load Table Params" }, { "SaveFields", "" } });
    group(QString(), QStringLiteral("RowsGroup"), { { "InsertFields", "" }, { "DeleteFields", "" } });
    QGroupBox *create = group(
        QStringLiteral("Create Table"), QStringLiteral("CreateGroup"),
        { { "CreateTable", "" }, { "AddIndex", "" }, { "SaveTableAs", "" }, { "OpenCreatedTable", "" } });
    Gauge = named(new QProgressBar, QStringLiteral("Gauge"));
    Gauge->setRange(0, 1);
    Gauge->setValue(0);
    Gauge->setTextVisible(false);
    create->layout()->addWidget(Gauge);
    panel->addStretch(1);
    group(QString(), QStringLiteral("ExitGroup"), { { "Help", "" }, { "CloseWindow", "" } });
    body->addWidget(ControlPanel);

    StatusLine = named(new QLabel, QStringLiteral("StatusLine"));
    StatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatusLine->setContentsMargins(6, 2, 6, 2);
    StatusLine->setFrameShape(QFrame::StyledPanel);
    StatusLine->setWordWrap(true);
    outer->addWidget(StatusLine);
}

void TNewTableForm::buildMenus()
{
    const auto menu
        = [this](const QString &title, const QString &name, std::initializer_list<const char *> items) {
              qvx::ui::addCommandMenu(MainMenu, *ActionList, title, name, items);
          };
    menu(QStringLiteral("&File"), QStringLiteral("FileMenu"),
         { "CreateTableParams", "LoadFields", "SaveFields", "", "Print", "", "CloseWindow" });
    menu(QStringLiteral("&Edit"), QStringLiteral("EditMenu"),
         { "EditUndo1", "EditCut1", "EditCopy1", "EditPaste1", "", "EditDelete1", "", "InsertFields",
           "DeleteFields" });
    menu(QStringLiteral("&View"), QStringLiteral("ViewMenu"),
         { "ViewControlPanel", "", "ViewStructure", "ViewTable" });
    menu(QStringLiteral("&Tools"), QStringLiteral("ToolsMenu"),
         { "CreateTable", "AddIndex", "", "SaveTableAs", "", "OpenCreatedTable" });
    menu(QStringLiteral("&Help"), QStringLiteral("HelpMenu"), { "Help", "", "About" });
}

void TNewTableForm::updateCommands()
{
    command(QStringLiteral("OpenCreatedTable"))
        ->setEnabled(bool(OpenCreatedTable) && !m_createdPath.isEmpty() && QFileInfo::exists(m_createdPath));
}

// ---- The field list ----------------------------------------------------------

void TNewTableForm::SetFieldTypes(const QStringList &names)
{
    FieldsGrid->fieldColumn(kFieldType).pickList = names;
}

QStringList TNewTableForm::FieldTypes() const
{
    return FieldsGrid->fieldColumn(kFieldType).pickList;
}

void TNewTableForm::CreateFieldList()
{
    if (SystemDataSet.isOpen())
        return;
    SystemDataSet.clearFieldDefs();
    SystemDataSet.addFieldDef(kFieldName, qvx::FieldType::String, 20);
    // Wide enough for the longest type name a shortcut enters
    // ("BCD (Binary-Code Decimal)"), which must reach creation whole.
    SystemDataSet.addFieldDef(kFieldType, qvx::FieldType::String, 32);
    SystemDataSet.addFieldDef(kFieldSize, qvx::FieldType::Integer);
    SystemDataSet.addFieldDef(kIsIndexed, qvx::FieldType::String, 10);
    SystemDataSet.createDataSet();
    presentFieldList();
}

void TNewTableForm::presentFieldList()
{
    const char *titles[] = { "Field Name", "Field Type", "Field Size", "Is Index" };
    for (int i = 0; i < 4 && i < SystemDataSet.fieldCount(); ++i) {
        SystemDataSet.setDisplayLabel(i, QString::fromLatin1(titles[i]));
        SystemDataSet.setFieldAlignment(i, i == 0 ? qvx::Alignment::Left : qvx::Alignment::Center);
        if (i > 0)
            FieldsGrid->column(i).titleAlignment = Qt::AlignCenter;
    }
    FieldsGrid->fieldColumn(kIsIndexed).pickList = { QStringLiteral("NO"), QStringLiteral("YES") };
    // All four columns in view: the type column need not show its full width.
    const int widths[] = { 112, 136, 70, 66 };
    for (int i = 0; i < 4 && i < FieldsGrid->columnCount(); ++i)
        FieldsGrid->setColumnWidth(i, widths[i]);
    updateSizeHint();
}

void TNewTableForm::postFieldList()
{
    FieldsGrid->finishEditing();
    if (SystemDataSet.isOpen() && SystemDataSet.state() != qvx::DataSet::State::Browse)
        SystemDataSet.post();
}

QStringList TNewTableForm::FieldNames() const
{
    QStringList names;
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.isOpen() && SystemDataSet.readRecord(r, rec); ++r)
        names << rec[FieldNameColumn].toString();
    return names;
}

QString TNewTableForm::ShortcutTypeName(int kind, QChar key)
{
    const char16_t c = key.unicode();
    const auto either = [c](char16_t letter) { return c == letter || c == letter + (u'a' - u'A'); };
    const auto name = [](const char *text) { return QString::fromLatin1(text); };
    switch (kind) {
    case ParadoxKind:
        switch (c) {
        case u'#':
            return name("#(BCD)");
        case u'$':
            return name("$(Money)");
        case u'+':
            return name("+(Autoincrement)");
        case u'@':
            return name("@(Timestamp)");
        }
        if (either(u'A'))
            return name("Alpha");
        if (either(u'B'))
            return name("Binary");
        if (either(u'D'))
            return name("Date");
        if (either(u'F'))
            return name("FormatedMemo");
        if (either(u'G'))
            return name("Graphic");
        if (either(u'I'))
            return name("LongInteger");
        if (either(u'L'))
            return name("Logical");
        if (either(u'M'))
            return name("Memo");
        if (either(u'N'))
            return name("Number");
        if (either(u'O'))
            return name("OLE");
        if (either(u'S'))
            return name("Short");
        if (either(u'T'))
            return name("Time");
        if (either(u'Y'))
            return name("Bytes");
        return {};
    case DBaseKind:
    case FoxProKind:
        if (either(u'C'))
            return name("CHARACTER");
        if (either(u'D'))
            return name("DATE");
        if (either(u'F'))
            return name("FLOAT");
        if (either(u'L'))
            return name("LOGICAL");
        if (either(u'M'))
            return name("MEMO");
        if (either(u'N'))
            return name("NUMBER");
        if (either(u'O'))
            return name("OLE");
        if (kind == DBaseKind && either(u'B'))
            return name("BINARY");
        return {};
    case AsciiKind: {
        static const std::pair<char16_t, const char *> table[] = {
            { u'A', "Auto-incremeting" },
            { u'B', "BCD (Binary-Code Decimal)" },
            { u'C', "Currency" },
            { u'D', "Date" },
            { u'F', "Float" },
            { u'I', "Integer" },
            { u'L', "Lagre integer" },
            { u'O', "Output cursor (ORACLE)" },
            { u'R', "Reference (REF)" },
            { u'S', "String" },
            { u'T', "Time" },
            { u'V', "Variable number of bytes" },
            { u'W', "Wide string" },
            { u'a', "Array" },
            { u'b', "Fixed number of bytes" },
            { u'd', "Date and time" },
            { u'e', "Formatted text memo" },
            { u'i', "Binary large object" },
            { u'l', "Boolean" },
            { u'm', "Text memo" },
            { u'n', "Small integer" },
            { u'p', "Bitmap" },
            { u'r', "Typed binary" },
            { u's', "Abstract data type" },
            { u't', "Data set" },
            { u'x', "Fixed character" },
        };
        for (const auto &[letter, text] : table)
            if (c == letter)
                return name(text);
        return {};
    }
    case XmlKind: {
        static const std::pair<char16_t, const char *> table[] = {
            { u'B', "Boolean" },
            { u'b', "Boolean" },
            { u'C', "Currency" },
            { u'c', "Currency" },
            { u'D', "Date" },
            { u'd', "Date and time" },
            { u'F', "Float" },
            { u'f', "Float" },
            { u'I', "Integer" },
            { u'i', "Small integer" },
            { u'M', "Text memo" },
            { u'O', "Binary large object" },
            { u'o', "Binary large object" },
            { u'P', "Bitmap" },
            { u'p', "Bitmap" },
            { u'S', "String" },
            { u's', "String" },
            { u'T', "Time" },
            { u't', "Typed binary" },
            { u'W', "Wide string" },
            { u'w', "Wide string" },
        };
        for (const auto &[letter, text] : table)
            if (c == letter)
                return name(text);
        return {};
    }
    default:
        return {};
    }
}

bool TNewTableForm::FieldsGridKeyPress(QChar key)
{
    const int column = FieldsGrid->selectedField();
    if (column != FieldTypeColumn && column != IsIndexedColumn)
        return false;
    QString value;
    if (column == FieldTypeColumn) {
        value = ShortcutTypeName(m_kind, key);
    } else if (key == u'Y' || key == u'y') {
        value = QStringLiteral("Yes");
    } else if (key == u'N' || key == u'n') {
        value = QStringLiteral("No");
    }
    if (SystemDataSet.isEmpty() && SystemDataSet.state() == qvx::DataSet::State::Browse)
        SystemDataSet.append();
    else if (SystemDataSet.state() == qvx::DataSet::State::Browse)
        SystemDataSet.edit();
    SystemDataSet.setValue(column, value.isEmpty() ? QVariant() : QVariant(value));
    return true;
}

// The grid's keys and those of the cell editors that come and go on it are
// seen application-wide, while the window shows.
void TNewTableForm::showEvent(QShowEvent *event)
{
    qApp->installEventFilter(this);
    QDialog::showEvent(event);
}

void TNewTableForm::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void TNewTableForm::keyPressEvent(QKeyEvent *event)
{
    // Escape ends an edit in the grids; it does not close the window (Exit
    // and the close box do), so a second press cannot lose the user's place.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TNewTableForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !SystemDataSet.isOpen())
        return QDialog::eventFilter(watched, event);
    // Keys reach the grid itself, or the cell editor open on it (Tab opens
    // one on the next cell): both are taken in the two lettered columns.
    auto *widget = qobject_cast<QWidget *>(watched);
    const bool onGrid = watched == FieldsGrid && !FieldsGrid->isEditing();
    const bool inEditor
        = !onGrid && widget && FieldsGrid->isEditing() && FieldsGrid->viewport()->isAncestorOf(widget);
    if (!onGrid && !inEditor)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Tab and Escape keep their meaning (leave the cell, drop the edit);
    // every other character typed into these two columns is taken.
    const QString text = key->text();
    const int column = FieldsGrid->selectedField();
    if (text.size() != 1 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
        || key->key() == Qt::Key_Escape || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        || (column != FieldTypeColumn && column != IsIndexedColumn))
        return QDialog::eventFilter(watched, event);
    qvx::ui::guarded(this, [&] {
        if (inEditor)
            FieldsGrid->finishEditing();
        FieldsGridKeyPress(text.front());
    });
    return true;
}

int TNewTableForm::TypeCode(int kind, const QString &typeName) const
{
    switch (kind) {
    case ParadoxKind:
        return m_tableData.ParadoxTypeCode(typeName);
    case DBaseKind:
    case FoxProKind:
        return m_tableData.DBaseTypeCode(typeName);
    default:
        return m_tableData.FieldTypeCode(typeName);
    }
}

QString TNewTableForm::SizeMeaning(int kind, const QString &typeName) const
{
    if (typeName.isEmpty())
        return QStringLiteral("Pick a type, or type its letter, in the Field Type column.");
    const int code = TypeCode(kind, typeName);
    const QString quoted = u'"' + typeName + u'"';
    if (code == 0)
        return QStringLiteral("%1 is not a type this kind of table knows.").arg(quoted);
    if (fixedSize(code, kind == XmlKind))
        return QStringLiteral("Field Size: not used, a %1 field has a size of its own.").arg(quoted);
    switch (code) {
    case 1:
    case 23:
    case 24:
        return QStringLiteral("Field Size: the number of characters a %1 field holds.").arg(quoted);
    case 8:
        return QStringLiteral("Field Size: the number of decimal places of a %1 field (2 holds 12.34).")
            .arg(quoted);
    case 12:
    case 13:
        return QStringLiteral("Field Size: the number of bytes a %1 field holds.").arg(quoted);
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return kind == ParadoxKind
            ? QStringLiteral("Field Size: how many bytes of a %1 value are kept in the record itself "
                             "(0 to 240).")
                  .arg(quoted)
            : QStringLiteral("Field Size: not used, a %1 value is kept outside the record.").arg(quoted);
    default:
        return QStringLiteral("Field Size: not used for a %1 field.").arg(quoted);
    }
}

void TNewTableForm::updateSizeHint()
{
    QString text;
    if (SystemDataSet.isOpen() && !SystemDataSet.isEmpty())
        text = SizeMeaning(m_kind, SystemDataSet.text(FieldTypeColumn));
    SizeHint->setText(text);
    FieldsGrid->setToolTip(text);
}

void TNewTableForm::InsertFieldsExecute()
{
    CreateFieldList();
    postFieldList();
    SystemDataSet.insert();
    // Posted as it is, so the empty row stays where the user put it.
    SystemDataSet.setValue(FieldNameColumn, QStringLiteral(""));
    SystemDataSet.post();
    // Ready for the new field's name.
    FieldsGrid->setFocus();
    FieldsGrid->setCurrentCell(int(SystemDataSet.recNo() - 1), FieldNameColumn);
}

void TNewTableForm::DeleteFieldsExecute()
{
    if (!SystemDataSet.isOpen())
        return;
    if (SystemDataSet.state() == qvx::DataSet::State::Insert) {
        SystemDataSet.cancel();
        return;
    }
    if (!SystemDataSet.isEmpty())
        SystemDataSet.deleteRecord();
}

// ---- Execute -----------------------------------------------------------------

bool TNewTableForm::Execute(int typeItem)
{
    static const int kinds[] = { ParadoxKind, DBaseKind, FoxProKind, AsciiKind, XmlKind };
    if (typeItem >= 0 && typeItem < int(std::size(kinds)))
        m_kind = kinds[typeItem];
    CreateFieldList();
    updateSizeHint();
    updateCommands();
    QApplication::restoreOverrideCursor();
    return Services::current().runModal(*this) == QDialog::Accepted;
}

// ---- Checking and creating -------------------------------------------------------

bool TNewTableForm::CheckFieldName(const QString &name)
{
    bool ok = true;
    if (name.isEmpty()) {
        Services::current().message(this, MessageIcon::Information, windowTitle(),
                                    QStringLiteral("Incorect field name."), qvx::ui::ButtonOk);
        ok = false;
    }
    // The first row of that name keeps it; the k-th further one becomes
    // name_k, stored at once.
    const qint64 kept = SystemDataSet.recNo();
    int seen = 0;
    const qint64 rows = SystemDataSet.recordCount();
    for (qint64 r = 1; r <= rows; ++r) {
        SystemDataSet.setRecNo(r);
        if (SystemDataSet.text(FieldNameColumn) != name)
            continue;
        if (seen++ == 0)
            continue;
        SystemDataSet.edit();
        SystemDataSet.setValue(FieldNameColumn, name + u'_' + QString::number(seen - 1));
        SystemDataSet.post();
    }
    if (kept > 0)
        SystemDataSet.setRecNo(kept);
    return ok;
}

bool TNewTableForm::CheckFieldTypes()
{
    bool ok = true;
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.readRecord(r, rec); ++r) {
        if (!rec[FieldTypeColumn].toString().isEmpty())
            continue;
        Services::current().message(
            this, MessageIcon::Information, windowTitle(),
            QStringLiteral("Field type not found.\rField Name: \"%1\"").arg(rec[FieldNameColumn].toString()),
            qvx::ui::ButtonOk);
        ok = false;
    }
    return ok;
}

bool TNewTableForm::CheckFieldSizes()
{
    bool ok = true;
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.readRecord(r, rec); ++r) {
        if (rec[FieldTypeColumn].toString() != QLatin1String("String") || rec[FieldSizeColumn].toInt() != 0)
            continue;
        Services::current().message(
            this, MessageIcon::Information, windowTitle(),
            QStringLiteral("Incorect field size.\rField Name: \"%1\"").arg(rec[FieldNameColumn].toString()),
            qvx::ui::ButtonOk);
        ok = false;
    }
    return ok;
}

void TNewTableForm::CreateTableExecute()
{
    CreateFieldList();
    postFieldList();
    bool namesOk = true;
    const qint64 rows = SystemDataSet.recordCount();
    for (qint64 r = 1; r <= rows; ++r) {
        SystemDataSet.setRecNo(r);
        const QString name = SystemDataSet.text(FieldNameColumn);
        if (!CheckFieldName(name))
            namesOk = false;
        SystemDataSet.setRecNo(r);
    }
    bool ok = namesOk && CheckFieldTypes() && CheckFieldSizes();
    if (rows == 0 || !ok)
        return;
    if (m_kind == XmlKind)
        CreateMemoryTable();
    else
        CreateEngineTable();
    ShowStructure();
}

void TNewTableForm::pointNewTable()
{
    NewTable.setDatabaseName(Session.privateDirectory());
    NewTable.setTableType(m_kind);
    NewTable.setTableName(NewTableName);
}

void TNewTableForm::CreateEngineTable()
{
    // A table of this name made before goes first.
    try {
        m_tableSource.setDataSet(nullptr);
        NewTable.close();
        pointNewTable();
        if (NewTable.exists())
            NewTable.deleteTable();
    } catch (const std::exception &e) {
        Services::current().message(this, MessageIcon::Error, windowTitle(),
                                    QStringLiteral("Undefined Error\n\n%1").arg(QString::fromUtf8(e.what())),
                                    qvx::ui::ButtonOk);
    }
    const qint64 rows = SystemDataSet.recordCount();
    Gauge->setRange(0, int(qMax<qint64>(rows, 1)));
    Gauge->setValue(0);
    auto resetGauge = qScopeGuard([this] { Gauge->setValue(0); });

    NewTable.close();
    pointNewTable();
    NewTable.clearFieldDefs();
    // Paradox: the leading fields marked indexed are the table's key.
    int keyFields = 0;
    bool leading = true;
    bool anyIndexed = false;
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.readRecord(r, rec); ++r) {
        const QString name = rec[FieldNameColumn].toString();
        const int code = TypeCode(m_kind, rec[FieldTypeColumn].toString());
        const int size = fixedSize(code, false) ? 0 : rec[FieldSizeColumn].toInt();
        const qvx::FieldDef def = qvx::fieldFromSize(name, qvx::fieldTypeFromCode(code), size);
        NewTable.addFieldDef(def.name, def.type, def.size, false, def.decimals);
        const bool indexed = isYes(rec[IsIndexedColumn].toString());
        anyIndexed |= indexed;
        if (leading && indexed)
            ++keyFields;
        else
            leading = false;
        Gauge->setValue(int(r));
    }
    qvx::CreateOptions options;
    if (m_kind == ParadoxKind)
        options.keyFields = keyFields;
    NewTable.setCreateOptions(options);
    NewTable.createTable();
    m_createdPath = NewTable.filePath();
    if (m_kind == AsciiKind && anyIndexed)
        Services::current().message(this, MessageIcon::Information, windowTitle(),
                                    QStringLiteral("Text tables have no indexes: the fields marked \"Yes\" "
                                                   "under \"Is Index\" were created without one."),
                                    qvx::ui::ButtonOk);
    applyIndexes(m_kind == ParadoxKind ? keyFields : 0);

    NewTable.open();
    m_tableSource.setDataSet(&NewTable);
    PageControl->setCurrentIndex(0);
    const QFileInfo made(m_createdPath);
    StatusLine->setText(QStringLiteral("Created %1 in %2 (this session's private folder, removed when the "
                                       "program ends).")
                            .arg(made.fileName(), QDir::toNativeSeparators(made.absolutePath())));
    updateCommands();
}

void TNewTableForm::applyIndexes(int keyFields)
{
    if (m_kind != ParadoxKind && m_kind != DBaseKind && m_kind != FoxProKind)
        return;
    std::vector<qvx::IndexDef> defs;
    // A field marked indexed gets an index of its own, named after it
    // (Paradox: beyond the key fields).
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.readRecord(r, rec); ++r) {
        if (r <= keyFields || !isYes(rec[IsIndexedColumn].toString()))
            continue;
        qvx::IndexDef def;
        def.name = rec[FieldNameColumn].toString();
        def.fields = QStringList { def.name };
        defs.push_back(def);
    }
    for (const DBIndexList &pending : PendingIndexes) {
        if (pending.Kind != m_kind)
            continue;
        qvx::IndexDef def;
        def.name = pending.Name;
        // A FoxPro name left as offered ("<Table>_") takes the table's name.
        def.name.replace(QLatin1String("<Table>"), NewTableName);
        if (!pending.Fields.isEmpty())
            def.fields = pending.Fields.split(u';');
        def.options = pending.Options;
        def.expression = pending.Expression;
        def.filter = pending.Filter;
        // An index file goes beside its table, in the private folder.
        def.file = pending.File.isEmpty() ? QString() : QFileInfo(pending.File).fileName();
        defs.push_back(def);
    }
    QStringList refused;
    for (const qvx::IndexDef &def : defs) {
        try {
            NewTable.addIndex(def);
        } catch (const std::exception &e) {
            refused << QString::fromUtf8(e.what());
        }
    }
    if (!refused.isEmpty())
        Services::current().message(
            this, MessageIcon::Warning, windowTitle(),
            QStringLiteral("The table was created, but not every index:\n\n%1").arg(refused.join(u'\n')),
            qvx::ui::ButtonOk);
}

void TNewTableForm::CreateMemoryTable()
{
    const qint64 rows = SystemDataSet.recordCount();
    Gauge->setRange(0, int(qMax<qint64>(rows, 1)));
    Gauge->setValue(0);
    auto resetGauge = qScopeGuard([this] { Gauge->setValue(0); });

    m_tableSource.setDataSet(nullptr);
    NewDataSet.close();
    NewDataSet.clearFieldDefs();
    NewDataSet.clearIndexDefs();
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.readRecord(r, rec); ++r) {
        const QString name = rec[FieldNameColumn].toString();
        const int code = m_tableData.FieldTypeCode(rec[FieldTypeColumn].toString());
        const int size = fixedSize(code, true) ? 0 : rec[FieldSizeColumn].toInt();
        const qvx::FieldDef def = qvx::fieldFromSize(name, qvx::fieldTypeFromCode(code), size);
        NewDataSet.addFieldDef(def.name, def.type, def.size, false, def.decimals);
        if (isYes(rec[IsIndexedColumn].toString()))
            NewDataSet.addIndexDef(name + QStringLiteral("_Index"), { name });
        Gauge->setValue(int(r));
    }
    NewDataSet.createDataSet();
    m_memoryTableMade = true;
    m_tableSource.setDataSet(&NewDataSet);
    for (int i = 0; i < DBGrid->columnCount(); ++i) {
        DBGrid->column(i).titleAlignment = Qt::AlignCenter;
        DBGrid->columnChanged(i);
    }
    PageControl->setCurrentIndex(0);
    StatusLine->setText(QStringLiteral("Created the XML table in memory: type its records on the Table page "
                                       "and write it with Save Table As ..."));
}

void TNewTableForm::ShowStructure()
{
    SystemTree->clear();
    QStyle *style = SystemTree->style();
    const QIcon tableIcon = style->standardIcon(QStyle::SP_DirIcon);
    const auto withSelected = [style](QStyle::StandardPixmap normal) {
        QIcon icon = style->standardIcon(normal);
        icon.addPixmap(style->standardIcon(QStyle::SP_DialogApplyButton).pixmap(16), QIcon::Selected);
        return icon;
    };
    const QIcon fieldIcon = withSelected(QStyle::SP_FileIcon);
    const QIcon detailIcon = withSelected(QStyle::SP_ArrowRight);
    auto *root = new QTreeWidgetItem(SystemTree, { QStringLiteral("Table") });
    root->setIcon(0, tableIcon);
    qvx::Record rec;
    for (qint64 r = 1; SystemDataSet.isOpen() && SystemDataSet.readRecord(r, rec); ++r) {
        auto *field = new QTreeWidgetItem(
            root, { QStringLiteral("Field name - \"%1\"").arg(rec[FieldNameColumn].toString()) });
        field->setIcon(0, fieldIcon);
        QStringList details { QStringLiteral("Type - ") + rec[FieldTypeColumn].toString(),
                              QStringLiteral("Size - ") + QString::number(rec[FieldSizeColumn].toInt()) };
        if (isYes(rec[IsIndexedColumn].toString()))
            details << QStringLiteral("Indexed");
        for (const QString &text : details)
            new QTreeWidgetItem(field, { text });
        for (int i = 0; i < field->childCount(); ++i)
            field->child(i)->setIcon(0, detailIcon);
    }
    SystemTree->expandAll();
}

void TNewTableForm::CreateTableParamsExecute()
{
    if (SystemDataSet.isOpen()) {
        postFieldList();
        SystemDataSet.emptyDataSet();
    }
    if (NewDataSet.isOpen())
        NewDataSet.emptyDataSet();
    m_tableSource.setDataSet(nullptr);
    NewTable.close();
    pointNewTable();
    if (NewTable.exists())
        NewTable.emptyTable();
    NewTable.clearFieldDefs();
    SystemTree->clear();
    updateSizeHint();
}

// ---- Files --------------------------------------------------------------------

void TNewTableForm::SaveFieldsExecute()
{
    CreateFieldList();
    postFieldList();
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("MyTable");
    request.filter = QStringLiteral("XML Document|*.xml|Binary File|*.cds");
    const auto answer = Services::current().saveFile(this, request);
    if (!answer)
        return;
    SystemDataSet.saveToFile(answer->fileName,
                             answer->filterIndex == 1 ? qvx::PacketFormat::Xml : qvx::PacketFormat::Binary);
}

void TNewTableForm::LoadFieldsExecute()
{
    qvx::ui::FileDialogRequest request;
    request.filter = QStringLiteral("XML Document|*.XML|Binary File (*.cds file)|*.cds");
    const auto answer = Services::current().openFile(this, request);
    if (!answer)
        return;
    // Read aside first: a packet that is not a field list leaves the list as it was.
    {
        qvx::ClientDataSet probe;
        probe.loadFromFile(answer->fileName);
        const QString expected[] = { kFieldName, kFieldType, kFieldSize, kIsIndexed };
        bool fits = probe.fieldCount() == 4;
        for (int i = 0; fits && i < 4; ++i)
            fits = probe.field(i).name.compare(expected[i], Qt::CaseInsensitive) == 0;
        if (!fits)
            throw qvx::EngineError(answer->fileName,
                                   QStringLiteral("this is not a list of table fields (it needs the columns "
                                                  "Field_Name, Field_Type, Field_Size and Is_Indexed)"));
    }
    postFieldList();
    SystemDataSet.loadFromFile(answer->fileName);
    presentFieldList();
}

void TNewTableForm::SaveTableAsExecute()
{
    if (!m_memoryTableMade) {
        Services::current().message(this, MessageIcon::Information, windowTitle(),
                                    QStringLiteral("No XML table has been created yet: choose the XML Table "
                                                   "kind, list its fields and press Create New Table first."),
                                    qvx::ui::ButtonOk);
        return;
    }
    DBGrid->finishEditing();
    if (NewDataSet.isOpen() && NewDataSet.state() != qvx::DataSet::State::Browse)
        NewDataSet.post();
    qvx::ui::FileDialogRequest request;
    request.filter = QStringLiteral("XML Document|*.XML|Binary File|*.cds");
    request.fileName = QStringLiteral("Table");
    const auto answer = Services::current().saveFile(this, request);
    if (!answer)
        return;
    NewDataSet.saveToFile(answer->fileName,
                          answer->filterIndex == 1 ? qvx::PacketFormat::Xml : qvx::PacketFormat::Binary);
}

// ---- Indexes ------------------------------------------------------------------

void TNewTableForm::AddIndexExecute()
{
    postFieldList();
    switch (m_kind) {
    case ParadoxKind:
        if (m_paradoxIndex)
            m_paradoxIndex->Execute();
        break;
    case DBaseKind:
        if (m_dbaseIndex)
            m_dbaseIndex->Execute();
        break;
    case FoxProKind:
        if (m_foxProIndex)
            m_foxProIndex->Execute();
        break;
    default:
        break;
    }
}

void TNewTableForm::RecordIndexDefinition(const DBIndexList &definition)
{
    if (m_kind != ParadoxKind && m_kind != DBaseKind && m_kind != FoxProKind)
        return;
    DBIndexList kept = definition;
    kept.Kind = m_kind;
    PendingIndexes.push_back(kept);
}

void TNewTableForm::OpenCreatedTableExecute()
{
    if (!OpenCreatedTable || m_createdPath.isEmpty())
        return;
    // The table is handed over whole: its edits are kept and this window lets go of it.
    DBGrid->finishEditing();
    if (NewTable.isOpen() && NewTable.state() != qvx::DataSet::State::Browse)
        NewTable.post();
    m_tableSource.setDataSet(nullptr);
    NewTable.close();
    reject();
    OpenCreatedTable(m_createdPath);
}
