// The RTF reader and writer: what they keep of a document, what they make of
// awkward input, and whether files written here or by other programs read
// the same on the other side.
#include "ui/RtfText.h"

#include "engine/fuzz_replay.h"
#include "fuzz/fuzz_rtf.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QtTest>

#include <vector>

namespace {

using qvx::ui::readRichOrPlain;
using qvx::ui::readRtf;
using qvx::ui::writeRtf;

// What a run keeps, with the defaults spelt out so that an unset property
// and one set to its default compare equal.
struct RunView {
    QString text;
    QString family;
    double points = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    QString color;

    bool sameFormat(const RunView &o) const
    {
        return family == o.family && points == o.points && bold == o.bold && italic == o.italic
            && underline == o.underline && strike == o.strike && color == o.color;
    }
    bool operator==(const RunView &o) const { return text == o.text && sameFormat(o); }
};

QString describe(const RunView &r)
{
    return QStringLiteral("[%1|%2|%3|b%4 i%5 u%6 s%7|%8]")
        .arg(r.text, r.family)
        .arg(r.points)
        .arg(r.bold)
        .arg(r.italic)
        .arg(r.underline)
        .arg(r.strike)
        .arg(r.color);
}

std::vector<RunView> runsOf(const QTextBlock &block)
{
    std::vector<RunView> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        RunView r;
        r.text = it.fragment().text();
        const QStringList families = f.fontFamilies().toStringList();
        r.family = families.value(0);
        r.points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : 0;
        r.bold = f.fontWeight() >= QFont::DemiBold;
        r.italic = f.fontItalic();
        r.underline = f.fontUnderline();
        r.strike = f.fontStrikeOut();
        r.color = f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name() : QString();
        if (!runs.empty() && runs.back().sameFormat(r))
            runs.back().text += r.text;
        else
            runs.push_back(r);
    }
    return runs;
}

QString describe(const QTextBlock &block)
{
    const QTextBlockFormat f = block.blockFormat();
    QString out = QStringLiteral("align %1 fi %2 li %3 ri %4 list %5:")
                      .arg(int(f.alignment() & Qt::AlignHorizontal_Mask))
                      .arg(f.textIndent())
                      .arg(f.leftMargin())
                      .arg(f.rightMargin())
                      .arg(block.textList() ? int(block.textList()->format().style()) : 0);
    for (const RunView &r : runsOf(block))
        out += describe(r);
    return out;
}

// The document's text with its paragraphs on lines of their own.
QString textOf(const QTextDocument &doc)
{
    return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

QStringList describe(const QTextDocument &doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << describe(b);
    return out;
}

QTextCharFormat charFormat(void (*set)(QTextCharFormat &))
{
    QTextCharFormat f;
    set(f);
    return f;
}

// A document with every format the writer keeps, the one the round trip and
// the other programs are given.
void fillSample(QTextDocument &doc)
{
    QTextCursor c(&doc);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centred);
    c.insertText(QStringLiteral("Plain start "), QTextCharFormat());
    c.insertText(QStringLiteral("bold"),
                 charFormat([](QTextCharFormat &f) { f.setFontWeight(QFont::Bold); }));
    c.insertText(QStringLiteral(" and "), QTextCharFormat());
    c.insertText(QStringLiteral("italic"), charFormat([](QTextCharFormat &f) { f.setFontItalic(true); }));
    c.insertText(QStringLiteral(" then "), QTextCharFormat());
    c.insertText(QStringLiteral("under"), charFormat([](QTextCharFormat &f) { f.setFontUnderline(true); }));
    c.insertText(QStringLiteral(" "), QTextCharFormat());
    c.insertText(QStringLiteral("struck"), charFormat([](QTextCharFormat &f) { f.setFontStrikeOut(true); }));
    c.insertText(QStringLiteral(" "), QTextCharFormat());
    c.insertText(QStringLiteral("red"),
                 charFormat([](QTextCharFormat &f) { f.setForeground(QColor(200, 10, 20)); }));
    c.insertText(QStringLiteral(" "), QTextCharFormat());
    c.insertText(QStringLiteral("large"), charFormat([](QTextCharFormat &f) { f.setFontPointSize(18); }));
    c.insertText(QStringLiteral(" "), QTextCharFormat());
    c.insertText(QStringLiteral("serif"), charFormat([](QTextCharFormat &f) {
                     f.setFontFamilies(QStringList { QStringLiteral("DejaVu Serif") });
                     f.setFontWeight(QFont::Bold);
                     f.setFontItalic(true);
                     f.setForeground(QColor(0, 0, 255));
                 }));
    QTextBlockFormat indented;
    indented.setAlignment(Qt::AlignRight);
    indented.setTextIndent(18);
    indented.setLeftMargin(36);
    indented.setRightMargin(9);
    c.insertBlock(indented, QTextCharFormat());
    c.insertText(QStringLiteral("Caf\u00e9 \u20ac \u0416\u0443\u043a \u4f60\u597d\tcol\u2028next line"),
                 QTextCharFormat());
    QTextBlockFormat plain;
    c.insertBlock(plain, QTextCharFormat());
    c.insertText(QStringLiteral("first item"), QTextCharFormat());
    QTextList *list = c.createList(QTextListFormat::ListDisc);
    c.insertBlock();
    c.insertText(QStringLiteral("second item"), QTextCharFormat());
    QVERIFY(c.block().textList() == list);
    c.insertBlock(plain, QTextCharFormat());
    list->remove(c.block());
    QTextBlockFormat justified;
    justified.setAlignment(Qt::AlignJustify);
    c.setBlockFormat(justified);
    c.insertText(QStringLiteral("After {the} list \\ done"), QTextCharFormat());
    c.insertBlock(plain, QTextCharFormat());
}

// Runs a tool with a time limit; skips the test when the tool is missing.
QByteArray runTool(const QString &program, const QStringList &args, const QString &workDir = {})
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return {};
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(path, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        qWarning("%s timed out", qPrintable(program));
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

#define REQUIRE_TOOL(program)                                                                                \
    do {                                                                                                     \
        if (QStandardPaths::findExecutable(QStringLiteral(program)).isEmpty())                               \
            QSKIP(program " is not installed (Debian package named in scripts/setup.sh)");                   \
    } while (false)

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Words of the sample that every reader must give back, in order.
const QStringList sampleWords {
    QStringLiteral("Plain start bold and italic then under struck red large serif"),
    QStringLiteral("Caf\u00e9 \u20ac \u0416\u0443\u043a \u4f60\u597d"), QStringLiteral("first item"),
    QStringLiteral("second item"), QStringLiteral("After {the} list \\ done")
};

QString collapse(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

void expectWordsInOrder(const QString &text)
{
    const QString flat = collapse(text);
    qsizetype from = 0;
    for (const QString &words : sampleWords) {
        const qsizetype at = flat.indexOf(words, from);
        QVERIFY2(at >= 0,
                 qPrintable(QStringLiteral("\"%1\" missing after %2 in: %3").arg(words).arg(from).arg(flat)));
        from = at + words.size();
    }
}

// LibreOffice with a profile of its own, so that a running instance or a
// first-start dialog of the user's never gets in the way.
QByteArray soffice(const QTemporaryDir &dir, const QString &to, const QString &input)
{
    return runTool(
        QStringLiteral("soffice"),
        { QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
          QStringLiteral("--headless"), QStringLiteral("--convert-to"), to, QStringLiteral("--outdir"),
          dir.filePath(QStringLiteral("out")), input });
}

// A page with what other programs must hand over: bold, italic, a centred
// paragraph, an indented one and a bullet list.
const QByteArray sampleHtml = "<html><body>"
                              "<p>Normal <b>strong words</b> and <i>slanted words</i> here</p>"
                              "<p style=\"text-align:center\">Centred line</p>"
                              "<blockquote><p>Indented line</p></blockquote>"
                              "<ul><li>apple</li><li>pear</li></ul>"
                              "<p>Closing line</p></body></html>";

// What a document read from sampleHtml must hold, whoever wrote the RTF.
void expectSampleHtml(const QTextDocument &doc, bool alignmentKept)
{
    const QString text = doc.toPlainText();
    for (const char *words : { "Normal strong words and slanted words here", "Centred line", "Indented line",
                               "apple", "pear", "Closing line" })
        QVERIFY2(text.contains(QLatin1String(words)),
                 qPrintable(words + QStringLiteral(" missing: ") + text));
    bool bold = false, italic = false;
    QTextBlock centred, indented, apple, pear, closing;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (const RunView &r : runsOf(b)) {
            bold = bold || (r.bold && r.text.contains(QLatin1String("strong words")) && !r.italic);
            italic = italic || (r.italic && r.text.contains(QLatin1String("slanted words")) && !r.bold);
            QVERIFY2(!(r.bold && r.text.contains(QLatin1String("Normal"))), qPrintable(describe(b)));
        }
        const QString t = b.text().trimmed();
        if (t == QLatin1String("Centred line"))
            centred = b;
        else if (t == QLatin1String("Indented line"))
            indented = b;
        else if (t == QLatin1String("apple"))
            apple = b;
        else if (t == QLatin1String("pear"))
            pear = b;
        else if (t == QLatin1String("Closing line"))
            closing = b;
    }
    QVERIFY(bold);
    QVERIFY(italic);
    QVERIFY2(centred.isValid() && indented.isValid() && apple.isValid() && pear.isValid()
                 && closing.isValid(),
             qPrintable(describe(doc).join(u'\n')));
    if (alignmentKept)
        QVERIFY2(centred.blockFormat().alignment() & Qt::AlignHCenter, qPrintable(describe(centred)));
    QVERIFY2(!(indented.blockFormat().alignment() & Qt::AlignHCenter), qPrintable(describe(indented)));
    QVERIFY2(indented.blockFormat().leftMargin() >= 18 && indented.blockFormat().leftMargin() <= 72,
             qPrintable(describe(indented)));
    QVERIFY2(closing.blockFormat().leftMargin() == 0, qPrintable(describe(closing)));
    QVERIFY2(apple.textList() && apple.textList() == pear.textList(), qPrintable(describe(apple)));
    QCOMPARE(apple.textList()->format().style(), QTextListFormat::ListDisc);
    QVERIFY2(!closing.textList(), qPrintable(describe(closing)));
}

} // namespace

class RtfTextTest : public QObject {
    Q_OBJECT

private slots:
    void fuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_rtf"); }
    void fuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::rtfInput); }

    void readsText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("groups and paragraphs")
            << QByteArray("{\\rtf1 {a {b} c}\\par d\\par}") << QStringLiteral("a b c\nd");
        QTest::newRow("\\uc skips its fallback")
            << QByteArray("{\\rtf1 x\\u233?y\\uc2\\u20320\\'c4\\'e3z{\\uc0\\u8364}\\u-3913?\\par}")
            << QStringLiteral("x\u00e9y\u4f60z\u20ac\uf0b7");
        QTest::newRow("\\uc is undone by the group")
            << QByteArray("{\\rtf1 {\\uc3 a}\\u233?b\\par}") << QStringLiteral("a\u00e9b");
        QTest::newRow("default code page")
            << QByteArray("{\\rtf1\\ansi \\'e9\\'80\\'93\\par}") << QStringLiteral("\u00e9\u20ac\u201c");
        QTest::newRow("\\ansicpg1251")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'c6\\'e8\\par}") << QStringLiteral("\u0416\u0438");
        QTest::newRow("code page of the font") << QByteArray(
            "{\\rtf1{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset204 B;}{\\f2\\fcharset161 C;}"
            "{\\f3\\fcharset128 D;}{\\f4\\fcharset238 E;}}\\f0\\'e9\\f1\\'e9\\f2\\'e9\\f3\\'82\\'a0"
            "\\f4\\'e8\\par}") << QStringLiteral("\u00e9\u0439\u03b9\u3042\u010d");
        QTest::newRow("escapes") << QByteArray("{\\rtf1 \\\\ \\{ \\} a\\~b\\-c\\_d\\tab e\\line f\\par}")
                                 << QStringLiteral("\\ { } a\u00a0b\u00adc\u2011d\te\u2028f");
        QTest::newRow("destinations left out")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0 Serif;}}{\\colortbl;\\red1\\green2\\blue3;}"
                          "{\\stylesheet{\\s1 Heading;}}{\\info{\\author x}}{\\header head}{\\footer foot}"
                          "{\\*\\unknown hidden}{\r\n\\*\\mystery b}keep\\par}")
            << QStringLiteral("keep");
        QTest::newRow("pictures and binary data left out")
            << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e47}b{\\object{\\*\\objdata 0102}}c"
                          "{\\*\\x\\bin4 }{\\}}d\\par}")
            << QStringLiteral("abcd");
        QTest::newRow("\\bin past the end")
            << QByteArray("{\\rtf1 a{\\*\\x\\bin99999999 bc") << QStringLiteral("a");
        QTest::newRow("table rows") << QByteArray(
            "{\\rtf1\\trowd\\cellx9\\cellx19\\intbl a\\cell b\\cell\\row"
            "\\trowd\\intbl c\\cell d\\cell\\row\\pard e\\par}")
                                    << QStringLiteral("a\tb\nc\td\ne");
        QTest::newRow("field result kept, instruction not")
            << QByteArray("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt here}}\\par}")
            << QStringLiteral("see here");
        QTest::newRow("unterminated group")
            << QByteArray("{\\rtf1 {\\b open {\\i deeper\\par more") << QStringLiteral("open deeper\nmore");
        QTest::newRow("nothing after the last brace")
            << QByteArray("{\\rtf1 a}}} b\\par}") << QStringLiteral("a");
        QTest::newRow("unknown words")
            << QByteArray("{\\rtf1\\zork12 a\\blah-3 b\\par}") << QStringLiteral("ab");
        QTest::newRow("deep nesting")
            << (QByteArray("{\\rtf1 ") + QByteArray(5000, '{') + "x" + QByteArray(5000, '}') + "\\par}")
            << QStringLiteral("x");
    }
    void readsText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        readRtf(rtf, doc);
        QCOMPARE(textOf(doc), text);
    }

    void readsFormats()
    {
        QTextDocument doc;
        readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Sans;}{\\f1\\froman Serif Face;}}"
                "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                "\\pard\\qc plain {\\b bold {\\i both}} {\\f1\\fs36 big}\\par"
                "\\pard\\qr\\fi-180\\li720\\ri360 {\\cf1\\ul red}{\\cf2\\strike blue}\\ul under\\ulnone\\b "
                "x\\plain y"
                "\\par\\pard\\qj last\\par}",
                doc);
        const QStringList got = describe(doc);
        const QStringList expected {
            QStringLiteral("align 4 fi 0 li 0 ri 0 list 0:[plain ||0|b0 i0 u0 s0|][bold ||0|b1 i0 u0 s0|]"
                           "[both||0|b1 i1 u0 s0|][ ||0|b0 i0 u0 s0|][big|Serif Face|18|b0 i0 u0 s0|]"),
            QStringLiteral("align 2 fi -9 li 36 ri 18 list 0:[red||0|b0 i0 u1 s0|#ff0000]"
                           "[blue||0|b0 i0 u0 s1|#0000ff][under||0|b0 i0 u1 s0|][x||0|b1 i0 u0 s0|]"
                           "[y||0|b0 i0 u0 s0|]"),
            QStringLiteral("align 8 fi 0 li 0 ri 0 list 0:[last||0|b0 i0 u0 s0|]"),
        };
        QCOMPARE(got, expected);
    }

    void readsBullets()
    {
        QFile f(QStringLiteral(QVX_FIXTURES "/fuzz/fuzz_rtf/bullets.rtf"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTextDocument doc;
        readRtf(f.readAll(), doc);
        QCOMPARE(textOf(doc), QStringLiteral("first\nsecond\n1.\tnumbered\nby hand\nafter"));
        const QTextBlock first = doc.begin();
        const QTextBlock second = first.next();
        const QTextBlock numbered = second.next();
        const QTextBlock byHand = numbered.next();
        QVERIFY(first.textList());
        QCOMPARE(first.textList()->format().style(), QTextListFormat::ListDisc);
        QCOMPARE(second.textList(), first.textList());
        QVERIFY(!numbered.textList());
        QVERIFY(byHand.textList());
        QVERIFY(!byHand.next().textList());
        QCOMPARE(first.blockFormat().leftMargin(), 0.0);
    }

    void roundTrip()
    {
        QTextDocument doc;
        fillSample(doc);
        const QByteArray rtf = writeRtf(doc);
        for (const char c : rtf)
            QVERIFY2(uchar(c) < 0x80, rtf.constData());
        QVERIFY(qvx::ui::looksLikeRtf(rtf));
        QTextDocument back;
        back.setPlainText(QStringLiteral("replaced"));
        readRtf(rtf, back);
        QCOMPARE(describe(back), describe(doc));
        QVERIFY(!back.isUndoAvailable());
        QCOMPARE(back.begin().next().next().textList()->format().style(), QTextListFormat::ListDisc);
        // Characters of the header's code page are written as one byte each.
        QVERIFY2(rtf.contains("Caf\\'e9 \\'80"), rtf.constData());
        QVERIFY2(rtf.contains("\\u1046\\'3f"), rtf.constData());
        QVERIFY2(rtf.contains("col\\line next"), rtf.constData());
    }

    void readRichOrPlain_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac\r\nnext")
                               << QStringLiteral("caf\u00e9 \u20ac\nnext") << false;
        QTest::newRow("utf-8 with a mark")
            << QByteArray("\xef\xbb\xbfplain") << QStringLiteral("plain") << false;
        QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80 \x93q\x94")
                                      << QStringLiteral("caf\u00e9 \u20ac \u201cq\u201d") << false;
        QTest::newRow("rtf") << QByteArray("\r\n {\\rtf1 {\\b strong}\\par}") << QStringLiteral("strong")
                             << true;
        QTest::newRow("braces only look like rtf")
            << QByteArray("{\\rtx1 {\\b x}}") << QStringLiteral("{\\rtx1 {\\b x}}") << false;
    }
    void readRichOrPlain()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, bold);
        QTextDocument doc;
        ::readRichOrPlain(bytes, doc);
        QCOMPARE(textOf(doc), text);
        QCOMPARE(runsOf(doc.begin()).front().bold, bold);
    }

    // --- other programs reading ours -----------------------------------

    void pandocReadsOurs()
    {
        REQUIRE_TOOL("pandoc");
        QTemporaryDir dir;
        QTextDocument doc;
        fillSample(doc);
        const QString path = dir.filePath(QStringLiteral("ours.rtf"));
        QVERIFY(writeFile(path, writeRtf(doc)));
        const QString html
            = QString::fromUtf8(runTool(QStringLiteral("pandoc"),
                                        { QStringLiteral("-f"), QStringLiteral("rtf"), QStringLiteral("-t"),
                                          QStringLiteral("html"), path }));
        QVERIFY2(html.contains(QLatin1String("<strong>bold</strong>")), qPrintable(html));
        QVERIFY2(html.contains(QLatin1String("<em>italic</em>")), qPrintable(html));
        QVERIFY2(
            html.contains(QRegularExpression(QStringLiteral("<ul>\\s*<li>\\s*(<p>)?first item(</p>)?\\s*</li>"
                                                            "\\s*<li>\\s*(<p>)?second item"))),
            qPrintable(html));
        expectWordsInOrder(QString(html)
                               .remove(QRegularExpression(QStringLiteral("<[^>]*>")))
                               .replace(QLatin1String("&amp;"), QLatin1String("&")));
    }

    void libreOfficeReadsOurText()
    {
        REQUIRE_TOOL("soffice");
        QTemporaryDir dir;
        QTextDocument doc;
        fillSample(doc);
        const QString path = dir.filePath(QStringLiteral("ours.rtf"));
        QVERIFY(writeFile(path, writeRtf(doc)));
        soffice(dir, QStringLiteral("txt:Text (encoded):UTF8"), path);
        const QString text = QString::fromUtf8(readFile(dir.filePath(QStringLiteral("out/ours.txt"))));
        QVERIFY2(!text.isEmpty(), "LibreOffice wrote no text");
        expectWordsInOrder(text);
    }

    void libreOfficeReadsOurStyles()
    {
        REQUIRE_TOOL("soffice");
        QTemporaryDir dir;
        QTextDocument doc;
        fillSample(doc);
        const QString path = dir.filePath(QStringLiteral("ours.rtf"));
        QVERIFY(writeFile(path, writeRtf(doc)));
        soffice(dir, QStringLiteral("html"), path);
        const QString html
            = collapse(QString::fromUtf8(readFile(dir.filePath(QStringLiteral("out/ours.html")))));
        QVERIFY2(!html.isEmpty(), "LibreOffice wrote no page");
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<b>\\s*bold\\s*</b>"))), qPrintable(html));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<i>\\s*italic\\s*</i>"))),
                 qPrintable(html));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("align=\"?center"))), qPrintable(html));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("align=\"?right"))), qPrintable(html));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<ul>.*first item.*second item.*</ul>"))),
                 qPrintable(html));
    }

    void unrtfReadsOurs()
    {
        REQUIRE_TOOL("unrtf");
        QTemporaryDir dir;
        QTextDocument doc;
        fillSample(doc);
        const QString path = dir.filePath(QStringLiteral("ours.rtf"));
        QVERIFY(writeFile(path, writeRtf(doc)));
        const QString html
            = QString::fromUtf8(runTool(QStringLiteral("unrtf"), { QStringLiteral("--html"), path }));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<b>\\s*bold\\s*</b>"))), qPrintable(html));
        QVERIFY2(html.contains(QRegularExpression(QStringLiteral("<i>\\s*italic\\s*</i>"))),
                 qPrintable(html));
        QTextDocument decoded;
        decoded.setHtml(html);
        expectWordsInOrder(decoded.toPlainText());
    }

    // --- ours reading other programs' -----------------------------------

    void readsLibreOffice()
    {
        REQUIRE_TOOL("soffice");
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("sample.html"));
        QVERIFY(writeFile(page, sampleHtml));
        soffice(dir, QStringLiteral("rtf:Rich Text Format"), page);
        const QByteArray rtf = readFile(dir.filePath(QStringLiteral("out/sample.rtf")));
        QVERIFY2(qvx::ui::looksLikeRtf(rtf), "LibreOffice wrote no RTF");
        QTextDocument doc;
        readRtf(rtf, doc);
        expectSampleHtml(doc, true);
    }

    void readsPandoc()
    {
        REQUIRE_TOOL("pandoc");
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("sample.html"));
        QVERIFY(writeFile(page, sampleHtml));
        const QByteArray rtf = runTool(QStringLiteral("pandoc"),
                                       { QStringLiteral("-f"), QStringLiteral("html"), QStringLiteral("-t"),
                                         QStringLiteral("rtf"), QStringLiteral("-s"), page });
        QVERIFY2(qvx::ui::looksLikeRtf(rtf), rtf.constData());
        QTextDocument doc;
        readRtf(rtf, doc);
        // Pandoc's own model of a document has no paragraph alignment.
        expectSampleHtml(doc, false);
    }
};

QTEST_MAIN(RtfTextTest)
#include "tst_rtftext.moc"
