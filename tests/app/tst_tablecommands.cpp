// The main window's commands on the active table window: formatting goes to
// the selected column's cells or its title, of whichever kind of window is
// active; the viewer commands switch its panes and its Details page.
#include "support/AppFixture.h"
#include "support/ScriptedServices.h"

#include "app/ClientMenu.h"
#include "app/Program.h"
#include "tables/StandardTable.h"
#include "tables/TableForm.h"
#include "ui/AlignPanel.h"
#include "ui/ColorBox.h"
#include "ui/CommandNames.h"
#include "ui/ErrorGuard.h"

#include "engine/Table.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

class TestTableCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void styleGoesToCellsOrTitle_data();
    void styleGoesToCellsOrTitle();
    void fontSizeOnTitleOnly();
    void fontSizeNotANumber();
    void backgroundColour();
    void styleButtonsFollowTheColumn();
    void memoPane();
    void picturePane();
    void detailsTab();
    void checkMarkFollowsTheCommandNotTheWindow();
    void formattingIsDrawn();
    void codePageCommandFor_data();
    void codePageCommandFor();
    void codePageChoiceRereadsAndIsRemembered();

private:
    std::unique_ptr<AppFixture> files;
    std::unique_ptr<ScriptedServices> services;
    std::unique_ptr<TProgram> program;
    TMainForm *form = nullptr;
    TTableForm *open(const QString &name)
    {
        form->OpenFile(files->path(name));
        auto *table = qobject_cast<TTableForm *>(form->MDIArea->activeSubWindow()->widget());
        table->TableGrid->setSelectedIndex(0);
        return table;
    }
    void run(const char *name) { form->command(QLatin1String(name))->trigger(); }
};

void TestTableCommands::init()
{
    files = std::make_unique<AppFixture>();
    services = std::make_unique<ScriptedServices>();
    program = std::make_unique<TProgram>();
    form = program->MainForm();
}

void TestTableCommands::cleanup()
{
    program.reset();
    services.reset();
    files.reset();
}

void TestTableCommands::styleGoesToCellsOrTitle_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("titles");
    for (const char *file : { "parts.dbf", "parts.xml", "parts.sql" }) {
        QTest::addRow("%s cells", file) << QString::fromLatin1(file) << false;
        QTest::addRow("%s title", file) << QString::fromLatin1(file) << true;
    }
}

void TestTableCommands::styleGoesToCellsOrTitle()
{
    QFETCH(QString, file);
    QFETCH(bool, titles);
    TTableForm *table = open(file);
    if (titles)
        run("SelectCells");
    QCOMPARE(form->FormatTitles, titles);
    run("Bold");
    run("Italic");
    run("CenterAlign");
    const qvx::ui::GridColumn &column = table->TableGrid->column(0);
    const QFont cells = column.font.value_or(table->TableGrid->font());
    const QFont title = column.titleFont.value_or(table->TableGrid->font());
    QCOMPARE(cells.bold(), !titles);
    QCOMPARE(cells.italic(), !titles);
    QCOMPARE(title.bold(), titles);
    QCOMPARE(title.italic(), titles);
    if (titles)
        QCOMPARE(column.titleAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    else
        QCOMPARE(table->tableDataSet().field(0).alignment, qvx::Alignment::Center);
    // "Bold" again takes only bold away.
    run("Bold");
    const QFont after = titles ? table->TableGrid->column(0).titleFont.value_or(QFont())
                               : table->TableGrid->column(0).font.value_or(QFont());
    QVERIFY(!after.bold());
    QVERIFY(after.italic());
}

void TestTableCommands::fontSizeOnTitleOnly()
{
    TTableForm *table = open(QStringLiteral("parts.xml"));
    const int cellSize = table->TableGrid->column(0).font.value_or(table->TableGrid->font()).pointSize();
    run("SelectCells");
    form->FontSizeBox->setEditText(QStringLiteral("14"));
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
    QCOMPARE(table->TableGrid->column(0).titleFont.value_or(QFont()).pointSize(), 14);
    QCOMPARE(table->TableGrid->column(0).font.value_or(table->TableGrid->font()).pointSize(), cellSize);
}

void TestTableCommands::fontSizeNotANumber()
{
    TTableForm *table = open(QStringLiteral("parts.dbf"));
    form->FontSizeBox->setEditText(QStringLiteral("12"));
    form->FontSizeBox->setEditText(QString());
    QCOMPARE(services->errors(), QStringList({ "'' is not a valid integer value" }));
    QCOMPARE(table->TableGrid->column(0).font.value_or(QFont()).pointSize(), 12);
}

void TestTableCommands::backgroundColour()
{
    TTableForm *table = open(QStringLiteral("parts.dbf"));
    services->colorAnswers.push_back(QColor(Qt::cyan));
    run("BgColor");
    QCOMPARE(table->TableGrid->column(0).color, QColor(Qt::cyan));
    // Cancelled: nothing changes.
    services->colorAnswers.push_back(std::nullopt);
    run("SelectCells");
    run("BgColor");
    QVERIFY(table->TableGrid->column(0).titleColor != QColor(Qt::cyan));
    QCOMPARE(services->colorRequests.size(), 2);
}

void TestTableCommands::styleButtonsFollowTheColumn()
{
    TTableForm *table = open(QStringLiteral("parts.dbf"));
    run("Bold");
    run("Underline");
    QVERIFY(!form->BoldButton->isChecked()); // the toggles leave the buttons alone
    form->UpdateStyleButtons();
    QCOMPARE(form->CurrentFontStyle, quint8(1 | 4));
    QCOMPARE(table->FontStyleState, quint8(1 | 4));
    QVERIFY(form->BoldButton->isChecked());
    QVERIFY(!form->ItalicButton->isChecked());
    QVERIFY(form->UnderlineButton->isChecked());
}

void TestTableCommands::memoPane()
{
    TTableForm *table = open(QStringLiteral("parts.dbf"));
    auto *frame = qobject_cast<QMdiSubWindow *>(table->parentWidget());
    frame->resize(frame->width(), 301);
    form->show();
    QVERIFY(table->DBMemo->isVisible());
    run("ViewTableMemo");
    QVERIFY(table->DBMemo->isHidden());
    QVERIFY(!form->ViewDBMemo->isChecked());
    QVERIFY(table->HSplitter->isHidden());
    QCOMPARE(table->ResultPanel->align(table->ImageBox), qvx::ui::Align::Client);
    run("ViewTableMemo");
    QVERIFY(table->DBMemo->isVisible());
    QVERIFY(form->ViewDBMemo->isChecked());
    QCOMPARE(table->ResultPanel->align(table->ImageBox), qvx::ui::Align::Top);
    QCOMPARE(table->ResultPanel->extent(table->ImageBox), 150);
    QCOMPARE(table->ResultPanel->align(table->HSplitter), qvx::ui::Align::Bottom);
    QCOMPARE(table->ResultPanel->align(table->DBMemo), qvx::ui::Align::Client);
}

void TestTableCommands::picturePane()
{
    TTableForm *table = open(QStringLiteral("parts.xml"));
    auto *frame = qobject_cast<QMdiSubWindow *>(table->parentWidget());
    frame->resize(frame->width(), 300);
    form->show();
    run("ViewTablePicture");
    QVERIFY(table->ImageBox->isHidden());
    QVERIFY(!form->ViewDBPicture->isChecked());
    QCOMPARE(table->ResultPanel->align(table->HSplitter), qvx::ui::Align::Bottom);
    run("ViewTablePicture");
    QVERIFY(table->ImageBox->isVisible());
    QCOMPARE(table->ResultPanel->extent(table->ImageBox), 150);
    QCOMPARE(table->ResultPanel->align(table->HSplitter), qvx::ui::Align::Top);
}

void TestTableCommands::detailsTab()
{
    TTableForm *table = open(QStringLiteral("parts.sql"));
    const int index = table->PageControl->indexOf(table->Details);
    QVERIFY(index >= 0);
    run("ViewDetails");
    QVERIFY(!table->PageControl->isTabVisible(index));
    QVERIFY(!form->ViewResultDetails->isChecked());
    run("ViewDetails");
    QVERIFY(table->PageControl->isTabVisible(index));
    QCOMPARE(table->PageControl->indexOf(table->Details), index);
    QVERIFY(form->ViewResultDetails->isChecked());
}

// The check mark tells of the last command, not of the active window.
void TestTableCommands::checkMarkFollowsTheCommandNotTheWindow()
{
    TTableForm *first = open(QStringLiteral("parts.dbf"));
    TTableForm *second = open(QStringLiteral("parts.xml"));
    form->show();
    run("ViewTableMemo");
    QVERIFY(second->DBMemo->isHidden());
    QVERIFY(!form->ViewDBMemo->isChecked());
    form->MDIArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(first->parentWidget()));
    QCOMPARE(form->MDIArea->activeSubWindow()->widget(), first);
    QVERIFY(first->DBMemo->isVisible());
    QVERIFY(!form->ViewDBMemo->isChecked());
}

// What the formatting commands set is what the grid paints: a yellow cell
// background, and a 14-point bold title that makes the header taller.
void TestTableCommands::formattingIsDrawn()
{
    TTableForm *table = open(QStringLiteral("parts.dbf"));
    auto *frame = qobject_cast<QMdiSubWindow *>(table->parentWidget());
    frame->resize(450, 300);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const int headerBefore = table->TableGrid->horizontalHeader()->sizeHint().height();

    services->colorAnswers.push_back(QColor(Qt::yellow));
    run("BgColor");
    run("SelectCells");
    form->FontSizeBox->setEditText(QStringLiteral("14"));
    run("Bold");
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));

    QCoreApplication::processEvents();
    const QImage picture = table->TableGrid->viewport()->grab().toImage();
    // A cell of the first column away from the current row, sampled near its
    // left edge where no text is drawn.
    const QRect cell = table->TableGrid->visualRect(table->TableGrid->model()->index(2, 0));
    QVERIFY(cell.isValid());
    const QPoint sample = cell.topLeft() + QPoint(2, cell.height() / 2);
    QCOMPARE(picture.pixelColor(sample * picture.devicePixelRatio()), QColor(Qt::yellow));
    // Another column keeps the grid's white.
    const QRect other = table->TableGrid->visualRect(table->TableGrid->model()->index(2, 1));
    QVERIFY(picture.pixelColor((other.topLeft() + QPoint(2, other.height() / 2)) * picture.devicePixelRatio())
            != QColor(Qt::yellow));

    QHeaderView *header = table->TableGrid->horizontalHeader();
    const QFont title = header->model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>();
    QCOMPARE(title.pointSize(), 14);
    QVERIFY(title.bold());
    QVERIFY(header->sizeHint().height() > headerBefore);
    const QString shot = qEnvironmentVariable("QVX_FORMAT_SHOT");
    if (!shot.isEmpty())
        form->grab().save(shot);
}

int main(int argc, char **argv)
{
    qvx::ui::GuardedApplication app(argc, argv);
    TestTableCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tablecommands.moc"

void TestTableCommands::codePageCommandFor_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("available");
    QTest::newRow("dBASE") << QStringLiteral("parts.dbf") << true;
    QTest::newRow("Paradox") << QStringLiteral("parts.db") << true;
    QTest::newRow("ASCII") << QStringLiteral("parts.txt") << false;
    QTest::newRow("XML packet") << QStringLiteral("parts.xml") << false;
    QTest::newRow("SQL") << QStringLiteral("parts.sql") << false;
}

// Only tables that name a code page can be read in another.
void TestTableCommands::codePageCommandFor()
{
    QFETCH(QString, file);
    QFETCH(bool, available);
    open(file);
    QCOMPARE(form->command(qvx::cmd::ChooseCodePage)->isEnabled(), available);
}

// A table written in a DOS Cyrillic code page that does not say so reads as
// Western text; choosing the code page rereads it, the choice holds when the
// file is opened again, and the file is never written.
void TestTableCommands::codePageChoiceRereadsAndIsRemembered()
{
    const QString config = files->path(QStringLiteral("config"));
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });

    const QString path = files->path(QStringLiteral("cyrillic.dbf"));
    const QString word = QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442");
    {
        qvx::Table t;
        t.setDatabaseName(files->dir());
        t.setTableName(QStringLiteral("cyrillic.dbf"));
        t.addFieldDef(QStringLiteral("NAME"), qvx::FieldType::String, 10);
        qvx::CreateOptions options;
        options.version = 0x03;
        options.codePage = QStringLiteral("IBM866");
        t.setCreateOptions(options);
        t.createTable();
        t.open();
        t.append();
        t.setText(0, word);
        t.post();
    }
    {
        // No language driver byte: the table no longer says its code page.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(29);
        f.write(QByteArray(1, '\0'));
    }
    const auto digest = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1)
                                           : QByteArray();
    };
    const QByteArray before = digest();

    auto *table = qobject_cast<TBDETableForm *>(open(QStringLiteral("cyrillic.dbf")));
    QVERIFY(table);
    QVERIFY(table->BDETable.text(0) != word);

    const auto choose = [&](const QString &codePage) {
        services->modalAnswers.push_back(QDialog::Accepted);
        services->onModal = [&](QDialog &dialog) {
            auto *box = dialog.findChild<QComboBox *>(QStringLiteral("CodePageBox"));
            QVERIFY(box);
            const int index = box->findData(codePage);
            QVERIFY(index >= 0);
            box->setCurrentIndex(index);
        };
        run("ChooseCodePage");
        services->onModal = {};
    };
    choose(QStringLiteral("IBM866"));
    QCOMPARE(services->modalDialogs.last(), QStringLiteral("CodePageDialog"));
    QVERIFY2(services->errors().isEmpty(), qPrintable(services->errors().join(u'\n')));
    QCOMPARE(table->BDETable.text(0), word);
    QCOMPARE(TBDETableForm::rememberedCodePage(path), QStringLiteral("IBM866"));

    // Opened again, the file reads in the code page chosen.
    form->MDIArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    table = qobject_cast<TBDETableForm *>(open(QStringLiteral("cyrillic.dbf")));
    QCOMPARE(table->BDETable.text(0), word);

    // Cancelling changes nothing; "as the table says" forgets the choice.
    services->modalAnswers.push_back(QDialog::Rejected);
    services->onModal = {};
    run("ChooseCodePage");
    QCOMPARE(table->BDETable.text(0), word);
    choose(QString());
    QVERIFY(table->BDETable.text(0) != word);
    QVERIFY(TBDETableForm::rememberedCodePage(path).isEmpty());

    form->MDIArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(digest(), before);
}
