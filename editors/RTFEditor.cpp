#include "RTFEditor.h"

#include "RTFRuler.h"

#include "engine/EngineError.h"
#include "ui/ChildWindow.h"
#include "ui/ColorBox.h"
#include "ui/CommandList.h"
#include "ui/DBMemo.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/PrintTarget.h"
#include "ui/RtfText.h"
#include "ui/Services.h"
#include "ui/TextSearch.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

using qvx::ui::CommandSpec;
using qvx::ui::named;
using qvx::ui::Services;

namespace {

// clang-format off
const CommandSpec editorCommands[] = {
    { "New", "File", "New", "", "", "document-new" },
    { "Open", "File", "Open", "", "", "document-open" },
    { "Save", "File", "Save &As ... ", "", "", "document-save" },
    { "SaveAs", "File", "SaveAs", "", "", "document-save-as" },
    { "AddToTable", "File", "&Add To Table", "", "", "go-jump" },
    { "PrintSetup", "File", "Print Set&up ...", "Print Setup", "", "document-properties" },
    { "Print", "File", "&Print", "", "", "document-print" },
    { "FileExit", "File", "E&xit", "Exit|Quits the application", "", "application-exit" },
    { "EditUndo1", "Edit", "&Undo", "", "Ctrl+Z", "edit-undo" },
    { "EditCut1", "Edit", "Cu&t", "", "Ctrl+X", "edit-cut" },
    { "EditCopy1", "Edit", "&Copy", "", "Ctrl+C", "edit-copy" },
    { "EditPaste1", "Edit", "&Paste", "", "Ctrl+V", "edit-paste" },
    { "EditSelectAll1", "Edit", "Select &All", "", "Ctrl+A", "edit-select-all" },
    { "EditDelete1", "Edit", "&Delete", "", "Del", "edit-delete" },
    { "Font", "Format", "Font", "", "", "preferences-desktop-font" },
    { "RichEditBold1", "Format", "&Bold", "", "Ctrl+B", "format-text-bold" },
    { "RichEditItalic1", "Format", "&Italic", "", "Ctrl+I", "format-text-italic" },
    { "RichEditUnderline1", "Format", "&Underline", "", "Ctrl+U", "format-text-underline" },
    { "RichEditBullets1", "Format", "&Bullets", "Bullets|Inserts a bullet on the current line", "", "format-list-unordered" },
    { "RichEditAlignLeft1", "Format", "Align &Left", "", "", "format-justify-left" },
    { "RichEditAlignCenter1", "Format", "&Center", "", "", "format-justify-center" },
    { "RichEditAlignRight1", "Format", "Align &Right", "", "", "format-justify-right" },
    { "SearchFind1", "Search", "&Find...", "", "Ctrl+F", "edit-find" },
    { "SearchFindFirst1", "Search", "F&ind First", "", "", "" },
    { "SearchFindNext1", "Search", "Find &Next", "", "F3", "" },
    { "SearchReplace1", "Search", "&Replace", "", "", "edit-find-replace" },
    { "HelpContents1", "Help", "&Quorvex Editor Help", "Help Contents", "", "help-contents" },
    { "About", "Help", "&About ...", "Help on help", "", "help-about" },
};
// clang-format on

const QString untitled = QStringLiteral("Untitled");
const QString fileFilter
    = QStringLiteral("Rich Text Files (*.rtf)|*.rtf|Text Files (*.txt)|*.txt|All files ...|*.*");

// Points to ruler pixels and back. The products are formed before the
// division so that whole results come out whole rather than a hair below.
int toPixels(qreal points)
{
    return int(std::trunc(points * 4.0 / 3.0));
}

int toPoints(int pixels)
{
    return int(std::trunc(pixels * 3.0 / 4.0));
}

// Runs an action on Enter in a combo box's edit part and keeps the key: left
// to itself, the key reaches the line edit a second time through its combo
// box, and the action would run twice.
class ReturnKey : public QObject {
public:
    ReturnKey(QLineEdit *edit, std::function<void()> action) : QObject(edit), m_action(std::move(action))
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

TRTFForm::TRTFForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RTFForm"));
    setWindowTitle(QStringLiteral("RTF Editor"));
    resize(592, 457);
    buildCommands();
    buildControls();
    buildMenus();
    bindHandlers();
    setFileName(untitled);
    EditorSelectionChange();
    RichEditChange();
}

TRTFForm::~TRTFForm() = default;

qvx::ui::Command *TRTFForm::command(const QString &name) const
{
    return ActionList->command(name);
}

void TRTFForm::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(editorCommands, int(std::size(editorCommands)));
    for (const char *name : { "RichEditBold1", "RichEditItalic1", "RichEditUnderline1", "RichEditBullets1",
                              "RichEditAlignLeft1", "RichEditAlignCenter1", "RichEditAlignRight1" })
        command(QLatin1String(name))->setCheckable(true);
}

void TRTFForm::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu = named(new QMenuBar(this), QStringLiteral("MainMenu"));
    layout->setMenuBar(MainMenu);

    auto bar = [this](const QString &name, const QList<QList<const char *>> &groups) {
        auto *toolBar = named(new QToolBar(this), name);
        toolBar->setIconSize(QSize(16, 16));
        for (qsizetype g = 0; g < groups.size(); ++g) {
            if (g > 0)
                toolBar->addSeparator();
            for (const char *command : groups[g])
                qvx::ui::addCommandButton(toolBar, this->command(QLatin1String(command)));
        }
        return toolBar;
    };
    FileToolBar
        = bar(QStringLiteral("FileToolBar"),
              { { "New", "Open", "Save", "AddToTable" }, { "Print", "HelpContents1" }, { "FileExit" } });
    EditToolBar = bar(
        QStringLiteral("EditToolBar"),
        { { "EditUndo1" }, { "EditCut1", "EditCopy1", "EditPaste1", "EditSelectAll1" }, { "EditDelete1" } });
    SearchToolBar
        = bar(QStringLiteral("SearchToolBar"),
              { { "SearchFind1" }, { "SearchFindFirst1", "SearchFindNext1" }, { "SearchReplace1" } });
    auto *topRow = new QHBoxLayout;
    topRow->setSpacing(0);
    topRow->addWidget(FileToolBar);
    topRow->addWidget(EditToolBar);
    topRow->addWidget(SearchToolBar);
    topRow->addStretch(1);
    layout->addLayout(topRow);

    FormatToolBar = named(new QToolBar(this), QStringLiteral("FormatToolBar"));
    FormatToolBar->setIconSize(QSize(16, 16));
    FontName = named(new QComboBox, QStringLiteral("FontName"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->setMinimumWidth(150);
    FontName->setEditText(QStringLiteral("MS Sans Serif"));
    FontSize = named(new QComboBox, QStringLiteral("FontSize"));
    FontSize->setEditable(true);
    FontSize->setInsertPolicy(QComboBox::NoInsert);
    FontSize->addItems(
        { "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36", "48", "72" });
    FontSize->setEditText(QStringLiteral("10"));
    ColorBox = named(new qvx::ui::ColorBox, QStringLiteral("ColorBox"));
    FormatToolBar->addWidget(FontName);
    FormatToolBar->addWidget(FontSize);
    FormatToolBar->addWidget(ColorBox);
    for (const char *name :
         { "RichEditBold1", "RichEditItalic1", "RichEditUnderline1", "", "RichEditAlignLeft1",
           "RichEditAlignCenter1", "RichEditAlignRight1", "", "RichEditBullets1" }) {
        if (!*name)
            FormatToolBar->addSeparator();
        else
            qvx::ui::addCommandButton(FormatToolBar, command(QLatin1String(name)));
    }
    layout->addWidget(FormatToolBar);

    Ruler = named(new TRTFRuler(this), QStringLiteral("Ruler"));
    RulerLine = named(new QWidget(Ruler), QStringLiteral("RulerLine"));
    RulerLine->setGeometry(4, 11, 100, 1);
    RulerLine->setAutoFillBackground(true);
    RulerLine->setBackgroundRole(QPalette::Dark);
    using Marker = TRTFRulerMarker;
    FirstInd = named(new Marker(Marker::Points::Down, Qt::black, Ruler), QStringLiteral("FirstInd"));
    LeftInd = named(new Marker(Marker::Points::Up, Qt::black, Ruler), QStringLiteral("LeftInd"));
    RightInd = named(new Marker(Marker::Points::Up, QColor(0, 128, 128), Ruler), QStringLiteral("RightInd"));
    FirstInd->move(2, 1);
    LeftInd->move(2, 13);
    RightInd->move(2, 13);
    layout->addWidget(Ruler);

    Editor = named(new QTextEdit(this), QStringLiteral("Editor"));
    Editor->setAcceptRichText(true);
    Editor->setMinimumSize(584, 300);
    Ruler->setTabStop(Editor->tabStopDistance());
    layout->addWidget(Editor, 1);

    StatusBar = named(new QStatusBar(this), QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    const int widths[3] = { 120, 60, 50 };
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = named(new QLabel, QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setMinimumWidth(widths[i]);
        StatusBar->addWidget(StatusPanel[i], i == 2 ? 1 : 0);
    }
    StatusPanel[0]->setFixedWidth(widths[0]);
    StatusPanel[1]->setFixedWidth(widths[1]);
    StatusPanel[1]->setAlignment(Qt::AlignCenter);
    layout->addWidget(StatusBar);
}

void TRTFForm::buildMenus()
{
    const auto menu = [this](QMenu *m, std::initializer_list<const char *> items) {
        return qvx::ui::addCommands(m, *ActionList, items);
    };
    QMenu *file = MainMenu->addMenu(QStringLiteral("&File"));
    menu(file, { "New", "Open" });
    // The menu's own "&Save" item, beside the command whose caption reads
    // "Save &As ... ": it saves as the command does.
    QAction *saveItem = file->addAction(QStringLiteral("&Save"));
    saveItem->setObjectName(QStringLiteral("FileSaveItem"));
    connect(saveItem, &QAction::triggered, this, [this] { command(QStringLiteral("Save"))->execute(); });
    menu(file, { "SaveAs", "", "AddToTable", "", "PrintSetup", "Print", "", "FileExit" });
    menu(MainMenu->addMenu(QStringLiteral("&Edit")),
         { "EditUndo1", "", "EditCut1", "EditCopy1", "EditPaste1", "EditSelectAll1", "", "EditDelete1", "",
           "Font" });
    menu(MainMenu->addMenu(QStringLiteral("&Search")),
         { "SearchFind1", "", "SearchFindFirst1", "SearchFindNext1", "", "SearchReplace1" });
    menu(MainMenu->addMenu(QStringLiteral("&Help")), { "HelpContents1", "", "About" });
}

void TRTFForm::bindHandlers()
{
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("New", [this] { FileNew(); });
    on("Open", [this] { FileOpen(); });
    on("Save", [this] { FileSave(); });
    on("SaveAs", [this] { FileSaveAs(); });
    on("AddToTable", [this] { AddToTable(); });
    on("PrintSetup", [this] { Services::current().printerSetupDialog(this); });
    on("Print", [this] { PrintExecute(); });
    // A modal window cannot end the program; leaving the editor is what
    // "Exit" can sensibly do here.
    on("FileExit", [this] { reject(); });
    on("EditUndo1", [this] { Editor->undo(); });
    on("EditCut1", [this] { Editor->cut(); });
    on("EditCopy1", [this] { Editor->copy(); });
    on("EditPaste1", [this] { Editor->paste(); });
    on("EditSelectAll1", [this] { Editor->selectAll(); });
    on("EditDelete1", [this] { Editor->textCursor().removeSelectedText(); });
    on("Font", [this] { FontExecute(); });

    // The styles toggle on what the current text attributes have now, not on
    // the buttons' state, which a direct run of the command leaves unchanged.
    on("RichEditBold1", [this] {
        QTextCharFormat format;
        format.setFontWeight(Editor->currentCharFormat().fontWeight() > QFont::Normal ? QFont::Normal
                                                                                      : QFont::Bold);
        applyCharFormat(format);
    });
    on("RichEditItalic1", [this] {
        QTextCharFormat format;
        format.setFontItalic(!Editor->currentCharFormat().fontItalic());
        applyCharFormat(format);
    });
    on("RichEditUnderline1", [this] {
        QTextCharFormat format;
        format.setFontUnderline(!Editor->currentCharFormat().fontUnderline());
        applyCharFormat(format);
    });
    on("RichEditBullets1", [this] { toggleBullets(); });
    const auto align = [this](Qt::Alignment alignment) {
        return [this, alignment] {
            Editor->setAlignment(alignment);
            EditorSelectionChange();
        };
    };
    on("RichEditAlignLeft1", align(Qt::AlignLeft | Qt::AlignAbsolute));
    on("RichEditAlignCenter1", align(Qt::AlignHCenter));
    on("RichEditAlignRight1", align(Qt::AlignRight | Qt::AlignAbsolute));

    Search = new qvx::ui::TextSearch(this, [this] { return qvx::ui::TextTarget(Editor); });
    on("SearchFind1", [this] { Search->showFind(false); });
    on("SearchFindFirst1", [this] { Search->showFind(true); });
    on("SearchFindNext1", [this] { Search->findNext(); });
    on("SearchReplace1", [this] { Search->showReplace(); });
    command(QStringLiteral("SearchFindNext1"))->setEnabled(false);
    connect(Search, &qvx::ui::TextSearch::searchDone, this,
            [this] { command(QStringLiteral("SearchFindNext1"))->setEnabled(true); });
    on("About", [this] {
        if (ShowAbout)
            ShowAbout();
    });

    connect(Editor, &QTextEdit::cursorPositionChanged, this, [this] { EditorSelectionChange(); });
    connect(Editor, &QTextEdit::selectionChanged, this, [this] { EditorSelectionChange(); });
    connect(Editor, &QTextEdit::currentCharFormatChanged, this, [this] { EditorSelectionChange(); });
    connect(Editor, &QTextEdit::textChanged, this, [this] { RichEditChange(); });
    connect(Editor->document(), &QTextDocument::modificationChanged, this, [this] { RichEditChange(); });

    // Enter in the edit part, or a pick from the list.
    new ReturnKey(FontName->lineEdit(), [this] { FontNameChange(); });
    new ReturnKey(FontSize->lineEdit(), [this] { FontSizeChange(); });
    connect(FontName, &QComboBox::textActivated, this, [this] { FontNameChange(); });
    connect(FontSize, &QComboBox::textActivated, this, [this] { FontSizeChange(); });
    connect(ColorBox, &qvx::ui::ColorBox::colorChanged, this, [this] { ColorBoxChange(); });

    static_cast<TRTFRulerMarker *>(FirstInd)->onDropped = [this](int left) { FirstIndDropped(left); };
    static_cast<TRTFRulerMarker *>(LeftInd)->onDropped = [this](int left) { LeftIndDropped(left); };
    static_cast<TRTFRulerMarker *>(RightInd)->onDropped = [this](int left) { RightIndDropped(left); };
    Ruler->onResized = [this] {
        RulerLine->resize(Ruler->width() - 2 * RulerLine->x(), RulerLine->height());
        placeMarkers();
    };
}

// --- Window operations ------------------------------------------------------

bool TRTFForm::Execute()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    setFileName(QDir(folder).filePath(QStringLiteral("CurrentRTF.rtf")));
    const QSize screen = Services::current().screenSize();
    move(std::max(0, (screen.width() - width()) / 2), std::max(0, (screen.height() - height()) / 2));
    return qvx::ui::runDialog(*this) == QDialog::Accepted;
}

void TRTFForm::setLines(const QString &text)
{
    if (qvx::ui::looksLikeRtf(text.toLatin1())) {
        // RTF is 7-bit text; characters beyond that go back to the bytes the
        // reader expects of its default code page.
        QStringEncoder encoder("windows-1252");
        qvx::ui::readRtf(encoder.isValid() ? QByteArray(encoder(text)) : text.toLatin1(),
                         *Editor->document());
    } else {
        Editor->setPlainText(text);
    }
    Editor->document()->setModified(false);
    RichEditChange();
    EditorSelectionChange();
}

void TRTFForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TRTFForm::FormActivate()
{
    Ruler->setTabStop(Editor->tabStopDistance());
    QTextCharFormat format;
    format.setFontFamilies({ QStringLiteral("Arial") });
    format.setFontPointSize(10);
    applyCharFormat(format);
    m_updating = true;
    FontName->clear();
    FontName->addItems(Services::current().fontFamilies());
    FontName->setEditText(QStringLiteral("Arial"));
    m_updating = false;
    Editor->setFocus();
}

namespace {

// The ruler's indents in points: the first line starts at the first indent,
// the lines after it at the first indent plus the left indent. Qt keeps the
// other lines' start as the left margin and the first line's offset from it.
qreal firstIndent(const QTextBlockFormat &format)
{
    return format.leftMargin() + format.textIndent();
}

qreal leftIndent(const QTextBlockFormat &format)
{
    return -format.textIndent();
}

void setIndents(QTextBlockFormat &format, qreal first, qreal left)
{
    format.setLeftMargin(first + left);
    format.setTextIndent(-left);
}

} // namespace

void TRTFForm::placeMarkers()
{
    const QTextBlockFormat block = Editor->textCursor().blockFormat();
    const qreal first = firstIndent(block);
    const qreal left = leftIndent(block);
    const qreal right = block.rightMargin();
    FirstInd->move(toPixels(first) + 2, FirstInd->y());
    LeftInd->move(toPixels(left + first) + 2, LeftInd->y());
    RightInd->move(Ruler->width() - toPixels(right + TRTFRuler::Gutter) - 6, RightInd->y());
}

void TRTFForm::EditorSelectionChange()
{
    m_updating = true;
    placeMarkers();

    const QTextCharFormat format = Editor->currentCharFormat();
    const QFont fallback = Editor->document()->defaultFont();
    const qreal size
        = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : fallback.pointSizeF();
    FontSize->setEditText(QString::number(size));
    const QStringList families = format.fontFamilies().toStringList();
    FontName->setEditText(families.isEmpty() ? fallback.family() : families.first());

    command(QStringLiteral("RichEditBold1"))->setChecked(format.fontWeight() > QFont::Normal);
    command(QStringLiteral("RichEditItalic1"))->setChecked(format.fontItalic());
    command(QStringLiteral("RichEditUnderline1"))->setChecked(format.fontUnderline());
    const QTextCursor cursor = Editor->textCursor();
    const Qt::Alignment alignment = Editor->alignment() & Qt::AlignHorizontal_Mask;
    command(QStringLiteral("RichEditAlignCenter1"))->setChecked(alignment & Qt::AlignHCenter);
    command(QStringLiteral("RichEditAlignRight1"))->setChecked(alignment & Qt::AlignRight);
    command(QStringLiteral("RichEditAlignLeft1"))
        ->setChecked(!(alignment & (Qt::AlignHCenter | Qt::AlignRight | Qt::AlignJustify)));
    command(QStringLiteral("RichEditBullets1"))->setChecked(cursor.currentList() != nullptr);

    const QTextBlock block = Editor->document()->findBlock(cursor.selectionStart());
    const int line = block.blockNumber();
    const int column = cursor.selectionStart() - block.position();
    StatusPanel[0]->setText(QString::asprintf(" Line: %3d   Col: %3d", line + 1, column + 1));
    m_updating = false;
}

void TRTFForm::RichEditChange()
{
    StatusPanel[1]->setText(Editor->document()->isModified() ? QStringLiteral("Modified") : QString());
}

// --- The ruler ----------------------------------------------------------------

void TRTFForm::FirstIndDropped(int left)
{
    const int offset = FirstInd->width() / 2;
    QTextCursor cursor = Editor->textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    setIndents(format, toPoints(left + offset - TRTFRuler::Gutter), leftIndent(format));
    cursor.setBlockFormat(format);
    LeftIndDropped(LeftInd->x());
}

void TRTFForm::LeftIndDropped(int left)
{
    const int offset = LeftInd->width() / 2;
    QTextCursor cursor = Editor->textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    const qreal first = firstIndent(format);
    setIndents(format, first, toPoints(left + offset - TRTFRuler::Gutter) - int(std::trunc(first)));
    cursor.setBlockFormat(format);
    EditorSelectionChange();
}

void TRTFForm::RightIndDropped(int left)
{
    const int offset = RightInd->width() / 2;
    QTextCursor cursor = Editor->textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    format.setRightMargin(toPoints(Ruler->width() - left + offset - 2) - 12);
    cursor.setBlockFormat(format);
    EditorSelectionChange();
}

// --- Text attributes ------------------------------------------------------------

void TRTFForm::applyCharFormat(const QTextCharFormat &format)
{
    if (Editor->textCursor().hasSelection()) {
        Editor->mergeCurrentCharFormat(format);
    } else {
        QTextCharFormat typing = Editor->currentCharFormat();
        typing.merge(format);
        Editor->setCurrentCharFormat(typing);
    }
    EditorSelectionChange();
}

void TRTFForm::FontNameChange()
{
    if (m_updating)
        return;
    QTextCharFormat format;
    format.setFontFamilies({ FontName->currentText() });
    applyCharFormat(format);
    Editor->setFocus();
}

void TRTFForm::FontSizeChange()
{
    if (m_updating)
        return;
    qvx::ui::guarded(this, [this] {
        const int size = qvx::ui::integerOf(FontSize->currentText());
        QTextCharFormat format;
        format.setFontPointSize(size);
        applyCharFormat(format);
    });
    Editor->setFocus();
}

void TRTFForm::ColorBoxChange()
{
    if (m_updating)
        return;
    QTextCharFormat format;
    format.setForeground(ColorBox->selectedColor());
    applyCharFormat(format);
    Editor->setFocus();
}

void TRTFForm::FontExecute()
{
    const std::optional<QFont> font = Services::current().chooseFont(this, Editor->currentFont());
    if (!font)
        return;
    QTextCharFormat format;
    format.setFontFamilies({ font->family() });
    if (font->pointSizeF() > 0)
        format.setFontPointSize(font->pointSizeF());
    format.setFontWeight(font->weight());
    format.setFontItalic(font->italic());
    format.setFontUnderline(font->underline());
    format.setFontStrikeOut(font->strikeOut());
    applyCharFormat(format);
    Editor->setFocus();
}

void TRTFForm::toggleBullets()
{
    QTextCursor cursor = Editor->textCursor();
    if (QTextList *list = cursor.currentList()) {
        list->remove(cursor.block());
        QTextBlockFormat format = cursor.blockFormat();
        format.setIndent(0);
        cursor.setBlockFormat(format);
    } else {
        cursor.createList(QTextListFormat::ListDisc);
    }
    EditorSelectionChange();
}

// --- Files ------------------------------------------------------------------------

void TRTFForm::setFileName(const QString &name)
{
    FileName = name;
    StatusPanel[2]->setText(QStringLiteral(" File name: ") + QFileInfo(name).fileName());
}

void TRTFForm::writeFile(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw qvx::EngineError(path, file.errorString());
    const QByteArray bytes = qvx::ui::writeRtf(*Editor->document());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw qvx::EngineError(path, file.errorString());
}

void TRTFForm::FileNew()
{
    setFileName(untitled);
    Editor->clear();
    Editor->document()->setModified(false);
    RichEditChange();
}

void TRTFForm::FileOpen()
{
    if (Editor->document()->isModified()) {
        const auto answer
            = Services::current().message(this, qvx::ui::MessageIcon::Confirmation, windowTitle(),
                                          QStringLiteral("Save changes to %1?").arg(FileName),
                                          qvx::ui::ButtonYes | qvx::ui::ButtonNo | qvx::ui::ButtonCancel);
        if (answer == qvx::ui::ButtonCancel)
            return;
        if (answer == qvx::ui::ButtonYes)
            FileSaveAs();
    }
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Open");
    request.filter = fileFilter;
    request.defaultExtension = QStringLiteral("rtf");
    if (FileName != untitled)
        request.directory = QFileInfo(FileName).absolutePath();
    const std::optional<qvx::ui::FileDialogAnswer> chosen = Services::current().openFile(this, request);
    if (!chosen)
        return;
    QFile file(chosen->fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(chosen->fileName, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw qvx::EngineError(chosen->fileName, file.errorString());
    qvx::ui::readRichOrPlain(bytes, *Editor->document());
    setFileName(chosen->fileName);
    Editor->setFocus();
    Editor->document()->setModified(false);
    RichEditChange();
    EditorSelectionChange();
}

void TRTFForm::FileSave()
{
    if (FileName == untitled)
        return FileSaveAs();
    writeFile(FileName);
    Editor->document()->setModified(false);
    RichEditChange();
}

void TRTFForm::FileSaveAs()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Save As");
    request.filter = fileFilter;
    request.defaultExtension = QStringLiteral("rtf");
    if (FileName != untitled)
        request.fileName = FileName;
    const std::optional<qvx::ui::FileDialogAnswer> chosen = Services::current().saveFile(this, request);
    if (!chosen)
        return;
    if (QFileInfo::exists(chosen->fileName)
        && Services::current().message(this, qvx::ui::MessageIcon::Confirmation, windowTitle(),
                                       QStringLiteral("OK to overwrite %1").arg(chosen->fileName),
                                       qvx::ui::ButtonYes | qvx::ui::ButtonNo | qvx::ui::ButtonCancel)
            != qvx::ui::ButtonYes)
        return;
    writeFile(chosen->fileName);
    setFileName(chosen->fileName);
    Editor->document()->setModified(false);
    RichEditChange();
}

// --- Table and printer ------------------------------------------------------------

void TRTFForm::AddToTable()
{
    qvx::ui::ChildWindow *child = ActiveChild ? ActiveChild() : nullptr;
    if (!child || child->kindName() != QLatin1String("Standard Table"))
        return;
    qvx::ui::DBMemo *memo = child->memoPane();
    if (!memo || !memo->link()->isBound())
        return;
    memo->link()->write(Editor->toPlainText());
    memo->link()->dataSet()->post();
}

void TRTFForm::PrintExecute()
{
    if (!qvx::ui::choosePrintTarget(this, QStringLiteral("Quorvex Report")))
        return;
    Editor->document()->print(&Services::current().printer());
}
