// The main window's designer commands: each manager command opens a new
// designer child over the working query; "Update Form" and "FindRecord" go
// to the active designer, and "FindRecord" is not offered by a result form.
#include "app/ClientMenu.h"
#include "app/Program.h"
#include "designers/ResultManager.h"
#include "designers/SearchManager.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "query/SQLDataModule.h"
#include "support/ScriptedServices.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QtTest>

class DesignerCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qvx::Table t;
        t.setDatabaseName(m_dir.path());
        t.setTableName(QStringLiteral("people.dbf"));
        t.addFieldDef(QStringLiteral("NAME"), qvx::FieldType::String, 10);
        t.createTable();
        t.open();
        for (const char *name : { "Ann", "Bob", "Abe" })
            t.appendRecord({ QString::fromLatin1(name) });
    }

    void managersOpenAndRoute()
    {
        ScriptedServices services;
        TProgram program;
        TMainForm *main = program.MainForm();
        TSQLData &data = *program.SQLData();
        data.append(TSQLData::Select, { QStringLiteral("p.NAME") });
        data.append(TSQLData::From, { QStringLiteral("\"%1/people.dbf\" p").arg(m_dir.path()) });
        data.RunSelect();
        main->show();

        main->command(QStringLiteral("SearchManager"))->execute();
        auto *search = qobject_cast<TSearchManagerDlg *>(main->MDIArea->activeSubWindow()->widget());
        QVERIFY(search);
        QCOMPARE(search->ControlRecords.size(), std::size_t(2));
        QVERIFY(search->AlignmentDlg && search->SizeDlg && search->ScaleDlg);
        QVERIFY(main->command(QStringLiteral("FindRecord"))->isEnabled());
        main->command(QStringLiteral("CreateManager"))->execute();
        QCOMPARE(search->SearchBoxes().size(), 1);
        search->SearchBoxes()[0]->setText(QStringLiteral("A.."));
        main->command(QStringLiteral("FindRecord"))->execute();
        QCOMPARE(data.Query.recordCount(), qint64(2));

        main->command(QStringLiteral("ResultForm"))->execute();
        auto *result = qobject_cast<TResultManagerDlg *>(main->MDIArea->activeSubWindow()->widget());
        QVERIFY(result);
        QCOMPARE(main->ChildWindows().size(), 2);
        QVERIFY(!main->command(QStringLiteral("FindRecord"))->isEnabled());
        QVERIFY(main->command(QStringLiteral("CreateManager"))->isEnabled());
        QCOMPARE(services.errors(), QStringList {});
    }
};

QTEST_MAIN(DesignerCommandsTest)
#include "tst_designercommands.moc"
