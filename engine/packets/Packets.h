// Reading and writing data packets. The XML packet is the interchange form
// (DATAPACKET, METADATA, ROWDATA); the binary packet is this program's own
// layout, drawn in BinaryPacketFormat.h.
#pragma once

#include "Packet.h"

namespace qvx {

// Both readers throw EngineError naming `source` and the fault on malformed input.
Packet readXmlPacket(const QByteArray &bytes, const QString &source);
// Throws EngineError when a value cannot be carried by XML (a control
// character in a string field, nested data that is not XML).
QByteArray writeXmlPacket(const Packet &packet);
Packet readBinaryPacket(const QByteArray &bytes, const QString &source);
QByteArray writeBinaryPacket(const Packet &packet);

// Detects the format from the content and reads it.
Packet readPacket(const QByteArray &bytes, const QString &source);
bool looksLikeBinaryPacket(const QByteArray &bytes);
// An XML document after an optional byte order mark and white space.
bool looksLikeXmlPacket(const QByteArray &bytes);

// Checks what both readers demand of a packet's structure: named, distinct
// fields and index definitions that name existing fields.
void checkPacketStructure(const Packet &packet, const QString &source);

} // namespace qvx
