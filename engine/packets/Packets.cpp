#include "Packets.h"

#include "../EngineError.h"

#include <QSet>

namespace qvx {

bool looksLikeXmlPacket(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true; // UTF-16 with a byte order mark; the XML reader decodes it
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

Packet readPacket(const QByteArray &bytes, const QString &source)
{
    if (looksLikeBinaryPacket(bytes))
        return readBinaryPacket(bytes, source);
    if (looksLikeXmlPacket(bytes))
        return readXmlPacket(bytes, source);
    throw EngineError(
        source,
        bytes.isEmpty() ? QStringLiteral("the file is empty, not a data packet")
                        : QStringLiteral("not a data packet (neither XML nor this program's binary packet)"));
}

void checkPacketStructure(const Packet &packet, const QString &source)
{
    QSet<QString> names;
    for (const FieldDef &f : packet.fields) {
        if (f.name.isEmpty())
            throw EngineError(source, QStringLiteral("a field has no name"));
        const QString key = f.name.toLower();
        if (names.contains(key))
            throw EngineError(source, QStringLiteral("the field name '%1' is used twice").arg(f.name));
        names.insert(key);
    }
    QSet<QString> indexNames;
    for (const IndexDef &index : packet.indexes) {
        if (index.name.isEmpty())
            throw EngineError(source, QStringLiteral("an index definition has no name"));
        if (indexNames.contains(index.name.toLower()))
            throw EngineError(source, QStringLiteral("the index name '%1' is used twice").arg(index.name));
        indexNames.insert(index.name.toLower());
        if (index.fields.isEmpty())
            throw EngineError(source, QStringLiteral("index '%1' names no fields").arg(index.name));
        for (const QString &field : index.fields) {
            if (!names.contains(field.toLower()))
                throw EngineError(
                    source, QStringLiteral("index '%1' names the unknown field '%2'").arg(index.name, field));
        }
    }
}

} // namespace qvx
