// The data set cursor: navigation, the edit state machine, value conversion
// and observers, over a small in-memory record source.
#include "engine/DataSet.h"
#include "engine/Value.h"

#include <QtTest>

using namespace qvx;

namespace {

// Records in a vector, with stable ids as bookmarks, counting the writes it gets.
class VectorDataSet : public DataSet {
public:
    FieldDefs defs { FieldDef("ID", FieldType::Integer), FieldDef("NAME", FieldType::String, 20),
                     FieldDef("AMOUNT", FieldType::Float), FieldDef("BORN", FieldType::Date) };
    struct Row {
        qint64 id;
        Record values;
    };
    std::vector<Row> rows;
    qint64 nextId = 0;
    int updates = 0, inserts = 0, deletes = 0;
    bool sourceReadOnly = false;

    explicit VectorDataSet(int count = 0)
    {
        for (int i = 1; i <= count; ++i)
            add({ i, QStringLiteral("name%1").arg(i), i * 1.5, QVariant() });
    }
    ~VectorDataSet() override { close(); }
    void add(Record r) { rows.push_back({ nextId++, std::move(r) }); }

protected:
    FieldDefs doOpen() override { return defs; }
    void doClose() override { }
    qint64 doRecordCount() const override { return qint64(rows.size()); }
    void doRead(qint64 index, Record &rec) const override { rec = rows.at(std::size_t(index)).values; }
    qint64 doUpdate(qint64 index, const Record &rec) override
    {
        ++updates;
        rows.at(std::size_t(index)).values = rec;
        return index;
    }
    qint64 doInsert(qint64 before, const Record &rec) override
    {
        ++inserts;
        rows.insert(rows.begin() + before, Row { nextId++, rec });
        return before;
    }
    void doDelete(qint64 index) override
    {
        ++deletes;
        rows.erase(rows.begin() + index);
    }
    bool doReadOnly() const override { return sourceReadOnly; }
    Bookmark doBookmark(qint64 index) const override { return rows.at(std::size_t(index)).id; }
    qint64 doIndexOfBookmark(Bookmark bm) const override
    {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].id == bm)
                return qint64(i);
        return -1;
    }
};

struct Recorder : DataLink {
    QList<DataEvent> events;
    void dataEvent(DataSet &, DataEvent e, int) override { events << e; }
};

QStringList names(DataSet &ds)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.text(1);
    return out;
}

} // namespace

class DataSetTest : public QObject {
    Q_OBJECT

private slots:
    // Views read rows by number; that must not move the cursor, and the
    // current row must show its unposted edit.
    void readRecordLeavesCursor()
    {
        VectorDataSet ds(3);
        ds.open();
        ds.setRecNo(2);
        Record rec;
        QVERIFY(ds.readRecord(3, rec));
        QCOMPARE(rec.at(1).toString(), QStringLiteral("name3"));
        QCOMPARE(ds.recNo(), 2);
        ds.edit();
        ds.setText(1, "edited");
        QVERIFY(ds.readRecord(2, rec));
        QCOMPARE(rec.at(1).toString(), QStringLiteral("edited"));
        ds.cancel();
        ds.insert();
        QVERIFY(ds.readRecord(2, rec)); // the row the new one goes before
        QCOMPARE(rec.at(1).toString(), QStringLiteral("name2"));
        ds.cancel();
        QVERIFY(!ds.readRecord(0, rec));
        QVERIFY(!ds.readRecord(4, rec));
    }

    void linksHearOfDestruction()
    {
        Recorder rec;
        {
            VectorDataSet ds(1);
            ds.addLink(&rec);
        }
        QCOMPARE(rec.events, QList<DataEvent>({ DataEvent::Destroyed }));
    }

    void navigation()
    {
        VectorDataSet ds(3);
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.recordCount());
        ds.open();
        QCOMPARE(ds.recordCount(), 3);
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(ds.bof());
        QCOMPARE(names(ds), QStringList({ "name1", "name2", "name3" }));
        QVERIFY(ds.eof());
        QCOMPARE(ds.recNo(), 3); // next() on the last record stays there
        ds.prior();
        QCOMPARE(ds.recNo(), 2);
        QVERIFY(!ds.eof());
        ds.first();
        ds.prior();
        QVERIFY(ds.bof());
        QCOMPARE(ds.recNo(), 1);
        ds.setRecNo(99);
        QCOMPARE(ds.recNo(), 3);
        ds.setRecNo(-5);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(ds.moveBy(5), 2);
        QVERIFY(ds.eof());
        QCOMPARE(ds.moveBy(-1), -1);
        QCOMPARE(ds.text("name"), QString("name2"));
    }

    void emptyDataSet()
    {
        VectorDataSet ds;
        ds.open();
        QVERIFY(ds.eof() && ds.bof());
        QCOMPARE(ds.recNo(), 0);
        QCOMPARE(ds.text(1), QString());
        QCOMPARE(ds.integer(0), 0);
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.deleteRecord());
        // Editing an empty data set appends.
        ds.edit();
        QCOMPARE(ds.state(), DataSet::State::Insert);
        ds.setText(1, "first");
        ds.post();
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.recNo(), 1);
    }

    void leavingWithoutChangePostsNothing()
    {
        VectorDataSet ds(2);
        ds.open();
        ds.edit();
        ds.setText(1, "name1"); // same value: not a change
        ds.post();
        ds.edit();
        ds.next(); // moving cancels an unchanged edit
        ds.insert();
        ds.post();
        ds.append();
        ds.first();
        QCOMPARE(ds.updates, 0);
        QCOMPARE(ds.inserts, 0);
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.state(), DataSet::State::Browse);
    }

    void editPostCancel()
    {
        VectorDataSet ds(3);
        ds.open();
        ds.setRecNo(2);
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.setText(1, "x")); // not in edit mode
        ds.edit();
        ds.setText(1, "changed");
        QCOMPARE(ds.text(1), QString("changed"));
        ds.cancel();
        QCOMPARE(ds.text(1), QString("name2"));
        QCOMPARE(ds.updates, 0);

        ds.edit();
        ds.setValue(2, "7.25");
        QVERIFY(ds.isModified());
        ds.next(); // moving posts a changed record
        QCOMPARE(ds.updates, 1);
        QCOMPARE(ds.rows[1].values[2], QVariant(7.25));
        QCOMPARE(ds.recNo(), 3);
    }

    void insertAppendDelete()
    {
        VectorDataSet ds(3);
        ds.open();
        ds.setRecNo(2);
        ds.insert();
        QCOMPARE(ds.recNo(), 2);
        ds.setText(1, "inserted");
        ds.post();
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(names(ds), QStringList({ "name1", "inserted", "name2", "name3" }));
        ds.append();
        ds.setText(1, "appended");
        ds.post();
        QCOMPARE(ds.recNo(), 5);
        ds.last();
        ds.deleteRecord();
        QCOMPARE(ds.recordCount(), 4);
        QCOMPARE(ds.recNo(), 4); // the current record is the new last one
        QCOMPARE(ds.text(1), QString("name3"));
        // Delete while inserting only drops the new record.
        ds.insert();
        ds.setText(1, "dropped");
        ds.deleteRecord();
        QCOMPARE(ds.recordCount(), 4);
        QCOMPARE(ds.deletes, 1);
    }

    void appendRecordKeepsNulls()
    {
        VectorDataSet ds(1);
        ds.open();
        ds.appendRecord({ QVariant(), QVariant(), QVariant(), QVariant() });
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.recNo(), 2);
        QVERIFY(ds.isNull(1));
        ds.appendRecord({ "7", "seven" }); // coerced; missing values are null
        QCOMPARE(ds.value(0), QVariant(7));
        QVERIFY(ds.isNull(3));
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.appendRecord({ "x" }));
        QCOMPARE(ds.recordCount(), 3);
    }

    void readOnly()
    {
        VectorDataSet ds(1);
        ds.sourceReadOnly = true;
        ds.open();
        QVERIFY(ds.isReadOnly());
        for (auto op : { &DataSet::edit, &DataSet::append, &DataSet::insert, &DataSet::deleteRecord }) {
            try {
                (ds.*op)();
                QFAIL("no error");
            } catch (const EngineError &e) {
                QCOMPARE(e.message(), QString("Cannot modify a read-only dataset"));
            }
        }
        VectorDataSet asked(1);
        asked.setReadOnly(true);
        asked.open();
        QVERIFY_THROWS_EXCEPTION(EngineError, asked.edit());
    }

    void requiredField()
    {
        VectorDataSet ds(1);
        ds.defs[1].required = true;
        ds.open();
        ds.append();
        ds.setInteger(0, 9);
        try {
            ds.post();
            QFAIL("posted without a required value");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QString("Field 'NAME' must have a value"));
        }
        QCOMPARE(ds.state(), DataSet::State::Insert); // the user can still fix it
        ds.setText(1, "ok");
        ds.post();
        QCOMPARE(ds.recordCount(), 2);
    }

    void valueForms()
    {
        VectorDataSet ds(1);
        ds.open();
        ds.edit();
        ds.setText(0, " 42 ");
        QCOMPARE(ds.value(0), QVariant(42));
        QCOMPARE(ds.integer(0), 42);
        ds.setText(3, "2024-02-29");
        QCOMPARE(ds.value(3).toDate(), QDate(2024, 2, 29));
        ds.setText(3, "");
        QVERIFY(ds.isNull(3));
        QCOMPARE(ds.text(3), QString());
        ds.setText(1, "abc");
        try {
            ds.integer(1);
            QFAIL("no error");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QString("'abc' is not a valid integer value"));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.setText(0, "4.5"));
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.setText(3, "2023-02-29"));
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.value("nosuch"));
        QCOMPARE(ds.fieldIndex("amount"), 2); // names compare without case
        QCOMPARE(ds.blob(1), QByteArray("abc"));
    }

    void bookmarks()
    {
        VectorDataSet ds(4);
        ds.open();
        ds.setRecNo(3);
        const auto bm = ds.bookmark();
        ds.first();
        ds.insert();
        ds.setText(1, "before");
        ds.post();
        ds.gotoBookmark(bm);
        QCOMPARE(ds.text(1), QString("name3"));
        QCOMPARE(ds.recNo(), 4);
        ds.deleteRecord();
        QVERIFY(!ds.bookmarkValid(bm));
        try {
            ds.gotoBookmark(bm);
            QFAIL("went to a deleted record");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QString("Record not found"));
        }
    }

    void presentationInMemoryOnly()
    {
        VectorDataSet ds(1);
        ds.open();
        QCOMPARE(ds.field(1).displayLabel, QString("NAME"));
        QCOMPARE(ds.field(2).alignment, Alignment::Right);
        QCOMPARE(ds.field(1).alignment, Alignment::Left);
        ds.setDisplayLabel(1, "Customer name");
        ds.setFieldVisible(2, false);
        ds.setFieldAlignment(1, Alignment::Center);
        QCOMPARE(ds.field(1).displayLabel, QString("Customer name"));
        QVERIFY(!ds.field(2).visible);
        QCOMPARE(ds.defs[1].displayLabel, QString("NAME")); // the source keeps its own
        ds.close();
        ds.open();
        QCOMPARE(ds.field(1).displayLabel, QString("NAME"));
        QVERIFY(ds.field(2).visible);
    }

    void observersAndSuspension()
    {
        VectorDataSet ds(3);
        Recorder rec;
        ds.addLink(&rec);
        ds.open();
        QCOMPARE(rec.events, QList<DataEvent> { DataEvent::ActiveChanged });
        rec.events.clear();
        ds.next();
        QCOMPARE(rec.events, QList<DataEvent> { DataEvent::RecordMoved });
        rec.events.clear();
        {
            DataSet::ControlsDisabled outer(ds);
            {
                DataSet::ControlsDisabled inner(ds);
                ds.first();
                ds.last();
            }
            ds.edit();
            ds.setText(1, "x");
            ds.post();
            QVERIFY(rec.events.isEmpty());
        }
        // One refresh once the outermost guard is gone.
        QCOMPARE(rec.events, QList<DataEvent> { DataEvent::DataSetChanged });
        rec.events.clear();
        ds.enableControls(); // unbalanced: ignored
        QVERIFY(!ds.controlsDisabled());
        ds.removeLink(&rec);
        ds.first();
        QVERIFY(rec.events.isEmpty());
    }

    void closeCancelsPendingEdit()
    {
        VectorDataSet ds(1);
        ds.open();
        ds.edit();
        ds.setText(1, "unsaved");
        ds.close();
        QCOMPARE(ds.updates, 0);
        QCOMPARE(ds.rows[0].values[1], QVariant("name1"));
    }
};

QTEST_GUILESS_MAIN(DataSetTest)
#include "tst_dataset.moc"
