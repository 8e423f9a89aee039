// The alias manager over a session of its own (and a configuration file in
// a temporary folder): the tree, the parameter grid and what it writes back,
// opening a table, and the alias commands.
#include "config/AliasDlg.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "support/ScriptedServices.h"
#include "ui/ChildWindow.h"
#include "ui/DBGrid.h"
#include "ui/TableChoice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace qvx;

namespace {

// A frame that records what it was asked to open.
class Frame : public ui::ChildFrame {
public:
    ui::TableChoice choice;
    QList<ui::DocumentSource> opened;
    ui::TableChoice &tableChoice() override { return choice; }
    ui::ChildWindow *openDocument(DocumentKind, const ui::DocumentSource &source) override
    {
        opened << source;
        return nullptr;
    }
    ui::ChildWindow *activeChild() const override { return nullptr; }
};

QStringList rows(const ClientDataSet &ds)
{
    QStringList out;
    Record rec;
    for (qint64 r = 1; ds.readRecord(r, rec); ++r)
        out << rec[0].toString() + u'|' + rec[1].toString();
    return out;
}

QStringList childTexts(QTreeWidgetItem *node)
{
    QStringList out;
    for (int i = 0; node && i < node->childCount(); ++i)
        out << node->child(i)->text(0);
    return out;
}

QTreeWidgetItem *find(QTreeWidget *tree, const QString &text, int level)
{
    std::function<QTreeWidgetItem *(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *n) -> QTreeWidgetItem * {
        if (n->text(0) == text && TAliasFormDlg::LevelOf(n) == level)
            return n;
        for (int i = 0; i < n->childCount(); ++i)
            if (QTreeWidgetItem *f = walk(n->child(i)))
                return f;
        return nullptr;
    };
    return tree->topLevelItem(0) ? walk(tree->topLevelItem(0)) : nullptr;
}

} // namespace

class AliasDlgTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QString m_tables;
    std::unique_ptr<Session> m_session;
    Frame m_frame;

    std::unique_ptr<TAliasFormDlg> make() { return std::make_unique<TAliasFormDlg>(*m_session, &m_frame); }

private slots:
    void init()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", m_home.filePath(QStringLiteral("cache")).toLocal8Bit());
        QFile::remove(Session::configFilePath());
        m_tables = m_home.filePath(QStringLiteral("tables"));
        QDir().mkpath(m_tables);
        for (const char *name : { "people.dbf", "X.dbf" }) {
            Table t;
            t.setDatabaseName(m_tables);
            t.setTableName(QString::fromLatin1(name));
            if (t.exists())
                continue;
            t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 10);
            t.addFieldDef(QStringLiteral("CITY"), FieldType::String, 10);
            t.createTable();
        }
        m_session = std::make_unique<Session>();
        m_frame.opened.clear();
    }
    void cleanup() { m_session.reset(); }

    // Aliases listed A, B, C show as C, B, A; a standard alias's tables and
    // fields are read when opened.
    void treeOrderAndLazyTables()
    {
        ScriptedServices services;
        for (const char *name : { "A", "B", "C" })
            m_session->addVirtualAlias(QString::fromLatin1(name), QStringLiteral("STANDARD"),
                                       { QStringLiteral("PATH=") + m_tables });
        auto dlg = make();
        QTreeWidgetItem *root = dlg->DBTree->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Root"));
        QCOMPARE(childTexts(root), (QStringList { "C", "B", "A" }));
        QCOMPARE(root->child(0)->childCount(), 0); // not read yet
        root->child(0)->setExpanded(true);
        QCOMPARE(childTexts(root->child(0)), (QStringList { "X.dbf", "people.dbf" }));
        root->child(0)->child(1)->setExpanded(true);
        QCOMPARE(childTexts(root->child(0)->child(1)), (QStringList { "CITY", "NAME" }));
        QCOMPARE(services.errors(), QStringList {});
    }

    // An unreadable folder shows its error under its alias; the rest fills.
    void unreadableFolder()
    {
        ScriptedServices services;
        m_session->addVirtualAlias(QStringLiteral("Gone"), QStringLiteral("STANDARD"),
                                   { QStringLiteral("PATH=") + m_home.filePath(QStringLiteral("none")) });
        m_session->addVirtualAlias(QStringLiteral("Here"), QStringLiteral("STANDARD"),
                                   { QStringLiteral("PATH=") + m_tables });
        auto dlg = make();
        QTreeWidgetItem *gone = find(dlg->DBTree, QStringLiteral("Gone"), TAliasFormDlg::AliasLevel);
        gone->setExpanded(true);
        QCOMPARE(gone->childCount(), 1);
        QVERIFY(gone->child(0)->text(0).contains(QLatin1String("none")));
        QTreeWidgetItem *here = find(dlg->DBTree, QStringLiteral("Here"), TAliasFormDlg::AliasLevel);
        here->setExpanded(true);
        QCOMPARE(here->childCount(), 2);
    }

    // The grid: the first entry is skipped, names get a leading space, an
    // empty alias name leaves it empty whatever the view.
    void parameterRows_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("standard driver")
            << "Nobody"
            << "STANDARD"
            << "Driver" << QStringList { " DEFAULT DRIVER|PARADOX", " ENABLE BCD|FALSE" };
        for (const char *b : { "Init", "Date", "Time", "Number", "Driver" })
            QTest::addRow("no alias, %s", b) << ""
                                             << "STANDARD" << b << QStringList {};
        QTest::newRow("init") << "Nobody"
                              << ""
                              << "Init" << QStringList { " DEFAULT DRIVER|PARADOX", " LOCAL SHARE|TRUE" };
    }
    void parameterRows()
    {
        QFETCH(QString, alias);
        QFETCH(QString, driver);
        QFETCH(QString, button);
        QFETCH(QStringList, expected);
        ScriptedServices services;
        auto dlg = make();
        dlg->DriverType->setCurrentText(driver);
        dlg->AliasName->setCurrentText(alias);
        dlg->command(button)->execute();
        QCOMPARE(rows(dlg->ParamsSet), expected);
        QCOMPARE(services.errors(), QStringList {});
    }

    // Double click: only a table node opens, under the alias last selected.
    void openingTables()
    {
        ScriptedServices services;
        for (const char *name : { "X", "Y" })
            m_session->addVirtualAlias(QString::fromLatin1(name), QStringLiteral("STANDARD"),
                                       { QStringLiteral("PATH=") + m_tables });
        auto dlg = make();
        QTreeWidgetItem *x = find(dlg->DBTree, QStringLiteral("X"), TAliasFormDlg::AliasLevel);
        QTreeWidgetItem *y = find(dlg->DBTree, QStringLiteral("Y"), TAliasFormDlg::AliasLevel);
        x->setExpanded(true);
        QTreeWidgetItem *table = x->child(1); // people.dbf
        table->setExpanded(true);
        dlg->DBTree->setCurrentItem(table->child(0)); // a field
        dlg->OpenSelectedTable();
        dlg->DBTree->setCurrentItem(x);
        dlg->OpenSelectedTable();
        QVERIFY(m_frame.opened.isEmpty());
        dlg->DBTree->setCurrentItem(y);
        dlg->DBTree->setCurrentItem(table);
        QTest::keyClick(dlg->DBTree, Qt::Key_Return);
        QCOMPARE(m_frame.opened.size(), 1);
        QCOMPARE(m_frame.opened[0].database, QStringLiteral("Y"));
        QCOMPARE(m_frame.opened[0].table, QStringLiteral("people.dbf"));
        QCOMPARE(m_frame.choice.TableDir(), QStringLiteral("Y"));
    }

    // Find Alias reveals every node of that text, tables included.
    void findAlias()
    {
        ScriptedServices services;
        m_session->addVirtualAlias(QStringLiteral("X.dbf"), QStringLiteral("STANDARD"),
                                   { QStringLiteral("PATH=") + m_tables });
        auto dlg = make();
        dlg->AliasName->setCurrentText(QStringLiteral("X.dbf"));
        dlg->command(QStringLiteral("FindDatabase"))->execute();
        QTreeWidgetItem *table = find(dlg->DBTree, QStringLiteral("X.dbf"), TAliasFormDlg::TableLevel);
        QVERIFY(table);
        QVERIFY(table->isExpanded());
        QCOMPARE(childTexts(table), (QStringList { "CITY", "NAME" }));
    }

    // Edited values go back to the session, whole values are kept, and a
    // value the session refuses shows its error and the value in force.
    void parametersWrittenBack()
    {
        ScriptedServices services;
        const QString longNote = QStringLiteral("a note of more than twenty characters");
        m_session->addAlias(QStringLiteral("Shop"), QStringLiteral("STANDARD"),
                            { QStringLiteral("PATH=") + m_tables, QStringLiteral("NOTE=") + longNote });
        auto dlg = make();
        QTreeWidgetItem *shop = find(dlg->DBTree, QStringLiteral("Shop"), TAliasFormDlg::AliasLevel);
        dlg->DBTree->setCurrentItem(shop);
        QCOMPARE(rows(dlg->ParamsSet).last(), QStringLiteral(" NOTE|") + longNote.left(20));
        ClientDataSet &ds = dlg->ParamsSet;
        ds.first(); // DEFAULT DRIVER
        ds.edit();
        ds.setValue(1, QStringLiteral("DBASE"));
        ds.post();
        QTRY_COMPARE(rows(ds).first(), QStringLiteral(" DEFAULT DRIVER|DBASE"));
        const QStringList params = m_session->aliasParams(QStringLiteral("Shop"));
        QVERIFY(params.contains(QStringLiteral("DEFAULT DRIVER=DBASE")));
        QVERIFY(params.contains(QStringLiteral("NOTE=") + longNote));
        QVERIFY(params.contains(QStringLiteral("PATH=") + m_tables));

        // The date forms.
        dlg->command(QStringLiteral("Date"))->execute();
        const QStringList dateRows = rows(ds);
        QVERIFY(!dateRows.isEmpty());
        ds.first();
        const QString name = ds.text(0).trimmed();
        ds.edit();
        ds.setValue(1, QStringLiteral("not a value at all"));
        ds.post();
        QCOMPARE(services.errors().size(), 1);
        QTRY_COMPARE(rows(ds), dateRows);
        QVERIFY(!m_session->configSection(QStringLiteral("\\SYSTEM\\FORMATS\\DATE"))
                     .contains(name + QStringLiteral("=not a value at all")));
    }

    // Each section takes an edited value through the grid, and text tables
    // write by the forms in force.
    void sectionsWrittenBack_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("init") << "Init"
                              << "\\SYSTEM\\INIT"
                              << "LOCAL SHARE"
                              << "FALSE";
        QTest::newRow("date") << "Date"
                              << "\\SYSTEM\\FORMATS\\DATE"
                              << "SEPARATOR"
                              << "/";
        QTest::newRow("time") << "Time"
                              << "\\SYSTEM\\FORMATS\\TIME"
                              << "SECONDS"
                              << "FALSE";
        QTest::newRow("number") << "Number"
                                << "\\SYSTEM\\FORMATS\\NUMBER"
                                << "LEADINGZERON"
                                << "FALSE";
    }
    void sectionsWrittenBack()
    {
        QFETCH(QString, button);
        QFETCH(QString, section);
        QFETCH(QString, name);
        QFETCH(QString, value);
        ScriptedServices services;
        auto dlg = make();
        dlg->AliasName->setCurrentText(QStringLiteral("Nobody"));
        dlg->command(button)->execute();
        ClientDataSet &ds = dlg->ParamsSet;
        bool found = false;
        for (qint64 r = 1; r <= ds.recordCount() && !found; ++r) {
            ds.setRecNo(r);
            found = ds.text(0) == u' ' + name;
        }
        QVERIFY(found);
        ds.edit();
        ds.setValue(1, value);
        ds.post();
        QCOMPARE(services.errors(), QStringList {});
        QVERIFY(m_session->configSection(section).contains(name + u'=' + value));
        if (name == QLatin1String("SEPARATOR"))
            QCOMPARE(textFormsOf(m_session.get()).dateSeparator, QChar(u'/'));
    }

    // Add, delete and save go through the session; a refused name leaves
    // the session open.
    void aliasCommands()
    {
        ScriptedServices services;
        auto dlg = make();
        dlg->AliasName->setCurrentText(QStringLiteral("Kept"));
        dlg->DriverType->setCurrentText(QStringLiteral("DBASE"));
        dlg->command(QStringLiteral("AddAlias"))->execute();
        QCOMPARE(services.errors(), QStringList {});
        QVERIFY(find(dlg->DBTree, QStringLiteral("Kept"), TAliasFormDlg::AliasLevel));
        QVERIFY(QFile::exists(Session::configFilePath()));
        // The same name again is refused; the session stays usable.
        dlg->command(QStringLiteral("AddAlias"))->execute();
        QCOMPARE(services.errors().size(), 1);
        QVERIFY(m_session->isOpen());

        dlg->AliasName->setCurrentText(QStringLiteral("Folder"));
        dlg->Directory->setText(m_tables + u'/');
        dlg->command(QStringLiteral("AddStandardAlias"))->execute();
        QCOMPARE(m_session->aliasDriverName(QStringLiteral("Folder")), QStringLiteral("STANDARD"));

        services.messageAnswers = { ui::ButtonNo, ui::ButtonYes, ui::ButtonYes };
        dlg->AliasName->setCurrentText(QStringLiteral("Kept"));
        dlg->command(QStringLiteral("DeleteAlias"))->execute();
        QVERIFY(m_session->isAlias(QStringLiteral("Kept")));
        dlg->command(QStringLiteral("DeleteAlias"))->execute();
        QVERIFY(!m_session->isAlias(QStringLiteral("Kept")));
        QCOMPARE(services.messages[1].text, QStringLiteral("Are you sure you want to delete alias?"));
        dlg->command(QStringLiteral("SaveConfig"))->execute();
        QCOMPARE(services.messages.last().text,
                 QStringLiteral("Are you sure you want to save configuration?"));
        Session reread;
        QVERIFY(!reread.isAlias(QStringLiteral("Kept")));
        QVERIFY(reread.isAlias(QStringLiteral("Folder")));
    }

    // The two check boxes mirror each other and set the mode.
    void showBoxes()
    {
        ScriptedServices services;
        auto dlg = make();
        dlg->ShowPublic->click();
        QVERIFY(dlg->ShowPublic->isChecked() && !dlg->ShowAll->isChecked());
        QCOMPARE(m_session->configMode(), Session::ConfigMode(Session::VirtualAliases));
        dlg->ShowAll->click();
        QVERIFY(!dlg->ShowPublic->isChecked() && dlg->ShowAll->isChecked());
        QCOMPARE(m_session->configMode(), Session::ConfigMode(Session::PersistentAliases));
        dlg->ConfigMode->setCurrentText(QStringLiteral("Session"));
        QCOMPARE(m_session->configMode(), Session::ConfigMode(Session::SessionAliases));
        dlg->ConfigMode->setCurrentText(QStringLiteral("Nonsense")); // leaves the mode
        QCOMPARE(m_session->configMode(), Session::ConfigMode(Session::SessionAliases));
        dlg->ConfigMode->setCurrentText(QStringLiteral("All"));
        QCOMPARE(m_session->configMode(), Session::ConfigMode(Session::AllAliases));
    }

    void selectDirectory()
    {
        ScriptedServices services;
        auto dlg = make();
        services.openAnswers
            = { ui::FileDialogAnswer { QStringLiteral("/data/shop/Table.db"), 1 }, std::nullopt };
        dlg->command(QStringLiteral("SelectDirectory"))->execute();
        QCOMPARE(dlg->Directory->text(), QStringLiteral("/data/shop/"));
        dlg->command(QStringLiteral("SelectDirectory"))->execute();
        QCOMPARE(dlg->Directory->text(), QStringLiteral("/data/shop/"));
        QCOMPARE(services.openRequests[0].title, QStringLiteral("Select Directory"));
        QCOMPARE(services.openRequests[0].fileName, QStringLiteral("Table.db"));
    }

    void pickLists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::newRow("default driver") << " DEFAULT DRIVER" << 3;
        QTest::newRow("truth") << " LOCAL SHARE" << 2;
        QTest::newRow("pass-through") << " SQLPASSTHRU MODE" << 3;
        QTest::newRow("open mode") << " OPEN MODE" << 2;
        QTest::newRow("no leading space") << "LOCAL SHARE" << 0;
        QTest::newRow("other") << " PATH" << 0;
    }
    void pickLists()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QCOMPARE(TAliasFormDlg::ValuesFor(name).size(), count);
    }
};

QTEST_MAIN(AliasDlgTest)
#include "tst_aliasdlg.moc"
