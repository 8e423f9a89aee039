#include "HTMLFontsDlg.h"

#include "ui/CommandList.h"
#include "ui/DialogSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

using qvx::ui::glyph;
using qvx::ui::guarded;
using qvx::ui::named;

namespace {

QToolButton *toolButton(const QString &name, const QString &themeName, const QString &hint)
{
    auto *button = named(new QToolButton, name);
    button->setIcon(glyph(themeName, hint));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

constexpr qint64 MaxSamplePoints = 1000;

} // namespace

THTMLFontFormDlg::THTMLFontFormDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HTMLFontFormDlg"));
    setWindowTitle(QStringLiteral("HTML Text Properties"));

    FontName = named(new QComboBox, QStringLiteral("FontName"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->addItems({ QStringLiteral("Arial"), QStringLiteral("Courier"), QStringLiteral("Courier New"),
                         QStringLiteral("Hebar"), QStringLiteral("MS San Serif"), QStringLiteral("System"),
                         QStringLiteral("Tahoma"), QStringLiteral("Times New Roman"),
                         QStringLiteral("Timok") });
    FontName->setEditText(QStringLiteral("Courier"));

    FontSize = named(new QComboBox, QStringLiteral("FontSize"));
    FontSize->setEditable(true);
    FontSize->setInsertPolicy(QComboBox::NoInsert);
    for (int size = 1; size <= 7; ++size)
        FontSize->addItem(QString::number(size));
    FontSize->setEditText(QStringLiteral("FontSize"));

    BoldBtn
        = toolButton(QStringLiteral("BoldBtn"), QStringLiteral("format-text-bold"), QStringLiteral("Bold"));
    ItalicBtn = toolButton(QStringLiteral("ItalicBtn"), QStringLiteral("format-text-italic"),
                           QStringLiteral("Italic"));
    UnderlineBtn = toolButton(QStringLiteral("UnderlineBtn"), QStringLiteral("format-text-underline"),
                              QStringLiteral("Underline"));
    for (QToolButton *b : { BoldBtn, ItalicBtn, UnderlineBtn })
        b->setCheckable(true);

    LeftButton = toolButton(QStringLiteral("LeftButton"), QStringLiteral("format-justify-left"),
                            QStringLiteral("Left"));
    CenterButton = toolButton(QStringLiteral("CenterButton"), QStringLiteral("format-justify-center"),
                              QStringLiteral("Center"));
    RightButton = toolButton(QStringLiteral("RightButton"), QStringLiteral("format-justify-right"),
                             QStringLiteral("Right"));
    auto *alignGroup = new QButtonGroup(this);
    for (QToolButton *b : { LeftButton, CenterButton, RightButton }) {
        b->setCheckable(true);
        alignGroup->addButton(b);
    }
    LeftButton->setChecked(true);

    ToolButton1 = toolButton(QStringLiteral("ToolButton1"), QStringLiteral("format-text-color"),
                             QStringLiteral("Color"));

    TestMemo = named(new QTextEdit, QStringLiteral("TestMemo"));
    TestMemo->setPlainText(QStringLiteral("A-a, B-b, C-c, D-d ..."));
    TestMemo->setMinimumHeight(60);

    BitBtn1 = named(new QPushButton(QStringLiteral("OK")), QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = named(new QPushButton(QStringLiteral("Cancel")), QStringLiteral("BitBtn2"));

    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(FontName, 1);
    fontRow->addWidget(FontSize);
    auto *toolRow = new QHBoxLayout;
    toolRow->setSpacing(2);
    for (QToolButton *b : { BoldBtn, ItalicBtn, UnderlineBtn })
        toolRow->addWidget(b);
    toolRow->addSpacing(8);
    for (QToolButton *b : { LeftButton, CenterButton, RightButton })
        toolRow->addWidget(b);
    toolRow->addSpacing(8);
    toolRow->addWidget(ToolButton1);
    toolRow->addStretch();

    auto *testBox = new QGroupBox(QStringLiteral("Test"));
    auto *testLayout = new QVBoxLayout(testBox);
    testLayout->addWidget(TestMemo);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(BitBtn1);
    buttonRow->addWidget(BitBtn2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fontRow);
    layout->addLayout(toolRow);
    layout->addWidget(testBox, 1);
    layout->addLayout(buttonRow);

    const auto guard = [this](auto fn) { return [this, fn] { guarded(this, fn); }; };
    connect(BoldBtn, &QToolButton::clicked, this, guard([this] { BoldBtnClick(); }));
    connect(ItalicBtn, &QToolButton::clicked, this, guard([this] { ItalicBtnClick(); }));
    connect(UnderlineBtn, &QToolButton::clicked, this, guard([this] { UnderlineBtnClick(); }));
    connect(LeftButton, &QToolButton::clicked, this, guard([this] { LeftButtonClick(); }));
    connect(CenterButton, &QToolButton::clicked, this, guard([this] { CenterButtonClick(); }));
    connect(RightButton, &QToolButton::clicked, this, guard([this] { RightButtonClick(); }));
    connect(ToolButton1, &QToolButton::clicked, this, guard([this] { ToolButton1Click(); }));
    // Connected after the initial texts are in, so that building the dialog
    // does not already fail on the size box's "FontSize".
    connect(FontName, &QComboBox::currentTextChanged, this, guard([this] { ApplyFont(); }));
    connect(FontSize, &QComboBox::currentTextChanged, this, guard([this] { ApplyFont(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

bool THTMLFontFormDlg::Execute()
{
    if (qvx::ui::runDialog(*this) != QDialog::Accepted)
        return false;
    FontNameText = FontName->currentText();
    FontSizeText = FontSize->currentText();
    return true;
}

void THTMLFontFormDlg::applyStyle()
{
    // The buttons show the set, even when a handler is called without a
    // click having toggled them.
    BoldBtn->setChecked(m_bold);
    ItalicBtn->setChecked(m_italic);
    UnderlineBtn->setChecked(m_underline);
    QFont font = TestMemo->font();
    font.setBold(m_bold);
    font.setItalic(m_italic);
    font.setUnderline(m_underline);
    TestMemo->setFont(font);
}

void THTMLFontFormDlg::BoldBtnClick()
{
    m_bold = !m_bold;
    StyleLetter = QStringLiteral("B");
    applyStyle();
}

void THTMLFontFormDlg::ItalicBtnClick()
{
    m_italic = !m_italic;
    StyleLetter = QStringLiteral("I");
    applyStyle();
}

void THTMLFontFormDlg::UnderlineBtnClick()
{
    m_underline = !m_underline;
    StyleLetter = QStringLiteral("U");
    applyStyle();
}

void THTMLFontFormDlg::setAlignment(Qt::Alignment alignment, QToolButton *button, const QString &word)
{
    button->setChecked(true);
    // Alignment belongs to the paragraphs, not the widget: every paragraph
    // of the sample takes it.
    QTextCursor cursor(TestMemo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
    Align = word;
}

void THTMLFontFormDlg::LeftButtonClick()
{
    setAlignment(Qt::AlignLeft, LeftButton, QStringLiteral("LEFT"));
}

void THTMLFontFormDlg::CenterButtonClick()
{
    setAlignment(Qt::AlignHCenter, CenterButton, QStringLiteral("CENTER"));
}

void THTMLFontFormDlg::RightButtonClick()
{
    setAlignment(Qt::AlignRight, RightButton, QStringLiteral("RIGHT"));
}

void THTMLFontFormDlg::ToolButton1Click()
{
    if (const std::optional<QColor> colour = qvx::ui::Services::current().chooseColor(this, ColorDialogColor))
        ColorDialogColor = *colour;
    ApplyFont();
}

void THTMLFontFormDlg::ApplyFont()
{
    QFont font = TestMemo->font();
    font.setFamily(FontName->currentText());
    TestMemo->setFont(font);

    const qint64 points = 8 * qint64(qvx::ui::integerOf(FontSize->currentText()));
    // A font has no size of zero or less, and one of thousands of points
    // would only stall the sample; such numbers leave the size as it was.
    if (points > 0 && points <= MaxSamplePoints)
        font.setPointSize(int(points));
    TestMemo->setFont(font);

    QPalette palette = TestMemo->palette();
    palette.setColor(QPalette::Text, ColorDialogColor);
    TestMemo->setPalette(palette);
}
