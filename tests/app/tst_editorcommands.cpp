// The main window's editors: "RTF Editor" and "Image Editor" open them as
// left; a double click or F1 in a table window's memo pane opens the
// rich-text editor over the memo, in its picture pane the picture manager
// over the picture's bytes; the SQL editor's F4 opens the rich-text editor
// over the SQL text; "&Add To Table" writes the editor's text into the
// plain table window's memo field.
#include "app/ClientMenu.h"
#include "app/Program.h"
#include "editors/GraphDlg.h"
#include "editors/RTFEditor.h"
#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/image/Jpeg.h"
#include "query/EditSQL.h"
#include "support/ScriptedServices.h"
#include "ui/ChildWindow.h"
#include "ui/DBGrid.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

class EditorCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QByteArray m_jpeg;

    // Selects the column of field `name` in the active table window and
    // shows it in the memo or picture pane (View > Memo or Picture).
    static void showInPane(TMainForm *main, const QString &name, QLatin1String view)
    {
        qvx::ui::DBGrid *grid = main->activeChild()->recordsGrid();
        for (int k = 0; k < grid->columnCount(); ++k)
            if (grid->dataSet()->field(grid->gridModel()->fieldOfColumn(k)).name == name)
                grid->setSelectedIndex(k);
        main->command(view)->execute();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        qvx::jpeg::Picture picture;
        picture.width = 8;
        picture.height = 6;
        picture.pixels = QByteArray(8 * 6 * 3, char(200));
        m_jpeg = qvx::jpeg::encode(picture);

        qvx::Table t;
        t.setDatabaseName(m_dir.path());
        t.setTableName(QStringLiteral("notes.dbf"));
        t.addFieldDef(QStringLiteral("NAME"), qvx::FieldType::String, 10);
        t.addFieldDef(QStringLiteral("NOTES"), qvx::FieldType::Memo);
        t.addFieldDef(QStringLiteral("LOGO"), qvx::FieldType::Blob);
        t.createTable();
        t.open();
        t.appendRecord({ QStringLiteral("Ann"), QStringLiteral("first line\nsecond line"), m_jpeg });

        // The same record as an XML data packet, and as an SQL query.
        qvx::ClientDataSet packet;
        packet.addFieldDef(QStringLiteral("NAME"), qvx::FieldType::String, 10);
        packet.addFieldDef(QStringLiteral("NOTES"), qvx::FieldType::Memo);
        packet.addFieldDef(QStringLiteral("LOGO"), qvx::FieldType::Graphic);
        packet.createDataSet();
        packet.appendRecord({ QStringLiteral("Ann"), QStringLiteral("first line\nsecond line"), m_jpeg });
        packet.saveToFile(m_dir.filePath(QStringLiteral("notes.xml")), qvx::PacketFormat::Xml);
        QFile sql(m_dir.filePath(QStringLiteral("notes.sql")));
        QVERIFY(sql.open(QIODevice::WriteOnly));
        sql.write("SELECT * FROM \"" + m_dir.filePath(QStringLiteral("notes.dbf")).toUtf8() + "\"\n");
    }

    // Each kind of table window: its memo and picture panes open the editors
    // over their content; only a plain window takes the text back.
    void everyWindowKindsPanes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("takesTextBack");
        QTest::newRow("plain") << "notes.dbf" << true;
        QTest::newRow("XML") << "notes.xml" << false;
        QTest::newRow("SQL") << "notes.sql" << false;
    }

    void everyWindowKindsPanes()
    {
        QFETCH(QString, file);
        QFETCH(bool, takesTextBack);
        ScriptedServices services;
        TProgram program;
        TMainForm *main = program.MainForm();
        main->show();
        QString rtfText;
        bool pictureIsJpeg = false;
        services.onModal = [&](QDialog &dialog) {
            if (&dialog == main->RTFForm)
                rtfText = main->RTFForm->Editor->toPlainText();
            else if (&dialog == main->GraphForm)
                pictureIsJpeg = main->GraphForm->shownIsJpeg();
        };
        main->OpenFile(m_dir.filePath(file));
        qvx::ui::ChildWindow *child = main->activeChild();
        QVERIFY(child && child->memoPane() && child->picturePane());
        showInPane(main, QStringLiteral("NOTES"), QLatin1String("ViewMemo"));
        emit child->memoPane()->keyUp(Qt::Key_F1);
        QCOMPARE(rtfText, QStringLiteral("first line\nsecond line"));
        showInPane(main, QStringLiteral("LOGO"), QLatin1String("ViewPicture"));
        emit child->picturePane()->doubleClicked();
        QVERIFY(pictureIsJpeg);
        QCOMPARE(main->GraphForm->shownPicture().size(), QSize(8, 6));

        main->RTFForm->setLines(QStringLiteral("changed"));
        main->RTFForm->AddToTable();
        const QString stored = child->recordsGrid()->dataSet()->text(QStringLiteral("NOTES"));
        QCOMPARE(stored == QLatin1String("changed"), takesTextBack);
        if (takesTextBack) {
            // Put back for the next row.
            main->RTFForm->setLines(QStringLiteral("first line\nsecond line"));
            main->RTFForm->AddToTable();
        }
        QCOMPARE(services.errors(), QStringList {});
    }

    void panesOpenTheEditors()
    {
        ScriptedServices services;
        TProgram program;
        TMainForm *main = program.MainForm();
        main->show();
        QStringList shown;
        QString rtfText;
        QByteArray pictureShown;
        services.onModal = [&](QDialog &dialog) {
            if (&dialog == main->RTFForm) {
                shown << QStringLiteral("rtf");
                rtfText = main->RTFForm->Editor->toPlainText();
            } else if (&dialog == main->GraphForm) {
                shown << QStringLiteral("picture");
                pictureShown = main->GraphForm->shownIsJpeg() ? QByteArray("jpeg") : QByteArray();
            }
        };

        main->OpenFile(m_dir.filePath(QStringLiteral("notes.dbf")));
        qvx::ui::ChildWindow *child = main->activeChild();
        QVERIFY(child && child->memoPane() && child->picturePane());
        showInPane(main, QStringLiteral("NOTES"), QLatin1String("ViewMemo"));
        QCOMPARE(child->memoPane()->dataField(), QStringLiteral("NOTES"));
        emit child->memoPane()->doubleClicked();
        QCOMPARE(rtfText, QStringLiteral("first line\nsecond line"));
        rtfText.clear();
        emit child->memoPane()->keyUp(Qt::Key_F2);
        QVERIFY(rtfText.isEmpty());
        emit child->memoPane()->keyUp(Qt::Key_F1);
        QCOMPARE(rtfText, QStringLiteral("first line\nsecond line"));

        showInPane(main, QStringLiteral("LOGO"), QLatin1String("ViewPicture"));
        QCOMPARE(child->picturePane()->dataField(), QStringLiteral("LOGO"));
        emit child->picturePane()->doubleClicked();
        QCOMPARE(pictureShown, QByteArray("jpeg"));
        QCOMPARE(main->GraphForm->shownPicture().size(), QSize(8, 6));

        // The menu commands open the editors as they were left.
        shown.clear();
        main->command(QStringLiteral("RTFEditor"))->execute();
        main->command(QStringLiteral("ImageEditor"))->execute();
        QCOMPARE(shown, (QStringList { "rtf", "picture" }));
        QCOMPARE(rtfText, QStringLiteral("first line\nsecond line"));

        // "&Add To Table" writes the editor's text into the memo field.
        main->RTFForm->setLines(QStringLiteral("written back"));
        main->RTFForm->AddToTable();
        QCOMPARE(services.errors(), QStringList {});
        qvx::DataSet *data = child->recordsGrid()->dataSet();
        QCOMPARE(data->text(QStringLiteral("NOTES")), QStringLiteral("written back"));
        QCOMPARE(child->memoPane()->toPlainText(), QStringLiteral("written back"));
    }

    void sqlEditorF4OpensTheRtfEditor()
    {
        ScriptedServices services;
        TProgram program;
        TMainForm *main = program.MainForm();
        QString rtfText;
        services.onModal = [&](QDialog &dialog) {
            if (&dialog == main->RTFForm)
                rtfText = main->RTFForm->Editor->toPlainText();
        };
        main->EditSQLForm->SQLEdit->setPlainText(QStringLiteral("SELECT *\nFROM notes"));
        main->EditSQLForm->command(QStringLiteral("SQLRTFEditor"))->execute();
        QCOMPARE(rtfText, QStringLiteral("SELECT *\nFROM notes"));
    }
};

QTEST_MAIN(EditorCommandsTest)
#include "tst_editorcommands.moc"
