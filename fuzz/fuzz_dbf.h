// The dbf reader (and writer) on memory files.
//
// Input: one mode byte, then the table. When the mode's high bit is set, two
// little-endian bytes give the table's length and what follows it is the
// memo file. Mode bit 0 names the memo .fpt (else .dbt); bit 1 opens the
// table read-only (else it is also written to).
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/dbf/DbfDriver.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvx::fuzz {

inline Fault dbfInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return nullptr;
    const std::uint8_t mode = data[0];
    QByteArray table(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray memo;
    if (mode & 0x80)
        memo = splitCompanion(table);
    const QString memoName = (mode & 1) ? QStringLiteral("fuzz.fpt") : QStringLiteral("fuzz.dbt");
    try {
        auto t = openDbf(std::make_unique<MemoryFile>(table, QStringLiteral("fuzz.dbf")),
                         memo.isEmpty() ? nullptr : std::make_unique<MemoryFile>(memo, memoName),
                         (mode & 2) != 0);
        (void)t->info();
        if (t->readOnly() && t->readOnlyReason().isEmpty())
            return "a read-only table gives no reason";
        const qint64 count = std::min<qint64>(t->recordCount(), 200);
        Record rec;
        // Every record the table counts reads: damage inside one (a bad memo
        // pointer, a damaged memo) costs that value only.
        for (qint64 i = 0; i < count; ++i) {
            try {
                t->read(i, rec);
                for (std::size_t f = 0; f < t->fields().size(); ++f) {
                    const QVariant v = t->readField(i, int(f));
                    (void)valueToText(v, t->fields()[f].type);
                }
            } catch (const EngineError &) {
                return "a record the table counts could not be read";
            }
        }
        (void)t->warnings();
        if (!t->readOnly() && count > 0) {
            t->read(0, rec);
            t->update(0, rec);
            t->insert(count, rec);
            t->remove(0);
            (void)t->recordCount();
        }
    } catch (const EngineError &) {
    }
    return nullptr;
}

} // namespace qvx::fuzz
