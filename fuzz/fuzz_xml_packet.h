// The XML data packet reader on arbitrary bytes. Anything it accepts must
// write out as a binary packet and as XML, and both must read back; written
// as XML it must read back equal. Through a binary packet it need not yet:
// text with a broken UTF-16 character (a lone surrogate, which a packet in
// UTF-7 can give) does not survive the binary packet's UTF-8.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/packets/Packets.h"

#include <QByteArray>
#include <QVariant>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

// Do two packets hold the same fields, indexes, nested definitions and
// values? Presentation (labels, alignment) is not part of a packet's data.
inline bool samePacket(const Packet &a, const Packet &b)
{
    if (a.fields.size() != b.fields.size() || a.rows.size() != b.rows.size() || !(a.indexes == b.indexes))
        return false;
    for (std::size_t i = 0; i < a.fields.size(); ++i) {
        const FieldDef &x = a.fields[i];
        const FieldDef &y = b.fields[i];
        if (x.name != y.name || x.type != y.type || x.size != y.size || x.decimals != y.decimals
            || x.required != y.required || x.readOnly != y.readOnly)
            return false;
    }
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        const Record rowA = a.rows[r], rowB = b.rows[r];
        if (rowA.size() != rowB.size())
            return false;
        for (std::size_t f = 0; f < rowA.size(); ++f) {
            const QVariant &x = rowA[f];
            const QVariant &y = rowB[f];
            if (x.isNull() != y.isNull())
                return false;
            // NaN is not equal to itself, yet it is the same value kept.
            const bool bothNaN = x.typeId() == QMetaType::Double && y.typeId() == QMetaType::Double
                && x.toDouble() != x.toDouble() && y.toDouble() != y.toDouble();
            if (!x.isNull() && !bothNaN && x != y)
                return false;
        }
    }
    return a.nestedDefinitions == b.nestedDefinitions;
}

inline Fault xmlPacketInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Packet packet;
    try {
        packet = readXmlPacket(bytes, QStringLiteral("fuzz.xml"));
    } catch (const EngineError &e) {
        if (!e.message().startsWith(QStringLiteral("fuzz.xml: ")))
            return "an error that does not name the packet";
        return nullptr;
    }
    const QByteArray binary = writeBinaryPacket(packet);
    try {
        readBinaryPacket(binary, QStringLiteral("again.cds"));
    } catch (const EngineError &) {
        return "a packet read from XML writes a binary packet the reader refuses";
    }
    QByteArray xml;
    try {
        xml = writeXmlPacket(packet);
    } catch (const EngineError &e) {
        // Text that XML cannot carry is refused on writing; nothing else may fail.
        if (!e.message().contains(QStringLiteral("cannot carry")))
            return "the XML writer refuses a packet for a reason other than text XML cannot carry";
        return nullptr;
    }
    try {
        if (!samePacket(packet, readXmlPacket(xml, QStringLiteral("again.xml"))))
            return "a packet written as XML reads back different";
    } catch (const EngineError &) {
        return "the XML packet writer wrote what the reader refuses";
    }
    return nullptr;
}

} // namespace qvx::fuzz
