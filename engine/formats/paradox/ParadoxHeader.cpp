#include "ParadoxHeader.h"

#include "../../EngineError.h"
#include "../../io/File.h"

#include <algorithm>
#include <cstring>

namespace qvx::paradox {

namespace {

[[noreturn]] void fail(const File &file, const QString &what)
{
    throw EngineError(file.path(), what);
}

} // namespace

bool Header::hasBlobs() const
{
    return std::any_of(fields.begin(), fields.end(), [](const Field &f) { return f.isBlob(); });
}

QString versionName(std::uint8_t v)
{
    if (v == 3)
        return QStringLiteral("Paradox 3.0");
    if (v == 4)
        return QStringLiteral("Paradox 3.5");
    if (v <= 9)
        return QStringLiteral("Paradox 4");
    if (v <= 0x0B)
        return QStringLiteral("Paradox 5");
    return QStringLiteral("Paradox 7");
}

int fieldLength(std::uint8_t type, int size)
{
    switch (type) {
    case kAlpha:
    case kBytes:
        return size >= 1 && size <= 255 ? size : -1;
    case kDate:
    case kLong:
    case kTime:
    case kAutoInc:
        return size == 4 ? 4 : -1;
    case kShort:
        return size == 2 ? 2 : -1;
    case kMoney:
    case kNumber:
    case kTimestamp:
        return size == 8 ? 8 : -1;
    case kLogical:
        return size == 1 ? 1 : -1;
    case kMemo:
    case kBlob:
    case kFmtMemo:
    case kOle:
    case kGraphic:
        return size >= kBlobPointerSize && size <= kBlobPointerSize + kMaxLeader ? size : -1;
    case kBcd:
        return size <= 32 ? kBcdSize : -1;
    default:
        return -1;
    }
}

namespace {

bool isSecondaryType(std::uint8_t type)
{
    return type == 3 || type == 5 || type == 6 || type == 8;
}

Header readHeaderOf(const File &file, bool secondary)
{
    char fixed[kFixedHeaderEnd];
    if (file.size() < kFixedHeaderEnd)
        fail(file, QStringLiteral("the file is too short to be a Paradox table"));
    file.readExact(0, fixed, kFixedHeaderEnd, "the header");

    Header h;
    h.recordSize = le16(fixed + kRecordSize);
    h.headerSize = le16(fixed + kHeaderSize);
    h.fileType = std::uint8_t(fixed[kFileType]);
    h.blockKiB = std::uint8_t(fixed[kBlockKiB]);
    h.numRecords = le32(fixed + kNumRecords);
    h.blocksInUse = le16(fixed + kBlocksInUse);
    h.fileBlocks = le16(fixed + kFileBlocks);
    h.firstBlock = le16(fixed + kFirstBlock);
    h.lastBlock = le16(fixed + kLastBlock);
    const int numFields = std::int16_t(le16(fixed + kNumFields));
    h.keyFields = std::int16_t(le16(fixed + kKeyFields));
    const std::uint32_t encryption1 = le32(fixed + kEncryption1);
    h.sortOrder = std::uint8_t(fixed[kSortOrder]);
    h.fileVersion = std::uint8_t(fixed[kFileVersion]);
    h.autoInc = le32(fixed + kNextAutoInc);
    h.firstFreeBlock = le16(fixed + kFirstFreeBlock);

    h.rebuildNeeded = fixed[kModified1] != 0;
    h.indexField = std::uint8_t(fixed[kIndexField]);
    h.indexFlags = std::uint8_t(fixed[kIndexFlags]);
    if (secondary && !isSecondaryType(h.fileType))
        fail(file, QStringLiteral("file type %1 is not a secondary index").arg(h.fileType));
    if (h.fileType == 1)
        fail(file, QStringLiteral("this is a primary index (.px), not a table"));
    if (!secondary && h.fileType != kKeyedTable && h.fileType != kUnkeyedTable)
        fail(file,
             QStringLiteral("file type %1 is not a Paradox table (it may be a secondary index)")
                 .arg(h.fileType));
    if (h.fileVersion < 3 || h.fileVersion > 15)
        fail(file, QStringLiteral("file version %1 is not a Paradox table version").arg(h.fileVersion));
    if (h.blockKiB < 1 || h.blockKiB > 32)
        fail(file, QStringLiteral("the block size of %1 KiB is not possible").arg(h.blockKiB));
    if (h.recordSize < 1 || h.recordSize + kBlockHeaderSize > h.blockSize())
        fail(file,
             QStringLiteral("a record of %1 bytes does not fit a block of %2 KiB")
                 .arg(h.recordSize)
                 .arg(h.blockKiB));
    if (h.headerSize < kFixedHeaderEnd || h.headerSize > file.size())
        fail(file, QStringLiteral("the header size %1 does not fit the file").arg(h.headerSize));
    if (numFields < 1 || numFields > 255)
        fail(file, QStringLiteral("the table claims %1 fields").arg(numFields));
    if (h.keyFields < 0 || h.keyFields > numFields)
        fail(file, QStringLiteral("the table claims %1 key fields of %2").arg(h.keyFields).arg(numFields));

    QByteArray head(h.headerSize, Qt::Uninitialized);
    file.readExact(0, head.data(), head.size(), "the header");
    const char *p = head.constData();

    int pos = kFixedHeaderEnd;
    if (h.hasDataHeader()) {
        if (h.headerSize < kDataHeaderEnd)
            fail(file, QStringLiteral("the header is too short for its version"));
        if (le32(p + kEncryption2) != 0 || (encryption1 != 0 && encryption1 != kEncryptedElsewhere))
            fail(file, QStringLiteral("the table is encrypted (password-protected), which is not supported"));
        h.codePage = le16(p + kCodePage);
        pos = kDataHeaderEnd;
    } else if (encryption1 != 0) {
        fail(file, QStringLiteral("the table is encrypted (password-protected), which is not supported"));
    }

    const int nameLength = h.fileVersion >= kVersion7 ? kTableNameLong : kTableNameShort;
    const int namesStart = pos + 2 * numFields + 4 + 4 * numFields + nameLength;
    if (namesStart > h.headerSize)
        fail(file, QStringLiteral("the header is too short for %1 fields").arg(numFields));

    int offset = 0;
    for (int i = 0; i < numFields; ++i) {
        Field f;
        f.type = std::uint8_t(p[pos + 2 * i]);
        f.size = std::uint8_t(p[pos + 2 * i + 1]);
        f.length = fieldLength(f.type, f.size);
        if (f.length < 0)
            fail(file,
                 QStringLiteral("field %1 has type 0x%2 with size %3, which a table cannot have")
                     .arg(i + 1)
                     .arg(f.type, 2, 16, QLatin1Char('0'))
                     .arg(f.size));
        f.offset = offset;
        offset += f.length;
        h.fields.push_back(f);
    }
    if (offset != h.recordSize)
        fail(file,
             QStringLiteral("the fields take %1 bytes, but a record has %2").arg(offset).arg(h.recordSize));

    const char *tableName = p + pos + 6 * numFields + 4;
    h.tableName = QByteArray(tableName, qstrnlen(tableName, nameLength));

    int at = namesStart;
    for (Field &f : h.fields) {
        const char *start = p + at;
        const auto len = qsizetype(qstrnlen(start, std::size_t(h.headerSize - at)));
        if (at + len >= h.headerSize)
            fail(file, QStringLiteral("the field names run past the end of the header"));
        f.name = QByteArray(start, len);
        at += int(len) + 1;
    }
    // Then the field numbers, the sort order's name and (secondary indexes)
    // the index's name. Tables read without them; an index needs its numbers.
    const auto nameAt = [&](QByteArray &out) {
        if (at >= h.headerSize)
            return false;
        const auto len = qsizetype(qstrnlen(p + at, std::size_t(h.headerSize - at)));
        if (at + len >= h.headerSize)
            return false;
        out = QByteArray(p + at, len);
        at += int(len) + 1;
        return true;
    };
    if (at + 2 * numFields <= h.headerSize) {
        for (int i = 0; i < numFields; ++i, at += 2)
            h.fieldNumbers.push_back(le16(p + at));
        if (nameAt(h.sortOrderName) && secondary)
            nameAt(h.indexName);
    }
    if (secondary && h.fieldNumbers.empty())
        fail(file, QStringLiteral("the header ends before the numbers of the indexed fields"));
    return h;
}

} // namespace

Header readHeader(const File &file)
{
    return readHeaderOf(file, false);
}

Header readSecondaryHeader(const File &file)
{
    return readHeaderOf(file, true);
}

void encodeCounts(const Header &h, char *p)
{
    putLe32(p + kNumRecords, h.numRecords);
    putLe16(p + kBlocksInUse, std::uint16_t(h.blocksInUse));
    putLe16(p + kFileBlocks, std::uint16_t(h.fileBlocks));
    putLe16(p + kFirstBlock, std::uint16_t(h.firstBlock));
    putLe16(p + kLastBlock, std::uint16_t(h.lastBlock));
    putLe32(p + kNextAutoInc, h.autoInc);
    putLe16(p + kFirstFreeBlock, std::uint16_t(h.firstFreeBlock));
}

QByteArray encodeHeader(const Header &h)
{
    QByteArray out(h.headerSize, '\0');
    char *p = out.data();
    const int n = int(h.fields.size());
    putLe16(p + kRecordSize, std::uint16_t(h.recordSize));
    putLe16(p + kHeaderSize, std::uint16_t(h.headerSize));
    p[kFileType] = char(h.fileType);
    p[kBlockKiB] = char(h.blockKiB);
    p[kModified1] = char(h.rebuildNeeded ? 1 : 0);
    p[kIndexField] = char(h.indexField);
    p[kIndexFlags] = char(h.indexFlags);
    encodeCounts(h, p);
    putLe16(p + kUnknown12, 12);
    putLe16(p + kNumFields, std::uint16_t(n));
    putLe16(p + kKeyFields, std::uint16_t(h.keyFields));
    p[kSortOrder] = char(h.sortOrder);
    p[kChangeCount1] = 2;
    p[kFileVersion] = char(h.fileVersion);
    p[0x3E] = 0x1F;
    p[0x3F] = 0x0F;
    p[0x56] = 0x20;
    int pos = kFixedHeaderEnd;
    if (h.hasDataHeader()) {
        putLe32(p + kEncryption1, kEncryptedElsewhere);
        const std::uint16_t id = h.fileVersion >= kVersion7 ? 0x010C
            : h.fileVersion >= 0x0A                         ? 0x010B
                                                            : 0x0109;
        putLe16(p + kVersionIds, id);
        putLe16(p + kVersionIds + 2, id);
        putLe16(p + kHiFieldId, std::uint16_t(n + 1));
        putLe16(p + kCodePage, std::uint16_t(h.codePage));
        p[0x6C] = 1;
        p[0x6D] = 1;
        pos = kDataHeaderEnd;
    }
    for (const Field &f : h.fields) {
        p[pos++] = char(f.type);
        p[pos++] = char(f.size);
    }
    pos += 4 + 4 * n; // pointers into the memory of the program that wrote it
    const int nameLength = h.fileVersion >= kVersion7 ? kTableNameLong : kTableNameShort;
    const QByteArray tableName = h.tableName.left(nameLength - 1);
    std::memcpy(p + pos, tableName.constData(), std::size_t(tableName.size()));
    pos += nameLength;
    for (const Field &f : h.fields) {
        std::memcpy(p + pos, f.name.constData(), std::size_t(f.name.size()));
        pos += int(f.name.size()) + 1;
    }
    for (int i = 0; i < n; ++i, pos += 2)
        putLe16(
            p + pos,
            std::uint16_t(std::size_t(i) < h.fieldNumbers.size() ? h.fieldNumbers[std::size_t(i)] : i + 1));
    const QByteArray sortOrder = h.sortOrderName.isEmpty() ? QByteArray("ascii") : h.sortOrderName;
    std::memcpy(p + pos, sortOrder.constData(), std::size_t(sortOrder.size()));
    pos += int(sortOrder.size()) + 1;
    std::memcpy(p + pos, h.indexName.constData(), std::size_t(h.indexName.size()));
    return out;
}

int headerSizeFor(const Header &h)
{
    int size = h.hasDataHeader() ? kDataHeaderEnd : kFixedHeaderEnd;
    size += 6 * int(h.fields.size()) + 4 + (h.fileVersion >= kVersion7 ? kTableNameLong : kTableNameShort);
    for (const Field &f : h.fields)
        size += int(f.name.size()) + 1 + 2;
    size += int(std::max<qsizetype>(h.sortOrderName.size(), 5)) + 1; // the sort order's name
    if (!h.indexName.isEmpty())
        size += int(h.indexName.size()) + 1;
    return (size + 0x7FF) / 0x800 * 0x800;
}

} // namespace qvx::paradox
