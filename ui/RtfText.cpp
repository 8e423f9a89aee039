// RTF reading and writing over QTextDocument. The reader gathers paragraphs
// and runs first and builds the document at the end, so that a malformed
// file never leaves the document half-edited.
#include "ui/RtfText.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

namespace qvx::ui {

namespace {

// Deeper nesting than this is no real document; the groups beyond it
// share the state of the deepest one rather than growing the stack.
constexpr int maxDepth = 1000;
// A number parameter longer than this is cut, so that \fs99999999999
// cannot overflow.
constexpr int maxDigits = 10;
// A list item's left indent in twips beyond the block's own margin: the
// room for the bullet and its tab.
constexpr int listIndentTwips = 720;
constexpr int listHangTwips = -360;
// Indents beyond a few metres are nonsense; clamped, they cannot overflow the
// sums made of them.
constexpr int maxTwips = 1000000;
int twips(int value)
{
    return std::clamp(value, -maxTwips, maxTwips);
}

QString codecForCharset(int charset)
{
    switch (charset) {
    case 0:
        return QStringLiteral("windows-1252");
    case 77:
        return QStringLiteral("macintosh");
    case 128:
        return QStringLiteral("Shift_JIS");
    case 129:
        return QStringLiteral("EUC-KR");
    case 134:
        return QStringLiteral("GBK");
    case 136:
        return QStringLiteral("Big5");
    case 161:
        return QStringLiteral("windows-1253");
    case 162:
        return QStringLiteral("windows-1254");
    case 163:
        return QStringLiteral("windows-1258");
    case 177:
        return QStringLiteral("windows-1255");
    case 178:
        return QStringLiteral("windows-1256");
    case 186:
        return QStringLiteral("windows-1257");
    case 204:
        return QStringLiteral("windows-1251");
    case 222:
        return QStringLiteral("windows-874");
    case 238:
        return QStringLiteral("windows-1250");
    default:
        return {}; // symbol and OEM sets: the document's own code page
    }
}

QString codecForCodePage(int page)
{
    switch (page) {
    case 932:
        return QStringLiteral("Shift_JIS");
    case 936:
        return QStringLiteral("GBK");
    case 949:
        return QStringLiteral("EUC-KR");
    case 950:
        return QStringLiteral("Big5");
    case 10000:
        return QStringLiteral("macintosh");
    case 65001:
        return QStringLiteral("UTF-8");
    default:
        if (page >= 874 && page <= 1258)
            return QStringLiteral("windows-%1").arg(page);
        return QStringLiteral("windows-1252");
    }
}

// Characters a document cannot hold as text: they would split blocks or
// stand for frames and objects, and would not read back the same.
bool keepable(char16_t c)
{
    if (c < 0x20)
        return c == u'\t';
    return c != 0x2029 && c != 0xFFFC && c != 0xFDD0 && c != 0xFDD1 && c != 0xFEFF && c != 0x7F;
}

struct Run {
    QString text;
    QTextCharFormat format;
};

struct Paragraph {
    QTextBlockFormat format;
    bool bullet = false;
    bool numbered = false; // its list marker was a number, kept as text
    bool bulletWord = false; // opened with \bullet
    std::vector<Run> runs;
};

enum class Dest {
    Text,
    Skip,
    FontTable,
    ColorTable,
    ListText, // \pntext, \listtext: the marker of a list item
    Pn, // old-style list properties
};

struct State {
    Dest dest = Dest::Text;
    int font = -1;
    int halfPoints = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0;
    int unicodeSkip = 1;
    // Paragraph properties live in the group state too: files set them
    // inside groups and expect them back when the group closes.
    Qt::Alignment align = Qt::AlignLeft;
    int firstIndent = 0;
    int leftIndent = 0;
    int rightIndent = 0;
    int listId = 0;
    bool pnBullet = false;
};

struct Font {
    QString name;
    QString codec;
};

class Reader {
public:
    explicit Reader(const QByteArray &bytes) : in(bytes) { }

    std::vector<Paragraph> read()
    {
        stack.reserve(64);
        stack.push_back(State {});
        const qsizetype n = in.size();
        while (pos < n) {
            const char c = in[pos];
            if (c == '{') {
                ++pos;
                flushBytes();
                skipLeft = 0;
                if (int(stack.size()) < maxDepth)
                    stack.push_back(stack.back());
                else
                    ++overflow;
                groupStart = true;
                continue;
            }
            if (c == '}') {
                ++pos;
                flushBytes();
                skipLeft = 0;
                closeGroup();
                continue;
            }
            if (c == '\\') {
                controlWord();
                continue;
            }
            ++pos;
            // Line ends are no text, and leave "{\n\*" a starred group.
            if (c == '\r' || c == '\n')
                continue;
            groupStart = false;
            // Nothing outside the file's outermost group is text.
            if (stack.size() <= 1)
                continue;
            if (skipLeft > 0) {
                --skipLeft;
                continue;
            }
            if (c == '\t') {
                flushBytes();
                addChar(u'\t');
                continue;
            }
            if (uchar(c) < 0x20)
                continue;
            textByte(c);
        }
        flushBytes();
        finishListText();
        // A file ends its last paragraph with \par; what follows it is a
        // paragraph only when it holds something.
        if (current.runs.empty())
            current.bullet = false;
        else
            endParagraph();
        return std::move(paragraphs);
    }

private:
    State &st() { return stack.back(); }

    void closeGroup()
    {
        if (overflow > 0) {
            --overflow;
            return;
        }
        if (stack.size() <= 1)
            return; // a stray closing brace: the rest is still text
        const Dest leaving = st().dest;
        stack.pop_back();
        if (leaving == Dest::ListText && st().dest != Dest::ListText)
            finishListText();
        if (leaving == Dest::FontTable && st().dest != Dest::FontTable)
            endFontName();
    }

    QString word()
    {
        const qsizetype start = pos;
        while (pos < in.size() && ((in[pos] >= 'a' && in[pos] <= 'z') || (in[pos] >= 'A' && in[pos] <= 'Z')))
            ++pos;
        return QString::fromLatin1(in.constData() + start, pos - start);
    }

    void controlWord()
    {
        ++pos; // the backslash
        if (pos >= in.size())
            return;
        const char c = in[pos];
        const bool wasGroupStart = groupStart;
        groupStart = false;
        if (!std::isalpha(uchar(c))) {
            ++pos;
            controlSymbol(c, wasGroupStart);
            return;
        }
        const QString name = word();
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (pos < in.size() && in[pos] == '-' && pos + 1 < in.size() && std::isdigit(uchar(in[pos + 1]))) {
            negative = true;
            ++pos;
        }
        int digits = 0;
        while (pos < in.size() && std::isdigit(uchar(in[pos]))) {
            if (digits++ < maxDigits)
                param = param * 10 + (in[pos] - '0');
            hasParam = true;
            ++pos;
        }
        if (negative)
            param = -param;
        if (pos < in.size() && in[pos] == ' ')
            ++pos; // the delimiter belongs to the word
        const int value = int(std::clamp<long long>(param, -2147483647LL, 2147483647LL));
        if (name == QLatin1String("bin")) {
            // Raw data: skipped whatever destination holds it.
            flushBytes();
            if (hasParam && value > 0)
                pos += std::min<qsizetype>(value, in.size() - pos);
            return;
        }
        if (name == QLatin1String("u") && hasParam) {
            flushBytes();
            if (skipLeft > 0) {
                --skipLeft;
                return;
            }
            const char16_t unit = char16_t(value < 0 ? value + 65536 : value);
            addChar(unit);
            skipLeft = std::max(0, st().unicodeSkip);
            return;
        }
        if (skipLeft > 0) {
            --skipLeft;
            return;
        }
        flushBytes();
        command(name, hasParam, value);
    }

    void controlSymbol(char c, bool wasGroupStart)
    {
        if (c == '\'') {
            const int hi = pos < in.size() ? hexDigit(in[pos]) : -1;
            const int lo = pos + 1 < in.size() ? hexDigit(in[pos + 1]) : -1;
            if (hi < 0 || lo < 0)
                return;
            pos += 2;
            if (skipLeft > 0) {
                --skipLeft;
                return;
            }
            textByte(char(hi * 16 + lo));
            return;
        }
        if (skipLeft > 0) {
            --skipLeft;
            return;
        }
        flushBytes();
        switch (c) {
        case '\\':
        case '{':
        case '}':
            addChar(char16_t(c));
            break;
        case '~':
            addChar(u'\u00a0');
            break;
        case '-':
            addChar(u'\u00ad');
            break;
        case '_':
            addChar(u'\u2011');
            break;
        case '*':
            if (wasGroupStart)
                st().dest = Dest::Skip;
            break;
        case '\r':
        case '\n':
            paragraphEnd();
            break;
        case '\t':
            addChar(u'\t');
            break;
        default:
            break;
        }
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void command(const QString &w, bool hasParam, int value)
    {
        State &s = st();
        const bool on = !hasParam || value != 0;
        static const QStringList skipped {
            QStringLiteral("pict"),         QStringLiteral("object"),
            QStringLiteral("header"),       QStringLiteral("headerl"),
            QStringLiteral("headerr"),      QStringLiteral("headerf"),
            QStringLiteral("footer"),       QStringLiteral("footerl"),
            QStringLiteral("footerr"),      QStringLiteral("footerf"),
            QStringLiteral("info"),         QStringLiteral("stylesheet"),
            QStringLiteral("listtable"),    QStringLiteral("listoverridetable"),
            QStringLiteral("footnote"),     QStringLiteral("fldinst"),
            QStringLiteral("themedata"),    QStringLiteral("colorschememapping"),
            QStringLiteral("latentstyles"), QStringLiteral("datastore"),
            QStringLiteral("xmlnstbl"),     QStringLiteral("rsidtbl"),
            QStringLiteral("generator"),    QStringLiteral("revtbl"),
            QStringLiteral("filetbl"),      QStringLiteral("shppict"),
            QStringLiteral("nonshppict"),   QStringLiteral("pgdsctbl"),
            QStringLiteral("annotation"),   QStringLiteral("atnid"),
            QStringLiteral("atnauthor"),    QStringLiteral("bkmkstart"),
            QStringLiteral("bkmkend"),      QStringLiteral("userprops"),
            QStringLiteral("mmathPr"),
        };
        if (skipped.contains(w)) {
            s.dest = Dest::Skip;
            return;
        }
        if (s.dest == Dest::Skip)
            return;
        if (w == QLatin1String("fonttbl")) {
            s.dest = Dest::FontTable;
        } else if (w == QLatin1String("colortbl")) {
            s.dest = Dest::ColorTable;
            colorPart = QColor(0, 0, 0);
            colorSeen = false;
        } else if (w == QLatin1String("pntext") || w == QLatin1String("listtext")) {
            s.dest = Dest::ListText;
            listText.clear();
            listTextSeen = true;
        } else if (w == QLatin1String("pn")) {
            s.dest = Dest::Pn;
        } else if (w == QLatin1String("pnlvlblt")) {
            s.pnBullet = true;
            current.bullet = true;
        } else if (w == QLatin1String("ansicpg") && hasParam) {
            docCodec = codecForCodePage(value);
        } else if (w == QLatin1String("mac")) {
            docCodec = QStringLiteral("macintosh");
        } else if (w == QLatin1String("deff") && hasParam) {
            defaultFont = value;
        } else if (s.dest == Dest::FontTable) {
            if (w == QLatin1String("f") && hasParam) {
                endFontName();
                defining = value;
                fonts[value] = Font {};
            } else if (w == QLatin1String("fcharset") && hasParam && defining >= 0) {
                fonts[defining].codec = codecForCharset(value);
            } else if (w == QLatin1String("cpg") && hasParam && defining >= 0) {
                fonts[defining].codec = codecForCodePage(value);
            }
        } else if (s.dest == Dest::ColorTable) {
            if (w == QLatin1String("red"))
                colorPart.setRed(std::clamp(value, 0, 255)), colorSeen = true;
            else if (w == QLatin1String("green"))
                colorPart.setGreen(std::clamp(value, 0, 255)), colorSeen = true;
            else if (w == QLatin1String("blue"))
                colorPart.setBlue(std::clamp(value, 0, 255)), colorSeen = true;
        } else if (w == QLatin1String("f") && hasParam) {
            s.font = value;
        } else if (w == QLatin1String("fs") && hasParam) {
            s.halfPoints = std::clamp(value, 0, 3276);
        } else if (w == QLatin1String("b")) {
            s.bold = on;
        } else if (w == QLatin1String("i")) {
            s.italic = on;
        } else if (w == QLatin1String("ul") || w == QLatin1String("uld") || w == QLatin1String("uldb")
                   || w == QLatin1String("ulw") || w == QLatin1String("uldash")
                   || w == QLatin1String("ulwave") || w == QLatin1String("ulth")) {
            s.underline = on;
        } else if (w == QLatin1String("ulnone")) {
            s.underline = false;
        } else if (w == QLatin1String("strike") || w == QLatin1String("striked")) {
            s.strike = on;
        } else if (w == QLatin1String("cf") && hasParam) {
            s.color = value;
        } else if (w == QLatin1String("uc") && hasParam) {
            s.unicodeSkip = std::clamp(value, 0, 10);
        } else if (w == QLatin1String("plain")) {
            s.font = -1;
            s.halfPoints = 0;
            s.bold = s.italic = s.underline = s.strike = false;
            s.color = 0;
        } else if (w == QLatin1String("pard")) {
            s.align = Qt::AlignLeft;
            s.firstIndent = s.leftIndent = s.rightIndent = 0;
            s.listId = 0;
            s.pnBullet = false;
            if (s.dest == Dest::Text && current.runs.empty() && !listTextSeen)
                current.bullet = false;
        } else if (w == QLatin1String("ql")) {
            s.align = Qt::AlignLeft;
        } else if (w == QLatin1String("qc")) {
            s.align = Qt::AlignHCenter;
        } else if (w == QLatin1String("qr")) {
            s.align = Qt::AlignRight;
        } else if (w == QLatin1String("qj") || w == QLatin1String("qd")) {
            s.align = Qt::AlignJustify;
        } else if (w == QLatin1String("fi") && hasParam) {
            s.firstIndent = twips(value);
        } else if (w == QLatin1String("li") && hasParam) {
            s.leftIndent = twips(value);
        } else if (w == QLatin1String("ri") && hasParam) {
            s.rightIndent = twips(value);
        } else if (w == QLatin1String("ls") && hasParam) {
            s.listId = value;
        } else if (w == QLatin1String("par") || w == QLatin1String("sect")) {
            paragraphEnd();
        } else if (w == QLatin1String("row")) {
            if (s.dest == Dest::Text && lastWasCell && !current.runs.empty()
                && current.runs.back().text.endsWith(u'\t'))
                current.runs.back().text.chop(1);
            paragraphEnd();
        } else if (w == QLatin1String("cell")) {
            addChar(u'\t');
            lastWasCell = true;
            return;
        } else if (w == QLatin1String("line")) {
            addChar(u'\u2028');
        } else if (w == QLatin1String("tab")) {
            // A paragraph that opens with \bullet\tab is a list item
            // written by hand.
            if (s.dest == Dest::Text && current.bulletWord && current.runs.size() == 1
                && current.runs[0].text == QStringLiteral("\u2022")) {
                current.runs.clear();
                current.bullet = true;
            } else {
                addChar(u'\t');
            }
        } else if (w == QLatin1String("bullet")) {
            if (s.dest == Dest::Text && current.runs.empty())
                current.bulletWord = true;
            addChar(u'\u2022');
        } else if (w == QLatin1String("emdash")) {
            addChar(u'\u2014');
        } else if (w == QLatin1String("endash")) {
            addChar(u'\u2013');
        } else if (w == QLatin1String("lquote")) {
            addChar(u'\u2018');
        } else if (w == QLatin1String("rquote")) {
            addChar(u'\u2019');
        } else if (w == QLatin1String("ldblquote")) {
            addChar(u'\u201c');
        } else if (w == QLatin1String("rdblquote")) {
            addChar(u'\u201d');
        } else if (w == QLatin1String("emspace")) {
            addChar(u'\u2003');
        } else if (w == QLatin1String("enspace")) {
            addChar(u'\u2002');
        }
        lastWasCell = false;
    }

    void endFontName()
    {
        if (defining >= 0) {
            QString name = fontName.trimmed();
            if (name.endsWith(u';'))
                name.chop(1);
            fonts[defining].name = name.trimmed();
        }
        fontName.clear();
        defining = -1;
    }

    QString codecNow() const
    {
        const int f = stack.back().font >= 0 ? stack.back().font : defaultFont;
        const auto it = fonts.find(f);
        if (it != fonts.end() && !it->second.codec.isEmpty())
            return it->second.codec;
        return docCodec;
    }

    void textByte(char c)
    {
        const QString codec = codecNow();
        if (codec != pendingCodec)
            flushBytes();
        pendingCodec = codec;
        pending.append(c);
    }

    void flushBytes()
    {
        if (pending.isEmpty())
            return;
        QString text;
        auto it = decoders.find(pendingCodec);
        if (it == decoders.end())
            it = decoders
                     .emplace(pendingCodec,
                              std::make_unique<QStringDecoder>(qPrintable(pendingCodec),
                                                               QStringDecoder::Flag::Stateless))
                     .first;
        if (it->second->isValid())
            text = it->second->decode(pending);
        else
            text = QString::fromLatin1(pending);
        pending.clear();
        for (const QChar ch : std::as_const(text))
            addChar(ch.unicode());
    }

    void addChar(char16_t c)
    {
        State &s = st();
        lastWasCell = false;
        switch (s.dest) {
        case Dest::Skip:
        case Dest::Pn:
            return;
        case Dest::FontTable:
            if (defining < 0)
                return;
            if (c == u';')
                endFontName();
            else
                fontName.append(QChar(c));
            return;
        case Dest::ColorTable:
            if (c == u';') {
                colors.append(colorSeen ? colorPart : QColor());
                colorPart = QColor(0, 0, 0);
                colorSeen = false;
            }
            return;
        case Dest::ListText:
            if (listText.size() < 64 && keepable(c))
                listText.append(QChar(c));
            return;
        case Dest::Text:
            break;
        }
        if (!keepable(c))
            return;
        const QTextCharFormat format = charFormat();
        if (current.runs.empty() || current.runs.back().format != format)
            current.runs.push_back(Run { {}, format });
        current.runs.back().text.append(QChar(c));
    }

    // The marker of a list item: a bullet makes the paragraph a list item;
    // a number or letter stays in the text, as no numbered lists are kept.
    void finishListText()
    {
        if (!listTextSeen)
            return;
        listTextSeen = false;
        const QString marker = listText.trimmed();
        listText.clear();
        bool numbered = false;
        for (const QChar ch : marker)
            numbered = numbered || ch.isDigit();
        if (!numbered || marker.isEmpty()) {
            current.bullet = true;
            return;
        }
        current.bullet = false;
        current.numbered = true;
        current.runs.push_back(Run { marker + u'\t', charFormat() });
    }

    QTextCharFormat charFormat() const
    {
        const State &s = stack.back();
        QTextCharFormat f;
        if (s.font >= 0 && s.font != defaultFont) {
            const auto it = fonts.find(s.font);
            if (it != fonts.end() && !it->second.name.isEmpty())
                f.setFontFamilies(QStringList { it->second.name });
        }
        if (s.halfPoints > 0)
            f.setFontPointSize(s.halfPoints / 2.0);
        if (s.bold)
            f.setFontWeight(QFont::Bold);
        if (s.italic)
            f.setFontItalic(true);
        if (s.underline)
            f.setFontUnderline(true);
        if (s.strike)
            f.setFontStrikeOut(true);
        if (s.color > 0 && s.color < colors.size() && colors[s.color].isValid())
            f.setForeground(colors[s.color]);
        return f;
    }

    void paragraphEnd()
    {
        if (st().dest != Dest::Text)
            return;
        endParagraph();
    }

    void endParagraph()
    {
        const State &s = st();
        QTextBlockFormat &bf = current.format;
        bf.setAlignment(s.align);
        if ((s.listId > 0 || s.pnBullet) && !current.numbered)
            current.bullet = true;
        if (current.bullet) {
            bf.setLeftMargin(std::max(0, s.leftIndent - listIndentTwips) / 20.0);
        } else {
            bf.setTextIndent(s.firstIndent / 20.0);
            bf.setLeftMargin(s.leftIndent / 20.0);
        }
        bf.setRightMargin(s.rightIndent / 20.0);
        paragraphs.push_back(std::move(current));
        current = Paragraph {};
    }

    const QByteArray &in;
    qsizetype pos = 0;
    std::vector<State> stack;
    int overflow = 0;
    bool groupStart = false;
    int skipLeft = 0;
    bool lastWasCell = false;

    QString docCodec = QStringLiteral("windows-1252");
    int defaultFont = 0;
    std::map<int, Font> fonts;
    int defining = -1;
    QString fontName;
    QList<QColor> colors;
    QColor colorPart;
    bool colorSeen = false;
    QString listText;
    bool listTextSeen = false;

    QByteArray pending;
    QString pendingCodec;
    std::map<QString, std::unique_ptr<QStringDecoder>> decoders;

    Paragraph current;
    std::vector<Paragraph> paragraphs;
};

void build(const std::vector<Paragraph> &paragraphs, QTextDocument &doc)
{
    doc.clear();
    QTextCursor cursor(&doc);
    QTextList *list = nullptr;
    bool first = true;
    for (const Paragraph &p : paragraphs) {
        if (first)
            cursor.setBlockFormat(p.format);
        else
            cursor.insertBlock(p.format, QTextCharFormat());
        first = false;
        if (p.bullet) {
            if (list)
                list->add(cursor.block());
            else
                list = cursor.createList(QTextListFormat::ListDisc);
        } else {
            list = nullptr;
        }
        for (const Run &r : p.runs)
            cursor.insertText(r.text, r.format);
    }
    doc.clearUndoRedoStacks();
    doc.setModified(false);
}

// --- writing -------------------------------------------------------

QString familyOf(const QTextCharFormat &f)
{
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty())
        return families.first();
    return f.hasProperty(QTextFormat::FontFamily) ? f.stringProperty(QTextFormat::FontFamily) : QString();
}

QByteArray number(double value)
{
    return QByteArray::number(qRound(value));
}

class Writer {
public:
    explicit Writer(const QTextDocument &doc) : doc(doc)
    {
        // The upper half of windows-1252, from its decoder, so that only
        // characters that decode back the same are written as \'xx.
        QStringDecoder decoder("windows-1252", QStringDecoder::Flag::Stateless);
        if (!decoder.isValid())
            return;
        for (int b = 0x80; b <= 0xFF; ++b) {
            const QString c = decoder.decode(QByteArray(1, char(b)));
            if (c.size() == 1 && c[0] != QChar::ReplacementCharacter && !upper.contains(c[0].unicode()))
                upper.insert(c[0].unicode(), uchar(b));
        }
    }

    QByteArray write()
    {
        const QString defaultFamily = doc.defaultFont().family();
        // \f0 is the document's own font and \f1 the one the bullets are
        // drawn in; the runs' families follow.
        fonts.append(defaultFamily.isEmpty() ? QStringLiteral("Sans") : defaultFamily);
        fonts.append(QStringLiteral("Symbol"));
        bool anyList = false;
        QByteArray body;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            const QTextBlockFormat bf = block.blockFormat();
            const bool bullet = block.textList() != nullptr;
            anyList = anyList || bullet;
            body += "\\pard\\plain";
            const Qt::Alignment a = bf.alignment();
            if (a & Qt::AlignHCenter)
                body += "\\qc";
            else if (a & Qt::AlignJustify)
                body += "\\qj";
            else if (a & Qt::AlignRight)
                body += "\\qr";
            else
                body += "\\ql";
            if (bullet) {
                body += "\\fi" + QByteArray::number(listHangTwips) + "\\li"
                    + QByteArray::number(listIndentTwips + qRound(bf.leftMargin() * 20));
            } else {
                if (bf.textIndent() != 0)
                    body += "\\fi" + number(bf.textIndent() * 20);
                if (bf.leftMargin() != 0)
                    body += "\\li" + number(bf.leftMargin() * 20);
            }
            if (bf.rightMargin() != 0)
                body += "\\ri" + number(bf.rightMargin() * 20);
            if (bullet)
                body += "\\ls1\\ilvl0{\\listtext\\pard\\plain\\f1 \\'b7\\tab}";
            // Runs open with a brace, so no space ends the controls.
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.isValid())
                    body += run(fragment.text(), fragment.charFormat());
            }
            body += "\\par\n";
        }
        QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
        for (int i = 0; i < fonts.size(); ++i) {
            out += "{\\f" + QByteArray::number(i);
            out += i == 1 ? "\\ftech\\fcharset2 " : "\\fnil\\fcharset0 ";
            out += escape(fonts[i]) + ";}";
        }
        out += "}\n{\\colortbl;";
        for (const QColor &c : std::as_const(colors))
            out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green())
                + "\\blue" + QByteArray::number(c.blue()) + ';';
        out += "}\n";
        if (anyList) {
            out += "{\\*\\listtable{\\list\\listtemplateid1\\listsimple{\\listlevel\\levelnfc23"
                   "\\leveljc0\\levelfollow0\\levelstartat1\\levelindent0{\\leveltext\\'01\\'b7;}"
                   "{\\levelnumbers;}\\f1\\fi-360\\li720}\\listid1}}\n"
                   "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\n";
        }
        out += body;
        out += "}\n";
        return out;
    }

private:
    // The font table's index of family, added when new.
    int fontIndex(const QString &family)
    {
        const int i = int(fonts.indexOf(family));
        if (i >= 0)
            return i;
        fonts.append(family);
        return int(fonts.size()) - 1;
    }

    int colorIndex(const QColor &c)
    {
        const QColor rgb = c.toRgb();
        for (int i = 0; i < colors.size(); ++i)
            if (colors[i].rgb() == rgb.rgb())
                return i + 1;
        colors.append(rgb);
        return int(colors.size());
    }

    QByteArray run(const QString &text, const QTextCharFormat &f)
    {
        QByteArray controls;
        const QString family = familyOf(f);
        if (!family.isEmpty() && family != fonts.first())
            controls += "\\f" + QByteArray::number(fontIndex(family));
        if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
            controls += "\\fs" + number(f.fontPointSize() * 2);
        if (f.fontWeight() >= QFont::DemiBold)
            controls += "\\b";
        if (f.fontItalic())
            controls += "\\i";
        if (f.fontUnderline())
            controls += "\\ul";
        if (f.fontStrikeOut())
            controls += "\\strike";
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            controls += "\\cf" + QByteArray::number(colorIndex(f.foreground().color()));
        if (!controls.isEmpty())
            controls += ' ';
        return '{' + controls + escape(text) + '}';
    }

    QByteArray escape(const QString &text)
    {
        QByteArray out;
        out.reserve(text.size());
        for (const QChar ch : text) {
            const char16_t c = ch.unicode();
            if (c == u'\\' || c == u'{' || c == u'}') {
                out += '\\';
                out += char(c);
            } else if (c == u'\t') {
                out += "\\tab ";
            } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
                out += "\\line ";
            } else if (c >= 0x20 && c < 0x7F) {
                out += char(c);
            } else if (c < 0x20 || c == 0x7F) {
                continue;
            } else {
                const auto byte = upper.constFind(c);
                if (byte != upper.constEnd())
                    out += "\\'" + QByteArray::number(*byte, 16).rightJustified(2, '0');
                else // a fallback of \'3f, as some readers drop a space after a bare '?'
                    out += "\\u" + QByteArray::number(qint16(c)) + "\\'3f";
            }
        }
        return out;
    }

    const QTextDocument &doc;
    QHash<char16_t, uchar> upper;
    QStringList fonts;
    QList<QColor> colors;
};

} // namespace

bool looksLikeRtf(const QByteArray &bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

void readRtf(const QByteArray &bytes, QTextDocument &doc)
{
    Reader reader(bytes);
    build(reader.read(), doc);
}

QByteArray writeRtf(const QTextDocument &doc)
{
    return Writer(doc).write();
}

void readRichOrPlain(const QByteArray &bytes, QTextDocument &doc)
{
    if (looksLikeRtf(bytes)) {
        readRtf(bytes, doc);
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        QStringDecoder cp1252("windows-1252");
        text = cp1252.isValid() ? QString(cp1252.decode(bytes)) : QString::fromLatin1(bytes);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    doc.setPlainText(text);
    doc.clearUndoRedoStacks();
    doc.setModified(false);
}

} // namespace qvx::ui
