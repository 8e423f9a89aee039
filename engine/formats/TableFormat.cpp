#include "TableFormat.h"

#include "../EngineError.h"
#include "../io/File.h"
#include "common/Decimal.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstdint>

namespace qvx {

WriteAccess::WriteAccess() = default;
WriteAccess::WriteAccess(WriteAccess &&) noexcept = default;
WriteAccess::~WriteAccess() = default;

WriteAccess claimWriteAccess(const QString &path, bool readOnly)
{
    if (!QFileInfo(path).isFile())
        throw EngineError(path, QStringLiteral("the table does not exist"));
    WriteAccess access;
    access.readOnly = readOnly;
    if (readOnly) {
        access.reason = QStringLiteral("the table is open read-only");
    } else if (!QFileInfo(path).isWritable()) {
        access.readOnly = true;
        access.reason = QStringLiteral("the file is read-only on disk");
    } else {
        access.lock = std::make_unique<WriterLock>(path);
    }
    return access;
}

void TableDriver::createIndex(const QString &path, const IndexDef &def) const
{
    (void)def;
    throw EngineError(path, QStringLiteral("tables of this kind have no indexes"));
}

void TableDriver::dropIndex(const QString &path, const QString &name) const
{
    throw EngineError(path, QStringLiteral("tables of this kind have no index %1").arg(name));
}

QString companionFile(const QString &tablePath, const QStringList &extensions)
{
    const QFileInfo info(tablePath);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName();
    for (const QString &ext : extensions) {
        const QString exact = dir.filePath(base + u'.' + ext);
        if (QFileInfo(exact).isFile())
            return exact;
    }
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &ext : extensions) {
        const QString wanted = base + u'.' + ext;
        for (const QString &entry : entries)
            if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
                return dir.filePath(entry);
    }
    return {};
}

void putNumeric(FieldSink &sink, double d)
{
    if (d == std::trunc(d) && std::fabs(d) < 1e15)
        sink.integer(qint64(d));
    else
        sink.real(d);
}

void putDecimal(FieldSink &sink, const char *text, qsizetype length)
{
    qsizetype i = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative)
        ++i;
    std::uint64_t m = 0;
    int digits = 0; // significant digits, leading zeros not counted
    int scale = 0;
    bool fraction = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < '0' || c > '9' || digits >= common::kExactDecimalDigits) {
            sink.text(text, length);
            return;
        }
        if (digits > 0 || c != '0')
            ++digits;
        m = m * 10 + std::uint64_t(c - '0');
        scale += fraction ? 1 : 0;
    }
    if (scale > common::kExactDecimalDigits) {
        sink.text(text, length);
        return;
    }
    const double d = common::scaledToDouble(m, scale);
    putNumeric(sink, negative && m != 0 ? -d : d);
}

std::unique_ptr<OpenTable> TableDriver::open(const QString &path, bool readOnly) const
{
    OpenOptions options;
    options.readOnly = readOnly;
    return open(path, options);
}

} // namespace qvx
