// The RTF editor window: the ruler's markers and drops, the cursor read-out,
// the file commands and their questions, "&Add To Table", the font controls,
// bullets and printing.
#include "editors/RTFEditor.h"
#include "editors/RTFRuler.h"
#include "support/ScriptedServices.h"

#include "engine/ClientDataSet.h"
#include "ui/ChildWindow.h"
#include "ui/ColorBox.h"
#include "ui/CommandList.h"
#include "ui/DBMemo.h"
#include "ui/DataSource.h"
#include "ui/RtfText.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QtTest>

using qvx::ClientDataSet;
using qvx::FieldType;
using qvx::ui::MessageButton;
using qvx::ui::MessageIcon;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The text an RTF file holds, read back through the program's own reader.
QString rtfText(const QString &path)
{
    QTextDocument doc;
    qvx::ui::readRtf(readAll(path), doc);
    return doc.toPlainText();
}

void setIndents(TRTFForm &form, qreal first, qreal left, qreal right)
{
    QTextCursor cursor = form.Editor->textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    // The first line starts at the first indent, the others that much plus
    // the left indent further in.
    format.setLeftMargin(first + left);
    format.setTextIndent(-left);
    format.setRightMargin(right);
    cursor.setBlockFormat(format);
    form.EditorSelectionChange();
}

QTextBlockFormat paragraph(const TRTFForm &form)
{
    return form.Editor->textCursor().blockFormat();
}

// The child window "&Add To Table" looks at: a kind name and a memo pane
// bound to a memo field.
class MemoChild : public qvx::ui::ChildWindow {
public:
    MemoChild(const QString &kind, qvx::ui::DataSource *source) : m_kind(kind)
    {
        m_memo.setDataSource(source);
        m_memo.setDataField(QStringLiteral("NOTES"));
    }
    QWidget *widget() override { return &m_memo; }
    QString kindName() const override { return m_kind; }
    qvx::ui::DocumentSource document() const override { return {}; }
    void open(const qvx::ui::DocumentSource &) override { }
    void saveToFile(const QString &) override { }
    void commitPendingEdits() override { }
    bool answers(const QString &) const override { return false; }
    void runCommand(const QString &) override { }
    qvx::ui::DBMemo *memoPane() override { return &m_memo; }

private:
    QString m_kind;
    qvx::ui::DBMemo m_memo;
};

} // namespace

class RTFEditorTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dataHome;
    QString path(const QString &name) const { return m_dataHome.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dataHome.isValid());
        // The data folder Execute names lives here, never in the user's home.
        qputenv("XDG_DATA_HOME", m_dataHome.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    // --- The ruler ----------------------------------------------------------

    void markersFollowTheParagraph_data()
    {
        QTest::addColumn<qreal>("first");
        QTest::addColumn<qreal>("left");
        QTest::addColumn<qreal>("right");
        QTest::addColumn<int>("firstX");
        QTest::addColumn<int>("leftX");
        QTest::addColumn<int>("rightFromEdge"); // client width minus the right marker's left
        QTest::newRow("no indents") << 0.0 << 0.0 << 0.0 << 2 << 2 << 14;
        QTest::newRow("whole pixels") << 30.0 << 15.0 << 12.0 << 42 << 62 << 30;
        // 8 points are 10.67 pixels: truncated, not rounded.
        QTest::newRow("truncated") << 8.0 << 0.0 << 2.0 << 12 << 12 << 16;
    }

    void markersFollowTheParagraph()
    {
        QFETCH(qreal, first);
        QFETCH(qreal, left);
        QFETCH(qreal, right);
        ScriptedServices services;
        TRTFForm form;
        form.show();
        setIndents(form, first, left, right);
        QTEST(form.FirstInd->x(), "firstX");
        QTEST(form.LeftInd->x(), "leftX");
        QTEST(form.Ruler->width() - form.RightInd->x(), "rightFromEdge");
    }

    void droppingAMarkerSetsTheIndent_data()
    {
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("dropAt"); // the left edge; negative: from the ruler's right edge
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        // The first-line drop runs the left marker's step too, which keeps the
        // left marker where it stood by taking the first indent off.
        QTest::newRow("first") << "FirstInd" << 42 << 30 << -30 << 0;
        QTest::newRow("first back at rest") << "FirstInd" << 2 << 0 << 0 << 0;
        QTest::newRow("left") << "LeftInd" << 62 << 0 << 45 << 0;
        QTest::newRow("right") << "RightInd" << -30 << 0 << 0 << 12;
        QTest::newRow("right at rest") << "RightInd" << -14 << 0 << 0 << 0;
    }

    void droppingAMarkerSetsTheIndent()
    {
        QFETCH(QString, marker);
        QFETCH(int, dropAt);
        ScriptedServices services;
        TRTFForm form;
        form.show();
        form.setLines(QStringLiteral("a paragraph"));
        const int left = dropAt < 0 ? form.Ruler->width() + dropAt : dropAt;
        if (marker == QLatin1String("FirstInd"))
            form.FirstIndDropped(left);
        else if (marker == QLatin1String("LeftInd"))
            form.LeftIndDropped(left);
        else
            form.RightIndDropped(left);
        // Qt starts the first line at leftMargin + textIndent and the others
        // at leftMargin: the first indent, and it plus the left indent.
        const QTextBlockFormat block = paragraph(form);
        QTEST(int(block.leftMargin() + block.textIndent()), "first");
        QTEST(int(-block.textIndent()), "left");
        QTEST(int(paragraph(form).rightMargin()), "right");
    }

    void draggingTheLeftMarkerWithTheMouse()
    {
        ScriptedServices services;
        TRTFForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *marker = form.LeftInd;
        QCOMPARE(marker->x(), 2);
        // Pressed at its middle it stays put; then it follows the mouse.
        QTest::mousePress(marker, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(marker->x(), 2);
        QMouseEvent move(QEvent::MouseMove, QPointF(25, 5), marker->mapToGlobal(QPointF(25, 5)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(marker, &move);
        QCOMPARE(marker->x(), 22);
        QTest::mouseRelease(marker, Qt::LeftButton, {}, QPoint(5, 5));
        // (22 + 5 - 6) * 3/4 = 15.75 points, truncated.
        QCOMPARE(paragraph(form).leftMargin(), 15.0);
        QCOMPARE(paragraph(form).textIndent(), -15.0);
        QCOMPARE(marker->x(), 22); // 15 points back in pixels: 20, + 2
    }

    // --- The status bar ----------------------------------------------------

    void cursorReadOut_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");
        QTest::newRow("start of line 3") << 2 << 0 << " Line:   3   Col:   1";
        QTest::newRow("inside line 2") << 1 << 4 << " Line:   2   Col:   5";
    }

    void cursorReadOut()
    {
        QFETCH(int, block);
        QFETCH(int, column);
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("first line\nsecond line\nthird line"));
        QTextCursor cursor(form.Editor->document()->findBlockByNumber(block));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
        form.Editor->setTextCursor(cursor);
        QTEST(form.StatusPanel[0]->text(), "shown");
    }

    void modifiedPanelFollowsTheText()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("memo"));
        QCOMPARE(form.StatusPanel[1]->text(), QString());
        form.Editor->insertPlainText(QStringLiteral("more "));
        QCOMPARE(form.StatusPanel[1]->text(), QStringLiteral("Modified"));
        form.command(QStringLiteral("New"))->execute();
        QCOMPARE(form.StatusPanel[1]->text(), QString());
        QCOMPARE(form.Editor->toPlainText(), QString());
        QCOMPARE(form.StatusPanel[2]->text(), QStringLiteral(" File name: Untitled"));
    }

    // --- setLines --------------------------------------------------------------

    void setLinesShowsRtfFormatted()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("{\\rtf1\\ansi plain {\\b bold} end}"));
        QCOMPARE(form.Editor->toPlainText(), QStringLiteral("plain bold end"));
        QTextCursor cursor(form.Editor->document());
        cursor.setPosition(8); // inside "bold"
        QVERIFY(cursor.charFormat().fontWeight() > QFont::Normal);
        QVERIFY(!form.Editor->document()->isModified());

        form.setLines(QStringLiteral("not {\\rtf at the start"));
        QCOMPARE(form.Editor->toPlainText(), QStringLiteral("not {\\rtf at the start"));
    }

    // --- Files ---------------------------------------------------------------

    void saveAfterExecuteWritesCurrentRtfInTheDataFolder()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("memo text"));
        QVERIFY(!form.Execute()); // the scripted run closes it with Cancel
        QCOMPARE(services.modalDialogs, QList<QString> { QStringLiteral("RTFForm") });
        const QString expected = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
            + QStringLiteral("/CurrentRTF.rtf");
        QVERIFY(expected.startsWith(m_dataHome.filePath(QStringLiteral("data"))));
        QCOMPARE(form.FileName, expected);
        QCOMPARE(form.StatusPanel[2]->text(), QStringLiteral(" File name: CurrentRTF.rtf"));

        form.command(QStringLiteral("Save"))->execute();
        QVERIFY(services.saveRequests.isEmpty());
        QVERIFY(services.errors().isEmpty());
        QVERIFY(qvx::ui::looksLikeRtf(readAll(expected)));
        QCOMPARE(rtfText(expected), QStringLiteral("memo text"));
    }

    void saveAfterNewAsksForAName()
    {
        ScriptedServices services;
        TRTFForm form;
        form.FileNew();
        form.Editor->insertPlainText(QStringLiteral("draft"));
        const QString target = path(QStringLiteral("draft.rtf"));
        services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { target, 1 });
        form.command(QStringLiteral("Save"))->execute();
        QCOMPARE(services.saveRequests.size(), 1);
        QCOMPARE(services.saveRequests[0].filter,
                 QStringLiteral("Rich Text Files (*.rtf)|*.rtf|Text Files (*.txt)|*.txt|All files ...|*.*"));
        QCOMPARE(form.FileName, target);
        QCOMPARE(rtfText(target), QStringLiteral("draft"));
        QVERIFY(!form.Editor->document()->isModified());
        QCOMPARE(form.StatusPanel[1]->text(), QString());
    }

    void cancelToSaveChangesOpensNothing()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("kept"));
        form.FileName = path(QStringLiteral("kept.rtf"));
        form.Editor->insertPlainText(QStringLiteral("changed "));
        services.messageAnswers.push_back(qvx::ui::ButtonCancel);
        form.command(QStringLiteral("Open"))->execute(); // an open dialog would fail: none queued
        QCOMPARE(services.messages.size(), 1);
        QCOMPARE(services.messages[0].icon, MessageIcon::Confirmation);
        QCOMPARE(services.messages[0].text, QStringLiteral("Save changes to %1?").arg(form.FileName));
        QCOMPARE(services.messages[0].buttons,
                 unsigned(qvx::ui::ButtonYes | qvx::ui::ButtonNo | qvx::ui::ButtonCancel));
        QVERIFY(services.openRequests.isEmpty());
        QCOMPARE(form.Editor->toPlainText(), QStringLiteral("changed kept"));
        QCOMPARE(form.FileName, path(QStringLiteral("kept.rtf")));
        QVERIFY(form.Editor->document()->isModified());
    }

    void yesToSaveChangesSavesAsThenOpens()
    {
        ScriptedServices services;
        TRTFForm form;
        form.FileNew();
        form.Editor->insertPlainText(QStringLiteral("unsaved work"));
        const QString saved = path(QStringLiteral("work.rtf"));
        const QString plain = path(QStringLiteral("notes.txt"));
        writeBytes(plain, "line one\nline two\n");
        services.messageAnswers.push_back(qvx::ui::ButtonYes);
        services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { saved, 1 });
        services.openAnswers.push_back(qvx::ui::FileDialogAnswer { plain, 2 });
        form.command(QStringLiteral("Open"))->execute();
        QVERIFY(services.errors().isEmpty());
        QCOMPARE(rtfText(saved), QStringLiteral("unsaved work"));
        QCOMPARE(form.Editor->toPlainText(), QStringLiteral("line one\nline two\n"));
        QCOMPARE(form.FileName, plain);
        QVERIFY(!form.Editor->document()->isModified());
        QVERIFY(!form.Editor->isReadOnly());
    }

    void noToOverwriteWritesNothing()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("new text"));
        form.FileName = path(QStringLiteral("current.rtf"));
        const QString existing = path(QStringLiteral("existing.rtf"));
        writeBytes(existing, "{\\rtf1 old}");
        services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { existing, 1 });
        services.messageAnswers.push_back(qvx::ui::ButtonNo);
        form.command(QStringLiteral("SaveAs"))->execute();
        QCOMPARE(services.messages.size(), 1);
        QCOMPARE(services.messages[0].text, QStringLiteral("OK to overwrite %1").arg(existing));
        QCOMPARE(readAll(existing), QByteArray("{\\rtf1 old}"));
        QCOMPARE(form.FileName, path(QStringLiteral("current.rtf")));
    }

    void failedWriteKeepsNameAndModifiedFlag_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Save") << "Save";
        QTest::newRow("SaveAs") << "SaveAs";
    }

    void failedWriteKeepsNameAndModifiedFlag()
    {
        QFETCH(QString, command);
        ScriptedServices services;
        TRTFForm form;
        const QString unreachable = path(QStringLiteral("no such folder/out.rtf"));
        const QString before = command == QLatin1String("Save") ? unreachable : path(QStringLiteral("a.rtf"));
        form.FileName = before;
        if (command == QLatin1String("SaveAs"))
            services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { unreachable, 1 });
        form.Editor->insertPlainText(QStringLiteral("typed"));
        form.command(command)->execute();
        QCOMPARE(services.errors().size(), 1);
        QVERIFY2(services.errors()[0].contains(unreachable), qPrintable(services.errors()[0]));
        QCOMPARE(form.FileName, before);
        QVERIFY(form.Editor->document()->isModified());
        QCOMPARE(form.StatusPanel[1]->text(), QStringLiteral("Modified"));
        QVERIFY(!QFile::exists(unreachable));
    }

    // --- Add To Table ------------------------------------------------------------

    void addToTable_data()
    {
        QTest::addColumn<QString>("kind"); // empty: no child window
        QTest::addColumn<bool>("stored");
        QTest::newRow("plain table") << "Standard Table" << true;
        QTest::newRow("XML table") << "XML Table" << false;
        QTest::newRow("SQL table") << "SQL Table" << false;
        QTest::newRow("no window") << "" << false;
    }

    void addToTable()
    {
        QFETCH(QString, kind);
        QFETCH(bool, stored);
        ScriptedServices services;
        ClientDataSet ds;
        ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
        ds.addFieldDef(QStringLiteral("NOTES"), FieldType::Memo);
        ds.createDataSet();
        ds.appendRecord({ QStringLiteral("one"), QStringLiteral("old note") });
        ds.appendRecord({ QStringLiteral("two"), QStringLiteral("other note") });
        ds.first();
        qvx::ui::DataSource source(&ds);
        MemoChild child(kind, &source);
        TRTFForm form;
        form.ActiveChild = [&]() -> qvx::ui::ChildWindow * { return kind.isEmpty() ? nullptr : &child; };
        form.setLines(QStringLiteral("{\\rtf1\\ansi new {\\b rich} note}"));
        form.command(QStringLiteral("AddToTable"))->execute();
        QVERIFY(services.errors().isEmpty());
        QCOMPARE(ds.state(), qvx::DataSet::State::Browse);
        const QString expected = stored ? QStringLiteral("new rich note") : QStringLiteral("old note");
        QCOMPARE(ds.text(1), expected);
        QCOMPARE(child.memoPane()->toPlainText(), expected);
        ds.next();
        QCOMPARE(ds.text(1), QStringLiteral("other note"));
    }

    // --- Text attributes --------------------------------------------------------

    void fontSizeBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qreal>("size");
        QTest::addColumn<QString>("error");
        QTest::newRow("number") << "14" << 14.0 << "";
        QTest::newRow("not a number") << "1x" << 12.0 << "'1x' is not a valid integer value";
        QTest::newRow("empty") << "" << 12.0 << "'' is not a valid integer value";
    }

    void fontSizeBox()
    {
        QFETCH(QString, typed);
        QFETCH(QString, error);
        ScriptedServices services;
        TRTFForm form;
        form.show();
        form.setLines(QStringLiteral("some words"));
        form.Editor->selectAll();
        QTextCharFormat twelve;
        twelve.setFontPointSize(12);
        form.Editor->mergeCurrentCharFormat(twelve);
        form.FontSize->setEditText(typed);
        QTest::keyClick(form.FontSize->lineEdit(), Qt::Key_Return);
        QCOMPARE(services.errors(), error.isEmpty() ? QStringList() : QStringList { error });
        QTextCursor inside(form.Editor->document());
        inside.setPosition(3);
        QTEST(inside.charFormat().fontPointSize(), "size");
    }

    void fontSizeBoxActsOnTypingWithoutSelection()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("abc"));
        form.Editor->moveCursor(QTextCursor::End);
        form.FontSize->setEditText(QStringLiteral("20"));
        QTest::keyClick(form.FontSize->lineEdit(), Qt::Key_Return);
        form.Editor->insertPlainText(QStringLiteral("XY"));
        QTextCursor cursor(form.Editor->document());
        cursor.setPosition(2);
        QVERIFY(cursor.charFormat().fontPointSize() != 20.0); // the old text is left alone
        cursor.setPosition(5);
        QCOMPARE(cursor.charFormat().fontPointSize(), 20.0);
    }

    void fontCommandTakesFamilySizeAndStyleKeepingColour()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("coloured words"));
        form.Editor->selectAll();
        QTextCharFormat red;
        red.setForeground(QColor(Qt::red));
        form.Editor->mergeCurrentCharFormat(red);
        QFont chosen(QStringLiteral("DejaVu Serif"), 18, QFont::Bold, true);
        services.fontAnswers.push_back(chosen);
        form.command(QStringLiteral("Font"))->execute();
        QCOMPARE(services.fontRequests.size(), 1);
        QTextCursor inside(form.Editor->document());
        inside.setPosition(4);
        const QTextCharFormat format = inside.charFormat();
        QCOMPARE(format.fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Serif"));
        QCOMPARE(format.fontPointSize(), 18.0);
        QVERIFY(format.fontWeight() >= QFont::Bold);
        QVERIFY(format.fontItalic());
        QCOMPARE(format.foreground().color(), QColor(Qt::red));
        QVERIFY(form.command(QStringLiteral("RichEditBold1"))->isChecked());
        QVERIFY(form.command(QStringLiteral("RichEditItalic1"))->isChecked());
        QVERIFY(!form.command(QStringLiteral("RichEditUnderline1"))->isChecked());
    }

    void styleCommandsToggleAndFollowTheSelection()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("plain words"));
        QTextCursor cursor = form.Editor->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        form.Editor->setTextCursor(cursor);
        qvx::ui::Command *bold = form.command(QStringLiteral("RichEditBold1"));
        bold->trigger();
        QVERIFY(bold->isChecked());
        QTextCursor probe(form.Editor->document());
        probe.setPosition(3);
        QVERIFY(probe.charFormat().fontWeight() > QFont::Normal);
        probe.setPosition(8);
        QVERIFY(probe.charFormat().fontWeight() <= QFont::Normal);
        // Moving into the plain word clears the check; back again sets it.
        form.Editor->moveCursor(QTextCursor::End);
        QVERIFY(!bold->isChecked());
        cursor.setPosition(2);
        form.Editor->setTextCursor(cursor);
        QVERIFY(bold->isChecked());
        bold->trigger(); // and off again, on a selection
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        form.Editor->setTextCursor(cursor);
        bold->trigger();
        probe.setPosition(3);
        QVERIFY(probe.charFormat().fontWeight() <= QFont::Normal);
        QVERIFY(!bold->isChecked());

        form.command(QStringLiteral("RichEditAlignCenter1"))->trigger();
        QCOMPARE(paragraph(form).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(form.command(QStringLiteral("RichEditAlignCenter1"))->isChecked());
        QVERIFY(!form.command(QStringLiteral("RichEditAlignLeft1"))->isChecked());
    }

    void bulletsToggleOnTheCurrentParagraph()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("first\nsecond"));
        form.Editor->moveCursor(QTextCursor::End);
        qvx::ui::Command *bullets = form.command(QStringLiteral("RichEditBullets1"));
        bullets->execute();
        QTextList *list = form.Editor->textCursor().currentList();
        QVERIFY(list);
        QCOMPARE(list->format().style(), QTextListFormat::ListDisc);
        QVERIFY(!form.Editor->document()->firstBlock().textList()); // only the current paragraph
        QVERIFY(bullets->isChecked());
        bullets->execute();
        QVERIFY(!form.Editor->textCursor().currentList());
        QVERIFY(!bullets->isChecked());
        QCOMPARE(form.Editor->toPlainText(), QStringLiteral("first\nsecond"));
    }

    // --- Printing ---------------------------------------------------------------

    void printWritesAPdf()
    {
        ScriptedServices services;
        TRTFForm form;
        form.setLines(QStringLiteral("a page to print"));
        const QString pdf = path(QStringLiteral("print.pdf"));
        services.saveAnswers.push_back(qvx::ui::FileDialogAnswer { pdf, 1 });
        form.command(QStringLiteral("Print"))->execute();
        QVERIFY(services.errors().isEmpty());
        QCOMPARE(services.printer().docName(), QStringLiteral("Quorvex Report"));
        const QByteArray bytes = readAll(pdf);
        QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY(bytes.size() > 500);

        services.saveAnswers.push_back(std::nullopt); // cancelled: nothing printed
        QFile::remove(pdf);
        form.command(QStringLiteral("Print"))->execute();
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_MAIN(RTFEditorTest)
#include "tst_rtfeditor.moc"
