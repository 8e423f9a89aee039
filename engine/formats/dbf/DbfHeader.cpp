#include "DbfHeader.h"

#include "../../EngineError.h"
#include "../../io/File.h"

#include <QtGlobal>

#include <cstring>

namespace qvx::dbf {

namespace {

QString typeText(char type)
{
    return QString::fromLatin1(&type, 1);
}

QString nameText(const QByteArray &name)
{
    return QString::fromLatin1(name);
}

// The lengths a field of each type may have.
bool lengthAllowed(char type, int length, Variant variant)
{
    switch (type) {
    case 'C':
        return length >= 1;
    case 'N':
    case 'F':
        return length >= 1 && length <= 254;
    case 'D':
        return length == 8;
    case 'L':
        return length == 1;
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        return length == kMemoPointerWidth || length == kVfpPointerWidth;
    case 'B':
        return variant == Variant::VisualFoxPro ? length == 8
                                                : length == kMemoPointerWidth || length == kVfpPointerWidth;
    case 'Y':
    case 'T':
        return length == 8;
    case 'I':
        return length == 4;
    case 'V':
    case 'Q':
        return length >= 1 && length <= 254;
    case '0':
        return length >= 1 && length <= 254;
    default:
        return false;
    }
}

} // namespace

QString variantName(Variant v)
{
    switch (v) {
    case Variant::DBase3:
        return QStringLiteral("dBASE III+");
    case Variant::DBase4:
        return QStringLiteral("dBASE IV");
    case Variant::FoxPro2:
        return QStringLiteral("FoxPro 2.x");
    case Variant::VisualFoxPro:
        return QStringLiteral("Visual FoxPro");
    }
    return {};
}

void classifyVersion(std::uint8_t version, const QString &path, Variant &variant, MemoKind &memo)
{
    switch (version) {
    case 0x03:
        variant = Variant::DBase3;
        memo = MemoKind::None;
        return;
    case 0x83:
        variant = Variant::DBase3;
        memo = MemoKind::Dbt3;
        return;
    case 0x43: // dBASE IV SQL table / system file, no memo
    case 0x63:
        variant = Variant::DBase4;
        memo = MemoKind::None;
        return;
    case 0x05: // dBASE 5 without memo: the dBASE IV layout
        variant = Variant::DBase4;
        memo = MemoKind::None;
        return;
    case 0x84: // a dBASE IV table with memo as some writers mark it; the memo
               // file's header tells its style (MemoKind::None)
        variant = Variant::DBase4;
        memo = MemoKind::None;
        return;
    case 0x8B:
    case 0xCB: // dBASE IV SQL table with memo
        variant = Variant::DBase4;
        memo = MemoKind::Dbt4;
        return;
    case 0xF5:
        variant = Variant::FoxPro2;
        memo = MemoKind::Fpt;
        return;
    case 0x30:
    case 0x31:
    case 0x32:
        variant = Variant::VisualFoxPro;
        memo = MemoKind::Fpt;
        return;
    default:
        break;
    }
    if ((version & 0x07) == 4)
        throw EngineError(path,
                          QStringLiteral("it is a dBASE 7 table (version byte 0x%1), which is not supported")
                              .arg(version, 2, 16, QLatin1Char('0')));
    throw EngineError(
        path,
        QStringLiteral("it is not a dBASE or FoxPro table this program knows (version byte 0x%1)")
            .arg(version, 2, 16, QLatin1Char('0')));
}

bool isMemoType(char type, Variant variant)
{
    switch (type) {
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        return true;
    case 'B':
        return variant != Variant::VisualFoxPro;
    default:
        return false;
    }
}

bool Header::needsMemo() const
{
    for (const FieldDescriptor &f : fields)
        if (isMemoType(f.type, variant))
            return true;
    return false;
}

Header readHeader(const File &file)
{
    const QString path = file.path();
    const qint64 fileSize = file.size();
    if (fileSize < kFileHeaderSize)
        throw EngineError(path,
                          QStringLiteral("the file is too short to be a table (%1 bytes)").arg(fileSize));

    char fixed[kFileHeaderSize];
    file.readExact(0, fixed, kFileHeaderSize, "the file header");

    Header h;
    h.version = std::uint8_t(fixed[0]);
    classifyVersion(h.version, path, h.variant, h.memoKind);

    const int yearByte = std::uint8_t(fixed[1]);
    h.lastUpdate = QDate(yearByte < 80 ? 2000 + yearByte : 1900 + yearByte, std::uint8_t(fixed[2]),
                         std::uint8_t(fixed[3]));
    h.recordCount = le32(fixed + 4);
    h.headerLength = le16(fixed + 8);
    h.recordLength = le16(fixed + 10);
    h.tableFlags = std::uint8_t(fixed[28]);
    h.languageDriver = std::uint8_t(fixed[29]);

    if (h.headerLength < kFileHeaderSize + 1)
        throw EngineError(path,
                          QStringLiteral("the header length (%1 bytes) is too short").arg(h.headerLength));
    if (h.headerLength > fileSize)
        throw EngineError(
            path,
            QStringLiteral("the header length (%1 bytes) runs past the end of the file (%2 bytes)")
                .arg(h.headerLength)
                .arg(fileSize));
    if (h.recordLength < 2)
        throw EngineError(path,
                          QStringLiteral("the record length (%1 bytes) is too short").arg(h.recordLength));

    QByteArray bytes(h.headerLength, Qt::Uninitialized);
    file.readExact(0, bytes.data(), bytes.size(), "the table header");

    // Descriptors run to the 0x0D terminator (0x0A from some writers); the
    // header length must hold them. Without a terminator they end where the
    // header does, or where no further descriptor fits or one has no name,
    // provided the fields so far make up the record exactly.
    std::vector<int> shortLengths, longLengths;
    qint64 shortSoFar = 1, longSoFar = 1;
    int pos = kFileHeaderSize;
    for (;;) {
        if (pos == h.headerLength)
            break;
        if (bytes[pos] == kHeaderEnd || bytes[pos] == '\n')
            break;
        const bool complete
            = !h.fields.empty() && (shortSoFar == h.recordLength || longSoFar == h.recordLength);
        if (complete && (bytes[pos] == '\0' || pos + kDescriptorSize > h.headerLength))
            break;
        if (pos + kDescriptorSize > h.headerLength)
            throw EngineError(
                path,
                QStringLiteral("the header length (%1 bytes) is shorter than its field descriptors")
                    .arg(h.headerLength));
        const char *d = bytes.constData() + pos;
        FieldDescriptor f;
        int nameLen = 0;
        while (nameLen < 11 && d[nameLen] != '\0')
            ++nameLen;
        f.name = QByteArray(d, nameLen);
        f.type = d[11];
        const int lenLow = std::uint8_t(d[16]);
        const int decByte = std::uint8_t(d[17]);
        f.decimals = decByte;
        f.flags = h.isVfp() ? std::uint8_t(d[18]) : 0;
        f.autoIncNext = le32(d + 19);
        f.autoIncStep = std::uint8_t(d[23]);
        f.length = lenLow;
        shortLengths.push_back(lenLow);
        longLengths.push_back(f.type == 'C' ? lenLow + 256 * decByte : lenLow);
        shortSoFar += shortLengths.back();
        longSoFar += longLengths.back();
        if (f.type == '@' || f.type == '+' || f.type == 'O')
            throw EngineError(path,
                              QStringLiteral("field %1 has the dBASE 7 type '%2', which is not supported")
                                  .arg(nameText(f.name), typeText(f.type)));
        h.fields.push_back(f);
        pos += kDescriptorSize;
    }
    if (h.fields.empty())
        throw EngineError(path, QStringLiteral("the table has no fields"));

    // Long C fields keep the high byte of their length in the decimals
    // byte. Which reading is right shows in the record length.
    qint64 shortSum = 1, longSum = 1;
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        shortSum += shortLengths[i];
        longSum += longLengths[i];
    }
    // A record length past the fields is padding some writers leave at the
    // end of each record; it is skipped (and kept when a record is rewritten).
    const bool useLong = longSum == h.recordLength;
    if (!useLong && shortSum > h.recordLength)
        throw EngineError(
            path,
            QStringLiteral("the field lengths add up to %1 bytes, but the header says records are "
                           "%2 bytes long")
                .arg(shortSum)
                .arg(h.recordLength));

    int offset = 1;
    int nullBitsNeeded = 0;
    int nullFlagsWidth = -1;
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        FieldDescriptor &f = h.fields[i];
        if (useLong && f.type == 'C') {
            f.length = longLengths[i];
            f.decimals = 0;
        }
        if (!lengthAllowed(f.type, f.length, h.variant)) {
            if (f.type != '\0' && std::strchr("CNFDLMGPWBYTIVQ0", f.type))
                throw EngineError(path,
                                  QStringLiteral("field %1 of type '%2' cannot be %3 bytes long")
                                      .arg(nameText(f.name), typeText(f.type))
                                      .arg(f.length));
            throw EngineError(path,
                              QStringLiteral("field %1 has an unknown type (byte 0x%2)")
                                  .arg(nameText(f.name))
                                  .arg(std::uint8_t(f.type), 2, 16, QLatin1Char('0')));
        }
        if ((f.type == 'N' || f.type == 'F') && f.decimals >= f.length && f.decimals > 0)
            throw EngineError(path,
                              QStringLiteral("field %1 has %2 decimals in a width of %3")
                                  .arg(nameText(f.name))
                                  .arg(f.decimals)
                                  .arg(f.length));
        if (f.type != 'N' && f.type != 'F')
            f.decimals = 0;
        f.offset = offset;
        offset += f.length;
        if (f.type == '0') {
            f.flags |= kFieldSystem;
            nullFlagsWidth = f.length;
        } else if (h.isVfp()) {
            if (f.type == 'V' || f.type == 'Q')
                ++nullBitsNeeded;
            if (f.isNullable())
                ++nullBitsNeeded;
        }
    }
    if (h.isVfp() && nullBitsNeeded > 0 && nullFlagsWidth >= 0 && nullBitsNeeded > nullFlagsWidth * 8)
        throw EngineError(path,
                          QStringLiteral("the _NullFlags field is too short for the fields that need it"));
    return h;
}

QByteArray encodeDateAndCount(Variant variant, const QDate &date, std::uint32_t count)
{
    QByteArray out(7, '\0');
    // dBASE counts the year from 1900, FoxPro keeps the last two digits;
    // readers take a byte below 80 as 2000+ either way.
    const int year = date.year();
    const bool fox = variant == Variant::FoxPro2 || variant == Variant::VisualFoxPro;
    out[0] = char(fox ? year % 100 : qBound(0, year - 1900, 255));
    out[1] = char(date.month());
    out[2] = char(date.day());
    putLe32(out.data() + 3, count);
    return out;
}

QByteArray encodeDescriptor(const FieldDescriptor &f)
{
    QByteArray d(kDescriptorSize, '\0');
    const QByteArray name = f.name.left(kMaxNameLength);
    std::copy(name.begin(), name.end(), d.begin());
    d[11] = f.type;
    putLe32(d.data() + 12, std::uint32_t(f.offset));
    if (f.type == 'C' && f.length > 255) {
        d[16] = char(f.length & 0xFF);
        d[17] = char(f.length >> 8);
    } else {
        d[16] = char(f.length);
        d[17] = char(f.decimals);
    }
    d[18] = char(f.flags);
    if (f.isAutoInc()) {
        putLe32(d.data() + 19, f.autoIncNext);
        d[23] = char(f.autoIncStep);
    }
    return d;
}

QByteArray encodeHeader(const Header &h)
{
    QByteArray out(kFileHeaderSize, '\0');
    out[0] = char(h.version);
    const QByteArray dc = encodeDateAndCount(h.variant, h.lastUpdate, h.recordCount);
    std::copy(dc.begin(), dc.end(), out.begin() + 1);
    putLe16(out.data() + 8, std::uint16_t(h.headerLength));
    putLe16(out.data() + 10, std::uint16_t(h.recordLength));
    out[28] = char(h.tableFlags);
    out[29] = char(h.languageDriver);
    for (const FieldDescriptor &f : h.fields)
        out += encodeDescriptor(f);
    out += kHeaderEnd;
    if (h.isVfp())
        out += QByteArray(kBacklinkSize, '\0');
    out.resize(h.headerLength, '\0');
    return out;
}

} // namespace qvx::dbf
