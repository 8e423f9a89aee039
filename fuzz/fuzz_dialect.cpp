// Any text through the dialect rewriter: an SqlError or a rewrite, never a
// crash or a hang; and a rewrite's table references are all named.
#include "engine/sql/Dialect.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const qvx::sql::Rewrite r = qvx::sql::rewriteDialect(text);
        for (const qvx::sql::TableRef &t : r.tables) {
            if (t.name.isEmpty() || t.line < 1 || t.column < 1)
                std::abort();
        }
    } catch (const qvx::sql::SqlError &) {
    }
    return 0;
}
