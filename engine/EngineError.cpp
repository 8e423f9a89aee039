#include "EngineError.h"

#include <QFileInfo>

namespace qvx {

void namingFile(const QString &path, const std::function<void()> &work)
{
    try {
        work();
    } catch (const EngineError &e) {
        if (e.message().contains(QFileInfo(path).fileName()))
            throw;
        throw EngineError(path, e.message());
    }
}

} // namespace qvx
