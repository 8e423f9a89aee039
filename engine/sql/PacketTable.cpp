#include "PacketTable.h"

#include "../EngineError.h"

namespace qvx::sql {

PacketTable::PacketTable(const QString &path) : m_path(path)
{
    // No file name is given: the data set never writes itself back.
    m_data.loadFromFile(path);
}

TableInfo PacketTable::info() const
{
    TableInfo i;
    i.format = QStringLiteral("data packet");
    i.recordCount = recordCount();
    return i;
}

QString PacketTable::readOnlyReason() const
{
    return QStringLiteral("SQL reads data packets but does not change them");
}

const Record &PacketTable::row(qint64 index) const
{
    if (index != m_lastIndex) {
        if (!m_data.readRecord(index + 1, m_last))
            throw EngineError(m_path, QStringLiteral("there is no record %1").arg(index + 1));
        m_lastIndex = index;
    }
    return m_last;
}

void PacketTable::read(qint64 index, Record &rec) const
{
    rec = row(index);
}

QVariant PacketTable::readField(qint64 index, int field) const
{
    if (!m_data.hasRecord(index + 1))
        throw EngineError(m_path, QStringLiteral("there is no record %1").arg(index + 1));
    return m_data.readField(index + 1, field);
}

bool PacketTable::readFieldTo(qint64 index, int field, FieldSink &sink) const
{
    return m_data.readFieldTo(index + 1, field, sink);
}

void PacketTable::refuse() const
{
    throw EngineError(m_path, readOnlyReason());
}

qint64 PacketTable::update(qint64, const Record &)
{
    refuse();
}

qint64 PacketTable::insert(qint64, const Record &)
{
    refuse();
}

void PacketTable::remove(qint64)
{
    refuse();
}

} // namespace qvx::sql
