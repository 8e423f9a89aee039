// An in-memory data set, read from and written to data packets (XML or this
// program's own binary layout). When it has a file name and its data changed,
// it writes itself back to that file when it is closed or destroyed.
#pragma once

#include "DataSet.h"
#include "FileKinds.h"
#include "packets/Packet.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace qvx {

// Closing a data set that has a file name and changed data writes it back
// first; when that fails the error is raised and the data set stays open
// with its rows and its changed flag, until a write succeeds. (Closed through
// the DataSet base, it closes but keeps the rows, and opening again brings
// them back rather than the older file.) The destructor writes back too but
// only logs a failure.
class ClientDataSet : public DataSet {
public:
    ClientDataSet();
    ~ClientDataSet() override; // writes back to fileName() when changed (errors are swallowed and logged)

    // Field definitions for createDataSet().
    void clearFieldDefs() { m_fieldDefs.clear(); }
    void addFieldDef(const QString &name, FieldType type, int size = 0, bool required = false,
                     int decimals = 0);
    const FieldDefs &fieldDefs() const { return m_fieldDefs; }
    // Creates the data set empty in memory from the field definitions and opens it.
    void createDataSet();
    void emptyDataSet();
    // Writes back (see above) before closing; throws, still open, when that fails.
    void close();

    // Kept and written into the packet; the fields are checked against the
    // field definitions when the data set is created.
    void addIndexDef(const QString &name, const QStringList &fields);
    const std::vector<IndexDef> &indexDefs() const { return m_indexes; }
    // Forgets every index definition, so that a data set can be defined
    // again from the start.
    void clearIndexDefs() { m_indexes.clear(); }

    void setFileName(const QString &path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }
    // open() with a file name reads the packet in it (format detected).
    void loadFromFile(const QString &path); // format detected from the content
    // Writes a packet; a Binary save to a name ending in ".xml" (any case)
    // writes XML. Does nothing when the data set is not open. Atomic.
    void saveToFile(const QString &path, PacketFormat format = PacketFormat::Binary) const;
    // Writes back to fileName() (XML for ".xml", binary otherwise) when changed.
    void saveIfChanged();
    // The packet a save would write now.
    Packet snapshot() const;
    static PacketFormat formatForFileName(const QString &path, PacketFormat asked);
    bool changedSinceLoad() const { return m_changed; }

    QString displayName() const override;

protected:
    FieldDefs doOpen() override;
    void doClose() override;
    qint64 doRecordCount() const override { return qint64(m_rows.size()); }
    void doRead(qint64 index, Record &rec) const override;
    // Values straight from the row store: numbers, booleans, text and
    // decimals as they are held, dates as yyyy-MM-dd; false for times, bytes
    // and the rare value held in another form than its field's.
    bool doReadFieldTo(qint64 index, int field, FieldSink &sink) const override;
    QVariant doReadField(qint64 index, int field) const override;
    qint64 doUpdate(qint64 index, const Record &rec) override;
    qint64 doInsert(qint64 before, const Record &rec) override;
    void doDelete(qint64 index) override;
    Bookmark doBookmark(qint64 index) const override;
    qint64 doIndexOfBookmark(Bookmark bm) const override;

private:
    void adopt(Packet &&packet);
    void writePacket(const QString &path, PacketFormat format) const;
    void markChanged() { m_changed = true; }

    FieldDefs m_fieldDefs;
    std::vector<IndexDef> m_indexes;
    QHash<QString, QByteArray> m_nestedDefinitions;
    QString m_fileName;
    // Rows and their ids side by side: a loaded packet's rows move in whole,
    // and the id of a row is its bookmark, stable while rows come and go
    // around it. Every row holds a value for each field.
    RowStore m_rows;
    std::vector<qint64> m_ids;
    qint64 m_nextId = 1;
    mutable std::size_t m_lookupHint = 0; // where the last bookmark was found
    std::vector<qint64> m_nextAutoInc; // per field; used by auto-increment fields only
    bool m_hasData = false; // rows held (open, or kept after a failed write-back)
    mutable bool m_changed = false; // cleared by a save to fileName()
    bool m_createPending = false;
    std::unique_ptr<Packet> m_pendingLoad;
};

} // namespace qvx
