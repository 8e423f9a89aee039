// Reading text tables: schema files good and bad, the data of VARYING and
// FIXED files as other programs write them, and malformed data.
#include "engine/EngineError.h"
#include "engine/formats/ascii/AsciiDriver.h"
#include "engine/formats/ascii/AsciiSchema.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "fuzz/fuzz_ascii_data.h"
#include "fuzz/fuzz_ascii_schema.h"
#include "fuzz_replay.h"

using namespace qvx;

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(QVX_FIXTURES "/ascii/") + name;
}

QString typeCodes(const ascii::Schema &s)
{
    QStringList out;
    for (const ascii::SchemaField &f : s.fields)
        out << QString::number(fieldTypeCode(f.def.type));
    return out.join(u',');
}

const QByteArray kTwoFields = "[T]\r\nFiletype=VARYING\r\nDelimiter=\"\r\nSeparator=,\r\nCharSet=ascii\r\n"
                              "Field1=ID,LONGINT,11,00,00\r\nField2=NAME,CHAR,20,00,11\r\n";

std::unique_ptr<OpenTable> openMemory(const QByteArray &schema, const QByteArray &data)
{
    return openAscii(std::make_unique<MemoryFile>(data, QStringLiteral("t.txt")), schema,
                     QStringLiteral("t.sch"), true);
}

} // namespace

class TestAscii : public QObject {
    Q_OBJECT

private slots:
    void schemaCases_data();
    void schemaCases();
    void schemaTextRoundTrip();
    void varyingFixture();
    void fixedFixture();
    void lineBreakEndings_data();
    void lineBreakEndings();
    void malformedData_data();
    void malformedData();
    void unreadableValues_data();
    void unreadableValues();
    void otherForms_data();
    void otherForms();
    void unclosedFixtureFailsOnOpen();
    void missingSchema();
    void schemaFuzzInputs_data();
    void schemaFuzzInputs();
    void dataFuzzInputs_data();
    void dataFuzzInputs();
};

void TestAscii::schemaCases_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // empty: the schema is good
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<int>("separator");
    QTest::addColumn<int>("delimiter");
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("types");

    const QByteArray head = "[T]\nFiletype=VARYING\n";
    QTest::newRow("every type, mixed case") << QByteArray(
        "[T]\nfiletype=Varying\nField1=a,Char,5,0,0\nField2=b,float,20,04,5\nField3=c,Number,6,0,0\n"
        "Field4=d,LONGINT,1,0,0\nField5=e,int64,1,0,0\nField6=f,Bool,1,0,0\nField7=g,DATE,1,0,0\n"
        "Field8=h,Time,1,0,0\nField9=i,TimeStamp,1,0,0\nField10=j,MEMO,0,0,0\n")
                                            << QString() << false << int(',') << int('"') << "windows-1252"
                                            << "1,6,2,3,25,5,9,10,11,16";
    QTest::newRow("spaces, comments, BOM, CR LF, other keys")
        << QByteArray("\xEF\xBB\xBF; a comment\r\n\r\n[ T ]\r\n  FILETYPE = FIXED \r\nDelimiter =\r\n"
                      "COMMENT=whatever\r\nCharSet = ANSI\r\nField1 = X , CHAR , 03 , 00 , 00\r\n")
        << QString() << true << int(',') << 0 << "windows-1252"
        << "1";
    QTest::newRow("decimal escapes") << head + "Separator=#009\nDelimiter=#039\nField1=a,CHAR,1,0,0\n"
                                     << QString() << false << 9 << int('\'') << "windows-1252"
                                     << "1";
    QTest::newRow("caret escape") << head + "Separator=^i\nField1=a,CHAR,1,0,0\n"
                                  << QString() << false << 9 << int('"') << "windows-1252"
                                  << "1";
    QTest::newRow("space separator") << head + "Separator= \nField1=a,CHAR,1,0,0\n"
                                     << QString() << false << int(' ') << int('"') << "windows-1252"
                                     << "1";
    QTest::newRow("hash as itself") << head + "Separator=#\nField1=a,CHAR,1,0,0\n"
                                    << QString() << false << int('#') << int('"') << "windows-1252"
                                    << "1";
    QTest::newRow("named code page") << head + "CharSet=IBM850\nField1=a,CHAR,1,0,0\n"
                                     << QString() << false << int(',') << int('"') << "IBM850"
                                     << "1";
    QTest::newRow("utf-8") << head + "CharSet=utf8\nField1=a,CHAR,1,0,0\n"
                           << QString() << false << int(',') << int('"') << "UTF-8"
                           << "1";

    const auto bad = [&](const char *name, const QByteArray &text, const QString &error) {
        QTest::newRow(name) << text << error << false << 0 << 0 << QString() << QString();
    };
    bad("empty file", "", "s.sch: the schema has no [table] section");
    bad("no fields", "[T]\nFiletype=FIXED\n", "s.sch: the schema has no fields");
    bad("key before section", "Filetype=FIXED\n[T]\n",
        "s.sch: line 1: a key before the [table] section line");
    bad("no closing bracket", "[T\n", "s.sch: line 1: the section name has no closing ]");
    bad("second section", head + "Field1=a,CHAR,1,0,0\n[U]\n", "s.sch: line 4: a second section");
    bad("not key=value", head + "Field1\n", "s.sch: line 3: expected Key=Value");
    bad("unknown filetype", "[T]\nFiletype=CSV\n", "s.sch: line 2: unknown Filetype \"CSV\"");
    bad("unknown type", head + "Field1=a,BLOB,1,0,0\n", "s.sch: line 3: Field1 has an unknown type \"BLOB\"");
    bad("four parts", head + "Field1=a,CHAR,1,0\n",
        "s.sch: line 3: Field1 needs Name,Type,Width,Decimals,Offset");
    bad("no name", head + "Field1= ,CHAR,1,0,0\n", "s.sch: line 3: Field1 has no name");
    bad("bad width", head + "Field1=a,CHAR,x,0,0\n", "s.sch: line 3: Field1 has a bad width \"x\"");
    bad("negative offset", head + "Field1=a,CHAR,1,0,-1\n", "s.sch: line 3: Field1 has a bad offset \"-1\"");
    bad("huge width", head + "Field1=a,CHAR,99999999999,0,0\n", "s.sch: line 3: Field1 has a bad width");
    bad("gap in numbers", head + "Field1=a,CHAR,1,0,0\nField3=b,CHAR,1,0,0\n", "s.sch: Field2 is missing");
    bad("no Field1", head + "Field2=a,CHAR,1,0,0\n", "s.sch: Field1 is missing");
    bad("field twice", head + "Field1=a,CHAR,1,0,0\nfield1=b,CHAR,1,0,0\n",
        "s.sch: line 4: Field1 is given twice");
    bad("field zero", head + "Field0=a,CHAR,1,0,0\n", "s.sch: line 3: Field0 is not a field number");
    bad("name twice", head + "Field1=a,CHAR,1,0,0\nField2=A,CHAR,1,0,0\n",
        "s.sch: line 4: the field name A is used twice");
    bad("two-character separator", head + "Separator=;;\n",
        "s.sch: line 3: the separator must be one character");
    bad("escape out of range", head + "Separator=#300\n",
        "s.sch: line 3: the separator must be one character");
    bad("line break separator", head + "Separator=#010\n", "s.sch: line 3: the separator must be an ASCII");
    bad("non-ASCII delimiter", head + "Delimiter=#200\n", "s.sch: line 3: the delimiter must be an ASCII");
    bad("separator is delimiter", head + "Separator=\"\nField1=a,CHAR,1,0,0\n",
        "s.sch: line 3: the separator and the delimiter are the same character");
    bad("unknown charset", head + "CharSet=klingon\n", "s.sch: line 3: unknown or unusable character set");
    bad("multi-byte charset", head + "CharSet=UTF-16LE\n",
        "s.sch: line 3: unknown or unusable character set");
    bad("memo in fixed", "[T]\nFiletype=FIXED\nField1=a,MEMO,10,0,0\n",
        "s.sch: line 3: field a: a MEMO field cannot be in a FIXED file");
    bad("fixed without width", "[T]\nFiletype=FIXED\nField1=a,LONGINT,0,0,0\n",
        "s.sch: line 3: field a has no width");
}

void TestAscii::schemaCases()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    if (!error.isEmpty()) {
        try {
            ascii::parseSchema(text, QStringLiteral("s.sch"));
            QFAIL("a malformed schema was accepted");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(error), qPrintable(e.message()));
        }
        return;
    }
    QFETCH(bool, fixed);
    QFETCH(int, separator);
    QFETCH(int, delimiter);
    QFETCH(QString, codePage);
    QFETCH(QString, types);
    const ascii::Schema s = ascii::parseSchema(text, QStringLiteral("s.sch"));
    QCOMPARE(s.tableName, QStringLiteral("T"));
    QCOMPARE(s.fixed, fixed);
    if (!fixed)
        QCOMPARE(int(s.separator), separator);
    QCOMPARE(int(s.delimiter), delimiter);
    QCOMPARE(s.codePage, codePage);
    QCOMPARE(typeCodes(s), types);
}

void TestAscii::schemaTextRoundTrip()
{
    ascii::Schema layout;
    layout.separator = '\t';
    layout.delimiter = '\'';
    layout.charSet = QStringLiteral("IBM850");
    FieldDefs defs { FieldDef(QStringLiteral("Név"), FieldType::String, 12),
                     FieldDef(QStringLiteral("PRICE"), FieldType::Float, 10, 2),
                     FieldDef(QStringLiteral("WHEN"), FieldType::DateTime),
                     FieldDef(QStringLiteral("N"), FieldType::Memo) };
    const ascii::Schema s
        = ascii::schemaForFields(defs, layout, QStringLiteral("TÁBLA"), QStringLiteral("x.txt"));
    const QByteArray text = ascii::schemaText(s);
    QVERIFY2(text.contains("Separator=#009\r\n"), text.constData());
    QVERIFY2(text.contains("Field2=PRICE,FLOAT,10,02,12\r\n"), text.constData());
    const ascii::Schema back = ascii::parseSchema(text, QStringLiteral("x.sch"));
    QCOMPARE(back.tableName, QStringLiteral("TÁBLA"));
    QCOMPARE(int(back.separator), int('\t'));
    QCOMPARE(int(back.delimiter), int('\''));
    QCOMPARE(back.codePage, s.codePage);
    QCOMPARE(back.fields.size(), s.fields.size());
    for (std::size_t i = 0; i < s.fields.size(); ++i) {
        QCOMPARE(back.fields[i].name, s.fields[i].name);
        QCOMPARE(back.fields[i].typeName, s.fields[i].typeName);
        QCOMPARE(back.fields[i].width, s.fields[i].width);
        QCOMPARE(back.fields[i].decimals, s.fields[i].decimals);
        QCOMPARE(back.fields[i].offset, s.fields[i].offset);
    }
}

void TestAscii::varyingFixture()
{
    auto t = asciiDriver().open(fixture(QStringLiteral("customer.txt")), true);
    QCOMPARE(t->fields().size(), std::size_t(6));
    QCOMPARE(t->fields()[2].type, FieldType::Float);
    QCOMPARE(t->fields()[5].type, FieldType::Memo);
    QCOMPARE(t->info().codePage, QStringLiteral("windows-1252"));
    QCOMPARE(t->recordCount(), 5);

    Record r;
    t->read(0, r);
    QCOMPARE(r[0], QVariant(1));
    QCOMPARE(r[1], QVariant(QStringLiteral("Smith, Jo")));
    QCOMPARE(r[2], QVariant(12.5));
    QCOMPARE(r[3], QVariant(QDate(1999, 12, 31)));
    QCOMPARE(r[4], QVariant(true));
    QCOMPARE(r[5], QVariant(QStringLiteral("plain")));

    t->read(1, r);
    QCOMPARE(r[1], QVariant(QStringLiteral("say \"hi\"")));
    QCOMPARE(r[2], QVariant(-3.0));
    QCOMPARE(r[4], QVariant(false));
    QCOMPARE(r[5], QVariant(QStringLiteral("two\r\nlines")));

    t->read(2, r); // LF only, undelimited text, nulls
    QCOMPARE(r[1], QVariant(QStringLiteral("café")));
    for (int i = 2; i < 6; ++i)
        QVERIFY2(r[std::size_t(i)].isNull(), qPrintable(QString::number(i)));

    t->read(3, r); // an empty line
    for (const QVariant &v : r)
        QVERIFY(v.isNull());

    t->read(4, r); // the last line has no line break
    QCOMPARE(r[0], QVariant(4));
    QCOMPARE(r[1], QVariant(QStringLiteral(""))); // delimited empty text is not null
    QVERIFY(!r[1].isNull());
    QCOMPARE(r[2], QVariant(0.0));
    QCOMPARE(r[3], QVariant(QDate(2000, 2, 29)));
    QCOMPARE(r[5], QVariant(QStringLiteral("a\nb")));

    // Records are read by number in any order.
    t->read(0, r);
    QCOMPARE(r[0], QVariant(1));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->read(5, r));
}

void TestAscii::fixedFixture()
{
    auto t = asciiDriver().open(fixture(QStringLiteral("parts.txt")), true);
    QCOMPARE(t->recordCount(), 3);
    QCOMPARE(t->info().format, QStringLiteral("ASCII (FIXED)"));
    Record r;
    t->read(0, r);
    QCOMPARE(r[0], QVariant(12));
    QCOMPARE(r[1], QVariant(QStringLiteral("Bolt, 10mm")));
    QCOMPARE(r[2], QVariant(0.25));
    QCOMPARE(r[3], QVariant(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC)));
    t->read(1, r); // a short line: the missing columns are blank
    QCOMPARE(r[0], QVariant(7));
    QCOMPARE(r[1], QVariant(QStringLiteral("Écrou")));
    QVERIFY(r[2].isNull());
    QVERIFY(r[3].isNull());
    t->read(2, r);
    QCOMPARE(r[0], QVariant(-300));
    QCOMPARE(r[1], QVariant(QStringLiteral("")));
}

void TestAscii::lineBreakEndings_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("lastName");

    QTest::newRow("CR LF") << QByteArray("1,\"a\"\r\n2,\"b\"\r\n") << 2 << "b";
    QTest::newRow("LF") << QByteArray("1,\"a\"\n2,\"b\"\n") << 2 << "b";
    QTest::newRow("no final break") << QByteArray("1,\"a\"\r\n2,\"b\"") << 2 << "b";
    QTest::newRow("empty file") << QByteArray() << 0 << "";
    QTest::newRow("break inside delimiters")
        << QByteArray("1,\"a\r\n2,\"\"b\"\"\"\r\n") << 1 << "a\r\n2,\"b\"";
    QTest::newRow("lone CR is data") << QByteArray("1,x\ry\r\n") << 1 << "x\ry";
    QTest::newRow("trailing separator") << QByteArray("1,\r\n") << 1 << "";
}

void TestAscii::lineBreakEndings()
{
    QFETCH(QByteArray, data);
    QFETCH(int, records);
    QFETCH(QString, lastName);
    auto t = openMemory(kTwoFields, data);
    QCOMPARE(t->recordCount(), records);
    if (records == 0)
        return;
    Record r;
    t->read(records - 1, r);
    QCOMPARE(r[1].toString(), lastName);
}

void TestAscii::malformedData_data()
{
    QTest::addColumn<QByteArray>("schema");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("badRecord"); // -1: opening fails
    QTest::addColumn<QString>("error");

    QTest::newRow("unclosed delimiter") << kTwoFields << QByteArray("1,\"a\"\r\n2,\"b\r\n3,c\r\n") << -1
                                        << "t.txt: line 2: a delimited value is never closed";
    QTest::newRow("text after delimiter") << kTwoFields << QByteArray("1,\"a\"\r\n2,\"b\"x\r\n") << 1
                                          << "t.txt: line 2: value 2 has text after its closing delimiter";
    QTest::newRow("too many values") << kTwoFields << QByteArray("1,a,b\r\n") << 0
                                     << "t.txt: line 1: more values than the 2 fields of the schema";
    QTest::newRow("too few values") << kTwoFields << QByteArray("1,\"x\ny\"\r\n5\r\n") << 1
                                    << "t.txt: line 3: 1 values where the schema has 2 fields";
}

void TestAscii::malformedData()
{
    QFETCH(QByteArray, schema);
    QFETCH(QByteArray, data);
    QFETCH(int, badRecord);
    QFETCH(QString, error);
    try {
        auto t = openMemory(schema, data);
        QVERIFY2(badRecord >= 0, "the table opened");
        Record r;
        t->read(badRecord, r);
        QFAIL("a malformed record was read");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), error);
    }
}

void TestAscii::unreadableValues_data()
{
    QTest::addColumn<QByteArray>("schema");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("record");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("warning");

    const QByteArray fixed = "[T]\nFiletype=FIXED\nField1=N,NUMBER,6,0,0\nField2=D,DATE,10,0,6\n"
                             "Field3=B,BOOL,1,0,16\nField4=T,TIME,8,0,17\n";
    QTest::newRow("bad integer") << kTwoFields << QByteArray("1x,a\r\n") << 0 << 0
                                 << "record 1, field ID: \"1x\" is not a valid LONGINT value";
    QTest::newRow("integer overflow") << kTwoFields << QByteArray("2,b\r\n4294967296,a\r\n") << 1 << 0
                                      << "record 2, field ID: \"4294967296\" is not a valid LONGINT value";
    QTest::newRow("NUMBER out of range") << fixed << QByteArray("999999          \r\n") << 0 << 0
                                         << "record 1, field N: \"999999\" is not a valid NUMBER value";
    QTest::newRow("bad date") << fixed << QByteArray("\r\n     12026-13-01\r\n") << 1 << 1
                              << "record 2, field D: \"2026-13-01\" is not a valid DATE value (yyyy-MM-dd)";
    QTest::newRow("date in no form")
        << fixed << QByteArray("     131.31.2024\r\n") << 0 << 1
        << "record 1, field D: \"31.31.2024\" is not a valid DATE value (yyyy-MM-dd)";
    QTest::newRow("bad bool") << fixed << QByteArray("                X\r\n") << 0 << 2
                              << "record 1, field B: \"X\" is not a valid BOOL value";
    QTest::newRow("bad time") << fixed << QByteArray("                 25:00:00\r\n") << 0 << 3
                              << "record 1, field T: \"25:00:00\" is not a valid TIME value (hh:mm:ss)";
}

// A value no form reads is null, the record's other values are read, the
// reading goes on, and the table says which value it was.
void TestAscii::unreadableValues()
{
    QFETCH(QByteArray, schema);
    QFETCH(QByteArray, data);
    QFETCH(int, record);
    QFETCH(int, field);
    QFETCH(QString, warning);
    auto t = openMemory(schema, data);
    QVERIFY(t->warnings().isEmpty());
    Record r;
    t->read(record, r);
    QVERIFY(r[std::size_t(field)].isNull());
    QCOMPARE(t->warnings(), QStringList { warning });
    for (qint64 i = 0; i < t->recordCount(); ++i)
        t->read(i, r);
    t->read(record, r);
    QCOMPARE(t->warnings(), QStringList { warning }); // named once
    // The good value beside the bad one.
    const QByteArray good = "[T]\nFiletype=VARYING\nField1=A,DATE,10,0,0\nField2=B,LONGINT,11,0,0\n";
    auto u = openMemory(good, "31.31.2024,7\r\n");
    u->read(0, r);
    QVERIFY(r[0].isNull());
    QCOMPARE(r[1], QVariant(7));
}

void TestAscii::otherForms_data()
{
    QTest::addColumn<QByteArray>("forms"); // date|time|number settings, ';' between
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value");

    const QDate day(2024, 3, 9);
    const QDateTime stamp(day, QTime(13, 5), Qt::UTC);
    const QByteArray iso; // the default forms: yyyy-mm-dd, '.' decimals
    const QByteArray dmy = "SEPARATOR=.;MODE=1||DECIMALSEPARATOR=,;THOUSANDSEPARATOR=.";
    const QByteArray mdy = "SEPARATOR=/;MODE=0||";
    QTest::newRow("m/d/yyyy") << iso << QByteArray("DATE") << "3/9/2024" << QVariant(day);
    QTest::newRow("mm/dd/yy") << iso << QByteArray("DATE") << "03/09/24" << QVariant(day);
    QTest::newRow("d.m.yyyy") << iso << QByteArray("DATE") << "9.3.2024" << QVariant(day);
    QTest::newRow("d.m.yy") << iso << QByteArray("DATE") << "9.3.24" << QVariant(day);
    QTest::newRow("yyyymmdd") << iso << QByteArray("DATE") << "20240309" << QVariant(day);
    QTest::newRow("yyyy/mm/dd") << iso << QByteArray("DATE") << "2024/03/09" << QVariant(day);
    QTest::newRow("ISO under d.m.y") << dmy << QByteArray("DATE") << "2024-03-09" << QVariant(day);
    QTest::newRow("own order first: d/m/y") << dmy << QByteArray("DATE") << "9/3/2024" << QVariant(day);
    QTest::newRow("own order first: m-d-y") << mdy << QByteArray("DATE") << "3-9-2024" << QVariant(day);
    QTest::newRow("ISO under m/d/y") << mdy << QByteArray("DATE") << "2024-03-09" << QVariant(day);
    QTest::newRow("time with dots") << iso << QByteArray("TIME") << "13.05.00" << QVariant(QTime(13, 5));
    QTest::newRow("twelve hours") << iso << QByteArray("TIME") << "1:05 pm" << QVariant(QTime(13, 5));
    QTest::newRow("tenths of a second")
        << iso << QByteArray("TIME") << "13:05:00.5" << QVariant(QTime(13, 5, 0, 500));
    QTest::newRow("timestamp with T")
        << iso << QByteArray("TIMESTAMP") << "2024-03-09T13:05:00" << QVariant(stamp);
    QTest::newRow("timestamp m/d/yyyy")
        << iso << QByteArray("TIMESTAMP") << "3/9/2024 1:05 PM" << QVariant(stamp);
    QTest::newRow("timestamp d.m.yy, dotted time")
        << iso << QByteArray("TIMESTAMP") << "9.3.24 13.05" << QVariant(stamp);
    QTest::newRow("timestamp date alone")
        << dmy << QByteArray("TIMESTAMP") << "2024-03-09" << QVariant(QDateTime(day, QTime(0, 0), Qt::UTC));
    QTest::newRow("own number form") << dmy << QByteArray("FLOAT") << "-1.234,5" << QVariant(-1234.5);
    QTest::newRow("C number under comma decimals")
        << dmy << QByteArray("FLOAT") << "1234.5" << QVariant(1234.5);
    QTest::newRow("C integer under dot thousands")
        << dmy << QByteArray("LONGINT") << "1234" << QVariant(1234);
    QTest::newRow("thousands only in groups of three")
        << dmy << QByteArray("FLOAT") << "12.34" << QVariant(12.34);
    QTest::newRow("19-digit INT64") << iso << QByteArray("INT64") << "-1234567890123456789"
                                    << QVariant(qint64(-1234567890123456789LL));
    QTest::newRow("BCD digit for digit") << iso << QByteArray("BCD") << "1234567890123456.78"
                                         << QVariant(QStringLiteral("1234567890123456.78"));
    QTest::newRow("BCD in the own form")
        << dmy << QByteArray("BCD") << "-1.234.567,50" << QVariant(QStringLiteral("-1234567.5"));
    QTest::newRow("BCD in C form") << dmy << QByteArray("BCD") << "0.25" << QVariant(QStringLiteral("0.25"));
}

// Values written in forms other than the table's read all the same, the
// table's own form first where two could read them.
void TestAscii::otherForms()
{
    QFETCH(QByteArray, forms);
    QFETCH(QByteArray, type);
    QFETCH(QString, text);
    QFETCH(QVariant, value);
    QList<QByteArray> parts = forms.split('|');
    parts.resize(3);
    const auto lines = [](const QByteArray &part) {
        QStringList out;
        for (const QByteArray &setting : part.split(';'))
            if (!setting.isEmpty())
                out << QString::fromLatin1(setting);
        return out;
    };
    const TextForms textForms = ascii::textFormsFromConfig(lines(parts[0]), lines(parts[1]), lines(parts[2]));
    const QByteArray schema = "[T]\nFiletype=VARYING\nDelimiter=\"\nSeparator=;\nField1=V," + type
        + ",24,2,0\nField2=N,LONGINT,5,0,0\n";
    auto t = openAscii(std::make_unique<MemoryFile>(text.toLatin1() + ";1\r\n", QStringLiteral("t.txt")),
                       schema, QStringLiteral("t.sch"), true, textForms);
    Record r;
    t->read(0, r);
    QVERIFY2(t->warnings().isEmpty(), qPrintable(t->warnings().join(u'\n')));
    QCOMPARE(r[0].typeId(), value.typeId());
    QCOMPARE(r[0], value);
}

void TestAscii::unclosedFixtureFailsOnOpen()
{
    const QString path = fixture(QStringLiteral("unclosed.txt"));
    QVERIFY_THROWS_EXCEPTION(EngineError, asciiDriver().open(path, true));
    try {
        asciiDriver().open(path, true);
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), path + QStringLiteral(": line 3: a delimited value is never closed"));
    }
}

void TestAscii::missingSchema()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/qvx-ascii-missing-")
        + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/lonely.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("1,2\r\n");
    f.close();
    try {
        asciiDriver().open(path, true);
        QFAIL("opened without a schema");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(), path + QStringLiteral(": its schema file lonely.sch is missing"));
    }
    QDir(dir).removeRecursively();
}

// The fuzz targets, replayed on their seeds and on every input that once broke them.
void TestAscii::schemaFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_ascii_schema");
}

void TestAscii::schemaFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::asciiSchemaInput);
}

void TestAscii::dataFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_ascii_data");
}

void TestAscii::dataFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::asciiDataInput);
}

QTEST_GUILESS_MAIN(TestAscii)
#include "tst_ascii.moc"
