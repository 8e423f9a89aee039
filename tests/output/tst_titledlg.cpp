// The Text Manager: what activation shows, what the style, alignment and
// colour buttons and the two boxes do to the text box, and what the caller
// gets back, once and over two runs of the same dialog.
#include "output/TitleDlg.h"

#include "engine/EngineError.h"
#include "support/ScriptedServices.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

using qvx::output::TextBlock;

Q_DECLARE_METATYPE(TextBlock)

namespace {

const QColor Red(0xc0, 0x10, 0x10);
const QColor Green(0x10, 0x90, 0x20);
const QColor Blue(0x10, 0x20, 0xc0);

QColor windowText(const TTitleForm &form)
{
    return QApplication::palette(form.TextMemo).color(QPalette::Text);
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// The alignment each paragraph of the box lays out with.
QList<int> paragraphAlignments(const QTextEdit *memo)
{
    QList<int> alignments;
    for (QTextBlock b = memo->document()->firstBlock(); b.isValid(); b = b.next())
        alignments << int(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask);
    return alignments;
}

TextBlock blockOf(const QString &text, const QString &fontName, int size, Qt::Alignment alignment,
                  const QColor &color)
{
    TextBlock b;
    b.text = text;
    b.fontName = fontName;
    b.size = size;
    b.alignment = alignment;
    b.color = color;
    return b;
}

} // namespace

class TitleDlgTest : public QObject {
    Q_OBJECT

private slots:
    // A window-text colour of its own, so that it cannot pass for the
    // colour dialog's black.
    void initTestCase()
    {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Text, QColor(0x40, 0x30, 0x50));
        QApplication::setPalette(palette);
        QVERIFY(windowText(TTitleForm()) != QColor(Qt::black));
    }

    void controls()
    {
        ScriptedServices services;
        TTitleForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Text Manager"));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(itemsOf(form.FontSize),
                 QStringList(
                     { "8", "10", "12", "14", "16", "18", "20", "22", "24", "26", "28", "32", "36", "40" }));
        QCOMPARE(form.FontSize->currentText(), QStringLiteral("10"));
        QCOMPARE(form.FontLabel->text(), QStringLiteral("Font:"));
        QCOMPARE(form.SizeLabel->text(), QStringLiteral("Size:"));
        QCOMPARE(form.TextLabel->text(), QStringLiteral("Text"));
        QCOMPARE(form.OKBitBtn->text(), QStringLiteral("OK"));
        QCOMPARE(form.CancelBitBtn->text(), QStringLiteral("Cancel"));
        const QList<std::pair<QObject *, const char *>> members {
            { form.FontLabel, "FontLabel" },
            { form.FontName, "FontName" },
            { form.SizeLabel, "SizeLabel" },
            { form.FontSize, "FontSize" },
            { form.BoldButton, "BoldButton" },
            { form.ItalicButton, "ItalicButton" },
            { form.UnderlineButton, "UnderlineButton" },
            { form.LeftButton, "LeftButton" },
            { form.CenterButton, "CenterButton" },
            { form.RightButton, "RightButton" },
            { form.ColorButton, "ColorButton" },
            { form.TextLabel, "TextLabel" },
            { form.TextMemo, "TextMemo" },
            { form.OKBitBtn, "OKBitBtn" },
            { form.CancelBitBtn, "CancelBitBtn" },
        };
        for (const auto &[member, name] : members)
            QCOMPARE(form.findChild<QObject *>(QLatin1String(name)), member);
        QVERIFY(services.messages.isEmpty());
    }

    // The size box shows the box's size; a box without one opens at 10.
    void activationSize_data()
    {
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<bool>("pixelFont");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("points");
        QTest::newRow("caller's size 0") << 0 << false << "10" << 10;
        QTest::newRow("font sized in pixels") << 14 << true << "10" << 10;
        QTest::newRow("size in the list") << 14 << false << "14" << 14;
        QTest::newRow("size not in the list") << 11 << false << "11" << 11;
    }
    void activationSize()
    {
        QFETCH(int, blockSize);
        QFETCH(bool, pixelFont);
        QFETCH(QString, shown);
        QFETCH(int, points);
        ScriptedServices services;
        TTitleForm form;
        form.setBlock(
            blockOf(QStringLiteral("Title"), QStringLiteral("Alpha Sans"), blockSize, Qt::AlignLeft, Red));
        if (pixelFont) {
            QFont font = form.TextMemo->font();
            font.setPixelSize(17);
            form.TextMemo->setFont(font);
        }
        form.FormActivate();
        QCOMPARE(form.FontSize->currentText(), shown);
        QCOMPARE(form.TextMemo->font().pointSize(), points);
        QCOMPARE(form.block().size, points);
        QCOMPARE(form.TextMemo->font().family(), QStringLiteral("Alpha Sans"));
        QVERIFY(services.messages.isEmpty());
    }

    // Whatever colour the caller set, and whatever the colour dialog holds,
    // the text opens in the window-text colour: filling the boxes applies
    // nothing.
    void activationColour_data()
    {
        QTest::addColumn<QColor>("callerColour");
        QTest::addColumn<QColor>("dialogColour");
        QTest::newRow("red") << Red << QColor(Qt::black);
        QTest::newRow("white, blue in the colour dialog") << QColor(Qt::white) << Blue;
    }
    void activationColour()
    {
        QFETCH(QColor, callerColour);
        QFETCH(QColor, dialogColour);
        ScriptedServices services;
        TTitleForm form;
        QVERIFY(windowText(form) != callerColour);
        form.ColorDialogColor = dialogColour;
        form.setBlock(blockOf(QStringLiteral("Title"), QString(), 12, Qt::AlignLeft, callerColour));
        QCOMPARE(form.memoFontColor(), callerColour);
        form.FormActivate();
        QCOMPARE(form.memoFontColor(), windowText(form));
        QCOMPARE(form.block().color, windowText(form));
        QCOMPARE(form.ColorDialogColor, dialogColour);
    }

    // Installed fonts replace the list each time; the name box shows the
    // box's font and the style buttons its style; the text gets the focus.
    void activationFontsAndStyle_data()
    {
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::newRow("plain") << false << false << false;
        QTest::newRow("bold") << true << false << false;
        QTest::newRow("italic and underlined") << false << true << true;
        QTest::newRow("all three") << true << true << true;
    }
    void activationFontsAndStyle()
    {
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        ScriptedServices services;
        services.families = QStringList { "Alpha Sans", "Beta Serif", "Gamma Mono" };
        TTitleForm form;
        TextBlock b = blockOf(QStringLiteral("Title"), QStringLiteral("Beta Serif"), 12, Qt::AlignLeft, Red);
        b.bold = bold;
        b.italic = italic;
        b.underline = underline;
        form.setBlock(b);
        form.FormActivate();
        QCOMPARE(itemsOf(form.FontName), services.families);
        QCOMPARE(form.FontName->currentText(), QStringLiteral("Beta Serif"));
        QCOMPARE(form.BoldButton->isChecked(), bold);
        QCOMPARE(form.ItalicButton->isChecked(), italic);
        QCOMPARE(form.UnderlineButton->isChecked(), underline);
        QCOMPARE(form.focusWidget(), form.TextMemo);

        services.families = QStringList { "Delta" };
        form.FormActivate();
        QCOMPARE(itemsOf(form.FontName), services.families);
        QCOMPARE(form.FontName->currentText(), QStringLiteral("Beta Serif"));
        QCOMPARE(form.TextMemo->font().family(), QStringLiteral("Beta Serif"));
        QVERIFY(services.messages.isEmpty());
    }

    // Each press flips its style in the set, whatever the button showed;
    // strike-out, which has no button, stays as the font had it.
    void styleButtons_data()
    {
        QTest::addColumn<bool>("startBold");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("presses");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::newRow("bold once") << false << "BoldButton" << 1 << true << false << false;
        QTest::newRow("bold twice") << false << "BoldButton" << 2 << false << false << false;
        QTest::newRow("bold once on bold text") << true << "BoldButton" << 1 << false << false << false;
        QTest::newRow("italic once on bold text") << true << "ItalicButton" << 1 << true << true << false;
        QTest::newRow("underline once") << false << "UnderlineButton" << 1 << false << false << true;
        QTest::newRow("underline twice") << false << "UnderlineButton" << 2 << false << false << false;
    }
    void styleButtons()
    {
        QFETCH(bool, startBold);
        QFETCH(QString, button);
        QFETCH(int, presses);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        ScriptedServices services;
        TTitleForm form;
        TextBlock b = blockOf(QStringLiteral("Title"), QString(), 12, Qt::AlignLeft, Red);
        b.bold = startBold;
        b.strikeOut = true;
        form.setBlock(b);
        form.FormActivate();
        auto *pressed = form.findChild<QToolButton *>(button);
        QVERIFY(pressed);
        for (int i = 0; i < presses; ++i)
            pressed->click();
        const QFont font = form.TextMemo->font();
        QCOMPARE(font.bold(), bold);
        QCOMPARE(font.italic(), italic);
        QCOMPARE(font.underline(), underline);
        QVERIFY(font.strikeOut());
        QCOMPARE(form.BoldButton->isChecked(), bold);
        QCOMPARE(form.ItalicButton->isChecked(), italic);
        QCOMPARE(form.UnderlineButton->isChecked(), underline);
        const TextBlock result = form.block();
        QCOMPARE(result.bold, bold);
        QVERIFY(result.strikeOut);
    }

    // One alignment button pressed at a time (pressing the pressed one keeps
    // it); every paragraph, and a paragraph typed afterwards, takes the
    // alignment.
    void alignmentButtons_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("alignment");
        QTest::newRow("left from right") << int(Qt::AlignRight) << "LeftButton" << int(Qt::AlignLeft);
        QTest::newRow("centre from left") << int(Qt::AlignLeft) << "CenterButton" << int(Qt::AlignHCenter);
        QTest::newRow("right from centre") << int(Qt::AlignHCenter) << "RightButton" << int(Qt::AlignRight);
        QTest::newRow("centre again") << int(Qt::AlignHCenter) << "CenterButton" << int(Qt::AlignHCenter);
    }
    void alignmentButtons()
    {
        QFETCH(int, start);
        QFETCH(QString, button);
        QFETCH(int, alignment);
        ScriptedServices services;
        TTitleForm form;
        form.TextMemo->setPlainText(QStringLiteral("one\ntwo\nthree"));
        form.setBlock(blockOf(QStringLiteral("Title"), QString(), 12, Qt::Alignment(start), Red));
        form.FormActivate();
        QToolButton *const buttons[] = { form.LeftButton, form.CenterButton, form.RightButton };
        const int starts[] = { Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight };
        for (int i = 0; i < 3; ++i)
            QCOMPARE(buttons[i]->isChecked(), starts[i] == start);

        form.findChild<QToolButton *>(button)->click();
        for (QToolButton *b : buttons)
            QCOMPARE(b->isChecked(), b->objectName() == button);
        QCOMPARE(int(form.memoAlignment()), alignment);
        QCOMPARE(int(form.block().alignment), alignment);
        QCOMPARE(paragraphAlignments(form.TextMemo), QList<int>(3, alignment));

        form.TextMemo->moveCursor(QTextCursor::End);
        QTest::keyClick(form.TextMemo, Qt::Key_Return);
        QTest::keyClicks(form.TextMemo, QStringLiteral("four"));
        QCOMPARE(form.TextMemo->toPlainText(), QStringLiteral("Title\ntwo\nthree\nfour"));
        QCOMPARE(paragraphAlignments(form.TextMemo), QList<int>(4, alignment));
        QCOMPARE(int(form.block().alignment), alignment);
    }

    // A change of name or size applies the whole font, the colour dialog's
    // colour included; an empty name keeps the family.
    void changeAppliesFont_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        QTest::newRow("name") << "FontName"
                              << "Beta Serif"
                              << "Beta Serif" << 12;
        QTest::newRow("empty name") << "FontName"
                                    << ""
                                    << "Alpha Sans" << 12;
        QTest::newRow("size from the list") << "FontSize"
                                            << "24"
                                            << "Alpha Sans" << 24;
        QTest::newRow("size typed") << "FontSize"
                                    << "13"
                                    << "Alpha Sans" << 13;
    }
    void changeAppliesFont()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, family);
        QFETCH(int, size);
        ScriptedServices services;
        TTitleForm form;
        form.setBlock(blockOf(QStringLiteral("Title"), QStringLiteral("Alpha Sans"), 12, Qt::AlignLeft, Red));
        services.colorAnswers.push_back(Green);
        form.FormActivate();
        form.ColorButton->click();
        QCOMPARE(form.memoFontColor(), Green);
        form.FormActivate();
        QCOMPARE(form.memoFontColor(), windowText(form));

        form.findChild<QComboBox *>(box)->setCurrentText(text);
        const TextBlock result = form.block();
        QCOMPARE(result.fontName, family);
        QCOMPARE(result.size, size);
        QCOMPARE(result.color, Green);
        QVERIFY(services.messages.isEmpty());
    }

    // The colour dialog opens on the colour it holds (black until one is
    // chosen), and cancelling it applies that colour all the same.
    void cancelledColourDialog_data()
    {
        QTest::addColumn<bool>("chooseFirst");
        QTest::addColumn<QColor>("held");
        QTest::newRow("never chosen") << false << QColor(Qt::black);
        QTest::newRow("chosen before") << true << Blue;
    }
    void cancelledColourDialog()
    {
        QFETCH(bool, chooseFirst);
        QFETCH(QColor, held);
        ScriptedServices services;
        TTitleForm form;
        form.setBlock(blockOf(QStringLiteral("Title"), QString(), 12, Qt::AlignLeft, Red));
        if (chooseFirst) {
            services.colorAnswers.push_back(Blue);
            form.FormActivate();
            form.ColorButton->click();
        }
        form.FormActivate();
        QVERIFY(form.memoFontColor() != held);
        services.colorAnswers.push_back(std::nullopt);
        form.ColorButton->click();
        QCOMPARE(services.colorRequests.last(), held);
        QCOMPARE(form.ColorDialogColor, held);
        QCOMPARE(form.memoFontColor(), held);
        QVERIFY(services.messages.isEmpty());
    }

    // A size that is no integer fails with the conversion error, shown in an
    // error box when typed; the name is applied before the size fails.
    void badSize_data()
    {
        QTest::addColumn<QString>("size");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("fraction") << "12.5";
    }
    void badSize()
    {
        QFETCH(QString, size);
        const QString error = QStringLiteral("'%1' is not a valid integer value").arg(size);
        ScriptedServices services;
        TTitleForm form;
        form.setBlock(blockOf(QStringLiteral("Title"), QStringLiteral("Alpha Sans"), 12, Qt::AlignLeft, Red));
        form.FormActivate();
        form.ColorDialogColor = Blue;

        form.FontSize->setCurrentText(size);
        QCOMPARE(services.errors(), QStringList { error });
        QCOMPARE(form.TextMemo->font().pointSize(), 12);

        form.FontName->setCurrentText(QStringLiteral("Beta Serif"));
        QCOMPARE(services.errors(), QStringList({ error, error }));
        QCOMPARE(form.TextMemo->font().family(), QStringLiteral("Beta Serif"));
        QCOMPARE(form.TextMemo->font().pointSize(), 12);
        QCOMPARE(form.memoFontColor(), windowText(form));

        form.FontName->setCurrentText(QStringLiteral("Gamma Mono"));
        services.colorAnswers.push_back(Green);
        form.ColorButton->click();
        QCOMPARE(services.errors().size(), 4);
        QCOMPARE(form.ColorDialogColor, Green);
        try {
            form.ApplyFont();
            QFAIL("a bad size applied");
        } catch (const qvx::EngineError &e) {
            QCOMPARE(e.message(), error);
        }
        QCOMPARE(form.TextMemo->font().family(), QStringLiteral("Gamma Mono"));
    }

    // setBlock puts the text on the first line and keeps the lines below;
    // block() gives back what was set.
    void roundTrip_data()
    {
        QTest::addColumn<TextBlock>("block");
        TextBlock centred = blockOf(QStringLiteral("Quarterly stock"), QStringLiteral("Beta Serif"), 16,
                                    Qt::AlignHCenter, Red);
        centred.bold = true;
        QTest::newRow("centred bold") << centred;
        TextBlock right
            = blockOf(QStringLiteral("page footer"), QStringLiteral("Gamma Mono"), 9, Qt::AlignRight, Blue);
        right.italic = true;
        right.underline = true;
        right.strikeOut = true;
        QTest::newRow("right, italic, underlined, struck out") << right;
        QTest::newRow("left, empty text")
            << blockOf(QString(), QStringLiteral("Alpha Sans"), 12, Qt::AlignLeft, Green);
        QTest::newRow("no size") << blockOf(QStringLiteral("x"), QStringLiteral("Alpha Sans"), 0,
                                            Qt::AlignLeft, Green);
    }
    void roundTrip()
    {
        QFETCH(TextBlock, block);
        ScriptedServices services;
        TTitleForm form;
        form.TextMemo->setPlainText(QStringLiteral("old title\nsecond line\nthird line"));
        form.setBlock(block);
        QCOMPARE(form.TextMemo->toPlainText(), block.text + QStringLiteral("\nsecond line\nthird line"));
        const TextBlock result = form.block();
        QCOMPARE(result.text, block.text);
        QCOMPARE(result.fontName, block.fontName);
        QCOMPARE(result.size, block.size);
        QCOMPARE(result.bold, block.bold);
        QCOMPARE(result.italic, block.italic);
        QCOMPARE(result.underline, block.underline);
        QCOMPARE(result.strikeOut, block.strikeOut);
        QCOMPARE(result.color, block.color);
        QCOMPARE(result.alignment, block.alignment);
        QCOMPARE(form.memoFontColor(), block.color);
        QCOMPARE(form.memoAlignment(), block.alignment);
        QCOMPARE(paragraphAlignments(form.TextMemo), QList<int>(3, int(block.alignment)));
    }

    void execute_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("result");
        QTest::newRow("OK") << int(QDialog::Accepted) << true;
        QTest::newRow("Cancel") << int(QDialog::Rejected) << false;
    }
    void execute()
    {
        QFETCH(int, answer);
        QFETCH(bool, result);
        ScriptedServices services;
        services.screen = QSize(1600, 900);
        services.modalAnswers.push_back(answer);
        TTitleForm form;
        QPoint shownAt;
        bool cursorRestored = false;
        services.onModal = [&](QDialog &dialog) {
            shownAt = dialog.pos();
            cursorRestored = QApplication::overrideCursor() == nullptr;
        };
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QCOMPARE(form.Execute(), result);
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        QVERIFY(cursorRestored);
        QCOMPARE(services.modalDialogs, QList<QString> { QStringLiteral("TitleForm") });
        QCOMPARE(shownAt, QPoint((1600 - form.width()) / 2, (900 - form.height()) / 2));
        QCOMPARE(itemsOf(form.FontName), services.families);
    }

    // The dialog is kept for the run: its second use opens with what the
    // first left (further lines, font, style, alignment, the colour dialog's
    // colour), and Cancel undoes nothing.
    void carriesOverBetweenRuns()
    {
        ScriptedServices services;
        services.families = QStringList { "Alpha Sans", "Beta Serif" };
        TTitleForm form;
        form.TextMemo->setPlainText(QStringLiteral("first\nnote kept"));
        form.setBlock(blockOf(QStringLiteral("Title"), QStringLiteral("Alpha Sans"), 12, Qt::AlignLeft, Red));
        services.modalAnswers = { QDialog::Accepted, QDialog::Rejected };
        services.colorAnswers.push_back(Green);
        int runs = 0;
        QString sizeShown, nameShown;
        bool boldShown = false, rightShown = false;
        QColor colourShown;
        services.onModal = [&](QDialog &) {
            if (runs++ == 0) {
                form.FontName->setCurrentText(QStringLiteral("Beta Serif"));
                form.FontSize->setCurrentText(QStringLiteral("18"));
                form.ColorButton->click();
                form.RightButton->click();
                form.BoldButton->click();
                form.TextMemo->moveCursor(QTextCursor::End);
                form.TextMemo->insertPlainText(QStringLiteral(" too"));
                return;
            }
            sizeShown = form.FontSize->currentText();
            nameShown = form.FontName->currentText();
            boldShown = form.BoldButton->isChecked();
            rightShown = form.RightButton->isChecked();
            colourShown = form.memoFontColor();
            form.ItalicButton->click();
        };

        QVERIFY(form.Execute());
        TextBlock b = form.block();
        QCOMPARE(b.text, QStringLiteral("Title"));
        QCOMPARE(b.fontName, QStringLiteral("Beta Serif"));
        QCOMPARE(b.size, 18);
        QVERIFY(b.bold);
        QCOMPARE(b.color, Green);
        QCOMPARE(b.alignment, Qt::AlignRight);

        QVERIFY(!form.Execute());
        QCOMPARE(runs, 2);
        QCOMPARE(sizeShown, QStringLiteral("18"));
        QCOMPARE(nameShown, QStringLiteral("Beta Serif"));
        QVERIFY(boldShown);
        QVERIFY(rightShown);
        QCOMPARE(colourShown, windowText(form));
        QCOMPARE(form.ColorDialogColor, Green);
        QCOMPARE(form.TextMemo->toPlainText(), QStringLiteral("Title\nnote kept too"));
        b = form.block();
        QCOMPARE(b.size, 18);
        QVERIFY(b.bold);
        QVERIFY(b.italic);
        QCOMPARE(b.alignment, Qt::AlignRight);
        QVERIFY(services.messages.isEmpty());
    }
};

QTEST_MAIN(TitleDlgTest)
#include "tst_titledlg.moc"
