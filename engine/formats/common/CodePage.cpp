#include "CodePage.h"

#include "../../EngineError.h"

#include <cstdint>
#include <cstring>

namespace qvx::common {

namespace {

// The code pages the formats know, by their canonical converter names. A
// dBASE table names one by its language driver byte (dbf/DbfCodePage.cpp,
// whose bytes name these and only these), a Paradox table by its number.
constexpr std::array<const char *, 27> kCodePages {
    "UTF-8",
    "IBM437",
    "IBM850",
    "windows-1252",
    "macintosh",
    "IBM852",
    "IBM866",
    "IBM865",
    "IBM861",
    "IBM737",
    "IBM857",
    "IBM863",
    "IBM860",
    "Shift_JIS",
    "GBK",
    "windows-949",
    "Big5",
    "windows-874",
    "windows-1255",
    "windows-1256",
    "windows-1250",
    "windows-1251",
    "windows-1254",
    "windows-1253",
    "x-mac-cyrillic",
    "x-mac-centraleurroman",
    "x-mac-greek",
};

// Other spellings of the code pages above.
struct Alias {
    const char *alias;
    const char *codePage;
};
constexpr std::array kAliases {
    Alias { "mac_roman", "macintosh" },
    Alias { "mac_cyrillic", "x-mac-cyrillic" },
    Alias { "mac_latin2", "x-mac-centraleurroman" },
    Alias { "mac_greek", "x-mac-greek" },
    Alias { "932", "Shift_JIS" },
    Alias { "936", "GBK" },
    Alias { "949", "windows-949" },
    Alias { "950", "Big5" },
    Alias { "65001", "UTF-8" },
    Alias { "utf8", "UTF-8" },
};

} // namespace

bool isValidUtf8(QByteArrayView bytes, bool allowCutEnd)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        qsizetype j = 1;
        for (; j <= more && i + j < n; ++j) {
            if ((p[i + j] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + j] & 0x3F);
        }
        if (j <= more) // the bytes end inside a character
            return allowCutEnd;
        if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += more + 1;
    }
    return true;
}

QStringList knownCodePages()
{
    QStringList names;
    for (const char *name : kCodePages)
        names << QString::fromLatin1(name);
    return names;
}

QString defaultCodePage()
{
    // A table that names no code page was most likely written by a Windows
    // program in the ANSI code page of Western Europe. Windows-1252 gives a
    // character for nearly every byte, so accented text shows as it was
    // meant and is written back unchanged, where ASCII would lose the upper
    // half.
    return QStringLiteral("windows-1252");
}

QString canonicalCodePage(const QString &codePage)
{
    QString name = codePage.trimmed();
    if (name.isEmpty())
        return {};
    for (const Alias &a : kAliases)
        if (name.compare(QLatin1String(a.alias), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(a.codePage);
    // "cp850", "ibm850", "850" -> "IBM850"; "cp1252", "1252" -> "windows-1252".
    QString digits = name;
    for (const char *prefix : { "cp", "ibm-", "ibm", "windows-" })
        if (digits.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) {
            digits = digits.mid(int(qstrlen(prefix)));
            break;
        }
    bool numeric = false;
    const int number = digits.toInt(&numeric);
    if (numeric) {
        for (const Alias &a : kAliases)
            if (QString::number(number) == QLatin1String(a.alias))
                return QString::fromLatin1(a.codePage);
        name = number >= 1250 && number <= 1258 ? QStringLiteral("windows-%1").arg(number)
                                                : QStringLiteral("IBM%1").arg(number);
        if (number == 874)
            name = QStringLiteral("windows-874");
    }
    for (const char *known : kCodePages)
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known);
    for (const Alias &a : kAliases)
        if (name.compare(QLatin1String(a.alias), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(a.codePage);
    // "ISO-8859-5", "iso8859-5", "ISO_8859_5", when the converters have it.
    QString iso = name.toUpper();
    iso.remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    if (iso.startsWith(QLatin1String("ISO8859"))) {
        bool ok = false;
        const int part = iso.mid(7).toInt(&ok);
        if (ok && part >= 1 && part <= 16) {
            const QString candidate = QStringLiteral("ISO-8859-%1").arg(part);
            if (QStringDecoder(candidate.toLatin1().constData()).isValid())
                return candidate;
        }
    }
    return {};
}

TextCodec::TextCodec(const QString &codePage)
    : m_name(codePage),
      m_decoder(codePage.toLatin1().constData(), QStringConverter::Flag::Stateless),
      m_encoder(codePage.toLatin1().constData(), QStringConverter::Flag::Stateless)
{
    if (!m_decoder.isValid() || !m_encoder.isValid())
        throw EngineError(QStringLiteral("The code page %1 is not available").arg(codePage));
    m_isUtf8 = codePage.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
    if (m_isUtf8)
        return;
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString together = m_decoder.decode(all);
    m_isSingleByte = together.size() == 256;
    for (int b = 0; b < 256 && m_isSingleByte; ++b) {
        m_decoder.resetState();
        const QString one = m_decoder.decode(QByteArrayView(all.constData() + b, 1));
        if (one.size() != 1 || one[0] != together[b])
            m_isSingleByte = false;
        else
            m_singleByte[std::size_t(b)] = one[0].unicode();
    }
    if (!m_isSingleByte)
        return;
    m_asciiIsSame = true;
    for (int b = 0; b < 256; ++b) {
        const char16_t u = m_singleByte[std::size_t(b)];
        auto &out = m_utf8[std::size_t(b)];
        if (u < 0x80) {
            out = { char(u), 0, 0, 1 };
        } else if (u < 0x800) {
            out = { char(0xC0 | (u >> 6)), char(0x80 | (u & 0x3F)), 0, 2 };
        } else {
            out = { char(0xE0 | (u >> 12)), char(0x80 | ((u >> 6) & 0x3F)), char(0x80 | (u & 0x3F)), 3 };
        }
        if (b < 0x80 && u != char16_t(b))
            m_asciiIsSame = false;
    }
}

bool TextCodec::toUtf8(const char *bytes, qsizetype length, std::string &buffer, const char *&data,
                       qsizetype &size) const
{
    if (m_isUtf8) {
        // Valid bytes are passed as they are; a value cut inside a character
        // by its field width (or otherwise broken) goes through the decoder,
        // which puts U+FFFD where bytes make no character.
        if (isValidUtf8(QByteArrayView(bytes, length))) {
            data = bytes;
            size = length;
            return true;
        }
        m_decoder.resetState();
        const QByteArray fixed = QString(m_decoder.decode(QByteArrayView(bytes, length))).toUtf8();
        buffer.assign(fixed.constData(), std::size_t(fixed.size()));
        data = buffer.data();
        size = qsizetype(buffer.size());
        return true;
    }
    if (!m_isSingleByte)
        return false;
    qsizetype i = 0;
    if (m_asciiIsSame) {
        // Eight bytes at a time while none has its high bit set.
        for (std::uint64_t word = 0; i + 8 <= length; i += 8) {
            std::memcpy(&word, bytes + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
        }
        while (i < length && std::uint8_t(bytes[i]) < 0x80)
            ++i;
        if (i == length) {
            data = bytes;
            size = length;
            return true;
        }
    }
    buffer.assign(bytes, std::size_t(i));
    for (; i < length; ++i) {
        const auto &u = m_utf8[std::uint8_t(bytes[i])];
        buffer.append(u.data(), std::size_t(std::uint8_t(u[3])));
    }
    data = buffer.data();
    size = qsizetype(buffer.size());
    return true;
}

QString TextCodec::decode(QByteArrayView bytes) const
{
    if (m_isSingleByte) {
        QString out(bytes.size(), Qt::Uninitialized);
        char16_t *dst = reinterpret_cast<char16_t *>(out.data());
        for (qsizetype i = 0; i < bytes.size(); ++i)
            dst[i] = m_singleByte[std::uint8_t(bytes[i])];
        return out;
    }
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}

QByteArray TextCodec::encode(const QString &text, const QString &path, const QString &field) const
{
    m_encoder.resetState();
    QByteArray out = m_encoder.encode(text);
    // The converters' error flag is not reliable from one call to the next;
    // a text is stored only when its bytes give the same text back, which
    // also refuses characters a converter would swap for look-alikes.
    if (decode(out) != text)
        throw EngineError(path,
                          QStringLiteral("field %1: the text \"%2\" has characters that code page %3 cannot "
                                         "hold")
                              .arg(field, text.left(40), m_name));
    return out;
}

} // namespace qvx::common
