// The text table data reader (and writer) on memory files.
//
// Input: one mode byte, then the data file. Mode bits 0-1 pick the schema
// (delimited, undelimited, tab-separated with a quote delimiter, fixed);
// bit 2 opens the table read-only (else it is also written to, record by
// record and then in a batch rolled back and one committed); bits 3-4
// pick the forms of dates, times and numbers.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/ascii/AsciiDriver.h"
#include "engine/formats/ascii/AsciiTable.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvx::fuzz {

inline constexpr const char *kAsciiFuzzSchemas[] = {
    "[F]\r\nFiletype=VARYING\r\nDelimiter=\"\r\nSeparator=,\r\nField1=A,LONGINT,11,0,0\r\n"
    "Field2=B,CHAR,8,0,0\r\nField3=C,FLOAT,10,2,0\r\nField4=D,DATE,10,0,0\r\nField5=E,MEMO,0,0,0\r\n",
    "[F]\r\nFiletype=VARYING\r\nDelimiter=\r\nSeparator=|\r\nField1=A,NUMBER,6,0,0\r\n"
    "Field2=B,CHAR,20,0,0\r\nField3=C,BOOL,1,0,0\r\nField4=D,TIMESTAMP,19,0,0\r\n",
    "[F]\r\nFiletype=VARYING\r\nDelimiter='\r\nSeparator=#009\r\nCharSet=UTF-8\r\nField1=A,INT64,20,0,0\r\n"
    "Field2=B,CHAR,5,0,0\r\nField3=C,TIME,8,0,0\r\n",
    "[F]\r\nFiletype=FIXED\r\nCharSet=IBM850\r\nField1=A,LONGINT,4,0,0\r\nField2=B,CHAR,6,0,4\r\n"
    "Field3=C,FLOAT,6,2,10\r\nField4=D,DATE,10,0,16\r\nField5=E,BOOL,1,0,3\r\n",
};

// Date, time and number forms as a session's configuration gives them.
inline ascii::TextForms asciiFuzzForms(int which)
{
    switch (which) {
    case 1:
        return ascii::textFormsFromConfig(
            { "SEPARATOR=.", "MODE=1", "FOURDIGITYEAR=FALSE" }, { "MILSECONDS=TRUE" },
            { "DECIMALSEPARATOR=,", "THOUSANDSEPARATOR=.", "LEADINGZERON=FALSE" });
    case 2:
        return ascii::textFormsFromConfig({ "SEPARATOR=/", "MODE=0", "LEADINGZEROD=FALSE" },
                                          { "TWELVEHOUR=TRUE", "SECONDS=FALSE" }, {});
    case 3:
        return ascii::textFormsFromConfig({ "SEPARATOR=:" }, {}, { "THOUSANDSEPARATOR='" });
    default:
        return ascii::defaultTextForms();
    }
}

inline Fault asciiDataInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return nullptr;
    const std::uint8_t mode = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray schema(kAsciiFuzzSchemas[mode & 3]);
    const ascii::TextForms forms = asciiFuzzForms((mode >> 3) & 3);
    try {
        auto t = openAscii(std::make_unique<MemoryFile>(bytes, QStringLiteral("fuzz.txt")), schema,
                           QStringLiteral("fuzz.sch"), (mode & 4) != 0, forms);
        (void)t->info();
        const qint64 count = std::min<qint64>(t->recordCount(), 200);
        Record rec;
        for (qint64 i = 0; i < count; ++i) {
            try {
                t->read(i, rec);
                for (std::size_t f = 0; f < t->fields().size(); ++f)
                    (void)valueToText(rec[f], t->fields()[f].type);
            } catch (const EngineError &) {
                // A damaged record; the others are still read.
            }
        }
        if (!t->readOnly() && count > 0) {
            try {
                t->read(0, rec);
                t->update(0, rec);
                t->insert(count, rec);
                t->insert(0, rec);
                t->remove(1);
            } catch (const EngineError &) {
                // A value that cannot be written back is refused, not mangled.
            }
            const auto *table = dynamic_cast<const ascii::AsciiTable *>(t.get());
            if (!table)
                return "a text table opens as some other kind of table";
            const auto rescans = [&] {
                const QByteArray written = table->dataFile().readBytes(0, table->dataFile().size());
                auto again = openAscii(std::make_unique<MemoryFile>(written, QStringLiteral("fuzz.txt")),
                                       schema, QStringLiteral("fuzz.sch"), true, forms);
                return again->recordCount() == t->recordCount();
            };
            if (!rescans())
                return "what was written does not scan to the records the table holds";

            // The same changes in a batch: dropped, the file is as it was;
            // committed, it scans to what the batch held.
            const QByteArray before = table->dataFile().readBytes(0, table->dataFile().size());
            for (const bool commit : { false, true }) {
                t->beginBatch();
                try {
                    const qint64 n = t->recordCount();
                    if (n > 0) {
                        t->read(n - 1, rec);
                        t->update(n - 1, rec);
                        t->insert(0, rec);
                        t->remove(n);
                        t->insert(n, rec);
                        t->remove(0);
                        for (qint64 i = 0; i < t->recordCount(); ++i)
                            t->read(i, rec);
                    }
                } catch (const EngineError &) {
                }
                const qint64 held = t->recordCount();
                if (!commit) {
                    t->rollbackBatch();
                    if (table->dataFile().readBytes(0, table->dataFile().size()) != before)
                        return "a batch rolled back changed the file";
                    continue;
                }
                t->commitBatch();
                if (t->recordCount() != held)
                    return "a committed batch lost or gained records";
                if (!rescans())
                    return "what a batch wrote does not scan to the records the table holds";
            }
        }
    } catch (const EngineError &) {
    }
    return nullptr;
}

} // namespace qvx::fuzz
