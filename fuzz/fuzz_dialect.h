// Any text through the dialect rewriter: an SqlError or a rewrite, never a
// crash or a hang; and a rewrite's table references are all named. The
// statement's keyword and select list are read from the rewrite without
// either, and the list ends inside the text.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/sql/Dialect.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault dialectInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const sql::Rewrite r = sql::rewriteDialect(text);
        for (const sql::TableRef &t : r.tables) {
            if (t.name.isEmpty() || t.line < 1 || t.column < 1)
                return "a table reference with no name or no place in the text";
        }
        (void)sql::leadingKeyword(r.sql);
        const sql::SelectList list = sql::selectList(r.sql);
        if (!list.columns.empty() && (list.end < 0 || list.end > r.sql.size()))
            return "a select list that ends outside the text";
        for (const sql::ResultColumn &c : list.columns) {
            if (c.function.isEmpty() != c.argument.isEmpty())
                return "a result column with a function and no argument, or the other way";
        }
    } catch (const sql::SqlError &) {
    }
    return nullptr;
}

} // namespace qvx::fuzz
