// Code pages as the dBASE and Paradox formats name them, and the text
// conversion of a table through one.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <array>
#include <string>

namespace qvx::common {

// The code page used when a table names none, or one we cannot convert.
QString defaultCodePage();

// The canonical converter name (usable with QStringDecoder/QStringEncoder)
// of a code page the formats know, or an empty string. Accepts "IBM850",
// "cp850", "850", "windows-1252", "1252", "UTF-8", "65001", "ISO-8859-5" and the like,
// in any letter case.
QString canonicalCodePage(const QString &codePage);

// The canonical names of the code pages the formats know, in the order a
// list for the user shows them (UTF-8 first, then the DOS, Windows and
// Macintosh pages).
QStringList knownCodePages();

// Whether the bytes are UTF-8 (no overlong forms or surrogates). With
// allowCutEnd, bytes that end inside a character still count, as a text
// cut by a field width does.
bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd = false);

// The table's text conversion, by converter name.
class TextCodec {
public:
    explicit TextCodec(const QString &codePage);
    QString name() const { return m_name; }
    // One byte per character, and bytes below 0x80 are those characters.
    bool asciiCompatible() const { return m_isSingleByte && m_asciiIsSame; }
    QString decode(QByteArrayView bytes) const;
    // Throws EngineError(path, "field <name>: ...") when a character has no
    // byte in the code page.
    QByteArray encode(const QString &text, const QString &path, const QString &field) const;
    // The bytes as UTF-8, for code pages of one byte per character and for
    // UTF-8: data and size point at the bytes themselves when they read the
    // same in UTF-8, else into buffer. False (nothing set) for other code
    // pages.
    bool toUtf8(const char *bytes, qsizetype length, std::string &buffer, const char *&data,
                qsizetype &size) const;

private:
    QString m_name;
    // For code pages of one byte per character: the character of each byte,
    // so that decoding a field needs no converter call.
    std::array<char16_t, 256> m_singleByte {};
    bool m_isSingleByte = false;
    bool m_isUtf8 = false;
    // The UTF-8 of each byte (up to 3 bytes and their count), and whether
    // bytes below 0x80 are themselves.
    std::array<std::array<char, 4>, 256> m_utf8 {};
    bool m_asciiIsSame = false;
    mutable QStringDecoder m_decoder;
    mutable QStringEncoder m_encoder;
};

} // namespace qvx::common
