#include "TableFormat.h"

#include "../EngineError.h"
#include "../io/File.h"

#include <QFileInfo>

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

} // namespace qvx
