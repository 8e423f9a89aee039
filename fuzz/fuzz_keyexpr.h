// Any text as a key or FOR expression over a small table's fields, and any
// bytes as a record: an EngineError from the parser, or a value, never a
// crash, a hang or an unbounded allocation. A character value is exactly as
// long as the expression says, and evaluating twice gives the same value.
//
// Input: the expression (UTF-8) up to the first newline, then the record's
// bytes, cut or padded with spaces to the record's length.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/formats/common/CodePage.h"
#include "engine/index/KeyExpression.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvx::fuzz {

inline Fault keyExprInput(const std::uint8_t *data, std::size_t size)
{
    // Deletion flag, NAME C(10), PRICE N(8,2), BORN D, PAID L, NOTES M(10).
    static const std::vector<index::ExprField> fields = {
        { QStringLiteral("NAME"), 'C', 1, 10, 0 },   { QStringLiteral("PRICE"), 'N', 11, 8, 2 },
        { QStringLiteral("BORN"), 'D', 19, 8, 0 },   { QStringLiteral("PAID"), 'L', 27, 1, 0 },
        { QStringLiteral("NOTES"), 'M', 28, 10, 0 },
    };
    constexpr int kRecordLength = 38;
    static const common::TextCodec codec(QStringLiteral("windows-1252"));

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QString text = QString::fromUtf8(input.left(newline < 0 ? input.size() : newline));
    QByteArray record = newline < 0 ? QByteArray() : input.mid(newline + 1);
    record = record.leftJustified(kRecordLength, ' ', true);
    try {
        const index::KeyExpression e(text, fields, codec);
        const index::KeyValue v = e.evaluate(record.constData());
        if (v.type != e.type())
            return "a value of another type than the expression's";
        if (e.type() == index::KeyType::Character && v.text.size() != e.length())
            return "a character value whose length is not the expression's";
        if (e.singleField() >= int(fields.size()))
            return "a single field outside the field list";
        const index::KeyValue again = e.evaluate(record.constData());
        if (again.text != v.text || again.logical != v.logical
            || (again.number != v.number && !(again.number != again.number && v.number != v.number)))
            return "two evaluations of one record that differ";
        if (e.type() == index::KeyType::Logical && e.test(record.constData()) != v.logical)
            return "test() and evaluate() disagree";
    } catch (const EngineError &) {
    }
    return nullptr;
}

} // namespace qvx::fuzz
