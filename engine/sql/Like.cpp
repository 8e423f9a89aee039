#include "Like.h"

#include <QChar>

#include <array>

namespace qvx::sql {

namespace {

// What a stored byte of 0x80 or more reads as: a character beyond ASCII,
// which one not known.
constexpr char32_t kUnknown = 0xFFFFFFFF;

// The ASCII letters some character beyond ASCII folds to as well (k for
// the Kelvin sign, s for the long s), found once from Qt's tables.
const std::array<bool, 128> &asciiWithWiderPartners()
{
    static const std::array<bool, 128> table = [] {
        std::array<bool, 128> t {};
        for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
            const char32_t folded = QChar::toCaseFolded(c);
            if (folded < 0x80)
                t[folded] = true;
        }
        return t;
    }();
    return table;
}

} // namespace

char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

char32_t readUtf8(const char *&p, const char *end)
{
    const auto lead = static_cast<unsigned char>(*p++);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    if (lead >= 0xF0 && lead < 0xF8) {
        extra = 3;
        c = lead & 0x07;
    } else if (lead >= 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else {
        return 0xFFFD; // a continuation byte with no lead
    }
    for (; extra > 0; --extra) {
        if (p == end || (static_cast<unsigned char>(*p) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(*p++) & 0x3F);
    }
    return c;
}

LikePattern::LikePattern(QByteArrayView pattern, char32_t escape)
{
    const char *p = pattern.data();
    const char *end = p + pattern.size();
    const auto &wider = asciiWithWiderPartners();
    while (p < end) {
        char32_t c = readUtf8(p, end);
        Element e;
        if (escape != 0 && c == escape) {
            if (p == end) {
                m_matchesNothing = true; // as SQLite: an escape with nothing after it
                return;
            }
            c = readUtf8(p, end);
        } else if (c == '%') {
            e.kind = Element::Kind::AnyRun;
        } else if (c == '_') {
            e.kind = Element::Kind::OneChar;
        }
        if (e.kind == Element::Kind::Literal) {
            e.ch = foldCase(c);
            e.notOnlyAscii = e.ch >= 0x80 || wider[e.ch];
        }
        m_elements.push_back(e);
    }
}

std::optional<LikePattern> LikePattern::prefix() const
{
    if (m_matchesNothing || m_elements.empty() || m_elements.front().kind != Element::Kind::Literal)
        return std::nullopt;
    LikePattern start;
    for (const Element &e : m_elements) {
        if (e.kind != Element::Kind::Literal)
            break;
        start.m_elements.push_back(e);
    }
    Element any;
    any.kind = Element::Kind::AnyRun;
    start.m_elements.push_back(any);
    return start;
}

// The classic match with one point to go back to: after a '%', a mismatch
// tries the rest of the pattern one character further on.
template<class Reader> bool LikePattern::run(const char *t, const char *end, Reader read) const
{
    if (m_matchesNothing)
        return false;
    constexpr std::size_t none = std::size_t(-1);
    const std::size_t n = m_elements.size();
    std::size_t p = 0;
    std::size_t starP = none;
    const char *starT = nullptr;
    for (;;) {
        if (p < n && m_elements[p].kind == Element::Kind::AnyRun) {
            while (p < n && m_elements[p].kind == Element::Kind::AnyRun)
                ++p;
            if (p == n)
                return true;
            starP = p;
            starT = t;
            continue;
        }
        if (t == end)
            break;
        if (p < n) {
            const char *after = t;
            const char32_t c = read(after, end);
            const Element &e = m_elements[p];
            if (e.kind == Element::Kind::OneChar || c == e.ch) {
                ++p;
                t = after;
                continue;
            }
            // A stored character not known here may be one that folds to
            // this letter: the text may match.
            if (c == kUnknown && e.notOnlyAscii)
                return true;
        }
        if (starP == none)
            return false;
        read(starT, end);
        t = starT;
        p = starP;
    }
    while (p < n && m_elements[p].kind == Element::Kind::AnyRun)
        ++p;
    return p == n;
}

bool LikePattern::matches(QByteArrayView text) const
{
    return run(text.data(), text.data() + text.size(),
               [](const char *&p, const char *end) { return foldCase(readUtf8(p, end)); });
}

bool LikePattern::mayMatchStored(QByteArrayView bytes) const
{
    return run(bytes.data(), bytes.data() + bytes.size(), [](const char *&p, const char *) {
        const auto b = static_cast<unsigned char>(*p++);
        return b < 0x80 ? foldCase(b) : kUnknown;
    });
}

} // namespace qvx::sql
