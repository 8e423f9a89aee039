// SQL's LIKE with letters compared by Unicode case folding: the one matcher
// behind the LIKE of the engine's connections (sql/Functions.h) and behind
// the table module's own LIKE check during a scan, so that the scan never
// rules out a row the statement's LIKE would take.
#pragma once

#include <QByteArrayView>

#include <optional>
#include <vector>

namespace qvx::sql {

// A pattern, read once: '%' stands for any run of characters, '_' for one
// character, and the escape character (when there is one) makes the
// character after it literal. Letters match whatever folds to the same
// letter (Unicode simple case folding: "Zoë" matches "ZOË", "straße" does
// not match "STRASSE").
class LikePattern {
public:
    // pattern is UTF-8; escape is a code point, or 0 for none.
    explicit LikePattern(QByteArrayView pattern, char32_t escape = 0);

    // Does the UTF-8 text match?
    bool matches(QByteArrayView text) const;

    // Text as a table stores it, in a code page that writes ASCII as those
    // bytes and any other character as one byte of 0x80 or more whose
    // character is not known here. False only when the text cannot match,
    // whatever those characters are; true when it may.
    bool mayMatchStored(QByteArrayView bytes) const;

    // The literal characters before the first wildcard, then '%' ("Smi%"
    // of "Smi_th"): a pattern that every text matching this one matches
    // too, and that can be checked on stored bytes before any text is
    // converted. Null when the pattern starts with a wildcard.
    std::optional<LikePattern> prefix() const;

private:
    LikePattern() = default;

    struct Element {
        enum class Kind { AnyRun, OneChar, Literal } kind = Kind::Literal;
        char32_t ch = 0; // case-folded, for a literal
        bool notOnlyAscii = false; // a character beyond ASCII folds to the same letter
    };
    template<class Reader> bool run(const char *text, const char *end, Reader read) const;

    std::vector<Element> m_elements;
    bool m_matchesNothing = false; // the pattern ends in its escape character
};

// The case-folded form of a code point (Unicode simple case folding).
char32_t foldCase(char32_t c);

// One code point from UTF-8 at p (which it moves past it); a byte that
// starts no valid sequence reads as U+FFFD.
char32_t readUtf8(const char *&p, const char *end);

} // namespace qvx::sql
