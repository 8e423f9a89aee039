// Data packets: every field type through the XML and the binary packet, a
// hand-made XML packet in the shapes other writers use, row states, format
// detection, and malformed input of both kinds.
#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/packets/BinaryPacketFormat.h"
#include "engine/packets/Packets.h"
#include "fuzz/fuzz_binary_packet.h"
#include "fuzz/fuzz_xml_packet.h"
#include "fuzz_replay.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace qvx;

namespace {

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

QByteArray readFixture(const QString &name)
{
    QFile f(QStringLiteral(QVX_FIXTURES "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read fixture %s", qPrintable(name));
    return f.readAll();
}

// What a packet must give back after a round trip.
void comparePackets(const Packet &got, const Packet &want)
{
    QCOMPARE(got.fields.size(), want.fields.size());
    for (std::size_t i = 0; i < want.fields.size(); ++i) {
        const FieldDef &g = got.fields[i], &w = want.fields[i];
        QCOMPARE(g.name, w.name);
        QCOMPARE(int(g.type), int(w.type));
        QCOMPARE(g.size, w.size);
        QCOMPARE(g.decimals, w.decimals);
        QCOMPARE(g.required, w.required);
        QCOMPARE(g.readOnly, w.readOnly);
        QCOMPARE(g.visible, w.visible);
        QCOMPARE(g.displayLabel, w.displayLabel.isEmpty() ? w.name : w.displayLabel);
    }
    QCOMPARE(got.indexes, want.indexes);
    QCOMPARE(got.rows.size(), want.rows.size());
    for (std::size_t r = 0; r < want.rows.size(); ++r) {
        const Record gotRow = got.rows[r], wantRow = want.rows[r];
        for (std::size_t i = 0; i < want.fields.size(); ++i) {
            const QVariant &g = gotRow[i], &w = wantRow[i];
            const QByteArray where
                = "row " + QByteArray::number(qulonglong(r)) + " field " + want.fields[i].name.toUtf8();
            QVERIFY2(g.isNull() == w.isNull(), where);
            if (!w.isNull()) {
                QVERIFY2(g.typeId() == w.typeId(), where + " held as " + g.typeName());
                QVERIFY2(g == w, where + ": " + g.toString().toUtf8() + " != " + w.toString().toUtf8());
            }
        }
    }
}

Packet roundTrip(const Packet &p, bool xml)
{
    return xml ? readXmlPacket(writeXmlPacket(p), QStringLiteral("mem.xml"))
               : readBinaryPacket(writeBinaryPacket(p), QStringLiteral("mem.cds"));
}

// Expects an EngineError whose text starts with "<source>: " and contains `fragment`.
#define QVERIFY_ENGINE_ERROR(expr, source, fragment)                                                         \
    do {                                                                                                     \
        try {                                                                                                \
            expr;                                                                                            \
            QFAIL("no EngineError");                                                                         \
        } catch (const EngineError &e) {                                                                     \
            QVERIFY2(e.message().startsWith(QString(source) + QStringLiteral(": ")),                         \
                     qPrintable(e.message()));                                                               \
            QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));                               \
        }                                                                                                    \
    } while (false)

const char *kMinimalHead = "<?xml version=\"1.0\"?>\n<DATAPACKET Version=\"2.0\">\n<METADATA><FIELDS>\n";

} // namespace

class TestPacket : public QObject {
    Q_OBJECT

private slots:
    void everyFieldType_data();
    void everyFieldType();
    void fieldFlagsAndIndexes_data();
    void fieldFlagsAndIndexes();
    void awkwardFieldNames_data();
    void awkwardFieldNames();
    void xmlLayoutOfValues();
    void textXmlCannotCarry();
    void handMadePacket();
    void handMadePacketWrittenBack();
    void rowStates_data();
    void rowStates();
    void decimalText_data();
    void decimalText();
    void memoAsPlainOrBase64_data();
    void memoAsPlainOrBase64();
    void formatDetection_data();
    void formatDetection();
    void xmlSyntaxRead_data();
    void xmlSyntaxRead();
    void malformedXml_data();
    void malformedXml();
    void rowStoreKeepsEveryHeldForm_data();
    void rowStoreKeepsEveryHeldForm();
    void rowStoreCopiesAndEdits();
    void malformedBinary_data();
    void malformedBinary();
    void binaryEveryPrefixFails();
    void binaryFlippedBytesNeverCrash();
    void xmlFuzzInputs_data();
    void xmlFuzzInputs();
    void binaryFuzzInputs_data();
    void binaryFuzzInputs();
};

void TestPacket::everyFieldType_data()
{
    QTest::addColumn<bool>("xml");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVariant>("value");

    const QDateTime leapNoon(QDate(2024, 2, 29), QTime(12, 30, 0, 5), Qt::UTC);
    const QByteArray nested("<ROWLINES QTY=\"1\" NOTE=\"a&amp;b\"/><ROWLINES QTY=\"2\"/>");
    const struct {
        FieldType type;
        int size, decimals;
        QVariant value;
        const char *tag;
    } cases[] = {
        { FieldType::Unknown, 0, 0, QVariant(), "unknown holds nothing" },
        { FieldType::String, 40, 0, QStringLiteral("Gr\u00fc\u00dfe \"q\" <&> 'a'\r\nline\ttab  two  spaces"),
          "string" },
        { FieldType::String, 10, 0, QStringLiteral(""), "string empty is not null" },
        { FieldType::String, 10, 0, QStringLiteral(" lead and trail "), "string spaces kept" },
        { FieldType::SmallInt, 0, 0, -32768, "small integer" },
        { FieldType::Integer, 0, 0, 2147483647, "integer" },
        { FieldType::Word, 0, 0, 65535, "word" },
        { FieldType::Boolean, 0, 0, true, "boolean true" },
        { FieldType::Boolean, 0, 0, false, "boolean false" },
        { FieldType::Float, 0, 0, 0.1, "float" },
        { FieldType::Float, 0, 0, -1.5e300, "float large" },
        { FieldType::Currency, 0, 0, 1234.5678, "currency" },
        { FieldType::BCD, 32, 2, QStringLiteral("-12345678901234567890.25"), "bcd" },
        { FieldType::Date, 0, 0, QDate(1, 1, 1), "date first" },
        { FieldType::Date, 0, 0, QDate(9999, 12, 31), "date last" },
        { FieldType::Time, 0, 0, QTime(23, 59, 59, 999), "time" },
        { FieldType::DateTime, 0, 0, leapNoon, "date and time" },
        { FieldType::Bytes, 4, 0, QByteArray("\x00\x01\xff\x7f", 4), "bytes" },
        { FieldType::VarBytes, 300, 0, allBytes(), "varbytes" },
        { FieldType::AutoInc, 0, 0, 7, "autoinc" },
        { FieldType::Blob, 0, 0, allBytes(), "blob" },
        { FieldType::Memo, 0, 0, QStringLiteral("line1\r\nline2\t\u00c4\x01"), "memo" },
        { FieldType::Memo, 0, 0, QStringLiteral("QUJD"), "memo that looks like base64" },
        { FieldType::Graphic, 0, 0, QByteArray("BM\x00\x00", 4), "graphic" },
        { FieldType::FmtMemo, 0, 0, QByteArray("{\\rtf1 x}"), "formatted memo" },
        { FieldType::ParadoxOle, 0, 0, QByteArray("ole"), "paradox ole" },
        { FieldType::DBaseOle, 0, 0, QByteArray("dbase ole"), "dbase ole" },
        { FieldType::TypedBinary, 0, 0, QByteArray("\x02typed", 6), "typed binary" },
        { FieldType::Cursor, 0, 0, QVariant(), "cursor holds nothing" },
        { FieldType::FixedChar, 5, 0, QStringLiteral("ab   "), "fixed char" },
        { FieldType::WideString, 10, 0, QStringLiteral("\u65e5\u672c\u8a9e"), "wide string" },
        { FieldType::LargeInt, 0, 0, std::numeric_limits<qint64>::min(), "large integer" },
        { FieldType::ADT, 0, 0, QByteArray("adt"), "adt" },
        { FieldType::Array, 0, 0, QByteArray("array"), "array" },
        { FieldType::Reference, 0, 0, QByteArray("ref"), "reference" },
        { FieldType::DataSet, 0, 0, nested, "nested data set" },
        { FieldType::DataSet, 0, 0, QByteArray(""), "nested data set empty" },
    };
    for (bool xml : { true, false }) {
        for (const auto &c : cases) {
            const QByteArray tag = QByteArray(xml ? "xml: " : "binary: ") + c.tag;
            QTest::newRow(tag.constData()) << xml << int(c.type) << c.size << c.decimals << c.value;
        }
    }
}

void TestPacket::everyFieldType()
{
    QFETCH(bool, xml);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(int, decimals);
    QFETCH(QVariant, value);

    Packet p;
    p.fields.emplace_back(QStringLiteral("ID"), FieldType::Integer);
    p.fields.emplace_back(QStringLiteral("V"), fieldTypeFromCode(type), size, decimals);
    p.rows.push_back({ 1, value });
    p.rows.push_back({ 2, QVariant() }); // null
    p.rows.push_back({ 3, value });
    comparePackets(roundTrip(p, xml), p);
}

void TestPacket::fieldFlagsAndIndexes_data()
{
    QTest::addColumn<bool>("xml");
    QTest::newRow("xml") << true;
    QTest::newRow("binary") << false;
}

void TestPacket::fieldFlagsAndIndexes()
{
    QFETCH(bool, xml);
    Packet p;
    FieldDef id(QStringLiteral("ID"), FieldType::AutoInc, 0, 0, true);
    id.readOnly = true;
    FieldDef link(QStringLiteral("LINK"), FieldType::LargeInt);
    link.visible = false;
    FieldDef name(QStringLiteral("NAME"), FieldType::String, 30, 0, true);
    name.displayLabel = QStringLiteral("Customer name");
    p.fields = { id, link, name, FieldDef(QStringLiteral("AMT"), FieldType::BCD, 15, 4) };
    p.indexes = { { QStringLiteral("ByName"), { QStringLiteral("NAME"), QStringLiteral("ID") } },
                  { QStringLiteral("Primary"), { QStringLiteral("ID") } } };
    p.rows.push_back({ 1, qint64(9), QStringLiteral("x"), QStringLiteral("1.5") });
    comparePackets(roundTrip(p, xml), p);
}

void TestPacket::awkwardFieldNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("space") << QStringLiteral("First Name");
    QTest::newRow("leading digit") << QStringLiteral("1st");
    QTest::newRow("row state") << QStringLiteral("RowState");
    QTest::newRow("row state lower") << QStringLiteral("rowstate");
    QTest::newRow("escape look-alike") << QStringLiteral("A_x0020_B");
    QTest::newRow("colon") << QStringLiteral("a:b");
    QTest::newRow("non-latin") << QStringLiteral("\u0418\u043c\u044f");
    QTest::newRow("symbols") << QStringLiteral("Cost($)#%");
}

// Field names are used as ROW attribute names; every name must come back,
// also beside a field whose escaped name could collide with it.
void TestPacket::awkwardFieldNames()
{
    QFETCH(QString, name);
    Packet p;
    p.fields = { FieldDef(name, FieldType::String, 10), FieldDef(QStringLiteral("A B"), FieldType::Integer) };
    p.rows.push_back({ QStringLiteral("v"), 5 });
    const QByteArray bytes = writeXmlPacket(p);
    comparePackets(readXmlPacket(bytes, QStringLiteral("n.xml")), p);
}

void TestPacket::xmlLayoutOfValues()
{
    Packet p;
    p.fields = { FieldDef(QStringLiteral("D"), FieldType::Date),
                 FieldDef(QStringLiteral("T"), FieldType::Time),
                 FieldDef(QStringLiteral("DT"), FieldType::DateTime),
                 FieldDef(QStringLiteral("B"), FieldType::Boolean),
                 FieldDef(QStringLiteral("F"), FieldType::Float),
                 FieldDef(QStringLiteral("S"), FieldType::String, 9),
                 FieldDef(QStringLiteral("N"), FieldType::Integer),
                 FieldDef(QStringLiteral("W"), FieldType::WideString, 3) };
    p.rows.push_back({ QDate(2019, 4, 25), QTime(8, 5, 9, 7),
                       QDateTime(QDate(2018, 1, 1), QTime(12, 30), Qt::UTC), true, -2.5,
                       QStringLiteral("a\r\nb\tc"), QVariant(), QStringLiteral("xy") });
    const QByteArray xml = writeXmlPacket(p);
    QVERIFY2(xml.contains("D=\"20190425\""), xml);
    QVERIFY2(xml.contains("T=\"08:05:09007\""), xml);
    QVERIFY2(xml.contains("DT=\"20180101T12:30:00000\""), xml);
    QVERIFY2(xml.contains("B=\"TRUE\""), xml);
    QVERIFY2(xml.contains("F=\"-2.5\""), xml);
    QVERIFY2(xml.contains("S=\"a&#13;&#10;b&#9;c\""), xml);
    QVERIFY2(!xml.contains(" N="), xml); // null: no attribute at all
    QVERIFY2(xml.contains("fieldtype=\"string.uni\" WIDTH=\"6\""), xml);
    QVERIFY2(xml.contains("<DATAPACKET Version=\"2.0\">"), xml);
}

void TestPacket::textXmlCannotCarry()
{
    Packet p;
    p.fields = { FieldDef(QStringLiteral("S"), FieldType::String, 9) };
    p.rows.push_back({ QStringLiteral("bell\x07") });
    try {
        writeXmlPacket(p);
        QFAIL("no EngineError");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("U+0007"))
                     && e.message().contains(QStringLiteral("'S'")),
                 qPrintable(e.message()));
    }
    // The binary packet carries any text.
    comparePackets(roundTrip(p, false), p);
}

void TestPacket::handMadePacket()
{
    const Packet p
        = readXmlPacket(readFixture(QStringLiteral("packets/handmade.xml")), QStringLiteral("handmade.xml"));
    QCOMPARE(p.fields.size(), std::size_t(7));
    QCOMPARE(int(p.fields[0].type), int(FieldType::AutoInc));
    QVERIFY(p.fields[0].readOnly);
    QCOMPARE(int(p.fields[1].type), int(FieldType::String));
    QCOMPARE(p.fields[1].size, 30); // lower-case width
    QVERIFY(p.fields[1].required);
    QCOMPARE(int(p.fields[2].type), int(FieldType::BCD));
    QCOMPARE(p.fields[2].size, 15);
    QCOMPARE(p.fields[2].decimals, 2);
    QCOMPARE(int(p.fields[3].type), int(FieldType::Memo));
    QCOMPARE(int(p.fields[6].type), int(FieldType::DataSet));
    QVERIFY(p.nestedDefinitions.value(QStringLiteral("LINES")).contains("LINK_FIELD"));

    // The deleted row (RowState 2) is not loaded; the inserted (4) and the
    // detail-changed (64) rows are.
    QCOMPARE(p.rows.size(), std::size_t(3));
    const Record &first = p.rows[0];
    QCOMPARE(first[0], QVariant(1));
    QCOMPARE(first[2], QVariant(QStringLiteral("12.5")));
    QCOMPARE(first[3], QVariant(QStringLiteral("line one\r\nline two"))); // &#13;&#10; survives
    QCOMPARE(first[4], QVariant(true));
    QCOMPARE(first[5], QVariant(QDate(2019, 4, 25)));
    QVERIFY(first[6].toByteArray().contains("QTY=\"3\""));

    const Record &second = p.rows[1];
    QVERIFY(!second[1].isNull()); // NAME="" is a present, empty value
    QCOMPARE(second[1].toString(), QString());
    QVERIFY(second[3].isNull()); // omitted: null
    QVERIFY(second[4].isNull());
    QVERIFY(second[5].isNull());
    QVERIFY(second[6].isNull()); // no LINES element

    const Record &third = p.rows[2];
    QCOMPARE(third[3], QVariant(QStringLiteral("Third note"))); // base64 memo
    QCOMPARE(third[4], QVariant(false));
    QVERIFY(!third[6].isNull()); // <LINES/>: an empty detail set, not null
    QVERIFY(third[6].toByteArray().isEmpty());
}

void TestPacket::handMadePacketWrittenBack()
{
    const Packet p
        = readXmlPacket(readFixture(QStringLiteral("packets/handmade.xml")), QStringLiteral("handmade.xml"));
    const QByteArray written = writeXmlPacket(p);
    // The nested field stays nested for other readers.
    QVERIFY2(written.contains("fieldtype=\"nested\""), written);
    QVERIFY2(written.contains("<ROWLINES"), written);
    QVERIFY2(!written.contains("<ROW RowState"), written); // nested rows are kept as they were
    const Packet again = readXmlPacket(written, QStringLiteral("again.xml"));
    comparePackets(again, p);
    QCOMPARE(again.nestedDefinitions, p.nestedDefinitions);
    comparePackets(roundTrip(again, false), p);
    QCOMPARE(roundTrip(again, false).nestedDefinitions, p.nestedDefinitions);
}

void TestPacket::rowStates_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("live"); // A:B of each live row, "-" for null
    QTest::newRow("no states") << "<ROW A=\"1\" B=\"x\"/><ROW A=\"2\"/>" << QStringList { "1:x", "2:-" };
    QTest::newRow("deleted skipped") << "<ROW A=\"1\"/><ROW RowState=\"2\" A=\"2\"/><ROW A=\"3\"/>"
                                     << QStringList { "1:-", "3:-" };
    QTest::newRow("original then modified")
        << "<ROW RowState=\"1\" A=\"1\" B=\"old\"/><ROW RowState=\"8\" B=\"new\"/>"
        << QStringList { "1:new" };
    QTest::newRow("original then deleted")
        << "<ROW RowState=\"1\" A=\"1\"/><ROW RowState=\"2\" A=\"1\"/><ROW A=\"5\"/>"
        << QStringList { "5:-" };
    QTest::newRow("original alone stays")
        << "<ROW RowState=\"1\" A=\"1\"/><ROW A=\"2\"/>" << QStringList { "1:-", "2:-" };
    QTest::newRow("original at end stays")
        << "<ROW A=\"2\"/><ROW RowState=\"1\" A=\"1\"/>" << QStringList { "2:-", "1:-" };
    QTest::newRow("modified alone") << "<ROW RowState=\"8\" A=\"7\" B=\"m\"/>" << QStringList { "7:m" };
    QTest::newRow("inserted and detail flags")
        << "<ROW RowState=\"4\" A=\"1\"/><ROW RowState=\"64\" A=\"2\"/>" << QStringList { "1:-", "2:-" };
    QTest::newRow("inserted then deleted") << "<ROW RowState=\"6\" A=\"1\"/>" << QStringList {};
    QTest::newRow("lower-case attribute")
        << "<ROW rowstate=\"2\" A=\"1\"/><ROW A=\"2\"/>" << QStringList { "2:-" };
}

void TestPacket::rowStates()
{
    QFETCH(QString, rows);
    QFETCH(QStringList, live);
    const QByteArray xml = QByteArray(kMinimalHead)
        + "<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"B\" fieldtype=\"string\" WIDTH=\"5\"/>"
          "</FIELDS></METADATA><ROWDATA>"
        + rows.toUtf8() + "</ROWDATA></DATAPACKET>";
    const Packet p = readXmlPacket(xml, QStringLiteral("rows.xml"));
    QStringList got;
    for (const Record &r : p.rows)
        got << QStringLiteral("%1:%2").arg(r[0].toString(),
                                           r[1].isNull() ? QStringLiteral("-") : r[1].toString());
    QCOMPARE(got, live);
}

void TestPacket::decimalText_data()
{
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("held"); // empty: not a decimal
    QTest::newRow("canonical") << "-12.5"
                               << "-12.5";
    QTest::newRow("plus and zeros") << "+012.50"
                                    << "12.5";
    QTest::newRow("negative zero") << "-0.00"
                                   << "0";
    QTest::newRow("no integer part") << ".5"
                                     << "0.5";
    QTest::newRow("no fraction digits") << "5."
                                        << "5";
    QTest::newRow("spaces") << " 7 "
                            << "7";
    QTest::newRow("all zeros") << "000"
                               << "0";
    QTest::newRow("two points") << "1.2.3"
                                << "";
    QTest::newRow("sign alone") << "-"
                                << "";
    QTest::newRow("point alone") << "."
                                 << "";
    QTest::newRow("exponent") << "1e5"
                              << "";
    QTest::newRow("comma") << "1,5"
                           << "";
}

// BCD text is normalised on reading as the rest of the engine normalises it.
void TestPacket::decimalText()
{
    QFETCH(QString, attribute);
    QFETCH(QString, held);
    QCOMPARE(canonicalDecimal(attribute), held);
    const QByteArray xml = QByteArray(kMinimalHead)
        + "<FIELD attrname=\"D\" fieldtype=\"fixed\" WIDTH=\"20\" "
          "DECIMALS=\"4\"/></FIELDS></METADATA><ROWDATA><ROW D=\""
        + attribute.toUtf8() + "\"/></ROWDATA></DATAPACKET>";
    if (held.isEmpty()) {
        QVERIFY_ENGINE_ERROR(readXmlPacket(xml, QStringLiteral("d.xml")), QStringLiteral("d.xml"),
                             QStringLiteral("not a decimal"));
        return;
    }
    const Packet p = readXmlPacket(xml, QStringLiteral("d.xml"));
    QCOMPARE(p.rows.at(0).at(0), QVariant(held));
}

void TestPacket::memoAsPlainOrBase64_data()
{
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("text");
    QTest::newRow("base64") << "SGVsbG8gd29ybGQ="
                            << "Hello world";
    QTest::newRow("plain with spaces") << "Hello world"
                                       << "Hello world";
    QTest::newRow("plain line breaks") << "a&#10;b"
                                       << "a\nb";
    QTest::newRow("plain word of base64 letters") << "Test"
                                                  << "Test";
    QTest::newRow("base64 of invalid UTF-8 is plain") << "//79"
                                                      << "//79";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPacket::memoAsPlainOrBase64()
{
    QFETCH(QString, attribute);
    QFETCH(QString, text);
    const QByteArray xml = QByteArray(kMinimalHead)
        + "<FIELD attrname=\"M\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/></FIELDS></METADATA><ROWDATA><ROW "
          "M=\""
        + attribute.toUtf8() + "\"/></ROWDATA></DATAPACKET>";
    const Packet p = readXmlPacket(xml, QStringLiteral("memo.xml"));
    QCOMPARE(p.rows.at(0).at(0).toString(), text);
}

void TestPacket::formatDetection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // "xml", "binary" or an error fragment

    Packet p;
    p.fields = { FieldDef(QStringLiteral("A"), FieldType::Integer) };
    p.rows.push_back({ 42 });
    const QByteArray xml = writeXmlPacket(p);
    QTest::newRow("xml") << xml << "xml";
    QTest::newRow("xml after BOM and blank lines") << QByteArray("\xEF\xBB\xBF\r\n \t\n") + xml << "xml";
    QTest::newRow("binary") << writeBinaryPacket(p) << "binary";
    QTest::newRow("text") << QByteArray("ID,NAME\n1,x\n") << "not a data packet";
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("dbf header") << QByteArray("\x03\x7e\x01\x01\x00\x00\x00\x00", 8) << "not a data packet";
    QTest::newRow("binary magic, unknown version") << QByteArray(binarypacket::kMagic, 8)
            + QByteArray("\x07\x00\x00\x00", 4) << "version 7 is not supported";
}

void TestPacket::formatDetection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString source = QStringLiteral("/data/some file.xml");
    if (expected == u"xml" || expected == u"binary") {
        QCOMPARE(looksLikeBinaryPacket(bytes), expected == u"binary");
        const Packet p = readPacket(bytes, source);
        QCOMPARE(p.rows.size(), std::size_t(1));
        QCOMPARE(p.rows[0][0], QVariant(42));
    } else {
        QVERIFY_ENGINE_ERROR(readPacket(bytes, source), source, expected);
    }
}

namespace {

// A packet with the fields ID (i4) and NAME (string) and one row, in the
// document given by `declaration` and `row`; the row is on line 5.
QByteArray namePacket(const QByteArray &row, const QByteArray &declaration = "<?xml version=\"1.0\"?>")
{
    return declaration
        + "\n<DATAPACKET Version=\"2.0\">\n<METADATA><FIELDS><FIELD attrname=\"ID\" fieldtype=\"i4\"/>"
          "<FIELD attrname=\"NAME\" fieldtype=\"string\" WIDTH=\"40\"/></FIELDS></METADATA>\n<ROWDATA>\n"
        + row + "\n</ROWDATA></DATAPACKET>\n";
}

QByteArray utf16(const QByteArray &utf8, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(QString::fromUtf8(utf8));
}

} // namespace

// What the XML syntax allows in a packet, and what each form reads as.
void TestPacket::xmlSyntaxRead_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("name"); // the NAME of the one row

    QTest::newRow("single quotes") << namePacket("<ROW ID='1' NAME='say \"hi\"'/>") << "say \"hi\"";
    QTest::newRow("space around =") << namePacket("<ROW ID = \"1\"\n NAME\t=\t'x' />") << "x";
    QTest::newRow("predefined entities")
        << namePacket("<ROW ID=\"1\" NAME=\"&lt;&gt;&amp;&apos;&quot;\"/>") << "<>&'\"";
    QTest::newRow("character references")
        << namePacket("<ROW ID=\"1\" NAME=\"&#65;&#x42;&#x1F600;\"/>") << QStringLiteral("AB\U0001F600");
    QTest::newRow("white space written is normalised")
        << namePacket("<ROW ID=\"1\" NAME=\"a\tb\nc\r\nd\re\"/>") << "a b c d e";
    QTest::newRow("white space by reference is kept")
        << namePacket("<ROW ID=\"1\" NAME=\"a&#9;b&#10;c&#13;\"/>") << "a\tb\nc\r";
    QTest::newRow("UTF-8") << namePacket("<ROW ID=\"1\" NAME=\"M\xC3\xBCller \xE2\x82\xAC\"/>")
                           << QStringLiteral("M\u00FCller \u20AC");
    QTest::newRow("leading U+FEFF in a value is a character")
        << namePacket("<ROW ID=\"1\" NAME=\"\xEF\xBB\xBFx\"/>") << QStringLiteral("\uFEFFx");
    QTest::newRow("comments, instructions and CDATA between rows")
        << namePacket("<!-- a - comment --><?note a b?><![CDATA[<ROW ID=\"9\"/>]]>text\n"
                      "<ROW ID=\"1\" NAME=\"x\"><!-- in the row --></ROW>")
        << "x";
    QTest::newRow("DOCTYPE with an internal subset") << namePacket(
        "<ROW ID=\"1\" NAME=\"x\"/>",
        "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n"
        "<!DOCTYPE DATAPACKET [ <!ELEMENT ROW ANY> <!-- ] > --> <!ATTLIST ROW NAME CDATA \"]>\"> ]>")
                                                     << "x";
    QTest::newRow("UTF-8 with a byte order mark")
        << QByteArray("\xEF\xBB\xBF") + namePacket("<ROW ID=\"1\" NAME=\"\xC3\xA9\"/>")
        << QStringLiteral("\u00E9");
    QTest::newRow("UTF-16 little-endian") << utf16(namePacket("<ROW ID=\"1\" NAME=\"\xC3\xA9\xE2\x82\xAC\"/>",
                                                              "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"),
                                                   QStringConverter::Utf16LE)
                                          << QStringLiteral("\u00E9\u20AC");
    QTest::newRow("UTF-16 big-endian")
        << utf16(namePacket("<ROW ID=\"1\" NAME=\"\xC3\xA9\"/>"), QStringConverter::Utf16BE)
        << QStringLiteral("\u00E9");
    QTest::newRow("ISO-8859-1") << namePacket("<ROW ID=\"1\" NAME=\"M\xFCller\"/>",
                                              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")
                                << QStringLiteral("M\u00FCller");
    QTest::newRow("windows-1252") << namePacket("<ROW ID=\"1\" NAME=\"\x80 5\"/>",
                                                "<?xml version=\"1.0\" encoding=\"windows-1252\"?>")
                                  << QStringLiteral("\u20AC 5");
}

void TestPacket::xmlSyntaxRead()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, name);
    const Packet p = readPacket(xml, QStringLiteral("syntax.xml"));
    QCOMPARE(p.rows.size(), std::size_t(1));
    QCOMPARE(p.rows.value(0, 0), QVariant(1));
    QCOMPARE(p.rows.value(0, 1), QVariant(name));
}

void TestPacket::malformedXml_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<int>("line"); // 0: a fault of the whole packet, with no line

    const QByteArray head(kMinimalHead); // the first FIELD is on line 4, a ROW on line 7
    const QByteArray intField = "<FIELD attrname=\"ID\" fieldtype=\"i4\"/>\n";
    const QByteArray rowsHead = "</FIELDS></METADATA>\n<ROWDATA>\n";
    const QByteArray tail = "</ROWDATA></DATAPACKET>\n";
    const auto withRow = [&](const QByteArray &fields, const QByteArray &row) {
        return head + fields + rowsHead + row + "\n" + tail;
    };

    QTest::newRow("not closed") << QByteArray("<DATAPACKET>\n<METADATA>\n") << "not well-formed" << 3;
    QTest::newRow("bad entity") << withRow(intField, "<ROW ID=\"&bogus;\"/>") << "not well-formed" << 7;
    QTest::newRow("second root") << (withRow(intField, "") + "<x/>") << "not well-formed" << 9;
    QTest::newRow("other root") << QByteArray("<?xml version=\"1.0\"?>\n<TABLE/>")
                                << "<TABLE>, not a DATAPACKET" << 2;
    QTest::newRow("no metadata") << QByteArray("<DATAPACKET Version=\"2.0\">\n</DATAPACKET>") << "no METADATA"
                                 << 2;
    QTest::newRow("rowdata first") << QByteArray("<DATAPACKET>\n<ROWDATA/></DATAPACKET>") << "before METADATA"
                                   << 2;
    QTest::newRow("no fields") << QByteArray("<DATAPACKET><METADATA>\n<FIELDS/></METADATA></DATAPACKET>")
                               << "defines no fields" << 2;
    QTest::newRow("unknown fieldtype")
        << withRow("<FIELD attrname=\"X\" fieldtype=\"money\"/>\n", "") << "unknown fieldtype 'money'" << 4;
    QTest::newRow("no fieldtype") << withRow("<FIELD attrname=\"X\"/>\n", "") << "no fieldtype" << 4;
    QTest::newRow("no attrname") << withRow("<FIELD fieldtype=\"i4\"/>\n", "") << "no attrname" << 4;
    QTest::newRow("bad width") << withRow("<FIELD attrname=\"X\" fieldtype=\"string\" WIDTH=\"-3\"/>\n", "")
                               << "WIDTH=\"-3\"" << 4;
    QTest::newRow("field twice") << withRow(intField + "<FIELD attrname=\"id\" fieldtype=\"string\"/>\n", "")
                                 << "'id' is used twice" << 5;
    QTest::newRow("index on unknown field")
        << (head + intField
            + "</FIELDS><PARAMS><INDEXDEF Name=\"I\" Fields=\"ID;NOPE\"/></PARAMS></METADATA>\n" + "<ROWDATA>"
            + tail)
        << "unknown field 'NOPE'" << 0;
    QTest::newRow("integer") << withRow(intField, "<ROW ID=\"abc\"/>")
                             << "'abc' is not an integer for field 'ID'" << 7;
    QTest::newRow("integer too large")
        << withRow(intField, "<ROW ID=\"2147483648\"/>") << "not an integer" << 7;
    QTest::newRow("small integer range")
        << withRow("<FIELD attrname=\"S\" fieldtype=\"i2\"/>\n", "<ROW S=\"40000\"/>") << "not an integer"
        << 7;
    QTest::newRow("date with dashes")
        << withRow("<FIELD attrname=\"D\" fieldtype=\"date\"/>\n", "<ROW D=\"2019-04-25\"/>") << "not a date"
        << 7;
    QTest::newRow("date 31 February")
        << withRow("<FIELD attrname=\"D\" fieldtype=\"date\"/>\n", "<ROW D=\"20190231\"/>") << "not a date"
        << 7;
    QTest::newRow("time") << withRow("<FIELD attrname=\"T\" fieldtype=\"time\"/>\n",
                                     "<ROW T=\"25:00:00000\"/>")
                          << "not a time" << 7;
    QTest::newRow("datetime") << withRow("<FIELD attrname=\"T\" fieldtype=\"dateTime\"/>\n",
                                         "<ROW T=\"20190101X\"/>")
                              << "not a date and time" << 7;
    QTest::newRow("boolean") << withRow("<FIELD attrname=\"B\" fieldtype=\"boolean\"/>\n",
                                        "<ROW B=\"maybe\"/>")
                             << "not a boolean" << 7;
    QTest::newRow("number") << withRow("<FIELD attrname=\"R\" fieldtype=\"r8\"/>\n", "<ROW R=\"1,5\"/>")
                            << "not a number" << 7;
    QTest::newRow("decimal") << withRow("<FIELD attrname=\"R\" fieldtype=\"fixed\"/>\n", "<ROW R=\"1e5\"/>")
                             << "not a decimal" << 7;
    QTest::newRow("base64") << withRow("<FIELD attrname=\"B\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>\n",
                                       "<ROW B=\"@@@@\"/>")
                            << "not base64" << 7;
    QTest::newRow("attribute names no field")
        << withRow(intField, "<ROW ID=\"1\" NOPE=\"2\"/>") << "ROW attribute 'NOPE' names no field" << 7;
    QTest::newRow("element names no nested field")
        << withRow(intField, "<ROW ID=\"1\"><ID/></ROW>") << "names no nested data set field" << 7;
    QTest::newRow("not a ROW") << withRow(intField, "<RECORD ID=\"1\"/>") << "is not a ROW" << 7;
    QTest::newRow("row state") << withRow(intField, "<ROW RowState=\"x\"/>") << "RowState=\"x\"" << 7;

    // XML syntax, each fault on the line it is on.
    QTest::newRow("end tag of another element")
        << withRow(intField, "<ROW ID=\"1\"></ROWS>") << "</ROWS> does not close <ROW>" << 7;
    QTest::newRow("attribute twice") << withRow(intField, "<ROW ID=\"1\" ID=\"2\"/>") << "'ID' is given twice"
                                     << 7;
    QTest::newRow("'<' in a value") << withRow(intField, "<ROW ID=\"<\"/>") << "'<' inside the value" << 7;
    QTest::newRow("value not quoted") << withRow(intField, "<ROW ID=1/>") << "not quoted" << 7;
    QTest::newRow("attributes run together")
        << withRow(intField, "<ROW ID=\"1\"RowState=\"4\"/>") << "not separated by white space" << 7;
    QTest::newRow("invalid UTF-8") << withRow(intField, "<ROW ID=\"\xC3\x28\"/>") << "not valid UTF-8" << 7;
    QTest::newRow("encoded surrogate")
        << withRow(intField, "<ROW ID=\"\xED\xA0\x80\"/>") << "not valid UTF-8" << 7;
    QTest::newRow("control character")
        << withRow(intField, "<ROW ID=\"\x01\"/>") << "U+0001 is not allowed" << 7;
    QTest::newRow("reference to a control character")
        << withRow(intField, "<ROW ID=\"&#1;\"/>") << "U+0001, which XML does not allow" << 7;
    QTest::newRow("reference past Unicode")
        << withRow(intField, "<ROW ID=\"&#x110000;\"/>") << "past U+10FFFF" << 7;
    QTest::newRow("'&' alone") << withRow(intField, "<ROW ID=\"a & b\"/>") << "starts no reference" << 7;
    QTest::newRow("'--' in a comment")
        << withRow(intField, "<!-- a -- b -->") << "'--' inside a comment" << 7;
    QTest::newRow("comment not closed") << withRow(intField, "<!-- a") << "not well-formed" << 7;
    QTest::newRow("declaration not at the start")
        << withRow(intField, "<?xml version=\"1.0\"?>") << "XML declaration anywhere but at the start" << 7;
    QTest::newRow("']]>' in text") << withRow(intField, "a ]]> b") << "']]>' in text" << 7;
    QTest::newRow("text after the document")
        << (withRow(intField, "") + "junk") << "content after the end of the document element" << 9;
    QTest::newRow("ends inside a tag")
        << (head + intField + rowsHead + "<ROW ID=\"1\"") << "ends inside" << 7;
    QTest::newRow("ends inside a value")
        << (head + intField + rowsHead + "<ROW ID=\"1") << "ends inside" << 7;
    QTest::newRow("entity of a DOCTYPE")
        << ("<?xml version=\"1.0\"?>\n<!DOCTYPE DATAPACKET [<!ENTITY e \"x\">]>\n"
            + withRow(intField, "<ROW ID=\"&e;\"/>").mid(22))
        << "'&e;' is not declared" << 8;
    QTest::newRow("unknown encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"no-such-code\"?>\n<DATAPACKET/>")
        << "the encoding 'no-such-code' is not supported" << 1;
    QTest::newRow("no version") << QByteArray("<?xml encoding=\"UTF-8\"?>\n<DATAPACKET/>") << "no version"
                                << 1;
    QTest::newRow("markup before the document element")
        << QByteArray("<?xml version=\"1.0\"?>\n<![CDATA[x]]><DATAPACKET/>") << "unexpected markup" << 2;
    QTest::newRow("only a declaration") << QByteArray("<?xml version=\"1.0\"?>\n") << "no elements" << 1;
}

void TestPacket::malformedXml()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, fragment);
    QFETCH(int, line);
    const QString source = QStringLiteral("/tmp/bad.xml");
    QVERIFY_ENGINE_ERROR(readXmlPacket(xml, source), source, fragment);
    if (line > 0)
        QVERIFY_ENGINE_ERROR(readXmlPacket(xml, source), source, QStringLiteral(": line %1: ").arg(line));
    QVERIFY_ENGINE_ERROR(readPacket(xml, source), source, fragment);
}

namespace {

Packet smallPacket()
{
    Packet p;
    p.fields = { FieldDef(QStringLiteral("ID"), FieldType::Integer),
                 FieldDef(QStringLiteral("NAME"), FieldType::String, 9),
                 FieldDef(QStringLiteral("OK"), FieldType::Boolean),
                 FieldDef(QStringLiteral("AT"), FieldType::Time),
                 FieldDef(QStringLiteral("DT"), FieldType::DateTime),
                 FieldDef(QStringLiteral("AMT"), FieldType::BCD, 9, 2),
                 FieldDef(QStringLiteral("PIC"), FieldType::Graphic) };
    p.indexes = { { QStringLiteral("ByName"), { QStringLiteral("NAME") } } };
    p.rows.push_back({ 1, QStringLiteral("one"), true, QTime(1, 2, 3),
                       QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC), QStringLiteral("1.25"),
                       QByteArray("pic") });
    p.rows.push_back({ 2, QVariant(), false, QVariant(), QVariant(), QVariant(), QByteArray() });
    return p;
}

// Offsets in smallPacket()'s binary form.
constexpr int kFieldCountAt = 12;
constexpr int kFirstNameLengthAt = 16;

} // namespace

void TestPacket::malformedBinary_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fragment");

    const QByteArray good = writeBinaryPacket(smallPacket());
    QByteArray b;

    b = good;
    b[8] = 2;
    QTest::newRow("version") << b << "version 2 is not supported (this program reads version 1)";
    b = good;
    b.replace(kFieldCountAt, 4, QByteArray("\xff\xff\xff\x7f", 4));
    QTest::newRow("field count") << b << "field count (2147483647) is larger than the file can hold";
    b = good;
    b.replace(kFieldCountAt, 4, QByteArray("\0\0\0\0", 4));
    QTest::newRow("no fields") << b << "defines no fields";
    b = good;
    b.replace(kFirstNameLengthAt, 4, QByteArray("\xff\xff\xff\xff", 4));
    QTest::newRow("name length") << b << "field name is cut short";
    b = good;
    b[kFirstNameLengthAt + 4 + 2 + 4 + 2] = char(30); // type of ID: after "ID" and label "ID"
    QTest::newRow("type code") << b << "unknown type code 30";
    QTest::newRow("trailing bytes") << good + QByteArray("x") << "1 unexpected bytes follow the last row";
    QTest::newRow("cut") << good.left(good.size() - 1) << "cut short";

    // Values beyond their type's range, written by hand.
    const auto oneValue = [](FieldType type, const QByteArray &value) {
        Packet p;
        p.fields = { FieldDef(QStringLiteral("V"), type) };
        p.rows.push_back({ QVariant() });
        QByteArray bytes = writeBinaryPacket(p);
        bytes.chop(1); // the null bitmap
        return bytes + '\0' + value; // not null, then the value
    };
    QTest::newRow("boolean 2") << oneValue(FieldType::Boolean, QByteArray("\x02", 1)) << "2 is not a boolean";
    QTest::newRow("time past midnight")
        << oneValue(FieldType::Time, QByteArray("\x00\x5c\x26\x05", 4)) << "invalid time";
    QTest::newRow("small integer") << oneValue(FieldType::SmallInt, QByteArray("\x00\x00\x01\x00", 4))
                                   << "65536 is out of range";
    QTest::newRow("decimal text") << oneValue(FieldType::BCD,
                                              QByteArray("\x03\0\0\0"
                                                         "1e5",
                                                         7))
                                  << "not a decimal";
    QTest::newRow("date") << oneValue(FieldType::Date, QByteArray("\xff\xff\xff\xff\xff\xff\xff\x7f", 8))
                          << "invalid date";
}

void TestPacket::malformedBinary()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fragment);
    const QString source = QStringLiteral("/tmp/bad.cds");
    QVERIFY_ENGINE_ERROR(readBinaryPacket(bytes, source), source, fragment);
    QVERIFY_ENGINE_ERROR(readPacket(bytes, source), source, fragment);
}

void TestPacket::binaryEveryPrefixFails()
{
    const QByteArray good = writeBinaryPacket(smallPacket());
    comparePackets(readBinaryPacket(good, QStringLiteral("good.cds")), smallPacket());
    for (qsizetype n = 0; n < good.size(); ++n) {
        try {
            readBinaryPacket(good.left(n), QStringLiteral("cut.cds"));
            QFAIL(qPrintable(QStringLiteral("a packet cut to %1 bytes was read").arg(n)));
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("cut.cds: ")), qPrintable(e.message()));
        }
    }
}

// Corruption of a fresh packet, one byte at a time: either it still reads
// or it fails with an EngineError (the sanitizers watch for the rest).
void TestPacket::binaryFlippedBytesNeverCrash()
{
    const QByteArray good = writeBinaryPacket(smallPacket());
    int failed = 0;
    for (qsizetype i = 0; i < good.size(); ++i) {
        for (const char mask : { char(0x01), char(0x80), char(0xff) }) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ mask);
            try {
                readBinaryPacket(bad, QStringLiteral("flip.cds"));
            } catch (const EngineError &) {
                ++failed;
            }
        }
    }
    QVERIFY(failed > 0);
}

// Every form a value is held in comes back from the row store equal and of
// the same type, the rare forms included.
void TestPacket::rowStoreKeepsEveryHeldForm_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("null") << QVariant();
    QTest::newRow("int") << QVariant(std::numeric_limits<int>::min());
    QTest::newRow("qint64") << QVariant(std::numeric_limits<qint64>::max());
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("true") << QVariant(true);
    QTest::newRow("double") << QVariant(0.1);
    QTest::newRow("NaN") << QVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("empty text") << QVariant(QString(""));
    QTest::newRow("text") << QVariant(QStringLiteral("M\u00FCller \U0001F600"));
    QTest::newRow("text with NUL") << QVariant(QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b"));
    QTest::newRow("text starting with U+FEFF") << QVariant(QStringLiteral("\uFEFFx"));
    QTest::newRow("text with a lone surrogate") << QVariant(QString(QChar(0xD800)) + QStringLiteral("x"));
    QTest::newRow("currency as text") << QVariant(QStringLiteral("922337203685477.5807"));
    QTest::newRow("bytes") << QVariant(QByteArray("\0\xff\x01", 3));
    QTest::newRow("empty bytes") << QVariant(QByteArray(""));
    QTest::newRow("date") << QVariant(QDate(2019, 4, 25));
    QTest::newRow("date before the common era") << QVariant(QDate(-44, 3, 15));
    QTest::newRow("invalid date") << QVariant(QDate());
    QTest::newRow("time") << QVariant(QTime(23, 59, 59, 999));
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(1969, 12, 31), QTime(23, 0, 0, 1), Qt::UTC));
    QTest::newRow("local date and time")
        << QVariant(QDateTime(QDate(2000, 6, 1), QTime(12, 0), Qt::LocalTime));
    QTest::newRow("date and time with an offset")
        << QVariant(QDateTime(QDate(2000, 6, 1), QTime(12, 0), Qt::OffsetFromUTC, 3600));
    QTest::newRow("a type no field holds")
        << QVariant(QStringList { QStringLiteral("a"), QStringLiteral("b") });
}

void TestPacket::rowStoreKeepsEveryHeldForm()
{
    QFETCH(QVariant, value);
    RowStore store { { 7, value, QStringLiteral("after") } };
    const Record row = store[0];
    QCOMPARE(row.size(), std::size_t(3));
    QCOMPARE(row[0], QVariant(7));
    QCOMPARE(row[2], QVariant(QStringLiteral("after")));
    const QVariant &got = row[1];
    QCOMPARE(got.isNull(), value.isNull());
    if (value.isNull())
        return;
    QCOMPARE(got.typeId(), value.typeId());
    const bool nan = value.typeId() == QMetaType::Double && std::isnan(value.toDouble());
    if (nan)
        QVERIFY(std::isnan(got.toDouble()));
    else
        QCOMPARE(got, value);
    if (value.typeId() == QMetaType::QDateTime)
        QCOMPARE(got.toDateTime().timeSpec(), value.toDateTime().timeSpec());
    if (value.typeId() == QMetaType::QString)
        QCOMPARE(got.toString().size(), value.toString().size());
}

// Copies share rows until one changes; a row over 64 KB takes wide offsets.
void TestPacket::rowStoreCopiesAndEdits()
{
    RowStore store { { 1, QStringLiteral("one") },
                     { 2, QStringLiteral("two") },
                     { 3, QStringLiteral("three") } };
    RowStore copy = store;
    copy.set(1, Record { 20, QStringLiteral("twenty") });
    copy.insert(0, Record { 0, QVariant() });
    copy.erase(3);
    copy.push_back(Record { 4 });
    const QString big(70000, u'x');
    copy.push_back(Record { 5, big, QStringLiteral("tail") });

    QCOMPARE(store.size(), std::size_t(3));
    QCOMPARE(store[1], (Record { 2, QStringLiteral("two") }));
    QCOMPARE(copy.size(), std::size_t(5));
    QCOMPARE(copy[0], (Record { 0, QVariant() }));
    QCOMPARE(copy[1], (Record { 1, QStringLiteral("one") }));
    QCOMPARE(copy[2], (Record { 20, QStringLiteral("twenty") }));
    QCOMPARE(copy[3], (Record { 4 }));
    QCOMPARE(copy[4], (Record { 5, big, QStringLiteral("tail") }));
    QCOMPARE(copy.value(4, 2), QVariant(QStringLiteral("tail")));
    QVERIFY(copy.value(4, 3).isNull()); // past the row's fields

    copy.resizeRow(4, 2);
    QCOMPARE(copy[4], (Record { 5, big }));
    copy.resizeRow(3, 3);
    QCOMPARE(copy[3], (Record { 4, QVariant(), QVariant() }));

    store = copy;
    copy.clear();
    QCOMPARE(store.size(), std::size_t(5));
    QCOMPARE(store[2], (Record { 20, QStringLiteral("twenty") }));

    // Rows written over many times and rows inserted and erased: the space
    // they leave is given back (the rows in use are moved to new chunks) while
    // a copy keeps what it saw.
    const RowStore before = store;
    for (int i = 0; i < 5000; ++i) {
        store.set(std::size_t(i % 3), Record { i, QString(200, QChar(u'a' + i % 26)) });
        store.insert(4, Record { -i, QString(100, u'z') });
        store.erase(4);
    }
    QCOMPARE(store.size(), std::size_t(5));
    QCOMPARE(store[0], (Record { 4998, QString(200, QChar(u'a' + 4998 % 26)) }));
    QCOMPARE(store[1], (Record { 4999, QString(200, QChar(u'a' + 4999 % 26)) }));
    QCOMPARE(store[2], (Record { 4997, QString(200, QChar(u'a' + 4997 % 26)) }));
    QCOMPARE(store[3], (Record { 4, QVariant(), QVariant() }));
    QCOMPARE(store[4], (Record { 5, big }));
    QCOMPARE(before[0], (Record { 0, QVariant() }));
    QCOMPARE(before[4], (Record { 5, big }));
}

// The fuzz targets, replayed on their seeds and on every input that once broke them.
void TestPacket::xmlFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_xml_packet");
}

void TestPacket::xmlFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::xmlPacketInput);
}

void TestPacket::binaryFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_binary_packet");
}

void TestPacket::binaryFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::binaryPacketInput);
}

QTEST_GUILESS_MAIN(TestPacket)
#include "tst_packet.moc"
