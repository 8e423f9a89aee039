// Form design files: a design reads back as written, and a file that is no
// design, or a design with something out of bounds, is refused with a
// message naming the file and the fault.
#include "engine/EngineError.h"
#include "engine/FormDesign.h"
#include "fuzz/fuzz_form_design.h"
#include "fuzz_replay.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qvx;

namespace {

FormDesign sample()
{
    FormDesign d;
    d.designer = QStringLiteral("result");
    d.statement = { QStringLiteral("SELECT *"), QStringLiteral("FROM \"parts.db\"") };
    FormDesignControl label { QStringLiteral("Label"),
                              QStringLiteral("Label1"),
                              QStringLiteral("Näme"),
                              {},
                              10,
                              0,
                              100,
                              20,
                              QStringLiteral("#f0f0f0"),
                              QStringLiteral("#000000"),
                              QStringLiteral("MS Sans Serif"),
                              8,
                              1,
                              false };
    FormDesignControl memo { QStringLiteral("Memo"),
                             QStringLiteral("Memo2"),
                             QStringLiteral("Note"),
                             QStringLiteral("parts.Note"),
                             -5,
                             44,
                             200,
                             100,
                             QStringLiteral("#ece9d8"),
                             QStringLiteral("#000080"),
                             QStringLiteral("Serif"),
                             12,
                             6,
                             true };
    d.controls = { label, memo };
    return d;
}

} // namespace

class FormDesignTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("parts.json"));
        saveFormDesign(path, sample());
        QCOMPARE(loadFormDesign(path), sample());
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("replace"); // in the sample's document: "from" -> "to"
        QTest::addColumn<QByteArray>("with");
        QTest::addColumn<QString>("message");
        QTest::newRow("not json") << QByteArray("{") << QByteArray("[") << "not a form design";
        QTest::newRow("other format")
            << QByteArray("quorvex-form-design") << QByteArray("other") << "\"format\"";
        QTest::newRow("version") << QByteArray("\"version\": 1") << QByteArray("\"version\": 2") << "version";
        QTest::newRow("designer") << QByteArray("\"result\"") << QByteArray("\"table\"") << "\"designer\"";
        QTest::newRow("kind for a search form")
            << QByteArray("\"result\"") << QByteArray("\"search\"") << "no controls of kind \"Memo\"";
        QTest::newRow("name twice") << QByteArray("Memo2") << QByteArray("Label1") << "used twice";
        QTest::newRow("colour") << QByteArray("#ece9d8") << QByteArray("beige") << "#rrggbb";
        QTest::newRow("width") << QByteArray("\"width\": 200") << QByteArray("\"width\": -1") << "\"width\"";
        QTest::newRow("fraction") << QByteArray("\"top\": 44") << QByteArray("\"top\": 4.5") << "\"top\"";
        QTest::newRow("no field") << QByteArray("parts.Note") << QByteArray("") << "stands for no field";
        QTest::newRow("bordered") << QByteArray("\"bordered\": true") << QByteArray("\"bordered\": 1")
                                  << "\"bordered\"";
    }
    void refused()
    {
        QFETCH(QByteArray, replace);
        QFETCH(QByteArray, with);
        QFETCH(QString, message);
        QByteArray doc = writeFormDesign(sample());
        QVERIFY2(doc.contains(replace), doc.constData());
        doc.replace(replace, with);
        try {
            readFormDesign(doc, QStringLiteral("/tmp/form.json"));
            QFAIL("the design was read");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(QLatin1String("/tmp/form.json: ")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    void formDesignFuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_form_design"); }
    void formDesignFuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::formDesignInput); }
};

QTEST_MAIN(FormDesignTest)
#include "tst_formdesign.moc"
