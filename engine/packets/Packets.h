// Reading and writing data packets. The XML packet is the interchange form
// (DATAPACKET, METADATA, ROWDATA); the binary packet is this program's own
// layout, described in BinaryPacket.cpp.
#pragma once

#include "../ClientDataSet.h"

namespace qvx {

// Both readers throw EngineError naming `source` and the fault on malformed input.
Packet readXmlPacket(const QByteArray &bytes, const QString &source);
QByteArray writeXmlPacket(const Packet &packet);
Packet readBinaryPacket(const QByteArray &bytes, const QString &source);
QByteArray writeBinaryPacket(const Packet &packet);

// Detects the format from the content and reads it.
Packet readPacket(const QByteArray &bytes, const QString &source);
bool looksLikeBinaryPacket(const QByteArray &bytes);

} // namespace qvx
