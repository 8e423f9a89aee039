// The binary data packet reader on arbitrary bytes. Inputs are given the
// format's magic and version so that the fuzzer spends its time past them.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/packets/BinaryPacketFormat.h"
#include "engine/packets/Packets.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

inline Fault binaryPacketInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(binarypacket::kMagic, binarypacket::kMagicSize);
    bytes.append("\x01\x00\x00\x00", 4);
    bytes.append(reinterpret_cast<const char *>(data), qsizetype(size));
    Packet packet;
    try {
        packet = readPacket(bytes, QStringLiteral("fuzz.cds"));
    } catch (const EngineError &e) {
        if (!e.message().startsWith(QStringLiteral("fuzz.cds: ")))
            return "an error that does not name the packet";
        return nullptr;
    }
    // What was read writes out in a form that reads back to itself.
    const QByteArray written = writeBinaryPacket(packet);
    try {
        if (writeBinaryPacket(readBinaryPacket(written, QStringLiteral("again.cds"))) != written)
            return "a packet changes when written and read back";
    } catch (const EngineError &) {
        return "the binary packet writer wrote what the reader refuses";
    }
    return nullptr;
}

} // namespace qvx::fuzz
