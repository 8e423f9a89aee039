// The data set cursor: navigation, the edit state machine, value conversion
// and observers, over a small in-memory record source; and the reason a
// table of each format gives for refusing changes.
#include "engine/DataSet.h"
#include "engine/Table.h"
#include "engine/Value.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

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
    QString sourceReason; // why the source refuses writes, when it says

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
    QString doReadOnlyReason() const override { return sourceReason; }
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

    // Whole-table reads by number see records as they stand: the one being
    // edited through its value, never straight from the file.
    void wholeTableReadsSeeEdits()
    {
        QTemporaryDir dir;
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(QStringLiteral("w.dbf"));
        t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
        t.createTable();
        t.open();
        for (const char *name : { "one", "two", "three" }) {
            t.append();
            t.setText(0, QString::fromLatin1(name));
            t.post();
        }
        struct TextSink final : FieldSink {
            QString got;
            void null() override { got = QStringLiteral("null"); }
            void integer(qint64) override { got = QStringLiteral("integer"); }
            void real(double) override { got = QStringLiteral("real"); }
            void text(const char *utf8, qsizetype n) override { got = QString::fromUtf8(utf8, n); }
        } sink;
        QVERIFY(t.hasRecord(3));
        QVERIFY(!t.hasRecord(4));
        QVERIFY(!t.hasRecord(0));
        t.setRecNo(2);
        t.edit();
        t.setText(0, QStringLiteral("edited"));
        QVERIFY(!t.readFieldTo(2, 0, sink));
        QCOMPARE(t.readField(2, 0).toString(), QStringLiteral("edited"));
        QVERIFY(t.readFieldTo(3, 0, sink));
        QCOMPARE(sink.got, QStringLiteral("three"));
        QCOMPARE(t.readField(1, 0).toString(), QStringLiteral("one"));
        t.post();
        QVERIFY(t.readFieldTo(2, 0, sink));
        QCOMPARE(sink.got, QStringLiteral("edited"));
        QVERIFY(t.readField(9, 0).isNull());
        QVERIFY_THROWS_EXCEPTION(EngineError, t.readFieldTo(9, 0, sink));
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

    void readOnly_data()
    {
        QTest::addColumn<bool>("sourceReadOnly");
        QTest::addColumn<QString>("sourceReason");
        QTest::addColumn<bool>("asked"); // setReadOnly(true)
        QTest::addColumn<QString>("reason");
        QTest::newRow("source says nothing") << true << QString() << false << QString();
        QTest::newRow("source says why")
            << true << "the file is read-only on disk" << false << "the file is read-only on disk";
        QTest::newRow("asked") << false << QString() << true << "it is open read-only";
        QTest::newRow("asked, source says why")
            << true << "the table is open read-only" << true << "the table is open read-only";
    }
    void readOnly()
    {
        QFETCH(bool, sourceReadOnly);
        QFETCH(QString, sourceReason);
        QFETCH(bool, asked);
        QFETCH(QString, reason);
        VectorDataSet ds(1);
        ds.sourceReadOnly = sourceReadOnly;
        ds.sourceReason = sourceReason;
        ds.setReadOnly(asked);
        ds.open();
        QVERIFY(ds.isReadOnly());
        QCOMPARE(ds.readOnlyReason(), reason);
        const QString expected = reason.isEmpty() ? QString("Cannot modify a read-only dataset")
                                                  : "Cannot modify a read-only dataset: " + reason;
        const std::vector<std::function<void()>> ops {
            [&] { ds.edit(); },
            [&] { ds.append(); },
            [&] { ds.insert(); },
            [&] { ds.deleteRecord(); },
            [&] { ds.appendRecord({ 2 }); },
        };
        for (const auto &op : ops) {
            try {
                op();
                QFAIL("no error");
            } catch (const EngineError &e) {
                QCOMPARE(e.message(), expected);
            }
        }
        QCOMPARE(ds.state(), DataSet::State::Browse);
        QCOMPARE(ds.updates + ds.inserts + ds.deletes, 0);
    }

    void writable_hasNoReadOnlyReason()
    {
        VectorDataSet ds(1);
        ds.sourceReason = "ignored while the source takes writes";
        ds.open();
        QVERIFY(!ds.isReadOnly());
        QCOMPARE(ds.readOnlyReason(), QString());
        ds.edit(); // and it does take them
        QCOMPARE(ds.state(), DataSet::State::Edit);
    }

    // A table gives its format's reason: asked to open read-only, or kept
    // read-only by what the file needs (a dBASE index this engine cannot
    // read, and so cannot keep up to date).
    void tableReadOnlyReason_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("indexFlag"); // the dBASE header's production index flag, and a broken .mdx
        QTest::addColumn<QString>("reason");
        const QString asked = QStringLiteral("the table is open read-only");
        QTest::newRow("dBASE, asked") << int(Table::DBase) << "t.dbf" << false << asked;
        QTest::newRow("Paradox, asked") << int(Table::Paradox) << "t.db" << false << asked;
        QTest::newRow("text, asked") << int(Table::Ascii) << "t.txt" << false << asked;
        QTest::newRow("dBASE, unreadable production index")
            << int(Table::DBase) << "t.dbf" << true
            << "its index file t.mdx cannot be read (t.mdx: the file ends inside the file header "
               "(544 bytes at offset 0, file size 12)); "
               "the table is open read-only so that the index stays correct for other programs";
    }
    void tableReadOnlyReason()
    {
        QFETCH(int, type);
        QFETCH(QString, name);
        QFETCH(bool, indexFlag);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Table t;
        t.setDatabaseName(dir.path());
        t.setTableName(name);
        t.setTableType(type);
        t.addFieldDef("NAME", FieldType::String, 10);
        t.createTable();
        t.open();
        QVERIFY(!t.isReadOnly());
        QCOMPARE(t.readOnlyReason(), QString());
        t.appendRecord({ "kept" });
        t.close();
        if (indexFlag) {
            QFile f(t.filePath());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(28));
            QVERIFY(f.putChar(0x01));
            QFile mdx(dir.filePath(QStringLiteral("t.mdx")));
            QVERIFY(mdx.open(QIODevice::WriteOnly));
            mdx.write("not an index");
        } else {
            t.setReadOnly(true);
        }
        t.open();
        QVERIFY(t.isReadOnly());
        QCOMPARE(t.readOnlyReason(), reason);
        try {
            t.edit();
            QFAIL("a read-only table was edited");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), "Cannot modify a read-only dataset: " + reason);
        }
        QCOMPARE(t.text(0), QStringLiteral("kept"));
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
