// "SQL Editor" and "Add Table" in the main window: they open the SQL editor
// on the active plain table window, and on no other kind of window.
#include "support/AppFixture.h"
#include "support/ScriptedServices.h"

#include "app/ClientMenu.h"
#include "app/Program.h"
#include "query/EditSQL.h"
#include "query/SQLDataModule.h"

#include <QDialog>
#include <QTest>

#include <memory>

class TestEditSQLCommands : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        files = std::make_unique<AppFixture>();
        services = std::make_unique<ScriptedServices>();
        program = std::make_unique<TProgram>();
        form = program->MainForm();
    }
    void cleanup()
    {
        program.reset();
        services.reset();
        files.reset();
    }

    void opensOnPlainTablesOnly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("selectList"); // empty: the editor is not shown
        for (const char *command : { "SQLEditor", "AddTable" }) {
            QTest::addRow("no window, %s", command) << QString() << command << QStringList();
            QTest::addRow("dBASE, %s", command)
                << "parts.dbf" << command << QStringList { "parts.NAME", "parts.QTY" };
            QTest::addRow("Paradox, %s", command)
                << "parts.db" << command << QStringList { "parts.NAME", "parts.QTY" };
            QTest::addRow("XML, %s", command) << "parts.xml" << command << QStringList();
            QTest::addRow("SQL, %s", command) << "parts.sql" << command << QStringList();
        }
    }

    void opensOnPlainTablesOnly()
    {
        QFETCH(QString, file);
        QFETCH(QString, command);
        QFETCH(QStringList, selectList);
        if (!file.isEmpty())
            form->OpenFile(files->path(file));
        QStringList seen;
        int rows = -1;
        services->onModal = [&](QDialog &dialog) {
            QCOMPARE(&dialog, static_cast<QDialog *>(form->EditSQLForm));
            seen = form->SQLData->SelectList();
            form->EditSQLForm->RunEditorSQL();
            rows = int(form->SQLData->Query.recordCount());
        };
        form->command(command)->trigger();
        QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join('\n')));
        QCOMPARE(seen, selectList);
        if (selectList.isEmpty()) {
            QVERIFY(services->modalDialogs.isEmpty());
            return;
        }
        QCOMPARE(services->modalDialogs, QStringList { "EditSQLForm" });
        QCOMPARE(rows, int(AppFixture::partNames().size()));
        QCOMPARE(form->tableChoice().TableName(), file);
    }

    // "Add Table" keeps what the editor holds and adds the active table.
    void addTableKeepsTheLists()
    {
        form->OpenFile(files->path("parts.dbf"));
        form->command("SQLEditor")->trigger();
        form->OpenFile(files->path("parts.db"));
        form->command("AddTable")->trigger();
        QCOMPARE(services->modalDialogs.size(), 2);
        QCOMPARE(form->SQLData->FromList(),
                 (QStringList { QString("\"%1\" parts").arg(files->path("parts.dbf")),
                                QString("\"%1\" parts").arg(files->path("parts.db")) }));
        // "SQL Editor" starts afresh.
        form->command("SQLEditor")->trigger();
        QCOMPARE(form->SQLData->FromList(),
                 QStringList { QString("\"%1\" parts").arg(files->path("parts.db")) });
    }

private:
    std::unique_ptr<AppFixture> files;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    TMainForm *form = nullptr;
};

QTEST_MAIN(TestEditSQLCommands)
#include "tst_editsqlcommands.moc"
