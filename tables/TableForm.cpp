#include "TableForm.h"

#include "TableDataModule.h"

#include "engine/EngineError.h"
#include "engine/TableWriter.h"
#include "engine/Value.h"
#include "ui/CommandNames.h"
#include "ui/DialogSupport.h"
#include "ui/DrawnGlyphs.h"
#include "ui/ErrorGuard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using qvx::ui::Align;
using qvx::ui::guarded;

namespace {

constexpr int kResultPanelWidth = 170;
constexpr int kSplitterWidth = 2;
constexpr int kTreeWidth = 121;

// Glyphs of the structure tree: 0 the table, 1 a field, 2 a property of a
// field, 3 any selected node.
QPixmap treeGlyph(int image)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    switch (image) {
    case 0:
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(250, 250, 240));
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 3, QColor(70, 110, 170));
        p.drawLine(1, 9, 14, 9);
        p.drawLine(7, 6, 7, 13);
        break;
    case 1:
        p.setPen(QColor(30, 60, 110));
        p.setBrush(QColor(90, 140, 210));
        p.drawRect(3, 4, 10, 7);
        break;
    case 2:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 90, 90));
        p.drawEllipse(QPoint(8, 8), 2, 2);
        break;
    default:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 60, 40));
        p.drawPolygon(QPolygon({ QPoint(4, 3), QPoint(12, 8), QPoint(4, 13) }));
        break;
    }
    return pm;
}

QIcon treeIcon(int image, int selectedImage)
{
    QIcon icon;
    icon.addPixmap(treeGlyph(image), QIcon::Normal);
    icon.addPixmap(treeGlyph(selectedImage), QIcon::Selected);
    return icon;
}

const QColor kSilver(0xC0, 0xC0, 0xC0);

void paintSilver(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, kSilver);
    w->setPalette(pal);
}

} // namespace

// ---- TShape -----------------------------------------------------------------

TShape::TShape(Kind kind, QWidget *parent) : QWidget(parent), m_kind(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_kind == Shadow) {
        p.fillRect(rect(), palette().color(QPalette::Shadow));
    } else {
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// ---- construction -----------------------------------------------------------

TTableForm::TTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent,
                       const QString &caption, QSize initialSize, int imageBoxHeight)
    : QWidget(parent), m_host(host), m_tableData(tableData), m_kindName(caption)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    setWindowIcon(qvx::ui::drawnGlyph(QStringLiteral("qvx-table-window")));
    setMinimumSize(450, 270);
    resize(initialSize);

    DataSource = new qvx::ui::DataSource(this);
    SysDataSource = new qvx::ui::DataSource(this);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Frame = new qvx::ui::AlignPanel(this);
    outer->addWidget(Frame);

    // The right-hand pane first, so that it keeps the right edge.
    ResultPanel = new qvx::ui::AlignPanel;
    ResultPanel->setGeometry(initialSize.width() - kResultPanelWidth, 0, kResultPanelWidth,
                             initialSize.height());
    Frame->addChild(ResultPanel, Align::Right);
    VSplitter = new qvx::ui::AlignSplitter(Qt::Vertical, kSplitterWidth);
    VSplitter->setObjectName(QStringLiteral("VSplitter"));
    paintSilver(VSplitter);
    // Right-aligned controls stack from the right edge in the order of their
    // places: left of everything, the bar lands between the pane and the pages.
    VSplitter->setGeometry(-kSplitterWidth, 0, kSplitterWidth, initialSize.height());
    Frame->addChild(VSplitter, Align::Right);

    TablePanel = new QWidget;
    Frame->addChild(TablePanel, Align::Client);
    auto *tableLayout = new QVBoxLayout(TablePanel);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    PageControl = new QTabWidget(TablePanel);
    PageControl->setTabPosition(QTabWidget::South);
    tableLayout->addWidget(PageControl);

    Table = new QWidget;
    auto *gridLayout = new QVBoxLayout(Table);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    TableGrid = new qvx::ui::DBGrid(Table);
    TableGrid->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette gridPalette = TableGrid->palette();
    gridPalette.setColor(QPalette::Base, Qt::white);
    TableGrid->setPalette(gridPalette);
    TableGrid->setDataSource(DataSource);
    gridLayout->addWidget(TableGrid);
    PageControl->addTab(Table, tr("Table"));

    buildDetailsPage();
    PageControl->addTab(Details, tr("Details"));

    buildResultPanel(imageBoxHeight);

    const auto guard = [this](auto fn) { return [this, fn] { guarded(this, fn); }; };
    connect(TableGrid, &qvx::ui::DBGrid::colEnter, this, guard([this] { TableGridColEnter(); }));
    connect(TableGrid, &qvx::ui::DBGrid::cellClick, this, guard([this] { TableGridCellClick(); }));
    connect(TableGrid, &qvx::ui::DBGrid::keyUp, this,
            [this](int key) { guarded(this, [&] { TableGridKeyUp(key); }); });
    connect(PageControl, &QTabWidget::currentChanged, this, guard([this] { PageControlChange(); }));
    connect(HSplitter, &qvx::ui::AlignSplitter::moved, this, guard([this] { HSplitterMoved(); }));
    connect(VSplitter, &qvx::ui::AlignSplitter::moved, this, guard([this] {
                if (vSplitterLayoutsPicture())
                    HSplitterMoved();
            }));
    FieldsGrid->installEventFilter(this);
    // The record number follows every move of the record, by key, click,
    // scroll bar or navigator.
    connect(DataSource, &qvx::ui::DataSource::recordMoved, this, [this] { showRecordNumber(); });
    connect(DataSource, &qvx::ui::DataSource::activeChanged, this, [this] { showState(); });
}

TTableForm::~TTableForm()
{
    // The bound controls go with the widgets; drop the links first so that
    // no control hears of a data set in the middle of its destruction.
    DataSource->setDataSet(nullptr);
    SysDataSource->setDataSet(nullptr);
}

void TTableForm::buildDetailsPage()
{
    Details = new qvx::ui::AlignPanel;
    SystemTree = new QTreeWidget;
    SystemTree->setHeaderHidden(true);
    SystemTree->setIndentation(19);
    SystemTree->setGeometry(400, 0, kTreeWidth, 100);
    QPalette light = SystemTree->palette();
    light.setColor(QPalette::Base, light.color(QPalette::Midlight));
    SystemTree->setPalette(light);
    Details->addChild(SystemTree, Align::Right);
    Splitter1 = new qvx::ui::AlignSplitter(Qt::Vertical, 3);
    Splitter1->setGeometry(-3, 0, 3, 100); // left of the tree, see VSplitter
    Details->addChild(Splitter1, Align::Right);
    FieldsGrid = new qvx::ui::DBGrid;
    FieldsGrid->setPalette(light);
    FieldsGrid->setDataSource(SysDataSource);
    Details->addChild(FieldsGrid, Align::Client);
    SysDataSource->setDataSet(&SystemDataSet);
}

void TTableForm::buildResultPanel(int imageBoxHeight)
{
    ImageBox = new QScrollArea;
    ImageBox->setGeometry(0, 0, kResultPanelWidth, imageBoxHeight);
    ImageBox->setFrameShape(QFrame::NoFrame);
    ImageBox->setWidgetResizable(false);
    ImageBox->horizontalScrollBar()->setSingleStep(14);
    ImageBox->horizontalScrollBar()->setTracking(true);
    ImageBox->verticalScrollBar()->setTracking(true);
    auto *canvas = new QWidget;
    canvas->setAutoFillBackground(true);
    QPalette light = canvas->palette();
    light.setColor(QPalette::Window, light.color(QPalette::Midlight));
    canvas->setPalette(light);
    ImageBox->setPalette(light);
    ImageBox->setWidget(canvas);
    ImageBox->viewport()->installEventFilter(this);
    Shape = new TShape(TShape::Shadow, canvas);
    Border = new TShape(TShape::Frame, canvas);
    DBImage = new qvx::ui::DBImage(canvas);
    DBImage->setDataSource(DataSource);
    Shape->hide();
    Border->hide();
    DBImage->hide();
    ResultPanel->addChild(ImageBox, Align::Top);

    HSplitter = new qvx::ui::AlignSplitter(Qt::Horizontal, kSplitterWidth);
    HSplitter->setObjectName(QStringLiteral("HSplitter"));
    paintSilver(HSplitter);
    HSplitter->setGeometry(0, imageBoxHeight, kResultPanelWidth, kSplitterWidth);
    ResultPanel->addChild(HSplitter, Align::Top);

    DBMemo = new qvx::ui::DBMemo;
    DBMemo->setMinimumHeight(20);
    DBMemo->setPalette(light);
    DBMemo->setDataSource(DataSource);
    ResultPanel->addChild(DBMemo, Align::Client);
    sizePictureCanvas();
}

void TTableForm::bindDataSet(qvx::DataSet &dataSet)
{
    m_data = &dataSet;
    DataSource->setDataSet(&dataSet);
}

// ---- structure list and tree ------------------------------------------------

void TTableForm::InitTableView()
{
    qvx::DataSet::ControlsDisabled holdTable(*m_data);
    qvx::DataSet::ControlsDisabled holdList(SystemDataSet);
    const int fields = m_data->isOpen() ? m_data->fieldCount() : 0;
    for (int i = 0; i < fields; ++i)
        TableGrid->fieldColumn(m_data->field(i).name).titleAlignment = Qt::AlignHCenter;
    for (int i = 0; i < TableGrid->columnCount(); ++i)
        TableGrid->columnChanged(i);
    FillStructureList();
    FillStructureTree();
}

void TTableForm::defineStructureList()
{
    SystemDataSet.clearFieldDefs();
    SystemDataSet.addFieldDef(QStringLiteral("Name"), qvx::FieldType::String, 20);
    SystemDataSet.addFieldDef(QStringLiteral("Label"), qvx::FieldType::String, 30);
    SystemDataSet.addFieldDef(QStringLiteral("Visible"), qvx::FieldType::String, 10);
    SystemDataSet.addFieldDef(QStringLiteral("Type"), qvx::FieldType::String, 20);
    SystemDataSet.addFieldDef(QStringLiteral("Size"), qvx::FieldType::Integer);
    SystemDataSet.addFieldDef(QStringLiteral("Indexed"), qvx::FieldType::String, 10);
    SystemDataSet.createDataSet();

    // Column i of FieldsGrid shows the field defined i-th.
    static const char *const titles[]
        = { "Field Name", "Display Label", "Visible", "Type", "Size", "Is Index" };
    static const qvx::Alignment cells[]
        = { qvx::Alignment::Left,   qvx::Alignment::Left,   qvx::Alignment::Center,
            qvx::Alignment::Center, qvx::Alignment::Center, qvx::Alignment::Left };
    for (int i = 0; i < 6; ++i) {
        SystemDataSet.setDisplayLabel(i, tr(titles[i]));
        SystemDataSet.setFieldAlignment(i, cells[i]);
        qvx::ui::GridColumn &c = FieldsGrid->fieldColumn(SystemDataSet.field(i).name);
        c.titleAlignment = Qt::AlignHCenter;
        c.titleColor = kSilver;
    }
    FieldsGrid->fieldColumn(QStringLiteral("Visible")).pickList
        = { QStringLiteral("Yes"), QStringLiteral("No") };
    FieldsGrid->fieldColumn(QStringLiteral("Type")).pickList = {
        QStringLiteral("String"),        QStringLiteral("Small integer"),
        QStringLiteral("Integer"),       QStringLiteral("Boolean"),
        QStringLiteral("Float"),         QStringLiteral("Currency"),
        QStringLiteral("Date"),          QStringLiteral("Time"),
        QStringLiteral("Date and time"), QStringLiteral("Binary large object"),
        QStringLiteral("Text memo"),     QStringLiteral("Bitmap"),
        QStringLiteral("Typed binary"),  QStringLiteral("Wide string"),
    };
}

void TTableForm::FillStructureList()
{
    if (!SystemDataSet.isOpen())
        defineStructureList();
    if (!m_data->isOpen())
        return;
    for (int i = 0; i < m_data->fieldCount(); ++i) {
        const qvx::FieldDef &f = m_data->field(i);
        QString type;
        if (qvx::fieldTypeCode(f.type) == qvx::fieldTypeCode(qvx::FieldType::Word))
            type = QStringLiteral("Word"); // the catalogue has no name for it
        else
            m_tableData.FieldTypeName(qvx::fieldTypeCode(f.type), type);
        SystemDataSet.append();
        SystemDataSet.setValue(NameField, f.name);
        SystemDataSet.setValue(LabelField, f.displayLabel);
        SystemDataSet.setValue(VisibleField, f.visible ? QStringLiteral("Yes") : QStringLiteral("No"));
        SystemDataSet.setValue(TypeField, type);
        SystemDataSet.setValue(SizeField, f.size);
        SystemDataSet.post();
        SystemDataSet.next();
    }
}

void TTableForm::FillStructureTree()
{
    SystemTree->clear();
    auto *root = new QTreeWidgetItem(SystemTree, { QStringLiteral("Table") });
    root->setIcon(0, treeIcon(0, 0));
    const QString quote = QStringLiteral("\"");
    qvx::Record row;
    for (qint64 rec = 1; SystemDataSet.isOpen() && SystemDataSet.readRecord(rec, row); ++rec) {
        auto text = [&](StructureField f) { return qvx::valueToText(row[f], SystemDataSet.field(f).type); };
        auto *field
            = new QTreeWidgetItem(root, { QStringLiteral("Name - ") + quote + text(NameField) + quote });
        field->setIcon(0, treeIcon(1, 3));
        const QStringList properties = {
            QStringLiteral("Dislpay Label - ") + quote + text(LabelField) + quote,
            QStringLiteral("Visible - ") + text(VisibleField),
            QStringLiteral("Type - ") + text(TypeField),
            QStringLiteral("Size - ") + QString::number(row[SizeField].toLongLong()),
        };
        for (const QString &p : properties)
            (new QTreeWidgetItem(field, { p }))->setIcon(0, treeIcon(2, 3));
    }
}

// ---- selected column and field ----------------------------------------------

int TTableForm::selectedField() const
{
    return TableGrid->selectedField();
}

int TTableForm::outerHeight() const
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        return sub->height();
    return height();
}

int TTableForm::fieldAtSelectedIndex() const
{
    const int index = TableGrid->selectedIndex();
    return m_data->isOpen() && index >= 0 && index < m_data->fieldCount() ? index : -1;
}

qvx::ui::GridColumn &TTableForm::selectedColumn()
{
    if (TableGrid->columnCount() == 0)
        throw qvx::EngineError(tr("The grid has no columns"));
    return TableGrid->column(std::min(TableGrid->selectedIndex(), TableGrid->columnCount() - 1));
}

QFont &TTableForm::selectedColumnFont()
{
    qvx::ui::GridColumn &c = selectedColumn();
    if (!c.font)
        c.font = TableGrid->font();
    return *c.font;
}

QFont &TTableForm::selectedTitleFont()
{
    qvx::ui::GridColumn &c = selectedColumn();
    if (!c.titleFont)
        c.titleFont = TableGrid->font();
    return *c.titleFont;
}

// ---- font styles ------------------------------------------------------------

quint8 TTableForm::styleOf(const QFont &font)
{
    return quint8((font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0));
}

void TTableForm::applyStyle(QFont &font, quint8 style)
{
    font.setBold(style & 1);
    font.setItalic(style & 2);
    font.setUnderline(style & 4);
    font.setStrikeOut(false);
}

void TTableForm::ReadColumnStyle()
{
    if (TableGrid->columnCount() > 0)
        FontStyleState = styleOf(selectedColumnFont());
}

void TTableForm::ReadTitleStyle()
{
    if (TableGrid->columnCount() > 0)
        FontStyleState = styleOf(selectedTitleFont());
}

void TTableForm::toggleColumnStyle(quint8 bit)
{
    if (TableGrid->columnCount() == 0)
        return;
    FontStyleState ^= bit;
    applyStyle(selectedColumnFont(), FontStyleState);
    TableGrid->columnChanged(TableGrid->selectedIndex());
}

void TTableForm::toggleTitleStyle(quint8 bit)
{
    if (TableGrid->columnCount() == 0)
        return;
    FontStyleState ^= bit;
    applyStyle(selectedTitleFont(), FontStyleState);
    TableGrid->columnChanged(TableGrid->selectedIndex());
}

void TTableForm::ToggleColumnBold()
{
    toggleColumnStyle(1);
}
void TTableForm::ToggleColumnItalic()
{
    toggleColumnStyle(2);
}
void TTableForm::ToggleColumnUnderline()
{
    toggleColumnStyle(4);
}
void TTableForm::ToggleTitleBold()
{
    toggleTitleStyle(1);
}
void TTableForm::ToggleTitleItalic()
{
    toggleTitleStyle(2);
}
void TTableForm::ToggleTitleUnderline()
{
    toggleTitleStyle(4);
}

void TTableForm::setFont(int kind, bool title)
{
    if (TableGrid->columnCount() == 0)
        return;
    qvx::ui::GridColumn &c = selectedColumn();
    QFont &font = title ? selectedTitleFont() : selectedColumnFont();
    switch (kind) {
    case 1:
        font.setFamily(m_host.fontNameText());
        break;
    case 2: {
        const int size = qvx::ui::integerOf(m_host.fontSizeText());
        if (size > 0)
            font.setPointSize(size);
        break;
    }
    case 3:
        (title ? c.titleFontColor : c.fontColor) = m_host.fontColor();
        break;
    default:
        return;
    }
    TableGrid->columnChanged(TableGrid->selectedIndex());
    PageControl->setFocus();
}

void TTableForm::SetColumnFont(int kind)
{
    setFont(kind, false);
}

void TTableForm::SetTitleFont(int kind)
{
    setFont(kind, true);
}

// ---- alignment and colours --------------------------------------------------

void TTableForm::alignField(qvx::Alignment alignment)
{
    const int field = selectedField();
    if (field >= 0)
        m_data->setFieldAlignment(field, alignment);
}

void TTableForm::alignTitle(Qt::Alignment alignment)
{
    if (TableGrid->columnCount() == 0)
        return;
    selectedColumn().titleAlignment = alignment;
    TableGrid->columnChanged(TableGrid->selectedIndex());
}

void TTableForm::AlignFieldLeft()
{
    alignField(qvx::Alignment::Left);
}
void TTableForm::AlignFieldRight()
{
    alignField(qvx::Alignment::Right);
}
void TTableForm::AlignFieldCenter()
{
    alignField(qvx::Alignment::Center);
}
void TTableForm::AlignTitleLeft()
{
    alignTitle(Qt::AlignLeft);
}
void TTableForm::AlignTitleRight()
{
    alignTitle(Qt::AlignRight);
}
void TTableForm::AlignTitleCenter()
{
    alignTitle(Qt::AlignHCenter);
}

void TTableForm::SetColumnColor()
{
    if (TableGrid->columnCount() == 0)
        return;
    selectedColumn().color = m_host.chosenColor();
    TableGrid->columnChanged(TableGrid->selectedIndex());
}

void TTableForm::SetTitleColor()
{
    if (TableGrid->columnCount() == 0)
        return;
    selectedColumn().titleColor = m_host.chosenColor();
    TableGrid->columnChanged(TableGrid->selectedIndex());
}

// ---- memo and picture panes -------------------------------------------------

void TTableForm::ShowMemoField()
{
    const int field = fieldAtSelectedIndex();
    if (field >= 0 && m_data->field(field).type == qvx::FieldType::Memo)
        DBMemo->setDataField(m_data->field(field).name);
}

void TTableForm::ShowPictureField()
{
    const int field = fieldAtSelectedIndex();
    if (field < 0)
        return;
    const qvx::FieldType type = m_data->field(field).type;
    if (type != qvx::FieldType::Graphic && type != qvx::FieldType::Blob
        && type != qvx::FieldType::TypedBinary)
        return;
    DBImage->setDataField(m_data->field(field).name);
    LayoutPicture();
    DBImage->show();
    if (alwaysTogglesFrame() || DBImage->hasPicture())
        TogglePictureFrame();
    sizePictureCanvas();
}

void TTableForm::TogglePictureFrame()
{
    Shape->setHidden(!Shape->isHidden());
    Border->setHidden(!Border->isHidden());
    sizePictureCanvas();
}

void TTableForm::LayoutPicture()
{
    if (!DBImage->hasPicture() && !layoutsEmptyPicture())
        return;
    qvx::DataSet::ControlsDisabled hold(*m_data);
    const int h = DBImage->pictureSize().height();
    const int w = DBImage->pictureSize().width();
    if (h <= 0 || w <= 0) {
        DBImage->setGeometry(0, 0, 0, 0);
        Shape->setGeometry(0, 0, 0, 0);
        Border->setGeometry(0, 0, 0, 0);
    } else {
        int x = (ImageBox->width() - w) / 2;
        if (ImageBox->width() - w < 0)
            x = 8;
        int y = (ImageBox->height() - h) / 2;
        if (ImageBox->height() - h < 0)
            y = 8;
        DBImage->setGeometry(x, y, w, h);
        Shape->setGeometry(x + 4, y + 4, w + 2, h + 2);
        Border->setGeometry(x - 1, y - 1, w + 2, h + 2);
    }
    sizePictureCanvas();
}

void TTableForm::sizePictureCanvas()
{
    // The scroll box reaches as far as the picture and its shadow.
    QWidget *canvas = ImageBox->widget();
    QRect extent(QPoint(0, 0), ImageBox->viewport()->size());
    for (QWidget *w :
         { static_cast<QWidget *>(Shape), static_cast<QWidget *>(Border), static_cast<QWidget *>(DBImage) })
        extent = extent.united(w->geometry());
    canvas->resize(extent.right() + 1, extent.bottom() + 1);
}

void TTableForm::ExportToExcel() { }

void TTableForm::ExportToHTML()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

// ---- the child-window contract ------------------------------------------------

void TTableForm::open(const qvx::ui::DocumentSource &source)
{
    setWindowTitle(source.table);
    openDocument(source);
    InitTableView();
    if (isActiveChild())
        activated();
}

void TTableForm::saveToFile(const QString &path)
{
    const std::optional<qvx::WriteTarget> target = qvx::writeTargetForFileName(path);
    if (!target)
        throw qvx::EngineError(path,
                               tr("cannot tell the format to write from the name; end it in %1")
                                   .arg(qvx::writableExtensionsText()));
    const QString shown = document().path;
    if (!shown.isEmpty() && QFileInfo(shown) == QFileInfo(path))
        throw qvx::EngineError(path, tr("is the table shown in this window; save it under another name"));
    qvx::DataSet &data = *m_data;
    if (!data.isOpen())
        throw qvx::EngineError(path, tr("the window shows no records to save"));
    // A pending edit is part of what the user sees: it is saved too.
    TableGrid->finishEditing();
    if (data.state() == qvx::DataSet::State::Edit || data.state() == qvx::DataSet::State::Insert)
        data.post();
    const qint64 recNo = data.recNo();
    qvx::DataSet::ControlsDisabled still(data);
    // Writing walks the records; the user's record is current again after.
    const auto back = qScopeGuard([&] {
        if (recNo > 0)
            data.setRecNo(recNo);
    });
    qvx::writeDataSet(data, path, *target);
}

void TTableForm::commitPendingEdits()
{
    // An edit typed but not yet posted is kept, not dropped with the window
    // (a cell still being typed in included).
    TableGrid->finishEditing();
    if (m_data && m_data->isOpen() && m_data->state() != qvx::DataSet::State::Browse && m_data->isModified())
        m_data->post();
}

namespace {

// The commands every table window answers, with what each runs. The
// formatting commands act on the selected column's title or its cells, as
// the frame's choice says.
struct TableCommand {
    QLatin1String name;
    void (TTableForm::*cells)();
    void (TTableForm::*title)(); // null: the same for both
};

const TableCommand tableCommands[] = {
    { qvx::cmd::Bold, &TTableForm::ToggleColumnBold, &TTableForm::ToggleTitleBold },
    { qvx::cmd::Italic, &TTableForm::ToggleColumnItalic, &TTableForm::ToggleTitleItalic },
    { qvx::cmd::Underline, &TTableForm::ToggleColumnUnderline, &TTableForm::ToggleTitleUnderline },
    { qvx::cmd::LeftAlign, &TTableForm::AlignFieldLeft, &TTableForm::AlignTitleLeft },
    { qvx::cmd::CenterAlign, &TTableForm::AlignFieldCenter, &TTableForm::AlignTitleCenter },
    { qvx::cmd::RightAlign, &TTableForm::AlignFieldRight, &TTableForm::AlignTitleRight },
    { qvx::cmd::BgColor, &TTableForm::SetColumnColor, &TTableForm::SetTitleColor },
    { qvx::cmd::ViewMemo, &TTableForm::ShowMemoField, nullptr },
    { qvx::cmd::ViewPicture, &TTableForm::ShowPictureField, nullptr },
    { qvx::cmd::ConvertToExcel, &TTableForm::ExportToExcel, nullptr },
    { qvx::cmd::ConvertToHTML, &TTableForm::ExportToHTML, nullptr },
    { qvx::cmd::ViewTableMemo, &TTableForm::ToggleMemoPane, nullptr },
    { qvx::cmd::ViewTablePicture, &TTableForm::TogglePicturePane, nullptr },
    { qvx::cmd::ViewDetails, &TTableForm::ToggleDetailsPage, nullptr },
};

// The font commands read the frame's boxes: 1 name, 2 size, 3 colour.
const std::pair<QLatin1String, int> fontCommands[]
    = { { qvx::cmd::FontName, 1 }, { qvx::cmd::FontSize, 2 }, { qvx::cmd::FontColor, 3 } };

} // namespace

bool TTableForm::answers(const QString &command) const
{
    if (command == qvx::cmd::SaveTableToFile)
        return true;
    for (const TableCommand &c : tableCommands)
        if (c.name == command)
            return true;
    for (const auto &[name, kind] : fontCommands)
        if (name == command)
            return true;
    return false;
}

void TTableForm::runCommand(const QString &command)
{
    const bool titles = m_host.formatsTitles();
    for (const TableCommand &c : tableCommands) {
        if (c.name == command) {
            (this->*(titles && c.title ? c.title : c.cells))();
            return;
        }
    }
    for (const auto &[name, kind] : fontCommands) {
        if (name == command) {
            titles ? SetTitleFont(kind) : SetColumnFont(kind);
            return;
        }
    }
}

int TTableForm::fontStyle(bool titles)
{
    if (titles)
        ReadTitleStyle();
    else
        ReadColumnStyle();
    return FontStyleState;
}

void TTableForm::activated()
{
    showRecordNumber();
    showColumn();
    showState();
}

bool TTableForm::isActiveChild() const
{
    return m_host.isActiveChild(*this);
}

void TTableForm::showRecordNumber()
{
    if (!isActiveChild())
        return;
    qvx::DataSet *ds = TableGrid->dataSet();
    m_host.setStatusText(qvx::ui::ChildHost::RecordPanel,
                         QStringLiteral(" Record No: ")
                             + QString::number(ds && ds->isOpen() ? ds->recNo() : 0));
}

void TTableForm::showColumn()
{
    if (!isActiveChild())
        return;
    m_host.setStatusText(qvx::ui::ChildHost::ColumnPanel,
                         QStringLiteral(" Field No: ") + QString::number(TableGrid->selectedIndex()));
    const int field = selectedField();
    m_host.setStatusText(qvx::ui::ChildHost::FieldPanel,
                         QStringLiteral(" Field name: ")
                             + (field >= 0 ? m_data->field(field).name : QString()));
}

void TTableForm::showState()
{
    if (!isActiveChild())
        return;
    QString state;
    if (m_data && m_data->isOpen() && m_data->isReadOnly()) {
        const QString reason = m_data->readOnlyReason();
        state = reason.isEmpty() ? tr("Read-only") : tr("Read-only: %1").arg(reason);
    }
    m_host.setStatusText(qvx::ui::ChildHost::StatePanel, state);
}

// ---- viewer commands -----------------------------------------------------------

void TTableForm::ToggleMemoPane()
{
    DBMemo->setVisible(DBMemo->isHidden());
    qvx::ui::AlignPanel *pane = ResultPanel;
    if (DBMemo->isVisible()) {
        pane->setAlign(ImageBox, Align::Top);
        pane->setExtent(ImageBox, outerHeight() / 2);
        pane->setAlign(HSplitter, Align::Bottom);
        HSplitter->show();
        pane->setAlign(DBMemo, Align::Client);
    } else {
        pane->setAlign(HSplitter, Align::Top);
        HSplitter->hide();
        pane->setAlign(ImageBox, Align::Client);
    }
    pane->realign();
}

void TTableForm::TogglePicturePane()
{
    ImageBox->setVisible(ImageBox->isHidden());
    qvx::ui::AlignPanel *pane = ResultPanel;
    if (ImageBox->isVisible()) {
        pane->setAlign(ImageBox, Align::Top);
        pane->setExtent(ImageBox, outerHeight() / 2);
        pane->setAlign(HSplitter, Align::Top);
        HSplitter->show();
    } else {
        pane->setAlign(HSplitter, Align::Bottom);
        HSplitter->hide();
    }
    pane->realign();
}

void TTableForm::ToggleDetailsPage()
{
    const int index = PageControl->indexOf(Details);
    if (index >= 0)
        PageControl->setTabVisible(index, !PageControl->isTabVisible(index));
}

// ---- events -----------------------------------------------------------------

void TTableForm::FormCreate()
{
    InitTableView();
}

bool TTableForm::FormClose()
{
    commitPendingEdits();
    return true;
}

void TTableForm::closeEvent(QCloseEvent *event)
{
    bool done = false;
    if (!guarded(this, [&] { done = FormClose(); }) || !done) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TTableForm::TableGridColEnter()
{
    m_host.UpdateStyleButtons();
    LayoutPicture();
    showColumn();
}

void TTableForm::TableGridCellClick()
{
    LayoutPicture();
    showRecordNumber();
}

void TTableForm::TableGridKeyUp(int key)
{
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return;
    LayoutPicture();
    showRecordNumber();
}

void TTableForm::FieldsGridKeyPress(QChar &key)
{
    if (FieldsGrid->selectedField() != VisibleField || key.isNull())
        return;
    const QString value = (key == u'Y' || key == u'y') ? QStringLiteral("Yes") : QStringLiteral("No");
    key = QChar();
    if (!SystemDataSet.isOpen() || SystemDataSet.isEmpty())
        return;
    SystemDataSet.edit();
    SystemDataSet.setValue(VisibleField, value);
}

bool TTableForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ImageBox->viewport() && event->type() == QEvent::Resize)
        sizePictureCanvas(); // no scroll bars for a picture that fits
    if (watched == FieldsGrid && event->type() == QEvent::KeyPress && !FieldsGrid->isEditing()) {
        auto *ke = static_cast<QKeyEvent *>(event);
        QChar key;
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)
            key = u'\r';
        else if (ke->key() == Qt::Key_Backspace)
            key = u'\b';
        else if (ke->text().size() == 1 && ke->key() != Qt::Key_Tab && ke->key() != Qt::Key_Backtab
                 && ke->key() != Qt::Key_Escape)
            key = ke->text().at(0);
        if (!key.isNull()) {
            guarded(this, [&] { FieldsGridKeyPress(key); });
            if (key.isNull())
                return true; // swallowed
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TTableForm::PageControlChange()
{
    if (!writesDetailsBack())
        return;
    FieldsGrid->finishEditing();
    const int column = FieldsGrid->selectedField();
    if (column == LabelField || column == VisibleField)
        writeDetailsBack(column);
}

void TTableForm::writeDetailsBack(int structureField)
{
    qvx::DataSet::ControlsDisabled holdTable(*m_data);
    qvx::DataSet::ControlsDisabled holdList(SystemDataSet);
    if (!SystemDataSet.isOpen() || !m_data->isOpen())
        return;
    const qint64 remembered = SystemDataSet.recNo();
    SystemDataSet.first();
    while (!SystemDataSet.eof()) {
        const QString name = SystemDataSet.text(NameField);
        for (int i = 0; i < m_data->fieldCount(); ++i) {
            if (m_data->field(i).name != name)
                continue;
            m_data->edit();
            if (structureField == LabelField)
                m_data->setDisplayLabel(i, SystemDataSet.text(LabelField));
            else
                m_data->setFieldVisible(i, SystemDataSet.text(VisibleField) == QStringLiteral("Yes"));
            m_data->post();
        }
        SystemDataSet.next();
    }
    SystemDataSet.setRecNo(remembered);
}

void TTableForm::HSplitterMoved()
{
    LayoutPicture();
}
