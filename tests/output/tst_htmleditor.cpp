// The HTML editor and its text properties dialog driven through their
// buttons, with scripted file, colour and message answers: the page's lines,
// the records table, the file's bytes, the browser and printing.

#include "support/ScriptedServices.h"

#include "engine/ClientDataSet.h"
#include "output/HTMLFontsDlg.h"
#include "output/HTMLFormDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>
#include <QTime>
#include <QToolButton>

#include <memory>

using qvx::FieldType;
using qvx::ui::FileDialogAnswer;

namespace {

// The page with neither date nor time and no table; the title goes into
// line 7.
QStringList basePage(const QString &title = {})
{
    return {
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">"),
        QStringLiteral("<HTML>"),
        QStringLiteral("<HEAD>"),
        QStringLiteral(
            "  <META name=\"Quorvex Editor\" content=\"Halvessa Ltd. Plenwick V1.0 for Windows\">"),
        QStringLiteral("  <META http-equiv=\"Content-Style-Type\" content=\"text/css\">"),
        QString(),
        QStringLiteral("  <TITLE> ") + title + QStringLiteral(" </TITLE>"),
        QString(),
        QStringLiteral("<STYLE type=\"text/css\">"),
        QStringLiteral("<!--"),
        QStringLiteral("BODY"),
        QStringLiteral("{"),
        QStringLiteral("  font-family: Verdana, serif, sans-serif, Arial;"),
        QStringLiteral("}"),
        QStringLiteral("--></STYLE>"),
        QString(),
        QStringLiteral("  <BODY>"),
        QStringLiteral("  </BODY>"),
        QStringLiteral("</HTML>"),
    };
}

const QString CharsetLine
    = QStringLiteral("  <META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">");

QByteArray crlfBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList memoLines(const THTMLForm &form)
{
    return form.HTMLMemo->toPlainText().split(u'\n');
}

// The editor with its font dialog, as the main window holds them.
struct Editor {
    THTMLFontFormDlg fonts;
    THTMLForm form { fonts };
};

// Four clients: a quote, an ampersand and a non-ASCII letter among them, a
// hidden field, a memo and a graphic.
struct Clients {
    qvx::ClientDataSet ds;
    Clients()
    {
        ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 30);
        ds.addFieldDef(QStringLiteral("CITY"), FieldType::String, 30);
        ds.addFieldDef(QStringLiteral("SECRET"), FieldType::String, 10);
        ds.addFieldDef(QStringLiteral("NOTES"), FieldType::Memo);
        ds.addFieldDef(QStringLiteral("PHOTO"), FieldType::Graphic);
        ds.addFieldDef(QStringLiteral("AMOUNT"), FieldType::Float);
        ds.createDataSet();
        ds.appendRecord({ QStringLiteral("Say \"hi\""), QStringLiteral("Oslo"), QStringLiteral("x"),
                          QStringLiteral("two\nlines"), QByteArray("\x89PNG", 4), 1.5 });
        ds.appendRecord({ QStringLiteral("Smith & Sons"), QStringLiteral("<Rome>"), QStringLiteral("y"),
                          QVariant(), QVariant(), 2.0 });
        ds.appendRecord({ QStringLiteral("Zoë"), QString(), QStringLiteral("z"), QStringLiteral("plain"),
                          QVariant(), QVariant() });
        ds.setDisplayLabel(1, QStringLiteral("Town & Region"));
        ds.setFieldVisible(2, false);
    }
};

} // namespace

class TestHtmlEditor : public QObject {
    Q_OBJECT

private slots:
    // A folder of its own for each test, so that no file of an earlier one
    // is taken for an existing file.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void windowGeometryAndStartState();
    void plainPageHasNineteenLines();
    void dateAndTimeLines_data();
    void dateAndTimeLines();
    void titleIsEscaped();
    void recordsTable();
    void allVisibleFieldsWhenNoneSelected();
    void tableColoursAndNumbers();
    void arrowsMoveFields();
    void existingFile_data();
    void existingFile();
    void savingAgainShowsNewPage();
    void cancelledSaveChangesNothing();
    void failedWriteShowsErrorAndKeepsBrowser();
    void clearThenSaveWritesEmptyFile();
    void addressListedOnce();
    void enterInAddressBoxOpensIt();
    void historyButtons();
    void goAndOpenHtmlUseOpenDialog();
    void printMemoToPdf();
    void printPageToPdf();
    void colourButtonsKeepColour();

    void applyFont_data();
    void applyFont();
    void colourButtonAppliesFont();
    void styleAndAlignment();
    void headerDoubleClickKeepsProperties_data();
    void headerDoubleClickKeepsProperties();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHtmlEditor::windowGeometryAndStartState()
{
    ScriptedServices services;
    services.screen = QSize(1200, 900);
    Editor e;
    QCOMPARE(e.form.windowTitle(), QStringLiteral("HTML Editor"));
    QCOMPARE(e.form.size(), QSize(732, 326));
    QCOMPARE(e.form.minimumSize(), QSize(732, 294));
    // Every page's controls fit in the smallest window without overlapping.
    const QSize needed = e.form.layout()->minimumSize();
    QVERIFY2(needed.width() <= 732 && needed.height() <= 294,
             qPrintable(QStringLiteral("%1 x %2").arg(needed.width()).arg(needed.height())));
    QCOMPARE(e.form.PageControl->tabPosition(), QTabWidget::South);
    QStringList tabs;
    for (int i = 0; i < e.form.PageControl->count(); ++i)
        tabs << e.form.PageControl->tabText(i);
    QCOMPARE(tabs, QStringList({ "Edit HTML", "Page Properties", "Table Properties", "Preview" }));
    for (QToolButton *b :
         { e.form.PrevisionButton, e.form.StopButton, e.form.NextButton, e.form.PrintButton })
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(e.form.GoButton->isEnabled());
    QCOMPARE(e.form.findChild<QWidget *>(QStringLiteral("TableDBGrid"))->contextMenuPolicy(),
             Qt::ActionsContextMenu);
    QCOMPARE(e.form.StatusPanel0->width(), 600);
    QCOMPARE(e.form.StatusPanel1->width(), 50);

    QVERIFY(!e.form.Execute()); // closed without OK
    QCOMPARE(e.form.pos(), QPoint((1200 - 732) / 2, (900 - 326) / 2));
    QCOMPARE(services.modalDialogs, QList<QString> { QStringLiteral("HTMLForm") });
}

void TestHtmlEditor::plainPageHasNineteenLines()
{
    ScriptedServices services;
    Editor e;
    QVERIFY(!e.form.PrintButton->isEnabled());
    QVERIFY(!e.form.StopButton->isEnabled());
    const QString file = path(QStringLiteral("plain.HTML"));
    services.saveAnswers.push_back(FileDialogAnswer { file, 1 });

    e.form.CreateHTMLBtn->click();

    QCOMPARE(services.errors(), QStringList());
    QCOMPARE(memoLines(e.form), basePage());
    QCOMPARE(memoLines(e.form).size(), 19);
    QCOMPARE(memoLines(e.form).at(6), QStringLiteral("  <TITLE>  </TITLE>"));
    QCOMPARE(readBytes(file), crlfBytes(basePage()));

    QCOMPARE(services.saveRequests.size(), 1);
    const qvx::ui::FileDialogRequest &request = services.saveRequests.first();
    QCOMPARE(request.title, QStringLiteral("Save HTML"));
    QCOMPARE(request.filter, QStringLiteral("HTML|*.HTML|All ...|*.*"));
    QCOMPARE(request.fileName, QStringLiteral("Table"));
    QCOMPARE(request.defaultExtension, QStringLiteral("HTML"));

    QVERIFY(e.form.PrintButton->isEnabled());
    QVERIFY(e.form.StopButton->isEnabled());
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(file));
    QCOMPARE(e.form.StatusPanel0->text(), QStringLiteral("Done"));
    QCOMPARE(e.form.ComboURL->findText(file), 0);
    QVERIFY(services.messages.isEmpty());
}

void TestHtmlEditor::dateAndTimeLines_data()
{
    QTest::addColumn<bool>("date");
    QTest::addColumn<bool>("time");
    QTest::newRow("date") << true << false;
    QTest::newRow("time") << false << true;
    QTest::newRow("both") << true << true;
}

void TestHtmlEditor::dateAndTimeLines()
{
    QFETCH(bool, date);
    QFETCH(bool, time);
    ScriptedServices services;
    Editor e;
    QVERIFY(!e.form.CurrentDate->isChecked());
    QVERIFY(!e.form.CurrentTime->isChecked());
    e.form.CurrentDate->setChecked(date);
    e.form.CurrentTime->setChecked(time);
    services.saveAnswers.push_back(FileDialogAnswer { path(QStringLiteral("dated.HTML")), 1 });

    const QLocale locale = QLocale::system();
    const QString timeBefore = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    e.form.CreateHTMLBtnClick();
    const QString timeAfter = locale.toString(QTime::currentTime(), QLocale::LongFormat);

    QStringList lines = memoLines(e.form);
    // The locale's own texts may hold more than ASCII, which brings the
    // charset line in; the rest of the page is as without them.
    if (lines.size() > 5 && lines.at(5) == CharsetLine)
        lines.removeAt(5);
    QCOMPARE(lines.size(), 19 + int(date) + int(time));
    QCOMPARE(lines.mid(0, 17), basePage().mid(0, 17));
    QCOMPARE(lines.mid(lines.size() - 2), basePage().mid(17));
    int at = 17;
    if (date) {
        QCOMPARE(lines.at(at++),
                 QStringLiteral("    <FONT SIZE=-1> Current date: ")
                     + locale.toString(QDate::currentDate(), QLocale::ShortFormat)
                     + QStringLiteral(" </FONT> <BR>"));
    }
    if (time) {
        const QString line = lines.at(at++);
        const QString prefix = QStringLiteral("    <FONT SIZE=-1> Current time: ");
        const QString suffix = QStringLiteral(" </FONT> <BR>");
        QVERIFY2(line == prefix + timeBefore + suffix || line == prefix + timeAfter + suffix,
                 qPrintable(line));
    }
}

void TestHtmlEditor::titleIsEscaped()
{
    ScriptedServices services;
    Editor e;
    e.form.EditTitle->setText(QStringLiteral("Sales <2024> & \"more\""));
    services.saveAnswers.push_back(FileDialogAnswer { path(QStringLiteral("title.HTML")), 1 });
    e.form.CreateHTMLBtnClick();
    QCOMPARE(memoLines(e.form), basePage(QStringLiteral("Sales &lt;2024&gt; &amp; &quot;more&quot;")));
}

void TestHtmlEditor::recordsTable()
{
    ScriptedServices services;
    Clients clients;
    clients.ds.setRecNo(2);
    Editor e;
    e.form.setSourceTable(&clients.ds, QString());
    e.form.Execute();

    // Sorted, the hidden field left out, and nothing selected yet.
    QStringList source;
    for (int row = 0; row < e.form.ListBox1->count(); ++row)
        source << e.form.ListBox1->item(row)->text();
    QCOMPARE(source, QStringList({ "AMOUNT", "CITY", "NAME", "NOTES", "PHOTO" }));
    QCOMPARE(e.form.ListBox2->count(), 0);

    // Chosen in an order of our own: PHOTO, NAME, CITY, NOTES.
    for (const char *name : { "PHOTO", "NAME", "CITY", "NOTES" }) {
        e.form.ListBox1->clearSelection();
        e.form.ListBox1->findItems(QString::fromLatin1(name), Qt::MatchExactly).first()->setSelected(true);
        e.form.AddFieldBtn->click();
    }

    const QString file = path(QStringLiteral("clients.HTML"));
    services.saveAnswers.push_back(FileDialogAnswer { file, 1 });
    e.form.CreateHTMLBtn->click();
    QCOMPARE(services.errors(), QStringList());

    const QStringList table {
        QStringLiteral("    <TABLE BORDER=\"0\" CELLPADDING=\"0\" CELLSPACING=\"0\">"),
        QStringLiteral("      <TR><TH>PHOTO</TH><TH>NAME</TH><TH>Town &amp; Region</TH>"
                       "<TH>NOTES</TH></TR>"),
        QStringLiteral("      <TR><TD>Graphic</TD><TD>Say &quot;hi&quot;</TD><TD>Oslo</TD>"
                       "<TD>two<BR>lines</TD></TR>"),
        QStringLiteral("      <TR><TD>Graphic</TD><TD>Smith &amp; Sons</TD><TD>&lt;Rome&gt;</TD>"
                       "<TD>&nbsp;</TD></TR>"),
        QStringLiteral("      <TR><TD>Graphic</TD><TD>Zoë</TD><TD>&nbsp;</TD><TD>plain</TD></TR>"),
        QStringLiteral("    </TABLE>")
    };
    // The table just before "  </BODY>", and the charset line after line 5.
    QStringList expected = basePage();
    for (int i = 0; i < table.size(); ++i)
        expected.insert(17 + i, table.at(i));
    expected.insert(5, CharsetLine);
    QCOMPARE(memoLines(e.form), expected);

    const QByteArray bytes = readBytes(file);
    QCOMPARE(bytes, crlfBytes(expected));
    QVERIFY(bytes.contains("<TD>Zo\xc3\xab</TD>"));
    QCOMPARE(e.form.Gauge->value(), e.form.Gauge->maximum());
    QCOMPARE(clients.ds.recNo(), 2);
    // The browser read the page as UTF-8.
    QVERIFY(e.form.WebBrowser->toPlainText().contains(QStringLiteral("Zoë")));
}

void TestHtmlEditor::allVisibleFieldsWhenNoneSelected()
{
    ScriptedServices services;
    Clients clients;
    Editor e;
    e.form.setSourceTable(&clients.ds, QStringLiteral("Clients & Co"));
    e.form.Execute();
    services.saveAnswers.push_back(FileDialogAnswer { path(QStringLiteral("all.HTML")), 1 });
    e.form.CreateHTMLBtnClick();

    const QStringList lines = memoLines(e.form);
    const int caption = lines.indexOf(QStringLiteral("      <CAPTION>Clients &amp; Co</CAPTION>"));
    QVERIFY(caption > 0);
    QCOMPARE(lines.at(caption + 1),
             QStringLiteral("      <TR><TH>NAME</TH><TH>Town &amp; Region</TH>"
                            "<TH>NOTES</TH><TH>PHOTO</TH><TH>AMOUNT</TH></TR>"));
    // Values as the grid shows them: the float with its shortest text.
    QVERIFY(lines.at(caption + 2).endsWith(QStringLiteral("<TD>Graphic</TD><TD>1.5</TD></TR>")));
    QCOMPARE(lines.at(caption + 4),
             QStringLiteral("      <TR><TD>Zoë</TD><TD>&nbsp;</TD><TD>plain</TD>"
                            "<TD>Graphic</TD><TD>&nbsp;</TD></TR>"));
    QCOMPARE(lines.at(lines.size() - 3), QStringLiteral("    </TABLE>"));
}

void TestHtmlEditor::tableColoursAndNumbers()
{
    ScriptedServices services;
    Clients clients;
    Editor e;
    e.form.setSourceTable(&clients.ds, QString());
    e.form.BorderWidth->setValue(2);
    e.form.Cellpadding->setValue(3);
    e.form.Cellspacing->setValue(4);
    services.colorAnswers = { QColor(255, 0, 16), QColor(0, 0, 0), std::nullopt };
    e.form.BackColorBtn->click();
    e.form.BorderColorDarkBtn->click();
    e.form.BorderColorLightBtn->click(); // cancelled: no attribute
    services.saveAnswers.push_back(FileDialogAnswer { path(QStringLiteral("colours.HTML")), 1 });
    e.form.CreateHTMLBtnClick();

    QVERIFY(memoLines(e.form).contains(
        QStringLiteral("    <TABLE BORDER=\"2\" CELLPADDING=\"3\" CELLSPACING=\"4\" "
                       "BGCOLOR=\"#ff0010\" BORDERCOLORDARK=\"#000000\">")));
}

void TestHtmlEditor::arrowsMoveFields()
{
    ScriptedServices services;
    Clients clients;
    Editor e;
    e.form.setSourceTable(&clients.ds, QString());
    e.form.Execute();
    const auto texts = [](const QListWidget *list) {
        QStringList t;
        for (int row = 0; row < list->count(); ++row)
            t << list->item(row)->text();
        return t;
    };
    for (QToolButton *b :
         { e.form.AddFieldBtn, e.form.AddAllFieldsBtn, e.form.RemoveFieldBtn, e.form.RemoveAllFieldsBtn })
        QVERIFY(b->isEnabled());

    e.form.ListBox1->item(3)->setSelected(true); // NOTES
    e.form.ListBox1->item(1)->setSelected(true); // CITY
    e.form.AddFieldBtn->click();
    QCOMPARE(texts(e.form.ListBox2), QStringList({ "CITY", "NOTES" }));
    QCOMPARE(texts(e.form.ListBox1), QStringList({ "AMOUNT", "NAME", "PHOTO" }));

    e.form.AddAllFieldsBtn->click();
    QCOMPARE(texts(e.form.ListBox2), QStringList({ "CITY", "NOTES", "AMOUNT", "NAME", "PHOTO" }));
    QCOMPARE(e.form.ListBox1->count(), 0);

    e.form.ListBox2->item(0)->setSelected(true);
    e.form.RemoveFieldBtn->click();
    QCOMPARE(texts(e.form.ListBox1), QStringList({ "CITY" }));
    e.form.RemoveAllFieldsBtn->click();
    QCOMPARE(texts(e.form.ListBox1), QStringList({ "AMOUNT", "CITY", "NAME", "NOTES", "PHOTO" }));
    QCOMPARE(e.form.ListBox2->count(), 0);

    // Execute again starts over: the selection is emptied.
    e.form.AddAllFieldsBtn->click();
    e.form.Execute();
    QCOMPARE(e.form.ListBox1->count(), 5);
    QCOMPARE(e.form.ListBox2->count(), 0);
}

void TestHtmlEditor::existingFile_data()
{
    QTest::addColumn<qvx::ui::MessageButton>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("no") << qvx::ui::ButtonNo << false;
    QTest::newRow("yes") << qvx::ui::ButtonYes << true;
}

void TestHtmlEditor::existingFile()
{
    QFETCH(qvx::ui::MessageButton, answer);
    QFETCH(bool, replaced);
    ScriptedServices services;
    Editor e;
    const QString file = path(QStringLiteral("existing.HTML"));
    const QByteArray old = "<HTML><BODY>old page</BODY></HTML>";
    writeBytes(file, old);
    services.saveAnswers.push_back(FileDialogAnswer { file, 1 });
    services.messageAnswers.push_back(answer);

    e.form.CreateHTMLBtnClick();

    QCOMPARE(services.messages.size(), 1);
    QCOMPARE(services.messages.first().icon, qvx::ui::MessageIcon::Information);
    QCOMPARE(services.messages.first().text,
             QStringLiteral("The file ") + file + QStringLiteral(" exits! Are you want to delete it?"));
    QCOMPARE(services.messages.first().buttons, unsigned(qvx::ui::ButtonYes | qvx::ui::ButtonNo));
    QCOMPARE(readBytes(file), replaced ? crlfBytes(basePage()) : old);
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(file));
    QCOMPARE(e.form.WebBrowser->toPlainText().contains(QStringLiteral("old page")), !replaced);
}

void TestHtmlEditor::savingAgainShowsNewPage()
{
    ScriptedServices services;
    Editor e;
    const QString file = path(QStringLiteral("again.HTML"));
    services.saveAnswers = { FileDialogAnswer { file, 1 }, FileDialogAnswer { file, 1 } };
    services.messageAnswers.push_back(qvx::ui::ButtonYes);
    e.form.EditTitle->setText(QStringLiteral("First"));
    e.form.CreateHTMLBtnClick();
    QCOMPARE(e.form.WebBrowser->documentTitle().trimmed(), QStringLiteral("First"));
    e.form.EditTitle->setText(QStringLiteral("Second"));
    e.form.CreateHTMLBtnClick();
    QCOMPARE(e.form.WebBrowser->documentTitle().trimmed(), QStringLiteral("Second"));
    QCOMPARE(e.form.ComboURL->count(), 1);
}

void TestHtmlEditor::cancelledSaveChangesNothing()
{
    ScriptedServices services;
    Editor e;
    const QString shown = path(QStringLiteral("shown.HTML"));
    writeBytes(shown, "<HTML><BODY>shown</BODY></HTML>");
    e.form.OpenAddress(shown);
    services.saveAnswers.push_back(std::nullopt);
    e.form.SaveHTMLBtn->click();
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(shown));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList({ "shown.HTML" }));
    QVERIFY(services.errors().isEmpty());
}

void TestHtmlEditor::failedWriteShowsErrorAndKeepsBrowser()
{
    ScriptedServices services;
    Editor e;
    const QString shown = path(QStringLiteral("shown.HTML"));
    writeBytes(shown, "<HTML><BODY>shown</BODY></HTML>");
    e.form.OpenAddress(shown);
    // A folder that cannot be written for anyone: its place is taken by a
    // plain file.
    const QString blocked = path(QStringLiteral("blocked"));
    writeBytes(blocked, "not a folder");
    const QString file = blocked + QStringLiteral("/page.HTML");
    services.saveAnswers.push_back(FileDialogAnswer { file, 1 });

    e.form.CreateHTMLBtn->click();

    QCOMPARE(services.errors().size(), 1);
    QVERIFY2(services.errors().first().contains(file), qPrintable(services.errors().first()));
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(shown));
    QCOMPARE(e.form.ComboURL->count(), 1);
    QVERIFY(!e.form.PrintButton->isEnabled());
    QCOMPARE(readBytes(blocked), QByteArray("not a folder"));
}

void TestHtmlEditor::clearThenSaveWritesEmptyFile()
{
    ScriptedServices services;
    Editor e;
    e.form.HTMLMemo->setPlainText(QStringLiteral("something\nelse"));
    e.form.ClearHTMLBtn->click();
    QVERIFY(e.form.HTMLMemo->toPlainText().isEmpty());
    const QString file = path(QStringLiteral("empty.HTML"));
    services.saveAnswers.push_back(FileDialogAnswer { file, 1 });
    e.form.SaveHTMLBtn->click();
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(readBytes(file), QByteArray());
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(file));
}

void TestHtmlEditor::addressListedOnce()
{
    ScriptedServices services;
    Editor e;
    const QString a = path(QStringLiteral("a.HTML"));
    const QString b = path(QStringLiteral("b.HTML"));
    writeBytes(a, "<HTML><BODY>page a</BODY></HTML>");
    writeBytes(b, "<HTML><BODY>page b</BODY></HTML>");
    e.form.OpenAddress(a);
    e.form.OpenAddress(b);
    e.form.OpenAddress(a);
    e.form.OpenAddress(QUrl::fromLocalFile(a).toString()); // the same page by its URL
    QCOMPARE(e.form.ComboURL->count(), 2);
    QCOMPARE(e.form.ComboURL->itemText(0), a);
    QCOMPARE(e.form.ComboURL->itemText(1), b);
    QVERIFY(e.form.WebBrowser->toPlainText().contains(QStringLiteral("page a")));
    QCOMPARE(e.form.StatusPanel0->text(), QStringLiteral("Done"));
}

void TestHtmlEditor::enterInAddressBoxOpensIt()
{
    ScriptedServices services;
    Editor e;
    const QString a = path(QStringLiteral("typed.HTML"));
    writeBytes(a, "<HTML><BODY>typed page</BODY></HTML>");
    e.form.show();
    e.form.ComboURL->setEditText(a);
    QTest::keyClick(e.form.ComboURL->lineEdit(), Qt::Key_Return);
    QVERIFY(e.form.WebBrowser->toPlainText().contains(QStringLiteral("typed page")));
    QCOMPARE(e.form.ComboURL->count(), 1);
    // Enter opened the page and pressed no button: no save dialog, and the
    // editor is still open.
    QVERIFY(services.saveRequests.isEmpty());
    QVERIFY(e.form.isVisible());
}

void TestHtmlEditor::historyButtons()
{
    ScriptedServices services;
    Editor e;
    const QString a = path(QStringLiteral("first.HTML"));
    const QString b = path(QStringLiteral("second.HTML"));
    writeBytes(a, "<HTML><BODY>first</BODY></HTML>");
    writeBytes(b, "<HTML><BODY>second</BODY></HTML>");
    QVERIFY(!e.form.PrevisionButton->isEnabled());
    QVERIFY(!e.form.NextButton->isEnabled());
    e.form.OpenAddress(a);
    e.form.OpenAddress(b);
    QVERIFY(e.form.PrevisionButton->isEnabled());
    QVERIFY(!e.form.NextButton->isEnabled());
    e.form.PrevisionButton->click();
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(a));
    QVERIFY(!e.form.PrevisionButton->isEnabled());
    QVERIFY(e.form.NextButton->isEnabled());
    e.form.NextButton->click();
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(b));
    QVERIFY(!e.form.NextButton->isEnabled());
}

void TestHtmlEditor::goAndOpenHtmlUseOpenDialog()
{
    ScriptedServices services;
    Editor e;
    const QString file = path(QStringLiteral("opened.HTML"));
    writeBytes(file, "<HTML>\r\n<BODY>opened é</BODY>\r\n</HTML>\r\n");
    services.openAnswers = { FileDialogAnswer { file, 1 }, FileDialogAnswer { file, 1 }, std::nullopt };

    e.form.GoButton->click();
    QCOMPARE(services.openRequests.at(0).filter, QStringLiteral("HTML|*.HTML|All ...|*.*"));
    QCOMPARE(e.form.WebBrowser->source(), QUrl::fromLocalFile(file));

    e.form.OpenHTMLBtn->click();
    QCOMPARE(e.form.HTMLMemo->toPlainText(), QStringLiteral("<HTML>\n<BODY>opened é</BODY>\n</HTML>\n"));
    QCOMPARE(services.openRequests.at(1).filter, QStringLiteral("HTML|*.HTML|All ...|*.*"));

    e.form.OpenHTMLBtn->click(); // cancelled: the text stays
    QVERIFY(e.form.HTMLMemo->toPlainText().contains(QStringLiteral("opened é")));
    QVERIFY(services.errors().isEmpty());
}

void TestHtmlEditor::printMemoToPdf()
{
    ScriptedServices services;
    Editor e;
    e.form.HTMLMemo->setPlainText(QStringLiteral("<HTML>\n<BODY>printed</BODY>\n</HTML>"));

    const QString cancelled = path(QStringLiteral("never.pdf"));
    services.saveAnswers.push_back(std::nullopt);
    e.form.PrintHTMLBtn->click();
    QVERIFY(!QFileInfo::exists(cancelled));
    QCOMPARE(services.saveRequests.size(), 1);

    const QString pdf = path(QStringLiteral("memo.pdf"));
    services.saveAnswers.push_back(FileDialogAnswer { pdf, 1 });
    e.form.PrintHTMLBtn->click();
    QCOMPARE(services.printer().docName(), QStringLiteral("My Table"));
    QCOMPARE(services.saveRequests.last().fileName, QStringLiteral("My Table.pdf"));
    const QByteArray bytes = readBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.size() > 500);
    QVERIFY(services.errors().isEmpty());

    services.printerSetupAnswers.push_back(true);
    e.form.PageSetupBtn->click();
    QCOMPARE(services.printerSetupDialogs, 1);
}

void TestHtmlEditor::printPageToPdf()
{
    ScriptedServices services;
    Editor e;
    const QString page = path(QStringLiteral("shown.HTML"));
    writeBytes(page, "<HTML><HEAD><TITLE>Shown page</TITLE></HEAD><BODY>body text</BODY></HTML>");
    e.form.OpenAddress(page);
    const QString pdf = path(QStringLiteral("page.pdf"));
    services.saveAnswers.push_back(FileDialogAnswer { pdf, 1 });
    e.form.PrintBtnClick();
    QCOMPARE(services.printer().docName(), QStringLiteral("Shown page"));
    QVERIFY(readBytes(pdf).startsWith("%PDF"));
}

void TestHtmlEditor::colourButtonsKeepColour()
{
    ScriptedServices services;
    Editor e;
    QVERIFY(!e.form.PageColor.isValid());
    services.colorAnswers = { QColor(1, 2, 3), std::nullopt, QColor(4, 5, 6) };
    e.form.PageColorBtn->click();
    QCOMPARE(e.form.PageColor, QColor(1, 2, 3));
    e.form.PageColorBtn->click(); // cancelled: kept
    QCOMPARE(e.form.PageColor, QColor(1, 2, 3));
    QCOMPARE(services.colorRequests.at(1), QColor(1, 2, 3));
    e.form.BorderColorBtn->click();
    QCOMPARE(e.form.BorderColor, QColor(4, 5, 6));
}

void TestHtmlEditor::applyFont_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("points"); // 0: the error
    QTest::newRow("size 1") << "Arial"
                            << "1" << 8;
    QTest::newRow("size 7") << "Times New Roman"
                            << "7" << 56;
    QTest::newRow("initial text") << "Tahoma"
                                  << "FontSize" << 0;
    QTest::newRow("decimal") << "Timok"
                             << "2.5" << 0;
}

void TestHtmlEditor::applyFont()
{
    QFETCH(QString, name);
    QFETCH(QString, size);
    QFETCH(int, points);
    ScriptedServices services;
    THTMLFontFormDlg dialog;
    QCOMPARE(dialog.FontName->currentText(), QStringLiteral("Courier"));
    QCOMPARE(dialog.FontSize->currentText(), QStringLiteral("FontSize"));
    QCOMPARE(dialog.FontSize->count(), 7);
    const int pointsBefore = dialog.TestMemo->font().pointSize();
    dialog.ColorDialogColor = QColor(0, 0, 200);

    // Typed into the boxes, as a user would: each change applies the font.
    dialog.FontSize->setEditText(size);
    services.messages.clear();
    dialog.FontName->setEditText(name);

    QCOMPARE(dialog.TestMemo->font().family(), name);
    if (points == 0) {
        QCOMPARE(services.errors(),
                 QStringList { QStringLiteral("'%1' is not a valid integer value").arg(size) });
        QCOMPARE(dialog.TestMemo->font().pointSize(), pointsBefore);
    } else {
        QCOMPARE(services.errors(), QStringList());
        QCOMPARE(dialog.TestMemo->font().pointSize(), points);
        QCOMPARE(dialog.TestMemo->palette().color(QPalette::Text), QColor(0, 0, 200));
    }
}

void TestHtmlEditor::colourButtonAppliesFont()
{
    ScriptedServices services;
    THTMLFontFormDlg dialog;
    dialog.FontSize->setEditText(QStringLiteral("3"));
    services.colorAnswers = { QColor(10, 20, 30), std::nullopt };
    dialog.ToolButton1->click();
    QCOMPARE(dialog.ColorDialogColor, QColor(10, 20, 30));
    QCOMPARE(dialog.TestMemo->palette().color(QPalette::Text), QColor(10, 20, 30));
    QCOMPARE(dialog.TestMemo->font().pointSize(), 24);
    dialog.ToolButton1->click(); // cancelled: the colour stays
    QCOMPARE(services.colorRequests.last(), QColor(10, 20, 30));
    QCOMPARE(dialog.ColorDialogColor, QColor(10, 20, 30));
    QVERIFY(services.errors().isEmpty());
}

void TestHtmlEditor::styleAndAlignment()
{
    ScriptedServices services;
    THTMLFontFormDlg dialog;
    QVERIFY(dialog.StyleLetter.isEmpty());
    QVERIFY(dialog.Align.isEmpty());

    dialog.BoldBtn->click();
    dialog.UnderlineBtn->click();
    QCOMPARE(dialog.StyleLetter, QStringLiteral("U"));
    QVERIFY(dialog.TestMemo->font().bold());
    QVERIFY(dialog.TestMemo->font().underline());
    QVERIFY(!dialog.TestMemo->font().italic());

    dialog.BoldBtn->click(); // toggled off, and still the last pressed
    QCOMPARE(dialog.StyleLetter, QStringLiteral("B"));
    QVERIFY(!dialog.TestMemo->font().bold());
    QVERIFY(!dialog.BoldBtn->isChecked());
    dialog.ItalicBtnClick();
    QVERIFY(dialog.ItalicBtn->isChecked());
    QVERIFY(dialog.TestMemo->font().italic());
    QCOMPARE(dialog.StyleLetter, QStringLiteral("I"));

    dialog.CenterButton->click();
    QCOMPARE(dialog.Align, QStringLiteral("CENTER"));
    QCOMPARE(dialog.TestMemo->document()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    dialog.RightButtonClick();
    QCOMPARE(dialog.Align, QStringLiteral("RIGHT"));
    QVERIFY(dialog.RightButton->isChecked());
    QVERIFY(!dialog.CenterButton->isChecked());
    dialog.LeftButton->click();
    QCOMPARE(dialog.Align, QStringLiteral("LEFT"));
}

void TestHtmlEditor::headerDoubleClickKeepsProperties_data()
{
    QTest::addColumn<int>("result");
    QTest::newRow("ok") << int(QDialog::Accepted);
    QTest::newRow("cancel") << int(QDialog::Rejected);
}

void TestHtmlEditor::headerDoubleClickKeepsProperties()
{
    QFETCH(int, result);
    const bool accepted = result == QDialog::Accepted;
    ScriptedServices services;
    Editor e;
    e.form.show();
    services.modalAnswers.push_back(result);
    services.onModal = [&](QDialog &dialog) {
        QCOMPARE(&dialog, static_cast<QDialog *>(&e.fonts));
        e.fonts.FontSize->setEditText(QStringLiteral("5"));
        e.fonts.FontName->setEditText(QStringLiteral("Arial"));
        e.fonts.CenterButton->click();
        e.fonts.ItalicBtn->click();
    };
    QTest::mouseDClick(e.form.HeaderMemo->viewport(), Qt::LeftButton);

    QCOMPARE(services.modalDialogs, QList<QString> { QStringLiteral("HTMLFontFormDlg") });
    QCOMPARE(e.fonts.FontNameText, accepted ? QStringLiteral("Arial") : QString());
    QCOMPARE(e.fonts.FontSizeText, accepted ? QStringLiteral("5") : QString());
    QCOMPARE(e.form.HeaderAlign, accepted ? QStringLiteral("CENTER") : QString());
    QCOMPARE(e.form.HeaderStyle, accepted ? QStringLiteral("I") : QString());
    QCOMPARE(e.form.HeaderSize, accepted ? QStringLiteral("5") : QString());
    QVERIFY(services.errors().isEmpty());
}

QTEST_MAIN(TestHtmlEditor)
#include "tst_htmleditor.moc"
