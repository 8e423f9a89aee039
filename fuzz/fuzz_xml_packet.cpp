// Feeds arbitrary bytes to the XML data packet reader. Anything it accepts
// must also write out and read back.
#include "engine/EngineError.h"
#include "engine/packets/Packets.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    qvx::Packet packet;
    try {
        packet = qvx::readXmlPacket(bytes, QStringLiteral("fuzz.xml"));
    } catch (const qvx::EngineError &) {
        return 0;
    }
    try {
        qvx::readXmlPacket(qvx::writeXmlPacket(packet), QStringLiteral("again.xml"));
    } catch (const qvx::EngineError &e) {
        // Text that XML cannot carry is refused on writing; nothing else may fail.
        if (!e.message().contains(QStringLiteral("cannot carry")))
            __builtin_trap();
    }
    qvx::readBinaryPacket(qvx::writeBinaryPacket(packet), QStringLiteral("again.cds"));
    return 0;
}
