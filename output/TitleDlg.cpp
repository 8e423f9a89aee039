#include "TitleDlg.h"

#include "ui/CommandList.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

using qvx::output::TextBlock;
using qvx::ui::named;

namespace {

QToolButton *toolButton(QWidget *parent, const QString &name, const QIcon &icon, const QString &hint)
{
    auto *button = named(new QToolButton(parent), name);
    button->setIcon(icon);
    button->setToolTip(hint);
    button->setCheckable(true);
    button->setAutoRaise(true);
    // Pressing a style or alignment button must leave the caret in the text.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &themeName, const QString &hint)
{
    return toolButton(parent, name, qvx::ui::glyph(themeName, hint), hint);
}

QVBoxLayout *labelled(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(label);
    column->addWidget(control);
    return column;
}

// The colour button's picture: a letter over a bar of the colour the colour
// dialog holds, which is what the next change of font will apply.
QIcon colourGlyph(const QColor &colour)
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(size * 5 / 8);
        painter.setFont(font);
        painter.setPen(QColor(0x30, 0x30, 0x30));
        painter.drawText(QRect(0, 0, size, size * 3 / 4), Qt::AlignCenter, QStringLiteral("A"));
        const QRectF bar(size * 0.1, size * 0.72, size * 0.8, size * 0.22);
        painter.fillRect(bar, colour);
        painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bar);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

Qt::Alignment horizontalOf(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    if (alignment & Qt::AlignRight)
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

} // namespace

TTitleForm::TTitleForm(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TitleForm"));
    setWindowTitle(QStringLiteral("Text Manager"));
    buildControls();
    setMemoAlignment(Qt::AlignLeft);
    adjustSize();
}

void TTitleForm::buildControls()
{
    FontLabel = named(new QLabel(QStringLiteral("Font:"), this), QStringLiteral("FontLabel"));
    FontName = named(new QComboBox(this), QStringLiteral("FontName"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->setMinimumContentsLength(18);
    SizeLabel = named(new QLabel(QStringLiteral("Size:"), this), QStringLiteral("SizeLabel"));
    FontSize = named(new QComboBox(this), QStringLiteral("FontSize"));
    FontSize->setEditable(true);
    FontSize->setInsertPolicy(QComboBox::NoInsert);
    FontSize->addItems({ QStringLiteral("8"), QStringLiteral("10"), QStringLiteral("12"),
                         QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
                         QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24"),
                         QStringLiteral("26"), QStringLiteral("28"), QStringLiteral("32"),
                         QStringLiteral("36"), QStringLiteral("40") });
    FontSize->setCurrentText(QStringLiteral("10"));

    BoldButton = toolButton(this, QStringLiteral("BoldButton"), QStringLiteral("format-text-bold"),
                            QStringLiteral("Bold"));
    ItalicButton = toolButton(this, QStringLiteral("ItalicButton"), QStringLiteral("format-text-italic"),
                              QStringLiteral("Italic"));
    UnderlineButton = toolButton(this, QStringLiteral("UnderlineButton"),
                                 QStringLiteral("format-text-underline"), QStringLiteral("Underline"));
    LeftButton = toolButton(this, QStringLiteral("LeftButton"), QStringLiteral("format-justify-left"),
                            QStringLiteral("Align Left"));
    CenterButton = toolButton(this, QStringLiteral("CenterButton"), QStringLiteral("format-justify-center"),
                              QStringLiteral("Center"));
    RightButton = toolButton(this, QStringLiteral("RightButton"), QStringLiteral("format-justify-right"),
                             QStringLiteral("Align Right"));
    ColorButton = toolButton(this, QStringLiteral("ColorButton"), colourGlyph(ColorDialogColor),
                             QStringLiteral("Color"));
    ColorButton->setCheckable(false);

    TextLabel = named(new QLabel(QStringLiteral("Text"), this), QStringLiteral("TextLabel"));
    TextMemo = named(new QTextEdit(this), QStringLiteral("TextMemo"));
    TextMemo->setAcceptRichText(false);
    TextMemo->setTabChangesFocus(true);

    OKBitBtn = named(new QPushButton(qvx::ui::glyph(QStringLiteral("dialog-ok"), QStringLiteral("OK")),
                                     QStringLiteral("OK"), this),
                     QStringLiteral("OKBitBtn"));
    OKBitBtn->setDefault(true);
    CancelBitBtn
        = named(new QPushButton(qvx::ui::glyph(QStringLiteral("dialog-cancel"), QStringLiteral("Cancel")),
                                QStringLiteral("Cancel"), this),
                QStringLiteral("CancelBitBtn"));

    auto *fonts = new QHBoxLayout;
    fonts->addLayout(labelled(FontLabel, FontName), 1);
    fonts->addLayout(labelled(SizeLabel, FontSize));
    auto *tools = new QHBoxLayout;
    tools->setSpacing(1);
    for (QToolButton *b : { BoldButton, ItalicButton, UnderlineButton })
        tools->addWidget(b);
    tools->addSpacing(8);
    for (QToolButton *b : { LeftButton, CenterButton, RightButton })
        tools->addWidget(b);
    tools->addSpacing(8);
    tools->addWidget(ColorButton);
    tools->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBitBtn);
    buttons->addWidget(CancelBitBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fonts);
    layout->addLayout(tools);
    layout->addLayout(labelled(TextLabel, TextMemo), 1);
    layout->addLayout(buttons);
    TextMemo->setMinimumHeight(TextMemo->fontMetrics().lineSpacing() * 4);

    connect(BoldButton, &QToolButton::clicked, this, &TTitleForm::BoldButtonClick);
    connect(ItalicButton, &QToolButton::clicked, this, &TTitleForm::ItalicButtonClick);
    connect(UnderlineButton, &QToolButton::clicked, this, &TTitleForm::UnderlineButtonClick);
    connect(LeftButton, &QToolButton::clicked, this, &TTitleForm::LeftButtonClick);
    connect(CenterButton, &QToolButton::clicked, this, &TTitleForm::CenterButtonClick);
    connect(RightButton, &QToolButton::clicked, this, &TTitleForm::RightButtonClick);
    connect(ColorButton, &QToolButton::clicked, this,
            [this] { qvx::ui::guarded(this, [this] { ColorButtonClick(); }); });
    connect(FontName, &QComboBox::currentTextChanged, this, &TTitleForm::fontTextChanged);
    connect(FontSize, &QComboBox::currentTextChanged, this, &TTitleForm::fontTextChanged);
    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TTitleForm::setBlock(const TextBlock &block)
{
    // Only the first line is the caller's; the lines below it stay as the
    // user left them.
    QTextCursor first(TextMemo->document());
    first.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    first.insertText(block.text);

    QFont font = block.applyTo(TextMemo->font());
    // A block without a size leaves the box's font without a point size,
    // which activation turns into 10 points.
    if (block.size <= 0)
        font.setPixelSize(qMax(1, QFontInfo(font).pixelSize()));
    TextMemo->setFont(font);
    setMemoFontColor(block.color);
    setMemoAlignment(horizontalOf(block.alignment));
}

TextBlock TTitleForm::block() const
{
    const QFont font = TextMemo->font();
    TextBlock result;
    result.text = TextMemo->document()->firstBlock().text();
    result.fontName = font.family();
    result.size = qMax(0, font.pointSize());
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    result.color = memoFontColor();
    result.alignment = m_alignment;
    return result;
}

QColor TTitleForm::memoFontColor() const
{
    return TextMemo->palette().color(QPalette::Text);
}

Qt::Alignment TTitleForm::memoAlignment() const
{
    return m_alignment;
}

bool TTitleForm::Execute()
{
    FormActivate();
    centreOnScreen();
    return qvx::ui::runDialog(*this) == QDialog::Accepted;
}

void TTitleForm::FormActivate()
{
    const QScopedValueRollback filling(m_filling, true);
    setMemoFontColor(QApplication::palette(TextMemo).color(QPalette::Text));

    FontName->clear();
    FontName->addItems(qvx::ui::Services::current().fontFamilies());

    QFont font = TextMemo->font();
    const int size = qMax(0, font.pointSize());
    if (size == 0) {
        FontSize->setCurrentText(QStringLiteral("10"));
        font.setPointSize(10);
        TextMemo->setFont(font);
    } else {
        FontSize->setCurrentText(QString::number(size));
    }
    FontName->setCurrentText(font.family());

    ColorButton->setIcon(colourGlyph(ColorDialogColor));
    m_style = { font.bold(), font.italic(), font.underline(), font.strikeOut() };
    showStyle();
    TextMemo->setFocus();
}

void TTitleForm::BoldButtonClick()
{
    toggleStyle(&StyleSet::bold);
}

void TTitleForm::ItalicButtonClick()
{
    toggleStyle(&StyleSet::italic);
}

void TTitleForm::UnderlineButtonClick()
{
    toggleStyle(&StyleSet::underline);
}

void TTitleForm::LeftButtonClick()
{
    setMemoAlignment(Qt::AlignLeft);
}

void TTitleForm::CenterButtonClick()
{
    setMemoAlignment(Qt::AlignHCenter);
}

void TTitleForm::RightButtonClick()
{
    setMemoAlignment(Qt::AlignRight);
}

void TTitleForm::ColorButtonClick()
{
    if (const std::optional<QColor> chosen = qvx::ui::Services::current().chooseColor(this, ColorDialogColor))
        ColorDialogColor = *chosen;
    ColorButton->setIcon(colourGlyph(ColorDialogColor));
    // Cancelled or not, the colour the dialog holds is applied.
    ApplyFont();
}

void TTitleForm::ApplyFont()
{
    QFont font = TextMemo->font();
    const QString name = FontName->currentText();
    if (!name.isEmpty()) {
        font.setFamily(name);
        TextMemo->setFont(font);
    }
    font.setPointSize(qvx::ui::integerOf(FontSize->currentText()));
    TextMemo->setFont(font);
    setMemoFontColor(ColorDialogColor);
}

void TTitleForm::toggleStyle(bool StyleSet::*style)
{
    m_style.*style = !(m_style.*style);
    showStyle();
    QFont font = TextMemo->font();
    font.setBold(m_style.bold);
    font.setItalic(m_style.italic);
    font.setUnderline(m_style.underline);
    font.setStrikeOut(m_style.strikeOut);
    TextMemo->setFont(font);
}

void TTitleForm::showStyle()
{
    BoldButton->setChecked(m_style.bold);
    ItalicButton->setChecked(m_style.italic);
    UnderlineButton->setChecked(m_style.underline);
}

void TTitleForm::setMemoFontColor(const QColor &color)
{
    QPalette palette = TextMemo->palette();
    palette.setColor(QPalette::Text, color);
    TextMemo->setPalette(palette);
}

void TTitleForm::setMemoAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    // Every paragraph takes it, and the document's default too, so that text
    // typed or pasted later lines up the same way.
    QTextDocument *document = TextMemo->document();
    QTextOption option = document->defaultTextOption();
    option.setAlignment(alignment);
    document->setDefaultTextOption(option);
    QTextCursor all(document);
    all.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    all.mergeBlockFormat(format);

    LeftButton->setChecked(alignment == Qt::AlignLeft);
    CenterButton->setChecked(alignment == Qt::AlignHCenter);
    RightButton->setChecked(alignment == Qt::AlignRight);
}

void TTitleForm::fontTextChanged()
{
    if (m_filling)
        return;
    qvx::ui::guarded(this, [this] { ApplyFont(); });
}

void TTitleForm::centreOnScreen()
{
    const QSize screen = qvx::ui::Services::current().screenSize();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);
}
