#include "ClientDataSet.h"

#include "Value.h"
#include "formats/TableFormat.h"
#include "formats/common/SqlDate.h"
#include "io/File.h"
#include "packets/Packets.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtDebug>

#include <algorithm>

namespace qvx {

ClientDataSet::ClientDataSet() = default;

ClientDataSet::~ClientDataSet()
{
    // Never throw from here: the data set may be going away because of an
    // exception already, and a window closing must not be stopped by a failed
    // write. The failure is logged instead.
    try {
        if (m_hasData && m_changed && !m_fileName.isEmpty())
            writePacket(m_fileName, formatForFileName(m_fileName, PacketFormat::Binary));
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    }
    m_changed = false;
    try {
        close();
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    }
}

QString ClientDataSet::displayName() const
{
    return m_fileName.isEmpty() ? QStringLiteral("client data set") : QFileInfo(m_fileName).fileName();
}

void ClientDataSet::addFieldDef(const QString &name, FieldType type, int size, bool required, int decimals)
{
    if (name.trimmed().isEmpty())
        raise(QStringLiteral("A field needs a name"));
    if (size < 0 || decimals < 0)
        raise(QStringLiteral("Field '%1' has a negative size").arg(name));
    for (const FieldDef &f : m_fieldDefs) {
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            raise(QStringLiteral("Duplicate field name '%1'").arg(name));
    }
    m_fieldDefs.emplace_back(name, type, size, decimals, required);
}

void ClientDataSet::addIndexDef(const QString &name, const QStringList &fields)
{
    if (name.trimmed().isEmpty())
        raise(QStringLiteral("An index needs a name"));
    if (fields.isEmpty())
        raise(QStringLiteral("Index '%1' names no fields").arg(name));
    for (const QString &field : fields) {
        // ';' separates the fields of an index where a packet stores it.
        if (field.isEmpty() || field.contains(u';'))
            raise(QStringLiteral("Index '%1' names the field '%2', which cannot be a field name")
                      .arg(name, field));
    }
    for (const IndexDef &index : m_indexes) {
        if (index.name.compare(name, Qt::CaseInsensitive) == 0)
            raise(QStringLiteral("Duplicate index name '%1'").arg(name));
    }
    m_indexes.push_back({ name, fields });
}

void ClientDataSet::createDataSet()
{
    if (m_fieldDefs.empty())
        raise(QStringLiteral("Cannot create a data set without field definitions"));
    Packet check;
    check.fields = m_fieldDefs;
    check.indexes = m_indexes;
    checkPacketStructure(check, QString());
    close();
    m_createPending = true;
    auto notCreated = qScopeGuard([this] { m_createPending = false; });
    open();
    notCreated.dismiss();
}

void ClientDataSet::close()
{
    // Before the base class leaves the open state: a failed write must not
    // close what could not be saved.
    if (isOpen())
        saveIfChanged();
    DataSet::close();
}

void ClientDataSet::emptyDataSet()
{
    checkActive();
    cancel();
    if (m_rows.empty())
        return;
    m_rows.clear();
    m_ids.clear();
    m_lookupHint = 0;
    markChanged();
    resync();
}

namespace {

// Reads the packet in a file. The bytes are copied, not mapped: a mapped
// file that another program shortens while it is read would end the program
// with a bus error.
Packet readPacketFile(const QString &path)
{
    const std::unique_ptr<File> file = openDiskFile(path, OpenMode::ReadOnly);
    return readPacket(file->readBytes(0, file->size()), path);
}

} // namespace

void ClientDataSet::loadFromFile(const QString &path)
{
    auto packet = std::make_unique<Packet>(readPacketFile(path));
    close();
    m_pendingLoad = std::move(packet);
    auto notLoaded = qScopeGuard([this] { m_pendingLoad.reset(); });
    open();
    notLoaded.dismiss();
}

PacketFormat ClientDataSet::formatForFileName(const QString &path, PacketFormat asked)
{
    // An XML packet's name is always written as XML; any other name takes
    // what was asked.
    const FileKind *kind = fileKindForName(path);
    return kind && kind->document == DocumentKind::DataPacket && kind->packetFormat == PacketFormat::Xml
        ? PacketFormat::Xml
        : asked;
}

void ClientDataSet::writePacket(const QString &path, PacketFormat format) const
{
    const Packet packet = snapshot();
    writeFileAtomically(path,
                        format == PacketFormat::Xml ? writeXmlPacket(packet) : writeBinaryPacket(packet));
}

void ClientDataSet::saveToFile(const QString &path, PacketFormat format) const
{
    if (!isOpen())
        return;
    try {
        writePacket(path, formatForFileName(path, format));
    } catch (const EngineError &e) {
        // A value XML cannot carry is reported without the file; add it.
        if (e.message().startsWith(path))
            throw;
        throw EngineError(path, e.message());
    }
    if (!m_fileName.isEmpty()
        && QFileInfo(path).absoluteFilePath() == QFileInfo(m_fileName).absoluteFilePath())
        m_changed = false; // the file now holds this data
}

void ClientDataSet::saveIfChanged()
{
    if (!m_hasData || !m_changed || m_fileName.isEmpty())
        return;
    try {
        writePacket(m_fileName, formatForFileName(m_fileName, PacketFormat::Binary));
    } catch (const EngineError &e) {
        if (e.message().startsWith(m_fileName))
            throw;
        throw EngineError(m_fileName, e.message());
    }
    m_changed = false;
}

Packet ClientDataSet::snapshot() const
{
    Packet packet;
    packet.fields = m_fieldDefs;
    packet.indexes = m_indexes;
    packet.nestedDefinitions = m_nestedDefinitions;
    packet.rows = m_rows;
    return packet;
}

void ClientDataSet::adopt(Packet &&packet)
{
    m_fieldDefs = std::move(packet.fields);
    m_indexes = std::move(packet.indexes);
    m_nestedDefinitions = std::move(packet.nestedDefinitions);
    m_rows = std::move(packet.rows);
    m_ids.resize(m_rows.size());
    m_nextId = 1;
    m_lookupHint = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rows.resizeRow(i, m_fieldDefs.size());
        m_ids[i] = m_nextId++;
    }
    m_nextAutoInc.assign(m_fieldDefs.size(), 1);
    for (std::size_t i = 0; i < m_fieldDefs.size(); ++i) {
        if (m_fieldDefs[i].type != FieldType::AutoInc)
            continue;
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            const RowStore::Cell c = m_rows.cell(r, i);
            if (c.tag == RowStore::Tag::Int32 || c.tag == RowStore::Tag::Int64)
                m_nextAutoInc[i] = std::max(m_nextAutoInc[i], c.int64() + 1);
            else if (c.tag != RowStore::Tag::Null)
                m_nextAutoInc[i] = std::max(m_nextAutoInc[i], RowStore::decode(c).toLongLong() + 1);
        }
    }
    m_hasData = true;
    m_changed = false;
}

FieldDefs ClientDataSet::doOpen()
{
    if (m_pendingLoad) {
        const std::unique_ptr<Packet> packet = std::move(m_pendingLoad);
        adopt(std::move(*packet));
    } else if (m_createPending) {
        m_createPending = false;
        Packet empty;
        empty.fields = m_fieldDefs;
        empty.indexes = m_indexes;
        adopt(std::move(empty));
    } else if (m_hasData && m_changed) {
        // Closed through the base class after a failed write-back: these
        // rows are newer than the file, and still to be written.
    } else if (!m_fileName.isEmpty()) {
        adopt(readPacketFile(m_fileName));
    } else {
        raise(
            QStringLiteral("Missing data: a client data set needs a file name or field definitions to open"));
    }
    return m_fieldDefs;
}

void ClientDataSet::doClose()
{
    // Written before the rows go, and kept when the write fails, so that the
    // data is not lost and the destructor can try once more.
    saveIfChanged();
    m_rows.clear();
    m_ids.clear();
    m_hasData = false;
    m_changed = false;
}

void ClientDataSet::doRead(qint64 index, Record &rec) const
{
    m_rows.read(std::size_t(index), rec);
}

namespace {

void twoDigits(char *out, int v)
{
    out[0] = char('0' + v / 10);
    out[1] = char('0' + v % 10);
}

// yyyy-MM-dd for years 1 to 9999; false for others, whose text is left to valueToText().
bool dateText(char *out, qint64 julianDay)
{
    int y, m, d;
    const QDate date = QDate::fromJulianDay(julianDay);
    date.getDate(&y, &m, &d);
    if (y < 1 || y > 9999)
        return false;
    twoDigits(out, y / 100);
    twoDigits(out + 2, y % 100);
    out[4] = '-';
    twoDigits(out + 5, m);
    out[7] = '-';
    twoDigits(out + 8, d);
    return true;
}

} // namespace

bool ClientDataSet::doReadFieldTo(qint64 index, int field, FieldSink &sink) const
{
    if (index < 0 || std::size_t(index) >= m_rows.size())
        raise(QStringLiteral("There is no record %1").arg(index + 1));
    const RowStore::Cell c = m_rows.cell(std::size_t(index), std::size_t(field));
    const ValueKind kind = valueKind(m_fieldDefs[std::size_t(field)].type);
    using Tag = RowStore::Tag;
    switch (c.tag) {
    case Tag::Null:
        sink.null();
        return true;
    case Tag::Int32:
    case Tag::Int64:
        if (kind != ValueKind::Int && kind != ValueKind::Int64)
            return false;
        sink.integer(c.int64());
        return true;
    case Tag::False:
    case Tag::True:
        if (kind != ValueKind::Bool)
            return false;
        sink.boolean(c.tag == Tag::True);
        return true;
    case Tag::Double:
        if (kind != ValueKind::Double)
            return false;
        sink.real(c.real());
        return true;
    case Tag::Utf8:
        if (kind == ValueKind::Text)
            sink.text(c.data, c.size);
        else if (kind == ValueKind::Decimal)
            sink.decimal(c.data, c.size);
        else
            return false;
        return true;
    case Tag::Date: {
        char out[10];
        if (kind != ValueKind::Date || !dateText(out, c.int64()))
            return false;
        sink.text(out, 10);
        return true;
    }
    case Tag::Time:
    case Tag::DateTimeUtc:
    case Tag::Utf16:
    case Tag::Bytes:
    case Tag::Variant:
        break;
    }
    return false;
}

QVariant ClientDataSet::doReadField(qint64 index, int field) const
{
    return m_rows.value(std::size_t(index), std::size_t(field));
}

qint64 ClientDataSet::doUpdate(qint64 index, const Record &rec)
{
    Record values(m_fieldDefs.size());
    for (std::size_t i = 0; i < values.size() && i < rec.size(); ++i)
        values[i] = coerceValue(rec[i], m_fieldDefs[i]);
    m_rows.set(std::size_t(index), values);
    markChanged();
    return index;
}

qint64 ClientDataSet::doInsert(qint64 before, const Record &rec)
{
    Record values(m_fieldDefs.size());
    for (std::size_t i = 0; i < values.size() && i < rec.size(); ++i)
        values[i] = coerceValue(rec[i], m_fieldDefs[i]);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (m_fieldDefs[i].type != FieldType::AutoInc)
            continue;
        if (values[i].isNull())
            values[i] = int(m_nextAutoInc[i]);
        m_nextAutoInc[i] = std::max(m_nextAutoInc[i], values[i].toLongLong() + 1);
    }
    const std::size_t at = std::size_t(std::clamp<qint64>(before, 0, qint64(m_rows.size())));
    m_rows.insert(at, values);
    m_ids.insert(m_ids.begin() + qsizetype(at), m_nextId++);
    markChanged();
    return qint64(at);
}

void ClientDataSet::doDelete(qint64 index)
{
    m_rows.erase(std::size_t(index));
    m_ids.erase(m_ids.begin() + qsizetype(index));
    markChanged();
}

DataSet::Bookmark ClientDataSet::doBookmark(qint64 index) const
{
    return m_ids[std::size_t(index)];
}

qint64 ClientDataSet::doIndexOfBookmark(Bookmark bm) const
{
    // Rows keep their order and ids only grow at the end of a load, so the
    // row sought is usually where the last one was found or close to it;
    // search outwards from there.
    const std::size_t n = m_ids.size();
    if (n == 0 || bm <= 0)
        return -1;
    const std::size_t hint = std::min(m_lookupHint, n - 1);
    for (std::size_t d = 0; hint + d < n || d <= hint; ++d) {
        if (hint + d < n && m_ids[hint + d] == bm) {
            m_lookupHint = hint + d;
            return qint64(hint + d);
        }
        if (d > 0 && d <= hint && m_ids[hint - d] == bm) {
            m_lookupHint = hint - d;
            return qint64(hint - d);
        }
    }
    return -1;
}

} // namespace qvx
