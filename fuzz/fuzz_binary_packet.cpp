// Feeds arbitrary bytes to the binary data packet reader. Inputs are given the
// format's magic and version so that the fuzzer spends its time past them.
#include "engine/EngineError.h"
#include "engine/packets/BinaryPacketFormat.h"
#include "engine/packets/Packets.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(qvx::binarypacket::kMagic, qvx::binarypacket::kMagicSize);
    bytes.append("\x01\x00\x00\x00", 4);
    bytes.append(reinterpret_cast<const char *>(data), qsizetype(size));
    qvx::Packet packet;
    try {
        packet = qvx::readPacket(bytes, QStringLiteral("fuzz.cds"));
    } catch (const qvx::EngineError &) {
        return 0;
    }
    // What was read writes out in a form that reads back to itself.
    const QByteArray written = qvx::writeBinaryPacket(packet);
    if (qvx::writeBinaryPacket(qvx::readBinaryPacket(written, QStringLiteral("again.cds"))) != written)
        __builtin_trap();
    return 0;
}
