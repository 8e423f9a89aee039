// Opening tables from the main window: the load commands and their filters,
// the window each filter entry opens, the state they leave, failures, "SQL
// Table" on the working query, "Save to file", and files named or dropped.
#include "support/AppFixture.h"
#include "support/ScriptedServices.h"

#include "app/ClientMenu.h"
#include "app/Program.h"
#include "query/SQLDataModule.h"
#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/XMLTable.h"
#include "ui/ErrorGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <memory>

using qvx::ui::FileDialogAnswer;

namespace {

const QString anyFilter = QStringLiteral("XML Document|*.xml|SQL Table|*.sql|DBASE Table|*.dbf|Fox Pro "
                                         "Table|*.dbf|Paradox Table|*.db|ASCII Table|*.txt");
const QString localFilter
    = QStringLiteral("Paradox Table|*.db|DBASE Table|*.dbf|Fox Pro Table|*.dbf|ASCII Table|*.txt");

} // namespace

class TestOpenTables : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loadFromFileOpensByFilterEntry_data();
    void loadFromFileOpensByFilterEntry();
    void loadCommandsUseTheirFilters_data();
    void loadCommandsUseTheirFilters();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void openedFromFileStaysSet();
    void dialogKeepsFileAndEntry();
    void emptyFileNameOpensNothing();
    void plainWindowCaptionAndSize();
    void missingFileLeavesEmptyWindow();
    void sqlWithoutRowsRunsOnceAndReports();
    void createSQLTable();
    void createSQLTableWithoutText();
    void saveToFileRoundTrip_data();
    void saveToFileRoundTrip();
    void saveToFileRefusals();
    void saveWithoutTableWindowShowsNothing();
    void openFileByExtension_data();
    void openFileByExtension();
    void droppedFilesOpen();
    void windowCommandsFollowTableWindows();
    void failureInOneCommandLeavesTheNextWorking();

private:
    std::unique_ptr<AppFixture> files;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    TMainForm *form = nullptr;
    void answer(const QString &name, int filterIndex)
    {
        services->openAnswers.push_back(FileDialogAnswer { files->path(name), filterIndex });
    }
    QWidget *activeChild() const
    {
        QMdiSubWindow *sub = form->MDIArea->activeSubWindow();
        return sub ? sub->widget() : nullptr;
    }
};

void TestOpenTables::init()
{
    files = std::make_unique<AppFixture>();
    services = std::make_unique<ScriptedServices>();
    program = std::make_unique<TProgram>();
    form = program->MainForm();
}

void TestOpenTables::cleanup()
{
    program.reset();
    services.reset();
    files.reset();
}

void TestOpenTables::loadFromFileOpensByFilterEntry_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<bool>("fails");
    QTest::newRow("1 XML Document") << "parts.xml" << 1 << "TXMLTableForm" << false;
    QTest::newRow("2 SQL Table") << "parts.sql" << 2 << "TSQLTableForm" << false;
    QTest::newRow("3 DBASE Table") << "parts.dbf" << 3 << "TBDETableForm" << false;
    QTest::newRow("4 Fox Pro Table") << "parts.dbf" << 4 << "TBDETableForm" << false;
    QTest::newRow("5 Paradox Table") << "parts.db" << 5 << "TBDETableForm" << false;
    QTest::newRow("6 ASCII Table") << "parts.txt" << 6 << "TBDETableForm" << false;
    // The entry decides, not the extension: a dBASE file under "XML
    // Document" opens an XML window, whose data set cannot read it.
    QTest::newRow("dbf under XML Document") << "parts.dbf" << 1 << "TXMLTableForm" << true;
    QTest::newRow("xml under DBASE Table") << "parts.xml" << 3 << "TBDETableForm" << true;
}

void TestOpenTables::loadFromFileOpensByFilterEntry()
{
    QFETCH(QString, file);
    QFETCH(int, filterIndex);
    QFETCH(QString, windowClass);
    QFETCH(bool, fails);
    answer(file, filterIndex);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();

    QCOMPARE(services->openRequests.size(), 1);
    QCOMPARE(services->openRequests.first().filter, anyFilter);
    QCOMPARE(form->ChildWindows().size(), 1);
    QWidget *child = activeChild();
    QVERIFY(child);
    QCOMPARE(QString::fromLatin1(child->metaObject()->className()), windowClass);
    QCOMPARE(child->windowTitle(), file);
    QCOMPARE(form->tableChoice().TableDir(), files->dir());
    QCOMPARE(form->tableChoice().TableName(), file);
    QVERIFY(form->tableChoice().OpenedFromFile());
    auto *table = qobject_cast<TTableForm *>(child);
    QVERIFY(table);
    if (fails) {
        QCOMPARE(services->errors().size(), 1);
        QVERIFY2(services->errors().first().contains(file), qPrintable(services->errors().first()));
        QVERIFY(!table->tableDataSet().isOpen());
    } else {
        QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
        QVERIFY(table->tableDataSet().isOpen());
        QCOMPARE(table->tableDataSet().recordCount(), 3);
    }
}

void TestOpenTables::loadCommandsUseTheirFilters_data()
{
    QTest::addColumn<QString>("commandName");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("windowClass");
    // Every entry of "Local Table" opens a plain window.
    QTest::newRow("Local Table, Paradox")
        << "LoadBDETable" << localFilter << "parts.db" << 1 << "TBDETableForm";
    QTest::newRow("Local Table, DBASE")
        << "LoadBDETable" << localFilter << "parts.dbf" << 2 << "TBDETableForm";
    QTest::newRow("Local Table, Fox Pro")
        << "LoadBDETable" << localFilter << "parts.dbf" << 3 << "TBDETableForm";
    QTest::newRow("Local Table, ASCII")
        << "LoadBDETable" << localFilter << "parts.txt" << 4 << "TBDETableForm";
    QTest::newRow("SQL Table") << "LoadSQLTable"
                               << "SQL Table|*.sql"
                               << "parts.sql" << 1 << "TSQLTableForm";
    QTest::newRow("XML Document") << "LoadXMLDocument"
                                  << "XML Document|*.xml"
                                  << "parts.xml" << 1 << "TXMLTableForm";
}

void TestOpenTables::loadCommandsUseTheirFilters()
{
    QFETCH(QString, commandName);
    QFETCH(QString, filter);
    QFETCH(QString, file);
    QFETCH(int, filterIndex);
    QFETCH(QString, windowClass);
    answer(file, filterIndex);
    form->command(commandName)->trigger();
    QCOMPARE(services->openRequests.first().filter, filter);
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
    QWidget *child = activeChild();
    QVERIFY(child);
    QCOMPARE(QString::fromLatin1(child->metaObject()->className()), windowClass);
    QCOMPARE(form->tableChoice().TableDir(), files->dir());
    QCOMPARE(form->tableChoice().TableName(), file);
    QVERIFY(!form->tableChoice().OpenedFromFile()); // only "Load from file" sets it
    QCOMPARE(qobject_cast<TTableForm *>(child)->tableDataSet().recordCount(), 3);
}

void TestOpenTables::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("commandName");
    QTest::newRow("Load from file") << "LoadTableFromFile";
    QTest::newRow("Local Table") << "LoadBDETable";
    QTest::newRow("SQL Table") << "LoadSQLTable";
    QTest::newRow("XML Document") << "LoadXMLDocument";
}

void TestOpenTables::cancelChangesNothing()
{
    QFETCH(QString, commandName);
    form->tableChoice().chooseAliasTable(QStringLiteral("/somewhere/"), QStringLiteral("before.dbf"));
    services->openAnswers.push_back(std::nullopt);
    form->command(commandName)->trigger();
    QCOMPARE(services->openRequests.size(), 1);
    QVERIFY(form->ChildWindows().isEmpty());
    QCOMPARE(form->tableChoice().TableDir(), QStringLiteral("/somewhere/"));
    QCOMPARE(form->tableChoice().TableName(), QStringLiteral("before.dbf"));
    QVERIFY(!form->tableChoice().OpenedFromFile());
}

void TestOpenTables::openedFromFileStaysSet()
{
    answer(QStringLiteral("parts.dbf"), 3);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    QVERIFY(form->tableChoice().OpenedFromFile());
    answer(QStringLiteral("parts.db"), 1);
    form->command(QStringLiteral("LoadBDETable"))->trigger();
    answer(QStringLiteral("parts.xml"), 1);
    form->command(QStringLiteral("LoadXMLDocument"))->trigger();
    services->openAnswers.push_back(std::nullopt);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    QVERIFY(form->tableChoice().OpenedFromFile());
    QCOMPARE(form->tableChoice().TableName(), QStringLiteral("parts.xml"));
    // Opening the same kind twice gives two windows.
    QCOMPARE(form->ChildWindows().size(), 3);
}

void TestOpenTables::dialogKeepsFileAndEntry()
{
    answer(QStringLiteral("parts.db"), 5);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    services->openAnswers.push_back(std::nullopt);
    form->command(QStringLiteral("LoadSQLTable"))->trigger();
    const qvx::ui::FileDialogRequest &second = services->openRequests.at(1);
    QCOMPARE(second.fileName, files->path(QStringLiteral("parts.db")));
    QCOMPARE(second.filterIndex, 5);
    QCOMPARE(second.filter, QStringLiteral("SQL Table|*.sql"));
}

void TestOpenTables::emptyFileNameOpensNothing()
{
    services->openAnswers.push_back(FileDialogAnswer { QString(), 3 });
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    QVERIFY(form->ChildWindows().isEmpty());
    QVERIFY(form->tableChoice().OpenedFromFile());
    QCOMPARE(form->tableChoice().TableDir(), QString());
    QCOMPARE(form->tableChoice().TableName(), QString());
}

void TestOpenTables::plainWindowCaptionAndSize()
{
    form->tableChoice().chooseFile(files->dir() + QStringLiteral("parts.dbf"));
    TBDETableForm *table = form->OpenBDETable();
    QCOMPARE(table->windowTitle(), QStringLiteral("parts.dbf"));
    QCOMPARE(table->BDETable.databaseName(), files->dir());
    QCOMPARE(table->BDETable.tableName(), QStringLiteral("parts.dbf"));
    QVERIFY(table->BDETable.isOpen());
    // At its minimum size.
    QCOMPARE(table->size(), table->minimumSize());
}

void TestOpenTables::missingFileLeavesEmptyWindow()
{
    answer(QStringLiteral("gone.dbf"), 2);
    form->command(QStringLiteral("LoadBDETable"))->trigger();
    QCOMPARE(services->errors().size(), 1);
    QVERIFY(services->errors().first().contains(QStringLiteral("gone.dbf")));
    QCOMPARE(form->ChildWindows().size(), 1);
    auto *table = qobject_cast<TBDETableForm *>(activeChild());
    QVERIFY(table);
    QCOMPARE(table->windowTitle(), QStringLiteral("gone.dbf"));
    QVERIFY(!table->BDETable.isOpen());
}

void TestOpenTables::sqlWithoutRowsRunsOnceAndReports()
{
    files->writeFile(QStringLiteral("add.sql"),
                     "INSERT INTO \"parts.dbf\" (NAME, QTY) VALUES (\"Bell\", 7)\n");
    answer(QStringLiteral("add.sql"), 2);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    QCOMPARE(services->errors(), QStringList({ "The SQL statement returns no result set" }));
    auto *table = qobject_cast<TSQLTableForm *>(activeChild());
    QVERIFY(table);
    QCOMPARE(table->windowTitle(), QStringLiteral("add.sql"));
    QVERIFY(!table->Query.isOpen());
    // The statement ran once: one record added, not two.
    QCOMPARE(AppFixture::recordCount(files->path(QStringLiteral("parts.dbf"))), 4);
}

void TestOpenTables::createSQLTable()
{
    TSQLData *sql = program->SQLData();
    sql->Query.setSQLText(
        QStringLiteral("SELECT NAME FROM \"%1\" WHERE QTY > 10").arg(files->path("parts.dbf")));
    form->command(QStringLiteral("CreateSQLTable"))->trigger();
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
    auto *table = qobject_cast<TSQLTableForm *>(activeChild());
    QVERIFY(table);
    QCOMPARE(table->windowTitle(), QStringLiteral("SQL Table"));
    QCOMPARE(table->Query.sqlLines(), sql->Query.sqlLines());
    QCOMPARE(table->Query.recordCount(), 2);
    QVERIFY(!QApplication::overrideCursor());

    // A failing statement: the window stays, the cursor comes back.
    sql->Query.setSQLText(QStringLiteral("SELECT NOPE FROM \"%1\"").arg(files->path("parts.dbf")));
    form->command(QStringLiteral("CreateSQLTable"))->trigger();
    QCOMPARE(services->errors().size(), 1);
    QCOMPARE(form->ChildWindows().size(), 2);
    QVERIFY(!QApplication::overrideCursor());
}

void TestOpenTables::createSQLTableWithoutText()
{
    program->SQLData()->Query.clearSQL();
    form->command(QStringLiteral("CreateSQLTable"))->trigger();
    QVERIFY(form->ChildWindows().isEmpty());
    QVERIFY(services->messages.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestOpenTables::saveToFileRoundTrip_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("target");
    QTest::newRow("dbf to xml") << "parts.dbf" << 3 << "copy.xml";
    QTest::newRow("dbf to cds") << "parts.dbf" << 3 << "copy.cds";
    QTest::newRow("xml to dbf") << "parts.xml" << 1 << "copy.dbf";
    QTest::newRow("sql to db") << "parts.sql" << 2 << "copy.db";
    QTest::newRow("db to txt") << "parts.db" << 5 << "copy.txt";
}

void TestOpenTables::saveToFileRoundTrip()
{
    QFETCH(QString, source);
    QFETCH(int, filterIndex);
    QFETCH(QString, target);
    answer(source, filterIndex);
    form->command(QStringLiteral("LoadTableFromFile"))->trigger();
    auto *table = qobject_cast<TTableForm *>(activeChild());
    QVERIFY(table);
    table->tableDataSet().setRecNo(2);
    services->saveAnswers.push_back(FileDialogAnswer { files->path(target), 1 });
    form->command(QStringLiteral("SaveTableToFile"))->trigger();
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
    QCOMPARE(services->saveRequests.size(), 1);
    QCOMPARE(services->saveRequests.first().defaultExtension, QStringLiteral("*.xml"));
    QVERIFY(services->saveRequests.first().filter.isEmpty());
    // Offered beside the table, under the window's name.
    QCOMPARE(services->saveRequests.first().directory, files->dir());
    QCOMPARE(services->saveRequests.first().fileName,
             QFileInfo(source).completeBaseName() + QStringLiteral(".xml"));
    QStringList expected = AppFixture::partNames();
    QCOMPARE(AppFixture::names(files->path(target)), expected);
    // The window's cursor is where the user left it.
    QCOMPARE(table->tableDataSet().recNo(), 2);
    // Nothing but the target was left behind.
    const QStringList litter = QDir(files->dir())
                                   .entryList({ QStringLiteral(".qvx-*"), QStringLiteral("*.tmp") },
                                              QDir::AllEntries | QDir::Hidden);
    QVERIFY2(litter.isEmpty(), qPrintable(litter.join(u' ')));
}

void TestOpenTables::saveToFileRefusals()
{
    answer(QStringLiteral("parts.dbf"), 2);
    form->command(QStringLiteral("LoadBDETable"))->trigger();
    const QByteArray before = [&] {
        QFile f(files->path(QStringLiteral("parts.dbf")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    // Over the very table the window shows: refused, the table untouched.
    services->saveAnswers.push_back(FileDialogAnswer { files->path(QStringLiteral("parts.dbf")), 1 });
    form->command(QStringLiteral("SaveTableToFile"))->trigger();
    QCOMPARE(services->errors().size(), 1);
    QFile after(files->path(QStringLiteral("parts.dbf")));
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
    // A name that names no format.
    services->saveAnswers.push_back(FileDialogAnswer { files->path(QStringLiteral("copy.csv")), 1 });
    form->command(QStringLiteral("SaveTableToFile"))->trigger();
    QCOMPARE(services->errors().size(), 2);
    QVERIFY(services->errors().last().contains(QStringLiteral("copy.csv")));
    QVERIFY(!QFile::exists(files->path(QStringLiteral("copy.csv"))));
    // Cancelled: nothing written.
    services->saveAnswers.push_back(std::nullopt);
    form->command(QStringLiteral("SaveTableToFile"))->trigger();
    QCOMPARE(services->errors().size(), 2);
}

void TestOpenTables::saveWithoutTableWindowShowsNothing()
{
    form->command(QStringLiteral("SaveTableToFile"))->trigger();
    QVERIFY(services->saveRequests.isEmpty());
    QVERIFY(services->messages.isEmpty());
}

void TestOpenTables::openFileByExtension_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("windowClass");
    QTest::newRow("xml") << "parts.xml"
                         << "TXMLTableForm";
    QTest::newRow("sql") << "parts.sql"
                         << "TSQLTableForm";
    QTest::newRow("dbf") << "parts.dbf"
                         << "TBDETableForm";
    QTest::newRow("db") << "parts.db"
                        << "TBDETableForm";
    QTest::newRow("txt") << "parts.txt"
                         << "TBDETableForm";
    // A kind no dialog offers still opens by its name.
    QTest::newRow("cds") << "parts.cds"
                         << "TXMLTableForm";
}

void TestOpenTables::openFileByExtension()
{
    QFETCH(QString, file);
    QFETCH(QString, windowClass);
    form->OpenFile(files->path(file));
    QWidget *child = activeChild();
    QVERIFY(child);
    QCOMPARE(QString::fromLatin1(child->metaObject()->className()), windowClass);
    QCOMPARE(child->windowTitle(), file);
    QCOMPARE(qobject_cast<TTableForm *>(child)->tableDataSet().recordCount(), 3);
    QVERIFY(!form->tableChoice().OpenedFromFile());
}

void TestOpenTables::droppedFilesOpen()
{
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(files->path(QStringLiteral("parts.xml"))),
                   QUrl::fromLocalFile(files->path(QStringLiteral("parts.dbf"))),
                   QUrl::fromLocalFile(files->path(QStringLiteral("notes.csv"))) });
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &drop);
    QCOMPARE(form->ChildWindows().size(), 2);
    // The file of no known kind is reported, the others opened.
    QCOMPARE(services->errors().size(), 1);
    QVERIFY(services->errors().first().contains(QStringLiteral("notes.csv")));
}

void TestOpenTables::windowCommandsFollowTableWindows()
{
    QVERIFY(!form->command(QStringLiteral("WindowCascade"))->isEnabled());
    form->OpenFile(files->path(QStringLiteral("parts.dbf")));
    form->OpenFile(files->path(QStringLiteral("parts.xml")));
    QVERIFY(form->command(QStringLiteral("WindowCascade"))->isEnabled());
    form->command(QStringLiteral("WindowClose"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(form->ChildWindows().size(), 1);
    QVERIFY(form->command(QStringLiteral("WindowTileVertical"))->isEnabled());
    form->command(QStringLiteral("WindowClose"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form->ChildWindows().isEmpty());
    QVERIFY(!form->command(QStringLiteral("WindowTileVertical"))->isEnabled());
}

void TestOpenTables::failureInOneCommandLeavesTheNextWorking()
{
    files->writeFile(QStringLiteral("broken.xml"), "<DATAPACKET><METADATA><FIELDS>");
    answer(QStringLiteral("broken.xml"), 1);
    form->command(QStringLiteral("LoadXMLDocument"))->trigger();
    QCOMPARE(services->errors().size(), 1);
    QVERIFY(services->errors().first().contains(QStringLiteral("broken.xml")));
    answer(QStringLiteral("parts.xml"), 1);
    form->command(QStringLiteral("LoadXMLDocument"))->trigger();
    QCOMPARE(services->errors().size(), 1);
    auto *table = qobject_cast<TXMLTableForm *>(activeChild());
    QVERIFY(table);
    QCOMPARE(table->DataSet.recordCount(), 3);
}

int main(int argc, char **argv)
{
    qvx::ui::GuardedApplication app(argc, argv);
    TestOpenTables test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_opentables.moc"
