// Key and FOR expressions of index files, parsed against a table's fields and
// evaluated over records laid out by hand: their types, lengths and values,
// conditions, the errors a bad expression gives, and case changes in the
// table's code page.
#include "engine/EngineError.h"
#include "engine/formats/common/CodePage.h"
#include "engine/index/KeyExpression.h"
#include "fuzz/fuzz_keyexpr.h"
#include "fuzz_replay.h"

#include <QMap>
#include <QtEndian>
#include <QtTest>

#include <bit>

using namespace qvx;
using namespace qvx::index;

Q_DECLARE_METATYPE(qvx::index::KeyType)

namespace {

// The fields of the test table, at their offsets after the deletion flag.
std::vector<ExprField> testFields()
{
    std::vector<ExprField> fields;
    int offset = 1;
    auto add = [&](const char *name, char type, int length, int decimals = 0) {
        fields.push_back({ QLatin1String(name), type, offset, length, decimals });
        offset += length;
    };
    add("NAME", 'C', 10);
    add("FIRST", 'C', 6);
    add("PRICE", 'N', 8, 2);
    add("QTY", 'N', 5);
    add("BORN", 'D', 8);
    add("PAID", 'L', 1);
    add("NOTES", 'M', 10);
    add("COUNT", 'I', 4);
    add("RATE", 'B', 8);
    add("COST", 'Y', 8);
    add("PIC", 'G', 10);
    return fields;
}

// A record of the test table: each named field's text left-aligned (numbers
// right-aligned), binary fields as given; the rest blank.
QByteArray record(const QMap<QString, QByteArray> &values, bool deleted = false)
{
    const std::vector<ExprField> fields = testFields();
    QByteArray r(fields.back().offset + fields.back().length, ' ');
    r[0] = deleted ? '*' : ' ';
    for (const ExprField &f : fields) {
        QByteArray v = values.value(f.name);
        if (f.type == 'I' || f.type == 'B' || f.type == 'Y')
            v = v.isEmpty() ? QByteArray(f.length, '\0') : v;
        else if (f.type == 'N')
            v = v.rightJustified(f.length, ' ', true);
        else
            v = v.leftJustified(f.length, ' ', true);
        r.replace(f.offset, f.length, v);
    }
    return r;
}

template<typename T> QByteArray littleEndian(T value)
{
    QByteArray b(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, b.data());
    return b;
}

const common::TextCodec &cp1252()
{
    static const common::TextCodec codec(QStringLiteral("windows-1252"));
    return codec;
}

} // namespace

class KeyExpressionTest : public QObject {
    Q_OBJECT

private slots:
    void characterKeys_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QByteArray>("rec");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("value");
        const QByteArray smith = record({ { "NAME", "Smith" },
                                          { "FIRST", "Ann" },
                                          { "PRICE", "12.50" },
                                          { "QTY", "7" },
                                          { "BORN", "19991231" } });
        QTest::newRow("bare field") << "NAME" << smith << 10 << QByteArray("Smith     ");
        QTest::newRow("alias and lower case") << "cust->name" << smith << 10 << QByteArray("Smith     ");
        QTest::newRow("concatenation") << "NAME+FIRST" << smith << 16 << QByteArray("Smith     Ann   ");
        QTest::newRow("trim then concatenate")
            << "TRIM(NAME)+FIRST" << smith << 16 << QByteArray("SmithAnn        ");
        QTest::newRow("minus moves spaces to the end")
            << "NAME-FIRST" << smith << 16 << QByteArray("SmithAnn        ");
        QTest::newRow("minus inside a longer key")
            << "(NAME-\",\")+FIRST" << smith << 17 << QByteArray("Smith,     Ann   ");
        QTest::newRow("upper") << "UPPER(NAME)" << smith << 10 << QByteArray("SMITH     ");
        QTest::newRow("lower") << "LOWER(NAME)" << smith << 10 << QByteArray("smith     ");
        QTest::newRow("abbreviated names") << "uppe(subs(NAME,2,3))" << smith << 3 << QByteArray("MIT");
        QTest::newRow("substr without length") << "SUBSTR(NAME,4)" << smith << 7 << QByteArray("th     ");
        QTest::newRow("substr of a trimmed value")
            << "SUBSTR(TRIM(NAME),4,5)" << smith << 5 << QByteArray("th   ");
        QTest::newRow("left and right")
            << "LEFT(NAME,3)+RIGHT(FIRST,4)" << smith << 7 << QByteArray("Smin   ");
        QTest::newRow("ltrim and alltrim")
            << "LTRIM(\"  a \")+ALLTRIM([ b ])+'|'" << smith << 8 << QByteArray("a b|    ");
        QTest::newRow("dtos") << "DTOS(BORN)+NAME" << smith << 18 << QByteArray("19991231Smith     ");
        QTest::newRow("dtos of a blank date") << "DTOS(BORN)" << record({}) << 8 << QByteArray(8, ' ');
        QTest::newRow("dtos of a bad date")
            << "DTOS(BORN)" << record({ { "BORN", "19990230" } }) << 8 << QByteArray(8, ' ');
        QTest::newRow("dtos of date arithmetic") << "DTOS(BORN+1)" << smith << 8 << QByteArray("20000101");
        QTest::newRow("dtoc") << "DTOC(BORN)" << smith << 8 << QByteArray("12/31/99");
        QTest::newRow("ctod back to dtos")
            << "DTOS(CTOD(\"02/29/2000\"))" << smith << 8 << QByteArray("20000229");
        QTest::newRow("str default width") << "STR(QTY)" << smith << 10 << QByteArray("         7");
        QTest::newRow("str width and decimals") << "STR(PRICE,8,2)" << smith << 8 << QByteArray("   12.50");
        QTest::newRow("str pads then concatenates")
            << "STR(QTY,3)+NAME" << smith << 13 << QByteArray("  7Smith     ");
        QTest::newRow("strzero negative") << "STRZERO(-5,4)" << smith << 4 << QByteArray("-005");
        QTest::newRow("padl with a character")
            << "PADL(TRIM(FIRST),5,\"0\")" << smith << 5 << QByteArray("00Ann");
        QTest::newRow("padr cuts") << "PADR(NAME,3)" << smith << 3 << QByteArray("Smi");
        QTest::newRow("iif takes the longer branch")
            << "IIF(QTY>5,LEFT(NAME,2),FIRST)" << smith << 6 << QByteArray("Sm    ");
        QTest::newRow("iif other branch")
            << "IIF(QTY>50,LEFT(NAME,2),FIRST)" << smith << 6 << QByteArray("Ann   ");
    }

    void characterKeys()
    {
        QFETCH(QString, expression);
        QFETCH(QByteArray, rec);
        QFETCH(int, length);
        QFETCH(QByteArray, value);
        const KeyExpression e(expression, testFields(), cp1252());
        QCOMPARE(e.type(), KeyType::Character);
        QCOMPARE(e.length(), length);
        const KeyValue v = e.evaluate(rec.constData());
        QCOMPARE(v.type, KeyType::Character);
        QCOMPARE(v.text, value);
    }

    // STR rounds half away from zero on the number as written, and gives
    // asterisks when the number does not fit.
    void strRounding_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("half up") << "STR(2.5,3)" << QByteArray("  3");
        QTest::newRow("negative half away from zero") << "STR(-2.5,3)" << QByteArray(" -3");
        QTest::newRow("written 2.675 rounds up") << "STR(2.675,6,2)" << QByteArray("  2.68");
        QTest::newRow("carry into a new digit") << "STR(9.995,6,2)" << QByteArray(" 10.00");
        QTest::newRow("negative rounding to zero has no sign") << "STR(-0.004,5,2)" << QByteArray(" 0.00");
        QTest::newRow("small number") << "STR(0.0000001,5,2)" << QByteArray(" 0.00");
        QTest::newRow("fits exactly") << "STR(-1234,5)" << QByteArray("-1234");
        QTest::newRow("overflow") << "STR(123456,5)" << QByteArray("*****");
        QTest::newRow("overflow by the decimals") << "STR(123.4,5,2)" << QByteArray("*****");
        QTest::newRow("huge number") << "STR(VAL(\"1e300\")*VAL(\"1e300\"),4)" << QByteArray("****");
        QTest::newRow("strzero overflow stays asterisks") << "STRZERO(123456,3)" << QByteArray("***");
        QTest::newRow("product of fields") << "STR(PRICE*QTY,10,2)" << QByteArray("     87.50");
    }

    void strRounding()
    {
        QFETCH(QString, expression);
        QFETCH(QByteArray, value);
        const QByteArray rec = record({ { "PRICE", "12.50" }, { "QTY", "7" } });
        QCOMPARE(KeyExpression(expression, testFields(), cp1252()).evaluate(rec.constData()).text, value);
    }

    void numericKeys_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QByteArray>("rec");
        QTest::addColumn<KeyType>("type");
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("decimals");
        const QByteArray r = record({ { "PRICE", "-12.25" },
                                      { "QTY", "  7" },
                                      { "BORN", "20000301" },
                                      { "COUNT", littleEndian<qint32>(-42) },
                                      { "RATE", littleEndian<quint64>(std::bit_cast<quint64>(0.125)) },
                                      { "COST", littleEndian<qint64>(123456) } });
        const double born = double(QDate(2000, 3, 1).toJulianDay());
        QTest::newRow("N field keeps its width") << "PRICE" << r << KeyType::Numeric << -12.25 << 8 << 2;
        QTest::newRow("blank N field is zero") << "QTY" << record({}) << KeyType::Numeric << 0.0 << 5 << 0;
        QTest::newRow("garbage N field is zero")
            << "PRICE" << record({ { "PRICE", "12x.5" } }) << KeyType::Numeric << 0.0 << 8 << 2;
        QTest::newRow("arithmetic") << "PRICE*QTY+1" << r << KeyType::Numeric << -84.75 << 10 << 0;
        QTest::newRow("division by zero is zero") << "QTY/0" << r << KeyType::Numeric << 0.0 << 10 << 0;
        QTest::newRow("negation keeps the width") << "-PRICE" << r << KeyType::Numeric << 12.25 << 8 << 2;
        QTest::newRow("val") << "VAL(\" -3.5xyz\")" << r << KeyType::Numeric << -3.5 << 10 << 0;
        QTest::newRow("I field") << "COUNT" << r << KeyType::Numeric << -42.0 << 11 << 0;
        QTest::newRow("B field") << "RATE" << r << KeyType::Numeric << 0.125 << 20 << 0;
        QTest::newRow("Y field") << "COST" << r << KeyType::Numeric << 12.3456 << 20 << 4;
        QTest::newRow("D field") << "BORN" << r << KeyType::Date << born << 8 << 0;
        QTest::newRow("blank D field") << "BORN" << record({}) << KeyType::Date << 0.0 << 8 << 0;
        QTest::newRow("date minus days") << "BORN-1" << r << KeyType::Date << born - 1 << 8 << 0;
        QTest::newRow("days between dates")
            << "BORN-CTOD(\"02/01/2000\")" << r << KeyType::Numeric << 29.0 << 10 << 0;
        QTest::newRow("year") << "YEAR(BORN)*100+MONTH(BORN)" << r << KeyType::Numeric << 200003.0 << 10 << 0;
    }

    void numericKeys()
    {
        QFETCH(QString, expression);
        QFETCH(QByteArray, rec);
        QFETCH(KeyType, type);
        QFETCH(double, number);
        QFETCH(int, length);
        QFETCH(int, decimals);
        const KeyExpression e(expression, testFields(), cp1252());
        QCOMPARE(e.type(), type);
        QCOMPARE(e.length(), length);
        QCOMPARE(e.decimals(), decimals);
        QCOMPARE(e.evaluate(rec.constData()).number, number);
    }

    void conditions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QByteArray>("rec");
        QTest::addColumn<bool>("result");
        const QByteArray r
            = record({ { "NAME", "Smith" }, { "QTY", "7" }, { "BORN", "19991231" }, { "PAID", "T" } });
        QTest::newRow("= is a prefix test") << "NAME = \"Smi\"" << r << true;
        QTest::newRow("= with a longer right side") << "\"AB\" = \"ABC\"" << r << false;
        QTest::newRow("= empty right side") << "\"ABC\" = \"\"" << r << true;
        QTest::newRow("== pads trailing spaces") << "NAME == \"Smith\"" << r << true;
        QTest::newRow("== refuses a prefix") << "NAME == \"Smi\"" << r << false;
        QTest::newRow("# not equal") << "NAME # \"Jones\"" << r << true;
        QTest::newRow("<> on a prefix") << "NAME <> \"Smi\"" << r << false;
        QTest::newRow("!= numbers") << "QTY != 7" << r << false;
        QTest::newRow("$ substring") << "\"mit\" $ NAME" << r << true;
        QTest::newRow("$ not found") << "\"MIT\" $ NAME" << r << false;
        QTest::newRow("upper trim exact") << "TRIM(UPPER(NAME))==\"SMITH\"" << r << true;
        QTest::newRow("and or precedence") << ".F. .AND. .F. .OR. .T." << r << true;
        QTest::newRow("not and bang") << ".NOT. PAID .OR. !(QTY > 5)" << r << false;
        QTest::newRow("dates compare")
            << "BORN < CTOD(\"01/01/2000\") .and. BORN >= CTOD('12/31/99')" << r << true;
        QTest::newRow("string order is byte order") << "\"Z\" < \"a\" .AND. \"b\" > \"a\"" << r << true;
        QTest::newRow("logical field") << "PAID" << r << true;
        QTest::newRow("logical field y") << "PAID" << record({ { "PAID", "y" } }) << true;
        QTest::newRow("logical field blank") << "PAID" << record({}) << false;
        QTest::newRow("logical literals") << ".Y. = .T. .AND. .N. == .F." << r << true;
        QTest::newRow("deleted") << "DELETED()" << record({}, true) << true;
        QTest::newRow("not deleted") << "!DELETED()" << record({}, true) << false;
        QTest::newRow("empty") << "EMPTY(NAME) .AND. EMPTY(BORN) .AND. EMPTY(QTY)" << record({}) << true;
        QTest::newRow("not empty") << "EMPTY(NAME)" << r << false;
    }

    void conditions()
    {
        QFETCH(QString, expression);
        QFETCH(QByteArray, rec);
        QFETCH(bool, result);
        const KeyExpression e(expression, testFields(), cp1252());
        QCOMPARE(e.type(), KeyType::Logical);
        QCOMPARE(e.test(rec.constData()), result);
        QCOMPARE(e.evaluate(rec.constData()).logical, result);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("unknown field") << "UPPER(NAM)"
                                       << "unknown field \"NAM\"";
        QTest::newRow("unknown function") << "UPPERCASE(NAME)"
                                          << "unknown function";
        QTest::newRow("short abbreviation") << "UPP(NAME)"
                                            << "unknown function";
        QTest::newRow("recno") << "STR(RECNO())"
                               << "RECNO";
        QTest::newRow("concatenating a number") << "NAME+QTY"
                                                << "type mismatch";
        QTest::newRow("upper of a date") << "UPPER(BORN)"
                                         << "type mismatch";
        QTest::newRow("iif branches differ") << "IIF(PAID,NAME,QTY)"
                                             << "type mismatch";
        QTest::newRow("and of a string") << "NAME .AND. PAID"
                                         << "type mismatch";
        QTest::newRow("missing close") << "UPPER(NAME"
                                       << "parenthes";
        QTest::newRow("extra close") << "UPPER(NAME))"
                                     << "parenthes";
        QTest::newRow("open paren missing close") << "(NAME+FIRST"
                                                  << "parenthes";
        QTest::newRow("memo field") << "NAME+NOTES"
                                    << "field NOTES of type M cannot be part of a key";
        QTest::newRow("general field") << "PIC"
                                       << "type G";
        QTest::newRow("too deep") << QString(65, '(') + "NAME" + QString(65, ')') << "deeper than 64";
        QTest::newRow("too deep with unary") << QString(70, '-') + "QTY"
                                             << "deeper than 64";
        QTest::newRow("too long") << "NAME" + QString(1030, ' ') << "longer than 1024";
        QTest::newRow("open string") << "NAME = \"Smi"
                                     << "not closed";
        QTest::newRow("trailing text") << "NAME FIRST"
                                       << "unexpected";
        QTest::newRow("empty") << "   "
                               << "empty";
        QTest::newRow("wrong argument count") << "SUBSTR(NAME)"
                                              << "arguments";
        QTest::newRow("str width not written out") << "STR(QTY,QTY)"
                                                   << "written out";
        QTest::newRow("string outside the code page") << "NAME = \"\u4e2d\""
                                                      << "code page";
        QTest::newRow("stray character") << "NAME @ 1"
                                         << "unexpected character";
    }

    void errors()
    {
        QFETCH(QString, expression);
        QFETCH(QString, fragment);
        try {
            KeyExpression e(expression, testFields(), cp1252());
            QFAIL(qPrintable("accepted: " + expression));
        } catch (const EngineError &error) {
            QVERIFY2(error.message().contains(fragment, Qt::CaseInsensitive), qPrintable(error.message()));
        }
    }

    // The limits refuse hostile input, not expressions of real files.
    void limitsLetRealExpressionsThrough()
    {
        const QString deep = QString(64, '(') + "NAME" + QString(64, ')');
        QCOMPARE(KeyExpression(deep, testFields(), cp1252()).length(), 10);
        QString many = "NAME";
        for (int i = 0; i < 150; ++i)
            many += "+\"x\"";
        QCOMPARE(KeyExpression(many, testFields(), cp1252()).length(), 160);
    }

    // Letters of the code page change case too, byte for byte; a letter
    // whose other case the code page lacks (or that grows to two letters)
    // keeps its byte.
    void caseInCodePage_data()
    {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("upper");
        QTest::addColumn<QByteArray>("lower");
        QTest::newRow("windows-1252") << "windows-1252" << QByteArray("caf\xe9 \xc0")
                                      << QByteArray("CAF\xc9 \xc0") << QByteArray("caf\xe9 \xe0");
        QTest::newRow("windows-1252 y diaeresis")
            << "windows-1252" << QByteArray("\xff") << QByteArray("\x9f") << QByteArray("\xff");
        QTest::newRow("sharp s keeps its byte")
            << "windows-1252" << QByteArray("\xdf") << QByteArray("\xdf") << QByteArray("\xdf");
        QTest::newRow("IBM850") << "IBM850" << QByteArray("\x82\x90\x81") << QByteArray("\x90\x90\x9a")
                                << QByteArray("\x82\x82\x81");
        QTest::newRow("ISO-8859-1 has no capital y diaeresis")
            << "ISO-8859-1" << QByteArray("\xff\xe9") << QByteArray("\xff\xc9") << QByteArray("\xff\xe9");
        QTest::newRow("UTF-8 changes ASCII only")
            << "UTF-8" << QByteArray("\xc3\xa9t\xc3\xa9") << QByteArray("\xc3\xa9T\xc3\xa9")
            << QByteArray("\xc3\xa9t\xc3\xa9");
    }

    void caseInCodePage()
    {
        QFETCH(QString, codePage);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, upper);
        QFETCH(QByteArray, lower);
        const common::TextCodec codec(codePage);
        const QByteArray rec = record({ { "NAME", text } });
        const QByteArray pad(10 - text.size(), ' ');
        QCOMPARE(KeyExpression("UPPER(NAME)", testFields(), codec).evaluate(rec.constData()).text,
                 upper + pad);
        QCOMPARE(KeyExpression("LOWER(NAME)", testFields(), codec).evaluate(rec.constData()).text,
                 lower + pad);
    }

    // A string literal becomes the code page's bytes, so it compares with a
    // field's bytes.
    void literalInCodePage()
    {
        const common::TextCodec codec(QStringLiteral("IBM850"));
        const KeyExpression e(QStringLiteral("NAME = \"caf\u00e9\""), testFields(), codec);
        QVERIFY(e.test(record({ { "NAME", "caf\x82" } }).constData()));
        QVERIFY(!e.test(record({ { "NAME", "cafe" } }).constData()));
    }

    void singleField_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<int>("field");
        QTest::newRow("bare") << "PRICE" << 2;
        QTest::newRow("alias and case") << "t->born" << 4;
        QTest::newRow("in parentheses") << "(QTY)" << 3;
        QTest::newRow("function") << "UPPER(NAME)" << -1;
        QTest::newRow("negated") << "-QTY" << -1;
        QTest::newRow("concatenation") << "NAME+FIRST" << -1;
    }

    void singleField()
    {
        QFETCH(QString, expression);
        QFETCH(int, field);
        QCOMPARE(KeyExpression(expression, testFields(), cp1252()).singleField(), field);
    }

    // Records holding any bytes at all read as values, never as a fault.
    void garbageRecords()
    {
        const char *expressions[]
            = { "UPPER(NAME)+DTOS(BORN)+STR(PRICE,8,2)", "PRICE*QTY/COUNT+RATE+COST",
                "SUBSTR(NAME,QTY,PRICE)+LEFT(FIRST,QTY)", "PAID .AND. BORN > BORN-QTY" };
        QByteArray rec(record({}).size(), '\0');
        for (const char *text : expressions) {
            const KeyExpression e(QLatin1String(text), testFields(), cp1252());
            for (int fill : { 0x00, 0xff, int('9'), int('-'), int('.') }) {
                rec.fill(char(fill));
                const KeyValue v = e.evaluate(rec.constData());
                QCOMPARE(v.type, e.type());
                if (e.type() == KeyType::Character)
                    QCOMPARE(v.text.size(), e.length());
                else
                    QVERIFY2(std::isfinite(v.number) || e.type() == KeyType::Logical, text);
            }
        }
    }

    void fuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_keyexpr"); }
    void fuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::keyExprInput); }
};

QTEST_GUILESS_MAIN(KeyExpressionTest)
#include "tst_keyexpression.moc"
