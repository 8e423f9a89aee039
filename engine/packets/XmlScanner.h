// A strict, non-validating XML tokenizer over UTF-8 bytes held in memory, for
// the data packet reader: it walks elements and hands out attributes as views
// of the input, so that a row costs no allocation. It checks what makes a
// document well formed (nesting, names, attribute syntax and uniqueness,
// references, characters and UTF-8, one root, comments, processing
// instructions, CDATA, a DOCTYPE skipped whole) and throws EngineError naming
// the source, the line and the fault.
//
// Not supported, and refused: entities declared in a DOCTYPE (only the five
// predefined ones and character references are known). Namespace declarations
// are attributes like any other and prefixed names are taken as they are written.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace qvx {

class XmlScanner {
public:
    struct Attribute {
        QByteArrayView name;
        QByteArrayView raw; // as written, between the quotes
        bool plain; // holds no reference and no white space that normalising would change
        bool isNamespaceDeclaration() const;
    };

    // `text` is UTF-8 and must outlive the scanner.
    XmlScanner(QByteArrayView text, const QString &source);

    // Reads the prolog and the document element's start tag; false when the
    // document has no element at all.
    bool start();
    // Reads on inside the current element to its next child element (true)
    // or to its end tag (false). Text, comments, processing instructions and
    // CDATA between are checked and passed over.
    bool nextChild();
    // The element the last nextChild() (or start()) reached.
    QByteArrayView name() const { return m_name; }
    bool nameIs(const char *name) const; // in any letter case
    const std::vector<Attribute> &attributes() const { return m_attributes; }
    // Reads past the rest of the current element, its end tag included.
    void skipElement();
    // The same, returning what the element holds as written (its inner XML).
    QByteArrayView skipElementContent();
    // After the document element has ended: only comments, processing
    // instructions and white space may follow.
    void finish();

    // An attribute's value with references resolved and white space
    // normalised as XML does; a view of the input when it is plain, else of buffer.
    QByteArrayView value(const Attribute &a, QByteArray &buffer) const;

    // The line (from 1) at which the last tag read starts, for errors about it.
    int tagLine() const { return lineAt(m_tagStart); }
    [[noreturn]] void fail(const char *at, const QString &what) const;
    [[noreturn]] void failAtTag(const QString &what) const;

    // UTF-8 as a QString, a leading U+FEFF kept (QString::fromUtf8 drops it
    // as a byte order mark, but inside a document it is a character).
    static QString text(QByteArrayView utf8);

    // The encoding an XML declaration at the start of `bytes` names, or "".
    static QByteArray declaredEncoding(QByteArrayView bytes);

private:
    int lineAt(const char *p) const;
    bool atEnd() const { return m_p >= m_end; }
    bool startsWith(const char *literal) const;
    void skipSpace();
    QByteArrayView readName();
    void readStartTag(); // at the name after '<'
    void readEndTag(); // at the name after "</"
    void readComment(); // after "<!--"
    void readProcessingInstruction(bool atDocumentStart); // after "<?"
    void readCData(); // after "<![CDATA["
    void readDoctype(); // after "<!DOCTYPE"
    void readText(); // up to the next '<'
    // Checks one character at p (UTF-8, a valid XML character) and returns its length.
    qsizetype character(const char *p) const;
    // Checks the reference at p ('&') and returns its length; adds what it stands for to out.
    qsizetype reference(const char *p, QByteArray *out) const;
    // Reads a miscellaneous item of the prolog or epilogue; false at anything else.
    bool readMisc(bool allowDoctype);

    const char *const m_begin;
    const char *const m_end;
    const char *m_p;
    const QString &m_source;
    const char *m_tagStart;
    QByteArrayView m_name;
    std::vector<Attribute> m_attributes;
    std::vector<QByteArrayView> m_open; // names of the elements open, outermost first
    bool m_empty = false; // the current element was written <x/>
    bool m_sawDoctype = false;
};

} // namespace qvx
