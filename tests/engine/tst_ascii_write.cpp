// Creating and writing text tables: every type both ways in VARYING and
// FIXED files, values holding separators, delimiters and line breaks,
// refusals, the bytes of the file after each change, the writer lock, and
// the same through qvx::Table.
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/formats/ascii/AsciiDriver.h"
#include "engine/formats/ascii/AsciiTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace qvx;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

ascii::Schema layout(bool fixed, char delimiter = '"', char separator = ',')
{
    ascii::Schema s;
    s.fixed = fixed;
    s.delimiter = delimiter;
    s.separator = separator;
    return s;
}

const QDateTime kStamp(QDate(2026, 12, 10), QTime(3, 4, 5), Qt::UTC);

} // namespace

class TestAsciiWrite : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void refusedFields_data();
    void refusedFields();
    void unwritableValues_data();
    void unwritableValues();
    void fileAfterEachChange();
    void appendAfterMissingLineBreak();
    void undelimitedTable();
    void valuesStartingWithTheDelimiter();
    void codePage();
    void writerLock();
    void readOnlyTable();
    void createReplaces();
    void throughTable_data();
    void throughTable();
    void sessionForms_data();
    void sessionForms();
    void exactNumbers_data();
    void exactNumbers();
    void valuesKeptAsTheyStood_data();
    void valuesKeptAsTheyStood();
    void batch();
    void oneRewritePerStatement_data();
    void oneRewritePerStatement();
    void failedStatementChangesNothing_data();
    void failedStatementChangesNothing();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestAsciiWrite::roundTrip_data()
{
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("back"); // what reading gives
    QTest::addColumn<QVariant>("nullBack"); // what a null reads back as

    const auto both = [](const char *name, FieldType type, int size, int decimals, const QVariant &value,
                         const QVariant &back) {
        QTest::addRow("%s varying", name)
            << false << int(type) << size << decimals << value << back << QVariant();
        QTest::addRow("%s fixed", name) << true << int(type) << size << decimals << value << back
                                        << (type == FieldType::String ? QVariant(QString()) : QVariant());
    };
    const auto varying = [](const char *name, FieldType type, int size, const QVariant &value) {
        QTest::addRow("%s varying", name) << false << int(type) << size << 0 << value << value << QVariant();
    };
    const QString s = QStringLiteral("naïve € café");
    both("text", FieldType::String, 20, 0, s, s);
    both("text with separator and delimiters", FieldType::String, 20, 0, QStringLiteral("a, \"b\",,\""),
         QStringLiteral("a, \"b\",,\""));
    both("text filling its width", FieldType::String, 5, 0, QStringLiteral("12345"), QStringLiteral("12345"));
    varying("text with CR LF", FieldType::String, 20, QStringLiteral("one\r\ntwo,\"3\""));
    varying("text with LF", FieldType::String, 20, QStringLiteral("\none\n"));
    varying("empty text", FieldType::String, 20, QStringLiteral(""));
    varying("text with spaces around", FieldType::String, 20, QStringLiteral("  x  "));
    varying("memo", FieldType::Memo, 0, QStringLiteral("line 1\r\n\"line\" 2,\n\nend"));
    both("float", FieldType::Float, 20, 2, 12.25, 12.25);
    both("float rounded to its decimals", FieldType::Float, 20, 2, 2.0 / 3, 0.67);
    both("float exact", FieldType::Float, 24, 0, 1.0 / 3, 1.0 / 3);
    both("negative float", FieldType::Float, 24, 0, -1e-300, -1e-300);
    both("currency as float", FieldType::Currency, 0, 4, 1234.5678, 1234.5678);
    both("decimal", FieldType::BCD, 12, 2, QStringLiteral("-12.50"), QStringLiteral("-12.5"));
    both("small integer", FieldType::SmallInt, 0, 0, -32768, -32768);
    both("integer", FieldType::Integer, 0, 0, 2147483647, 2147483647);
    both("word as integer", FieldType::Word, 0, 0, 65535, 65535);
    both("large integer", FieldType::LargeInt, 0, 0, QVariant(qint64(-9223372036854775807LL - 1)),
         QVariant(qint64(-9223372036854775807LL - 1)));
    both("true", FieldType::Boolean, 0, 0, true, true);
    both("false", FieldType::Boolean, 0, 0, false, false);
    both("first date", FieldType::Date, 0, 0, QDate(1, 1, 1), QDate(1, 1, 1));
    both("last date", FieldType::Date, 0, 0, QDate(9999, 12, 31), QDate(9999, 12, 31));
    both("time", FieldType::Time, 0, 0, QTime(23, 59, 59), QTime(23, 59, 59));
    both("time with milliseconds", FieldType::Time, 0, 0, QTime(0, 0, 0, 7), QTime(0, 0, 0, 7));
    both("timestamp", FieldType::DateTime, 0, 0, kStamp, kStamp);
    both("timestamp with milliseconds", FieldType::DateTime, 0, 0, kStamp.addMSecs(999),
         kStamp.addMSecs(999));
}

void TestAsciiWrite::roundTrip()
{
    QFETCH(bool, fixed);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);
    QFETCH(QVariant, back);
    QFETCH(QVariant, nullBack);

    const QString file = path(QStringLiteral("rt.txt"));
    const FieldDefs defs { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                           FieldDef(QStringLiteral("V"), FieldType(type), size, decimals),
                           FieldDef(QStringLiteral("TAIL"), FieldType::String, 5) };
    createAsciiTable(file, defs, layout(fixed));
    {
        auto t = asciiDriver().open(file, false);
        t->insert(0, { 1, value, QStringLiteral("end") });
        t->insert(1, { 2, QVariant(), QStringLiteral("x") });
    }
    auto t = asciiDriver().open(file, true);
    QCOMPARE(t->recordCount(), 2);
    Record r;
    t->read(0, r);
    QCOMPARE(r[0], QVariant(1));
    if (back.typeId() == QMetaType::Double)
        QCOMPARE(r[1].toDouble(), back.toDouble());
    QCOMPARE(r[1], back);
    QCOMPARE(r[2], QVariant(QStringLiteral("end")));
    t->read(1, r);
    QCOMPARE(r[0], QVariant(2));
    QCOMPARE(r[1].isNull(), nullBack.isNull());
    QCOMPARE(r[1], nullBack);
    QCOMPARE(r[2], QVariant(QStringLiteral("x")));
}

void TestAsciiWrite::refusedFields_data()
{
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<FieldDef>("field");
    QTest::addColumn<QString>("error");

    QTest::newRow("blob") << false << FieldDef(QStringLiteral("PIC"), FieldType::Blob)
                          << "field PIC: a field of type 15 has no text form";
    QTest::newRow("graphic") << true << FieldDef(QStringLiteral("G"), FieldType::Graphic)
                             << "field G: a field of type 17 has no text form";
    QTest::newRow("bytes") << false << FieldDef(QStringLiteral("B"), FieldType::Bytes, 4)
                           << "field B: a field of type 12 has no text form";
    QTest::newRow("memo in fixed") << true << FieldDef(QStringLiteral("M"), FieldType::Memo)
                                   << "field M: a memo cannot be in a FIXED table";
    QTest::newRow("text without width")
        << false << FieldDef(QStringLiteral("S"), FieldType::String) << "field S: a text field needs a width";
    QTest::newRow("comma in name") << false << FieldDef(QStringLiteral("A,B"), FieldType::Integer)
                                   << "field A,B: a schema cannot hold a field name with a comma";
    QTest::newRow("name outside code page") << false << FieldDef(QStringLiteral("名"), FieldType::Integer)
                                            << "field 名: the name has characters that code page";
}

void TestAsciiWrite::refusedFields()
{
    QFETCH(bool, fixed);
    QFETCH(FieldDef, field);
    QFETCH(QString, error);
    const QString file = path(QStringLiteral("refused.txt"));
    QFile::remove(file);
    QFile::remove(path(QStringLiteral("refused.sch")));
    try {
        createAsciiTable(file, { FieldDef(QStringLiteral("OK"), FieldType::Integer), field }, layout(fixed));
        QFAIL("the field was accepted");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(file + QStringLiteral(": ") + error), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(file));
    QVERIFY(!QFile::exists(path(QStringLiteral("refused.sch"))));
}

void TestAsciiWrite::unwritableValues_data()
{
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<int>("delimiter");
    QTest::addColumn<FieldDef>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("error");

    const FieldDef text(QStringLiteral("T"), FieldType::String, 4);
    QTest::newRow("fixed too long") << true << int('"') << text << QVariant(QStringLiteral("12345"))
                                    << "field T: \"12345\" does not fit in 4 characters";
    QTest::newRow("fixed number too wide")
        << true << int('"') << FieldDef(QStringLiteral("N"), FieldType::Float, 6, 2) << QVariant(12345.5)
        << "field N: \"12345.50\" does not fit in 6 characters";
    QTest::newRow("fixed line break") << true << int('"') << text << QVariant(QStringLiteral("a\nb"))
                                      << "field T: a FIXED table cannot hold a line break";
    QTest::newRow("varying too long") << false << int('"') << text << QVariant(QStringLiteral("12345"))
                                      << "field T: \"12345\" does not fit in 4 characters";
    QTest::newRow("separator without delimiter")
        << false << 0 << text << QVariant(QStringLiteral("a,b"))
        << "field T: the value holds the separator or a line break, and the table has no delimiter";
    QTest::newRow("line break without delimiter")
        << false << 0 << text << QVariant(QStringLiteral("a\r\n"))
        << "field T: the value holds the separator or a line break, and the table has no delimiter";
    QTest::newRow("outside the code page")
        << false << int('"') << text << QVariant(QStringLiteral("名"))
        << "field T: the text \"名\" has characters that code page windows-1252";
    QTest::newRow("not a number") << false << int('"') << FieldDef(QStringLiteral("I"), FieldType::Integer)
                                  << QVariant(QStringLiteral("abc"))
                                  << "field I: 'abc' is not a valid integer";
}

void TestAsciiWrite::unwritableValues()
{
    QFETCH(bool, fixed);
    QFETCH(int, delimiter);
    QFETCH(FieldDef, field);
    QFETCH(QVariant, value);
    QFETCH(QString, error);
    const QString file = path(QStringLiteral("unwritable.txt"));
    createAsciiTable(file, { FieldDef(QStringLiteral("ID"), FieldType::Integer), field },
                     layout(fixed, char(delimiter)));
    auto t = asciiDriver().open(file, false);
    t->insert(0, { 1, QVariant() });
    const QByteArray before = fileBytes(file);
    try {
        t->insert(1, { 2, value });
        QFAIL("the value was written");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(file + QStringLiteral(": ") + error), qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, t->update(0, { 1, value }));
    QCOMPARE(fileBytes(file), before);
    QCOMPARE(t->recordCount(), 1);
}

void TestAsciiWrite::fileAfterEachChange()
{
    const QString file = path(QStringLiteral("changes.txt"));
    createAsciiTable(file,
                     { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                       FieldDef(QStringLiteral("NAME"), FieldType::String, 20),
                       FieldDef(QStringLiteral("WHEN"), FieldType::Date) },
                     layout(false));
    QCOMPARE(fileBytes(path(QStringLiteral("changes.sch"))),
             QByteArray(
                 "[changes]\r\nFiletype=VARYING\r\nDelimiter=\"\r\nSeparator=,\r\nCharSet=ascii\r\n"
                 "Field1=ID,LONGINT,11,00,00\r\nField2=NAME,CHAR,20,00,11\r\nField3=WHEN,DATE,10,00,31\r\n"));
    QCOMPARE(fileBytes(file), QByteArray());

    auto t = asciiDriver().open(file, false);
    QCOMPARE(t->insert(5, { 1, QStringLiteral("a"), QDate(2026, 1, 2) }), 0);
    QCOMPARE(t->insert(1, { 3, QStringLiteral("two\r\nlines"), QVariant() }), 1);
    QCOMPARE(t->insert(1, { 2, QVariant(), QVariant() }), 1);
    QCOMPARE(fileBytes(file), QByteArray("1,\"a\",2026-01-02\r\n2,,\r\n3,\"two\r\nlines\",\r\n"));

    t->update(0, { 1, QStringLiteral("longer, \"quoted\""), QDate(2026, 1, 2) });
    QCOMPARE(fileBytes(file),
             QByteArray("1,\"longer, \"\"quoted\"\"\",2026-01-02\r\n2,,\r\n3,\"two\r\nlines\",\r\n"));
    t->remove(1);
    QCOMPARE(fileBytes(file),
             QByteArray("1,\"longer, \"\"quoted\"\"\",2026-01-02\r\n3,\"two\r\nlines\",\r\n"));
    t->insert(2, { 4, QStringLiteral(""), QVariant() });
    t->remove(0);
    QCOMPARE(fileBytes(file), QByteArray("3,\"two\r\nlines\",\r\n4,\"\",\r\n"));

    // The record starts kept in memory follow every change.
    Record r;
    t->read(1, r);
    QCOMPARE(r[0], QVariant(4));
    t->read(0, r);
    QCOMPARE(r[1], QVariant(QStringLiteral("two\r\nlines")));
    QCOMPARE(t->recordCount(), 2);
    QVERIFY_THROWS_EXCEPTION(EngineError, t->remove(2));
    // No temporary file is left behind.
    QCOMPARE(QDir(m_dir.path()).entryList({ QStringLiteral(".changes*") }, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestAsciiWrite::appendAfterMissingLineBreak()
{
    const QString file = path(QStringLiteral("nobreak.txt"));
    createAsciiTable(file, { FieldDef(QStringLiteral("ID"), FieldType::Integer) }, layout(false));
    writeFile(file, "1\r\n2");
    auto t = asciiDriver().open(file, false);
    QCOMPARE(t->recordCount(), 2);
    t->insert(2, { 3 });
    QCOMPARE(fileBytes(file), QByteArray("1\r\n2\r\n3\r\n"));
    Record r;
    t->read(2, r);
    QCOMPARE(r[0], QVariant(3));
    t->read(1, r);
    QCOMPARE(r[0], QVariant(2));
}

void TestAsciiWrite::undelimitedTable()
{
    // With no delimiter, text goes as it is and an empty text reads as null.
    const QString file = path(QStringLiteral("plain.txt"));
    createAsciiTable(file,
                     { FieldDef(QStringLiteral("A"), FieldType::String, 10),
                       FieldDef(QStringLiteral("B"), FieldType::Date) },
                     layout(false, '\0', '\t'));
    QVERIFY(fileBytes(path(QStringLiteral("plain.sch"))).contains("Delimiter=\r\nSeparator=#009\r\n"));
    auto t = asciiDriver().open(file, false);
    t->insert(0, { QStringLiteral("x \"y\""), QDate(2026, 5, 6) });
    t->insert(1, { QStringLiteral(""), QVariant() });
    QCOMPARE(fileBytes(file), QByteArray("x \"y\"\t2026-05-06\r\n\t\r\n"));
    Record r;
    t->read(1, r);
    QVERIFY(r[0].isNull());
}

void TestAsciiWrite::valuesStartingWithTheDelimiter()
{
    const QString file = path(QStringLiteral("minus.txt"));
    createAsciiTable(file,
                     { FieldDef(QStringLiteral("I"), FieldType::Integer),
                       FieldDef(QStringLiteral("F"), FieldType::Float, 10, 1),
                       FieldDef(QStringLiteral("S"), FieldType::String, 10) },
                     layout(false, '-', ';'));
    auto t = asciiDriver().open(file, false);
    t->insert(0, { -3, -0.5, QStringLiteral("-a-") });
    t->insert(1, { 4, 1.5, QVariant() });
    QCOMPARE(fileBytes(file), QByteArray("---3-;---0.5-;---a---\r\n4;1.5;\r\n"));
    Record r;
    t->read(0, r);
    QCOMPARE(r, Record({ -3, -0.5, QStringLiteral("-a-") }));
    t->read(1, r);
    QCOMPARE(r, Record({ 4, 1.5, QVariant() }));
}

void TestAsciiWrite::codePage()
{
    const QString file = path(QStringLiteral("cp.txt"));
    CreateOptions options;
    options.codePage = QStringLiteral("IBM850");
    asciiDriver().create(file, { FieldDef(QStringLiteral("Ñame"), FieldType::String, 10) }, options);
    QVERIFY(fileBytes(path(QStringLiteral("cp.sch")))
                .contains("CharSet=IBM850\r\nField1=\xA5"
                          "ame,CHAR"));
    auto t = asciiDriver().open(file, false);
    QCOMPARE(t->fields()[0].name, QStringLiteral("Ñame"));
    QCOMPARE(t->info().codePage, QStringLiteral("IBM850"));
    t->insert(0, { QStringLiteral("Ærø") });
    QCOMPARE(fileBytes(file), QByteArray("\"\x92r\x9B\"\r\n"));
    try {
        t->insert(1, { QStringLiteral("€") });
        QFAIL("a character outside the code page was written");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("field Ñame: the text \"€\"")), qPrintable(e.message()));
    }
}

void TestAsciiWrite::writerLock()
{
    const QString file = path(QStringLiteral("locked.txt"));
    createAsciiTable(file, { FieldDef(QStringLiteral("ID"), FieldType::Integer) }, layout(false));
    auto writer = asciiDriver().open(file, false);
    QVERIFY_THROWS_EXCEPTION(EngineError, asciiDriver().open(file, false));
    // Every write puts a new file in place; the lock must move with it.
    writer->insert(0, { 1 });
    try {
        asciiDriver().open(file, false);
        QFAIL("a second writer opened the table");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), file + QStringLiteral(": the table is in use by another program or window"));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, asciiDriver().empty(file));
    QVERIFY_THROWS_EXCEPTION(
        EngineError,
        createAsciiTable(file, { FieldDef(QStringLiteral("X"), FieldType::Date) }, layout(false)));
    auto reader = asciiDriver().open(file, true);
    QCOMPARE(reader->recordCount(), 1);
    writer.reset();
    auto second = asciiDriver().open(file, false);
    QCOMPARE(second->recordCount(), 1);
}

void TestAsciiWrite::readOnlyTable()
{
    const QString file = path(QStringLiteral("ro.txt"));
    createAsciiTable(file, { FieldDef(QStringLiteral("ID"), FieldType::Integer) }, layout(true));
    writeFile(file, "          1\r\n");
    auto t = asciiDriver().open(file, true);
    QVERIFY(t->readOnly());
    try {
        t->update(0, { 2 });
        QFAIL("a read-only table was written");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), file + QStringLiteral(": the table is open read-only"));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(0, { 2 }));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->remove(0));
    QCOMPARE(fileBytes(file), QByteArray("          1\r\n"));

    QFile(file).setPermissions(QFileDevice::ReadOwner);
    auto onDisk = asciiDriver().open(file, false);
    if (QFileInfo(file).isWritable())
        QSKIP("running as a user that can write any file");
    QVERIFY(onDisk->readOnly());
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestAsciiWrite::createReplaces()
{
    const QString file = path(QStringLiteral("again.txt"));
    createAsciiTable(file, { FieldDef(QStringLiteral("A"), FieldType::Integer) }, layout(false));
    {
        auto t = asciiDriver().open(file, false);
        t->insert(0, { 1 });
    }
    createAsciiTable(file, { FieldDef(QStringLiteral("B"), FieldType::String, 3) }, layout(true));
    auto t = asciiDriver().open(file, true);
    QCOMPARE(t->recordCount(), 0);
    QCOMPARE(t->fields()[0].name, QStringLiteral("B"));
    QCOMPARE(t->info().format, QStringLiteral("ASCII (FIXED)"));
}

void TestAsciiWrite::throughTable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("by extension") << int(Table::Default) << "people.txt"
                                  << QStringList { "people.sch", "people.txt" };
    QTest::newRow("ASCII type") << int(Table::Ascii) << "PEOPLE"
                                << QStringList { "PEOPLE.sch", "PEOPLE.txt" };
}

void TestAsciiWrite::throughTable()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    Table table;
    table.setDatabaseName(dir.path());
    table.setTableName(name);
    table.setTableType(type);
    table.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    table.addFieldDef(QStringLiteral("BORN"), FieldType::Date);
    table.addFieldDef(QStringLiteral("NOTE"), FieldType::Memo);
    table.createTable();
    QVERIFY(table.exists());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);

    table.open();
    table.append();
    table.setText(0, QStringLiteral("Ada, Countess"));
    table.setValue(1, QDate(1815, 12, 10));
    table.setText(2, QStringLiteral("first\r\n\"programmer\""));
    table.post();
    table.append();
    table.setText(0, QStringLiteral("Grace"));
    table.post();
    table.first();
    table.edit();
    table.setText(2, QStringLiteral("notes,\nmore"));
    table.post();
    table.last();
    table.deleteRecord();
    QCOMPARE(table.recordCount(), 1);
    table.close();

    table.open();
    QCOMPARE(table.recordCount(), 1);
    QCOMPARE(table.text(0), QStringLiteral("Ada, Countess"));
    QCOMPARE(table.value(1), QVariant(QDate(1815, 12, 10)));
    QCOMPARE(table.text(2), QStringLiteral("notes,\nmore"));
    QCOMPARE(table.info().format, QStringLiteral("ASCII (VARYING)"));
    table.emptyTable();
    QCOMPARE(table.recordCount(), 0);
    table.close();
    table.deleteTable();
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestAsciiWrite::sessionForms_data()
{
    QTest::addColumn<QByteArray>("config"); // the configuration file's format sections
    QTest::addColumn<QByteArray>("line"); // the record as the data file holds it

    QTest::newRow("defaults") << QByteArray()
                              << QByteArray(
                                     "2024-03-09,13:05:00,1815-12-10 13:05:00.250,1234.5,-0.25,1234567");
    QTest::newRow("day.month.year, comma decimals, dot thousands")
        << QByteArray("[FORMATS DATE]\nSEPARATOR=.\nMODE=1\nFOURDIGITYEAR=FALSE\n"
                      "[FORMATS NUMBER]\nDECIMALSEPARATOR=,\nTHOUSANDSEPARATOR=.\nLEADINGZERON=FALSE\n")
        // A two-digit year only where it reads back; values holding the separator are delimited.
        << QByteArray("09.03.24,13:05:00,10.12.1815 13:05:00.250,\"1.234,5\",\"-,25\",1.234.567");
    QTest::newRow("month/day/year, twelve hours, no seconds")
        << QByteArray("[FORMATS DATE]\nSEPARATOR=/\nMODE=0\nLEADINGZEROD=FALSE\nLEADINGZEROM=FALSE\n"
                      "[FORMATS TIME]\nTWELVEHOUR=TRUE\nSECONDS=FALSE\n")
        // Milliseconds that are not zero are kept all the same.
        << QByteArray("3/9/2024,1:05 PM,12/10/1815 1:05:00.250 PM,1234.5,-0.25,1234567");
    QTest::newRow("milliseconds always")
        << QByteArray("[FORMATS TIME]\nMILSECONDS=TRUE\n")
        << QByteArray("2024-03-09,13:05:00.000,1815-12-10 13:05:00.250,1234.5,-0.25,1234567");
}

void TestAsciiWrite::sessionForms()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, line);
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir(home.path()).mkpath(QStringLiteral("quorvex"));
    writeFile(home.filePath(QStringLiteral("quorvex/engine.conf")), config);
    Session session;
    QVERIFY2(session.configWarning().isEmpty(), qPrintable(session.configWarning()));

    const QString file = path(QStringLiteral("forms.txt"));
    const FieldDefs fields {
        FieldDef(QStringLiteral("D"), FieldType::Date),     FieldDef(QStringLiteral("T"), FieldType::Time),
        FieldDef(QStringLiteral("S"), FieldType::DateTime), FieldDef(QStringLiteral("F"), FieldType::Float),
        FieldDef(QStringLiteral("G"), FieldType::Float),    FieldDef(QStringLiteral("N"), FieldType::Integer)
    };
    const Record rec { QDate(2024, 3, 9),
                       QTime(13, 5),
                       QDateTime(QDate(1815, 12, 10), QTime(13, 5, 0, 250), Qt::UTC),
                       1234.5,
                       -0.25,
                       1234567 };

    // The driver writes and reads in the forms it is opened with.
    createAsciiTable(file, fields, layout(false));
    OpenOptions options;
    options.textForms = textFormsOf(&session);
    asciiDriver().open(file, options)->insert(0, rec);
    QCOMPARE(fileBytes(file), line + "\r\n");
    Record back;
    options.readOnly = true;
    asciiDriver().open(file, options)->read(0, back);
    QCOMPARE(back, rec);

    // A table opens it in the forms of the default session when it has no
    // session of its own, else in those of its own.
    Session *const oldDefault = Session::defaultSession();
    const auto restore = qScopeGuard([&] {
        Session::setDefaultSession(oldDefault);
        qputenv("XDG_CONFIG_HOME", oldHome);
    });
    for (const bool own : { false, true }) {
        createAsciiTable(file, fields, layout(false));
        Session::setDefaultSession(own ? nullptr : &session);
        Table table;
        if (own)
            table.setSession(&session);
        table.setTableName(file);
        table.open();
        table.appendRecord(rec);
        table.close();
        QCOMPARE(fileBytes(file), line + "\r\n");
        table.open();
        QVERIFY(table.readRecord(1, back));
        QCOMPARE(back, rec);
        table.close();
    }
}

void TestAsciiWrite::exactNumbers_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("text"); // as the file holds it
    QTest::addColumn<QVariant>("back");

    const qint64 big = 1234567890123456789LL;
    const qint64 nines = -999999999999999999LL;
    QTest::newRow("19-digit INT64") << int(FieldType::LargeInt) << 0 << 0 << QVariant(big)
                                    << QByteArray("1234567890123456789") << QVariant(big);
    QTest::newRow("-999999999999999999 INT64") << int(FieldType::LargeInt) << 0 << 0 << QVariant(nines)
                                               << QByteArray("-999999999999999999") << QVariant(nines);
    QTest::newRow("19-digit integer to FLOAT") << int(FieldType::Float) << 0 << 0 << QVariant(big)
                                               << QByteArray("1234567890123456789") << QVariant(double(big));
    QTest::newRow("-999999999999999999 to FLOAT")
        << int(FieldType::Float) << 0 << 0 << QVariant(nines) << QByteArray("-999999999999999999")
        << QVariant(double(nines));
    QTest::newRow("integer to FLOAT with decimals")
        << int(FieldType::Float) << 12 << 2 << QVariant(5) << QByteArray("5.00") << QVariant(5.0);
    QTest::newRow("whole double without exponent") << int(FieldType::Float) << 0 << 0 << QVariant(-1e18)
                                                   << QByteArray("-1000000000000000000") << QVariant(-1e18);
    QTest::newRow("BCD 1234567890123456.78")
        << int(FieldType::BCD) << 20 << 2 << QVariant(QStringLiteral("1234567890123456.78"))
        << QByteArray("1234567890123456.78") << QVariant(QStringLiteral("1234567890123456.78"));
    QTest::newRow("BCD 20 nines") << int(FieldType::BCD) << 20 << 0
                                  << QVariant(QStringLiteral("-99999999999999999999"))
                                  << QByteArray("-99999999999999999999")
                                  << QVariant(QStringLiteral("-99999999999999999999"));
    QTest::newRow("BCD padded to its decimals")
        << int(FieldType::BCD) << 10 << 2 << QVariant(QStringLiteral("7.5")) << QByteArray("7.50")
        << QVariant(QStringLiteral("7.5"));
    QTest::newRow("BCD digits past its decimals kept")
        << int(FieldType::BCD) << 10 << 2 << QVariant(QStringLiteral("0.125")) << QByteArray("0.125")
        << QVariant(QStringLiteral("0.125"));
}

// Numbers reach the file digit for digit, in VARYING and FIXED tables.
void TestAsciiWrite::exactNumbers()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, text);
    QFETCH(QVariant, back);
    for (const bool fixed : { false, true }) {
        const QString file = path(QStringLiteral("exact.txt"));
        createAsciiTable(file, { FieldDef(QStringLiteral("V"), FieldType(type), size, decimals) },
                         layout(fixed));
        asciiDriver().open(file, false)->insert(0, { value });
        QCOMPARE(fileBytes(file).trimmed(), text);
        Record r;
        asciiDriver().open(file, true)->read(0, r);
        QCOMPARE(r[0].typeId(), back.typeId());
        QCOMPARE(r[0], back);
    }
}

void TestAsciiWrite::valuesKeptAsTheyStood_data()
{
    QTest::addColumn<QByteArray>("schema");
    QTest::addColumn<QByteArray>("line"); // the record before
    QTest::addColumn<int>("field"); // the field changed
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray varying = "[T]\nFiletype=VARYING\nDelimiter=\"\nSeparator=,\nField1=N,CHAR,10,0,0\n"
                               "Field2=D,DATE,10,0,0\nField3=F,FLOAT,24,0,0\n";
    const QByteArray fixed = "[T]\nFiletype=FIXED\nField1=N,CHAR,6,0,0\nField2=D,DATE,10,0,6\n"
                             "Field3=F,FLOAT,20,0,16\n";
    QTest::newRow("unreadable date") << varying << QByteArray("\"Ann\",31.31.2024,1") << 0
                                     << QVariant(QStringLiteral("Bob")) << QByteArray("\"Bob\",31.31.2024,1");
    QTest::newRow("date in another form")
        << varying << QByteArray("\"Ann\",3/9/2024,1") << 0 << QVariant(QStringLiteral("Bob"))
        << QByteArray("\"Bob\",3/9/2024,1");
    QTest::newRow("more digits than a double holds")
        << varying << QByteArray("\"Ann\",2024-03-09,1234567890123456789") << 0
        << QVariant(QStringLiteral("Bob")) << QByteArray("\"Bob\",2024-03-09,1234567890123456789");
    QTest::newRow("a whole number a double cannot tell apart")
        << varying << QByteArray("\"Ann\",2024-03-09,1234567890123456800") << 2
        << QVariant(qint64(1234567890123456789LL)) << QByteArray("\"Ann\",2024-03-09,1234567890123456789");
    QTest::newRow("undelimited text") << varying << QByteArray("Ann,2024-03-09,1.50") << 1
                                      << QVariant(QDate(2024, 3, 10)) << QByteArray("Ann,2024-03-10,1.50");
    QTest::newRow("the unreadable value itself changed")
        << varying << QByteArray("\"Ann\",31.31.2024,1") << 1 << QVariant(QDate(2024, 3, 10))
        << QByteArray("\"Ann\",2024-03-10,1");
    QTest::newRow("fixed: unreadable date")
        << fixed << QByteArray("Ann   99/99/9999  1.5000            ") << 0 << QVariant(QStringLiteral("Bob"))
        << QByteArray("Bob   99/99/9999  1.5000            ");
    QTest::newRow("fixed: value changed beside it")
        << fixed << QByteArray("Ann   99/99/9999  1.5000            ") << 2 << QVariant(2.25)
        << QByteArray("Ann   99/99/9999                2.25");
}

// A change writes the values it changes; the others stay as they stood in
// the file, even those that read as null because no form reads them.
void TestAsciiWrite::valuesKeptAsTheyStood()
{
    QFETCH(QByteArray, schema);
    QFETCH(QByteArray, line);
    QFETCH(int, field);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, after);
    const QByteArray other = "\"Cy\",2024-01-02,3\r\n";
    auto t = openAscii(std::make_unique<MemoryFile>(line + "\r\n" + other, QStringLiteral("t.txt")), schema,
                       QStringLiteral("t.sch"), false);
    const auto *table = dynamic_cast<const ascii::AsciiTable *>(t.get());
    QVERIFY(table);
    Record r;
    t->read(0, r);
    r[std::size_t(field)] = value;
    t->update(0, r);
    QCOMPARE(table->dataFile().readBytes(0, table->dataFile().size()), after + "\r\n" + other);
    // Writing back what was read changes nothing.
    t->read(0, r);
    t->update(0, r);
    QCOMPARE(table->dataFile().readBytes(0, table->dataFile().size()), after + "\r\n" + other);
}

// Changes in a batch are seen by reads at once, reach the file in one
// rewrite on commit, and leave it as it was on rollback.
void TestAsciiWrite::batch()
{
    const QByteArray schema = "[T]\nFiletype=VARYING\nDelimiter=\"\nSeparator=,\nField1=N,CHAR,10,0,0\n";
    const QByteArray before = "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\""; // the last line has no break
    auto t = openAscii(std::make_unique<MemoryFile>(before, QStringLiteral("t.txt")), schema,
                       QStringLiteral("t.sch"), false);
    const auto *table = dynamic_cast<const ascii::AsciiTable *>(t.get());
    QVERIFY(table);
    const auto names = [&] {
        QStringList out;
        Record r;
        for (qint64 i = 0; i < t->recordCount(); ++i) {
            t->read(i, r);
            out << r[0].toString();
        }
        return out.join(u' ');
    };
    const auto bytes = [&] { return table->dataFile().readBytes(0, table->dataFile().size()); };
    for (const bool commit : { false, true }) {
        const qint64 rewrites = ascii::AsciiTable::rewriteCount();
        t->beginBatch();
        t->update(1, { QStringLiteral("B") });
        t->remove(0);
        t->insert(3, { QStringLiteral("e") });
        t->insert(1, { QStringLiteral("x") });
        t->update(1, { QStringLiteral("X") }); // a new record changed again
        t->remove(2); // "c"
        t->insert(0, { QStringLiteral("y") });
        t->remove(4); // "e", a new record
        QCOMPARE(names(), QStringLiteral("y B X d"));
        QCOMPARE(t->recordCount(), 4);
        QCOMPARE(bytes(), before);
        if (commit) {
            t->commitBatch();
            // "d" stays the last record, still without a line break.
            QCOMPARE(bytes(), QByteArray("\"y\"\r\n\"B\"\r\n\"X\"\r\n\"d\""));
            QCOMPARE(ascii::AsciiTable::rewriteCount(), rewrites + 1);
            QCOMPARE(names(), QStringLiteral("y B X d"));
        } else {
            t->rollbackBatch();
            QCOMPARE(bytes(), before);
            QCOMPARE(ascii::AsciiTable::rewriteCount(), rewrites);
            QCOMPARE(names(), QStringLiteral("a b c d"));
        }
    }
    // A record after the last one that lacked its line break gets one
    // between them.
    t->beginBatch();
    t->insert(4, { QStringLiteral("z") });
    t->commitBatch();
    QCOMPARE(bytes(), QByteArray("\"y\"\r\n\"B\"\r\n\"X\"\r\n\"d\"\r\n\"z\"\r\n"));
    QCOMPARE(names(), QStringLiteral("y B X d z"));

    // Without a batch each change is written at once.
    const qint64 rewrites = ascii::AsciiTable::rewriteCount();
    t->remove(0);
    t->remove(0);
    QCOMPARE(bytes(), QByteArray("\"X\"\r\n\"d\"\r\n\"z\"\r\n"));
    QCOMPARE(ascii::AsciiTable::rewriteCount(), rewrites + 2);
}

namespace {

// A text table of ID, NAME and N with records 1..count, on disk.
QString makeNumbers(const QString &dir, int count)
{
    const QString file = QDir(dir).filePath(QStringLiteral("numbers.txt"));
    createAsciiTable(file,
                     { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                       FieldDef(QStringLiteral("NAME"), FieldType::String, 10),
                       FieldDef(QStringLiteral("N"), FieldType::Integer) },
                     layout(false));
    QByteArray data;
    for (int i = 1; i <= count; ++i)
        data += QByteArray::number(i) + ",\"n" + QByteArray::number(i) + "\"," + QByteArray::number(i)
            + "\r\n";
    writeFile(file, data);
    return file;
}

QStringList hiddenFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression(QStringLiteral("^\\.")));
}

} // namespace

void TestAsciiWrite::oneRewritePerStatement_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("changed"); // -1: not compared
    QTest::addColumn<QString>("check"); // a query over the table after it
    QTest::addColumn<QString>("expected"); // its one value
    QTest::addColumn<int>("rewrites");

    QTest::newRow("update every record") << "UPDATE numbers SET N = N * 2, NAME = \"m\" || ID" << 300
                                         << "SELECT SUM(N) || \" \" || MAX(NAME) FROM numbers"
                                         << "90300 m99" << 1;
    QTest::newRow("delete every other record")
        << "DELETE FROM numbers WHERE ID % 2 = 0" << 150 << "SELECT COUNT(*) || \" \" || SUM(ID) FROM numbers"
        << "150 22500" << 1;
    QTest::newRow("delete every record") << "DELETE FROM numbers" << 300 << "SELECT COUNT(*) FROM numbers"
                                         << "0" << 1;
    QTest::newRow("insert many records") << "INSERT INTO numbers SELECT ID + 300, NAME, N FROM numbers" << 300
                                         << "SELECT COUNT(*) || \" \" || MAX(ID) FROM numbers"
                                         << "600 600" << 1;
    QTest::newRow("statements in a transaction")
        << "BEGIN; UPDATE numbers SET N = 0 WHERE ID <= 100; DELETE FROM numbers WHERE ID > 200; COMMIT" << -1
        << "SELECT COUNT(*) || \" \" || SUM(N) FROM numbers"
        << "200 15050" << 1;
    QTest::newRow("no record matched")
        << "UPDATE numbers SET N = 0 WHERE ID > 1000" << 0 << "SELECT SUM(N) FROM numbers"
        << "45150" << 0;
}

// An SQL statement writes a text table's file once, however many records
// it changes (a statement used to rewrite the file for every record).
void TestAsciiWrite::oneRewritePerStatement()
{
    QFETCH(QString, sql);
    QFETCH(int, changed);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    QFETCH(int, rewrites);
    QTemporaryDir dir;
    makeNumbers(dir.path(), 300);
    const qint64 rewritesBefore = ascii::AsciiTable::rewriteCount();
    Query q;
    q.setDirectory(dir.path());
    q.setSQLText(sql);
    const qint64 count = q.execSQL();
    if (changed >= 0)
        QCOMPARE(count, changed);
    QCOMPARE(ascii::AsciiTable::rewriteCount(), rewritesBefore + rewrites);
    QCOMPARE(hiddenFiles(dir.path()), QStringList());
    q.setSQLText(check);
    q.open();
    QCOMPARE(q.text(0), expected);
}

void TestAsciiWrite::failedStatementChangesNothing_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error"); // part of the message

    QTest::newRow("value too wide at record 250")
        << "UPDATE numbers SET NAME = CASE WHEN ID = 250 THEN \"far too long\" ELSE \"x\" END"
        << "does not fit in 10 characters";
    QTest::newRow("not a number at record 200")
        << "UPDATE numbers SET N = CASE WHEN ID = 200 THEN \"many\" ELSE 1 END"
        << "many";
    QTest::newRow("insert failing part way")
        << "INSERT INTO numbers SELECT ID + 300, CASE WHEN ID = 120 THEN \"far too long\" ELSE NAME END, N "
           "FROM numbers"
        << "does not fit in 10 characters";
    QTest::newRow("delete then a failing update")
        << "BEGIN; DELETE FROM numbers WHERE ID < 100; UPDATE numbers SET N = \"x\" WHERE ID = 299; COMMIT"
        << "'x'";
}

// A statement that fails part way leaves the file byte for byte as it was,
// with nothing beside it.
void TestAsciiWrite::failedStatementChangesNothing()
{
    QFETCH(QString, sql);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString file = makeNumbers(dir.path(), 300);
    const QByteArray before = fileBytes(file);
    const qint64 rewrites = ascii::AsciiTable::rewriteCount();
    Query q;
    q.setDirectory(dir.path());
    q.setSQLText(sql);
    try {
        q.execSQL();
        QFAIL("the statement ran");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(error), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(file), before);
    QCOMPARE(ascii::AsciiTable::rewriteCount(), rewrites);
    QCOMPARE(hiddenFiles(dir.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestAsciiWrite)
#include "tst_ascii_write.moc"
