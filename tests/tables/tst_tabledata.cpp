// The field type catalogue: codes to display names and names back to codes.
#include "tables/TableDataModule.h"

#include <QtTest>

class TableDataTest : public QObject {
    Q_OBJECT
    TTableData data;

private slots:
    void fieldTypeName_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << 0 << "Unknown";
        QTest::newRow("string") << 1 << "String";
        QTest::newRow("small") << 2 << "Small Integer";
        QTest::newRow("bcd") << 8 << "BCD (Binary-Code Decimal)";
        QTest::newRow("datetime") << 11 << "Date and Time";
        QTest::newRow("autoinc") << 14 << "Auto-incremeting";
        QTest::newRow("blob") << 15 << "Binary Large OBject";
        QTest::newRow("graphic") << 17 << "Bitmap";
        QTest::newRow("typed") << 21 << "Typed Binary";
        QTest::newRow("large") << 25 << "Lagre integer";
        QTest::newRow("adt") << 26 << "Abstract Data Type";
        QTest::newRow("dataset") << 29 << "Data Set";
        // No name: the text keeps what it held.
        QTest::newRow("word") << 4 << "kept";
        QTest::newRow("30") << 30 << "kept";
        QTest::newRow("negative") << -1 << "kept";
    }
    void fieldTypeName()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QString text = QStringLiteral("kept");
        data.FieldTypeName(code, text);
        QCOMPARE(text, name);
    }

    void nameToCode_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("pick small lower") << "pick"
                                          << "Small integer" << 2;
        QTest::newRow("pick small upper") << "pick"
                                          << "Small Integer" << 0;
        QTest::newRow("pick date and time") << "pick"
                                            << "Date and time" << 11;
        QTest::newRow("pick blob") << "pick"
                                   << "Binary large object" << 15;
        QTest::newRow("pick data set") << "pick"
                                       << "Data set" << 29;
        QTest::newRow("pick dbase ole") << "pick"
                                        << "dBASE OLE" << 20;
        QTest::newRow("pick paradox ole") << "pick"
                                          << "Paradox OLE" << 19;
        QTest::newRow("pick empty") << "pick"
                                    << "" << 0;
        QTest::newRow("dbase character") << "dbase"
                                         << "CHARACTER" << 1;
        QTest::newRow("dbase lower") << "dbase"
                                     << "character" << 0;
        QTest::newRow("dbase binary") << "dbase"
                                      << "BINARY" << 8;
        QTest::newRow("dbase number") << "dbase"
                                      << "NUMBER" << 3;
        QTest::newRow("dbase ole") << "dbase"
                                   << "OLE" << 20;
        QTest::newRow("dbase empty") << "dbase"
                                     << "" << 0;
        QTest::newRow("paradox money") << "paradox"
                                       << "$(Money)" << 7;
        QTest::newRow("paradox bare money") << "paradox"
                                            << "Money" << 0;
        QTest::newRow("paradox long") << "paradox"
                                      << "LongInteger" << 25;
        QTest::newRow("paradox fmt memo") << "paradox"
                                          << "FormatedMemo" << 18;
        QTest::newRow("paradox autoinc") << "paradox"
                                         << "+(Autoincrement)" << 14;
        QTest::newRow("paradox logical") << "paradox"
                                         << "Logical" << 5;
        QTest::newRow("paradox ole") << "paradox"
                                     << "OLE" << 19;
        QTest::newRow("paradox empty") << "paradox"
                                       << "" << 0;
    }
    void nameToCode()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, name);
        QFETCH(int, code);
        const int got = catalogue == "pick" ? data.FieldTypeCode(name)
            : catalogue == "dbase"          ? data.DBaseTypeCode(name)
                                            : data.ParadoxTypeCode(name);
        QCOMPARE(got, code);
    }

    // Every pick-list name must lead back to a code whose display name is the
    // same words: the two lists may differ only in capitals.
    void pickListAgreesWithDisplayNames()
    {
        for (int code = 0; code <= 29; ++code) {
            if (code == 4)
                continue;
            QString display;
            data.FieldTypeName(code, display);
            QVERIFY(!display.isEmpty());
            if (code == 22)
                continue; // same text in both lists, checked below
            bool found = false;
            for (const QString &candidate :
                 { display, display.toLower(), display.left(1) + display.mid(1).toLower() }) {
                if (data.FieldTypeCode(candidate) == code)
                    found = true;
            }
            if (code == 19 || code == 20)
                found = data.FieldTypeCode(display) == code;
            QVERIFY2(found, qPrintable(display));
        }
        QCOMPARE(data.FieldTypeCode("Output cursor (ORACLE)"), 22);
    }
};

QTEST_GUILESS_MAIN(TableDataTest)
#include "tst_tabledata.moc"
