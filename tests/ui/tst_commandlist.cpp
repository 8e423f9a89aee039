// The command list, the error guard, the Qt services' filter translation and
// the text target of the edit and search commands.
#include "support/ScriptedServices.h"

#include "ui/CommandList.h"
#include "ui/ControlBar.h"
#include "ui/ErrorGuard.h"
#include "ui/QtServices.h"
#include "ui/TextTarget.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <stdexcept>

using namespace qvx::ui;

namespace {

// An object whose event handler throws, as a faulty handler would.
class Thrower : public QObject {
public:
    int handled = 0;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User) {
            ++handled;
            throw std::runtime_error("handler failed");
        }
        return QObject::event(e);
    }
};

} // namespace

class TestCommandList : public QObject {
    Q_OBJECT
private slots:
    void hintSplitsIntoToolTipAndStatusTip_data();
    void hintSplitsIntoToolTipAndStatusTip();
    void commandWithoutBehaviourIsDisabled();
    void failingCommandShowsErrorAndGoesOn();
    void unknownAndDuplicateNamesAreRefused();
    void buttonsAndMenusShareTheCommand();
    void glyphIsNeverBlank();
    void exceptionFromEventHandlerIsShown();
    void nameFilters_data();
    void nameFilters();
    void findInLineEdit_data();
    void findInLineEdit();
    void findInTextEditFromEdge();
    void editAbilitiesFollowTheControl();
    void controlBarWrapsItsBars();
};

void TestCommandList::hintSplitsIntoToolTipAndStatusTip_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("statusTip");
    QTest::newRow("short and long") << "&Find..."
                                    << "Find|Finds the specified text"
                                    << "Find"
                                    << "Finds the specified text";
    QTest::newRow("one text for both") << "Print"
                                       << "Print Table"
                                       << "Print Table"
                                       << "Print Table";
    QTest::newRow("no hint: caption without accelerator") << "Cu&t"
                                                          << ""
                                                          << "Cut"
                                                          << "";
}

void TestCommandList::hintSplitsIntoToolTipAndStatusTip()
{
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QString, toolTip);
    QFETCH(QString, statusTip);
    QWidget owner;
    CommandList list(&owner);
    const QByteArray c = caption.toUtf8(), h = hint.toUtf8();
    Command *command = list.add({ "Cmd", "Cat", c.constData(), h.constData(), "Ctrl+F", "" });
    QCOMPARE(command->text(), caption);
    QCOMPARE(command->hint(), hint);
    QCOMPARE(command->toolTip(), toolTip);
    QCOMPARE(command->statusTip(), statusTip);
    QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    QCOMPARE(command->category(), QStringLiteral("Cat"));
}

void TestCommandList::commandWithoutBehaviourIsDisabled()
{
    QWidget owner;
    CommandList list(&owner);
    Command *command = list.add({ "Idle", "Cat", "Idle", "", "", "" });
    QVERIFY(!command->isEnabled());
    command->trigger(); // must not crash or run anything
    int runs = 0;
    command->setHandler([&] { ++runs; });
    QVERIFY(command->isEnabled());
    command->trigger();
    QCOMPARE(runs, 1);
    command->setEnabled(false);
    command->execute();
    QCOMPARE(runs, 1);
}

void TestCommandList::failingCommandShowsErrorAndGoesOn()
{
    ScriptedServices services;
    QWidget owner;
    CommandList list(&owner);
    Command *command = list.add({ "Fail", "Cat", "Fail", "", "", "" });
    int before = 0, after = 0;
    command->setHandler([&] {
        ++before;
        throw std::runtime_error("customer.dbf: file is in use");
        ++after;
    });
    command->trigger();
    command->trigger();
    QCOMPARE(before, 2);
    QCOMPARE(after, 0);
    QCOMPARE(services.errors(),
             QStringList({ "customer.dbf: file is in use", "customer.dbf: file is in use" }));
    QCOMPARE(services.messages.first().buttons, unsigned(ButtonOk));
}

void TestCommandList::unknownAndDuplicateNamesAreRefused()
{
    QWidget owner;
    CommandList list(&owner);
    list.add({ "One", "Cat", "One", "", "", "" });
    QVERIFY_THROWS_EXCEPTION(std::logic_error, list.add({ "One", "Cat", "Again", "", "", "" }));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, list.command(QStringLiteral("Two")));
    QVERIFY(!list.find(QStringLiteral("Two")));
}

void TestCommandList::buttonsAndMenusShareTheCommand()
{
    QWidget owner;
    CommandList list(&owner);
    Command *command
        = list.add({ "Open", "Tables", "Load from file", "Load Table", "Alt+O", "document-open" });
    QToolBar bar;
    QToolButton *button = addCommandButton(&bar, command, QStringLiteral("LoadFromFileButton"));
    QVERIFY(button);
    QCOMPARE(button->objectName(), QStringLiteral("LoadFromFileButton"));
    QMenu menu;
    menu.addAction(command);
    QVERIFY(!button->isEnabled());
    int runs = 0;
    command->setHandler([&] { ++runs; });
    QVERIFY(button->isEnabled());
    QCOMPARE(button->toolTip(), QStringLiteral("Load Table"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(runs, 1);
}

void TestCommandList::glyphIsNeverBlank()
{
    const QIcon drawn = glyph(QStringLiteral("no-such-icon-anywhere"), QStringLiteral("Tile Vertically"));
    QVERIFY(!drawn.isNull());
    const QImage image = drawn.pixmap(16, 16).toImage();
    QCOMPARE(image.size(), QSize(16, 16));
    // Something is painted: the centre differs from the transparent corner.
    QVERIFY(image.pixel(8, 8) != image.pixel(0, 0));
}

void TestCommandList::exceptionFromEventHandlerIsShown()
{
    ScriptedServices services;
    Thrower thrower;
    QEvent event(QEvent::User);
    // Through the application object, as the event loop delivers it.
    QCoreApplication::sendEvent(&thrower, &event);
    QCoreApplication::sendEvent(&thrower, &event);
    QCOMPARE(thrower.handled, 2);
    QCOMPARE(services.errors(), QStringList({ "handler failed", "handler failed" }));
}

void TestCommandList::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two entries") << "XML Document|*.xml|SQL Table|*.sql"
                                 << QStringList { "XML Document (*.xml)", "SQL Table (*.sql)" };
    QTest::newRow("several patterns") << "Pictures|*.bmp;*.jpg" << QStringList { "Pictures (*.bmp *.jpg)" };
    QTest::newRow("empty") << "" << QStringList {};
    QTest::newRow("odd trailing part dropped")
        << "Paradox Table|*.db|ASCII" << QStringList { "Paradox Table (*.db)" };
}

void TestCommandList::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(QtServices::nameFilters(filter), expected);
}

void TestCommandList::findInLineEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("foundAt"); // -1: not found
    QTest::newRow("down from cursor") << "cat dog cat" << 1 << "cat" << false << false << true << 8;
    QTest::newRow("case ignored") << "Cat dog" << 0 << "cAT" << false << false << true << 0;
    QTest::newRow("case kept") << "Cat dog cat" << 0 << "cat" << true << false << true << 8;
    QTest::newRow("whole word skips part") << "concat cat" << 0 << "cat" << false << true << true << 7;
    QTest::newRow("up from cursor") << "cat dog cat" << 8 << "cat" << false << false << false << 0;
    QTest::newRow("not there") << "cat dog" << 0 << "bird" << false << false << true << -1;
}

void TestCommandList::findInLineEdit()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, wanted);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, down);
    QFETCH(int, foundAt);
    QLineEdit edit(text);
    edit.setCursorPosition(cursor);
    TextTarget target(&edit);
    QVERIFY(target.isValid());
    const bool found = target.find(wanted, { matchCase, wholeWord, down });
    QCOMPARE(found, foundAt >= 0);
    if (found) {
        QCOMPARE(edit.selectionStart(), foundAt);
        QCOMPARE(edit.selectedText().size(), wanted.size());
    }
}

void TestCommandList::findInTextEditFromEdge()
{
    QPlainTextEdit edit;
    edit.setPlainText(QStringLiteral("alpha\nbeta alpha\n"));
    QTextCursor end = edit.textCursor();
    end.movePosition(QTextCursor::End);
    edit.setTextCursor(end);
    TextTarget target(&edit);
    QVERIFY(!target.find(QStringLiteral("alpha"), {}));
    QVERIFY(target.find(QStringLiteral("alpha"), {}, true));
    QCOMPARE(edit.textCursor().selectionStart(), 0);
    QVERIFY(target.find(QStringLiteral("alpha"), {}));
    QCOMPARE(edit.textCursor().selectionStart(), 11);
    target.replaceSelection(QStringLiteral("gamma"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("alpha\nbeta gamma\n"));
}

void TestCommandList::editAbilitiesFollowTheControl()
{
    QWidget plain;
    QVERIFY(!TextTarget(&plain).isValid());
    QLineEdit edit(QStringLiteral("hello world"));
    TextTarget target(&edit);
    QVERIFY(!target.hasSelection());
    QVERIFY(target.hasText());
    edit.setSelection(0, 5);
    QVERIFY(target.hasSelection());
    target.deleteSelection();
    QCOMPARE(edit.text(), QStringLiteral(" world"));
    QVERIFY(target.canUndo());
    edit.setReadOnly(true);
    QVERIFY(!target.canUndo());
    QVERIFY(!target.canPaste());
    edit.selectAll();
    target.deleteSelection();
    QCOMPARE(edit.text(), QStringLiteral(" world"));
}

void TestCommandList::controlBarWrapsItsBars()
{
    ControlBar band;
    band.layout()->setContentsMargins(0, 0, 0, 0);
    QWidget *bars[3];
    for (QWidget *&bar : bars) {
        bar = new QWidget;
        bar->setFixedSize(60, 20);
        band.addBar(bar);
    }
    // Room for two in a row: the third goes below the first.
    band.resize(130, band.heightForWidth(130));
    band.layout()->activate();
    QCOMPARE(band.height(), 41);
    QCOMPARE(bars[0]->geometry(), QRect(0, 0, 60, 20));
    QCOMPARE(bars[1]->geometry(), QRect(66, 0, 60, 20));
    QCOMPARE(bars[2]->geometry(), QRect(0, 21, 60, 20));
    // Wide enough: one row; a hidden bar takes no room.
    bars[1]->hide();
    QCOMPARE(band.heightForWidth(400), 20);
    band.resize(400, 20);
    band.layout()->activate();
    QCOMPARE(bars[2]->geometry(), QRect(66, 0, 60, 20));
}

int main(int argc, char **argv)
{
    // The program's own application object, so exceptions from event
    // handlers meet the program's guard.
    GuardedApplication app(argc, argv);
    TestCommandList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commandlist.moc"
