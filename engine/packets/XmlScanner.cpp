#include "XmlScanner.h"

#include "../EngineError.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qvx {

namespace {

enum : quint8 {
    NameStart = 0x01,
    NameChar = 0x02,
    // Bytes an attribute value cannot pass over without a closer look.
    ValueStop = 0x04,
    // Bytes text content cannot pass over without a closer look.
    TextStop = 0x08,
    Space = 0x10,
};

constexpr std::array<quint8, 256> makeClasses()
{
    std::array<quint8, 256> t {};
    for (int c = 0; c < 256; ++c) {
        quint8 v = 0;
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (letter || c == '_' || c == ':' || c >= 0x80)
            v |= NameStart | NameChar;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-')
            v |= NameChar;
        if (c < 0x20 || c >= 0x80 || c == '"' || c == '\'' || c == '<' || c == '&')
            v |= ValueStop;
        if (c < 0x20 || c >= 0x80 || c == '<' || c == '&' || c == ']')
            v |= TextStop;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            v |= Space;
        t[std::size_t(c)] = v;
    }
    return t;
}

constexpr std::array<quint8, 256> kClass = makeClasses();

inline quint8 cls(char c)
{
    return kClass[quint8(c)];
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

QString shown(QByteArrayView v)
{
    QString s = XmlScanner::text(v.first(std::min<qsizetype>(v.size(), 40)));
    if (v.size() > 40)
        s += QStringLiteral("...");
    return s;
}

} // namespace

bool XmlScanner::Attribute::isNamespaceDeclaration() const
{
    return name == "xmlns" || name.startsWith("xmlns:");
}

XmlScanner::XmlScanner(QByteArrayView text, const QString &source)
    : m_begin(text.data()),
      m_end(text.data() + text.size()),
      m_p(text.data()),
      m_source(source),
      m_tagStart(text.data())
{
}

int XmlScanner::lineAt(const char *p) const
{
    return 1 + int(std::count(m_begin, std::min(p, m_end), '\n'));
}

void XmlScanner::fail(const char *at, const QString &what) const
{
    throw EngineError(m_source, QStringLiteral("line %1: not well-formed XML: %2").arg(lineAt(at)).arg(what));
}

void XmlScanner::failAtTag(const QString &what) const
{
    throw EngineError(m_source, QStringLiteral("line %1: %2").arg(tagLine()).arg(what));
}

bool XmlScanner::startsWith(const char *literal) const
{
    const std::size_t n = std::strlen(literal);
    return std::size_t(m_end - m_p) >= n && std::memcmp(m_p, literal, n) == 0;
}

bool XmlScanner::nameIs(const char *name) const
{
    const std::size_t n = std::strlen(name);
    if (std::size_t(m_name.size()) != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char a = m_name[qsizetype(i)], b = name[i];
        if (a >= 'a' && a <= 'z')
            a = char(a - 32);
        if (b >= 'a' && b <= 'z')
            b = char(b - 32);
        if (a != b)
            return false;
    }
    return true;
}

void XmlScanner::skipSpace()
{
    while (m_p < m_end && (cls(*m_p) & Space))
        ++m_p;
}

qsizetype XmlScanner::character(const char *p) const
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    const qsizetype left = m_end - p;
    const unsigned c = u[0];
    if (c < 0x80) {
        if (c >= 0x20 || c == 0x9 || c == 0xA || c == 0xD)
            return 1;
        fail(p, QStringLiteral("the character U+%1 is not allowed").arg(c, 4, 16, QLatin1Char('0')));
    }
    qsizetype n = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
        least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
        least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
        least = 0x10000;
    }
    if (n == 0 || n > left)
        fail(p, QStringLiteral("the text is not valid UTF-8"));
    for (qsizetype i = 1; i < n; ++i) {
        if ((u[i] & 0xC0) != 0x80)
            fail(p, QStringLiteral("the text is not valid UTF-8"));
        cp = (cp << 6) | (u[i] & 0x3F);
    }
    if (cp < least || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        fail(p, QStringLiteral("the text is not valid UTF-8"));
    if (!isXmlChar(cp))
        fail(p,
             QStringLiteral("the character U+%1 is not allowed").arg(unsigned(cp), 4, 16, QLatin1Char('0')));
    return n;
}

qsizetype XmlScanner::reference(const char *p, QByteArray *out) const
{
    const char *q = p + 1;
    if (q < m_end && *q == '#') {
        ++q;
        const bool hex = q < m_end && *q == 'x';
        if (hex)
            ++q;
        char32_t cp = 0;
        const char *digitsStart = q;
        for (; q < m_end && *q != ';'; ++q) {
            const char c = *q;
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                fail(p, QStringLiteral("a character reference with something other than digits"));
            cp = cp * (hex ? 16 : 10) + char32_t(d);
            if (cp > 0x10FFFF)
                fail(p, QStringLiteral("a character reference past U+10FFFF"));
        }
        if (q >= m_end || q == digitsStart)
            fail(p, QStringLiteral("a character reference that does not end with ';'"));
        if (!isXmlChar(cp))
            fail(p,
                 QStringLiteral("a reference to the character U+%1, which XML does not allow")
                     .arg(unsigned(cp), 4, 16, QLatin1Char('0')));
        if (out)
            appendUtf8(*out, cp);
        return q + 1 - p;
    }
    const char *nameStart = q;
    while (q < m_end && *q != ';' && (cls(*q) & NameChar) && q - nameStart < 64)
        ++q;
    if (q >= m_end || *q != ';' || q == nameStart)
        fail(p, QStringLiteral("a '&' that starts no reference (write &amp;amp; for the character)"));
    const QByteArrayView name(nameStart, q - nameStart);
    char c;
    if (name == "lt")
        c = '<';
    else if (name == "gt")
        c = '>';
    else if (name == "amp")
        c = '&';
    else if (name == "apos")
        c = '\'';
    else if (name == "quot")
        c = '"';
    else
        fail(p, QStringLiteral("the entity '&%1;' is not declared").arg(shown(name)));
    if (out)
        out->append(c);
    return q + 1 - p;
}

QByteArrayView XmlScanner::readName()
{
    const char *start = m_p;
    if (m_p >= m_end || !(cls(*m_p) & NameStart))
        fail(m_p,
             m_p >= m_end ? QStringLiteral("the document ends where a name was expected")
                          : QStringLiteral("a name was expected"));
    while (m_p < m_end && (cls(*m_p) & NameChar)) {
        if (quint8(*m_p) >= 0x80)
            m_p += character(m_p);
        else
            ++m_p;
    }
    return { start, m_p - start };
}

void XmlScanner::readText()
{
    while (m_p < m_end) {
        const char c = *m_p;
        if (!(cls(c) & TextStop)) {
            ++m_p;
            continue;
        }
        if (c == '<')
            return;
        if (c == '&')
            m_p += reference(m_p, nullptr);
        else if (c == ']') {
            if (startsWith("]]>"))
                fail(m_p, QStringLiteral("']]>' in text"));
            ++m_p;
        } else
            m_p += character(m_p);
    }
}

void XmlScanner::readStartTag()
{
    m_name = readName();
    m_attributes.clear();
    for (;;) {
        const char *before = m_p;
        skipSpace();
        if (m_p >= m_end)
            fail(m_p, QStringLiteral("the document ends inside the tag <%1>").arg(shown(m_name)));
        if (*m_p == '>') {
            ++m_p;
            m_empty = false;
            return;
        }
        if (*m_p == '/') {
            if (m_p + 1 >= m_end || m_p[1] != '>')
                fail(m_p, QStringLiteral("'/' not followed by '>' in the tag <%1>").arg(shown(m_name)));
            m_p += 2;
            m_empty = true;
            return;
        }
        if (m_p == before)
            fail(m_p, QStringLiteral("attributes of <%1> not separated by white space").arg(shown(m_name)));
        const QByteArrayView name = readName();
        skipSpace();
        if (m_p >= m_end || *m_p != '=')
            fail(m_p, QStringLiteral("the attribute '%1' has no '=' and value").arg(shown(name)));
        ++m_p;
        skipSpace();
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            fail(m_p, QStringLiteral("the value of attribute '%1' is not quoted").arg(shown(name)));
        const char quote = *m_p++;
        const char *valueStart = m_p;
        bool plain = true;
        for (;;) {
            while (m_p < m_end && !(cls(*m_p) & ValueStop))
                ++m_p;
            if (m_p >= m_end)
                fail(m_p,
                     QStringLiteral("the document ends inside the value of attribute '%1'").arg(shown(name)));
            const char c = *m_p;
            if (c == quote)
                break;
            if (c == '"' || c == '\'') {
                ++m_p;
            } else if (c == '<') {
                fail(m_p, QStringLiteral("'<' inside the value of attribute '%1'").arg(shown(name)));
            } else if (c == '&') {
                plain = false;
                m_p += reference(m_p, nullptr);
            } else if (c == '\t' || c == '\n' || c == '\r') {
                plain = false;
                ++m_p;
            } else {
                m_p += character(m_p);
            }
        }
        const QByteArrayView raw(valueStart, m_p - valueStart);
        ++m_p;
        for (const Attribute &a : m_attributes) {
            if (a.name == name)
                fail(valueStart, QStringLiteral("the attribute '%1' is given twice").arg(shown(name)));
        }
        m_attributes.push_back({ name, raw, plain });
    }
}

void XmlScanner::readEndTag()
{
    const QByteArrayView name = readName();
    skipSpace();
    if (m_p >= m_end || *m_p != '>')
        fail(m_p, QStringLiteral("the end tag </%1> is not closed with '>'").arg(shown(name)));
    ++m_p;
    if (m_open.empty() || m_open.back() != name)
        fail(m_tagStart,
             m_open.empty() ? QStringLiteral("the end tag </%1> closes nothing").arg(shown(name))
                            : QStringLiteral("the end tag </%1> does not close <%2>")
                                  .arg(shown(name), shown(m_open.back())));
    m_open.pop_back();
    m_name = name;
}

void XmlScanner::readComment()
{
    const char *start = m_p - 4;
    while (m_p < m_end) {
        if (*m_p == '-' && m_p + 1 < m_end && m_p[1] == '-') {
            if (m_p + 2 < m_end && m_p[2] == '>') {
                m_p += 3;
                return;
            }
            fail(m_p, QStringLiteral("'--' inside a comment"));
        }
        m_p += quint8(*m_p) >= 0x20 && quint8(*m_p) < 0x80 ? 1 : character(m_p);
    }
    fail(start, QStringLiteral("a comment that is not closed"));
}

void XmlScanner::readProcessingInstruction(bool atDocumentStart)
{
    const char *start = m_p - 2;
    const QByteArrayView target = readName();
    const bool isXml = target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm'
        && (target[2] | 0x20) == 'l';
    if (isXml && !atDocumentStart)
        fail(start, QStringLiteral("an XML declaration anywhere but at the start"));
    if (isXml) {
        bool sawVersion = false;
        for (;;) {
            const char *before = m_p;
            skipSpace();
            if (startsWith("?>")) {
                m_p += 2;
                break;
            }
            if (m_p == before)
                fail(m_p, QStringLiteral("a malformed XML declaration"));
            const QByteArrayView name = readName();
            skipSpace();
            if (m_p >= m_end || *m_p != '=')
                fail(m_p, QStringLiteral("a malformed XML declaration"));
            ++m_p;
            skipSpace();
            if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
                fail(m_p, QStringLiteral("a malformed XML declaration"));
            const char quote = *m_p++;
            const char *valueStart = m_p;
            while (m_p < m_end && *m_p != quote && *m_p != '<' && *m_p != '>')
                ++m_p;
            if (m_p >= m_end || *m_p != quote)
                fail(m_p, QStringLiteral("a malformed XML declaration"));
            const QByteArrayView value(valueStart, m_p - valueStart);
            ++m_p;
            if (name == "version") {
                if (!value.startsWith("1.") || value.size() < 3)
                    fail(valueStart, QStringLiteral("XML version '%1' is not supported").arg(shown(value)));
                sawVersion = true;
            } else if (name == "standalone") {
                if (value != "yes" && value != "no")
                    fail(valueStart, QStringLiteral("standalone must be 'yes' or 'no'"));
            } else if (name != "encoding") {
                fail(before, QStringLiteral("'%1' in the XML declaration").arg(shown(name)));
            }
        }
        if (!sawVersion)
            fail(start, QStringLiteral("the XML declaration has no version"));
        return;
    }
    if (startsWith("?>")) {
        m_p += 2;
        return;
    }
    if (m_p >= m_end || !(cls(*m_p) & Space))
        fail(m_p, QStringLiteral("a malformed processing instruction"));
    while (m_p < m_end) {
        if (*m_p == '?' && m_p + 1 < m_end && m_p[1] == '>') {
            m_p += 2;
            return;
        }
        m_p += character(m_p);
    }
    fail(start, QStringLiteral("a processing instruction that is not closed"));
}

void XmlScanner::readCData()
{
    const char *start = m_p - 9;
    while (m_p < m_end) {
        if (*m_p == ']' && startsWith("]]>")) {
            m_p += 3;
            return;
        }
        m_p += character(m_p);
    }
    fail(start, QStringLiteral("a CDATA section that is not closed"));
}

void XmlScanner::readDoctype()
{
    const char *start = m_p - 9;
    if (m_p >= m_end || !(cls(*m_p) & Space))
        fail(m_p, QStringLiteral("a malformed DOCTYPE"));
    int depth = 0;
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '"' || c == '\'') {
            const char *close
                = static_cast<const char *>(std::memchr(m_p + 1, c, std::size_t(m_end - m_p - 1)));
            if (!close)
                break;
            for (const char *q = m_p + 1; q < close;)
                q += character(q);
            m_p = close + 1;
        } else if (c == '[') {
            ++depth;
            ++m_p;
        } else if (c == ']') {
            if (--depth < 0)
                fail(m_p, QStringLiteral("a ']' that closes nothing in the DOCTYPE"));
            ++m_p;
        } else if (c == '>' && depth == 0) {
            ++m_p;
            return;
        } else if (startsWith("<!--")) {
            m_p += 4;
            readComment();
        } else {
            m_p += character(m_p);
        }
    }
    fail(start, QStringLiteral("a DOCTYPE that is not closed"));
}

bool XmlScanner::readMisc(bool allowDoctype)
{
    skipSpace();
    if (startsWith("<!--")) {
        m_p += 4;
        readComment();
        return true;
    }
    if (startsWith("<?")) {
        m_p += 2;
        readProcessingInstruction(false);
        return true;
    }
    if (startsWith("<!DOCTYPE")) {
        if (!allowDoctype || m_sawDoctype)
            fail(m_p, QStringLiteral("a DOCTYPE where none may be"));
        m_sawDoctype = true;
        m_p += 9;
        readDoctype();
        return true;
    }
    return false;
}

bool XmlScanner::start()
{
    m_p = m_begin;
    // Nothing may come before the declaration, but hand-edited files have
    // blank lines there; they are let pass.
    skipSpace();
    if (startsWith("<?xml") && m_p + 5 < m_end && (cls(m_p[5]) & Space)) {
        m_p += 2;
        readProcessingInstruction(true);
    }
    while (readMisc(true)) { }
    if (m_p >= m_end)
        return false;
    m_tagStart = m_p;
    if (*m_p != '<')
        fail(m_p, QStringLiteral("text before the document element"));
    ++m_p;
    if (m_p < m_end && *m_p == '!')
        fail(m_tagStart, QStringLiteral("unexpected markup before the document element"));
    readStartTag();
    m_open.push_back(m_name);
    return true;
}

bool XmlScanner::nextChild()
{
    if (m_empty) {
        m_empty = false;
        m_open.pop_back();
        return false;
    }
    if (m_open.empty())
        return false;
    for (;;) {
        readText();
        if (m_p >= m_end)
            fail(m_p, QStringLiteral("the document ends before </%1>").arg(shown(m_open.back())));
        m_tagStart = m_p;
        if (startsWith("</")) {
            m_p += 2;
            readEndTag();
            return false;
        }
        if (startsWith("<!--")) {
            m_p += 4;
            readComment();
            continue;
        }
        if (startsWith("<?")) {
            m_p += 2;
            readProcessingInstruction(false);
            continue;
        }
        if (startsWith("<![CDATA[")) {
            m_p += 9;
            readCData();
            continue;
        }
        ++m_p;
        if (m_p < m_end && *m_p == '!')
            fail(m_tagStart, QStringLiteral("unexpected markup"));
        readStartTag();
        m_open.push_back(m_name);
        return true;
    }
}

void XmlScanner::skipElement()
{
    for (int depth = 1; depth > 0;)
        depth += nextChild() ? 1 : -1;
}

QByteArrayView XmlScanner::skipElementContent()
{
    if (m_empty) {
        nextChild();
        return {};
    }
    const char *start = m_p;
    skipElement();
    return { start, m_tagStart - start };
}

void XmlScanner::finish()
{
    while (readMisc(false)) { }
    if (m_p < m_end)
        fail(m_p, QStringLiteral("content after the end of the document element"));
}

QByteArrayView XmlScanner::value(const Attribute &a, QByteArray &buffer) const
{
    if (a.plain)
        return a.raw;
    buffer.resize(0);
    const char *p = a.raw.data();
    const char *end = p + a.raw.size();
    while (p < end) {
        const char c = *p;
        if (c == '&') {
            p += reference(p, &buffer);
        } else if (c == '\r') {
            buffer.append(' ');
            p += p + 1 < end && p[1] == '\n' ? 2 : 1;
        } else {
            buffer.append(c == '\n' || c == '\t' ? ' ' : c);
            ++p;
        }
    }
    return buffer;
}

QString XmlScanner::text(QByteArrayView utf8)
{
    if (utf8.startsWith("\xEF\xBB\xBF"))
        return QChar(0xFEFF) + QString::fromUtf8(utf8.sliced(3));
    return QString::fromUtf8(utf8);
}

QByteArray XmlScanner::declaredEncoding(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && (cls(bytes[i]) & Space))
        ++i;
    if (!bytes.sliced(i).startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>", i);
    if (end < 0)
        return {};
    const QByteArrayView decl = bytes.sliced(i, end - i);
    qsizetype at = decl.indexOf("encoding");
    while (at > 0 && !(cls(decl[at - 1]) & Space))
        at = decl.indexOf("encoding", at + 1);
    if (at < 0)
        return {};
    qsizetype p = at + 8;
    while (p < decl.size() && (cls(decl[p]) & Space))
        ++p;
    if (p >= decl.size() || decl[p] != '=')
        return {};
    ++p;
    while (p < decl.size() && (cls(decl[p]) & Space))
        ++p;
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\''))
        return {};
    const qsizetype close = decl.indexOf(decl[p], p + 1);
    if (close < 0)
        return {};
    return decl.sliced(p + 1, close - p - 1).toByteArray();
}

} // namespace qvx
