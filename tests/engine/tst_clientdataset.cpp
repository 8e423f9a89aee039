// The in-memory client data set: defining and creating it, inserting before
// the current record, bookmarks, loading and saving packets, and writing
// itself back to its file when its data changed.
#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/formats/TableFormat.h"
#include "engine/packets/Packets.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

using namespace qvx;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A small data set: ID integer, NAME string(20); rows 1 "one", 2 "two", 3 "three".
void fill(ClientDataSet &ds)
{
    ds.clearFieldDefs();
    ds.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    ds.createDataSet();
    const char *names[] = { "one", "two", "three" };
    for (int i = 0; i < 3; ++i) {
        ds.append();
        ds.setValue(0, i + 1);
        ds.setText(1, QString::fromLatin1(names[i]));
        ds.post();
    }
}

QStringList names(ClientDataSet &ds)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.text(1);
    return out;
}

// A packet file holding fill()'s rows, written without a ClientDataSet of ours.
QString makePacketFile(const QTemporaryDir &dir, const QString &name, bool xml)
{
    Packet p;
    p.fields = { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                 FieldDef(QStringLiteral("NAME"), FieldType::String, 20) };
    p.rows = { { 1, QStringLiteral("one") }, { 2, QStringLiteral("two") }, { 3, QStringLiteral("three") } };
    const QString path = dir.filePath(name);
    writeBytes(path, xml ? writeXmlPacket(p) : writeBinaryPacket(p));
    return path;
}

// Sets a file's time back, so that a rewrite cannot go unseen within the
// file system's time resolution.
void ageFile(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
    QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
}

} // namespace

class TestClientDataSet : public QObject {
    Q_OBJECT

private slots:
    void createWithEveryFieldType();
    void badDefinitions_data();
    void badDefinitions();
    void insertBeforeCurrent();
    void bookmarksSurviveInsertsAndDeletes();
    void autoIncrementValues();
    void emptyDataSet();
    void saveFormatByName_data();
    void saveFormatByName();
    void saveOfClosedDataSetWritesNothing();
    void loadDetectsFormatFromContent_data();
    void loadDetectsFormatFromContent();
    void openWithFileName();
    void openFailures_data();
    void openFailures();
    void indexDefinitionsSurvive_data();
    void indexDefinitionsSurvive();
    void writeBackOnDestruction_data();
    void writeBackOnDestruction();
    void closeWritesBack();
    void failedWriteBack();
    void failedWriteBackKeepsRows_data();
    void failedWriteBackKeepsRows();
    void readFieldToGivesValue_data();
    void readFieldToGivesValue();
};

void TestClientDataSet::createWithEveryFieldType()
{
    ClientDataSet ds;
    for (int code = 0; code <= 29; ++code)
        ds.addFieldDef(QStringLiteral("F%1").arg(code), fieldTypeFromCode(code), code == 1 ? 12 : 0);
    ds.createDataSet();
    QVERIFY(ds.isOpen());
    QCOMPARE(ds.fieldCount(), 30);
    QCOMPARE(ds.recordCount(), 0);
    for (int code = 0; code <= 29; ++code)
        QCOMPARE(int(ds.field(code).type), code);
    QCOMPARE(ds.field(1).size, 12);

    ds.append();
    ds.setText(1, QStringLiteral("abc"));
    ds.setText(3, QStringLiteral("42"));
    ds.setText(9, QStringLiteral("2024-02-29"));
    ds.setText(8, QStringLiteral("+0012.50"));
    ds.post();
    QCOMPARE(ds.recordCount(), 1);
    // Values are held in their type's form, whatever form they came in.
    QCOMPARE(ds.value(3), QVariant(42));
    QCOMPARE(ds.value(9), QVariant(QDate(2024, 2, 29)));
    QCOMPARE(ds.value(8), QVariant(QStringLiteral("12.5")));
    QVERIFY(ds.isNull(6));
    QCOMPARE(ds.value(14), QVariant(1)); // auto-increment filled in
}

void TestClientDataSet::badDefinitions_data()
{
    QTest::addColumn<QString>("step"); // the definition that must fail
    QTest::addColumn<QString>("fragment");
    QTest::newRow("empty name") << "field:"
                                << "needs a name";
    QTest::newRow("duplicate in other case") << "field:id"
                                             << "Duplicate field name 'id'";
    QTest::newRow("negative size") << "size"
                                   << "negative size";
    QTest::newRow("index without fields") << "index:"
                                          << "names no fields";
    QTest::newRow("index on unknown field") << "index:NOPE"
                                            << "unknown field 'NOPE'";
    QTest::newRow("index twice") << "index:ID;index:ID"
                                 << "Duplicate index name";
    QTest::newRow("no fields") << "nofields"
                               << "without field definitions";
}

void TestClientDataSet::badDefinitions()
{
    QFETCH(QString, step);
    QFETCH(QString, fragment);
    ClientDataSet ds;
    try {
        if (step != u"nofields")
            ds.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
        for (const QString &s : step.split(u';')) {
            if (s.startsWith(u"field:"))
                ds.addFieldDef(s.mid(6), FieldType::String, 5);
            else if (s == u"size")
                ds.addFieldDef(QStringLiteral("S"), FieldType::String, -1);
            else if (s.startsWith(u"index:"))
                ds.addIndexDef(QStringLiteral("I"), s.mid(6).split(u',', Qt::SkipEmptyParts));
        }
        ds.createDataSet();
        QFAIL("no EngineError");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
    }
    QVERIFY(!ds.isOpen());
}

void TestClientDataSet::insertBeforeCurrent()
{
    ClientDataSet ds;
    fill(ds);
    ds.setRecNo(2);
    ds.insert();
    ds.setValue(0, 9);
    ds.setText(1, QStringLiteral("new"));
    ds.post();
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(ds.text(1), QStringLiteral("new"));
    QCOMPARE(names(ds), (QStringList { "one", "new", "two", "three" }));

    // Before the first record as well.
    ds.first();
    ds.insert();
    ds.setText(1, QStringLiteral("zero"));
    ds.post();
    QCOMPARE(ds.recNo(), 1);
    QCOMPARE(names(ds), (QStringList { "zero", "one", "new", "two", "three" }));
}

void TestClientDataSet::bookmarksSurviveInsertsAndDeletes()
{
    ClientDataSet ds;
    fill(ds);
    ds.setRecNo(3);
    const DataSet::Bookmark three = ds.bookmark();
    ds.setRecNo(2);
    const DataSet::Bookmark two = ds.bookmark();

    ds.first();
    ds.insert(); // before "one": every row moves down
    ds.setText(1, QStringLiteral("zero"));
    ds.post();
    ds.gotoBookmark(three);
    QCOMPARE(ds.text(1), QStringLiteral("three"));
    QCOMPARE(ds.recNo(), 4);

    ds.gotoBookmark(two);
    ds.deleteRecord(); // "two" goes; "three" moves up
    QVERIFY(!ds.bookmarkValid(two));
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.gotoBookmark(two));
    ds.first();
    ds.gotoBookmark(three);
    QCOMPARE(ds.text(1), QStringLiteral("three"));
    QCOMPARE(ds.recNo(), 3);
}

void TestClientDataSet::autoIncrementValues()
{
    QTemporaryDir dir;
    ClientDataSet ds;
    ds.addFieldDef(QStringLiteral("ID"), FieldType::AutoInc);
    ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
    ds.createDataSet();
    for (const char *name : { "a", "b" }) {
        ds.append();
        ds.setText(1, QString::fromLatin1(name));
        ds.post();
    }
    QCOMPARE(ds.integer(0), 2);
    const QString path = dir.filePath(QStringLiteral("auto.cds"));
    ds.saveToFile(path);

    // After a load, numbering goes on from the highest value in the data.
    ClientDataSet again;
    again.loadFromFile(path);
    again.append();
    again.setText(1, QStringLiteral("c"));
    again.post();
    QCOMPARE(again.integer(0), 3);
}

void TestClientDataSet::emptyDataSet()
{
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, QStringLiteral("e.xml"), true);
    {
        ClientDataSet ds;
        ds.setFileName(path);
        ds.open();
        ds.setRecNo(2);
        ds.emptyDataSet();
        QCOMPARE(ds.recordCount(), 0);
        QCOMPARE(ds.recNo(), 0);
        QVERIFY(ds.eof());
        QCOMPARE(ds.fieldCount(), 2);
        QVERIFY(ds.changedSinceLoad());
    }
    ClientDataSet check;
    check.loadFromFile(path);
    QCOMPARE(check.recordCount(), 0);
}

void TestClientDataSet::saveFormatByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("askXml");
    QTest::addColumn<bool>("writesXml");
    QTest::newRow("binary asked, .xml") << "t.xml" << false << true;
    QTest::newRow("binary asked, .XML") << "t.XML" << false << true;
    QTest::newRow("binary asked, .Xml") << "t.Xml" << false << true;
    QTest::newRow("binary asked, .cds") << "t.cds" << false << false;
    QTest::newRow("binary asked, .xml.bak") << "t.xml.bak" << false << false;
    QTest::newRow("binary asked, no extension") << "xml" << false << false;
    QTest::newRow("xml asked, .cds") << "t.cds" << true << true;
    QTest::newRow("xml asked, .xml") << "t.xml" << true << true;
}

void TestClientDataSet::saveFormatByName()
{
    QFETCH(QString, name);
    QFETCH(bool, askXml);
    QFETCH(bool, writesXml);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    ClientDataSet ds;
    fill(ds);
    ds.saveToFile(path, askXml ? PacketFormat::Xml : PacketFormat::Binary);
    const QByteArray bytes = fileBytes(path);
    QCOMPARE(looksLikeBinaryPacket(bytes), !writesXml);
    QCOMPARE(bytes.startsWith("<?xml"), writesXml);
    ClientDataSet back;
    back.loadFromFile(path);
    QCOMPARE(names(back), (QStringList { "one", "two", "three" }));
}

void TestClientDataSet::saveOfClosedDataSetWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("closed.xml"));
    ClientDataSet never;
    never.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
    never.saveToFile(path, PacketFormat::Xml); // defined but not created
    QVERIFY(!QFile::exists(path));

    ClientDataSet closed;
    fill(closed);
    closed.close();
    closed.saveToFile(path, PacketFormat::Xml);
    closed.saveToFile(path, PacketFormat::Binary);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestClientDataSet::loadDetectsFormatFromContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("xml");
    QTest::newRow("binary in .xml") << "binary.xml" << false;
    QTest::newRow("xml in .cds") << "xml.cds" << true;
    QTest::newRow("xml without extension") << "packet" << true;
    QTest::newRow("binary in .dbf") << "odd.dbf" << false;
}

void TestClientDataSet::loadDetectsFormatFromContent()
{
    QFETCH(QString, name);
    QFETCH(bool, xml);
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, name, xml);
    ClientDataSet ds;
    ds.loadFromFile(path);
    QVERIFY(ds.isOpen());
    QCOMPARE(names(ds), (QStringList { "one", "two", "three" }));
    QVERIFY(!ds.changedSinceLoad());
}

void TestClientDataSet::openWithFileName()
{
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, QStringLiteral("o.xml"), true);
    ClientDataSet ds;
    ds.setFileName(path);
    ds.open();
    QCOMPARE(ds.recordCount(), 3);
    QCOMPARE(ds.field(1).size, 20);
    QCOMPARE(ds.displayName(), QStringLiteral("o.xml"));
    // Closing and opening reads the file again.
    ds.close();
    writeBytes(path, fileBytes(makePacketFile(dir, QStringLiteral("other.cds"), false)));
    ds.open();
    QCOMPARE(ds.recordCount(), 3);
}

void TestClientDataSet::openFailures_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<QString>("fragment");
    QTest::newRow("missing file") << QByteArray() << "";
    QTest::newRow("text file") << QByteArray("just some text\n") << "not a data packet";
    QTest::newRow("other xml") << QByteArray("<html><body/></html>") << "<html>, not a DATAPACKET";
    QTest::newRow("truncated binary")
        << writeBinaryPacket(
               Packet { { FieldDef(QStringLiteral("A"), FieldType::Integer) }, {}, { { 1 } }, {} })
               .left(20)
        << "binary data packet: the field count";
}

void TestClientDataSet::openFailures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    if (!content.isEmpty())
        writeBytes(path, content);
    for (bool viaLoad : { false, true }) {
        ClientDataSet ds;
        try {
            if (viaLoad) {
                ds.loadFromFile(path);
            } else {
                ds.setFileName(path);
                ds.open();
            }
            QFAIL("no EngineError");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(path), qPrintable(e.message()));
            QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
        }
        QVERIFY(!ds.isOpen());
    }
    if (!content.isEmpty())
        QCOMPARE(fileBytes(path), content); // a failed open writes nothing back
}

void TestClientDataSet::indexDefinitionsSurvive_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xml") << "i.xml";
    QTest::newRow("binary") << "i.cds";
}

void TestClientDataSet::indexDefinitionsSurvive()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    {
        ClientDataSet ds;
        ds.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
        ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
        ds.addIndexDef(QStringLiteral("ByName"), { QStringLiteral("NAME"), QStringLiteral("ID") });
        ds.addIndexDef(QStringLiteral("Primary"), { QStringLiteral("ID") });
        ds.createDataSet();
        ds.saveToFile(path);
    }
    ClientDataSet back;
    back.loadFromFile(path);
    const std::vector<IndexDef> want { { QStringLiteral("ByName"),
                                         { QStringLiteral("NAME"), QStringLiteral("ID") } },
                                       { QStringLiteral("Primary"), { QStringLiteral("ID") } } };
    QCOMPARE(back.indexDefs(), want);
    // And once more through the other format.
    const QString other
        = dir.filePath(name.endsWith(u".xml") ? QStringLiteral("j.cds") : QStringLiteral("j.xml"));
    back.saveToFile(other);
    ClientDataSet again;
    again.loadFromFile(other);
    QCOMPARE(again.indexDefs(), want);

    // Defining the data set a second time starts from no indexes: the same
    // name is no duplicate then.
    again.close();
    again.clearIndexDefs();
    QVERIFY(again.indexDefs().empty());
    again.addIndexDef(QStringLiteral("Primary"), { QStringLiteral("NAME") });
    QCOMPARE(again.indexDefs().size(), std::size_t(1));
    QCOMPARE(again.indexDefs().front().fields, QStringList { QStringLiteral("NAME") });
}

void TestClientDataSet::writeBackOnDestruction_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("change"); // "", "edit", "edit unchanged", "insert", "delete", "cancel"
    QTest::addColumn<bool>("xml"); // what the file holds before
    for (const char *name : { "w.xml", "w.XML", "w.cds" }) {
        for (const char *change : { "", "edit", "edit unchanged", "insert", "delete", "cancel" }) {
            for (bool xml : { true, false }) {
                const QByteArray tag = QByteArray(name) + " " + (*change ? change : "no change")
                    + (xml ? " (xml)" : " (binary)");
                QTest::newRow(tag.constData()) << name << change << xml;
            }
        }
    }
}

void TestClientDataSet::writeBackOnDestruction()
{
    QFETCH(QString, name);
    QFETCH(QString, change);
    QFETCH(bool, xml);
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, name, xml);
    ageFile(path);
    const QByteArray before = fileBytes(path);
    const QDateTime beforeTime = QFileInfo(path).lastModified();

    auto ds = std::make_unique<ClientDataSet>();
    ds->setFileName(path);
    ds->open();
    ds->setRecNo(2);
    if (change == u"edit") {
        ds->edit();
        ds->setText(1, QStringLiteral("TWO"));
        ds->post();
    } else if (change == u"edit unchanged") {
        ds->edit();
        ds->setText(1, QStringLiteral("two")); // the value it had
        ds->post();
    } else if (change == u"insert") {
        ds->insert();
        ds->setText(1, QStringLiteral("TWO"));
        ds->post();
    } else if (change == u"delete") {
        ds->deleteRecord();
    } else if (change == u"cancel") {
        ds->edit();
        ds->setText(1, QStringLiteral("TWO"));
        ds->cancel();
    }
    const bool changed = change == u"edit" || change == u"insert" || change == u"delete";
    QCOMPARE(ds->changedSinceLoad(), changed);
    ds.reset();

    const QByteArray after = fileBytes(path);
    if (!changed) {
        QCOMPARE(after, before);
        QCOMPARE(QFileInfo(path).lastModified(), beforeTime);
        return;
    }
    QVERIFY(after != before);
    // XML for a name ending in ".xml" in any case, binary otherwise, whatever the file held.
    QCOMPARE(!looksLikeBinaryPacket(after), name.endsWith(u".xml", Qt::CaseInsensitive));
    ClientDataSet back;
    back.loadFromFile(path);
    QStringList want { "one", "two", "three" };
    if (change == u"edit")
        want[1] = QStringLiteral("TWO");
    else if (change == u"insert")
        want.insert(1, QStringLiteral("TWO"));
    else
        want.removeAt(1);
    QCOMPARE(names(back), want);
    // Nothing is left beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { name });
}

void TestClientDataSet::closeWritesBack()
{
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, QStringLiteral("c.cds"), false);
    ClientDataSet ds;
    ds.setFileName(path);
    ds.open();
    ds.last();
    ds.deleteRecord();
    ds.close();
    ClientDataSet check;
    check.loadFromFile(path);
    QCOMPARE(names(check), (QStringList { "one", "two" }));

    // Reopened, the data is the file's and unchanged: the destructor leaves it.
    ds.open();
    QVERIFY(!ds.changedSinceLoad());
    QCOMPARE(ds.recordCount(), 2);
}

void TestClientDataSet::failedWriteBack()
{
    QTemporaryDir dir;
    const QString good = makePacketFile(dir, QStringLiteral("f.xml"), true);
    const QString unwritable = dir.filePath(QStringLiteral("no such folder/f.xml"));
    auto ds = std::make_unique<ClientDataSet>();
    ds->loadFromFile(good);
    ds->setFileName(unwritable);
    ds->first();
    ds->deleteRecord();
    // Closing reports the failure to the caller.
    try {
        ds->close();
        QFAIL("no EngineError");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("no such folder")), qPrintable(e.message()));
    }
    // The data is kept, and the destructor only logs its own failure.
    QVERIFY(ds->changedSinceLoad());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no such folder")));
    ds.reset();
    QVERIFY(!QFile::exists(unwritable));
}

void TestClientDataSet::failedWriteBackKeepsRows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("throughBase"); // closed as a DataSet, as a grid or window does
    for (const char *name : { "r.xml", "r.cds" }) {
        QTest::addRow("%s closed", name) << name << false;
        QTest::addRow("%s closed as a DataSet", name) << name << true;
    }
}

// A file read-only on disk is not replaced (root could write it, so the mode
// bits decide), and the changes stay in memory until a write-back succeeds.
void TestClientDataSet::failedWriteBackKeepsRows()
{
    QFETCH(QString, name);
    QFETCH(bool, throughBase);
    QTemporaryDir dir;
    const QString path = makePacketFile(dir, name, name.endsWith(u".xml"));
    const QByteArray before = fileBytes(path);
    const QByteArray file = QFile::encodeName(path);
    QCOMPARE(::chmod(file.constData(), 0444), 0);

    ClientDataSet ds;
    ds.setFileName(path);
    ds.open();
    ds.first();
    ds.deleteRecord();
    try {
        if (throughBase)
            static_cast<DataSet &>(ds).close();
        else
            ds.close();
        QFAIL("a read-only file was written back");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(path + u':'), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("read-only")), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(path), before);
    struct stat st { };
    QCOMPARE(::stat(file.constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0444));

    // Still open (or, closed through the base, reopened) with the change, not the file's rows.
    QCOMPARE(ds.isOpen(), !throughBase);
    if (throughBase)
        ds.open();
    QVERIFY(ds.changedSinceLoad());
    QCOMPARE(names(ds), (QStringList { "two", "three" }));

    // Once the file may be written, the kept rows go to it and it keeps its mode.
    QCOMPARE(::chmod(file.constData(), 0604), 0);
    ds.close();
    QVERIFY(!ds.isOpen());
    QCOMPARE(::stat(file.constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0604));
    ClientDataSet back;
    back.loadFromFile(path);
    QCOMPARE(names(back), (QStringList { "two", "three" }));
    ds.open();
    QVERIFY(!ds.changedSinceLoad());
    QCOMPARE(names(ds), (QStringList { "two", "three" }));
}

namespace {

// What one readFieldTo() call handed over.
class RecordingSink final : public FieldSink {
public:
    QString kind;
    QVariant value;
    int calls = 0;
    void null() override { record(QStringLiteral("null"), {}); }
    void integer(qint64 v) override { record(QStringLiteral("integer"), v); }
    void real(double v) override { record(QStringLiteral("real"), v); }
    void text(const char *utf8, qsizetype n) override
    {
        record(QStringLiteral("text"), QString::fromUtf8(utf8, n));
    }
    void boolean(bool v) override { record(QStringLiteral("boolean"), v); }
    void decimal(const char *t, qsizetype n) override
    {
        record(QStringLiteral("decimal"), QString::fromUtf8(t, n));
    }

private:
    void record(const QString &k, const QVariant &v)
    {
        kind = k;
        value = v;
        ++calls;
    }
};

} // namespace

// Values handed straight to a sink are the values value() gives, whether the
// row came from an edit or from a packet read back; what the row store does
// not hand out directly is left to readField().
void TestClientDataSet::readFieldToGivesValue_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("kind"); // what the sink is given; "" for none
    QTest::addColumn<QVariant>("given");

    const auto row
        = [](const char *tag, FieldType t, const QVariant &v, const char *kind, const QVariant &given) {
              QTest::newRow(tag) << int(t) << v << QString::fromLatin1(kind) << given;
          };
    row("integer", FieldType::Integer, -42, "integer", qint64(-42));
    row("small integer", FieldType::SmallInt, 32767, "integer", qint64(32767));
    row("large integer", FieldType::LargeInt, qint64(1) << 40, "integer", qint64(1) << 40);
    row("auto-increment", FieldType::AutoInc, 7, "integer", qint64(7));
    row("true", FieldType::Boolean, true, "boolean", true);
    row("false", FieldType::Boolean, false, "boolean", false);
    row("float", FieldType::Float, 1.5, "real", 1.5);
    row("currency", FieldType::Currency, 2.25, "real", 2.25);
    row("decimal", FieldType::BCD, QStringLiteral("-12.50"), "decimal", QStringLiteral("-12.5"));
    row("string", FieldType::String, QStringLiteral("M\u00FCller"), "text", QStringLiteral("M\u00FCller"));
    row("empty string", FieldType::String, QStringLiteral(""), "text", QString());
    row("memo", FieldType::Memo, QStringLiteral("a\nb"), "text", QStringLiteral("a\nb"));
    row("date", FieldType::Date, QDate(2019, 4, 5), "date", QStringLiteral("2019-04-05"));
    row("date of year 9", FieldType::Date, QDate(9, 1, 2), "date", QStringLiteral("0009-01-02"));
    row("null", FieldType::String, QVariant(), "null", QVariant());
    row("time", FieldType::Time, QTime(1, 2, 3), "", QVariant());
    row("date and time", FieldType::DateTime, QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC), "",
        QVariant());
    row("blob", FieldType::Blob, QByteArray("\x01\x02", 2), "", QVariant());
}

void TestClientDataSet::readFieldToGivesValue()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, kind);
    QFETCH(QVariant, given);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.xml"));
    ClientDataSet edited;
    edited.addFieldDef(QStringLiteral("ID"), FieldType::Integer);
    edited.addFieldDef(QStringLiteral("X"), fieldTypeFromCode(type), type == int(FieldType::String) ? 20 : 0);
    edited.createDataSet();
    edited.append();
    edited.setValue(0, 1);
    edited.setValue(1, value);
    edited.post();
    edited.saveToFile(path, PacketFormat::Xml);
    ClientDataSet loaded;
    loaded.loadFromFile(path);

    for (ClientDataSet *ds : { &edited, &loaded }) {
        const QByteArray which = ds == &edited ? "edited" : "loaded";
        ds->first();
        RecordingSink sink;
        const bool direct = ds->readFieldTo(1, 1, sink);
        const QVariant held = ds->value(1);
        QCOMPARE(ds->readField(1, 1), held);
        if (kind.isEmpty()) {
            QVERIFY2(!direct, which);
            QCOMPARE(sink.calls, 0);
            continue;
        }
        QVERIFY2(direct, which);
        QCOMPARE(sink.calls, 1);
        if (kind == u"date") {
            QCOMPARE(sink.kind, QStringLiteral("text"));
            QCOMPARE(sink.value.toString(), held.toDate().toString(QStringLiteral("yyyy-MM-dd")));
        } else {
            QCOMPARE(sink.kind, kind);
            if (kind == u"null")
                QVERIFY(held.isNull());
            else if (kind == u"integer")
                QCOMPARE(sink.value.toLongLong(), held.toLongLong());
            else if (kind == u"real")
                QCOMPARE(sink.value.toDouble(), held.toDouble());
            else if (kind == u"boolean")
                QCOMPARE(sink.value.toBool(), held.toBool());
            else
                QCOMPARE(sink.value.toString(), held.toString());
        }
        QCOMPARE(sink.value, given);
    }

    // An edit posted is what the sink is given from then on.
    if (kind == u"integer") {
        edited.edit();
        edited.setValue(1, 3);
        edited.post();
        RecordingSink sink;
        QVERIFY(edited.readFieldTo(1, 1, sink));
        QCOMPARE(sink.value, QVariant(qint64(3)));
    }
}

QTEST_GUILESS_MAIN(TestClientDataSet)
#include "tst_clientdataset.moc"
