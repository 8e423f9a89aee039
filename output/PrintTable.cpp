#include "PrintTable.h"

#include "FieldCaption.h"
#include "TitleDlg.h"

#include "engine/DataSet.h"
#include "engine/EngineError.h"
#include "ui/CommandList.h"
#include "ui/DBGrid.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/JpegImage.h"
#include "ui/Named.h"
#include "ui/PrintTarget.h"
#include "ui/Services.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using qvx::output::TextBlock;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

const qvx::ui::CommandSpec kCommands[] = {
    { "PrintCurrentPage", "Page", "Print Current Page", "", "Ctrl+T", "document-print" },
    { "SaveAsJPG", "Page", "Save As JPEG", "Save As *.JPG Image", "Ctrl+S", "document-save-as" },
    { "Print", "Page", "Print Table", "", "Ctrl+P", "document-print-preview" },
    { "PrintSetup", "Page", "PrintSetup", "Print Setup", "", "document-properties" },
    { "ClosePrintManager", "Page", "Exit", "", "Alt+X", "system-log-out" },
    { "Left", "Edit", "Left", "Table Left", "", "format-justify-left" },
    { "Center", "Edit", "Center", "Table Center", "", "format-justify-center" },
    { "Right", "Edit", "Right", "Table Right", "", "format-justify-right" },
    { "Title", "Edit", "Title", "", "Alt+T", "format-text-bold" },
    { "Header", "Edit", "Header", "", "Alt+H", "go-top" },
    { "Footer", "Edit", "Footer", "Foot Note", "Alt+D", "go-bottom" },
    { "Prevision", "Pages", "Prevision", "", "", "go-previous" },
    { "Next", "Pages", "Next", "", "", "go-next" },
    { "Up", "Pages", "Up", "", "", "go-up" },
    { "Down", "Pages", "Down", "", "", "go-down" },
    { "First", "Pages", "First", "", "", "go-first" },
    { "Last", "Pages", "Last", "", "", "go-last" },
    { "Update", "Pages", "Update Page", "Update", "", "view-refresh" },
    { "Refresh", "Pages", "Refresh", "", "", "" },
    { "PrintBorders", "Tools", "PrintBorders", "", "", "" },
    { "PrintHeader", "Tools", "PrintHeader", "", "", "" },
    { "PrintFooter", "Tools", "PrintFooter", "", "", "" },
    { "ViewPanel", "View", "View Control Panel", "", "", "" },
    { "ViewPageBar", "View", "View Page Bar", "", "", "" },
    { "ViewTableBar", "View", "View Table Bar", "", "", "" },
    { "Help", "Help", "Help", "", "F1", "help-contents" },
    { "About", "Help", "About ...", "", "", "help-about" },
};

// Round half to even, as the layout's ratios and heights are defined.
int roundEven(double value)
{
    return int(std::nearbyint(value));
}

int alignedX(Qt::Alignment alignment, int left, int right, int textWidth)
{
    if (alignment & Qt::AlignRight)
        return right - textWidth - 4;
    if (alignment & Qt::AlignHCenter)
        return (left + right - textWidth) / 2;
    return left + 4;
}

// A rectangle from its four edges, right and bottom excluded, as cells and
// bands are given.
QRect edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

// ---- The spin button ------------------------------------------------------

TSpinButton::TSpinButton(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    UpButton = named(new QToolButton(this), QStringLiteral("UpButton"));
    UpButton->setArrowType(Qt::UpArrow);
    DownButton = named(new QToolButton(this), QStringLiteral("DownButton"));
    DownButton->setArrowType(Qt::DownArrow);
    for (QToolButton *button : { UpButton, DownButton }) {
        button->setFixedSize(16, 11);
        button->setAutoRepeat(true);
        layout->addWidget(button);
    }
    connect(UpButton, &QToolButton::clicked, this, &TSpinButton::upClicked);
    connect(DownButton, &QToolButton::clicked, this, &TSpinButton::downClicked);
}

// ---- Building ---------------------------------------------------------------

TPrintForm::TPrintForm(TTitleForm &textManager, QWidget *parent) : QDialog(parent), m_textManager(textManager)
{
    setObjectName(QStringLiteral("PrintForm"));
    setWindowTitle(QStringLiteral("Page Manager"));
    setMinimumSize(560, 558);
    resize(560, 558);
    buildCommands();
    buildControls();
    buildMenus();
    Header.text.clear();
    Footer.text.clear();
}

TPrintForm::~TPrintForm() = default;

qvx::ui::Command *TPrintForm::command(const QString &name) const
{
    return ActionList->command(name);
}

void TPrintForm::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(kCommands, int(std::size(kCommands)));
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("PrintCurrentPage", [this] { PrintCurrentPageExecute(); });
    on("SaveAsJPG", [this] { SaveAsJPGExecute(); });
    on("Print", [this] { PrintExecute(); });
    on("PrintSetup", [this] { PrintSetupExecute(); });
    on("ClosePrintManager", [this] { reject(); });
    on("Left", [this] { PlacementExecute(PlaceLeft); });
    on("Center", [this] { PlacementExecute(PlaceCenter); });
    on("Right", [this] { PlacementExecute(PlaceRight); });
    on("Title", [this] { TitleExecute(); });
    on("Header", [this] { HeaderExecute(); });
    on("Footer", [this] { FooterExecute(); });
    on("Prevision", [this] { PrevisionExecute(); });
    on("Next", [this] { NextExecute(); });
    on("Up", [this] { UpExecute(); });
    on("Down", [this] { DownExecute(); });
    on("First", [this] { FirstExecute(); });
    on("Last", [this] { LastExecute(); });
    on("Update", [this] { UpdateExecute(); });
    on("Refresh", [this] { RefreshPreview(); });
    on("About", [this] {
        if (ShowAbout)
            ShowAbout();
    });
    for (const char *name : { "Left", "Center", "Right" })
        command(QLatin1String(name))->setCheckable(true);
    command(QStringLiteral("Left"))->setChecked(true);
    for (const char *name :
         { "PrintBorders", "PrintHeader", "PrintFooter", "ViewPanel", "ViewPageBar", "ViewTableBar" }) {
        command(QLatin1String(name))->setCheckable(true);
        command(QLatin1String(name))->setChecked(true);
    }
    // The option commands toggle their check mark and box, then render.
    const auto option = [this, &on](const char *name, QCheckBox *const *box) {
        qvx::ui::Command *c = command(QLatin1String(name));
        on(name, [this, c, box] {
            c->setChecked(!(*box)->isChecked());
            (*box)->setChecked(c->isChecked());
        });
    };
    option("PrintBorders", &PrintBordersCheck);
    option("PrintHeader", &PrintHeaderCheck);
    option("PrintFooter", &PrintFooterCheck);
    const auto view = [this, &on](const char *name, QWidget *const *widget) {
        qvx::ui::Command *c = command(QLatin1String(name));
        on(name, [this, c, widget] {
            const bool show = !(*widget)->isVisibleTo(this);
            (*widget)->setVisible(show);
            c->setChecked(show);
        });
    };
    view("ViewPanel", &Panel);
    view("ViewPageBar", &PageBar);
    view("ViewTableBar", &TableBar);
}

void TPrintForm::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    MainMenu = named(new QMenuBar(this), QStringLiteral("MainMenu"));
    outer->setMenuBar(MainMenu);

    const auto bar = [this](const QString &name) {
        auto *toolBar = named(new QToolBar, name);
        toolBar->setIconSize(QSize(20, 20));
        toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        return toolBar;
    };
    const auto add = [this](QToolBar *toolBar, const char *name) {
        qvx::ui::addCommandButton(toolBar, command(QLatin1String(name)));
    };

    // The page bar: page navigation, then the page commands.
    PageBar = named(new QWidget, QStringLiteral("PageBar"));
    auto *pageRow = new QHBoxLayout(PageBar);
    pageRow->setContentsMargins(2, 2, 2, 2);
    PageToolBar = bar(QStringLiteral("PageToolBar"));
    add(PageToolBar, "Prevision");
    add(PageToolBar, "Next");
    PageToolBar->addSeparator();
    add(PageToolBar, "Up");
    add(PageToolBar, "Down");
    PageToolBar->addSeparator();
    add(PageToolBar, "First");
    add(PageToolBar, "Last");
    pageRow->addWidget(PageToolBar);
    ToolBar1 = bar(QStringLiteral("ToolBar1"));
    add(ToolBar1, "Title");
    ToolBar1->addSeparator();
    add(ToolBar1, "PrintCurrentPage");
    add(ToolBar1, "SaveAsJPG");
    add(ToolBar1, "Print");
    ToolBar1->addSeparator();
    UpdateButton = named(new QToolButton, QStringLiteral("UpdateButton"));
    UpdateButton->setDefaultAction(command(QStringLiteral("Update")));
    UpdateButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    UpdateButton->setText(QStringLiteral("Update"));
    ToolBar1->addWidget(UpdateButton);
    ToolBar1->addSeparator();
    add(ToolBar1, "Help");
    add(ToolBar1, "ClosePrintManager");
    pageRow->addWidget(ToolBar1);
    pageRow->addStretch(1);
    outer->addWidget(PageBar);

    // The table bar: zoom, colour and the table's placement.
    TableBar = named(new QWidget, QStringLiteral("TableBar"));
    auto *tableRow = new QHBoxLayout(TableBar);
    tableRow->setContentsMargins(2, 0, 2, 2);
    ToolBar2 = bar(QStringLiteral("ToolBar2"));
    ToolBar2->addWidget(new QLabel(QStringLiteral(" Scale:   ")));
    Scale = named(new QComboBox, QStringLiteral("Scale"));
    Scale->addItems({ QStringLiteral("Full Size"), QStringLiteral("Half"), QStringLiteral("Quarter"),
                      QStringLiteral("Eighth") });
    ToolBar2->addWidget(Scale);
    ToolBar2->addWidget(new QLabel(QStringLiteral(" Color:  ")));
    ColorSpace = named(new QComboBox, QStringLiteral("ColorSpace"));
    ColorSpace->addItems({ QStringLiteral("Color"), QStringLiteral("Grayscale") });
    ToolBar2->addWidget(ColorSpace);
    ToolBar2->addSeparator();
    add(ToolBar2, "Left");
    add(ToolBar2, "Center");
    add(ToolBar2, "Right");
    tableRow->addWidget(ToolBar2);
    tableRow->addStretch(1);
    outer->addWidget(TableBar);
    const auto scaleClick = [this] { qvx::ui::guarded(this, [this] { ApplyPreviewScale(); }); };
    connect(Scale, &QComboBox::activated, this, scaleClick);
    connect(ColorSpace, &QComboBox::activated, this, scaleClick);

    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    outer->addLayout(body, 1);

    // The preview, at 10, 10 in a scroll box.
    ScrollBox = named(new QScrollArea, QStringLiteral("ScrollBox"));
    ScrollBox->setBackgroundRole(QPalette::Dark);
    auto *sheet = new QWidget;
    PreviewImage = named(new QLabel(sheet), QStringLiteral("PreviewImage"));
    PreviewImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PreviewImage->move(10, 10);
    ScrollBox->setWidget(sheet);
    body->addWidget(ScrollBox, 1);

    // The control panel.
    Panel = named(new QWidget, QStringLiteral("Panel"));
    Panel->setFixedWidth(180);
    auto *panel = new QVBoxLayout(Panel);
    panel->setContentsMargins(4, 4, 4, 4);
    const auto numberRow = [](QGridLayout *grid, int row, const QString &label, QLineEdit *&box,
                              TSpinButton *&spin, const QString &boxName, const QString &spinName) {
        grid->addWidget(new QLabel(label), row, 0);
        box = named(new QLineEdit, boxName);
        box->setFixedWidth(64);
        grid->addWidget(box, row, 1);
        spin = named(new TSpinButton, spinName);
        grid->addWidget(spin, row, 2);
    };
    auto *margins = named(new QGroupBox(QStringLiteral("Margins")), QStringLiteral("MarginsGroup"));
    auto *marginGrid = new QGridLayout(margins);
    marginGrid->addWidget(new QLabel(QStringLiteral("[ Inches ]")), 0, 0, 1, 3, Qt::AlignHCenter);
    numberRow(marginGrid, 1, QStringLiteral("Top"), TopValue, TopSpinBtn, QStringLiteral("TopValue"),
              QStringLiteral("TopSpinBtn"));
    numberRow(marginGrid, 2, QStringLiteral("Bottom"), BottomValue, BottomSpinBtn,
              QStringLiteral("BottomValue"), QStringLiteral("BottomSpinBtn"));
    numberRow(marginGrid, 3, QStringLiteral("Left"), LeftValue, LeftSpinBtn, QStringLiteral("LeftValue"),
              QStringLiteral("LeftSpinBtn"));
    numberRow(marginGrid, 4, QStringLiteral("Right"), RightValue, RightSpinBtn, QStringLiteral("RightValue"),
              QStringLiteral("RightSpinBtn"));
    panel->addWidget(margins);
    const auto marginSpin = [this](TSpinButton *spin, int &margin, bool vertical) {
        connect(spin, &TSpinButton::upClicked, this,
                [this, &margin, vertical] { qvx::ui::guarded(this, [&] { MarginUp(margin, vertical); }); });
        connect(spin, &TSpinButton::downClicked, this,
                [this, &margin] { qvx::ui::guarded(this, [&] { MarginDown(margin); }); });
    };
    marginSpin(TopSpinBtn, TopMargin, true);
    marginSpin(BottomSpinBtn, BottomMargin, true);
    marginSpin(LeftSpinBtn, LeftMargin, false);
    marginSpin(RightSpinBtn, RightMargin, false);

    const auto rangeGroup
        = [&](const QString &title, const QString &name, QLineEdit *&first, TSpinButton *&firstSpin,
              QLineEdit *&last, TSpinButton *&lastSpin, const QString &prefix, const QString &spinPrefix) {
              auto *group = named(new QGroupBox(title), name);
              auto *grid = new QGridLayout(group);
              numberRow(grid, 0, QStringLiteral("First page"), first, firstSpin,
                        QStringLiteral("First") + prefix, spinPrefix + QStringLiteral("FirstSpinBtn"));
              numberRow(grid, 1, QStringLiteral("Last page"), last, lastSpin, QStringLiteral("Last") + prefix,
                        spinPrefix + QStringLiteral("LastSpinBtn"));
              first->setText(QStringLiteral("1"));
              last->setText(QStringLiteral("1"));
              panel->addWidget(group);
          };
    rangeGroup(QStringLiteral("Printing horizontal pages"), QStringLiteral("HorizontalGroup"),
               FirstHorizontalPage, HFirstSpinBtn, LastHorizontalPage, HLastSpinBtn,
               QStringLiteral("HorizontalPage"), QStringLiteral("H"));
    rangeGroup(QStringLiteral("Printing vertical pages"), QStringLiteral("VerticalGroup"), FirstVerticalPage,
               VFirstSpinBtn, LastVerticalPage, VLastSpinBtn, QStringLiteral("VerticalPage"),
               QStringLiteral("V"));
    // The range spins move a bound by 1 within 1 .. the page count, first
    // never after last; what is typed is taken when the box is left.
    const auto rangeSpin = [this](TSpinButton *spin, auto bound, auto low, auto high) {
        connect(spin, &TSpinButton::upClicked, this, [this, bound, high] {
            if (*bound(this) < high(this))
                ++*bound(this);
            showRange();
        });
        connect(spin, &TSpinButton::downClicked, this, [this, bound, low] {
            if (*bound(this) > low(this))
                --*bound(this);
            showRange();
        });
    };
    rangeSpin(
        HFirstSpinBtn, [](TPrintForm *f) { return &f->PrintFirstHorizontal; }, [](TPrintForm *) { return 1; },
        [](TPrintForm *f) { return f->PrintLastHorizontal; });
    rangeSpin(
        HLastSpinBtn, [](TPrintForm *f) { return &f->PrintLastHorizontal; },
        [](TPrintForm *f) { return f->PrintFirstHorizontal; },
        [](TPrintForm *f) { return f->HorizontalPageCount(); });
    rangeSpin(
        VFirstSpinBtn, [](TPrintForm *f) { return &f->PrintFirstVertical; },
        [](TPrintForm *) { return qint64(1); }, [](TPrintForm *f) { return f->PrintLastVertical; });
    rangeSpin(
        VLastSpinBtn, [](TPrintForm *f) { return &f->PrintLastVertical; },
        [](TPrintForm *f) { return f->PrintFirstVertical; },
        [](TPrintForm *f) { return f->VerticalPageCount(); });
    for (QLineEdit *box : { FirstHorizontalPage, LastHorizontalPage, FirstVerticalPage, LastVerticalPage })
        connect(box, &QLineEdit::editingFinished, this, [this] { takeRange(); });

    auto *options = named(new QGroupBox(QStringLiteral("Print options")), QStringLiteral("OptionsGroup"));
    auto *optionsLayout = new QVBoxLayout(options);
    PrintHeaderCheck
        = named(new QCheckBox(QStringLiteral("Print Header")), QStringLiteral("PrintHeaderCheck"));
    PrintFooterCheck
        = named(new QCheckBox(QStringLiteral("Print Footer")), QStringLiteral("PrintFooterCheck"));
    PrintBordersCheck
        = named(new QCheckBox(QStringLiteral("Print Borders")), QStringLiteral("PrintBordersCheck"));
    const struct {
        QCheckBox *box;
        const char *command;
    } checks[] = { { PrintHeaderCheck, "PrintHeader" },
                   { PrintFooterCheck, "PrintFooter" },
                   { PrintBordersCheck, "PrintBorders" } };
    for (const auto &check : checks) {
        check.box->setChecked(true);
        optionsLayout->addWidget(check.box);
        qvx::ui::Command *c = command(QLatin1String(check.command));
        // Ticking a box keeps the menu's mark with it and renders again.
        connect(check.box, &QCheckBox::toggled, this, [this, c](bool on) {
            c->setChecked(on);
            if (PreviewImage->pixmap().isNull())
                return;
            qvx::ui::guarded(this, [this] { RefreshPreview(); });
        });
    }
    panel->addWidget(options);
    panel->addStretch(1);
    body->addWidget(Panel);

    StatusBar = named(new QStatusBar, QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    const int widths[] = { 100, 100, 50 };
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = new QLabel;
        StatusPanel[i]->setMinimumWidth(widths[i]);
        if (i < 2)
            StatusPanel[i]->setFixedWidth(widths[i]);
        StatusBar->addWidget(StatusPanel[i], i == 2 ? 1 : 0);
    }
    outer->addWidget(StatusBar);
}

void TPrintForm::buildMenus()
{
    const auto menu
        = [this](const QString &title, const QString &name, std::initializer_list<const char *> items) {
              qvx::ui::addCommandMenu(MainMenu, *ActionList, title, name, items);
          };
    menu(QStringLiteral("&Page"), QStringLiteral("PageMenu"),
         { "PrintCurrentPage", "SaveAsJPG", "", "PrintSetup", "Print", "", "ClosePrintManager" });
    menu(QStringLiteral("&Edit"), QStringLiteral("EditMenu"),
         { "Left", "Center", "Right", "", "Title", "Header", "Footer" });
    menu(QStringLiteral("&View"), QStringLiteral("ViewMenu"),
         { "ViewPanel", "", "ViewPageBar", "ViewTableBar" });
    menu(QStringLiteral("&Tools"), QStringLiteral("ToolsMenu"),
         { "PrintBorders", "", "PrintHeader", "PrintFooter" });
    menu(QStringLiteral("&Help"), QStringLiteral("HelpMenu"), { "Help", "About" });
    ActionList->takePrecedenceOver(MainMenu);
}

// ---- Opening ----------------------------------------------------------------

void TPrintForm::setSource(qvx::ui::DBGrid *grid, const QString &caption)
{
    m_grid = grid;
    m_caption = caption;
}

qvx::DataSet *TPrintForm::dataSet() const
{
    return m_grid ? m_grid->dataSet() : nullptr;
}

int TPrintForm::Execute()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    PreviewFile = QDir(cache).filePath(QStringLiteral("cPage.jpg"));
    m_jpeg.clear();
    m_shown = QImage();
    m_shownScale = m_shownColor = -1;
    PreviewImage->clear();
    PlacementExecute(PlaceLeft);
    Scale->setCurrentIndex(0);
    ColorSpace->setCurrentIndex(0);
    TopMargin = BottomMargin = LeftMargin = RightMargin = 48;
    Header.text.clear();
    Footer.text.clear();
    PrintMode = false;
    ComputeLayout();
    RenderPage();
    ShowMargins();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    qvx::ui::runDialog(*this);
    return QDialog::Rejected;
}

// ---- Layout -------------------------------------------------------------------

int TPrintForm::columnWidth(int column) const
{
    return m_grid ? m_grid->columnWidth(column) * WidthRatio / 2 : 0;
}

void TPrintForm::ComputeLayout()
{
    Services &services = Services::current();
    m_pixelsPerInch = services.pixelsPerInch();
    LargestFontSize = 0;
    const int columns = m_grid ? m_grid->columnCount() : 0;
    for (int k = 0; k < columns; ++k) {
        const QFont font = m_grid->column(k).font.value_or(m_grid->font());
        LargestFontSize = std::max(LargestFontSize, font.pointSize());
    }
    CurrentHorizontalPage = 1;
    CurrentVerticalPage = 1;

    QPrinter &printer = services.printer();
    const QSize page = services.printerPageSize();
    const QSize screen = services.screenSize();
    if (page.width() <= 0 || page.height() <= 0 || screen.width() <= 0 || screen.height() <= 0)
        throw qvx::EngineError(QStringLiteral("The printer reports no page to lay out on"));
    WidthRatio = std::max(1, roundEven(double(page.width()) / screen.width()));
    HeightRatio = std::max(1, roundEven(double(page.height()) / screen.height()));
    if (printer.pageLayout().orientation() == QPageLayout::Portrait) {
        PageWidth = page.height() / HeightRatio;
        PageHeight = page.width() / WidthRatio;
    } else {
        PageWidth = page.width() / WidthRatio;
        PageHeight = page.height() / HeightRatio;
    }
    DrawArea = { LeftMargin, TopMargin, PageWidth - RightMargin, PageHeight - BottomMargin };
    RowHeight = roundEven(LargestFontSize * HeightRatio / 1.5);
    TitleHeight = Title.text.isEmpty() ? 0 : roundEven(Title.size * HeightRatio / 1.5);

    PaginateColumns();
    PaginateRecords();
    PrintFirstHorizontal = 1;
    PrintLastHorizontal = HorizontalPageCount();
    PrintFirstVertical = 1;
    PrintLastVertical = VerticalPageCount();
    showRange();
    updateStatus();
}

void TPrintForm::PaginateColumns()
{
    // A page holds the columns whose cells, each overlapping the one before
    // by a pixel, fit the drawing area's width; a column wider than the area
    // gets a page of its own and is cut at its edge.
    ColumnPages.clear();
    const int available = std::abs(DrawArea.right - DrawArea.left);
    const int columns = m_grid ? m_grid->columnCount() : 0;
    ColumnPage current;
    int running = 0;
    for (int k = 0; k < columns; ++k) {
        const int w = std::min(columnWidth(k), available);
        if (current.last < current.first) {
            current = { k, k };
            running = w;
        } else if (running + w - 1 > available) {
            ColumnPages.push_back(current);
            current = { k, k };
            running = w;
        } else {
            current.last = k;
            running += w - 1;
        }
    }
    // A grid without columns still has one page, with no columns on it.
    ColumnPages.push_back(current);
}

void TPrintForm::PaginateRecords()
{
    // The column-title row opens each page; record i of a page (from 1) runs
    // from y0 + i * (row height - 1) for a row height, where y0 is the
    // drawing area's top, below the title on page 1. A page holds the records
    // whose rows end within the drawing area: on page 1 that may be none
    // (a title as high as the page), on the others at least one.
    qvx::DataSet *data = dataSet();
    const qint64 records = (data && data->isOpen() && m_grid->columnCount() > 0) ? data->recordCount() : 0;
    const int stride = std::max(1, RowHeight - 1);
    const auto capacity = [&](int y0) {
        const int room = DrawArea.bottom - y0 - RowHeight;
        return room < 0 ? 0 : room / stride;
    };
    m_pageRecords = std::max(1, capacity(DrawArea.top));
    m_firstPageRecords = TitleHeight > 0 ? capacity(DrawArea.top + TitleHeight) : m_pageRecords;
    if (records <= m_firstPageRecords)
        m_verticalPages = 1;
    else
        m_verticalPages = 1 + (records - m_firstPageRecords + m_pageRecords - 1) / m_pageRecords;
    m_recordCount = records;
}

TPrintForm::RecordPage TPrintForm::recordPage(qint64 page) const
{
    if (page < 1 || page > m_verticalPages)
        return {};
    if (page == 1)
        return { 1, std::min<qint64>(m_firstPageRecords, m_recordCount) };
    const qint64 first = m_firstPageRecords + (page - 2) * m_pageRecords + 1;
    return { first, std::min<qint64>(first + m_pageRecords - 1, m_recordCount) };
}

// ---- Rendering -------------------------------------------------------------------

QImage TPrintForm::RenderPageImage(int horizontalPage, qint64 verticalPage)
{
    Drawn.clear();
    QImage picture(PageWidth + 16, PageHeight + 16, QImage::Format_RGB32);
    // Fonts in points measure as they do on the screen the layout was made for.
    const int dotsPerMeter = qRound(m_pixelsPerInch / 0.0254);
    picture.setDotsPerMeterX(dotsPerMeter);
    picture.setDotsPerMeterY(dotsPerMeter);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    const QPalette palette = QApplication::palette();
    const QColor shadow = palette.color(QPalette::Shadow);
    if (!PrintMode) {
        painter.fillRect(picture.rect(), palette.color(QPalette::Midlight));
        painter.fillRect(edges(8, 8, picture.width() - 8, picture.height() - 8), shadow);
        painter.fillRect(edges(0, 0, PageWidth, PageHeight), Qt::white);
        painter.setPen(QPen(shadow, 0));
        painter.drawRect(QRect(0, 0, PageWidth - 1, PageHeight - 1));
        painter.setPen(QPen(shadow, 0, Qt::DotLine));
        painter.drawRect(QRect(DrawArea.left, DrawArea.top, DrawArea.right - DrawArea.left - 1,
                               DrawArea.bottom - DrawArea.top - 1));
    }
    if (PrintHeaderCheck->isChecked() && !Header.text.isEmpty())
        drawTextBlock(painter, Header, edges(DrawArea.left, 2, DrawArea.right, DrawArea.top), true);
    if (PrintFooterCheck->isChecked() && !Footer.text.isEmpty())
        drawTextBlock(
            painter, Footer,
            edges(DrawArea.left, DrawArea.bottom, DrawArea.right, DrawArea.bottom + BottomMargin - 2), true);
    int y = DrawArea.top;
    if (!Title.text.isEmpty() && horizontalPage == 1 && verticalPage == 1) {
        drawTextBlock(painter, Title, edges(DrawArea.left, DrawArea.top, DrawArea.right, DrawArea.bottom),
                      false);
        y = DrawArea.top + TitleHeight;
    }
    if (horizontalPage >= 1 && horizontalPage <= HorizontalPageCount()) {
        const ColumnPage columns = ColumnPages[size_t(horizontalPage - 1)];
        // The column titles go where they fit; below a title as high as the
        // page they would run into the footer, and the page holds no records.
        if (columns.last >= columns.first && y + RowHeight <= DrawArea.bottom) {
            drawRow(painter, columns, y, 0);
            const RecordPage records = recordPage(verticalPage);
            for (qint64 r = records.first; r <= records.last; ++r) {
                y += RowHeight - 1;
                drawRow(painter, columns, y, r);
            }
        }
    }
    return picture;
}

void TPrintForm::drawTextBlock(QPainter &painter, const TextBlock &block, const QRect &band, bool centred)
{
    const QFont font = block.applyTo(QApplication::font());
    painter.setFont(font);
    const QFontMetrics metrics(font, painter.device());
    const int right = band.x() + band.width();
    const int bottom = band.y() + band.height();
    const QPoint at(alignedX(block.alignment, band.x(), right, metrics.horizontalAdvance(block.text)),
                    centred ? (band.y() + bottom - metrics.height()) / 2 : band.y());
    painter.fillRect(band, Qt::white);
    painter.save();
    painter.setClipRect(band);
    painter.setPen(block.color);
    painter.drawText(at.x(), at.y() + metrics.ascent(), block.text);
    painter.restore();
    Drawn << DrawnText { band, at, block.text };
}

void TPrintForm::drawCell(QPainter &painter, const QRect &cell, const QString &text, const QFont &font,
                          const QColor &fill, const QColor &ink, Qt::Alignment alignment)
{
    painter.setFont(font);
    const QFontMetrics metrics(font, painter.device());
    const int right = cell.x() + cell.width();
    const int bottom = cell.y() + cell.height();
    const QPoint at(alignedX(alignment, cell.x(), right, metrics.horizontalAdvance(text)),
                    (cell.y() + bottom - metrics.height()) / 2);
    painter.fillRect(cell, fill);
    painter.save();
    painter.setClipRect(cell);
    painter.setPen(ink);
    painter.drawText(at.x(), at.y() + metrics.ascent(), text);
    painter.restore();
    if (PrintBordersCheck->isChecked()) {
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(QRect(cell.x(), cell.y(), cell.width() - 1, cell.height() - 1));
    }
    Drawn << DrawnText { cell, at, text };
}

void TPrintForm::drawRow(QPainter &painter, const ColumnPage &columns, int y, qint64 recNo)
{
    // recNo 0 draws the column titles.
    qvx::DataSet *data = dataSet();
    if (recNo > 0)
        data->setRecNo(recNo);
    const qvx::ui::GridModel *model = m_grid->gridModel();
    const QPalette palette = m_grid->palette();

    // Measuring pass: where the row would end, for the placement.
    int x = DrawArea.left;
    int total = 0;
    for (int k = columns.first; k <= columns.last; ++k) {
        const int w = columnWidth(k);
        total += w;
        int cellRight = x + w;
        if (DrawArea.right < x)
            break;
        if (DrawArea.right < cellRight)
            cellRight = DrawArea.right;
        x = cellRight - 1;
    }
    switch (TablePlacement) {
    case PlaceCenter:
        x = (DrawArea.left + DrawArea.right - total) / 2;
        break;
    case PlaceRight:
        x = std::abs(DrawArea.right - total);
        break;
    default:
        x = DrawArea.left;
        break;
    }

    for (int k = columns.first; k <= columns.last; ++k) {
        const int w = columnWidth(k);
        if (DrawArea.right < x)
            break;
        const int cellRight = std::min(x + w, DrawArea.right);
        const QRect cell = edges(x, y, cellRight, y + RowHeight);
        const qvx::ui::GridColumn &format = m_grid->column(k);
        const int field = model->fieldOfColumn(k);
        if (recNo == 0) {
            const QString title = field >= 0 ? data->field(field).displayLabel : QString();
            const QColor fill
                = format.titleColor.isValid() ? format.titleColor : palette.color(QPalette::Button);
            const QColor ink = format.titleFontColor.isValid() ? format.titleFontColor
                                                               : palette.color(QPalette::ButtonText);
            drawCell(painter, cell, title, format.titleFont.value_or(m_grid->horizontalHeader()->font()),
                     fill, ink, format.titleAlignment);
        } else {
            QString text;
            Qt::Alignment alignment = Qt::AlignLeft;
            if (field >= 0) {
                const qvx::FieldDef &def = data->field(field);
                text = qvx::output::binaryCaption(def.type);
                if (text.isEmpty())
                    text = qvx::ui::GridModel::cellText(data->value(field), def);
                alignment = qvx::ui::GridModel::qtAlignment(def.alignment);
            }
            const QColor fill = format.color.isValid() ? format.color : palette.color(QPalette::Base);
            const QColor ink = format.fontColor.isValid() ? format.fontColor : palette.color(QPalette::Text);
            drawCell(painter, cell, text, format.font.value_or(m_grid->font()), fill, ink, alignment);
        }
        x = cellRight - 1;
    }
}

void TPrintForm::RenderPage()
{
    const QImage picture = RenderPageImage(CurrentHorizontalPage, CurrentVerticalPage);
    // The codec's defaults: quality 90 (text stays sharp at a size a page
    // needs), optimized Huffman tables, 4:2:0 chroma, baseline -- a
    // progressive file would only slow the preview's every re-decode.
    qvx::ui::writeJpegFile(PreviewFile, picture);
    QFile file(PreviewFile);
    if (!file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(QStringLiteral("Cannot read %1: %2").arg(PreviewFile, file.errorString()));
    const QByteArray bytes = file.readAll();
    const qvx::jpeg::Header header = qvx::jpeg::readHeader(bytes, PreviewFile);
    m_jpeg = bytes;
    m_pictureSize = QSize(header.width, header.height);
    m_shownScale = m_shownColor = -1;
    decodePreview();
    updateStatus();
}

void TPrintForm::decodePreview()
{
    if (m_jpeg.isEmpty())
        return;
    static const int denominators[] = { 1, 2, 4, 8 };
    const int scale = std::clamp(Scale->currentIndex(), 0, 3);
    const int color = ColorSpace->currentIndex();
    if (scale != m_shownScale || color != m_shownColor) {
        qvx::jpeg::DecodeOptions options;
        options.scaleDenominator = denominators[scale];
        options.grayscale = color == 1;
        m_shown = qvx::ui::decodeJpeg(m_jpeg, options, PreviewFile);
        m_shownScale = scale;
        m_shownColor = color;
    }
    // The preview keeps the full picture's size; a reduced one shows at its
    // top-left corner.
    PreviewImage->setFixedSize(m_pictureSize);
    PreviewImage->setPixmap(QPixmap::fromImage(m_shown));
    PreviewImage->parentWidget()->resize(m_pictureSize + QSize(20, 20));
}

void TPrintForm::ApplyPreviewScale()
{
    const bool picture = !m_jpeg.isEmpty();
    Scale->setEnabled(picture);
    ColorSpace->setEnabled(picture);
    decodePreview();
}

void TPrintForm::RefreshPreview()
{
    RenderPage();
    ApplyPreviewScale();
}

void TPrintForm::updateStatus()
{
    StatusPanel[0]->setText(QStringLiteral(" Horizontal: ") + QString::number(CurrentHorizontalPage));
    StatusPanel[1]->setText(QStringLiteral(" Vertical: ") + QString::number(CurrentVerticalPage));
    StatusPanel[2]->setText(QStringLiteral(" ") + m_caption);
}

QString TPrintForm::marginText(int margin, int pixelsPerInch)
{
    double inches = double(margin) / std::max(1, pixelsPerInch);
    if (inches != 0) {
        // Two significant digits, shown with two decimals.
        const double magnitude = std::pow(10.0, 1 - std::floor(std::log10(std::abs(inches))));
        inches = std::round(inches * magnitude) / magnitude;
    }
    return QLocale().toString(inches, 'f', 2) + QLatin1Char('"');
}

void TPrintForm::ShowMargins()
{
    TopValue->setText(marginText(TopMargin, m_pixelsPerInch));
    BottomValue->setText(marginText(BottomMargin, m_pixelsPerInch));
    LeftValue->setText(marginText(LeftMargin, m_pixelsPerInch));
    RightValue->setText(marginText(RightMargin, m_pixelsPerInch));
}

void TPrintForm::showRange()
{
    FirstHorizontalPage->setText(QString::number(PrintFirstHorizontal));
    LastHorizontalPage->setText(QString::number(PrintLastHorizontal));
    FirstVerticalPage->setText(QString::number(PrintFirstVertical));
    LastVerticalPage->setText(QString::number(PrintLastVertical));
}

void TPrintForm::takeRange()
{
    // A number typed into a range box is kept within the pages there are.
    const auto read = [](QLineEdit *box, qint64 fallback) {
        bool ok = false;
        const qint64 value = box->text().trimmed().toLongLong(&ok);
        return ok ? value : fallback;
    };
    PrintFirstHorizontal
        = int(std::clamp<qint64>(read(FirstHorizontalPage, PrintFirstHorizontal), 1, HorizontalPageCount()));
    PrintLastHorizontal = int(std::clamp<qint64>(read(LastHorizontalPage, PrintLastHorizontal),
                                                 PrintFirstHorizontal, HorizontalPageCount()));
    PrintFirstVertical
        = std::clamp<qint64>(read(FirstVerticalPage, PrintFirstVertical), 1, VerticalPageCount());
    PrintLastVertical = std::clamp<qint64>(read(LastVerticalPage, PrintLastVertical), PrintFirstVertical,
                                           VerticalPageCount());
    showRange();
}

// ---- Margins -------------------------------------------------------------------------

void TPrintForm::MarginDown(int &margin)
{
    margin -= 12;
    if (margin <= 24)
        margin = 24;
    ShowMargins();
}

void TPrintForm::MarginUp(int &margin, bool vertical)
{
    margin += 12;
    const QSize picture(PageWidth + 16, PageHeight + 16);
    if (vertical ? TopMargin + BottomMargin >= picture.height() - 50
                 : LeftMargin + RightMargin >= picture.width() - 100)
        margin -= 12;
    ShowMargins();
}

// ---- Printing and saving -------------------------------------------------------------

void TPrintForm::drawFitted(QPainter &painter, const QImage &picture)
{
    const QRect page = Services::current().printer().pageRect(QPrinter::DevicePixel).toRect();
    const QSize size = qvx::ui::fitToPage(picture.size(), page.size());
    painter.drawImage(QRect(QPoint(0, 0), size), picture);
}

void TPrintForm::PrintCurrentPageExecute()
{
    if (!qvx::ui::choosePrintTarget(this, m_caption))
        return;
    withPagePrinted([this] {
        QPainter painter;
        qvx::ui::startPrinting(painter);
        drawFitted(painter, m_shown);
        painter.end();
    });
}

void TPrintForm::withPagePrinted(const std::function<void()> &use)
{
    const int scale = Scale->currentIndex();
    PrintMode = true;
    Scale->setCurrentIndex(0);
    // Whatever happens to the page, the page manager comes back to the
    // preview at the zoom it had.
    const auto restore = qScopeGuard([this, scale] {
        PrintMode = false;
        Scale->setCurrentIndex(scale);
        RefreshPreview();
    });
    RefreshPreview();
    use();
}

void TPrintForm::printPages(QPainter &painter, int firstH, int lastH, qint64 firstV, qint64 lastV)
{
    QPrinter &printer = Services::current().printer();
    const bool wasPrinting = PrintMode;
    PrintMode = true;
    const auto restore = qScopeGuard([this, wasPrinting] { PrintMode = wasPrinting; });
    bool first = true;
    for (int h = firstH; h <= lastH; ++h) {
        for (qint64 v = firstV; v <= lastV; ++v) {
            if (!first && !printer.newPage())
                throw qvx::EngineError(QStringLiteral("The printer could not start a new page"));
            first = false;
            drawFitted(painter, RenderPageImage(h, v));
        }
    }
}

void TPrintForm::PrintExecute()
{
    takeRange();
    if (!qvx::ui::choosePrintTarget(this, m_caption))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto cursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    QPainter painter;
    qvx::ui::startPrinting(painter);
    printPages(painter, PrintFirstHorizontal, PrintLastHorizontal, PrintFirstVertical, PrintLastVertical);
    painter.end();
}

void TPrintForm::PrintAllPages(qvx::ui::DBGrid *grid, const QString &caption)
{
    setSource(grid, caption);
    ComputeLayout();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto cursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    QPainter painter;
    qvx::ui::startPrinting(painter);
    printPages(painter, 1, HorizontalPageCount(), 1, VerticalPageCount());
    painter.end();
}

void TPrintForm::SaveAsJPGExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Save Current Page");
    request.filter = QStringLiteral("JPEG Image File (*.jpg)|*.jpg");
    request.defaultExtension = QStringLiteral("*.jpg");
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().saveFile(this, request);
    if (!answer)
        return;
    withPagePrinted([this, &answer] {
        QSaveFile file(answer->fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_jpeg) != m_jpeg.size() || !file.commit())
            throw qvx::EngineError(
                QStringLiteral("Cannot write %1: %2").arg(answer->fileName, file.errorString()));
    });
}

void TPrintForm::PrintSetupExecute()
{
    if (!Services::current().printerSetupDialog(this))
        return;
    ComputeLayout();
    RefreshPreview();
}

// ---- Placement, text blocks, pages --------------------------------------------------------

void TPrintForm::PlacementExecute(int placement)
{
    TablePlacement = placement;
    command(QStringLiteral("Left"))->setChecked(placement == PlaceLeft);
    command(QStringLiteral("Center"))->setChecked(placement == PlaceCenter);
    command(QStringLiteral("Right"))->setChecked(placement == PlaceRight);
    if (!m_jpeg.isEmpty())
        RefreshPreview();
}

void TPrintForm::editBlock(TextBlock &block)
{
    m_textManager.setBlock(block);
    m_textManager.Execute();
    // OK or Cancel, the block takes back what the Text Manager holds.
    block = m_textManager.block();
}

void TPrintForm::TitleExecute()
{
    editBlock(Title);
    ComputeLayout();
    RefreshPreview();
}

void TPrintForm::HeaderExecute()
{
    editBlock(Header);
    RefreshPreview();
}

void TPrintForm::FooterExecute()
{
    editBlock(Footer);
    RefreshPreview();
}

void TPrintForm::PrevisionExecute()
{
    CurrentHorizontalPage = std::max(1, CurrentHorizontalPage - 1);
    RefreshPreview();
}

void TPrintForm::NextExecute()
{
    CurrentHorizontalPage = std::min(HorizontalPageCount(), CurrentHorizontalPage + 1);
    RefreshPreview();
}

void TPrintForm::UpExecute()
{
    CurrentVerticalPage = std::max<qint64>(1, CurrentVerticalPage - 1);
    RefreshPreview();
}

void TPrintForm::DownExecute()
{
    CurrentVerticalPage = std::min(VerticalPageCount(), CurrentVerticalPage + 1);
    RefreshPreview();
}

void TPrintForm::FirstExecute()
{
    CurrentHorizontalPage = 1;
    CurrentVerticalPage = 1;
    RefreshPreview();
}

void TPrintForm::LastExecute()
{
    CurrentHorizontalPage = HorizontalPageCount();
    CurrentVerticalPage = VerticalPageCount();
    RefreshPreview();
}

void TPrintForm::UpdateExecute()
{
    ComputeLayout();
    RefreshPreview();
}
