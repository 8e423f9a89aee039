// The cursor every table kind offers: fields, a current record reached by
// number, the browse -> edit/insert -> post/cancel state machine, values as
// variant, text or integer, and observers for bound controls.
//
// A concrete data set supplies records by 0-based index through the protected
// record-source functions; this class keeps the current record, the edit
// buffer and the events. Record numbers seen by callers count from 1.
#pragma once

#include "DataLink.h"
#include "EngineError.h"
#include "FieldDef.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

namespace qvx {

class FieldSink;

class DataSet {
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Bookmark = qint64; // opaque; valid only for the data set that gave it

    DataSet() = default;
    DataSet(const DataSet &) = delete;
    DataSet &operator=(const DataSet &) = delete;
    virtual ~DataSet();

    // Opening and closing.
    void open();
    void close(); // an unposted edit is cancelled, never posted silently
    bool isOpen() const { return m_state != State::Inactive; }
    void setActive(bool active) { active ? open() : close(); }

    // Fields.
    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef &field(int index) const; // throws for a bad index
    const FieldDef &field(const QString &name) const; // throws for an unknown name
    int fieldIndex(const QString &name) const; // -1 when there is none; case-insensitive
    const FieldDefs &fields() const { return m_fields; }
    void setDisplayLabel(int index, const QString &label);
    void setFieldVisible(int index, bool visible);
    void setFieldAlignment(int index, Alignment alignment);

    // Navigation. next() on the last record sets eof() and stays there;
    // prior() on the first sets bof().
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const; // without counting every record
    qint64 recordCount() const;
    qint64 recNo() const; // 1-based; 0 when there is no current record
    void setRecNo(qint64 recNo); // clamps into 1..recordCount
    qint64 moveBy(qint64 distance); // returns how far it moved
    Bookmark bookmark() const;
    void gotoBookmark(Bookmark bookmark); // "Record not found" when it is gone
    bool bookmarkValid(Bookmark bookmark) const;

    // Editing. Moving while editing posts a changed record and cancels an
    // unchanged one. Entering edit or insert and leaving without a change
    // posts nothing.
    State state() const { return m_state; }
    bool isReadOnly() const;
    // Why the data set cannot be modified, for messages and status text; ""
    // when it can, or when its source gives no reason.
    QString readOnlyReason() const;
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool canModify() const { return !isReadOnly(); }
    void edit();
    void append(); // a new record after the last one
    void insert(); // a new record before the current one
    void deleteRecord();
    // Adds a whole record after the last one and makes it current, even when
    // every value is null (copying a table must not drop such records).
    void appendRecord(const Record &values);
    void post();
    void cancel();
    bool isModified() const { return m_modified; }

    // Values of the current record (or of the edit buffer while editing).
    QVariant value(int index) const;
    QVariant value(const QString &name) const { return value(indexOf(name)); }
    bool isNull(int index) const { return value(index).isNull(); }
    QString text(int index) const; // "" for null
    QString text(const QString &name) const { return text(indexOf(name)); }
    qint64 integer(int index) const; // 0 for null; throws when not a number
    qint64 integer(const QString &name) const { return integer(indexOf(name)); }
    QByteArray blob(int index) const; // raw bytes; text as UTF-8
    void setValue(int index, const QVariant &value);
    void setValue(const QString &name, const QVariant &v) { setValue(indexOf(name), v); }
    void setText(int index, const QString &text);
    void setInteger(int index, qint64 value) { setValue(index, QVariant(value)); }
    void setBlob(int index, const QByteArray &bytes);
    void clearValue(int index) { setValue(index, QVariant()); }
    const Record &currentRecord() const;
    // Reads any record by number (from 1) without moving the current record,
    // for views that show many rows. The current record reads as it stands
    // (with its unposted edits; a record being inserted is not among them);
    // false when there is no such record.
    bool readRecord(qint64 recNo, Record &rec) const;

    // Whole-table reads (copying, exporting, printing, SQL), value by value
    // and without a QVariant where the source can help it. Records count
    // from 1 and are read as they stand, like readRecord().
    // Is there a record with this number? Need not count every record.
    bool hasRecord(qint64 recNo) const;
    // Puts one value of a record into sink, the same value value() gives;
    // false, having called nothing, when the source leaves that value to
    // readField() (or the record has unposted edits). The record must be
    // one hasRecord() finds; for any other the source throws.
    bool readFieldTo(qint64 recNo, int field, FieldSink &sink) const;
    // One value of a record, reading as little else as the source allows;
    // null when there is no such record.
    QVariant readField(qint64 recNo, int field) const;
    // Does learning the record count mean reading every record? Views then
    // count only as far as they show.
    bool isCountCostly() const { return doCountIsCostly(); }

    // Observers and refresh suspension (counted; balance with a guard).
    void addLink(DataLink *link);
    void removeLink(DataLink *link);
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }
    // Re-reads the current record and tells the observers to refetch.
    void refresh();

    class ControlsDisabled {
    public:
        explicit ControlsDisabled(DataSet &ds) : m_ds(ds) { m_ds.disableControls(); }
        ~ControlsDisabled() { m_ds.enableControls(); }
        ControlsDisabled(const ControlsDisabled &) = delete;
        ControlsDisabled &operator=(const ControlsDisabled &) = delete;

    private:
        DataSet &m_ds;
    };

    // A short name used in error messages (file name, or a class name).
    virtual QString displayName() const { return QStringLiteral("dataset"); }

protected:
    // --- Record source, implemented by each kind of data set -------------
    // Prepares the source and returns its fields.
    virtual FieldDefs doOpen() = 0;
    virtual void doClose() = 0;
    virtual qint64 doRecordCount() const = 0;
    // Is there a record at this index? Sources for which counting is costly
    // answer without counting everything.
    virtual bool doHasRecord(qint64 index) const { return index >= 0 && index < doRecordCount(); }
    // True when doRecordCount() reads every record to count them.
    virtual bool doCountIsCostly() const { return false; }
    // Reads record `index` (0-based) into rec, resized to fieldCount().
    virtual void doRead(qint64 index, Record &rec) const = 0;
    // One field of record `index`: straight into sink (false, nothing
    // called, when the source cannot), or as a value. The defaults go
    // through doRead(). doReadFieldTo() is called without asking
    // doHasRecord() first: it must throw (or return false) for an index
    // that is no record.
    virtual bool doReadFieldTo(qint64 index, int field, FieldSink &sink) const;
    virtual QVariant doReadField(qint64 index, int field) const;
    // Writes rec over record `index`.
    // Returns where the record is now: a keyed table moves a record whose
    // key changed.
    virtual qint64 doUpdate(qint64 index, const Record &rec);
    // Adds rec before record `before` (== record count to append) and returns
    // the index the record now has. A source that cannot place a record in
    // the middle may append it and return the last index.
    virtual qint64 doInsert(qint64 before, const Record &rec);
    virtual void doDelete(qint64 index);
    // A source is read-only when it cannot store records at all.
    virtual bool doReadOnly() const { return false; }
    // Why a read-only source cannot store records, "" when it cannot say.
    virtual QString doReadOnlyReason() const { return {}; }
    // Bookmarks: the default is the index, which is right for sources whose
    // records never move.
    virtual Bookmark doBookmark(qint64 index) const { return index; }
    virtual qint64 doIndexOfBookmark(Bookmark bm) const; // -1 when gone
    // A fresh record for insert/append: nulls by default.
    virtual Record doNewRecord() const;

    // For sources that learn a field's type from the records they read (a
    // query's computed columns): the field takes a wider type, one that
    // holds every value read so far unchanged. Observers are not told, as
    // no value changes; values read from now on come in the new type.
    void retypeField(int index, FieldType type, int size, int decimals);
    // For subclasses whose records change behind the cursor (empty, reload).
    void resync(); // re-reads the current record and tells observers
    void notify(DataEvent event, int info = -1);
    int indexOf(const QString &name) const; // throws for unknown names
    [[noreturn]] void raise(const QString &message) const;
    void checkActive() const;
    bool readOnlyRequested() const { return m_readOnly; }

private:
    void checkBrowse(); // posts or cancels a pending edit
    [[noreturn]] void raiseReadOnly() const; // the refusal, with its reason when there is one
    void loadCurrent() const;
    void moveTo(qint64 index);

    FieldDefs m_fields;
    State m_state = State::Inactive;
    bool m_readOnly = false;
    qint64 m_index = -1; // current record, -1 when none
    bool m_eof = true;
    bool m_bof = true;
    mutable Record m_current;
    mutable bool m_currentLoaded = false;
    Record m_editBuffer;
    bool m_modified = false;
    qint64 m_insertBefore = -1;
    std::vector<DataLink *> m_links;
    int m_disableCount = 0;
    bool m_pendingRefresh = false;
};

} // namespace qvx
