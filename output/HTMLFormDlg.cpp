#include "HTMLFormDlg.h"

#include "FieldCaption.h"
#include "HTMLFontsDlg.h"

#include "engine/DataSet.h"
#include "engine/EngineError.h"
#include "ui/CommandList.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/GridModel.h"
#include "ui/Named.h"
#include "ui/PrintTarget.h"
#include "ui/Services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

using qvx::ui::FileDialogRequest;
using qvx::ui::glyph;
using qvx::ui::guarded;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

const QString HtmlFilter = QStringLiteral("HTML|*.HTML|All ...|*.*");

// The busy cursor for the length of a command, gone again however the
// command ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QPushButton *pushButton(const QString &caption, const QString &name)
{
    auto *button = named(new QPushButton(caption), name);
    // Enter in the address box must open the address, not press whichever
    // button last had the focus.
    button->setAutoDefault(false);
    return button;
}

QToolButton *toolButton(const QString &name, const QString &themeName, const QString &hint)
{
    auto *button = named(new QToolButton, name);
    button->setIcon(glyph(themeName, hint));
    button->setToolTip(hint);
    return button;
}

QPlainTextEdit *memo(const QString &name, int minimumHeight = 24)
{
    auto *box = named(new QPlainTextEdit, name);
    box->setMinimumHeight(minimumHeight);
    return box;
}

QSpinBox *numberBox(const QString &name)
{
    auto *box = named(new QSpinBox, name);
    box->setRange(0, 999);
    box->setValue(0);
    return box;
}

bool holdsNonAscii(const QStringList &lines)
{
    for (const QString &line : lines)
        for (const QChar c : line)
            if (c.unicode() > 0x7f)
                return true;
    return false;
}

// Text for the page: markup characters escaped, and the line breaks of a
// memo kept as breaks (a raw one would only split the editor's line).
QString htmlText(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QStringLiteral("\r\n"), QStringLiteral("<BR>"));
    escaped.replace(u'\n', QStringLiteral("<BR>"));
    escaped.replace(u'\r', QStringLiteral("<BR>"));
    return escaped;
}

// A value as the record grid shows it, except that the binary kinds name
// their kind instead of giving their size.
QString shownValue(const QVariant &value, const qvx::FieldDef &field)
{
    if (field.type != qvx::FieldType::Memo) {
        const QString kind = qvx::output::binaryCaption(field.type);
        if (!kind.isEmpty())
            return kind;
    }
    return qvx::ui::GridModel::cellText(value, field);
}

QString colourAttribute(const char *name, const QColor &colour)
{
    if (!colour.isValid())
        return {};
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), colour.name(QColor::HexRgb));
}

// The memo's lines as a list of strings holds them: no line for an empty
// memo, and none for the break that ends the last line.
QStringList memoLines(const QPlainTextEdit &memo)
{
    QString text = memo.toPlainText();
    if (text.isEmpty())
        return {};
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.split(u'\n');
}

} // namespace

THTMLForm::THTMLForm(THTMLFontFormDlg &fontDialog, QWidget *parent)
    : QDialog(parent), m_fontDialog(fontDialog)
{
    setObjectName(QStringLiteral("HTMLForm"));
    setWindowTitle(QStringLiteral("HTML Editor"));

    PageControl = named(new QTabWidget, QStringLiteral("PageControl"));
    PageControl->setTabPosition(QTabWidget::South);
    PageControl->addTab(buildEditPage(), QStringLiteral("Edit HTML"));
    PageControl->addTab(buildPagePropertiesPage(), QStringLiteral("Page Properties"));
    PageControl->addTab(buildTablePropertiesPage(), QStringLiteral("Table Properties"));
    PageControl->addTab(buildPreviewPage(), QStringLiteral("Preview"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(PageControl);

    setMinimumSize(732, 294);
    resize(732, 326);

    const auto guard = [this](auto fn) { return [this, fn] { guarded(this, fn); }; };
    connect(CreateHTMLBtn, &QPushButton::clicked, this, guard([this] { CreateHTMLBtnClick(); }));
    connect(SaveHTMLBtn, &QPushButton::clicked, this, guard([this] { SaveHTMLBtnClick(); }));
    connect(ClearHTMLBtn, &QPushButton::clicked, this, guard([this] { ClearHTMLBtnClick(); }));
    connect(PrintHTMLBtn, &QPushButton::clicked, this, guard([this] { PrintHTMLBtnClick(); }));
    connect(PageSetupBtn, &QPushButton::clicked, this, guard([this] { PageSetupBtnClick(); }));
    connect(OpenHTMLBtn, &QPushButton::clicked, this, guard([this] { OpenHTMLBtnClick(); }));
    connect(AddFieldBtn, &QToolButton::clicked, this,
            guard([this] { moveFields(*ListBox1, *ListBox2, false); }));
    connect(AddAllFieldsBtn, &QToolButton::clicked, this,
            guard([this] { moveFields(*ListBox1, *ListBox2, true); }));
    connect(RemoveFieldBtn, &QToolButton::clicked, this,
            guard([this] { moveFields(*ListBox2, *ListBox1, false); }));
    connect(RemoveAllFieldsBtn, &QToolButton::clicked, this,
            guard([this] { moveFields(*ListBox2, *ListBox1, true); }));

    connect(PageColorBtn, &QPushButton::clicked, this, guard([this] { chooseColour(PageColor); }));
    connect(BackColorBtn, &QPushButton::clicked, this, guard([this] { chooseColour(BackColor); }));
    connect(BorderColorBtn, &QPushButton::clicked, this, guard([this] { chooseColour(BorderColor); }));
    connect(BorderColorDarkBtn, &QPushButton::clicked, this,
            guard([this] { chooseColour(BorderColorDark); }));
    connect(BorderColorLightBtn, &QPushButton::clicked, this,
            guard([this] { chooseColour(BorderColorLight); }));

    connect(GoButton, &QToolButton::clicked, this, guard([this] { GoToURLBtnClick(); }));
    connect(PrevisionButton, &QToolButton::clicked, this, guard([this] { GoBackBtnClick(); }));
    connect(StopButton, &QToolButton::clicked, this, guard([this] { StopBtnClick(); }));
    connect(NextButton, &QToolButton::clicked, this, guard([this] { GoForwardBtnClick(); }));
    connect(PrintButton, &QToolButton::clicked, this, guard([this] { PrintBtnClick(); }));
    connect(ComboURL->lineEdit(), &QLineEdit::returnPressed, this,
            guard([this] { OpenAddress(ComboURL->currentText()); }));
    connect(WebBrowser, &QTextBrowser::backwardAvailable, PrevisionButton, &QWidget::setEnabled);
    connect(WebBrowser, &QTextBrowser::forwardAvailable, NextButton, &QWidget::setEnabled);

    HeaderMemo->viewport()->installEventFilter(this);
}

QWidget *THTMLForm::buildEditPage()
{
    auto *page = new QWidget;
    HTMLMemo = memo(QStringLiteral("HTMLMemo"), 60);
    HTMLMemo->setLineWrapMode(QPlainTextEdit::NoWrap);

    CreateHTMLBtn = pushButton(QStringLiteral("Create HTML"), QStringLiteral("CreateHTMLBtn"));
    SaveHTMLBtn = pushButton(QStringLiteral("Save HTML"), QStringLiteral("SaveHTMLBtn"));
    ClearHTMLBtn = pushButton(QStringLiteral("Clear HTML"), QStringLiteral("ClearHTMLBtn"));
    PrintHTMLBtn = pushButton(QStringLiteral("Print HTML"), QStringLiteral("PrintHTMLBtn"));
    PageSetupBtn = pushButton(QStringLiteral("Page Setup"), QStringLiteral("PageSetupBtn"));
    OpenHTMLBtn = pushButton(QStringLiteral("Open HTML"), QStringLiteral("OpenHTMLBtn"));

    ListBox1 = named(new QListWidget, QStringLiteral("ListBox1"));
    ListBox1->setSortingEnabled(true);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox2 = named(new QListWidget, QStringLiteral("ListBox2"));
    ListBox2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QListWidget *list : { ListBox1, ListBox2 })
        list->setMinimumSize(90, 40);

    AddFieldBtn = toolButton(QStringLiteral("AddFieldBtn"), QStringLiteral("go-next"), QStringLiteral(">"));
    AddAllFieldsBtn
        = toolButton(QStringLiteral("AddAllFieldsBtn"), QStringLiteral("go-last"), QStringLiteral(">>"));
    RemoveFieldBtn
        = toolButton(QStringLiteral("RemoveFieldBtn"), QStringLiteral("go-previous"), QStringLiteral("<"));
    RemoveAllFieldsBtn
        = toolButton(QStringLiteral("RemoveAllFieldsBtn"), QStringLiteral("go-first"), QStringLiteral("<<"));

    Gauge = named(new QProgressBar, QStringLiteral("Gauge"));
    Gauge->setRange(0, 100);
    Gauge->setValue(0);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    for (QPushButton *b :
         { CreateHTMLBtn, SaveHTMLBtn, ClearHTMLBtn, PrintHTMLBtn, PageSetupBtn, OpenHTMLBtn })
        buttons->addWidget(b);
    buttons->addStretch();

    auto *arrows = new QVBoxLayout;
    arrows->addStretch();
    for (QToolButton *b : { AddFieldBtn, AddAllFieldsBtn, RemoveFieldBtn, RemoveAllFieldsBtn })
        arrows->addWidget(b);
    arrows->addStretch();

    auto *lists = new QGridLayout;
    lists->setVerticalSpacing(2);
    auto *sourceLabel = new QLabel(QStringLiteral("Source Fields:"));
    sourceLabel->setBuddy(ListBox1);
    auto *selectedLabel = new QLabel(QStringLiteral("Selected Fields:"));
    selectedLabel->setBuddy(ListBox2);
    lists->addWidget(sourceLabel, 0, 0);
    lists->addWidget(selectedLabel, 0, 2);
    lists->addWidget(ListBox1, 1, 0);
    lists->addLayout(arrows, 1, 1);
    lists->addWidget(ListBox2, 1, 2);
    lists->addWidget(Gauge, 2, 0, 1, 3);

    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(HTMLMemo, 3);
    layout->addLayout(buttons);
    layout->addLayout(lists, 2);
    return page;
}

QWidget *THTMLForm::buildPagePropertiesPage()
{
    auto *page = new QWidget;
    EditTitle = named(new QLineEdit, QStringLiteral("EditTitle"));
    EditAuthor = named(new QLineEdit, QStringLiteral("EditAuthor"));
    CurrentDate = named(new QCheckBox(QStringLiteral("Insert Current Date")), QStringLiteral("CurrentDate"));
    CurrentTime = named(new QCheckBox(QStringLiteral("Insert Current Time")), QStringLiteral("CurrentTime"));
    InsertLines = named(new QCheckBox(QStringLiteral("Insert Lines")), QStringLiteral("InsertLines"));
    PageColorBtn = pushButton(QStringLiteral("Page Color"), QStringLiteral("PageColorBtn"));
    HeaderMemo = memo(QStringLiteral("HeaderMemo"));
    HeaderMemo->setToolTip(QStringLiteral("Double click for the text properties"));
    TopMemo = memo(QStringLiteral("TopMemo"));
    BottomMemo = memo(QStringLiteral("BottomMemo"));
    FooterMemo = memo(QStringLiteral("FooterMemo"));

    auto *fields = new QFormLayout;
    fields->setVerticalSpacing(2);
    fields->addRow(QStringLiteral("Title:"), EditTitle);
    fields->addRow(QStringLiteral("Author:"), EditAuthor);
    auto *checks = new QVBoxLayout;
    checks->setSpacing(2);
    for (QWidget *w :
         std::initializer_list<QWidget *> { CurrentDate, CurrentTime, InsertLines, PageColorBtn })
        checks->addWidget(w);
    checks->addStretch();

    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(checks);

    auto *memos = new QVBoxLayout;
    memos->setSpacing(2);
    for (QPlainTextEdit *m : { HeaderMemo, TopMemo, BottomMemo, FooterMemo })
        memos->addWidget(m);

    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(left, 1);
    layout->addLayout(memos, 2);
    return page;
}

QWidget *THTMLForm::buildTablePropertiesPage()
{
    auto *page = new QWidget;
    TableTopMemo = memo(QStringLiteral("TableTopMemo"));
    TableBottomMemo = memo(QStringLiteral("TableBottomMemo"));
    TableDBGrid = named(new QTableWidget, QStringLiteral("TableDBGrid"));
    TableDBGrid->setMinimumHeight(40);
    TableDBGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    const struct {
        const char *caption;
        const char *name;
    } popup[] = {
        { "Title Color", "TitleColor" },   { "Title Font", "TitleFont" },   { "Title Align", "TitleAlign" },
        { "Column Color", "ColumnColor" }, { "Column Font", "ColumnFont" }, { "Column Align", "ColumnAlign" },
        { "Row Color", "RowColor" },       { "Row Font", "RowFont" },       { "Row Align", "RowAlign" },
    };
    for (const auto &item : popup)
        TableDBGrid->addAction(named(new QAction(QString::fromLatin1(item.caption), TableDBGrid),
                                     QString::fromLatin1(item.name)));

    BorderWidth = numberBox(QStringLiteral("BorderWidth"));
    Cellpadding = numberBox(QStringLiteral("Cellpadding"));
    Cellspacing = numberBox(QStringLiteral("Cellspacing"));
    BackColorBtn = pushButton(QStringLiteral("Back color"), QStringLiteral("BackColorBtn"));
    BorderColorBtn = pushButton(QStringLiteral("Border Color"), QStringLiteral("BorderColorBtn"));
    BorderColorDarkBtn
        = pushButton(QStringLiteral("Border Color Dark"), QStringLiteral("BorderColorDarkBtn"));
    BorderColorLightBtn
        = pushButton(QStringLiteral("Border Color Light"), QStringLiteral("BorderColorLightBtn"));

    auto *grid = new QVBoxLayout;
    grid->setSpacing(2);
    grid->addWidget(TableTopMemo, 1);
    grid->addWidget(TableDBGrid, 3);
    grid->addWidget(TableBottomMemo, 1);

    auto *numbers = new QFormLayout;
    numbers->setVerticalSpacing(2);
    numbers->addRow(QStringLiteral("Border Width:"), BorderWidth);
    numbers->addRow(QStringLiteral("Cellpadding:"), Cellpadding);
    numbers->addRow(QStringLiteral("Cellspacing:"), Cellspacing);

    auto *colours = new QGridLayout;
    colours->setSpacing(2);
    colours->addWidget(BackColorBtn, 0, 0);
    colours->addWidget(BorderColorBtn, 0, 1);
    colours->addWidget(BorderColorDarkBtn, 1, 0);
    colours->addWidget(BorderColorLightBtn, 1, 1);

    auto *right = new QVBoxLayout;
    right->addLayout(numbers);
    right->addLayout(colours);
    right->addStretch();

    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid, 2);
    layout->addLayout(right, 1);
    return page;
}

QWidget *THTMLForm::buildPreviewPage()
{
    auto *page = new QWidget;
    ComboURL = named(new QComboBox, QStringLiteral("ComboURL"));
    ComboURL->setEditable(true);
    // Addresses join the list when a page has been shown, not when typed.
    ComboURL->setInsertPolicy(QComboBox::NoInsert);
    ComboURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    GoButton
        = toolButton(QStringLiteral("GoButton"), QStringLiteral("go-jump"), QStringLiteral("Go To URL ..."));
    GoButton->setText(QStringLiteral("Go"));
    GoButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    PrevisionButton = toolButton(QStringLiteral("PrevisionButton"), QStringLiteral("go-previous"),
                                 QStringLiteral("Go Back"));
    StopButton
        = toolButton(QStringLiteral("StopButton"), QStringLiteral("process-stop"), QStringLiteral("Stop"));
    NextButton
        = toolButton(QStringLiteral("NextButton"), QStringLiteral("go-next"), QStringLiteral("Go Forward"));
    PrintButton = toolButton(QStringLiteral("PrintButton"), QStringLiteral("document-print"),
                             QStringLiteral("Print Page"));
    for (QToolButton *b : { PrevisionButton, StopButton, NextButton, PrintButton })
        b->setEnabled(false);

    WebBrowser = named(new QTextBrowser, QStringLiteral("WebBrowser"));
    WebBrowser->setOpenLinks(true);
    WebBrowser->setMinimumHeight(40);

    StatusBar = named(new QStatusBar, QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = named(new QLabel, QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(600);
    StatusPanel1 = named(new QLabel, QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(50);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1);

    auto *bar = new QHBoxLayout;
    bar->setSpacing(2);
    auto *fileLabel = new QLabel(QStringLiteral("Select File:"));
    fileLabel->setBuddy(ComboURL);
    bar->addWidget(fileLabel);
    bar->addWidget(ComboURL, 1);
    for (QToolButton *b : { GoButton, PrevisionButton, StopButton, NextButton, PrintButton })
        bar->addWidget(b);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(WebBrowser, 1);
    layout->addWidget(StatusBar);
    return page;
}

bool THTMLForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == HeaderMemo->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        guarded(this, [this] { HeaderMemoDblClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void THTMLForm::setSourceTable(qvx::DataSet *dataSet, const QString &caption)
{
    m_source = dataSet;
    m_sourceCaption = caption;
}

bool THTMLForm::Execute()
{
    ListBox1->clear();
    ListBox2->clear();
    if (m_source && m_source->isOpen()) {
        for (int i = 0; i < m_source->fieldCount(); ++i)
            if (m_source->field(i).visible)
                ListBox1->addItem(m_source->field(i).name);
    }
    const QSize screen = Services::current().screenSize();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
    return qvx::ui::runDialog(*this) == QDialog::Accepted;
}

void THTMLForm::moveFields(QListWidget &from, QListWidget &to, bool all)
{
    // Taken in the order the list shows them, so the chosen fields keep
    // that order in the other list.
    QList<QListWidgetItem *> moving;
    for (int row = 0; row < from.count(); ++row)
        if (all || from.item(row)->isSelected())
            moving << from.item(row);
    for (QListWidgetItem *item : moving) {
        from.takeItem(from.row(item));
        item->setSelected(false);
        to.addItem(item);
    }
}

void THTMLForm::chooseColour(QColor &colour)
{
    const QColor initial = colour.isValid() ? colour : QColor(Qt::white);
    if (const std::optional<QColor> chosen = Services::current().chooseColor(this, initial))
        colour = *chosen;
}

QStringList THTMLForm::tableLines()
{
    if (!m_source || !m_source->isOpen())
        return {};
    std::vector<int> fields;
    for (int row = 0; row < ListBox2->count(); ++row) {
        const int index = m_source->fieldIndex(ListBox2->item(row)->text());
        if (index >= 0)
            fields.push_back(index);
    }
    if (fields.empty()) {
        for (int i = 0; i < m_source->fieldCount(); ++i)
            if (m_source->field(i).visible)
                fields.push_back(i);
    }
    if (fields.empty())
        return {};

    QStringList lines;
    lines << QStringLiteral("    <TABLE BORDER=\"%1\" CELLPADDING=\"%2\" CELLSPACING=\"%3\"%4%5%6%7>")
                 .arg(BorderWidth->value())
                 .arg(Cellpadding->value())
                 .arg(Cellspacing->value())
                 .arg(colourAttribute("BGCOLOR", BackColor), colourAttribute("BORDERCOLOR", BorderColor),
                      colourAttribute("BORDERCOLORDARK", BorderColorDark),
                      colourAttribute("BORDERCOLORLIGHT", BorderColorLight));
    if (!m_sourceCaption.isEmpty())
        lines << QStringLiteral("      <CAPTION>%1</CAPTION>").arg(htmlText(m_sourceCaption));

    QString titles = QStringLiteral("      <TR>");
    for (const int f : fields) {
        const qvx::FieldDef &def = m_source->field(f);
        titles += QStringLiteral("<TH>%1</TH>")
                      .arg(htmlText(def.displayLabel.isEmpty() ? def.name : def.displayLabel));
    }
    lines << titles + QStringLiteral("</TR>");

    // The count is only a guide for the gauge; where learning it means
    // reading every record, the gauge just shows that work goes on.
    const qint64 expected = m_source->isCountCostly() ? 0 : m_source->recordCount();
    Gauge->setRange(0, expected > 0 ? 100 : 0);
    Gauge->setValue(0);
    int shownPercent = 0;
    qint64 recNo = 1;
    for (; m_source->hasRecord(recNo); ++recNo) {
        QString row = QStringLiteral("      <TR>");
        for (const int f : fields)
            row += QStringLiteral("<TD>%1</TD>")
                       .arg(htmlText(shownValue(m_source->readField(recNo, f), m_source->field(f))));
        lines << row + QStringLiteral("</TR>");
        if (expected > 0) {
            const int percent = int(qMin<qint64>(100, recNo * 100 / expected));
            if (percent != shownPercent) {
                shownPercent = percent;
                Gauge->setValue(percent);
                Gauge->repaint();
            }
        }
    }
    Gauge->setRange(0, 100);
    Gauge->setValue(100);
    lines << QStringLiteral("    </TABLE>");
    return lines;
}

void THTMLForm::CreateHTMLBtnClick()
{
    {
        const BusyCursor busy;
        QStringList lines {
            QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">"),
            QStringLiteral("<HTML>"),
            QStringLiteral("<HEAD>"),
            QStringLiteral(
                "  <META name=\"Quorvex Editor\" content=\"Halvessa Ltd. Plenwick V1.0 for Windows\">"),
            QStringLiteral("  <META http-equiv=\"Content-Style-Type\" content=\"text/css\">"),
            QString(),
            QStringLiteral("  <TITLE> ") + EditTitle->text().toHtmlEscaped() + QStringLiteral(" </TITLE>"),
            QString(),
            QStringLiteral("<STYLE type=\"text/css\">"),
            QStringLiteral("<!--"),
            QStringLiteral("BODY"),
            QStringLiteral("{"),
            QStringLiteral("  font-family: Verdana, serif, sans-serif, Arial;"),
            QStringLiteral("}"),
            QStringLiteral("--></STYLE>"),
            QString(),
            QStringLiteral("  <BODY>"),
        };
        const QLocale locale = QLocale::system();
        if (CurrentDate->isChecked())
            lines << QStringLiteral("    <FONT SIZE=-1> Current date: ")
                    + locale.toString(QDate::currentDate(), QLocale::ShortFormat).toHtmlEscaped()
                    + QStringLiteral(" </FONT>") + QStringLiteral(" <BR>");
        if (CurrentTime->isChecked())
            lines << QStringLiteral("    <FONT SIZE=-1> Current time: ")
                    + locale.toString(QTime::currentTime(), QLocale::LongFormat).toHtmlEscaped()
                    + QStringLiteral(" </FONT>") + QStringLiteral(" <BR>");
        lines << tableLines();
        lines << QStringLiteral("  </BODY>") << QStringLiteral("</HTML>");
        // The file is UTF-8; a page that needs more than ASCII says so, as
        // a browser would otherwise guess its character set.
        if (holdsNonAscii(lines))
            lines.insert(
                5,
                QStringLiteral("  <META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"));
        HTMLMemo->setPlainText(lines.join(u'\n'));
    }
    SaveHTMLBtnClick();
    PrintButton->setEnabled(true);
    StopButton->setEnabled(true);
}

void THTMLForm::SaveHTMLBtnClick()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Save HTML");
    request.filter = HtmlFilter;
    request.fileName = QStringLiteral("Table");
    request.defaultExtension = QStringLiteral("HTML");
    Services &services = Services::current();
    const std::optional<qvx::ui::FileDialogAnswer> answer = services.saveFile(this, request);
    if (!answer)
        return;
    const QString name = answer->fileName;
    bool write = true;
    if (QFileInfo::exists(name)) {
        write = services.message(this, qvx::ui::MessageIcon::Information, windowTitle(),
                                 QStringLiteral("The file ") + name
                                     + QStringLiteral(" exits! Are you want to delete it?"),
                                 qvx::ui::ButtonYes | qvx::ui::ButtonNo)
            == qvx::ui::ButtonYes;
    }
    if (write)
        writePage(name);
    OpenAddress(name);
}

void THTMLForm::writePage(const QString &fileName) const
{
    QByteArray bytes;
    for (const QString &line : memoLines(*HTMLMemo))
        bytes += line.toUtf8() + "\r\n";
    // Written beside the old file and renamed over it, so that replacing a
    // file never leaves a moment without one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw qvx::EngineError(fileName, QStringLiteral("Cannot create file. ") + file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw qvx::EngineError(fileName, QStringLiteral("Cannot write file. ") + file.errorString());
}

void THTMLForm::ClearHTMLBtnClick()
{
    HTMLMemo->clear();
}

void THTMLForm::PrintHTMLBtnClick()
{
    if (!qvx::ui::choosePrintTarget(this, QStringLiteral("My Table")))
        return;
    QTextDocument document;
    document.setDefaultFont(HTMLMemo->font());
    document.setPlainText(HTMLMemo->toPlainText());
    document.print(&Services::current().printer());
}

void THTMLForm::PageSetupBtnClick()
{
    Services::current().printerSetupDialog(this);
}

void THTMLForm::OpenHTMLBtnClick()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Open HTML");
    request.filter = HtmlFilter;
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().openFile(this, request);
    if (!answer)
        return;
    QFile file(answer->fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(answer->fileName, QStringLiteral("Cannot open file. ") + file.errorString());
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    HTMLMemo->setPlainText(text);
}

void THTMLForm::GoToURLBtnClick()
{
    FileDialogRequest request;
    request.filter = HtmlFilter;
    if (const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().openFile(this, request))
        OpenAddress(answer->fileName);
}

void THTMLForm::GoBackBtnClick()
{
    WebBrowser->backward();
    showAddressDone();
}

void THTMLForm::GoForwardBtnClick()
{
    WebBrowser->forward();
    showAddressDone();
}

void THTMLForm::StopBtnClick()
{
    // The browser reads a page whole before it returns, so by the time this
    // button can be pressed no load is running; what is left is to say so.
    StatusPanel0->setText(QStringLiteral("Done"));
}

void THTMLForm::PrintBtnClick()
{
    const QUrl source = WebBrowser->source();
    QString name = WebBrowser->documentTitle().trimmed();
    if (name.isEmpty())
        name = QFileInfo(source.isLocalFile() ? source.toLocalFile() : source.path()).completeBaseName();
    if (!qvx::ui::choosePrintTarget(this, name))
        return;
    WebBrowser->document()->print(&Services::current().printer());
}

void THTMLForm::HeaderMemoDblClick()
{
    if (!m_fontDialog.Execute())
        return;
    HeaderAlign = m_fontDialog.Align;
    HeaderStyle = m_fontDialog.StyleLetter;
    HeaderSize = m_fontDialog.FontSizeText;
}

QString THTMLForm::currentAddress() const
{
    const QUrl source = WebBrowser->source();
    if (source.isEmpty())
        return {};
    return source.isLocalFile() ? source.toLocalFile() : source.toString();
}

void THTMLForm::showAddressDone()
{
    StatusPanel0->setText(QStringLiteral("Done"));
    const QString address = currentAddress();
    if (!address.isEmpty() && ComboURL->findText(address, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
        ComboURL->addItem(address);
}

void THTMLForm::OpenAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return;
    QUrl url;
    if (QFileInfo(trimmed).isAbsolute() || QFileInfo::exists(trimmed))
        url = QUrl::fromLocalFile(QFileInfo(trimmed).absoluteFilePath());
    else if (trimmed.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        url = QUrl(trimmed);
    else
        url = QUrl::fromUserInput(trimmed);
    StatusPanel0->setText(QStringLiteral("Downloading ") + trimmed + QStringLiteral("..."));
    StatusPanel0->repaint();
    // A page opened again is read again: the file may have been rewritten
    // under the same name since it was last shown.
    if (url == WebBrowser->source())
        WebBrowser->reload();
    else
        WebBrowser->setSource(url);
    showAddressDone();
}
