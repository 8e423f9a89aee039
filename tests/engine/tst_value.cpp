// Converting values into the form each field type holds them in, and back to text.
#include "engine/EngineError.h"
#include "engine/Value.h"

#include <QtTest>

using namespace qvx;

Q_DECLARE_METATYPE(qvx::FieldType)

class ValueTest : public QObject {
    Q_OBJECT

private slots:
    void canonicalDecimal_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("plain") << "12.50"
                               << "12.5";
        QTest::newRow("plus and zeros") << "+0012.500"
                                        << "12.5";
        QTest::newRow("negative zero") << "-0.00"
                                       << "0";
        QTest::newRow("no int part") << ".5"
                                     << "0.5";
        QTest::newRow("trailing point") << "7."
                                        << "7";
        QTest::newRow("huge") << "-12345678901234567890.123"
                              << "-12345678901234567890.123";
        QTest::newRow("spaces") << "  3  "
                                << "3";
        QTest::newRow("letters") << "12a"
                                 << "";
        QTest::newRow("two points") << "1.2.3"
                                    << "";
        QTest::newRow("sign only") << "-"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("arabic digits") << QString::fromUtf8("\u0661") << "";
    }
    void canonicalDecimal()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(qvx::canonicalDecimal(in), out);
    }

    void coerce_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<QVariant>("in");
        QTest::addColumn<QVariant>("out"); // invalid QVariant = null; a QString "!" = error
        const QVariant error = QStringLiteral("!");
        QTest::newRow("int from text") << FieldType::Integer << QVariant("-17") << QVariant(-17);
        QTest::newRow("int from whole double") << FieldType::Integer << QVariant(3.0) << QVariant(3);
        QTest::newRow("int from fraction") << FieldType::Integer << QVariant(3.5) << error;
        QTest::newRow("int overflow") << FieldType::Integer << QVariant(qint64(1) << 40) << error;
        QTest::newRow("small overflow") << FieldType::SmallInt << QVariant(40000) << error;
        QTest::newRow("word negative") << FieldType::Word << QVariant(-1) << error;
        QTest::newRow("large") << FieldType::LargeInt << QVariant("9000000000")
                               << QVariant(qint64(9000000000));
        QTest::newRow("empty text is null") << FieldType::Integer << QVariant("  ") << QVariant();
        QTest::newRow("empty string stays") << FieldType::String << QVariant("") << QVariant(QString(""));
        QTest::newRow("bool yes") << FieldType::Boolean << QVariant("Y") << QVariant(true);
        QTest::newRow("bool False") << FieldType::Boolean << QVariant("False") << QVariant(false);
        QTest::newRow("bool junk") << FieldType::Boolean << QVariant("maybe") << error;
        QTest::newRow("float text") << FieldType::Float << QVariant("1e3") << QVariant(1000.0);
        QTest::newRow("float junk") << FieldType::Float << QVariant("1,5") << error;
        QTest::newRow("bcd from text") << FieldType::BCD << QVariant("0012.340") << QVariant("12.34");
        QTest::newRow("bcd from int") << FieldType::BCD << QVariant(5) << QVariant("5");
        QTest::newRow("date compact")
            << FieldType::Date << QVariant("20240229") << QVariant(QDate(2024, 2, 29));
        QTest::newRow("date bad day") << FieldType::Date << QVariant("2023-02-29") << error;
        QTest::newRow("time ms") << FieldType::Time << QVariant("12:30:15.250")
                                 << QVariant(QTime(12, 30, 15, 250));
        QTest::newRow("datetime text") << FieldType::DateTime << QVariant("2000-01-01 12:30:15")
                                       << QVariant(QDateTime(QDate(2000, 1, 1), QTime(12, 30, 15), Qt::UTC));
        QTest::newRow("datetime from date") << FieldType::DateTime << QVariant(QDate(2001, 2, 3))
                                            << QVariant(QDateTime(QDate(2001, 2, 3), QTime(0, 0), Qt::UTC));
        QTest::newRow("bytes from text")
            << FieldType::Blob << QVariant(QString::fromUtf8("\u00e9")) << QVariant(QByteArray("\xc3\xa9"));
        QTest::newRow("null") << FieldType::String << QVariant() << QVariant();
    }
    void coerce()
    {
        QFETCH(FieldType, type);
        QFETCH(QVariant, in);
        QFETCH(QVariant, out);
        const FieldDef field(QStringLiteral("F"), type, 10, 2);
        if (out == QVariant(QStringLiteral("!"))) {
            QVERIFY_THROWS_EXCEPTION(EngineError, coerceValue(in, field));
            return;
        }
        const QVariant got = coerceValue(in, field);
        QCOMPARE(got.isValid(), out.isValid());
        if (out.isValid()) {
            QCOMPARE(got.typeId(), out.typeId());
            QCOMPARE(got, out);
        }
    }

    void toText_data()
    {
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("null") << FieldType::Integer << QVariant() << "";
        QTest::newRow("bool") << FieldType::Boolean << QVariant(true) << "True";
        QTest::newRow("float shortest") << FieldType::Float << QVariant(0.1) << "0.1";
        QTest::newRow("date") << FieldType::Date << QVariant(QDate(1999, 12, 31)) << "1999-12-31";
        QTest::newRow("time") << FieldType::Time << QVariant(QTime(8, 5, 0)) << "08:05:00";
        QTest::newRow("time ms") << FieldType::Time << QVariant(QTime(8, 5, 0, 7)) << "08:05:00.007";
        QTest::newRow("datetime") << FieldType::DateTime
                                  << QVariant(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 59), Qt::UTC))
                                  << "2026-03-01 23:59:59";
    }
    void toText()
    {
        QFETCH(FieldType, type);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(valueToText(value, type), text);
    }
};

QTEST_GUILESS_MAIN(ValueTest)
#include "tst_value.moc"
