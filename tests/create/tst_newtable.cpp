// The New Table window and its start dialog: typing types, checking the
// field list, creating each kind of table with its indexes, the structure
// tree, field lists and tables saved as packets, and the field-type files.
#include "create/CreateNewTableDlg.h"
#include "create/FieldTypeFiles.h"
#include "create/NewTable.h"

#include "engine/Table.h"
#include "support/ScriptedServices.h"
#include "tables/TableDataModule.h"
#include "ui/DBGrid.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using Rows = QList<QStringList>; // name, type, size, indexed
Q_DECLARE_METATYPE(Rows)

class NewTableTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<TTableData> m_data;
    std::unique_ptr<TNewTableForm> m_form;

    TNewTableForm &form() { return *m_form; }

    void setRows(const Rows &rows)
    {
        form().CreateFieldList();
        qvx::ClientDataSet &ds = form().SystemDataSet;
        if (ds.state() != qvx::DataSet::State::Browse)
            ds.cancel();
        ds.emptyDataSet();
        for (const QStringList &row : rows) {
            ds.append();
            for (int c = 0; c < 4 && c < row.size(); ++c) {
                if (row[c].isEmpty())
                    continue;
                if (c == 2)
                    ds.setValue(c, row[c].toInt());
                else
                    ds.setValue(c, row[c]);
            }
            // An all-empty row still is a row.
            if (!ds.isModified())
                ds.setValue(0, QStringLiteral(""));
            ds.post();
        }
    }
    QStringList cells(int c)
    {
        QStringList out;
        qvx::Record rec;
        for (qint64 r = 1; form().SystemDataSet.readRecord(r, rec); ++r)
            out << rec[std::size_t(c)].toString();
        return out;
    }
    static QStringList texts(const ScriptedServices &s)
    {
        QStringList out;
        for (const auto &m : s.messages)
            out << m.text;
        return out;
    }
    void create() { form().command(QStringLiteral("CreateTable"))->execute(); }
    std::unique_ptr<qvx::Table> openCreated()
    {
        auto t = std::make_unique<qvx::Table>();
        t->setDatabaseName(form().NewTable.databaseName());
        t->setTableType(form().NewTable.tableType());
        t->setTableName(form().NewTableName);
        t->open();
        return t;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        for (const char *var : { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME" })
            qputenv(var, m_home.filePath(QString::fromLatin1(var)).toLocal8Bit());
        m_data = std::make_unique<TTableData>();
        m_form = std::make_unique<TNewTableForm>(*m_data);
    }
    void cleanupTestCase()
    {
        m_form.reset();
        m_data.reset();
    }
    void init()
    {
        form().NewTableName = QStringLiteral("NewTable");
        form().PendingIndexes.clear();
    }

    // Typing into the Field_Type and Is_Indexed columns enters names.
    void typedShortcuts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const int type = TNewTableForm::FieldTypeColumn;
        const int index = TNewTableForm::IsIndexedColumn;
        for (int kind = 0; kind <= 4; ++kind)
            QTest::addRow("q empties, kind %d", kind) << kind << type << "q"
                                                      << "";
        QTest::newRow("paradox d") << 1 << type << "d"
                                   << "Date";
        QTest::newRow("ascii d") << 4 << type << "d"
                                 << "Date and time";
        QTest::newRow("xml d") << 0 << type << "d"
                               << "Date and time";
        QTest::newRow("xml D") << 0 << type << "D"
                               << "Date";
        QTest::newRow("paradox #") << 1 << type << "#"
                                   << "#(BCD)";
        QTest::newRow("paradox l") << 1 << type << "l"
                                   << "Logical";
        QTest::newRow("dbase b") << 2 << type << "b"
                                 << "BINARY";
        QTest::newRow("foxpro b") << 3 << type << "b"
                                  << "";
        QTest::newRow("foxpro n") << 3 << type << "n"
                                  << "NUMBER";
        QTest::newRow("ascii L") << 4 << type << "L"
                                 << "Lagre integer";
        QTest::newRow("ascii l") << 4 << type << "l"
                                 << "Boolean";
        QTest::newRow("ascii B whole") << 4 << type << "B"
                                       << "BCD (Binary-Code Decimal)";
        QTest::newRow("enter empties") << 1 << type << "\r"
                                       << "";
        QTest::newRow("index Y") << 1 << index << "Y"
                                 << "Yes";
        QTest::newRow("index n") << 2 << index << "n"
                                 << "No";
        QTest::newRow("index x") << 0 << index << "x"
                                 << "";
        QTest::newRow("name typed normally") << 1 << int(TNewTableForm::FieldNameColumn) << "d"
                                             << "Ad";
    }
    void typedShortcuts()
    {
        QFETCH(int, kind);
        QFETCH(int, column);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        ScriptedServices services;
        form().SetNewTableKind(kind);
        setRows({ { "A", "Alpha", "", "Yes" } });
        form().show();
        form().FieldsGrid->setFocus();
        form().FieldsGrid->setCurrentCell(0, column);
        QCOMPARE(form().FieldsGrid->selectedField(), column);
        QWidget *target = form().FieldsGrid;
        if (column == TNewTableForm::FieldNameColumn) {
            // The cell editor takes the text of the name column.
            form().FieldsGrid->edit(form().FieldsGrid->currentIndex());
            target = form().FieldsGrid->viewport()->findChild<QLineEdit *>();
            QVERIFY(target);
            QTest::keyClick(target, Qt::Key_End);
        }
        QTest::keyClick(target, key.front().toLatin1());
        form().FieldsGrid->finishEditing();
        if (form().SystemDataSet.state() != qvx::DataSet::State::Browse)
            form().SystemDataSet.post();
        QCOMPARE(column == 0 ? cells(0).value(0) : form().SystemDataSet.text(column), expected);
        form().hide();
        QVERIFY(services.errors().isEmpty());
    }

    // A cell editor open on the type column (as Tab opens one) takes the
    // shortcuts too; on the name column it edits as usual.
    void shortcutsInOpenEditor()
    {
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::ParadoxKind);
        form().SetFieldTypes({ QStringLiteral("Alpha"), QStringLiteral("Date") });
        setRows({ { "A", "Alpha", "", "" } });
        form().show();
        form().FieldsGrid->setCurrentCell(0, TNewTableForm::FieldTypeColumn);
        form().FieldsGrid->edit(form().FieldsGrid->currentIndex());
        QVERIFY(form().FieldsGrid->isEditing());
        auto *editor = form().FieldsGrid->viewport()->findChild<QComboBox *>();
        QVERIFY(editor);
        QTest::keyClick(editor, '$');
        QVERIFY(!form().FieldsGrid->isEditing());
        QCOMPARE(form().SystemDataSet.text(TNewTableForm::FieldTypeColumn), QStringLiteral("$(Money)"));
        form().SystemDataSet.post();
        form().hide();
        QCOMPARE(services.errors(), QStringList {});
    }

    // Names are made unique in row order; an empty name is refused.
    void fieldNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("messages");
        QTest::newRow("three alike") << QStringList { "Code", "Code", "Code" }
                                     << QStringList { "Code", "Code_1", "Code_2" } << 0;
        QTest::newRow("A A A_1") << QStringList { "A", "A", "A_1" } << QStringList { "A", "A_1", "A_1_1" }
                                 << 0;
        // Renaming never looks back, so two rows end alike; creation then refuses them.
        QTest::newRow("A_1_1 A_1 A A")
            << QStringList { "A_1_1", "A_1", "A", "A" } << QStringList { "A_1_1", "A_1", "A", "A_1_1" } << 1;
        QTest::newRow("three empty") << QStringList { "", "", "" } << QStringList { "", "_1", "_2" } << 1;
        // Names differing only in case pass here; the engine refuses them.
        QTest::newRow("case differs") << QStringList { "a", "A" } << QStringList { "a", "A" } << 1;
    }
    void fieldNames()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, after);
        QFETCH(int, messages);
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::XmlKind);
        Rows rows;
        for (const QString &n : names)
            rows << QStringList { n, "Integer", "", "" };
        setRows(rows);
        create();
        QCOMPARE(cells(0), after);
        QCOMPARE(services.messages.size(), messages);
        if (names.first().isEmpty())
            QCOMPARE(services.messages.value(0).text, QStringLiteral("Incorect field name."));
    }

    // The type and size checks, and what is left to the engine.
    void checks_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("created");
        QTest::newRow("empty list") << 1 << Rows {} << QStringList {} << false;
        QTest::newRow("no types") << 0 << Rows { { "A", "", "", "" }, { "B", "", "", "" } }
                                  << QStringList { "Field type not found.\rField Name: \"A\"",
                                                   "Field type not found.\rField Name: \"B\"" }
                                  << false;
        QTest::newRow("string size 0") << 0 << Rows { { "S", "String", "0", "" } }
                                       << QStringList { "Incorect field size.\rField Name: \"S\"" } << false;
        QTest::newRow("string no size") << 4 << Rows { { "S", "String", "", "" } }
                                        << QStringList { "Incorect field size.\rField Name: \"S\"" } << false;
        // Only "String" is size-checked: the engine refuses these.
        QTest::newRow("alpha size 0") << 1 << Rows { { "S", "Alpha", "0", "" } } << QStringList {} << false;
        QTest::newRow("character size 0")
            << 2 << Rows { { "S", "CHARACTER", "", "" } } << QStringList {} << false;
        QTest::newRow("unknown type") << 1 << Rows { { "S", "Money", "", "" } } << QStringList {} << false;
        QTest::newRow("fine") << 2 << Rows { { "S", "CHARACTER", "4", "" } } << QStringList {} << true;
    }
    void checks()
    {
        QFETCH(int, kind);
        QFETCH(Rows, rows);
        QFETCH(QStringList, messages);
        QFETCH(bool, created);
        ScriptedServices services;
        form().NewTableName = QStringLiteral("Checked");
        form().SetNewTableKind(kind);
        setRows(rows);
        create();
        QStringList infos;
        for (const auto &m : services.messages)
            if (m.icon == qvx::ui::MessageIcon::Information)
                infos << m.text;
        QCOMPARE(infos, messages);
        if (kind != 0)
            QCOMPARE(form().NewTable.isOpen() && form().NewTable.exists(), created);
        // The engine's refusals reach the user as errors.
        const bool engineRefused = messages.isEmpty() && !created && !rows.isEmpty();
        QCOMPARE(!services.errors().isEmpty(), engineRefused);
        if (form().NewTable.isOpen())
            form().NewTable.close();
    }

    // Every type a kind's file offers makes a field of that kind; sizes
    // follow the type; fields marked indexed get indexes.
    void everyTypeOffered_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("indexes");
        QTest::newRow("paradox") << 0 << QStringList { "primary", "F03" };
        QTest::newRow("dbase") << 1 << QStringList { "F01", "F03" };
        QTest::newRow("foxpro") << 2 << QStringList { "F01", "F03" };
        QTest::newRow("ascii") << 3 << QStringList {};
    }
    void everyTypeOffered()
    {
        QFETCH(int, item);
        QFETCH(QStringList, indexes);
        ScriptedServices services;
        services.modalAnswers = { QDialog::Accepted };
        TCreateNewBDETable start(form());
        start.NameEdit->setText(QStringLiteral("Every%1").arg(item));
        start.SelectType->setCurrentIndex(item);
        QVERIFY(start.Execute());
        const QStringList types = form().FieldTypes();
        QVERIFY(!types.isEmpty());
        // A text field marked indexed (for Paradox the key), a date field
        // that is not, then one field of every type offered, the first of
        // them (text again) marked indexed.
        const QStringList text { "Alpha", "CHARACTER", "CHARACTER", "String" };
        const QStringList date { "Date", "DATE", "DATE", "Date" };
        Rows rows { { "", text[item], "8", "Yes" }, { "", date[item], "", "No" } };
        for (const QString &type : types)
            rows << QStringList { "", type, "8", rows.size() == 2 ? "Yes" : "No" };
        for (int i = 0; i < rows.size(); ++i)
            rows[i][0] = QStringLiteral("F%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        setRows(rows);
        create();
        QCOMPARE(services.errors(), QStringList {});
        QVERIFY(form().NewTable.isOpen());
        QCOMPARE(form().NewTable.fieldCount(), int(rows.size()));
        QStringList made;
        for (const qvx::IndexInfo &i : form().NewTable.indexes())
            made << (i.tag.isEmpty() ? i.file : i.tag);
        for (const QString &want : indexes)
            QVERIFY2(made.contains(want, Qt::CaseInsensitive), qPrintable(made.join(u',')));
        if (item == 3)
            QVERIFY(texts(services).join(u' ').contains(QLatin1String("no indexes")));
        QVERIFY(form().StatusLine->text().contains(QFileInfo(form().NewTable.filePath()).fileName()));
        form().NewTable.close();
    }

    // Sizes: a Paradox Number ignores its size, a Memo keeps it, a BCD's
    // size is its decimals, and a fraction fits a field of every kind.
    void sizes()
    {
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::ParadoxKind);
        form().NewTableName = QStringLiteral("Sizes");
        setRows({ { "N", "Number", "15", "" }, { "M", "Memo", "30", "" }, { "B", "#(BCD)", "2", "" } });
        create();
        QCOMPARE(services.errors(), QStringList {});
        const qvx::FieldDefs &defs = form().NewTable.fieldDefs();
        QCOMPARE(defs[0].size, 0);
        QCOMPARE(defs[1].size, 30);
        QCOMPARE(defs[2].decimals, 2);
        qvx::Table &t = form().NewTable;
        t.append();
        t.setValue(0, 12.34);
        t.setValue(2, QStringLiteral("12.34"));
        t.post();
        QCOMPARE(t.value(2).toString(), QStringLiteral("12.34"));
        t.close();
        QCOMPARE(form().SizeMeaning(TNewTableForm::ParadoxKind, QStringLiteral("#(BCD)")).contains(u"12.34"),
                 true);
        QVERIFY(form().SizeMeaning(TNewTableForm::DBaseKind, QStringLiteral("FLOAT")).contains(u"not used"));
    }

    // A second creation replaces the first table, records and all.
    void createTwice()
    {
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::DBaseKind);
        form().NewTableName = QStringLiteral("Twice");
        setRows({ { "NAME", "CHARACTER", "8", "" } });
        create();
        form().NewTable.appendRecord({ QStringLiteral("first") });
        create();
        QCOMPARE(services.errors(), QStringList {});
        QCOMPARE(form().NewTable.recordCount(), qint64(0));
        form().NewTable.close();
    }

    void structureTree()
    {
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::XmlKind);
        setRows({ { "Code", "Integer", "", "YES" },
                  { "Name", "String", "12", "Yes" },
                  { "Note", "Text memo", "", "No" } });
        create();
        QTreeWidgetItem *root = form().SystemTree->topLevelItem(0);
        QVERIFY(root);
        QCOMPARE(root->text(0), QStringLiteral("Table"));
        QCOMPARE(root->childCount(), 3);
        QCOMPARE(root->child(0)->text(0), QStringLiteral("Field name - \"Code\""));
        QStringList details;
        for (int i = 0; i < root->child(0)->childCount(); ++i)
            details << root->child(0)->child(i)->text(0);
        QCOMPARE(details, (QStringList { "Type - Integer", "Size - 0", "Indexed" }));
        QCOMPARE(root->child(2)->childCount(), 2);
        // "YES" picked and "Yes" typed both index the field.
        QCOMPARE(form().NewDataSet.indexDefs().size(), std::size_t(2));
        QCOMPARE(form().NewDataSet.indexDefs()[0].name, QStringLiteral("Code_Index"));
        QCOMPARE(form().NewDataSet.indexDefs()[1].fields, QStringList { "Name" });
    }

    // The memory table is saved as either packet and reads back.
    void saveTableAs()
    {
        ScriptedServices services;
        form().SetNewTableKind(TNewTableForm::XmlKind);
        setRows({ { "Code", "Integer", "", "Yes" }, { "Price", "BCD (Binary-Code Decimal)", "2", "" } });
        create();
        form().NewDataSet.appendRecord({ 7, QStringLiteral("12.34") });
        QTemporaryDir dir;
        const QString xml = dir.filePath(QStringLiteral("t.xml"));
        const QString cds = dir.filePath(QStringLiteral("t.cds"));
        const QString named = dir.filePath(QStringLiteral("named.XML"));
        services.saveAnswers = { qvx::ui::FileDialogAnswer { xml, 1 }, qvx::ui::FileDialogAnswer { cds, 2 },
                                 qvx::ui::FileDialogAnswer { named, 2 }, std::nullopt };
        for (int i = 0; i < 4; ++i)
            form().command(QStringLiteral("SaveTableAs"))->execute();
        QCOMPARE(services.saveRequests.value(0).fileName, QStringLiteral("Table"));
        for (const QString &path : { xml, cds, named }) {
            qvx::ClientDataSet back;
            back.loadFromFile(path);
            QCOMPARE(back.recordCount(), qint64(1));
            QCOMPARE(back.text(1), QStringLiteral("12.34"));
            QCOMPARE(back.indexDefs().size(), std::size_t(1));
        }
        QFile f(named);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5).startsWith("<?xml"));
        QCOMPARE(services.errors(), QStringList {});
    }

    // Field lists saved and loaded; a packet of another shape is refused.
    void saveLoadFields()
    {
        ScriptedServices services;
        const Rows rows { { "Code", "Integer", "", "Yes" }, { "Name", "String", "20", "" } };
        setRows(rows);
        QTemporaryDir dir;
        const QString xml = dir.filePath(QStringLiteral("fields.xml"));
        const QString cds = dir.filePath(QStringLiteral("fields.cds"));
        services.saveAnswers = { qvx::ui::FileDialogAnswer { xml, 1 }, qvx::ui::FileDialogAnswer { cds, 2 } };
        form().command(QStringLiteral("SaveFields"))->execute();
        form().command(QStringLiteral("SaveFields"))->execute();
        QCOMPARE(services.saveRequests.value(0).title, QStringLiteral("MyTable"));
        for (const QString &path : { xml, cds }) {
            setRows({});
            services.openAnswers = { qvx::ui::FileDialogAnswer { path, 1 } };
            form().command(QStringLiteral("LoadFields"))->execute();
            QCOMPARE(cells(0), (QStringList { "Code", "Name" }));
            QCOMPARE(cells(2), (QStringList { "", "20" }));
        }
        // Another table's packet leaves the list alone.
        qvx::ClientDataSet other;
        other.addFieldDef(QStringLiteral("X"), qvx::FieldType::Integer);
        other.createDataSet();
        const QString wrong = dir.filePath(QStringLiteral("other.xml"));
        other.saveToFile(wrong, qvx::PacketFormat::Xml);
        services.openAnswers = { qvx::ui::FileDialogAnswer { wrong, 1 }, std::nullopt };
        form().command(QStringLiteral("LoadFields"))->execute();
        form().command(QStringLiteral("LoadFields"))->execute();
        QCOMPARE(services.errors().size(), 1);
        QVERIFY(services.errors().first().contains(QLatin1String("not a list of table fields")));
        QCOMPARE(cells(0), (QStringList { "Code", "Name" }));
    }

    // Save Table As before any memory table says so and writes nothing;
    // Create Table Params empties everything, the engine table included.
    void nothingYetAndReset()
    {
        ScriptedServices services;
        TTableData data;
        TNewTableForm fresh(data);
        fresh.command(QStringLiteral("SaveTableAs"))->execute();
        QCOMPARE(services.saveRequests.size(), 0);
        QCOMPARE(services.messages.size(), 1);
        QVERIFY(services.messages.first().text.contains(QLatin1String("No XML table")));

        fresh.SetNewTableKind(TNewTableForm::DBaseKind);
        fresh.NewTableName = QStringLiteral("Reset");
        fresh.CreateFieldList();
        fresh.SystemDataSet.appendRecord(
            { QStringLiteral("NAME"), QStringLiteral("CHARACTER"), 5, QVariant() });
        fresh.command(QStringLiteral("CreateTable"))->execute();
        fresh.NewTable.appendRecord({ QStringLiteral("x") });
        QVERIFY(fresh.SystemTree->topLevelItemCount() > 0);
        fresh.command(QStringLiteral("CreateTableParams"))->execute();
        QCOMPARE(services.errors(), QStringList {});
        QCOMPARE(fresh.SystemDataSet.recordCount(), qint64(0));
        QCOMPARE(fresh.SystemTree->topLevelItemCount(), 0);
        fresh.NewTable.open();
        QCOMPARE(fresh.NewTable.recordCount(), qint64(0));
        fresh.NewTable.close();
    }

    // The insert and delete commands, and the control panel toggle.
    void rowsAndPanel()
    {
        ScriptedServices services;
        setRows({ { "A", "Integer", "", "" }, { "C", "Integer", "", "" } });
        form().SystemDataSet.setRecNo(2);
        form().command(QStringLiteral("InsertFields"))->execute();
        QCOMPARE(cells(0), (QStringList { "A", "", "C" }));
        form().command(QStringLiteral("DeleteFields"))->execute();
        QCOMPARE(cells(0).size(), 2);
        form().show();
        QVERIFY(form().ControlPanel->isVisible());
        form().command(QStringLiteral("ViewControlPanel"))->trigger();
        QVERIFY(!form().ControlPanel->isVisible());
        form().command(QStringLiteral("ViewControlPanel"))->trigger();
        QVERIFY(form().ControlPanel->isVisible());
        form().command(QStringLiteral("ViewStructure"))->execute();
        QCOMPARE(form().PageControl->currentIndex(), 1);
        form().hide();
        QVERIFY(!form().command(QStringLiteral("Print"))->isEnabled());
        QVERIFY(!form().command(QStringLiteral("About"))->isEnabled());
    }

    // The start dialog: names, kinds and the pick list from the file.
    void startDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("file");
        QTest::newRow("cleared name") << ""
                                      << "Paradox"
                                      << "NewTable" << 1 << "Paradox.txt";
        QTest::newRow("dbase") << "Cust"
                               << "dBase"
                               << "Cust" << 2 << "DBF.txt";
        QTest::newRow("foxpro") << "Cust"
                                << "FoxPro"
                                << "Cust" << 3 << "DBF.txt";
        QTest::newRow("ascii") << "T"
                               << "ASCII"
                               << "T" << 4 << "ASCII.txt";
        QTest::newRow("xml") << "T"
                             << "XML Table"
                             << "T" << 0 << "XML.txt";
        QTest::newRow("typed other text") << "T"
                                          << "Oracle"
                                          << "T" << 1 << "Paradox.txt";
    }
    void startDialog()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, chosen);
        QFETCH(int, kind);
        QFETCH(QString, file);
        ScriptedServices services;
        setRows({ { "Kept", "Integer", "", "" } });
        TCreateNewBDETable start(form());
        start.NameEdit->setText(name);
        start.SelectType->setCurrentText(type);
        services.modalAnswers = { QDialog::Accepted };
        QVERIFY(start.Execute());
        QCOMPARE(services.modalDialogs, (QStringList { "CreateNewBDETable", "NewTableForm" }));
        QCOMPARE(form().NewTableName, chosen);
        QCOMPARE(form().NewTableKind(), kind);
        QCOMPARE(form().FieldTypes(), ReadFieldTypeFile(FieldTypeFilePath(file)));
        QCOMPARE(cells(0), QStringList { "Kept" });
        // Cancelled: nothing changes but the kind, set back to Paradox.
        start.NameEdit->setText(QStringLiteral("Other"));
        QVERIFY(!start.Execute());
        QCOMPARE(form().NewTableName, chosen);
    }

    // A missing field-type file stops before the window opens.
    void missingFieldTypeFile()
    {
        ScriptedServices services;
        const QString path = FieldTypeFilePath(QStringLiteral("XML.txt"));
        QVERIFY(QFile::exists(path));
        QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
        auto restore = qScopeGuard([&] { QFile::rename(path + QStringLiteral(".away"), path); });
        form().NewTableName = QStringLiteral("Before");
        TCreateNewBDETable start(form());
        start.NameEdit->setText(QStringLiteral("After"));
        start.SelectType->setCurrentText(QStringLiteral("XML Table"));
        services.modalAnswers = { QDialog::Accepted };
        bool threw = false;
        try {
            start.Execute();
        } catch (const std::exception &e) {
            threw = true;
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Cannot open file %1").arg(path));
        }
        QVERIFY(threw);
        QCOMPARE(services.modalDialogs, QStringList { "CreateNewBDETable" });
        QCOMPARE(form().NewTableName, QStringLiteral("Before"));
        QCOMPARE(form().NewTableKind(), 1);
        QCOMPARE(form().FieldTypes(), QStringList {});
    }

    void fieldTypeFileLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("lf") << QByteArray("Alpha\nDate\n") << QStringList { "Alpha", "Date" };
        QTest::newRow("crlf, no last end") << QByteArray("Alpha\r\nDate") << QStringList { "Alpha", "Date" };
        QTest::newRow("cr") << QByteArray("Alpha\rDate\r") << QStringList { "Alpha", "Date" };
        QTest::newRow("space kept, empty line")
            << QByteArray("Alpha \n\nDate\n") << QStringList { "Alpha ", "", "Date" };
        QTest::newRow("empty file") << QByteArray() << QStringList {};
    }
    void fieldTypeFileLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("t.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        QCOMPARE(ReadFieldTypeFile(f.fileName()), lines);
    }
};

QTEST_MAIN(NewTableTest)
#include "tst_newtable.moc"
