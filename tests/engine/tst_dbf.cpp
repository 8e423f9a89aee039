// Reading dbf tables: every field type, the edge cases other programs'
// files show, deleted records, lazy reading of large tables, and damaged
// files, which must end in an EngineError naming the file.
#include "tst_dbf_helpers.h"

#include "engine/EngineError.h"
#include "engine/Value.h"
#include "engine/formats/dbf/DbfCodePage.h"
#include "engine/formats/dbf/DbfDriver.h"
#include "engine/formats/dbf/DbfHeader.h"
#include "engine/formats/dbf/DbfTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <functional>

#include "fuzz/fuzz_dbf.h"
#include "fuzz/fuzz_memo.h"
#include "fuzz_replay.h"

using namespace qvx;
using namespace dbftest;

namespace {

QByteArray le32Bytes(quint32 v)
{
    QByteArray b(4, '\0');
    dbf::putLe32(b.data(), v);
    return b;
}

QByteArray be32Bytes(quint32 v)
{
    QByteArray b(4, '\0');
    dbf::putBe32(b.data(), v);
    return b;
}

QByteArray le64Bytes(quint64 v)
{
    return le32Bytes(quint32(v & 0xFFFFFFFFu)) + le32Bytes(quint32(v >> 32));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<OpenTable> open(const QByteArray &table, const QByteArray &memo = {},
                                const QString &memoName = QStringLiteral("t.dbt"))
{
    return openDbf(memory(table), memo.isNull() ? nullptr : memory(memo, memoName), true);
}

// Reads every field of every record, the way a grid and a column scan would.
void readEverything(const OpenTable &t)
{
    Record rec;
    for (qint64 i = 0; i < t.recordCount(); ++i) {
        t.read(i, rec);
        for (std::size_t f = 0; f < t.fields().size(); ++f)
            t.readField(i, int(f));
    }
}

QString freshMemo(int i)
{
    return QString(100 * (i + 1), QChar(u'a' + i));
}

QByteArray dbt3(const QList<QByteArray> &memos)
{
    QByteArray out = le32Bytes(quint32(1 + memos.size())).leftJustified(512, '\0');
    for (const QByteArray &m : memos)
        out += m.leftJustified(512, '\0');
    return out;
}

QByteArray fpt(int blockSize, const QList<QPair<quint32, QByteArray>> &memos)
{
    QByteArray out = be32Bytes(0) + QByteArray(2, '\0') + QByteArray(1, char(blockSize >> 8))
        + QByteArray(1, char(blockSize & 0xFF));
    out = out.leftJustified(512, '\0');
    const int first = (512 + blockSize - 1) / blockSize;
    out = out.leftJustified(first * blockSize, '\0');
    for (const auto &[type, data] : memos) {
        QByteArray block = be32Bytes(type) + be32Bytes(quint32(data.size())) + data;
        out += block.leftJustified(((block.size() + blockSize - 1) / blockSize) * blockSize, '\0');
    }
    const QByteArray next = be32Bytes(quint32(out.size() / blockSize));
    out.replace(0, 4, next);
    return out;
}

} // namespace

class TestDbf : public QObject {
    Q_OBJECT

private slots:
    void fieldTypes_data();
    void fieldTypes();
    void numbersAsWritten_data();
    void numbersAsWritten();
    void headerYear_data();
    void headerYear();
    void endOfFile_data();
    void endOfFile();
    void longCharField();
    void codePageByte_data();
    void codePageByte();
    void deletedRecordsHidden();
    void memoFiles_data();
    void memoFiles();
    void vfpNullFlags();
    void looseHeaders_data();
    void looseHeaders();
    void refusedVersions_data();
    void refusedVersions();
    void malformed_data();
    void malformed();
    void memoDamage_data();
    void memoDamage();
    void flippedBytesNeverCrash();
    void lazyOpen();
    void dbfFuzzInputs_data();
    void dbfFuzzInputs();
    void memoFuzzInputs_data();
    void memoFuzzInputs();

private:
    QTemporaryDir m_dir;
};

void TestDbf::fieldTypes_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fieldType");
    QTest::addColumn<QVariant>("value");

    const int S = fieldTypeCode(FieldType::String), SI = fieldTypeCode(FieldType::SmallInt),
              I = fieldTypeCode(FieldType::Integer), BCD = fieldTypeCode(FieldType::BCD),
              F = fieldTypeCode(FieldType::Float), D = fieldTypeCode(FieldType::Date),
              L = fieldTypeCode(FieldType::Boolean), Y = fieldTypeCode(FieldType::Currency),
              T = fieldTypeCode(FieldType::DateTime), A = fieldTypeCode(FieldType::AutoInc),
              By = fieldTypeCode(FieldType::Bytes);
    QTest::newRow("C trimmed") << 0x03 << QByteArray("C") << 8 << 0 << 0 << QByteArray(" ab c   ") << S
                               << QVariant(" ab c");
    QTest::newRow("C all spaces") << 0x03 << QByteArray("C") << 3 << 0 << 0 << QByteArray("   ") << S
                                  << QVariant(QString(""));
    QTest::newRow("C NUL padded") << 0x03 << QByteArray("C") << 4 << 0 << 0 << QByteArray("ab\0\0", 4) << S
                                  << QVariant("ab");
    QTest::newRow("C binary (VFP)") << 0x30 << QByteArray("C") << 4 << 0 << 0x04 << QByteArray("a\0 \xFF", 4)
                                    << By << QVariant(QByteArray("a\0 \xFF", 4));
    QTest::newRow("N small") << 0x03 << QByteArray("N") << 4 << 0 << 0 << QByteArray("-123") << SI
                             << QVariant(-123);
    QTest::newRow("N integer") << 0x03 << QByteArray("N") << 9 << 0 << 0 << QByteArray("123456789") << I
                               << QVariant(123456789);
    QTest::newRow("N wide is BCD") << 0x03 << QByteArray("N") << 12 << 0 << 0 << QByteArray("  9876543210")
                                   << BCD << QVariant("9876543210");
    QTest::newRow("N decimals") << 0x03 << QByteArray("N") << 10 << 2 << 0 << QByteArray("    -12.50") << BCD
                                << QVariant("-12.5");
    QTest::newRow("N negative zero") << 0x03 << QByteArray("N") << 10 << 2 << 0 << QByteArray("     -0.00")
                                     << BCD << QVariant("0");
    QTest::newRow("N bare fraction") << 0x03 << QByteArray("N") << 10 << 2 << 0 << QByteArray("       .50")
                                     << BCD << QVariant("0.5");
    QTest::newRow("N exponent in wide")
        << 0x03 << QByteArray("N") << 10 << 0 << 0 << QByteArray("    1.5e+3") << BCD << QVariant("1500");
    QTest::newRow("N plus sign") << 0x03 << QByteArray("N") << 6 << 0 << 0 << QByteArray("   +42") << I
                                 << QVariant(42);
    QTest::newRow("N blank is null") << 0x03 << QByteArray("N") << 4 << 0 << 0 << QByteArray("    ") << SI
                                     << QVariant();
    QTest::newRow("N overflow stars")
        << 0x03 << QByteArray("N") << 5 << 2 << 0 << QByteArray("*****") << BCD << QVariant();
    QTest::newRow("N left aligned") << 0x03 << QByteArray("N") << 6 << 0 << 0 << QByteArray("42    ") << I
                                    << QVariant(42);
    QTest::newRow("F") << 0x8B << QByteArray("F") << 10 << 3 << 0 << QByteArray("  1.25e+02") << F
                       << QVariant(125.0);
    QTest::newRow("D") << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("20260314") << D
                       << QVariant(QDate(2026, 3, 14));
    QTest::newRow("D with letters") << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("2026O314") << D
                                    << QVariant();
    QTest::newRow("D impossible day")
        << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("20250229") << D << QVariant();
    QTest::newRow("D blank") << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("        ") << D
                             << QVariant();
    QTest::newRow("D zeros") << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("00000000") << D
                             << QVariant();
    QTest::newRow("D nonsense") << 0x03 << QByteArray("D") << 8 << 0 << 0 << QByteArray("20261341") << D
                                << QVariant();
    QTest::newRow("L T") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray("T") << L << QVariant(true);
    QTest::newRow("L y") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray("y") << L << QVariant(true);
    QTest::newRow("L f") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray("f") << L << QVariant(false);
    QTest::newRow("L N") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray("N") << L << QVariant(false);
    QTest::newRow("L ?") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray("?") << L << QVariant();
    QTest::newRow("L space") << 0x03 << QByteArray("L") << 1 << 0 << 0 << QByteArray(" ") << L << QVariant();
    QTest::newRow("Y") << 0x30 << QByteArray("Y") << 8 << 4 << 0 << le64Bytes(0x1E240) << Y
                       << QVariant(12.3456);
    QTest::newRow("Y negative") << 0x30 << QByteArray("Y") << 8 << 4 << 0 << le64Bytes(quint64(-5)) << Y
                                << QVariant(-0.0005);
    QTest::newRow("T") << 0x30 << QByteArray("T") << 8 << 0 << 0 << le32Bytes(2451545) + le32Bytes(45015000)
                       << T << QVariant(QDateTime(QDate(2000, 1, 1), QTime(12, 30, 15), Qt::UTC));
    QTest::newRow("T empty") << 0x30 << QByteArray("T") << 8 << 0 << 0 << QByteArray(8, '\0') << T
                             << QVariant();
    QTest::newRow("T bad time") << 0x30 << QByteArray("T") << 8 << 0 << 0
                                << le32Bytes(2451545) + le32Bytes(90000000) << T << QVariant();
    QTest::newRow("I") << 0x30 << QByteArray("I") << 4 << 0 << 0 << le32Bytes(quint32(-1)) << I
                       << QVariant(-1);
    QTest::newRow("I autoinc") << 0x31 << QByteArray("I") << 4 << 0 << 0x0C << le32Bytes(7) << A
                               << QVariant(7);
    QTest::newRow("B double (VFP)") << 0x30 << QByteArray("B") << 8 << 2 << 0
                                    << le64Bytes(std::bit_cast<quint64>(-2.5)) << F << QVariant(-2.5);
    QTest::newRow("V full") << 0x32 << QByteArray("V") << 4 << 0 << 0 << QByteArray("abcd") << S
                            << QVariant("abcd");
    QTest::newRow("V keeps spaces") << 0x32 << QByteArray("V") << 4 << 0 << 0 << QByteArray("a  b") << S
                                    << QVariant("a  b");
}

void TestDbf::fieldTypes()
{
    QFETCH(int, version);
    QFETCH(QByteArray, type);
    QFETCH(int, length);
    QFETCH(int, decimals);
    QFETCH(int, flags);
    QFETCH(QByteArray, bytes);
    QFETCH(int, fieldType);
    QFETCH(QVariant, value);

    auto t = open(DbfBytes(std::uint8_t(version))
                      .field("F", type[0], length, decimals, std::uint8_t(flags))
                      .record(bytes)
                      .bytes());
    QCOMPARE(t->fields().size(), std::size_t(1));
    const FieldDef &f = t->fields()[0];
    QCOMPARE(f.name, QStringLiteral("F"));
    QCOMPARE(fieldTypeCode(f.type), fieldType);
    if (type == "C" || type == "N" || type == "F") {
        QCOMPARE(f.size, length);
        QCOMPARE(f.decimals, type == "C" ? 0 : decimals);
    }
    Record rec;
    t->read(0, rec);
    QCOMPARE(rec.size(), std::size_t(1));
    QCOMPARE(rec[0].isNull(), value.isNull());
    if (!value.isNull()) {
        QCOMPARE(valueToText(rec[0], f.type), valueToText(value, f.type));
        QCOMPARE(rec[0].typeId(), coerceValue(value, f).typeId());
    }
    QCOMPARE(t->readField(0, 0), rec[0]);
}

// What reaches SQL from readFieldTo(), as text that tells the kinds apart.
class TextSink : public FieldSink {
public:
    QString got;
    void null() override { got = QStringLiteral("null"); }
    void integer(qint64 v) override { got = QString::number(v); }
    void real(double v) override { got = QString::number(v, 'g', QLocale::FloatingPointShortest); }
    void text(const char *utf8, qsizetype length) override { got = QString::fromUtf8(utf8, length); }
};

void TestDbf::numbersAsWritten_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // empty for null

    // Some writers store N values with an exponent, whatever the decimals say.
    QTest::newRow("exponent, more digits than declared")
        << 19 << 4 << QByteArray("       1.111049E-01") << "0.1111049";
    QTest::newRow("exponent, lower case") << 12 << 2 << QByteArray("  -1.25e+02 ") << "-125";
    QTest::newRow("exponent without sign") << 12 << 3 << QByteArray("     2.5E3  ") << "2500";
    QTest::newRow("exponent, tiny") << 15 << 2 << QByteArray("        1.0E-12") << "0.000000000001";
    QTest::newRow("exponent, 17 digits kept")
        << 24 << 0 << QByteArray(" 1.2345678901234567E+016") << "12345678901234567";
    QTest::newRow("plain, more decimals than declared") << 12 << 2 << QByteArray("     3.14159") << "3.14159";
    QTest::newRow("plain, fewer decimals") << 10 << 4 << QByteArray("       2.5") << "2.5";
    QTest::newRow("exponent with nothing after it") << 12 << 2 << QByteArray("      1.5E  ") << "";
    QTest::newRow("exponent out of reach") << 12 << 2 << QByteArray("    1.5E+999") << "";
    // Whole-number fields (N up to 9 wide, no decimals) holding other numbers.
    QTest::newRow("fraction in N(9,0)") << 9 << 0 << QByteArray("     12.5") << "12.5";
    QTest::newRow("fraction in N(4,0)") << 4 << 0 << QByteArray("-0.5") << "-0.5";
    QTest::newRow("whole number with a point") << 9 << 0 << QByteArray("      7.0") << "7";
    QTest::newRow("exponent in N(9,0)") << 9 << 0 << QByteArray("  1.2E+02") << "120";
    QTest::newRow("past the integer range") << 9 << 0 << QByteArray("  5.0E+10") << "50000000000";
    QTest::newRow("letters in N(9,0)") << 9 << 0 << QByteArray("    12abc") << "";
}

void TestDbf::numbersAsWritten()
{
    QFETCH(int, length);
    QFETCH(int, decimals);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(bytes.size(), length);

    auto t = open(DbfBytes().field("N", 'N', length, decimals).record(bytes).bytes());
    const FieldDef &f = t->fields()[0];
    const QVariant v = t->readField(0, 0);
    QCOMPARE(v.isNull(), text.isEmpty());
    QCOMPARE(valueToText(v, f.type), text);
    Record rec;
    t->read(0, rec);
    QCOMPARE(valueToText(rec[0], f.type), text);

    // SQL gets the same number, whichever path it takes.
    TextSink sink;
    if (t->readFieldTo(0, 0, sink)) {
        QCOMPARE(sink.got, text.isEmpty() ? QStringLiteral("null") : text);
    } else if (!text.isEmpty()) {
        bool ok = false;
        QCOMPARE(v.toString().toDouble(&ok), text.toDouble());
        QVERIFY(ok);
    }
}

void TestDbf::headerYear_data()
{
    QTest::addColumn<int>("yearByte");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("year");
    QTest::newRow("year mod 100") << 0x1A << 0x30 << 2026;
    QTest::newRow("year - 1900") << 0x7E << 0x03 << 2026;
    QTest::newRow("1999") << 99 << 0x03 << 1999;
    QTest::newRow("2000") << 0 << 0x03 << 2000;
    QTest::newRow("2079") << 79 << 0xF5 << 2079;
    QTest::newRow("1980") << 80 << 0x03 << 1980;
}

void TestDbf::headerYear()
{
    QFETCH(int, yearByte);
    QFETCH(int, version);
    QFETCH(int, year);
    auto t = open(DbfBytes(std::uint8_t(version)).field("C", 'C', 1).record("x").yearByte(yearByte).bytes());
    const auto &h = dynamic_cast<const dbf::DbfTable &>(*t).header();
    QCOMPARE(h.lastUpdate, QDate(year, 3, 14));
}

void TestDbf::endOfFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("damage"); // empty when the header and the file agree

    DbfBytes three = DbfBytes().field("C", 'C', 2).record("aa").record("bb").record("cc");
    QTest::newRow("with 0x1A") << three.bytes() << 3 << "";
    QTest::newRow("missing 0x1A") << DbfBytes(three).noEndMarker().bytes() << 3 << "";
    QTest::newRow("header count larger") << DbfBytes(three).claimedCount(1000).bytes() << 3
                                         << "the header says 1000 records, the file holds 3";
    QTest::newRow("header count larger, no 0x1A") << DbfBytes(three).claimedCount(4).noEndMarker().bytes()
                                                  << 3 << "the header says 4 records, the file holds 3";
    QTest::newRow("header count larger, padding after 0x1A") << DbfBytes(three).claimedCount(1000).bytes()
            + QByteArray(8, '\0') << 3 << "the header says 1000 records, the file holds 3";
    QTest::newRow("cut inside the last record")
        << DbfBytes(three).noEndMarker().bytes().chopped(1) << 2
        << "the header says 3 records, the file holds 2; the file ends 2 bytes into record 3";
    QTest::newRow("cut inside a record the header does not count")
        << DbfBytes(three).noEndMarker().bytes() + " d" << 3 << "the file ends 2 bytes into record 4";
    // Rows the header does not count are rows all the same.
    QTest::newRow("header count smaller")
        << DbfBytes(three).claimedCount(2).bytes() << 3 << "the header says 2 records, the file holds 3";
    QTest::newRow("header count zero") << DbfBytes(three).claimedCount(0).noEndMarker().bytes() << 3
                                       << "the header says 0 records, the file holds 3";
    QTest::newRow("header count smaller, 0x1A where it ends")
        << DbfBytes().field("C", 'C', 2).record("aa").record("bb").bytes() + QByteArray("\0\0\0\0\0", 5) << 2
        << "";
    // One writer puts the Visual FoxPro backlink into FoxPro 2 tables too.
    QTest::newRow("FoxPro 2 with a backlink")
        << DbfBytes(0xF5).field("C", 'C', 2).record("aa").record("bb").record("cc").backlink(true).bytes()
        << 3 << "";
    QTest::newRow("no records") << DbfBytes().field("C", 'C', 2).bytes() << 0 << "";
    QTest::newRow("no records, no 0x1A") << DbfBytes().field("C", 'C', 2).noEndMarker().bytes() << 0 << "";
}

void TestDbf::endOfFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(QString, damage);
    auto t = open(bytes);
    QCOMPARE(t->recordCount(), count);
    if (count > 0)
        QCOMPARE(t->readField(count - 1, 0).toString(), QString(2, QChar(u'a' + count - 1)));
    QVERIFY_THROWS_EXCEPTION(EngineError, t->readField(count, 0));
    QCOMPARE(t->warnings().join(u'|'), damage);

    auto w = openDbf(memory(bytes), nullptr, false);
    const auto *file = dynamic_cast<const dbf::DbfTable *>(w.get());
    QVERIFY(file);
    QCOMPARE(w->recordCount(), count);
    if (!damage.isEmpty()) {
        // A damaged table is read as it is and not written to: rewriting
        // the header would make the guess permanent.
        QVERIFY(w->readOnly());
        QCOMPARE(w->readOnlyReason(), damage);
        try {
            w->insert(count, { QStringLiteral("zz") });
            QFAIL("a damaged table took a new record");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(damage), qPrintable(e.message()));
        }
        QCOMPARE(w->recordCount(), count);
        return;
    }
    // Appending puts the count right and the end marker back.
    QVERIFY(!w->readOnly());
    w->insert(count, { QStringLiteral("zz") });
    QCOMPARE(w->recordCount(), count + 1);
    QCOMPARE(file->header().recordCount, quint32(count + 1));
}

void TestDbf::longCharField()
{
    // FoxPro keeps the high byte of a character field's length in the
    // decimals byte.
    const QByteArray text = QByteArray(299, 'x') + 'y';
    auto t = open(DbfBytes(0xF5).field("LONG", 'C', 300).field("N", 'N', 2).record(text + " 7").bytes());
    QCOMPARE(t->fields()[0].size, 300);
    QCOMPARE(t->fields()[0].type, FieldType::String);
    QCOMPARE(t->readField(0, 0).toString(), QString::fromLatin1(text));
    QCOMPARE(t->readField(0, 1).toInt(), 7);
}

void TestDbf::codePageByte_data()
{
    QTest::addColumn<int>("driverByte");
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("437") << 0x01 << "IBM437" << QByteArray("\x81\x89") << QStringLiteral("üë");
    QTest::newRow("850") << 0x02 << "IBM850" << QByteArray("\xc7\x87") << QStringLiteral("Ãç");
    QTest::newRow("866 (dBASE)") << 0x26 << "IBM866" << QByteArray("\x8f\xe0") << QStringLiteral("Пр");
    QTest::newRow("866 (FoxPro)") << 0x65 << "IBM866" << QByteArray("\x8f\xe0") << QStringLiteral("Пр");
    QTest::newRow("1252") << 0x03 << "windows-1252" << QByteArray("\x80\xe9") << QStringLiteral("€é");
    QTest::newRow("unmarked") << 0x00 << "windows-1252" << QByteArray("\x80\xe9") << QStringLiteral("€é");
    QTest::newRow("unknown byte") << 0xEE << "windows-1252" << QByteArray("\x80\xe9") << QStringLiteral("€é");
    QTest::newRow("1251") << 0xC9 << "windows-1251" << QByteArray("\xcf\xf0") << QStringLiteral("Пр");
}

void TestDbf::codePageByte()
{
    QFETCH(int, driverByte);
    QFETCH(QString, codePage);
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    auto t = open(DbfBytes().field("C", 'C', 2).record(stored).languageDriver(driverByte).bytes());
    QCOMPARE(t->info().codePage, codePage);
    QCOMPARE(t->readField(0, 0).toString(), text);
    // The name written for a code page is one that reads back as it.
    QCOMPARE(dbf::codePageForDriver(std::uint8_t(dbf::driverForCodePage(codePage))), codePage);
}

void TestDbf::deletedRecordsHidden()
{
    // More records than one block of the live-record map, with a block
    // that is deleted entirely.
    const int total = 3 * 4096 + 500;
    auto isDeleted = [](int i) { return i % 7 == 3 || (i >= 4096 && i < 8192); };
    DbfBytes b;
    b.field("N", 'N', 5);
    QList<int> live;
    for (int i = 0; i < total; ++i) {
        b.record(QByteArray::number(i).rightJustified(5, ' '), isDeleted(i));
        if (!isDeleted(i))
            live << i;
    }
    auto t = open(b.bytes());
    QCOMPARE(t->recordCount(), live.size());
    // Backwards and in strides, so that blocks are visited out of order.
    for (qint64 i = live.size() - 1; i >= 0; i -= 97)
        QCOMPARE(t->readField(i, 0).toInt(), live[i]);
    for (qint64 i = 0; i < live.size(); i += 101) {
        Record rec;
        t->read(i, rec);
        QCOMPARE(rec[0].toInt(), live[i]);
        QCOMPARE(t->bookmark(i), live[i]);
        QCOMPARE(t->indexOfBookmark(live[i]), i);
    }
    QCOMPARE(t->indexOfBookmark(3), -1);
    QCOMPARE(t->indexOfBookmark(5000), -1);
    QCOMPARE(t->indexOfBookmark(total), -1);

    // Deleting through the table keeps the map right in later blocks.
    auto w = openDbf(memory(b.bytes()), nullptr, false);
    w->remove(0);
    w->remove(100);
    QCOMPARE(w->recordCount(), live.size() - 2);
    QCOMPARE(w->readField(0, 0).toInt(), live[1]);
    QCOMPARE(w->readField(live.size() - 3, 0).toInt(), live.back());
    QCOMPARE(w->indexOfBookmark(live.back()), live.size() - 3);
}

void TestDbf::memoFiles_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("memo");
    QTest::addColumn<QString>("memoName");
    QTest::addColumn<QVariant>("value");

    const QByteArray ptr1 = "         1", ptr2 = "         2";
    {
        const QByteArray m = dbt3({ "first\x1A\x1A", "single end\x1Agarbage" });
        QTest::newRow("dBASE III") << DbfBytes(0x83).field("M", 'M', 10).record(ptr1).bytes() << m << "t.dbt"
                                   << QVariant("first");
        QTest::newRow("dBASE III, one 0x1A") << DbfBytes(0x83).field("M", 'M', 10).record(ptr2).bytes() << m
                                             << "t.dbt" << QVariant("single end");
        QTest::newRow("dBASE III, blank pointer")
            << DbfBytes(0x83).field("M", 'M', 10).record(QByteArray(10, ' ')).bytes() << m << "t.dbt"
            << QVariant();
        QTest::newRow("dBASE III, zero-padded pointer")
            << DbfBytes(0x83).field("M", 'M', 10).record("0000000001").bytes() << m << "t.dbt"
            << QVariant("first");
        const QByteArray unterminated = le32Bytes(2).leftJustified(512, '\0') + "runs to the end";
        QTest::newRow("dBASE III, no end marker") << DbfBytes(0x83).field("M", 'M', 10).record(ptr1).bytes()
                                                  << unterminated << "t.dbt" << QVariant("runs to the end");
    }
    {
        // The length includes the 8 bytes before the text.
        QByteArray m
            = (le32Bytes(2) + QByteArray(16, '\0') + QByteArray("\x00\x02", 2)).leftJustified(512, '\0');
        m += (QByteArray("\xFF\xFF\x08\x00", 4) + le32Bytes(8 + 18) + "eighteen bytes ok.")
                 .leftJustified(512, '\0');
        QTest::newRow("dBASE IV, block 512") << DbfBytes(0x8B).field("M", 'M', 10).record(ptr1).bytes() << m
                                             << "t.dbt" << QVariant("eighteen bytes ok.");
        QByteArray m1k
            = (le32Bytes(2) + QByteArray(16, '\0') + QByteArray("\x00\x04", 2)).leftJustified(1024, '\0');
        m1k += (QByteArray("\xFF\xFF\x08\x00", 4) + le32Bytes(8 + 700) + QByteArray(700, 'k'))
                   .leftJustified(1024, '\0');
        QTest::newRow("dBASE IV, block 1024") << DbfBytes(0x8B).field("M", 'M', 10).record(ptr1).bytes()
                                              << m1k << "t.dbt" << QVariant(QString(700, u'k'));
        QTest::newRow("dBASE IV binary memo") << DbfBytes(0x8B).field("B", 'B', 10).record(ptr1).bytes() << m
                                              << "t.dbt" << QVariant(QByteArray("eighteen bytes ok."));
    }
    {
        const QByteArray m64 = fpt(64, { { 1, "text memo" }, { 1, QByteArray("\x89PNG\x00\x1A", 6) } });
        const QByteArray m512 = fpt(512, { { 1, "text memo" } });
        QTest::newRow("FoxPro, block 64") << DbfBytes(0xF5).field("M", 'M', 10).record("         8").bytes()
                                          << m64 << "t.fpt" << QVariant("text memo");
        QTest::newRow("FoxPro, block 512") << DbfBytes(0xF5).field("M", 'M', 10).record(ptr1).bytes() << m512
                                           << "t.fpt" << QVariant("text memo");
        QTest::newRow("FoxPro picture written as text")
            << DbfBytes(0xF5).field("P", 'P', 10).record("         9").bytes() << m64 << "t.fpt"
            << QVariant(QByteArray("\x89PNG\x00\x1A", 6));
        QTest::newRow("FoxPro OLE") << DbfBytes(0xF5).field("G", 'G', 10).record("         9").bytes() << m64
                                    << "t.fpt" << QVariant(QByteArray("\x89PNG\x00\x1A", 6));
        QTest::newRow("VFP binary pointer") << DbfBytes(0x30).field("M", 'M', 4).record(le32Bytes(8)).bytes()
                                            << m64 << "t.fpt" << QVariant("text memo");
        QTest::newRow("VFP binary memo")
            << DbfBytes(0x30).field("M", 'M', 4, 0, 0x04).record(le32Bytes(8)).bytes() << m64 << "t.fpt"
            << QVariant(QByteArray("text memo"));
        QTest::newRow("VFP blob") << DbfBytes(0x32).field("W", 'W', 4, 0, 0x04).record(le32Bytes(9)).bytes()
                                  << m64 << "t.fpt" << QVariant(QByteArray("\x89PNG\x00\x1A", 6));
        QTest::newRow("0x03 table with .fpt")
            << DbfBytes(0x03).field("M", 'M', 10).record("         8").bytes() << m64 << "t.fpt"
            << QVariant("text memo");
    }
}

void TestDbf::memoFiles()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, memo);
    QFETCH(QString, memoName);
    QFETCH(QVariant, value);
    auto t = open(table, memo, memoName);
    const QVariant got = t->readField(0, 0);
    QCOMPARE(got.isNull(), value.isNull());
    QCOMPARE(got.typeId(), value.isNull() ? got.typeId() : value.typeId());
    QCOMPARE(got, value);
}

void TestDbf::vfpNullFlags()
{
    // Bits in field order; the varlength bit of V comes before its null bit:
    //   V: varlength 0, null 1;  C: null 2;  Q: varlength 3 (not nullable)
    DbfBytes b(0x32);
    b.field("V", 'V', 6, 0, 0x02).field("C", 'C', 3, 0, 0x02).field("I", 'I', 4).field("Q", 'Q', 3, 0, 0x04);
    b.field("_NullFlags", '0', 1, 0, 0x05);
    b.record(QByteArray("ab\0\0\0\x02", 6) + "xyz" + le32Bytes(1) + QByteArray("qqq")
             + QByteArray(1, char(0x01)));
    b.record(QByteArray(6, '\0') + "   " + le32Bytes(2) + QByteArray("q\0\x01", 3)
             + QByteArray(1, char(0x0E)));
    b.record("abcdef" + QByteArray("   ") + le32Bytes(3) + QByteArray("\0\0\0", 3)
             + QByteArray(1, char(0x08)));
    auto t = open(b.bytes());
    QCOMPARE(t->fields().size(), std::size_t(4));
    QCOMPARE(t->fields()[3].name, QStringLiteral("Q"));
    Record r;
    t->read(0, r);
    QCOMPARE(r[0], QVariant("ab"));
    QCOMPARE(r[1], QVariant("xyz"));
    QCOMPARE(r[3], QVariant(QByteArray("qqq")));
    t->read(1, r);
    QVERIFY(r[0].isNull());
    QVERIFY(r[1].isNull());
    QCOMPARE(r[2], QVariant(2));
    QCOMPARE(r[3], QVariant(QByteArray("q")));
    t->read(2, r);
    QCOMPARE(r[0], QVariant("abcdef"));
    QCOMPARE(r[1], QVariant(QString("")));
    QCOMPARE(r[3], QVariant(QByteArray()));

    // Written back, the same bits come out.
    auto w = openDbf(memory(b.bytes()), nullptr, false);
    for (qint64 i = 0; i < 3; ++i) {
        Record rec;
        w->read(i, rec);
        w->insert(3 + i, rec);
        Record again;
        w->read(3 + i, again);
        QCOMPARE(again, rec);
    }
}

namespace {

// Two records "abc" and "de " in one C(3) field, in a table whose bytes the
// row changes afterwards.
QByteArray twoRecords(std::uint8_t version)
{
    return DbfBytes(version).field("C", 'C', 3).record("abc").record("de ").bytes();
}

// Records of the table padded with `pad` bytes each, the record length saying so.
QByteArray paddedRecords(int pad)
{
    const QByteArray plain = twoRecords(0x03);
    const int hl = dbf::le16(plain.constData() + 8);
    QByteArray out = plain.left(hl);
    dbf::putLe16(out.data() + 10, std::uint16_t(4 + pad));
    for (int r = 0; r < 2; ++r)
        out += plain.mid(hl + 4 * r, 4) + QByteArray(pad, '\0');
    return out + '\x1A';
}

QByteArray dbt4(const QByteArray &memo)
{
    QByteArray out = le32Bytes(2) + QByteArray(16, '\0') + QByteArray("\x00\x02", 2);
    out = out.leftJustified(512, '\0');
    out += (QByteArray("\xFF\xFF\x08\x00", 4) + le32Bytes(quint32(memo.size() + 8)) + memo)
               .leftJustified(512, '\0');
    return out;
}

} // namespace

void TestDbf::looseHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("memo"); // a .dbt, or null

    QTest::newRow("version 0x05") << twoRecords(0x05) << QByteArray();
    QByteArray terminatorLf = twoRecords(0x03);
    terminatorLf[64] = '\n';
    QTest::newRow("descriptors end with 0x0A") << terminatorLf << QByteArray();
    QByteArray terminatorNul = twoRecords(0x03);
    terminatorNul[64] = '\0';
    QTest::newRow("descriptors end with a NUL") << terminatorNul << QByteArray();
    QByteArray terminatorJunk = twoRecords(0x8B);
    terminatorJunk[64] = 'Z';
    QTest::newRow("no room for a descriptor after the last") << terminatorJunk << QByteArray();
    QTest::newRow("records padded by 2") << paddedRecords(2) << QByteArray();
    QTest::newRow("records padded by 40") << paddedRecords(40) << QByteArray();
    // A dBASE IV memo beside a table marked 0x84.
    const QByteArray withMemo = DbfBytes(0x84)
                                    .field("C", 'C', 3)
                                    .field("M", 'M', 10)
                                    .record("abc         1")
                                    .record("de           ")
                                    .bytes();
    QTest::newRow("version 0x84 with a dBASE IV memo") << withMemo << dbt4("memo text");
}

void TestDbf::looseHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, memo);
    auto check = [&](const OpenTable &t, int records) {
        QCOMPARE(t.recordCount(), records);
        for (qint64 i = 0; i < records; ++i)
            for (std::size_t f = 0; f < t.fields().size(); ++f)
                t.readField(i, int(f));
        QVERIFY2(t.warnings().isEmpty(), qPrintable(t.warnings().join(u'|')));
        QCOMPARE(t.fields()[0].name, QStringLiteral("C"));
        QCOMPARE(t.readField(0, 0).toString(), QStringLiteral("abc"));
        QCOMPARE(t.readField(1, 0).toString(), QStringLiteral("de"));
        if (!memo.isNull()) {
            QCOMPARE(t.fields().size(), std::size_t(2));
            QCOMPARE(t.readField(0, 1).toString(), QStringLiteral("memo text"));
            QVERIFY(t.readField(1, 1).isNull());
        } else {
            QCOMPARE(t.fields().size(), std::size_t(1));
        }
    };
    check(*open(bytes, memo), 2);

    // Writing keeps working: a new record, and an old one changed.
    auto tableFile = std::make_unique<MemoryFile>(bytes, QStringLiteral("t.dbf"));
    auto memoFile = memo.isNull() ? nullptr : std::make_unique<MemoryFile>(memo, QStringLiteral("t.dbt"));
    const MemoryFile *tableBytes = tableFile.get();
    const MemoryFile *memoBytes = memoFile.get();
    QByteArray written, writtenMemo;
    {
        auto w = openDbf(std::move(tableFile), std::move(memoFile), false);
        QVERIFY2(!w->readOnly(), qPrintable(w->readOnlyReason()));
        Record rec { QStringLiteral("xyz") };
        if (!memo.isNull())
            rec.push_back(QStringLiteral("new memo"));
        w->insert(2, rec);
        Record first;
        w->read(0, first);
        w->update(0, first);
        QCOMPARE(w->readField(2, 0).toString(), QStringLiteral("xyz"));
        written = tableBytes->data(); // the files go with the table
        if (memoBytes)
            writtenMemo = memoBytes->data();
    }
    auto again = open(written, writtenMemo);
    check(*again, 3);
    QCOMPARE(again->readField(2, 0).toString(), QStringLiteral("xyz"));
    if (!memo.isNull())
        QCOMPARE(again->readField(2, 1).toString(), QStringLiteral("new memo"));
}

void TestDbf::refusedVersions_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("message");
    QTest::newRow("dBASE 7") << 0x04 << "dBASE 7";
    QTest::newRow("dBASE 7 with memo") << 0x8C << "dBASE 7";
    QTest::newRow("zero") << 0x00 << "version byte 0x00";
    QTest::newRow("dBASE II") << 0x02 << "version byte 0x02";
    QTest::newRow("garbage") << 0xFF << "version byte 0xff";
}

void TestDbf::refusedVersions()
{
    QFETCH(int, version);
    QFETCH(QString, message);
    try {
        open(DbfBytes(std::uint8_t(version)).field("C", 'C', 1).record("x").bytes());
        QFAIL("the table was opened");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(QLatin1String("t.dbf: ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
}

namespace {

// A damaged copy of a freshly written table: which file to change and how.
struct Corruption {
    const char *name;
    int version; // of the table it starts from
    std::function<void(QByteArray &dbf, QByteArray &memo)> change;
    const char *message;
};

void put(QByteArray &b, int offset, const QByteArray &bytes)
{
    b.replace(offset, bytes.size(), bytes);
}

// Fresh tables have fields S C(5), N N(6,0), M memo and three records.
// Their descriptors are at 32, 64 and 96; records start at the header length.
int headerLength(const QByteArray &b)
{
    return dbf::le16(b.constData() + 8);
}
int memoPointer(const QByteArray &b, int record)
{
    return headerLength(b) + record * dbf::le16(b.constData() + 10) + 1 + 5 + 6;
}

const QList<Corruption> &corruptions()
{
    static const QList<Corruption> list {
        { "table too short", 0x8B, [](QByteArray &d, QByteArray &) { d.truncate(20); },
          "too short to be a table" },
        { "empty table file", 0x8B, [](QByteArray &d, QByteArray &) { d.clear(); },
          "too short to be a table" },
        { "header length past the end", 0x8B, [](QByteArray &d, QByteArray &) { put(d, 8, "\xFF\xFF"); },
          "runs past the end" },
        { "header length under the descriptors", 0x8B,
          [](QByteArray &d, QByteArray &) { put(d, 8, "\x50\x00"); }, "shorter than its field descriptors" },
        { "header length tiny", 0x8B,
          [](QByteArray &d, QByteArray &) { put(d, 8, QByteArray("\x14\x00", 2)); }, "is too short" },
        { "huge field count", 0x8B,
          [](QByteArray &d, QByteArray &) {
              d = d.left(32) + QByteArray(70000, 'A');
              put(d, 8, "\xFF\xFF");
          },
          "field" },
        { "record length short by one", 0x8B, [](QByteArray &d, QByteArray &) { d[10] = char(d[10] - 1); },
          "field lengths add up" },
        { "record length one", 0x8B,
          [](QByteArray &d, QByteArray &) { put(d, 10, QByteArray("\x01\x00", 2)); },
          "record length (1 bytes) is too short" },
        { "unknown field type", 0x8B, [](QByteArray &d, QByteArray &) { d[64 + 11] = 'X'; }, "unknown type" },
        { "dBASE 7 field type", 0x8B, [](QByteArray &d, QByteArray &) { d[64 + 11] = '@'; }, "dBASE 7" },
        { "memo field of the wrong width", 0x8B,
          [](QByteArray &d, QByteArray &) {
              d[32 + 16] = 4;
              d[96 + 16] = 11;
          },
          "cannot be 11 bytes long" },
        { "decimals wider than the field", 0x8B, [](QByteArray &d, QByteArray &) { d[64 + 17] = 6; },
          "6 decimals" },
        { "_NullFlags of no length", 0x30,
          [](QByteArray &d, QByteArray &) {
              d[128 + 16] = 0;
              d[10] = char(d[10] - 1);
          },
          "cannot be 0 bytes long" },
    };
    return list;
}

// Damage to memo values or the memo file, which costs those values only:
// the records whose memo reads as null, and whether the whole memo file is
// lost (the table then opens read-only).
struct MemoDamage {
    const char *name;
    int version;
    std::function<void(QByteArray &dbf, QByteArray &memo)> change;
    const char *message;
    QList<int> lost;
    bool wholeFile;
};

const QList<MemoDamage> &memoDamages()
{
    static const QList<MemoDamage> list {
        { "memo pointer past the end",
          0x8B,
          [](QByteArray &d, QByteArray &) { put(d, memoPointer(d, 1), "  99999999"); },
          "past the end of the memo file",
          { 1 },
          false },
        { "memo pointer not a number",
          0x8B,
          [](QByteArray &d, QByteArray &) { put(d, memoPointer(d, 1), "    12ab34"); },
          "not a block number",
          { 1 },
          false },
        { "memo pointer out of range",
          0x8B,
          [](QByteArray &d, QByteArray &) { put(d, memoPointer(d, 1), "9999999999"); },
          "out of range",
          { 1 },
          false },
        { "dBASE IV memo length runs off",
          0x8B,
          [](QByteArray &, QByteArray &m) { put(m, 512 + 4, "\xFF\xFF\xFF\x7F"); },
          "runs past the end of the memo file",
          { 0 },
          false },
        { "dBASE IV memo length under 8",
          0x8B,
          [](QByteArray &, QByteArray &m) { put(m, 512 + 4, QByteArray("\x03\x00\x00\x00", 4)); },
          "shorter than its own header",
          { 0 },
          false },
        { "memo file too short",
          0x8B,
          [](QByteArray &, QByteArray &m) { m.truncate(10); },
          "cannot be read",
          { 0, 1, 2 },
          true },
        { "memo file missing",
          0x8B,
          [](QByteArray &, QByteArray &m) { m = QByteArray(); },
          "memo file t.dbt is missing",
          { 0, 1, 2 },
          true },
        { "FoxPro memo length runs off",
          0x30,
          [](QByteArray &, QByteArray &m) { put(m, 512 + 4, "\x7F\xFF\xFF\xFF"); },
          "runs past the end of the memo file",
          { 0 },
          false },
        { "FoxPro memo pointer into the header",
          0x30,
          [](QByteArray &d, QByteArray &) { put(d, headerLength(d) + 1 + 5 + 4, le32Bytes(3)); },
          "inside the memo file header",
          { 0 },
          false },
        { "FoxPro memo pointer past the end",
          0x30,
          [](QByteArray &d, QByteArray &) { put(d, headerLength(d) + 1 + 5 + 4, le32Bytes(0xFFFFFFF0u)); },
          "past the end of the memo file",
          { 0 },
          false },
        { "FoxPro memo block header cut",
          0x30,
          [](QByteArray &, QByteArray &m) { m.truncate(516); },
          "memo",
          { 0, 1, 2 },
          false },
    };
    return list;
}
} // namespace

void TestDbf::malformed_data()
{
    QTest::addColumn<int>("which");
    for (int i = 0; i < corruptions().size(); ++i)
        QTest::newRow(corruptions()[i].name) << i;
}

namespace {

// A table with fields S C(5), N and M memo and three records ("r<i>", i and
// a memo of 100*(i+1) letters), written by our own driver: its bytes and
// its memo file's.
void freshTable(int version, QByteArray &table, QByteArray &memo, QString &memoName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.dbf"));
    const TableDriver &driver = version == 0x30 ? foxproDriver() : dbaseDriver();
    CreateOptions options;
    options.version = version;
    FieldDefs defs { FieldDef("S", FieldType::String, 5), FieldDef("N", FieldType::Integer, 0, 0, true),
                     FieldDef("M", FieldType::Memo) };
    if (version != 0x30)
        defs[1] = FieldDef("N", FieldType::BCD, 6);
    driver.create(path, defs, options);
    {
        auto t = driver.open(path, false);
        for (int i = 0; i < 3; ++i)
            t->insert(i, { QStringLiteral("r%1").arg(i), i, freshMemo(i) });
    }
    const QString memoPath = driver.files(path).value(1);
    table = fileBytes(path);
    memo = fileBytes(memoPath);
    memoName = QFileInfo(memoPath).fileName();
}

} // namespace

void TestDbf::malformed()
{
    QFETCH(int, which);
    const Corruption &c = corruptions()[which];

    QByteArray table, memo;
    QString memoName;
    freshTable(c.version, table, memo, memoName);
    {
        // The fresh copy reads.
        auto t = open(table, memo, memoName);
        readEverything(*t);
        QCOMPARE(t->recordCount(), 3);
    }
    c.change(table, memo);
    try {
        auto t = open(table, memo, memoName);
        readEverything(*t);
        QFAIL("the damage went unnoticed");
    } catch (const EngineError &e) {
        const QString m = e.message();
        QVERIFY2(m.startsWith(QLatin1String("t.dbf: ")) || m.startsWith(memoName + QLatin1String(": ")),
                 qPrintable(m));
        QVERIFY2(m.contains(QLatin1String(c.message)), qPrintable(m));
    }
}

void TestDbf::memoDamage_data()
{
    QTest::addColumn<int>("which");
    for (int i = 0; i < memoDamages().size(); ++i)
        QTest::newRow(memoDamages()[i].name) << i;
}

void TestDbf::memoDamage()
{
    QFETCH(int, which);
    const MemoDamage &c = memoDamages()[which];

    QByteArray table, memo;
    QString memoName;
    freshTable(c.version, table, memo, memoName);
    c.change(table, memo);
    auto t = openDbf(memory(table), memo.isNull() ? nullptr : memory(memo, memoName), false);
    QCOMPARE(t->recordCount(), 3);
    Record rec;
    for (int i = 0; i < 3; ++i) {
        t->read(i, rec);
        QCOMPARE(rec[0].toString(), QStringLiteral("r%1").arg(i));
        QCOMPARE(rec[1].toInt(), i);
        if (c.lost.contains(i)) {
            QVERIFY2(rec[2].isNull(), qPrintable(rec[2].toString().left(20)));
            QVERIFY(t->readField(i, 2).isNull());
        } else {
            QCOMPARE(rec[2].toString(), freshMemo(i));
        }
    }
    const QStringList warnings = t->warnings();
    QVERIFY2(warnings.join(u'|').contains(QLatin1String(c.message)), qPrintable(warnings.join(u'|')));
    QCOMPARE(t->readOnly(), c.wholeFile);
    if (c.wholeFile) {
        QVERIFY2(t->readOnlyReason().contains(QLatin1String(c.message)), qPrintable(t->readOnlyReason()));
        QCOMPARE(warnings.size(), 1);
        QVERIFY_THROWS_EXCEPTION(EngineError, t->insert(3, { QStringLiteral("x"), 1, QStringLiteral("m") }));
    } else {
        // One warning per lost value, naming its record and field, however
        // often the value is read.
        QCOMPARE(warnings.size(), c.lost.size());
        for (int i : c.lost)
            QVERIFY2(warnings.join(u'|').contains(QStringLiteral("record %1, field M: ").arg(i + 1)),
                     qPrintable(warnings.join(u'|')));
    }
}

void TestDbf::flippedBytesNeverCrash()
{
    // Every byte of the headers and of the first record, and every memo
    // header byte, set to 0x00 and to 0xFF: the table opens and reads, or
    // fails with an EngineError. The sanitizers watch for the rest.
    for (int version : { 0x83, 0x8B, 0xF5, 0x30 }) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.dbf"));
        const TableDriver &driver = version >= 0x30 ? foxproDriver() : dbaseDriver();
        CreateOptions options;
        options.version = version;
        FieldDefs defs { FieldDef("S", FieldType::String, 5), FieldDef("M", FieldType::Memo),
                         FieldDef("D", FieldType::Date) };
        if (version == 0x30)
            defs.push_back(FieldDef("T", FieldType::DateTime));
        driver.create(path, defs, options);
        {
            auto t = driver.open(path, false);
            for (int i = 0; i < 2; ++i) {
                Record rec { QStringLiteral("abc"), QStringLiteral("memo text"), QDate(2020, 1, 2) };
                if (version == 0x30)
                    rec.push_back(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
                t->insert(i, rec);
            }
        }
        const QString memoPath = driver.files(path).value(1);
        const QByteArray table = fileBytes(path), memo = fileBytes(memoPath);
        const QString memoName = QFileInfo(memoPath).fileName();
        const int tableSpan
            = std::min<int>(table.size(), headerLength(table) + dbf::le16(table.constData() + 10));
        int failures = 0, tries = 0;
        auto attempt = [&](const QByteArray &d, const QByteArray &m) {
            ++tries;
            try {
                auto t = openDbf(memory(d), memory(m, memoName), false);
                readEverything(*t);
                t->insert(t->recordCount(), { QStringLiteral("new"), QStringLiteral("new memo") });
            } catch (const EngineError &e) {
                ++failures;
                QVERIFY2(e.message().startsWith(QLatin1String("t.dbf: ")) || e.message().startsWith(memoName),
                         qPrintable(e.message()));
            }
        };
        for (int i = 0; i < tableSpan; ++i)
            for (char v : { '\x00', '\xFF' }) {
                QByteArray d = table;
                d[i] = v;
                attempt(d, memo);
            }
        for (int i = 0; i < 32; ++i)
            for (char v : { '\x00', '\xFF' }) {
                QByteArray m = memo;
                m[i] = v;
                attempt(table, m);
            }
        QVERIFY(tries > 0);
        QVERIFY(failures > 0); // some damage is always found
    }
}

void TestDbf::lazyOpen()
{
    // A million records: opening and reading the first 50 touches only
    // the start of the file; counting reads the delete flags once.
    const int records = 1000000;
    const int recLen = 11;
    QByteArray bytes = DbfBytes().field("ID", 'C', 10).bytes();
    bytes.chop(1);
    const int headerLen = bytes.size();
    bytes.reserve(headerLen + qsizetype(records) * recLen + 1);
    int live = 0;
    for (int i = 0; i < records; ++i) {
        const bool deleted = i % 1000 == 999;
        bytes += deleted ? '*' : ' ';
        bytes += QByteArray::number(i).leftJustified(10, ' ');
        live += deleted ? 0 : 1;
    }
    bytes += '\x1A';
    dbf::putLe32(bytes.data() + 4, records);

    auto counting = std::make_unique<CountingFile>(bytes, QStringLiteral("big.dbf"));
    const CountingFile *file = counting.get();
    auto t = openDbf(std::move(counting), nullptr, true);
    QVERIFY(file->furthest <= headerLen);
    Record rec;
    for (int i = 0; i < 50; ++i) {
        t->read(i, rec);
        QCOMPARE(rec[0].toString(), QString::number(i));
    }
    const qint64 window = headerLen + dbf::DbfTable::kBlockRecords * recLen;
    QVERIFY2(file->furthest <= window, qPrintable(QString::number(file->furthest)));
    QVERIFY(file->bytesRead < 2 * window);

    QCOMPARE(t->recordCount(), live);
    const qint64 afterCount = file->bytesRead;
    QVERIFY(afterCount < 2 * bytes.size());
    QCOMPARE(t->recordCount(), live);
    // Reading one field far in reads that block's flags and one window of
    // records within the block (a scan then goes on from memory).
    const qint64 block = dbf::DbfTable::kBlockRecords * recLen;
    QCOMPARE(t->readField(live - 1, 0).toString(), QString::number(records - 2));
    QVERIFY(file->bytesRead - afterCount <= 2 * block + 16);
    const qint64 before = file->bytesRead;
    QCOMPARE(t->readField(500000, 0).toString(), QString::number(500000 + 500));
    QVERIFY(file->bytesRead - before <= 2 * block + 16);
    const qint64 beforeNext = file->bytesRead;
    QCOMPARE(t->readField(500001, 0).toString(), QString::number(500001 + 500));
    QCOMPARE(file->bytesRead, beforeNext); // the next record is in the window already
}

// The fuzz targets, replayed on their seeds and on every input that once broke them.
void TestDbf::dbfFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_dbf");
}

void TestDbf::dbfFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::dbfInput);
}

void TestDbf::memoFuzzInputs_data()
{
    qvx::test::fuzzInputRows("fuzz_memo");
}

void TestDbf::memoFuzzInputs()
{
    qvx::test::replayFuzzInput(qvx::fuzz::memoInput);
}

QTEST_GUILESS_MAIN(TestDbf)
#include "tst_dbf.moc"
