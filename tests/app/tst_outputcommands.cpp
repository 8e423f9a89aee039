// The main window's output commands: "Print pre&view ..." hands the active
// table window's grid and caption to the page manager, "Print" prints that
// grid's pages (to a PDF file where there is no printer), and "HTML Editor"
// opens over the window's fields; with no table window the first does nothing.
#include "app/ClientMenu.h"
#include "app/Program.h"
#include "engine/Table.h"
#include "output/HTMLFormDlg.h"
#include "output/PrintTable.h"
#include "support/ScriptedServices.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class OutputCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache")).toLocal8Bit());
        qvx::Table t;
        t.setDatabaseName(m_dir.path());
        t.setTableName(QStringLiteral("people.dbf"));
        t.addFieldDef(QStringLiteral("NAME"), qvx::FieldType::String, 10);
        t.addFieldDef(QStringLiteral("CITY"), qvx::FieldType::String, 12);
        t.createTable();
        t.open();
        for (int i = 0; i < 40; ++i)
            t.appendRecord({ QStringLiteral("Name %1").arg(i + 1), QStringLiteral("Town") });
    }

    void previewPrintAndHtmlOverTheActiveTable()
    {
        ScriptedServices services;
        QPrinter &printer = services.printer();
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
        TProgram program;
        TMainForm *main = program.MainForm();
        main->show();

        // No table window: nothing to preview.
        main->command(QStringLiteral("PrintPreview"))->execute();
        QVERIFY(services.modalDialogs.isEmpty());

        main->OpenFile(m_dir.filePath(QStringLiteral("people.dbf")));
        QVERIFY(main->activeChild());
        QStringList drawn;
        services.onModal = [&](QDialog &dialog) {
            if (&dialog != main->PrintForm)
                return;
            for (const TPrintForm::DrawnText &d : main->PrintForm->Drawn)
                drawn << d.text;
            QCOMPARE(main->PrintForm->StatusPanel[2]->text(),
                     QLatin1Char(' ') + main->activeChild()->caption());
        };
        main->command(QStringLiteral("PrintPreview"))->execute();
        QCOMPARE(services.modalDialogs.size(), 1);
        QVERIFY(drawn.contains(QStringLiteral("NAME")));
        QVERIFY(drawn.contains(QStringLiteral("Name 1")));

        // "Print" prints every page of the window's records, here to a PDF.
        const QString pdf = m_dir.filePath(QStringLiteral("people.pdf"));
        services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { pdf, 1 });
        main->command(QStringLiteral("Print"))->execute();
        QVERIFY(QFileInfo(pdf).size() > 0);
        const qint64 pages = main->PrintForm->HorizontalPageCount() * main->PrintForm->VerticalPageCount();
        QVERIFY(pages > 1);
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (!pdfinfo.isEmpty()) {
            QProcess process;
            process.start(pdfinfo, { pdf });
            QVERIFY(process.waitForFinished(30000));
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                                  .match(QString::fromUtf8(process.readAllStandardOutput()));
            QVERIFY(m.hasMatch());
            QCOMPARE(m.captured(1).toLongLong(), pages);
        }

        QStringList fields;
        services.onModal = [&](QDialog &dialog) {
            if (&dialog != main->HTMLForm)
                return;
            for (int i = 0; i < main->HTMLForm->ListBox1->count(); ++i)
                fields << main->HTMLForm->ListBox1->item(i)->text();
        };
        main->command(QStringLiteral("HTMLEditor"))->execute();
        QCOMPARE(fields, (QStringList { "CITY", "NAME" }));
        QCOMPARE(services.errors(), QStringList {});
    }
};

QTEST_MAIN(OutputCommandsTest)
#include "tst_outputcommands.moc"
