// The table of file kinds: what a file name and each open-dialog entry mean,
// and the filters the load commands show, spelled as users know them.
#include "engine/FileKinds.h"
#include "engine/Table.h"
#include "engine/TableWriter.h"

#include <QtTest>

using namespace qvx;

class TestFileKinds : public QObject {
    Q_OBJECT
private slots:
    void byName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("document"); // DocumentKind
        QTest::addColumn<int>("tableType"); // Table::typeForExtension
        QTest::addColumn<int>("writeType"); // -1: not written
        QTest::addColumn<int>("packetFormat");
        const int none = -1;
        const int local = int(DocumentKind::LocalTable), sql = int(DocumentKind::SqlText),
                  packet = int(DocumentKind::DataPacket);
        const int bin = int(PacketFormat::Binary), xml = int(PacketFormat::Xml);
        QTest::newRow("dbf") << "/d/parts.dbf" << true << local << int(Table::DBase) << int(Table::DBase)
                             << bin;
        QTest::newRow("DBF upper case")
            << "PARTS.DBF" << true << local << int(Table::DBase) << int(Table::DBase) << bin;
        QTest::newRow("db") << "parts.db" << true << local << int(Table::Paradox) << int(Table::Paradox)
                            << bin;
        QTest::newRow("txt") << "parts.txt" << true << local << int(Table::Ascii) << int(Table::Ascii) << bin;
        QTest::newRow("sql") << "query.sql" << true << sql << int(Table::Default) << none << bin;
        QTest::newRow("xml") << "parts.xml" << true << packet << int(Table::Default) << int(Table::Default)
                             << xml;
        QTest::newRow("cds") << "parts.cds" << true << packet << int(Table::Default) << int(Table::Default)
                             << bin;
        QTest::newRow("unknown") << "notes.csv" << false << none << int(Table::Default) << none << bin;
        QTest::newRow("no extension") << "dbf" << false << none << int(Table::Default) << none << bin;
        QTest::newRow("only the last extension")
            << "parts.dbf.bak" << false << none << int(Table::Default) << none << bin;
    }

    void byName()
    {
        QFETCH(QString, name);
        QFETCH(bool, known);
        QFETCH(int, document);
        QFETCH(int, tableType);
        QFETCH(int, writeType);
        QFETCH(int, packetFormat);
        const FileKind *kind = fileKindForName(name);
        QCOMPARE(kind != nullptr, known);
        if (kind)
            QCOMPARE(int(kind->document), document);
        QCOMPARE(Table::typeForExtension(name), tableType);
        const std::optional<WriteTarget> target = writeTargetForFileName(name);
        QCOMPARE(target.has_value(), writeType >= 0);
        if (target) {
            QCOMPARE(target->tableType, writeType);
            QCOMPARE(int(target->packetFormat), packetFormat);
        }
    }

    void filters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("load from file")
            << FileFilter::loadAny().text()
            << "XML Document|*.xml|SQL Table|*.sql|DBASE Table|*.dbf|Fox Pro Table|*.dbf|Paradox "
               "Table|*.db|ASCII Table|*.txt";
        QTest::newRow("local table")
            << FileFilter::localTables().text()
            << "Paradox Table|*.db|DBASE Table|*.dbf|Fox Pro Table|*.dbf|ASCII Table|*.txt";
        QTest::newRow("SQL table") << FileFilter::forDocument(DocumentKind::SqlText).text()
                                   << "SQL Table|*.sql";
        QTest::newRow("XML document")
            << FileFilter::forDocument(DocumentKind::DataPacket).text() << "XML Document|*.xml";
    }

    void filters()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    // The entry the dialog reports, counted from 1, names its row; the two
    // ".dbf" entries are distinct rows with their own table types.
    void filterEntries()
    {
        const FileFilter any = FileFilter::loadAny();
        QCOMPARE(any.size(), 6);
        QVERIFY(!any.entry(0));
        QVERIFY(!any.entry(7));
        QCOMPARE(any.entry(1)->document, DocumentKind::DataPacket);
        QCOMPARE(any.entry(2)->document, DocumentKind::SqlText);
        QCOMPARE(any.entry(3)->tableType, int(Table::DBase));
        QCOMPARE(any.entry(4)->tableType, int(Table::FoxPro));
        QCOMPARE(any.entry(5)->tableType, int(Table::Paradox));
        QCOMPARE(any.entry(6)->tableType, int(Table::Ascii));
        const FileFilter local = FileFilter::localTables();
        for (int i = 1; i <= local.size(); ++i)
            QCOMPARE(local.entry(i)->document, DocumentKind::LocalTable);
        QCOMPARE(openableExtensionsText(), QStringLiteral(".xml, .sql, .dbf, .db, .txt or .cds"));
        QCOMPARE(writableExtensionsText(), QStringLiteral(".xml, .dbf, .db, .txt or .cds"));
    }
};

QTEST_GUILESS_MAIN(TestFileKinds)
#include "tst_filekinds.moc"
