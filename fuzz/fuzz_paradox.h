// The Paradox table reader (and writer) on memory files.
//
// Input: one mode byte, then the table. When the mode's high bit is set, two
// little-endian bytes give the table's length and what follows it is the
// blob file (.mb), or with mode bit 2 the primary index (.px), which is also
// read on its own. Mode bit 1 opens the table read-only (else it is also
// written to, keeping a keyed table's index).
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/paradox/ParadoxDriver.h"
#include "engine/formats/paradox/ParadoxHeader.h"
#include "engine/formats/paradox/ParadoxIndex.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace qvx::fuzz {

inline Fault paradoxInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return nullptr;
    const std::uint8_t mode = data[0];
    QByteArray table(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray blobs;
    if (mode & 0x80)
        blobs = splitCompanion(table);
    const bool isIndex = (mode & 4) != 0;
    QByteArray index;
    if (isIndex) {
        std::swap(index, blobs);
        try {
            const MemoryFile db(table, QStringLiteral("fuzz.db"));
            const paradox::Header h = paradox::readHeader(db);
            (void)paradox::readPrimaryIndex(MemoryFile(index, QStringLiteral("fuzz.px")), h);
        } catch (const EngineError &) {
        }
    }
    try {
        auto t = openParadox(
            std::make_unique<MemoryFile>(table, QStringLiteral("fuzz.db")),
            blobs.isEmpty() ? nullptr : std::make_unique<MemoryFile>(blobs, QStringLiteral("fuzz.mb")),
            (mode & 2) != 0,
            index.isEmpty() ? nullptr : std::make_unique<MemoryFile>(index, QStringLiteral("fuzz.px")));
        (void)t->info();
        Record rec;
        qint64 count = 0;
        for (; count < 200 && t->hasRecord(count); ++count) {
            try {
                t->read(count, rec);
                for (std::size_t f = 0; f < t->fields().size(); ++f) {
                    const QVariant v = t->readField(count, int(f));
                    (void)valueToText(v, t->fields()[f].type);
                }
            } catch (const EngineError &) {
                // A damaged record; the others are still read.
            }
        }
        (void)t->recordCount();
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
