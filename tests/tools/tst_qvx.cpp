// The qvx tool run as a user runs it: its output texts, its exit codes and
// messages, and the files convert leaves behind.
#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/packets/Packets.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qvx;

Q_DECLARE_METATYPE(qvx::FieldType)
Q_DECLARE_METATYPE(qvx::FieldDefs)
Q_DECLARE_METATYPE(std::vector<qvx::Record>)

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run qvxRun(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(QVX_QVX_TOOL), args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

template<class Target> void addFields(Target &t, const FieldDefs &fields)
{
    for (const FieldDef &f : fields)
        t.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
}

void appendRows(DataSet &ds, const std::vector<Record> &rows)
{
    for (const Record &r : rows) {
        ds.append();
        for (int i = 0; i < int(r.size()); ++i)
            ds.setValue(i, r[std::size_t(i)]);
        ds.post();
    }
}

// A dbf table written through the engine; rows listed in `deleted` (from 1)
// are deleted afterwards.
QString makeTable(const QString &dir, const QString &name, int type, const FieldDefs &fields,
                  const std::vector<Record> &rows, const std::vector<qint64> &deleted = {},
                  const CreateOptions &options = {})
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(name);
    t.setTableType(type);
    addFields(t, fields);
    t.setCreateOptions(options);
    t.createTable();
    t.open();
    appendRows(t, rows);
    for (auto it = deleted.rbegin(); it != deleted.rend(); ++it) {
        t.setRecNo(*it);
        t.deleteRecord();
    }
    const QString path = t.filePath();
    t.close();
    return path;
}

QString makePacket(const QString &path, const FieldDefs &fields, const std::vector<Record> &rows,
                   PacketFormat format = PacketFormat::Xml)
{
    ClientDataSet cds;
    addFields(cds, fields);
    cds.createDataSet();
    appendRows(cds, rows);
    cds.saveToFile(path, format);
    return path;
}

// Every record of a file, read back through the engine.
std::vector<Record> readAll(DataSet &ds)
{
    std::vector<Record> rows;
    for (ds.first(); !ds.eof(); ds.next())
        rows.push_back(ds.currentRecord());
    return rows;
}

std::vector<Record> readTable(const QString &path)
{
    Table t;
    t.setDatabaseName(QFileInfo(path).absolutePath());
    t.setTableName(QFileInfo(path).fileName());
    t.open();
    return readAll(t);
}

std::vector<Record> readPacket(const QString &path)
{
    ClientDataSet cds;
    cds.loadFromFile(path);
    return readAll(cds);
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class QvxTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // A small dBASE table with a memo, text beyond ASCII, nulls and a
    // deleted record; its fields are deliberately not in alphabetical order.
    QString customerTable(const QString &dir)
    {
        const FieldDefs fields = {
            FieldDef(QStringLiteral("ZNO"), FieldType::Integer, 6),
            FieldDef(QStringLiteral("NAME"), FieldType::String, 20),
            FieldDef(QStringLiteral("SINCE"), FieldType::Date),
            FieldDef(QStringLiteral("CREDIT"), FieldType::BCD, 10, 2),
            FieldDef(QStringLiteral("ACTIVE"), FieldType::Boolean),
            FieldDef(QStringLiteral("NOTES"), FieldType::Memo),
        };
        const std::vector<Record> rows = {
            { 1, QStringLiteral("Müller"), QDate(2020, 1, 31), QStringLiteral("1500.25"), true,
              QStringLiteral("first line\r\nsecond, \"quoted\"") },
            { 2, QStringLiteral("Gone"), QDate(2021, 2, 1), QStringLiteral("1"), false, QVariant() },
            { 3, QStringLiteral("Ærø"), QVariant(), QVariant(), QVariant(), QVariant() },
            { 4, QStringLiteral("Fourth"), QDate(1999, 12, 31), QStringLiteral("-0.5"), false,
              QStringLiteral("memo") },
        };
        return makeTable(dir, QStringLiteral("customer.dbf"), Table::DBase, fields, rows, { 2 },
                         CreateOptions { 0, QStringLiteral("IBM850") });
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void infoShowsFormatAndFields()
    {
        const QString dir = m_dir.filePath(QStringLiteral("info"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = customerTable(dir);

        const Run text = qvxRun({ QStringLiteral("info"), path });
        QCOMPARE(text.exitCode, 0);
        QVERIFY2(text.out.contains("Records:    3\n"), text.out);
        QVERIFY2(text.out.contains("Code page:  IBM850 (language driver byte)\n"), text.out);
        QVERIFY2(text.out.contains("Version:    0x83\n"), text.out);
        QVERIFY2(text.out.contains("Text memo"), text.out);

        const Run json = qvxRun({ QStringLiteral("info"), QStringLiteral("--json"), path });
        QCOMPARE(json.exitCode, 0);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(json.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value("recordCount").toInt(), 3);
        QCOMPARE(o.value("version").toInt(), 0x83);
        QCOMPARE(o.value("codePage").toString(), QStringLiteral("IBM850"));
        const QJsonArray fields = o.value("fields").toArray();
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields[0].toObject().value("name").toString(), QStringLiteral("ZNO"));
        QCOMPARE(fields[1].toObject().value("type").toInt(), 1);
        QCOMPARE(fields[1].toObject().value("typeName").toString(), QStringLiteral("String"));
        QCOMPARE(fields[1].toObject().value("size").toInt(), 20);
        QCOMPARE(fields[5].toObject().value("typeName").toString(), QStringLiteral("Text memo"));
    }

    // The names scripts match on, including the catalogue's own spellings.
    void infoTypeNames_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("small integer") << FieldType::SmallInt << "Small Integer";
        QTest::newRow("word has no catalogue name") << FieldType::Word << "Word";
        QTest::newRow("bcd") << FieldType::BCD << "BCD (Binary-Code Decimal)";
        QTest::newRow("datetime") << FieldType::DateTime << "Date and Time";
        QTest::newRow("autoinc") << FieldType::AutoInc << "Auto-incremeting";
        QTest::newRow("blob") << FieldType::Blob << "Binary Large OBject";
        QTest::newRow("graphic") << FieldType::Graphic << "Bitmap";
        QTest::newRow("large integer") << FieldType::LargeInt << "Lagre integer";
    }
    void infoTypeNames()
    {
        QFETCH(FieldType, type);
        QFETCH(QString, name);
        const QString path
            = makePacket(m_dir.filePath(QStringLiteral("types-%1.xml").arg(fieldTypeCode(type))),
                         { FieldDef(QStringLiteral("F"), type) }, {});
        const Run r = qvxRun({ QStringLiteral("info"), QStringLiteral("--json"), path });
        QCOMPARE(r.exitCode, 0);
        const QJsonObject field
            = QJsonDocument::fromJson(r.out).object().value("fields").toArray()[0].toObject();
        QCOMPARE(field.value("type").toInt(), fieldTypeCode(type));
        QCOMPARE(field.value("typeName").toString(), name);
    }

    // One value of each kind, as a JSON line and as CSV.
    void catValues_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("csv");
        const auto s = [](const char *utf8) { return QVariant(QString::fromUtf8(utf8)); };

        QTest::newRow("string") << FieldType::String << 20 << s("Müller") << QByteArray("\"Müller\"")
                                << QByteArray("Müller");
        QTest::newRow("string needing quotes")
            << FieldType::String << 30 << s("a, \"b\"\\c") << QByteArray("\"a, \\\"b\\\"\\\\c\"")
            << QByteArray("\"a, \"\"b\"\"\\c\"");
        QTest::newRow("empty string")
            << FieldType::String << 10 << s("") << QByteArray("\"\"") << QByteArray("");
        QTest::newRow("null string") << FieldType::String << 10 << QVariant() << QByteArray("null")
                                     << QByteArray("");
        QTest::newRow("small integer")
            << FieldType::SmallInt << 0 << QVariant(-32768) << QByteArray("-32768") << QByteArray("-32768");
        QTest::newRow("integer") << FieldType::Integer << 0 << QVariant(2147483647)
                                 << QByteArray("2147483647") << QByteArray("2147483647");
        // Beyond what a double holds exactly: must not go through one.
        QTest::newRow("large integer") << FieldType::LargeInt << 0 << QVariant(qint64(9007199254740993))
                                       << QByteArray("9007199254740993") << QByteArray("9007199254740993");
        QTest::newRow("null integer")
            << FieldType::Integer << 0 << QVariant() << QByteArray("null") << QByteArray("");
        QTest::newRow("true") << FieldType::Boolean << 0 << QVariant(true) << QByteArray("true")
                              << QByteArray("true");
        QTest::newRow("false") << FieldType::Boolean << 0 << QVariant(false) << QByteArray("false")
                               << QByteArray("false");
        QTest::newRow("float fraction")
            << FieldType::Float << 0 << QVariant(0.1) << QByteArray("0.1") << QByteArray("0.1");
        QTest::newRow("float whole") << FieldType::Float << 0 << QVariant(100000.0) << QByteArray("100000")
                                     << QByteArray("100000");
        QTest::newRow("float 1e20") << FieldType::Float << 0 << QVariant(1e20)
                                    << QByteArray("100000000000000000000")
                                    << QByteArray("100000000000000000000");
        QTest::newRow("float tiny") << FieldType::Float << 0 << QVariant(-1.5e-9) << QByteArray("-1.5e-09")
                                    << QByteArray("-1.5e-09");
        QTest::newRow("float huge") << FieldType::Float << 0 << QVariant(1e300) << QByteArray("1e+300")
                                    << QByteArray("1e+300");
        QTest::newRow("currency") << FieldType::Currency << 0 << QVariant(-12.3456) << QByteArray("-12.3456")
                                  << QByteArray("-12.3456");
        QTest::newRow("bcd") << FieldType::BCD << 12 << s("-1234567890.05") << QByteArray("-1234567890.05")
                             << QByteArray("-1234567890.05");
        QTest::newRow("date") << FieldType::Date << 0 << QVariant(QDate(2024, 2, 29))
                              << QByteArray("\"2024-02-29\"") << QByteArray("2024-02-29");
        QTest::newRow("time") << FieldType::Time << 0 << QVariant(QTime(7, 5, 3))
                              << QByteArray("\"07:05:03\"") << QByteArray("07:05:03");
        QTest::newRow("time ms") << FieldType::Time << 0 << QVariant(QTime(23, 59, 59, 5))
                                 << QByteArray("\"23:59:59.005\"") << QByteArray("23:59:59.005");
        QTest::newRow("datetime") << FieldType::DateTime << 0
                                  << QVariant(QDateTime(QDate(2000, 1, 1), QTime(12, 30, 15), Qt::UTC))
                                  << QByteArray("\"2000-01-01T12:30:15\"")
                                  << QByteArray("2000-01-01T12:30:15");
        QTest::newRow("datetime ms") << FieldType::DateTime << 0
                                     << QVariant(QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0, 250), Qt::UTC))
                                     << QByteArray("\"1999-12-31T00:00:00.250\"")
                                     << QByteArray("1999-12-31T00:00:00.250");
        QTest::newRow("memo with line breaks")
            << FieldType::Memo << 0 << s("one\r\ntwo\tÆ") << QByteArray("\"one\\r\\ntwo\\tÆ\"")
            << QByteArray("\"one\r\ntwo\tÆ\"");
        QTest::newRow("memo with control byte") << FieldType::Memo << 0 << s("bell\x07")
                                                << QByteArray("\"bell\\u0007\"") << QByteArray("bell\x07");
        QTest::newRow("blob") << FieldType::Blob << 0 << QVariant(QByteArray("\x00\xff\x10z", 4))
                              << QByteArray("\"AP8Qeg==\"") << QByteArray("AP8Qeg==");
        QTest::newRow("graphic") << FieldType::Graphic << 0 << QVariant(QByteArray("BM\x01", 3))
                                 << QByteArray("\"Qk0B\"") << QByteArray("Qk0B");
        QTest::newRow("formatted memo is a blob")
            << FieldType::FmtMemo << 0 << QVariant(QByteArray("{\\rtf1}")) << QByteArray("\"e1xydGYxfQ==\"")
            << QByteArray("e1xydGYxfQ==");
    }
    void catValues()
    {
        QFETCH(FieldType, type);
        QFETCH(int, size);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, csv);
        const QString path = m_dir.filePath(QStringLiteral("value-%1.xml").arg(QTest::currentDataTag()));
        makePacket(path,
                   { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                     FieldDef(QStringLiteral("X"), type, size, 2) },
                   { { 7, value } });

        const Run jsonRun = qvxRun({ QStringLiteral("cat"), path });
        QCOMPARE(jsonRun.exitCode, 0);
        QCOMPARE(jsonRun.out, "{\"ID\":7,\"X\":" + json + "}\n");
        if (json != "null" && !json.startsWith('"')) {
            // A number or boolean must be a JSON value, not text.
            const QJsonValue v = QJsonDocument::fromJson(jsonRun.out).object().value("X");
            QVERIFY(v.isDouble() || v.isBool());
        }

        const Run csvRun = qvxRun({ QStringLiteral("cat"), QStringLiteral("--format=csv"), path });
        QCOMPARE(csvRun.exitCode, 0);
        QCOMPARE(csvRun.out, "ID,X\r\n7," + csv + "\r\n");
    }

    void catListsLiveRecordsInOrder()
    {
        const QString dir = m_dir.filePath(QStringLiteral("cat"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = customerTable(dir);

        const Run all = qvxRun({ QStringLiteral("cat"), path });
        QCOMPARE(all.exitCode, 0);
        const QList<QByteArray> lines = all.out.split('\n');
        QCOMPARE(lines.size(), 4); // three records and the empty rest after the last newline
        // Keys in field order, the deleted record left out, text decoded from the code page.
        QCOMPARE(lines[0],
                 QByteArray("{\"ZNO\":1,\"NAME\":\"Müller\",\"SINCE\":\"2020-01-31\",\"CREDIT\":1500.25,"
                            "\"ACTIVE\":true,\"NOTES\":\"first line\\r\\nsecond, \\\"quoted\\\"\"}"));
        QCOMPARE(lines[1],
                 QByteArray("{\"ZNO\":3,\"NAME\":\"Ærø\",\"SINCE\":null,\"CREDIT\":null,\"ACTIVE\":null,"
                            "\"NOTES\":null}"));
        QVERIFY(lines[2].startsWith("{\"ZNO\":4,"));

        const Run csv
            = qvxRun({ QStringLiteral("cat"), QStringLiteral("--format"), QStringLiteral("csv"), path });
        QCOMPARE(csv.exitCode, 0);
        QVERIFY2(
            csv.out.startsWith("ZNO,NAME,SINCE,CREDIT,ACTIVE,NOTES\r\n"
                               "1,Müller,2020-01-31,1500.25,true,\"first line\r\nsecond, \"\"quoted\"\"\"\r\n"
                               "3,Ærø,,,,\r\n"),
            csv.out);
    }

    // A damaged table is printed in full: what cannot be read shows as null,
    // and what was wrong goes to standard error as warnings.
    void catReadsDamagedTables_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QList<int>>("nullNotes"); // lines whose NOTES read as null
        QTest::addColumn<QString>("warning");
        QTest::newRow("memo file missing")
            << "no memo" << QList<int> { 0, 1, 2 } << "warning: its memo file customer.dbt is missing";
        QTest::newRow("memo pointer past the end")
            << "bad pointer" << QList<int> { 0, 1 } << "warning: record 1, field NOTES: ";
        QTest::newRow("record count zero")
            << "count 0" << QList<int> { 1 } << "warning: the header says 0 records, the file holds 4";
    }
    void catReadsDamagedTables()
    {
        QFETCH(QString, damage);
        QFETCH(QList<int>, nullNotes);
        QFETCH(QString, warning);
        const QString dir = m_dir.filePath(QStringLiteral("damaged-") + QString(damage).replace(u' ', u'-'));
        QVERIFY(QDir().mkpath(dir));
        const QString path = customerTable(dir);
        QByteArray bytes = fileBytes(path);
        const int headerLength = quint8(bytes[8]) | quint8(bytes[9]) << 8;
        const int recordLength = quint8(bytes[10]) | quint8(bytes[11]) << 8;
        int notes = 1; // the offset of NOTES in a record: the lengths before it
        for (int d = 32; bytes[d] != '\x0D' && QByteArray(bytes.constData() + d) != "NOTES"; d += 32)
            notes += quint8(bytes[d + 16]);
        if (damage == QLatin1String("no memo"))
            QVERIFY(QFile::remove(dir + QStringLiteral("/customer.dbt")));
        else if (damage == QLatin1String("bad pointer"))
            bytes.replace(headerLength + notes, 10, "  99999999");
        else
            bytes.replace(4, 4, QByteArray(4, '\0'));
        if (damage != QLatin1String("no memo")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        QVERIFY(recordLength > notes);

        const Run r = qvxRun({ QStringLiteral("cat"), path });
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].startsWith("{\"ZNO\":1,\"NAME\":\"Müller\""), lines[0]);
        QVERIFY2(lines[2].startsWith("{\"ZNO\":4,"), lines[2]);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(lines[i].endsWith("\"NOTES\":null}") == nullNotes.contains(i), lines[i]);
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.startsWith(QLatin1String("qvx: ")) && err.contains(warning), qPrintable(err));
    }

    // The limit counts records shown, so a deleted record does not use it up.
    void catLimit_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("jsonl 2") << "jsonl"
                                 << "2" << QByteArray("{\"ID\":1}\n{\"ID\":3}\n");
        QTest::newRow("jsonl 0") << "jsonl"
                                 << "0" << QByteArray();
        QTest::newRow("jsonl more than there are")
            << "jsonl"
            << "10" << QByteArray("{\"ID\":1}\n{\"ID\":3}\n{\"ID\":4}\n");
        QTest::newRow("csv 1") << "csv"
                               << "1" << QByteArray("ID\r\n1\r\n");
        QTest::newRow("csv 0 keeps the header") << "csv"
                                                << "0" << QByteArray("ID\r\n");
    }
    void catLimit()
    {
        QFETCH(QString, format);
        QFETCH(QString, limit);
        QFETCH(QByteArray, out);
        const QString path = m_dir.filePath(QStringLiteral("limit.dbf"));
        if (!QFileInfo::exists(path)) {
            makeTable(m_dir.path(), QStringLiteral("limit.dbf"), Table::DBase,
                      { FieldDef(QStringLiteral("ID"), FieldType::SmallInt) }, { { 1 }, { 2 }, { 3 }, { 4 } },
                      { 2 });
        }
        const Run r = qvxRun({ QStringLiteral("cat"), QStringLiteral("--format=") + format,
                               QStringLiteral("--limit"), limit, path });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, out);
    }

    // dbf -> XML packet -> binary packet -> dbf keeps every value.
    void convertRoundTrip()
    {
        const QString dir = m_dir.filePath(QStringLiteral("roundtrip"));
        QVERIFY(QDir().mkpath(dir));
        const QString original = customerTable(dir);
        const QString xml = dir + QStringLiteral("/step.xml");
        const QString cds = dir + QStringLiteral("/step.cds");
        const QString back = dir + QStringLiteral("/back.dbf");

        for (const auto &[from, to] :
             { std::pair(original, xml), std::pair(xml, cds), std::pair(cds, back) }) {
            const Run r = qvxRun({ QStringLiteral("convert"), from, to });
            QVERIFY2(r.exitCode == 0, r.err);
            QVERIFY(r.err.isEmpty());
        }
        QVERIFY(fileBytes(xml).startsWith("<?xml"));
        QVERIFY(looksLikeBinaryPacket(fileBytes(cds)));
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/back.dbt")));

        const std::vector<Record> want = readTable(original);
        QCOMPARE(want.size(), std::size_t(3));
        QCOMPARE(readPacket(xml), want);
        QCOMPARE(readPacket(cds), want);
        QCOMPARE(readTable(back), want);
        // Only the converted files are left; nothing temporary.
        QCOMPARE(
            entries(dir),
            QStringList({ "back.dbf", "back.dbt", "customer.dbf", "customer.dbt", "step.cds", "step.xml" }));
    }

    // A record whose every value is null is still a record.
    void convertKeepsRecordsOfNulls()
    {
        const QString dir = m_dir.filePath(QStringLiteral("nulls"));
        QVERIFY(QDir().mkpath(dir));
        const QString xml = dir + QStringLiteral("/in.xml");
        QFile f(xml);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
            "<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"B\" fieldtype=\"string\" WIDTH=\"5\"/>"
            "</FIELDS><PARAMS/></METADATA><ROWDATA><ROW A=\"1\" B=\"x\"/><ROW/><ROW "
            "A=\"3\"/></ROWDATA></DATAPACKET>");
        f.close();
        for (const QString &out : { dir + QStringLiteral("/out.cds"), dir + QStringLiteral("/out.dbf") }) {
            const Run r = qvxRun({ QStringLiteral("convert"), xml, out });
            QVERIFY2(r.exitCode == 0, r.err);
            const std::vector<Record> rows
                = out.endsWith(QLatin1String(".dbf")) ? readTable(out) : readPacket(out);
            QCOMPARE(rows.size(), std::size_t(3));
            QVERIFY(rows[1][0].isNull());
            // dBASE keeps no null for text: a blank field reads as empty.
            QVERIFY(rows[1][1].isNull() || rows[1][1].toString().isEmpty());
            QCOMPARE(rows[2][0].toInt(), 3);
        }
    }

    void sqlStatements()
    {
        const QString dir = m_dir.filePath(QStringLiteral("sql"));
        QVERIFY(QDir().mkpath(dir));
        customerTable(dir);
        // The process gets a configuration folder of its own.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("sql-config")).toUtf8());

        const Run select
            = qvxRun({ QStringLiteral("sql"), QStringLiteral("--alias"), QStringLiteral("DATA=") + dir,
                       QStringLiteral("SELECT ZNO, NAME FROM \":DATA:customer.dbf\" c "
                                      "WHERE c.NAME LIKE \"M%\" OR c.ZNO = 4 ORDER BY ZNO") });
        QVERIFY2(select.exitCode == 0, select.err);
        QCOMPARE(select.out,
                 QByteArray("{\"ZNO\":1,\"NAME\":\"M\u00fcller\"}\n{\"ZNO\":4,\"NAME\":\"Fourth\"}\n")
                     .replace("\\u00fc", "\xc3\xbc"));

        const Run csv
            = qvxRun({ QStringLiteral("sql"), QStringLiteral("--dir"), dir, QStringLiteral("--format=csv"),
                       QStringLiteral("SELECT count(*) AS N FROM customer") });
        QVERIFY2(csv.exitCode == 0, csv.err);
        QCOMPARE(csv.out, QByteArray("N\r\n3\r\n"));

        QFile script(dir + QStringLiteral("/change.sql"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("UPDATE customer\nSET NAME = \"Renamed\"\nWHERE ZNO >= 3\n");
        script.close();
        const Run update = qvxRun(
            { QStringLiteral("sql"), QStringLiteral("--dir"), dir, QStringLiteral("-f"), script.fileName() });
        QVERIFY2(update.exitCode == 0, update.err);
        QCOMPARE(update.out, QByteArray("2\n"));

        const Run bad = qvxRun({ QStringLiteral("sql"), QStringLiteral("--dir"), dir,
                                 QStringLiteral("SELECT * FROM customer WHERE NAME = 'open") });
        QCOMPARE(bad.exitCode, 1);
        QVERIFY2(bad.err.contains("Line 1, column 37"), bad.err);
        const Run usage = qvxRun({ QStringLiteral("sql"), QStringLiteral("--alias"), QStringLiteral("nodir"),
                                   QStringLiteral("SELECT 1") });
        QCOMPARE(usage.exitCode, 2);
    }

    // qvx sql: a statement may start with a comment (after "--", which ends
    // the options); computed columns keep every value; sums of decimals
    // print at their column's scale; case beyond ASCII; data packets are
    // tables too.
    void sqlCases_data()
    {
        QTest::addColumn<QStringList>("args"); // after "sql --dir DIR"
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("a line comment first, after --")
            << QStringList { "--format=csv", "--", "-- the first\nSELECT ZNO FROM customer WHERE ZNO < 3" }
            << QByteArray("ZNO\r\n1\r\n");
        QTest::newRow("a block comment first")
            << QStringList { "--format=csv", "/*--- header ---*/ SELECT count(*) AS N FROM customer" }
            << QByteArray("N\r\n3\r\n");
        QTest::newRow("a change after a comment")
            << QStringList { "--", "-- fix\nUPDATE work SET NAME = 'x' WHERE ZNO >= 3" } << QByteArray("2\n");
        QTest::newRow("decimals plus zero")
            << QStringList { "SELECT AMOUNT + 0 AS A, COALESCE(AMOUNT, 0) AS C FROM amounts ORDER BY ID" }
            << QByteArray("{\"A\":2,\"C\":2}\n{\"A\":1.25,\"C\":1.25}\n{\"A\":-7.5,\"C\":-7.5}\n");
        QTest::newRow("sums by group")
            << QStringList { "--format=csv",
                             "SELECT ID, SUM(AMOUNT) AS S FROM amounts GROUP BY ID ORDER BY ID" }
            << QByteArray("ID,S\r\n1,2\r\n2,1.25\r\n3,-7.5\r\n");
        QTest::newRow("a sum at its column's scale")
            << QStringList { "SELECT SUM(AMOUNT) AS total, MAX(AMOUNT) AS top FROM sums" }
            << QByteArray("{\"total\":149998500,\"top\":98527562.6}\n");
        QTest::newRow("a sum at its column's scale, as csv")
            << QStringList { "--format=csv", "SELECT sum(AMOUNT) FROM sums" }
            << QByteArray("sum(AMOUNT)\r\n149998500\r\n");
        QTest::newRow("case beyond ascii") << QStringList {
            "--format=csv",
            "SELECT upper(NAME) AS U, lower(NAME) AS L FROM customer WHERE NAME LIKE '\u00c6R\u00d8'"
        } << QByteArray("U,L\r\n\u00c6R\u00d8,\u00e6r\u00f8\r\n");
        QTest::newRow("an xml packet")
            << QStringList { "--format=csv", "SELECT ID, NAME FROM \"staff.xml\" ORDER BY ID DESC" }
            << QByteArray("ID,NAME\r\n2,Bea\r\n1,Ada\r\n");
        QTest::newRow("a binary packet by its bare name") << QStringList {
            "SELECT s.NAME, c.NAME AS CUSTOMER, s.WAGE FROM staff2 s JOIN customer c ON c.ZNO = s.ID"
        } << QByteArray("{\"NAME\":\"Ada\",\"CUSTOMER\":\"M\u00fcller\",\"WAGE\":10.1}\n");
    }
    void sqlCases()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, out);
        const QString dir = m_dir.filePath(QStringLiteral("sql-cases"));
        QVERIFY(QDir().mkpath(dir));
        customerTable(dir);
        for (const char *ext : { ".dbf", ".dbt" }) {
            QFile::remove(dir + QStringLiteral("/work") + QLatin1String(ext));
            QVERIFY(QFile::copy(dir + QStringLiteral("/customer") + QLatin1String(ext),
                                dir + QStringLiteral("/work") + QLatin1String(ext)));
        }
        const FieldDefs amount = { FieldDef(QStringLiteral("ID"), FieldType::Integer, 6),
                                   FieldDef(QStringLiteral("AMOUNT"), FieldType::BCD, 12, 2) };
        makeTable(
            dir, QStringLiteral("amounts.dbf"), Table::DBase, amount,
            { { 1, QStringLiteral("2.00") }, { 2, QStringLiteral("1.25") }, { 3, QStringLiteral("-7.50") } });
        // Added as doubles, these give 149998499.99999997.
        makeTable(dir, QStringLiteral("sums.dbf"), Table::DBase, amount,
                  { { 1, QStringLiteral("47366365.98") },
                    { 2, QStringLiteral("98527562.60") },
                    { 3, QStringLiteral("4104571.42") } });
        const FieldDefs staff = { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                                  FieldDef(QStringLiteral("NAME"), FieldType::String, 10),
                                  FieldDef(QStringLiteral("WAGE"), FieldType::BCD, 10, 2) };
        const std::vector<Record> people = { { 1, QStringLiteral("Ada"), QStringLiteral("10.10") },
                                             { 2, QStringLiteral("Bea"), QStringLiteral("20.20") } };
        makePacket(dir + QStringLiteral("/staff.xml"), staff, people);
        makePacket(dir + QStringLiteral("/staff2.cds"), staff, people, PacketFormat::Binary);
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("sql-config")).toUtf8());
        const Run run = qvxRun(QStringList { QStringLiteral("sql"), QStringLiteral("--dir"), dir } + args);
        QVERIFY2(run.exitCode == 0, run.err);
        QCOMPARE(run.out, out);
    }

    void aliasesFromTheConfiguration()
    {
        const QString config = m_dir.filePath(QStringLiteral("aliases-config"));
        QVERIFY(QDir().mkpath(config + QStringLiteral("/quorvex")));
        QFile f(config + QStringLiteral("/quorvex/engine.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[ALIAS SHOP]\nDRIVER=STANDARD\nPATH=/data/shop\nDEFAULT DRIVER=DBASE\n");
        f.close();
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        const Run text = qvxRun({ QStringLiteral("aliases") });
        QVERIFY2(text.exitCode == 0, text.err);
        QVERIFY2(text.out.contains("SHOP\tSTANDARD\t/data/shop\n"), text.out);
        const Run json = qvxRun({ QStringLiteral("aliases"), QStringLiteral("--json") });
        QVERIFY2(json.out.contains("{\"name\":\"SHOP\",\"driver\":\"STANDARD\",\"path\":\"/data/shop\"}"),
                 json.out);
        QVERIFY(QJsonDocument::fromJson(json.out).isArray());
    }

    void convertToParadoxAndBack()
    {
        const QString dir = m_dir.filePath(QStringLiteral("paradox"));
        QVERIFY(QDir().mkpath(dir));
        const QString original = customerTable(dir);
        const QString db = dir + QStringLiteral("/cust.db");
        const QString back = dir + QStringLiteral("/back.xml");
        for (const auto &[from, to] : { std::pair(original, db), std::pair(db, back) }) {
            const Run r = qvxRun({ QStringLiteral("convert"), from, to });
            QVERIFY2(r.exitCode == 0, r.err);
        }
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/cust.mb")));
        const std::vector<Record> want = readTable(original);
        QCOMPARE(readTable(db).size(), want.size());
        QCOMPARE(readPacket(back), readTable(db));
        const Run info = qvxRun({ QStringLiteral("info"), db });
        QVERIFY2(info.out.contains("Records:    3\n"), info.out);
    }

    // Text tables hold no memo: a table without one goes to text and back whole.
    void convertToAsciiAndBack()
    {
        const QString dir = m_dir.filePath(QStringLiteral("ascii"));
        QVERIFY(QDir().mkpath(dir));
        const FieldDefs fields = { FieldDef(QStringLiteral("ID"), FieldType::Integer, 6),
                                   FieldDef(QStringLiteral("NAME"), FieldType::String, 20),
                                   FieldDef(QStringLiteral("SINCE"), FieldType::Date) };
        const std::vector<Record> rows = { { 1, QStringLiteral("Smith, \"Jr\""), QDate(2020, 1, 31) },
                                           { 2, QStringLiteral("Ærø"), QVariant() } };
        const QString original = makeTable(dir, QStringLiteral("plain.dbf"), Table::DBase, fields, rows, {},
                                           CreateOptions { 0, QStringLiteral("windows-1252") });
        const QString txt = dir + QStringLiteral("/plain.txt");
        const Run r = qvxRun({ QStringLiteral("convert"), original, txt });
        QVERIFY2(r.exitCode == 0, r.err);
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/plain.sch")));
        QCOMPARE(readTable(txt), readTable(original));
    }

    void convertToChosenFormat_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("memoFile");
        QTest::newRow("dbase4") << "dbase4"
                                << "" << 0x8B << "t.dbt";
        QTest::newRow("foxpro in windows-1252") << "foxpro"
                                                << "windows-1252" << 0xF5 << "t.fpt";
        QTest::newRow("visual foxpro") << "vfp"
                                       << "" << 0x30 << "t.fpt";
    }
    void convertToChosenFormat()
    {
        QFETCH(QString, to);
        QFETCH(QString, codePage);
        QFETCH(int, version);
        QFETCH(QString, memoFile);
        const QString dir = m_dir.filePath(QStringLiteral("to-") + to);
        QVERIFY(QDir().mkpath(dir));
        const QString original = customerTable(dir);
        const QString out = dir + QStringLiteral("/t.dbf");
        QStringList args = { QStringLiteral("convert"), QStringLiteral("--to"), to };
        if (!codePage.isEmpty())
            args << QStringLiteral("--codepage") << codePage;
        const Run r = qvxRun(args << original << out);
        QVERIFY2(r.exitCode == 0, r.err);
        QVERIFY(QFileInfo::exists(dir + u'/' + memoFile));
        QCOMPARE(readTable(out), readTable(original));

        const Run info = qvxRun({ QStringLiteral("info"), QStringLiteral("--json"), out });
        const QJsonObject o = QJsonDocument::fromJson(info.out).object();
        QCOMPARE(o.value("version").toInt(), version);
        if (!codePage.isEmpty())
            QCOMPARE(o.value("codePage").toString(), codePage);
    }

    // A table keeps its code page through convert unless --codepage says
    // otherwise; text from a source without one goes into the target's
    // default, and a character that default cannot hold is refused.
    void convertKeepsCodePage_data()
    {
        QTest::addColumn<QString>("source"); // a table file name, or a .xml packet
        QTest::addColumn<QString>("sourceCodePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("option"); // --codepage, when given
        QTest::addColumn<QString>("expected"); // the target's code page, or the error
        QTest::newRow("Cyrillic dBASE to dBASE III") << "s.dbf"
                                                     << "windows-1251"
                                                     << "Привет"
                                                     << "dbase3"
                                                     << ""
                                                     << "windows-1251";
        QTest::newRow("Cyrillic DOS dBASE to Visual FoxPro") << "s.dbf"
                                                             << "IBM866"
                                                             << "Привет"
                                                             << "vfp"
                                                             << ""
                                                             << "IBM866";
        QTest::newRow("Polish dBASE to Paradox") << "s.dbf"
                                                 << "windows-1250"
                                                 << "Zażółć gęślą"
                                                 << "paradox"
                                                 << ""
                                                 << "windows-1250";
        QTest::newRow("Polish Paradox to dBASE IV") << "s.db"
                                                    << "windows-1250"
                                                    << "Zażółć gęślą"
                                                    << "dbase4"
                                                    << ""
                                                    << "windows-1250";
        QTest::newRow("--codepage overrides") << "s.dbf"
                                              << "windows-1251"
                                              << "Привет"
                                              << "foxpro"
                                              << "IBM866"
                                              << "IBM866";
        QTest::newRow("packet into the default") << "s.xml"
                                                 << ""
                                                 << "Müller"
                                                 << "dbase3"
                                                 << ""
                                                 << "windows-1252";
        QTest::newRow("packet the default cannot hold") << "s.xml"
                                                        << ""
                                                        << "Привет"
                                                        << "dbase3"
                                                        << ""
                                                        << "error: field NAME";
        QTest::newRow("override that cannot hold the text") << "s.dbf"
                                                            << "windows-1251"
                                                            << "Привет"
                                                            << "dbase3"
                                                            << "windows-1250"
                                                            << "error: field NAME";
    }
    void convertKeepsCodePage()
    {
        QFETCH(QString, source);
        QFETCH(QString, sourceCodePage);
        QFETCH(QString, text);
        QFETCH(QString, to);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const QString dir = m_dir.filePath(QStringLiteral("cp-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        const FieldDefs fields = { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                                   FieldDef(QStringLiteral("NAME"), FieldType::String, 20) };
        const std::vector<Record> rows = { { 1, QStringLiteral("plain") }, { 2, text } };
        const QString in = source.endsWith(u".xml")
            ? makePacket(dir + u'/' + source, fields, rows)
            : makeTable(dir, source, 0, fields, rows, {}, CreateOptions { 0, sourceCodePage });
        const QString out = dir + (to == u"paradox" ? QStringLiteral("/t.db") : QStringLiteral("/t.dbf"));
        QStringList args = { QStringLiteral("convert"), QStringLiteral("--to"), to };
        if (!option.isEmpty())
            args << QStringLiteral("--codepage") << option;
        const Run r = qvxRun(args << in << out);
        if (expected.startsWith(u"error: ")) {
            QCOMPARE(r.exitCode, 1);
            const QString err = QString::fromUtf8(r.err);
            QVERIFY2(err.contains(expected.mid(7)) && err.contains(text), qPrintable(err));
            QVERIFY(!QFile::exists(out));
            return;
        }
        QVERIFY2(r.exitCode == 0, r.err);
        const Run info = qvxRun({ QStringLiteral("info"), QStringLiteral("--json"), out });
        QCOMPARE(QJsonDocument::fromJson(info.out).object().value("codePage").toString(), expected);
        const std::vector<Record> back = readTable(out);
        QCOMPARE(back.size(), std::size_t(2));
        QCOMPARE(back[1][1].toString(), text);
    }

    // A field the target cannot hold as it is goes to the nearest type that
    // keeps every value, each change told on standard error; only a value
    // that cannot be kept is refused.
    void convertMapsFields_data()
    {
        QTest::addColumn<QString>("source"); // "xml", "db" (Paradox) or "gdal" (a dbf with N(24,15))
        QTest::addColumn<FieldDefs>("fields");
        QTest::addColumn<std::vector<Record>>("rows");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("names"); // of the target's fields
        QTest::addColumn<QStringList>("values"); // of the last field, as read back
        QTest::addColumn<QString>("message"); // a note, or (exit 1) the error
        const auto field = [](const char *name, FieldType t, int size = 0, int decimals = 0) {
            return FieldDef(QString::fromUtf8(name), t, size, decimals);
        };
        QTest::newRow("GDAL Real to dBASE III")
            << "gdal" << FieldDefs {} << std::vector<Record> {} << "dbase3" << QStringList { "AREA" }
            << QStringList { "1234.5", "-0.125" } << "AREA: N(24,15) is written as N(20,15)";
        QTest::newRow("float to dBASE III")
            << "xml" << FieldDefs { field("F", FieldType::Float) }
            << std::vector<Record> { { 1.5 }, { -2.25 }, { 1234567.125 } } << "dbase3" << QStringList { "F" }
            << QStringList { "1.5", "-2.25", "1234567.125" }
            << "F: a floating-point number is written as N(20,3)";
        QTest::newRow("Paradox Number to dBASE III")
            << "db" << FieldDefs { field("AMOUNT", FieldType::Float) }
            << std::vector<Record> { { 0.1 }, { 99.75 } } << "dbase3" << QStringList { "AMOUNT" }
            << QStringList { "0.1", "99.75" } << "AMOUNT: a floating-point number is written as N(20,2)";
        QTest::newRow("timestamp to dBASE IV as text")
            << "xml" << FieldDefs { field("TS", FieldType::DateTime) }
            << std::vector<Record> { { QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9)) },
                                     { QDateTime(QDate(2000, 1, 1), QTime(0, 0, 1)) } }
            << "dbase4" << QStringList { "TS" }
            << QStringList { "2024-02-29 13:05:09", "2000-01-01 00:00:01" }
            << "TS: date and time is written as text of 19 characters";
        QTest::newRow("Paradox Timestamp at midnight to FoxPro as a date")
            << "db" << FieldDefs { field("TS", FieldType::DateTime) }
            << std::vector<Record> { { QDateTime(QDate(2024, 2, 29), QTime(0, 0)) } } << "foxpro"
            << QStringList { "TS" } << QStringList { "2024-02-29" }
            << "TS: date and time is written as a date";
        QTest::newRow("Paradox Time to Visual FoxPro")
            << "db" << FieldDefs { field("AT", FieldType::Time) }
            << std::vector<Record> { { QTime(7, 30, 15) } } << "vfp" << QStringList { "AT" }
            << QStringList { "1899-12-30 07:30:15" }
            << "AT: time of day is written as a date and time on 1899-12-30";
        QTest::newRow("autoincrement to dBASE III")
            << "db" << FieldDefs { field("ID", FieldType::AutoInc), field("N", FieldType::String, 5) }
            << std::vector<Record> { { QVariant(), QStringLiteral("a") },
                                     { QVariant(), QStringLiteral("b") } }
            << "dbase3" << QStringList { "ID", "N" } << QStringList { "a", "b" }
            << "ID: autoincrement is written as an integer";
        QTest::newRow("names the target cannot hold")
            << "xml"
            << FieldDefs { field("GRÖSSE", FieldType::Integer), field("A-B", FieldType::Integer),
                           field("1ST", FieldType::Integer), field("LONGFIELDNAME1", FieldType::Integer),
                           field("LONGFIELDNAME2", FieldType::String, 3) }
            << std::vector<Record> { { 1, 2, 3, 4, QStringLiteral("x") } } << "dbase3"
            << QStringList { "GROSSE", "A_B", "F1ST", "LONGFIELDN", "LONGFIEL_1" } << QStringList { "x" }
            << "field LONGFIELDNAME2 is named LONGFIEL_1";
        QTest::newRow("a number no N(20) field holds")
            << "xml" << FieldDefs { field("BIG", FieldType::Float) }
            << std::vector<Record> { { 1.0 }, { 1e25 } } << "dbase3" << QStringList {} << QStringList {}
            << "field BIG: the value 10000000000000000905969664";
    }
    void convertMapsFields()
    {
        QFETCH(QString, source);
        QFETCH(FieldDefs, fields);
        QFETCH(std::vector<Record>, rows);
        QFETCH(QString, to);
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        const QString dir = m_dir.filePath(QStringLiteral("map-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        QString in;
        if (source == u"xml") {
            in = makePacket(dir + QStringLiteral("/s.xml"), fields, rows);
        } else if (source == u"db") {
            in = makeTable(dir, QStringLiteral("s.db"), Table::Paradox, fields, rows);
        } else {
            // As GDAL writes a "Real": N(24,15), two records.
            QByteArray b(32, '\0');
            b[0] = 0x03;
            b[4] = 2;
            b[8] = 65;
            b[10] = 25;
            QByteArray d(32, '\0');
            d.replace(0, 4, "AREA");
            d[11] = 'N';
            d[16] = 24;
            d[17] = 15;
            b += d + '\r';
            b += ' ' + QByteArray("1234.500000000000000").rightJustified(24, ' ');
            b += ' ' + QByteArray("-0.125000000000000").rightJustified(24, ' ');
            b += '\x1a';
            in = dir + QStringLiteral("/s.dbf");
            QFile f(in);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(b);
        }
        const QString out = dir + QStringLiteral("/t.dbf");
        const Run r = qvxRun({ QStringLiteral("convert"), QStringLiteral("--to"), to, in, out });
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.contains(message), qPrintable(err));
        if (names.isEmpty()) {
            QCOMPARE(r.exitCode, 1);
            QVERIFY(!QFile::exists(out));
            return;
        }
        QVERIFY2(r.exitCode == 0, r.err);
        // One line per change, each naming the target.
        for (const QString &line : err.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(QStringLiteral("qvx: ") + out + QStringLiteral(": field ")),
                     qPrintable(line));
        Table t;
        t.setTableName(out);
        t.setReadOnly(true);
        t.open();
        QStringList gotNames;
        for (const FieldDef &f : t.fields())
            gotNames << f.name;
        QCOMPARE(gotNames, names);
        QStringList got;
        for (t.first(); !t.eof(); t.next()) {
            const QVariant v = t.value(t.fieldCount() - 1);
            got << (v.typeId() == QMetaType::QDateTime
                        ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                        : v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate)
                                                         : v.toString());
        }
        QCOMPARE(got, values);
    }

    // --input-codepage reads a table's text in the code page named, over
    // its .cpg file and language driver byte; info tells which code page is
    // in use and where it came from, and convert writes what was read.
    void inputCodePage_data()
    {
        QTest::addColumn<QByteArray>("value"); // the NAME field's bytes
        QTest::addColumn<int>("driver");
        QTest::addColumn<QByteArray>("cpg"); // null: none
        QTest::addColumn<QStringList>("args"); // IN and OUT stand for the files
        QTest::addColumn<QString>("codePage"); // of IN for info, of OUT for convert; or "error: ..."
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text"); // in the output (cat, sql) or OUT (convert)
        const QByteArray cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет"
        const QByteArray cp866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
        const QString privet = QStringLiteral("Привет");
        QTest::newRow("info: .cpg") << cp1251 << 0x03 << QByteArray("1251") << QStringList { "info", "--json", "IN" }
                                    << "windows-1251" << ".cpg file" << QString();
        QTest::newRow("info: byte") << cp1251 << 0xC9 << QByteArray() << QStringList { "info", "--json", "IN" }
                                    << "windows-1251" << "language driver byte" << QString();
        QTest::newRow("info: detected") << privet.toUtf8() << 0 << QByteArray()
                                        << QStringList { "info", "--json", "IN" } << "UTF-8" << "detected"
                                        << QString();
        QTest::newRow("info: option beats .cpg")
            << cp866 << 0x03 << QByteArray("1251") << QStringList { "info", "--json", "--input-codepage", "866", "IN" }
            << "IBM866" << "option" << QString();
        QTest::newRow("info text") << cp1251 << 0x03 << QByteArray("1251") << QStringList { "info", "IN" }
                                   << "windows-1251" << ".cpg file" << QString();
        QTest::newRow("unknown name") << cp1251 << 0x03 << QByteArray()
                                      << QStringList { "info", "--input-codepage", "klingon-42", "IN" }
                                      << "error: klingon-42" << QString() << QString();
        QTest::newRow("cat") << cp1251 << 0x03 << QByteArray()
                             << QStringList { "cat", "--input-codepage", "cp1251", "IN" } << QString() << QString()
                             << privet;
        QTest::newRow("sql") << cp866 << 0x03 << QByteArray()
                             << QStringList { "sql", "--input-codepage", "IBM866", "SELECT NAME FROM \"IN\"" }
                             << QString() << QString() << privet;
        QTest::newRow("convert keeps the option's code page")
            << cp1251 << 0x03 << QByteArray() << QStringList { "convert", "--input-codepage", "1251", "IN", "OUT" }
            << "windows-1251" << QString() << privet;
        QTest::newRow("convert keeps the .cpg's code page")
            << cp1251 << 0x03 << QByteArray("ANSI 1251") << QStringList { "convert", "--to", "dbase4", "IN", "OUT" }
            << "windows-1251" << QString() << privet;
        QTest::newRow("convert of UTF-8 writes a .cpg")
            << privet.toUtf8() << 0 << QByteArray() << QStringList { "convert", "IN", "OUT" } << "UTF-8"
            << QString() << privet;
    }
    void inputCodePage()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, driver);
        QFETCH(QByteArray, cpg);
        QFETCH(QStringList, args);
        QFETCH(QString, codePage);
        QFETCH(QString, source);
        QFETCH(QString, text);
        const QString dir = m_dir.filePath(QStringLiteral("icp-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        const QString in = dir + QStringLiteral("/s.dbf");
        const QString out = dir + QStringLiteral("/t.dbf");
        QByteArray bytes(32, '\0');
        bytes[0] = 0x03;
        bytes[4] = 1; // one record
        bytes[8] = char(32 + 32 + 1); // header length
        bytes[10] = char(1 + 20); // record length
        bytes[29] = char(driver);
        QByteArray field(32, '\0');
        field.replace(0, 4, "NAME");
        field[11] = 'C';
        field[12] = 1;
        field[16] = 20;
        bytes += field + '\x0D' + ' ' + value.leftJustified(20, ' ') + '\x1A';
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        if (!cpg.isNull()) {
            QFile c(dir + QStringLiteral("/s.cpg"));
            QVERIFY(c.open(QIODevice::WriteOnly));
            c.write(cpg);
        }
        for (QString &a : args)
            a.replace(QLatin1String("IN"), in).replace(QLatin1String("OUT"), out);
        const Run r = qvxRun(args);
        if (codePage.startsWith(u"error: ")) {
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(QString::fromUtf8(r.err).contains(codePage.mid(7)), r.err);
            return;
        }
        QVERIFY2(r.exitCode == 0, r.err);
        const QString command = args.first();
        if (command == u"info" && args.contains(QStringLiteral("--json"))) {
            const QJsonObject o = QJsonDocument::fromJson(r.out).object();
            QCOMPARE(o.value("codePage").toString(), codePage);
            QCOMPARE(o.value("codePageSource").toString(), source);
        } else if (command == u"info") {
            QVERIFY2(r.out.contains(QStringLiteral("Code page:  %1 (%2)\n").arg(codePage, source).toUtf8()), r.out);
        } else if (command == u"convert") {
            const Run info = qvxRun({ QStringLiteral("info"), QStringLiteral("--json"), out });
            const QJsonObject o = QJsonDocument::fromJson(info.out).object();
            QCOMPARE(o.value("codePage").toString(), codePage);
            const bool wroteCpg = QFile::exists(dir + QStringLiteral("/t.cpg"));
            QCOMPARE(wroteCpg, codePage == u"UTF-8");
            const std::vector<Record> back = readTable(out);
            QCOMPARE(back.size(), std::size_t(1));
            QCOMPARE(back[0][0].toString(), text);
        } else {
            QVERIFY2(QString::fromUtf8(r.out).contains(text), r.out);
        }
    }

    // Usage mistakes exit 2 with the usage; faults in files exit 1 with one
    // line naming the file.
    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString fixtures = QStringLiteral(QVX_FIXTURES "/qvx/");
        QTest::newRow("no command") << QStringList() << 2 << "no command given";
        QTest::newRow("unknown command") << QStringList { "bogus" } << 2 << "unknown command 'bogus'";
        QTest::newRow("unknown option") << QStringList { "cat", "--colour", "x.dbf" } << 2 << "colour";
        QTest::newRow("missing file") << QStringList { "info" } << 2 << "missing arguments";
        QTest::newRow("extra file") << QStringList { "info", "a.dbf", "b.dbf" } << 2 << "too many arguments";
        QTest::newRow("bad format") << QStringList { "cat", "--format=xml", "x.dbf" } << 2
                                    << "unknown format 'xml'";
        QTest::newRow("bad limit") << QStringList { "cat", "--limit", "-3", "x.dbf" } << 2 << "--limit";
        QTest::newRow("unknown target") << QStringList { "convert", "--to", "nosuchformat", "a.dbf", "b.db" }
                                        << 2 << "unknown target format 'nosuchformat'";
        QTest::newRow("target not told") << QStringList { "convert", "a.dbf", "b.out" } << 2 << "give --to";
        QTest::newRow("binary packet named xml")
            << QStringList { "convert", "--to", "cds", "a.dbf", "b.xml" } << 2 << ".xml";
        QTest::newRow("codepage for a packet")
            << QStringList { "convert", "--codepage", "IBM437", "a.dbf", "b.xml" } << 2 << "--codepage";
        QTest::newRow("no such table")
            << QStringList { "info", fixtures + "absent.dbf" } << 1 << "absent.dbf";
        QTest::newRow("no such packet")
            << QStringList { "cat", fixtures + "absent.cds" } << 1 << "absent.cds";
        QTest::newRow("truncated dbf header")
            << QStringList { "info", fixtures + "short_header.dbf" } << 1 << "short_header.dbf";
        QTest::newRow("broken xml packet")
            << QStringList { "cat", fixtures + "unclosed_row.xml" } << 1 << "unclosed_row.xml";
        QTest::newRow("neither table nor packet")
            << QStringList { "cat", fixtures + "plain_text.dat" } << 1 << "plain_text.dat: not a table";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Run r = qvxRun(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(r.out.isEmpty());
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY2(err.startsWith(QLatin1String("qvx: ")), qPrintable(err));
        if (exitCode == 2)
            QVERIFY2(err.contains(QLatin1String("usage:")), qPrintable(err));
        else
            QCOMPARE(err.count(u'\n'), 1);
    }

    // A convert that fails leaves neither the target nor anything temporary,
    // and an older target by that name stays as it was: whether it fails on
    // creating the table or halfway through the records.
    void failedConvertLeavesNothing_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("oldTarget");
        QTest::addColumn<QString>("message");
        // No dbf variant has a time-of-day field.
        QTest::newRow("type dBASE lacks") << "time_field.xml"
                                          << "dbase3" << false << "AT_TIME";
        QTest::newRow("type dBASE lacks, old target kept") << "time_field.xml"
                                                           << "dbase3" << true << "AT_TIME";
        QTest::newRow("type FoxPro lacks") << "time_field.xml"
                                           << "foxpro" << false << "AT_TIME";
        // The first record goes in; the second is too wide for the field.
        QTest::newRow("value too wide in record 2") << "too_wide_value.xml"
                                                    << "dbase3" << false << "record 2, field N: '123456789'";
        QTest::newRow("value too wide, old target kept") << "too_wide_value.xml"
                                                         << "dbase3" << true << "record 2, field N";
    }
    void failedConvertLeavesNothing()
    {
        QFETCH(QString, in);
        QFETCH(QString, to);
        QFETCH(bool, oldTarget);
        QFETCH(QString, message);
        const QString dir = m_dir.filePath(QStringLiteral("fail-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        const QString out = dir + QStringLiteral("/t.dbf");
        QByteArray oldBytes;
        if (oldTarget) {
            makeTable(dir, QStringLiteral("t.dbf"), Table::DBase,
                      { FieldDef(QStringLiteral("OLD"), FieldType::String, 5) },
                      { { QStringLiteral("keep") } });
            oldBytes = fileBytes(out);
        }
        const QStringList before = entries(dir);

        const Run r = qvxRun({ QStringLiteral("convert"), QStringLiteral("--to"), to,
                               QStringLiteral(QVX_FIXTURES "/qvx/") + in, out });
        QCOMPARE(r.exitCode, 1);
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.startsWith(QStringLiteral("qvx: ") + out + QStringLiteral(": ")), qPrintable(err));
        QVERIFY2(err.contains(message), qPrintable(err));
        QCOMPARE(err.count(u'\n'), 1);
        QCOMPARE(entries(dir), before);
        if (oldTarget)
            QCOMPARE(fileBytes(out), oldBytes);
    }
};

QTEST_GUILESS_MAIN(QvxTest)
#include "tst_qvx.moc"
