// Creating tables from the main window, end to end: "Create new table"
// asks for a name and kind, the New Table window takes the fields, an index
// dialog adds an index, the table is created with its indexes, filled, and
// opened in a table window of the main window; then independent readers
// (python3-dbf and dbfread, Perl's XBase::Index, pxlib) read what was made.
#include "app/Program.h"

#include "app/ClientMenu.h"
#include "create/CreateNewTableDlg.h"
#include "create/FoxProIndexesDlg.h"
#include "create/NewTable.h"
#include "create/SaveFoxProIndexDlg.h"
#include "create/SaveParadoxIndexDlg.h"
#include "create/SavedBaseIndexDlg.h"
#include "create/SecondaryIndexesDlg.h"
#include "create/dBaseIndexesDlg.h"
#include "engine/Table.h"
#include "support/ScriptedServices.h"
#include "tables/StandardTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <map>

namespace {

const QString kPython = QStringLiteral(QVX_PYTHON);
const QString kPerl = QStringLiteral(QVX_PERL);

// A peer program's standard output; empty with a warning when it failed.
QByteArray runPeer(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << program << args << "failed:" << p.readAllStandardError();
        return {};
    }
    return p.readAllStandardOutput();
}

bool havePythonDbf()
{
    return !kPython.isEmpty()
        && QProcess::execute(kPython, { QStringLiteral("-c"), QStringLiteral("import dbf, dbfread") }) == 0;
}

bool haveIndexDump()
{
    return !kPerl.isEmpty() && QFile::exists(QStringLiteral("/usr/bin/index_dump"))
        && QProcess::execute(kPerl,
                             { QStringLiteral("-MXBase::Index"), QStringLiteral("-e"), QStringLiteral("1") })
        == 0;
}

// The records index_dump finds in a tag, as "<key> <record>" lines.
QStringList indexEntries(const QString &path, const QString &tag)
{
    QStringList args { QStringLiteral("/usr/bin/index_dump") };
    if (path.endsWith(QLatin1String(".cdx")))
        args << QStringLiteral("--type=char");
    args << path << (tag.isEmpty() ? QStringLiteral("x") : tag);
    const QByteArray out = runPeer(kPerl, args);
    QStringList lines;
    for (const QByteArray &line : out.split('\n'))
        if (!line.isEmpty())
            lines << QString::fromLatin1(line).simplified();
    return lines;
}

} // namespace

class CreateTablesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    QString m_created; // the path of the table the window made
    // What each dialog does when it is shown, by object name.
    std::map<QString, std::function<void(QDialog &)>> m_steps;

    // Runs "Create new table" for a kind and name, with the New Table
    // window doing fill(form) and the index dialogs doing their steps;
    // every dialog but the New Table window is confirmed.
    void createThroughMainWindow(const QString &kind, const QString &name,
                                 const std::function<void(TNewTableForm &)> &fill)
    {
        services->onModal = [&](QDialog &dialog) {
            if (auto *start = qobject_cast<TCreateNewBDETable *>(&dialog)) {
                start->NameEdit->setText(name);
                start->SelectType->setCurrentText(kind);
                services->modalAnswers.push_front(QDialog::Accepted);
            } else if (auto *form = qobject_cast<TNewTableForm *>(&dialog)) {
                fill(*form);
                m_created = form->NewTable.filePath();
                form->command(QStringLiteral("OpenCreatedTable"))->execute();
                services->modalAnswers.push_front(QDialog::Rejected);
            } else {
                const auto step = m_steps.find(dialog.objectName());
                QVERIFY2(step != m_steps.end(), qPrintable(dialog.objectName()));
                step->second(dialog);
                services->modalAnswers.push_front(QDialog::Accepted);
            }
        };
        program->MainForm()->command(QStringLiteral("CreateNewTable"))->execute();
        QCOMPARE(services->errors(), QStringList {});
    }

    static void setRows(TNewTableForm &form, const QList<QStringList> &rows)
    {
        for (const QStringList &row : rows) {
            QVariant size = row[2].isEmpty() ? QVariant() : QVariant(row[2].toInt());
            form.SystemDataSet.appendRecord({ row[0], row[1], size, row[3] });
        }
    }

    // The table window the main window opened on the created table.
    TBDETableForm *openedWindow()
    {
        for (QMdiSubWindow *child : program->MainForm()->ChildWindows())
            if (auto *table = qobject_cast<TBDETableForm *>(child->widget()))
                return table;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        for (const char *var : { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME" })
            qputenv(var, m_home.filePath(QString::fromLatin1(var)).toLocal8Bit());
    }
    void init()
    {
        services = std::make_unique<ScriptedServices>();
        program = std::make_unique<TProgram>();
        m_steps.clear();
        m_created.clear();
    }
    void cleanup()
    {
        program.reset();
        services.reset();
    }

    // "XML Document" starts the same dialog with the XML kind chosen.
    void xmlDocumentCommand()
    {
        TCreateNewBDETable *start = program->MainForm()->CreateNewBDETable;
        QVERIFY(start);
        program->MainForm()->command(QStringLiteral("NewXMLDocument"))->execute();
        QCOMPARE(services->modalDialogs, QStringList { "CreateNewBDETable" });
        QCOMPARE(start->SelectType->currentText(), QStringLiteral("XML Table"));
    }

    // dBASE: a tag from "Is Index", a tag and an index file from the dialog.
    void dbaseTable()
    {
        int uses = 0;
        m_steps[QStringLiteral("dBaseIndexFormDlg")] = [&](QDialog &d) {
            auto &dlg = static_cast<TdBaseIndexFormDlg &>(d);
            const bool first = uses++ == 0;
            const auto items = dlg.SrcList->findItems(first ? QStringLiteral("QTY") : QStringLiteral("DAY"),
                                                      Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            dlg.SrcList->setCurrentItem(items.first());
            dlg.IncludeBtn->click();
            // The first as a maintained tag, the second as a file of its own.
            if (dlg.Maintained->isChecked() != first)
                dlg.Maintained->click();
        };
        m_steps[QStringLiteral("SavedBaseIndexFormDlg")] = [&](QDialog &d) {
            auto &dlg = static_cast<TSavedBaseIndexFormDlg &>(d);
            if (dlg.EditIndexFileName->isEnabled())
                dlg.EditIndexFileName->setText(QStringLiteral("byday.ndx"));
        };
        createThroughMainWindow(QStringLiteral("dBase"), QStringLiteral("Cust"), [&](TNewTableForm &form) {
            setRows(form,
                    { { "NAME", "CHARACTER", "10", "Yes" },
                      { "QTY", "NUMBER", "", "No" },
                      { "PRICE", "FLOAT", "", "No" },
                      { "DAY", "DATE", "", "No" },
                      { "OK", "LOGICAL", "", "No" },
                      { "NOTE", "MEMO", "", "No" },
                      { "AMOUNT", "BINARY", "2", "No" } });
            form.command(QStringLiteral("AddIndex"))->execute();
            form.command(QStringLiteral("AddIndex"))->execute();
            QCOMPARE(form.PendingIndexes.size(), std::size_t(2));
            form.command(QStringLiteral("CreateTable"))->execute();
            QVERIFY(form.NewTable.isOpen());
            form.NewTable.appendRecord({ QStringLiteral("Zed"), 3, 12.34, QDate(2001, 2, 3), true,
                                         QStringLiteral("a memo"), QStringLiteral("12.34") });
            form.NewTable.appendRecord({ QStringLiteral("Ann"), 1, 0.5, QDate(1999, 12, 31), false,
                                         QVariant(), QStringLiteral("-1.25") });
        });
        TBDETableForm *window = openedWindow();
        QVERIFY(window);
        QCOMPARE(window->BDETable.recordCount(), qint64(2));
        const QDir dir = QFileInfo(m_created).absoluteDir();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("byday.ndx"))));

        // DBD::XBase reads dBASE IV memos right (dbfread adds 8 stray bytes,
        // python3-dbf does not open dBASE IV tables).
        if (haveIndexDump()) {
            const QByteArray out
                = runPeer(kPerl,
                          { QStringLiteral(QVX_SOURCE_DIR "/tests/interop/dbf_peer.pl"),
                            QStringLiteral("read-xbase"), m_created, QStringLiteral("cp1252") });
            const QList<QByteArray> lines = out.trimmed().split('\n');
            QCOMPARE(lines.size(), 2);
            const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
            const auto number = [&](const char *field) {
                return first.value(QLatin1String(field))
                    .toObject()
                    .value(QStringLiteral("n"))
                    .toString()
                    .toDouble();
            };
            QCOMPARE(first.value(QStringLiteral("NAME")).toString().trimmed(), QStringLiteral("Zed"));
            QCOMPARE(first.value(QStringLiteral("NOTE")).toString(), QStringLiteral("a memo"));
            QCOMPARE(first.value(QStringLiteral("DAY")).toObject().value(QStringLiteral("d")).toString(),
                     QStringLiteral("2001-02-03"));
            QCOMPARE(number("AMOUNT"), 12.34);
            QCOMPARE(number("PRICE"), 12.34);
            QCOMPARE(number("QTY"), 3.0);
        }
        if (haveIndexDump()) {
            const QString mdx = dir.filePath(QStringLiteral("Cust.mdx"));
            QCOMPARE(indexEntries(mdx, QStringLiteral("NAME")), (QStringList { "Ann 2", "Zed 1" }));
            QCOMPARE(indexEntries(mdx, QStringLiteral("QTY")).size(), 2);
            // Written once when made (the table was empty) and not kept after.
            QCOMPARE(indexEntries(dir.filePath(QStringLiteral("byday.ndx")), {}), QStringList {});
        }
    }

    // FoxPro: the dialog's two-field unique index, its offered name filled in.
    void foxProTable()
    {
        m_steps[QStringLiteral("FoxProIndexFormDlg")] = [&](QDialog &d) {
            auto &dlg = static_cast<TFoxProIndexFormDlg &>(d);
            for (const char *field : { "DAY", "NAME" }) {
                dlg.SrcList->clearSelection();
                dlg.SrcList->findItems(QString::fromLatin1(field), Qt::MatchExactly)
                    .first()
                    ->setSelected(true);
                dlg.IncludeBtn->click();
            }
            if (!dlg.Unique->isChecked())
                dlg.Unique->click();
        };
        m_steps[QStringLiteral("SaveFoxProIndexFormDlg")] = [&](QDialog &d) {
            QCOMPARE(static_cast<TSaveFoxProIndexFormDlg &>(d).EditIndexName->text(),
                     QStringLiteral("<Table>_"));
        };
        createThroughMainWindow(QStringLiteral("FoxPro"), QStringLiteral("Fox"), [&](TNewTableForm &form) {
            setRows(form,
                    { { "NAME", "CHARACTER", "8", "Yes" },
                      { "DAY", "DATE", "", "No" },
                      { "NOTE", "MEMO", "", "No" } });
            form.command(QStringLiteral("AddIndex"))->execute();
            form.command(QStringLiteral("CreateTable"))->execute();
            form.NewTable.appendRecord({ QStringLiteral("Bo"), QDate(2020, 1, 2), QStringLiteral("memo") });
            form.NewTable.appendRecord({ QStringLiteral("Al"), QDate(2020, 1, 2), QVariant() });
        });
        QVERIFY(openedWindow());
        const QString cdx = QFileInfo(m_created).absoluteDir().filePath(QStringLiteral("Fox.cdx"));
        QVERIFY(QFile::exists(cdx));
        std::vector<qvx::IndexInfo> made = openedWindow()->BDETable.indexes();
        QCOMPARE(made.size(), std::size_t(2));
        QCOMPARE(made[1].tag, QStringLiteral("FOX_"));
        QVERIFY(made[1].options.contains(QStringLiteral("unique")));
        if (haveIndexDump()) {
            QCOMPARE(indexEntries(cdx, QStringLiteral("NAME")), (QStringList { "Al 2", "Bo 1" }));
            QCOMPARE(indexEntries(cdx, QStringLiteral("FOX_")),
                     (QStringList { "20200102Al 2", "20200102Bo 1" }));
        }
        if (havePythonDbf()) {
            const QByteArray out = runPeer(kPython,
                                           { QStringLiteral(QVX_SOURCE_DIR "/tests/interop/dbf_peer.py"),
                                             QStringLiteral("read-dbfread"), m_created });
            QVERIFY(out.contains("\"memo\""));
        }
    }

    // Paradox: the key from "Is Index", a secondary index from the dialog.
    void paradoxTable()
    {
        m_steps[QStringLiteral("SecondaryIndexFormDlg")] = [&](QDialog &d) {
            auto &dlg = static_cast<TSecondaryIndexFormDlg &>(d);
            for (int i = 0; i < dlg.SrcList->count(); ++i) {
                const QString text = dlg.SrcList->item(i)->text();
                dlg.SrcList->item(i)->setSelected(text == QLatin1String("Name")
                                                  || text == QLatin1String("Qty"));
            }
            dlg.IncludeBtn->click();
            if (!dlg.Maintained->isChecked())
                dlg.Maintained->click();
        };
        m_steps[QStringLiteral("SaveParadoxIndexForm")] = [&](QDialog &d) {
            static_cast<TSaveParadoxIndexForm &>(d).EditIndexName->setText(QStringLiteral("ByQtyName"));
        };
        createThroughMainWindow(QStringLiteral("Paradox"), QStringLiteral("Parts"), [&](TNewTableForm &form) {
            setRows(form,
                    { { "Code", "Alpha", "6", "Yes" },
                      { "Name", "Alpha", "20", "No" },
                      { "Qty", "Short", "", "No" },
                      { "Price", "Number", "15", "No" },
                      { "Amount", "#(BCD)", "2", "No" },
                      { "Day", "Date", "", "No" },
                      { "Flag", "Logical", "", "No" } });
            form.command(QStringLiteral("AddIndex"))->execute();
            QCOMPARE(form.PendingIndexes.front().Fields, QStringLiteral("Qty;Name"));
            form.command(QStringLiteral("CreateTable"))->execute();
            form.NewTable.appendRecord({ QStringLiteral("B2"), QStringLiteral("Bolt"), 4, 12.34,
                                         QStringLiteral("12.34"), QDate(2003, 4, 5), true });
            form.NewTable.appendRecord({ QStringLiteral("A1"), QStringLiteral("Nut"), 9, 0.25,
                                         QStringLiteral("-1.50"), QDate(1990, 1, 1), false });
        });
        TBDETableForm *window = openedWindow();
        QVERIFY(window);
        std::vector<qvx::IndexInfo> made = window->BDETable.indexes(true);
        QCOMPARE(made.size(), std::size_t(2));
        QCOMPARE(made[0].expression, QStringLiteral("Code"));
        QCOMPARE(made[1].tag, QStringLiteral("ByQtyName"));
        QCOMPARE(made[1].expression, QStringLiteral("Qty;Name"));
        QCOMPARE(made[1].keyCount, qint64(2));
        // In key order.
        QCOMPARE(window->BDETable.readField(1, 0).toString(), QStringLiteral("A1"));

        const QString gcc = QStandardPaths::findExecutable(QStringLiteral("gcc"));
        if (gcc.isEmpty() || !QFile::exists(QStringLiteral("/usr/include/paradox.h")))
            return;
        QTemporaryDir tools;
        const QString tool = tools.filePath(QStringLiteral("pxlib_tool"));
        QVERIFY(QProcess::execute(gcc,
                                  { QStringLiteral("-o"), tool,
                                    QStringLiteral(QVX_FIXTURES "/paradox/pxlib_tool.c"),
                                    QStringLiteral("-lpx") })
                == 0);
        QString px = m_created;
        px.replace(QRegularExpression(QStringLiteral("\\.db$")), QStringLiteral(".px"));
        const QString out = QString::fromLatin1(runPeer(tool, { QStringLiteral("read"), m_created, px }));
        QVERIFY2(out.contains(QLatin1String("A1")) && out.contains(QLatin1String("Bolt")), qPrintable(out));
        QVERIFY2(out.indexOf(QLatin1String("A1")) < out.indexOf(QLatin1String("B2")), qPrintable(out));
    }
};

QTEST_MAIN(CreateTablesTest)
#include "tst_createtables.moc"
