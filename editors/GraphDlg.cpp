#include "GraphDlg.h"

#include "engine/DataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "ui/ChildWindow.h"
#include "ui/CommandList.h"
#include "ui/DBImage.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/JpegImage.h"
#include "ui/Named.h"
#include "ui/PrintTarget.h"
#include "ui/Services.h"

#include <QApplication>
#include <QBitmap>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

using qvx::ui::named;
using qvx::ui::Services;

namespace {

const qvx::ui::CommandSpec kCommands[] = {
    { "LoadPicture", "File", "Load Picture", "", "Ctrl+L", "document-open" },
    { "SavePictureAs", "File", "Save Picture As ...", "", "Ctrl+S", "document-save-as" },
    { "PrintSetup", "File", "PrintSetup", "", "", "document-properties" },
    { "PrintPicture", "File", "Print Picture", "", "Ctrl+P", "document-print" },
    { "AddPicture", "File", "Add Picture To Database", "Add Picture", "", "list-add" },
    { "ExitFromGraphManager", "File", "Exit ...", "Exit", "Alt+X", "system-log-out" },
    { "SetBGColor", "Tools", "Background Color", "", "", "format-fill-color" },
    { "SetProgressiveDisplay", "Tools", "Progressive Display", "", "", "" },
    { "SetIncrementalDisplay", "Tools", "Incremental Display", "", "", "" },
    { "SetProgressiveEncoding", "Tools", "Progressive Encoding", "", "", "" },
    { "SetSmoothing", "Tools", "Smoothing", "", "", "" },
    { "AddBorder", "View", "Borders", "", "", "format-border-style" },
    { "ViewPanel", "View", "Control Panel", "", "", "" },
    { "ViewControlBar", "View", "Control Bar", "", "", "" },
    { "Help", "Help", "Help", "", "", "help-contents" },
    { "About", "Help", "About ...", "", "", "help-about" },
};

const QString kOpenFilter = QStringLiteral("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp");
const QString kSaveFilter = QStringLiteral("Bitmaps (*.bmp)|*.bmp|JPEG Image File (*.jpg)|*.jpg");
constexpr int kMargin = 10; // the picture's and the frame's place in the scroll box
constexpr int kShadowOffset = 5;

// The frame round the picture: an outline with no fill, letting clicks
// through to the picture beneath.
class FrameWidget : public QWidget {
public:
    explicit FrameWidget(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    return file.readAll();
}

bool isJpegSuffix(const QString &suffix)
{
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")
        || suffix == QLatin1String("jpe");
}

// A picture file read in the format its extension names, not by sniffing its
// content, so a file whose content does not match its name is refused.
QImage readByExtension(const QString &path, const QByteArray &bytes, bool *isJpeg)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    *isJpeg = isJpegSuffix(suffix);
    if (*isJpeg)
        return qvx::ui::decodeJpeg(bytes, {}, path);
    const QByteArray format = suffix.toLatin1();
    if (format.isEmpty() || !QImageReader::supportedImageFormats().contains(format))
        throw qvx::EngineError(QStringLiteral("Unknown picture file extension (.%1)").arg(suffix));
    QImage picture;
    if (!picture.loadFromData(bytes, format.constData()))
        throw qvx::EngineError(QStringLiteral("Cannot read the picture in \"%1\"").arg(path));
    return picture;
}

QByteArray bmpBytes(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "BMP"))
        throw qvx::EngineError(QStringLiteral("Cannot convert the picture to a bitmap"));
    return bytes;
}

} // namespace

TGraphFormDlg::TGraphFormDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GraphFormDlg"));
    setWindowTitle(QStringLiteral("Picture Manager"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    buildCommands();
    buildControls();
    buildMenus();
    resize(444, 382);
    const QSize screen = Services::current().screenSize();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
}

TGraphFormDlg::~TGraphFormDlg() = default;

qvx::ui::Command *TGraphFormDlg::command(const QString &name) const
{
    return ActionList->command(name);
}

void TGraphFormDlg::buildCommands()
{
    ActionList = new qvx::ui::CommandList(this);
    ActionList->add(kCommands, int(std::size(kCommands)));
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    on("LoadPicture", [this] { LoadPictureExecute(); });
    on("SavePictureAs", [this] { SavePictureAsExecute(); });
    on("PrintSetup", [this] { Services::current().printerSetupDialog(this); });
    on("PrintPicture", [this] { PrintPictureExecute(); });
    on("AddPicture", [this] { AddPictureExecute(); });
    on("ExitFromGraphManager", [this] { reject(); });
    on("SetBGColor", [this] { SetBGColorExecute(); });
    on("AddBorder", [this] { AddBorderExecute(); });
    on("About", [this] {
        if (ShowAbout)
            ShowAbout();
    });
    for (const char *name : { "SetProgressiveDisplay", "SetIncrementalDisplay", "SetProgressiveEncoding",
                              "SetSmoothing", "ViewPanel", "ViewControlBar" })
        command(QLatin1String(name))->setCheckable(true);
    command(QStringLiteral("ViewPanel"))->setChecked(true);
    command(QStringLiteral("ViewControlBar"))->setChecked(true);
}

void TGraphFormDlg::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    MainMenu = named(new QMenuBar(this), QStringLiteral("MainMenu"));
    outer->setMenuBar(MainMenu);

    const auto bar = [this](const QString &name, std::initializer_list<const char *> items) {
        auto *toolBar = named(new QToolBar, name);
        toolBar->setIconSize(QSize(20, 20));
        toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        for (const char *item : items) {
            if (!*item)
                toolBar->addSeparator();
            else
                qvx::ui::addCommandButton(toolBar, command(QLatin1String(item)));
        }
        return toolBar;
    };
    ControlBar = named(new QWidget, QStringLiteral("ControlBar"));
    auto *barRow = new QHBoxLayout(ControlBar);
    barRow->setContentsMargins(2, 2, 2, 2);
    ToolBar1 = bar(
        QStringLiteral("ToolBar1"),
        { "LoadPicture", "SavePictureAs", "", "PrintPicture", "AddPicture", "", "ExitFromGraphManager" });
    ToolBar2 = bar(QStringLiteral("ToolBar2"), { "SetBGColor", "AddBorder", "", "Help" });
    barRow->addWidget(ToolBar1);
    barRow->addWidget(ToolBar2);
    barRow->addStretch(1);
    outer->addWidget(ControlBar);

    auto *body = new QHBoxLayout;
    body->setSpacing(0);
    outer->addLayout(body, 1);

    ScrollBox = named(new QScrollArea, QStringLiteral("ScrollBox"));
    ScrollBox->setMinimumSize(242, 238);
    ScrollBox->setBackgroundRole(QPalette::Light);
    auto *sheet = named(new QWidget, QStringLiteral("Sheet"));
    // Created in this order so the shadow lies under the picture and the
    // frame over it.
    Shape = named(new QWidget(sheet), QStringLiteral("Shape"));
    // Its own role: a widget without one takes its parent's, which is the
    // scroll box's light colour, and the shadow would not show.
    Shape->setAutoFillBackground(true);
    Shape->setBackgroundRole(QPalette::Shadow);
    Shape->move(kMargin + kShadowOffset, kMargin + kShadowOffset);
    Shape->hide();
    SelectedImage = named(new QLabel(sheet), QStringLiteral("SelectedImage"));
    SelectedImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SelectedImage->move(kMargin, kMargin);
    SelectedImage->resize(0, 0);
    SelectedImage->installEventFilter(this);
    Border = named(new FrameWidget(sheet), QStringLiteral("Border"));
    Border->move(kMargin, kMargin);
    Border->hide();
    sheet->resize(2 * kMargin, 2 * kMargin);
    ScrollBox->setWidget(sheet);
    body->addWidget(ScrollBox, 1);

    ControlPanel = named(new QWidget, QStringLiteral("ControlPanel"));
    ControlPanel->setFixedWidth(194);
    auto *panel = new QVBoxLayout(ControlPanel);
    panel->setContentsMargins(6, 6, 6, 6);
    const auto box = [this, panel](const QString &caption, const char *commandName) {
        auto *check = new QCheckBox(caption);
        check->setObjectName(QString(caption).remove(u' '));
        panel->addWidget(check);
        // Ticking the box is the same as running its command.
        qvx::ui::Command *c = command(QLatin1String(commandName));
        connect(check, &QCheckBox::clicked, this, [c, check](bool checked) {
            check->setChecked(!checked);
            c->execute();
        });
        return check;
    };
    ProgressiveDisplay = box(QStringLiteral("Progressive Display"), "SetProgressiveDisplay");
    IncrementalDisplay = box(QStringLiteral("Incremental Display"), "SetIncrementalDisplay");
    ProgressiveEncoding = box(QStringLiteral("Progressive Encoding"), "SetProgressiveEncoding");
    Smoothing = box(QStringLiteral("Smoothing"), "SetSmoothing");
    const std::pair<const char *, QCheckBox **> options[] = {
        { "SetProgressiveDisplay", &ProgressiveDisplay },
        { "SetIncrementalDisplay", &IncrementalDisplay },
        { "SetProgressiveEncoding", &ProgressiveEncoding },
        { "SetSmoothing", &Smoothing },
    };
    for (const auto &[name, check] : options) {
        qvx::ui::Command *c = command(QLatin1String(name));
        QCheckBox *target = *check;
        c->setHandler([this, c, target] {
            target->setChecked(!target->isChecked());
            c->setChecked(target->isChecked());
            ApplyOptions();
        });
    }

    auto *grid = new QGridLayout;
    panel->addLayout(grid);
    const auto combo = [this, grid](const QString &label, const QString &name, const QStringList &items) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(label), row, 0);
        auto *c = named(new QComboBox, name);
        c->addItems(items);
        grid->addWidget(c, row, 1);
        connect(c, &QComboBox::activated, this,
                [this] { qvx::ui::guarded(this, [this] { ApplyOptions(); }); });
        return c;
    };
    Scale = combo(QStringLiteral("Scale Mode"), QStringLiteral("Scale"),
                  { QStringLiteral("Full Size"), QStringLiteral("Half"), QStringLiteral("Quarter"),
                    QStringLiteral("Eighth") });
    PixelFormat = combo(QStringLiteral("Pixel Format"), QStringLiteral("PixelFormat"),
                        { QStringLiteral("24 Bit"), QStringLiteral("8 Bit") });
    ColorSpace = combo(QStringLiteral("Color Space"), QStringLiteral("ColorSpace"),
                       { QStringLiteral("RJB"), QStringLiteral("Grayscale") });
    Performance = combo(QStringLiteral("Performance"), QStringLiteral("Performance"),
                        { QStringLiteral("Best Quality"), QStringLiteral("Best Speed") });
    Transparent = combo(QStringLiteral("Transparent"), QStringLiteral("Transparent"),
                        { QStringLiteral("True"), QStringLiteral("False") });
    Transparent->setCurrentIndex(1);
    panel->addStretch(1);
    body->addWidget(ControlPanel);

    StatusBar = named(new QStatusBar, QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = named(new QLabel, QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setFixedWidth(50);
        StatusBar->addWidget(StatusPanel[i]);
    }
    outer->addWidget(StatusBar);

    const auto view = [this](const char *name, QWidget *widget) {
        qvx::ui::Command *c = command(QLatin1String(name));
        c->setHandler([this, c, widget] {
            const bool show = !widget->isVisibleTo(this);
            widget->setVisible(show);
            c->setChecked(show);
        });
    };
    view("ViewPanel", ControlPanel);
    view("ViewControlBar", ControlBar);
}

void TGraphFormDlg::buildMenus()
{
    const auto menu
        = [this](const QString &title, const QString &name, std::initializer_list<const char *> items) {
              qvx::ui::addCommandMenu(MainMenu, *ActionList, title, name, items);
          };
    menu(QStringLiteral("&File"), QStringLiteral("FileMenu"),
         { "LoadPicture", "SavePictureAs", "", "PrintSetup", "PrintPicture", "", "ExitFromGraphManager" });
    menu(QStringLiteral("&Tools"), QStringLiteral("ToolsMenu"),
         { "SetBGColor", "", "SetProgressiveDisplay", "SetIncrementalDisplay", "SetProgressiveEncoding", "",
           "SetSmoothing" });
    menu(QStringLiteral("&View"), QStringLiteral("ViewMenu"),
         { "AddBorder", "", "ViewPanel", "ViewControlBar" });
    menu(QStringLiteral("&Help"), QStringLiteral("HelpMenu"), { "Help", "", "About" });
    ActionList->takePrecedenceOver(MainMenu);
}

// ---- Pictures -----------------------------------------------------------------

void TGraphFormDlg::showPicture(const QImage &picture)
{
    m_shown = picture;
    QPixmap pixmap = QPixmap::fromImage(picture);
    if (!pixmap.isNull() && Transparent->currentIndex() == 0) {
        // The background is the colour of the top left pixel.
        pixmap.setMask(pixmap.createMaskFromColor(picture.pixelColor(0, 0), Qt::MaskInColor));
    }
    SelectedImage->setPixmap(pixmap);
    SelectedImage->resize(picture.size());
    QWidget *sheet = ScrollBox->widget();
    sheet->resize(picture.width() + 2 * kMargin + kShadowOffset,
                  picture.height() + 2 * kMargin + kShadowOffset);
}

void TGraphFormDlg::setShownPicture(const QByteArray &bytes)
{
    // A JPEG goes through our decoder whatever Qt can read, so that the
    // display options apply to it.
    m_shownIsJpeg = qvx::jpeg::looksLikeJpeg(bytes);
    QImage picture;
    if (m_shownIsJpeg) {
        try {
            picture = qvx::ui::decodeJpeg(bytes);
        } catch (const qvx::EngineError &) {
            // A damaged picture in a field shows as none, as the pane shows it.
        }
    } else {
        picture = QImage::fromData(bytes);
    }
    m_shownBytes = bytes;
    showPicture(picture);
}

bool TGraphFormDlg::Execute()
{
    for (QComboBox *combo : { Scale, PixelFormat, ColorSpace, Performance })
        combo->setCurrentIndex(0);
    return qvx::ui::runDialog(*this) == QDialog::Accepted;
}

void TGraphFormDlg::ApplyOptions()
{
    const bool progressiveEncoding = ProgressiveEncoding->isChecked();
    if (m_shownIsJpeg) {
        m_progressiveEncoding = progressiveEncoding;
        qvx::jpeg::DecodeOptions options;
        options.scaleDenominator = 1 << Scale->currentIndex();
        options.quantize = PixelFormat->currentIndex() == 1;
        options.grayscale = ColorSpace->currentIndex() == 1;
        options.fastDct = Performance->currentIndex() == 1;
        options.fancyUpsampling = Smoothing->isChecked();
        // Incremental Display has nothing to add: a decode here is never
        // interrupted, and a progressive file already shows pass by pass.
        if (ProgressiveDisplay->isChecked() && qvx::jpeg::readHeader(m_shownBytes).progressive) {
            options.onPass = [this](const qvx::jpeg::Picture &pass) {
                showPicture(qvx::ui::toImage(pass));
                SelectedImage->repaint();
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            };
        }
        showPicture(qvx::ui::decodeJpeg(m_shownBytes, options));
    } else {
        showPicture(m_shown);
    }
    for (QComboBox *combo : { Scale, PixelFormat, ColorSpace, Performance })
        combo->setEnabled(m_shownIsJpeg);
    const bool progressiveDisplay = m_shownIsJpeg && m_progressiveEncoding;
    ProgressiveDisplay->setEnabled(progressiveDisplay);
    command(QStringLiteral("SetProgressiveDisplay"))->setEnabled(progressiveDisplay);
    Shape->resize(m_shown.size());
    Border->resize(m_shown.size());
}

void TGraphFormDlg::LoadPictureExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Load Picture");
    request.filter = kOpenFilter;
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().openFile(this, request);
    if (!answer)
        return;
    const QString path = answer->fileName;
    const QByteArray bytes = readWholeFile(path);
    if (answer->filterIndex == 1) {
        QImage decoded;
        if (qvx::jpeg::looksLikeJpeg(bytes)) {
            try {
                decoded = qvx::ui::decodeJpeg(bytes, {}, path);
            } catch (const qvx::EngineError &) {
                decoded = QImage();
            }
        }
        if (decoded.isNull()) {
            // Not a JPEG: ignored without a message box, the status says why.
            StatusPanel[0]->setText(QStringLiteral("not a JPEG file"));
        } else {
            StatusPanel[0]->clear();
            m_loaded = decoded;
            m_loadedBytes = bytes;
            bool isJpeg = false;
            const QImage shown = readByExtension(path, bytes, &isJpeg);
            m_shownIsJpeg = isJpeg;
            m_shownBytes = bytes;
            showPicture(shown);
        }
        ApplyOptions();
        return;
    }
    bool isJpeg = false;
    const QImage shown = readByExtension(path, bytes, &isJpeg);
    StatusPanel[0]->clear();
    m_shownIsJpeg = isJpeg;
    m_shownBytes = bytes;
    showPicture(shown);
    m_loaded = shown;
    m_loadedBytes = bytes;
}

void TGraphFormDlg::SavePictureAsExecute()
{
    qvx::ui::FileDialogRequest request;
    request.title = QStringLiteral("Save Picture As");
    request.filter = kSaveFilter;
    request.defaultExtension = QStringLiteral("bmp");
    const std::optional<qvx::ui::FileDialogAnswer> answer = Services::current().saveFile(this, request);
    if (!answer)
        return;
    if (m_loaded.isNull())
        throw qvx::EngineError(QStringLiteral("Cannot assign an empty picture"));
    if (answer->filterIndex == 2) {
        qvx::jpeg::EncodeOptions options;
        options.progressive = ProgressiveEncoding->isChecked();
        qvx::ui::writeJpegFile(answer->fileName, m_loaded, options);
        return;
    }
    QSaveFile file(answer->fileName);
    if (!file.open(QIODevice::WriteOnly) || !m_loaded.save(&file, "BMP") || !file.commit())
        throw qvx::EngineError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(answer->fileName, file.errorString()));
}

void TGraphFormDlg::PrintPictureExecute()
{
    if (!qvx::ui::choosePrintTarget(this, QStringLiteral("Picture")))
        return;
    const int scale = Scale->currentIndex();
    // Whatever happens on the printer, the window comes back with the zoom
    // it had and with the shadow and frame showing.
    const auto restore = [this, scale] {
        Scale->setCurrentIndex(scale);
        ApplyOptions();
        Shape->show();
        Border->show();
    };
    try {
        Scale->setCurrentIndex(0);
        ApplyOptions();
        Shape->hide();
        Border->hide();
        QPainter painter;
        qvx::ui::startPrinting(painter);
        const QSize size = qvx::ui::fitToPage(m_shown.size(), Services::current().printerPageSize());
        painter.drawImage(QRect(QPoint(0, 0), size), m_shown);
        if (!painter.end())
            throw qvx::EngineError(QStringLiteral("The printer could not finish the job"));
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TGraphFormDlg::AddBorderExecute()
{
    Shape->resize(m_shown.size());
    Border->resize(m_shown.size());
    if (m_shown.isNull())
        return;
    Shape->setVisible(!Shape->isVisibleTo(this));
    Border->setVisible(!Border->isVisibleTo(this));
}

QByteArray TGraphFormDlg::bytesFor(const qvx::ui::ChildWindow &child) const
{
    if (m_loaded.isNull())
        return {};
    // A Paradox graphic field holds bitmaps only; other formats take the
    // file as it was loaded.
    bool paradox = child.document().path.endsWith(QLatin1String(".db"), Qt::CaseInsensitive);
    qvx::ui::DBImage *pane = const_cast<qvx::ui::ChildWindow &>(child).picturePane();
    if (const auto *table = dynamic_cast<const qvx::Table *>(pane->link()->dataSet()))
        paradox = paradox || table->effectiveType() == qvx::Table::Paradox;
    return paradox || m_loadedBytes.isEmpty() ? bmpBytes(m_loaded) : m_loadedBytes;
}

void TGraphFormDlg::AddPictureExecute()
{
    qvx::ui::ChildWindow *child = ActiveChild ? ActiveChild() : nullptr;
    if (!child)
        return;
    qvx::ui::DBImage *pane = child->picturePane();
    if (!pane || !pane->link()->isBound())
        return;
    const QByteArray bytes = bytesFor(*child);
    pane->link()->write(bytes.isEmpty() ? QVariant() : QVariant(bytes));
    pane->link()->dataSet()->post();
    pane->resize(m_loaded.size());
    pane->updateGeometry();
}

void TGraphFormDlg::SetBGColorExecute()
{
    const QColor current = ScrollBox->palette().color(ScrollBox->backgroundRole());
    const std::optional<QColor> chosen = Services::current().chooseColor(this, current);
    if (!chosen)
        return;
    QPalette palette = ScrollBox->palette();
    palette.setColor(ScrollBox->backgroundRole(), *chosen);
    ScrollBox->setPalette(palette);
}

bool TGraphFormDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SelectedImage) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_pressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonRelease:
            if (m_pressed
                && SelectedImage->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
                command(QStringLiteral("AddPicture"))->execute();
            m_pressed = false;
            break;
        case QEvent::MouseButtonDblClick:
            m_pressed = false;
            command(QStringLiteral("AddPicture"))->execute();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
