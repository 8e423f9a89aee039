// A data packet (an .xml or .cds client data set) as the table module sees
// a table: read whole into a ClientDataSet, its rows read by index. SQL
// reads a packet but does not change it.
#pragma once

#include "../ClientDataSet.h"
#include "../formats/TableFormat.h"

namespace qvx::sql {

class PacketTable final : public OpenTable {
public:
    // Throws EngineError naming the file when it cannot be read.
    explicit PacketTable(const QString &path);

    const FieldDefs &fields() const override { return m_data.fields(); }
    TableInfo info() const override;
    bool readOnly() const override { return true; }
    QString readOnlyReason() const override;
    qint64 recordCount() const override { return m_data.recordCount(); }
    void read(qint64 index, Record &rec) const override;
    QVariant readField(qint64 index, int field) const override;
    bool readFieldTo(qint64 index, int field, FieldSink &sink) const override;
    qint64 update(qint64 index, const Record &rec) override;
    qint64 insert(qint64 before, const Record &rec) override;
    void remove(qint64 index) override;

private:
    [[noreturn]] void refuse() const;
    const Record &row(qint64 index) const;

    QString m_path;
    ClientDataSet m_data;
    // read() of the same record again: it is decoded once.
    mutable qint64 m_lastIndex = -1;
    mutable Record m_last;
};

} // namespace qvx::sql
