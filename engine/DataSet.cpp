#include "DataSet.h"

#include "Value.h"

#include <algorithm>

namespace qvx {

DataSet::~DataSet()
{
    // Bound controls may outlive the data set (a window tears down in any
    // order); tell them, regardless of suspended refresh.
    const std::vector<DataLink *> links = m_links;
    for (DataLink *link : links) {
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
            link->dataEvent(*this, DataEvent::Destroyed, -1);
    }
}

void DataSet::raise(const QString &message) const
{
    throw EngineError(message);
}

void DataSet::checkActive() const
{
    if (m_state == State::Inactive)
        raise(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

// ---- opening ---------------------------------------------------------------

void DataSet::open()
{
    if (isOpen())
        return;
    FieldDefs fields = doOpen();
    for (FieldDef &f : fields) {
        if (f.displayLabel.isEmpty())
            f.displayLabel = f.name;
    }
    m_fields = std::move(fields);
    m_state = State::Browse;
    m_modified = false;
    m_currentLoaded = false;
    // Whether there is a first record, not how many: counting may mean a
    // pass over the whole file.
    const bool any = doHasRecord(0);
    m_index = any ? 0 : -1;
    m_bof = true;
    m_eof = !any;
    notify(DataEvent::ActiveChanged);
}

void DataSet::close()
{
    if (!isOpen())
        return;
    m_editBuffer.clear();
    m_modified = false;
    m_state = State::Inactive;
    m_current.clear();
    m_currentLoaded = false;
    m_index = -1;
    m_bof = m_eof = true;
    doClose();
    m_fields.clear();
    notify(DataEvent::ActiveChanged);
}

// ---- fields ----------------------------------------------------------------

const FieldDef &DataSet::field(int index) const
{
    if (index < 0 || index >= fieldCount())
        raise(QStringLiteral("Field index %1 out of range").arg(index));
    return m_fields[std::size_t(index)];
}

const FieldDef &DataSet::field(const QString &name) const
{
    return m_fields[std::size_t(indexOf(name))];
}

int DataSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < fieldCount(); ++i) {
        if (m_fields[std::size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int DataSet::indexOf(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        raise(QStringLiteral("Field '%1' not found").arg(name));
    return i;
}

void DataSet::setDisplayLabel(int index, const QString &label)
{
    field(index);
    m_fields[std::size_t(index)].displayLabel = label;
    notify(DataEvent::LayoutChanged, index);
}

void DataSet::setFieldVisible(int index, bool visible)
{
    field(index);
    m_fields[std::size_t(index)].visible = visible;
    notify(DataEvent::LayoutChanged, index);
}

void DataSet::setFieldAlignment(int index, Alignment alignment)
{
    field(index);
    m_fields[std::size_t(index)].alignment = alignment;
    notify(DataEvent::LayoutChanged, index);
}

void DataSet::retypeField(int index, FieldType type, int size, int decimals)
{
    if (index < 0 || index >= fieldCount())
        raise(QStringLiteral("Field index %1 out of range").arg(index));
    FieldDef &f = m_fields[std::size_t(index)];
    f.type = type;
    f.size = size;
    f.decimals = decimals;
}

// ---- navigation ------------------------------------------------------------

qint64 DataSet::recordCount() const
{
    checkActive();
    return doRecordCount();
}

bool DataSet::isEmpty() const
{
    checkActive();
    return !doHasRecord(0);
}

qint64 DataSet::recNo() const
{
    if (!isOpen())
        return 0;
    if (m_state == State::Insert)
        return m_insertBefore + 1;
    return m_index + 1;
}

void DataSet::moveTo(qint64 index)
{
    const bool moved = index != m_index;
    m_index = index;
    m_currentLoaded = false;
    if (moved)
        notify(DataEvent::RecordMoved);
}

void DataSet::first()
{
    checkActive();
    checkBrowse();
    const bool any = doHasRecord(0);
    m_bof = true;
    m_eof = !any;
    moveTo(any ? 0 : -1);
}

void DataSet::last()
{
    checkActive();
    checkBrowse();
    const qint64 count = doRecordCount();
    m_eof = true;
    m_bof = count == 0;
    moveTo(count - 1);
}

void DataSet::next()
{
    checkActive();
    checkBrowse();
    if (doHasRecord(m_index + 1)) {
        m_bof = m_eof = false;
        moveTo(m_index + 1);
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    checkActive();
    checkBrowse();
    if (m_index > 0) {
        m_bof = m_eof = false;
        moveTo(m_index - 1);
    } else {
        m_bof = true;
    }
}

void DataSet::setRecNo(qint64 recNo)
{
    checkActive();
    checkBrowse();
    // A record that is there needs no count (a query would step to its end).
    if (recNo >= 1 && doHasRecord(recNo - 1)) {
        m_bof = m_eof = false;
        moveTo(recNo - 1);
        return;
    }
    const qint64 count = doRecordCount();
    if (count == 0)
        return;
    m_bof = m_eof = false;
    moveTo(std::clamp<qint64>(recNo, 1, count) - 1);
}

qint64 DataSet::moveBy(qint64 distance)
{
    checkActive();
    checkBrowse();
    if (m_index >= 0 && m_index + distance >= 0 && doHasRecord(m_index + distance)) {
        m_bof = m_eof = false;
        moveTo(m_index + distance);
        return distance;
    }
    const qint64 count = doRecordCount();
    if (count == 0)
        return 0;
    const qint64 target = std::clamp<qint64>(m_index + distance, 0, count - 1);
    const qint64 moved = target - m_index;
    m_bof = distance < 0 && target == 0 && moved != distance;
    m_eof = distance > 0 && target == count - 1 && moved != distance;
    moveTo(target);
    return moved;
}

DataSet::Bookmark DataSet::bookmark() const
{
    checkActive();
    return m_index < 0 ? -1 : doBookmark(m_index);
}

bool DataSet::bookmarkValid(Bookmark bm) const
{
    return isOpen() && bm >= 0 && doIndexOfBookmark(bm) >= 0;
}

void DataSet::gotoBookmark(Bookmark bm)
{
    checkActive();
    checkBrowse();
    const qint64 index = bm < 0 ? -1 : doIndexOfBookmark(bm);
    if (index < 0)
        raise(QStringLiteral("Record not found"));
    m_bof = m_eof = false;
    moveTo(index);
}

qint64 DataSet::doIndexOfBookmark(Bookmark bm) const
{
    return bm >= 0 && bm < doRecordCount() ? bm : -1;
}

// ---- editing ---------------------------------------------------------------

bool DataSet::isReadOnly() const
{
    return m_readOnly || (isOpen() && doReadOnly());
}

QString DataSet::readOnlyReason() const
{
    if (!isReadOnly())
        return {};
    // The source's reason is the more precise: a table asked to open
    // read-only says so itself, a file that cannot be written says that.
    if (isOpen() && doReadOnly()) {
        const QString reason = doReadOnlyReason();
        if (!reason.isEmpty() || !m_readOnly)
            return reason;
    }
    return QStringLiteral("it is open read-only");
}

void DataSet::raiseReadOnly() const
{
    const QString reason = readOnlyReason();
    raise(reason.isEmpty() ? QStringLiteral("Cannot modify a read-only dataset")
                           : QStringLiteral("Cannot modify a read-only dataset: %1").arg(reason));
}

void DataSet::checkBrowse()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        if (m_modified)
            post();
        else
            cancel();
    }
}

Record DataSet::doNewRecord() const
{
    return Record(m_fields.size());
}

qint64 DataSet::doUpdate(qint64, const Record &)
{
    raiseReadOnly();
}

qint64 DataSet::doInsert(qint64, const Record &)
{
    raiseReadOnly();
}

void DataSet::doDelete(qint64)
{
    raiseReadOnly();
}

void DataSet::edit()
{
    checkActive();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (isReadOnly())
        raiseReadOnly();
    if (m_index < 0) {
        append();
        return;
    }
    m_editBuffer = currentRecord();
    m_modified = false;
    m_state = State::Edit;
    notify(DataEvent::StateChanged);
}

void DataSet::append()
{
    checkActive();
    if (isReadOnly())
        raiseReadOnly();
    checkBrowse();
    m_insertBefore = doRecordCount();
    m_editBuffer = doNewRecord();
    m_modified = false;
    m_state = State::Insert;
    notify(DataEvent::StateChanged);
}

void DataSet::insert()
{
    checkActive();
    if (isReadOnly())
        raiseReadOnly();
    checkBrowse();
    m_insertBefore = std::max<qint64>(m_index, 0);
    m_editBuffer = doNewRecord();
    m_modified = false;
    m_state = State::Insert;
    notify(DataEvent::StateChanged);
}

void DataSet::appendRecord(const Record &values)
{
    checkActive();
    if (isReadOnly())
        raiseReadOnly();
    checkBrowse();
    Record rec(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size() && i < values.size(); ++i)
        rec[i] = coerceValue(values[i], m_fields[i]);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].required && rec[i].isNull() && m_fields[i].type != FieldType::AutoInc)
            raise(QStringLiteral("Field '%1' must have a value").arg(m_fields[i].displayLabel));
    }
    m_index = doInsert(doRecordCount(), rec);
    m_currentLoaded = false;
    m_bof = m_eof = false;
    notify(DataEvent::DataSetChanged);
}

void DataSet::post()
{
    checkActive();
    if (m_state == State::Browse)
        return;
    if (!m_modified) {
        cancel();
        return;
    }
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].required && m_editBuffer[i].isNull() && m_fields[i].type != FieldType::AutoInc)
            raise(QStringLiteral("Field '%1' must have a value").arg(m_fields[i].displayLabel));
    }
    if (m_state == State::Edit) {
        // The record stays current even when a key change moved it.
        const qint64 index = doUpdate(m_index, m_editBuffer);
        const bool moved = index != m_index;
        m_index = index;
        m_state = State::Browse;
        m_editBuffer.clear();
        m_modified = false;
        m_currentLoaded = false;
        notify(DataEvent::StateChanged);
        notify(moved ? DataEvent::DataSetChanged : DataEvent::RecordChanged, -1);
    } else {
        const qint64 index = doInsert(m_insertBefore, m_editBuffer);
        m_state = State::Browse;
        m_editBuffer.clear();
        m_modified = false;
        m_index = index;
        m_currentLoaded = false;
        m_bof = m_eof = false;
        notify(DataEvent::StateChanged);
        notify(DataEvent::DataSetChanged);
    }
}

void DataSet::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_state = State::Browse;
    m_editBuffer.clear();
    m_modified = false;
    notify(DataEvent::StateChanged);
    notify(DataEvent::RecordChanged, -1);
}

void DataSet::deleteRecord()
{
    checkActive();
    if (isReadOnly())
        raiseReadOnly();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (m_index < 0)
        raise(QStringLiteral("Cannot perform this operation on an empty dataset"));
    doDelete(m_index);
    const qint64 count = doRecordCount();
    if (m_index >= count)
        m_index = count - 1;
    m_eof = count == 0 || m_eof;
    m_bof = count == 0 || m_bof;
    m_currentLoaded = false;
    notify(DataEvent::DataSetChanged);
}

// ---- values ----------------------------------------------------------------

bool DataSet::readRecord(qint64 recNo, Record &rec) const
{
    checkActive();
    const qint64 index = recNo - 1;
    if (index < 0 || !doHasRecord(index))
        return false;
    if (index == m_index && m_state != State::Insert) {
        rec = currentRecord(); // an inserted record is not in the source yet
        return true;
    }
    rec.resize(m_fields.size());
    doRead(index, rec);
    rec.resize(m_fields.size());
    return true;
}

bool DataSet::hasRecord(qint64 recNo) const
{
    checkActive();
    return recNo >= 1 && doHasRecord(recNo - 1);
}

bool DataSet::readFieldTo(qint64 recNo, int field, FieldSink &sink) const
{
    // Called for every value of a whole table: the checks are the cheap ones,
    // and the source refuses an index that is no record.
    if (m_state == State::Inactive)
        checkActive();
    if (field < 0 || std::size_t(field) >= m_fields.size())
        this->field(field); // throws
    const qint64 index = recNo - 1;
    if (index < 0 || (index == m_index && m_state != State::Browse))
        return false;
    return doReadFieldTo(index, field, sink);
}

QVariant DataSet::readField(qint64 recNo, int field) const
{
    checkActive();
    this->field(field);
    const qint64 index = recNo - 1;
    if (index < 0 || !doHasRecord(index))
        return {};
    if (index == m_index && m_state != State::Insert)
        return currentRecord()[std::size_t(field)];
    return doReadField(index, field);
}

bool DataSet::doReadFieldTo(qint64 index, int field, FieldSink &sink) const
{
    (void)index;
    (void)field;
    (void)sink;
    return false;
}

QVariant DataSet::doReadField(qint64 index, int field) const
{
    Record rec(m_fields.size());
    doRead(index, rec);
    return std::size_t(field) < rec.size() ? rec[std::size_t(field)] : QVariant();
}

void DataSet::loadCurrent() const
{
    if (m_currentLoaded)
        return;
    if (m_index >= 0) {
        // The source overwrites every value; clearing first would only
        // double the work on a scan.
        m_current.resize(m_fields.size());
        doRead(m_index, m_current);
        m_current.resize(m_fields.size());
    } else {
        m_current.assign(m_fields.size(), QVariant());
    }
    m_currentLoaded = true;
}

const Record &DataSet::currentRecord() const
{
    checkActive();
    if (m_state == State::Edit || m_state == State::Insert)
        return m_editBuffer;
    loadCurrent();
    return m_current;
}

QVariant DataSet::value(int index) const
{
    field(index);
    return currentRecord()[std::size_t(index)];
}

QString DataSet::text(int index) const
{
    return valueToText(value(index), field(index).type);
}

qint64 DataSet::integer(int index) const
{
    const QVariant v = value(index);
    if (v.isNull())
        return 0;
    static const FieldDef asInteger(QString(), FieldType::LargeInt);
    return coerceValue(v, asInteger).toLongLong();
}

QByteArray DataSet::blob(int index) const
{
    const QVariant v = value(index);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return text(index).toUtf8();
}

void DataSet::setValue(int index, const QVariant &value)
{
    checkActive();
    const FieldDef &f = field(index);
    if (isReadOnly())
        raiseReadOnly();
    if (m_state != State::Edit && m_state != State::Insert)
        raise(QStringLiteral("Dataset not in edit or insert mode"));
    if (f.readOnly)
        raise(QStringLiteral("Field '%1' cannot be modified").arg(f.displayLabel));
    QVariant coerced = coerceValue(value, f);
    QVariant &slot = m_editBuffer[std::size_t(index)];
    if (slot.isNull() == coerced.isNull() && (slot.isNull() || slot == coerced))
        return;
    slot = std::move(coerced);
    m_modified = true;
    notify(DataEvent::RecordChanged, index);
}

void DataSet::setText(int index, const QString &text)
{
    setValue(index, text);
}

void DataSet::setBlob(int index, const QByteArray &bytes)
{
    if (valueKind(field(index).type) == ValueKind::Text)
        setValue(index, QString::fromUtf8(bytes));
    else
        setValue(index, bytes);
}

// ---- observers -------------------------------------------------------------

void DataSet::addLink(DataLink *link)
{
    if (link && std::find(m_links.begin(), m_links.end(), link) == m_links.end())
        m_links.push_back(link);
}

void DataSet::removeLink(DataLink *link)
{
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void DataSet::disableControls()
{
    ++m_disableCount;
}

void DataSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_pendingRefresh) {
        m_pendingRefresh = false;
        notify(DataEvent::DataSetChanged);
    }
}

void DataSet::notify(DataEvent event, int info)
{
    if (m_disableCount > 0) {
        m_pendingRefresh = true;
        return;
    }
    const std::vector<DataLink *> links = m_links; // a link may detach itself
    for (DataLink *link : links) {
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
            link->dataEvent(*this, event, info);
    }
}

void DataSet::resync()
{
    if (!isOpen())
        return;
    const qint64 count = doRecordCount();
    if (m_index >= count)
        m_index = count - 1;
    if (m_index < 0 && count > 0)
        m_index = 0;
    m_eof = count == 0 || m_eof;
    m_bof = count == 0 || m_bof;
    m_currentLoaded = false;
    notify(DataEvent::DataSetChanged);
}

void DataSet::refresh()
{
    checkActive();
    checkBrowse();
    resync();
}

} // namespace qvx
