// The index dialogs of the New Table window and their naming dialogs, run
// through Execute with scripted modal answers and a host that keeps what it
// is given.

#include "support/ScriptedServices.h"

#include "create/FoxProIndexesDlg.h"
#include "create/SaveFoxProIndexDlg.h"
#include "create/SaveParadoxIndexDlg.h"
#include "create/SavedBaseIndexDlg.h"
#include "create/SecondaryIndexesDlg.h"
#include "create/dBaseIndexesDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

using Options = qvx::IndexDef::Options;
using qvx::IndexDef;

namespace {

class FakeHost : public TNewTableIndexHost {
public:
    QStringList fields;
    int kind = 1;
    QList<DBIndexList> recorded;

    QStringList FieldNames() const override { return fields; }
    int NewTableKind() const override { return kind; }
    void RecordIndexDefinition(const DBIndexList &definition) override { recorded << definition; }
};

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        result << list->item(row)->text();
    return result;
}

QStringList selectedTexts(const QListWidget *list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            result << list->item(row)->text();
    return result;
}

// Selects exactly the entries named (a repeated name selects the next
// entry of that text).
void select(QListWidget *list, const QStringList &names)
{
    list->clearSelection();
    for (const QString &name : names) {
        bool found = false;
        for (int row = 0; row < list->count() && !found; ++row) {
            QListWidgetItem *item = list->item(row);
            if (item->text() == name && !item->isSelected()) {
                item->setSelected(true);
                found = true;
            }
        }
        QVERIFY2(found, qPrintable(QStringLiteral("no entry %1 to select").arg(name)));
    }
}

template<typename T> T *child(QWidget &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

// Runs moves on the field lists of a Paradox or FoxPro index dialog:
// "+A,C" selects A and C in SrcList and includes them, "-B" excludes B,
// "++" includes all and "--" excludes all; "+" alone includes with nothing
// selected.
void move(QDialog &dialog, const QStringList &steps)
{
    auto *src = child<QListWidget>(dialog, "SrcList");
    auto *dst = child<QListWidget>(dialog, "DstList");
    for (const QString &step : steps) {
        if (step == QLatin1String("++")) {
            child<QPushButton>(dialog, "IncAllBtn")->click();
        } else if (step == QLatin1String("--")) {
            child<QPushButton>(dialog, "ExAllBtn")->click();
        } else {
            const bool include = step.startsWith(u'+');
            select(include ? src : dst, step.mid(1).split(u',', Qt::SkipEmptyParts));
            child<QPushButton>(dialog, include ? "IncludeBtn" : "ExcludeBtn")->click();
        }
    }
}

void clickBoxes(QDialog &dialog, const QStringList &names)
{
    for (const QString &name : names)
        child<QCheckBox>(dialog, name.toLatin1().constData())->click();
}

QColor baseColour(const QWidget *box)
{
    return box->palette().color(QPalette::Base);
}

// The colour a box in use (true) or out of use shows.
QColor expectedColour(const QWidget *box, bool inUse)
{
    return QApplication::palette(box).color(inUse ? QPalette::Base : QPalette::Button);
}

struct ParadoxPair {
    FakeHost host;
    TSaveParadoxIndexForm save { host };
    TSecondaryIndexFormDlg dlg { host, save };
};

struct DBasePair {
    FakeHost host;
    TSavedBaseIndexFormDlg save { host };
    TdBaseIndexFormDlg dlg { host, save };
};

struct FoxProPair {
    FakeHost host;
    TSaveFoxProIndexFormDlg save { host };
    TFoxProIndexFormDlg dlg { host, save };
};

} // namespace

class TestIndexDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogsAsBuilt();
    void pairsRecordOnlyWhenBothConfirmed_data();
    void pairsRecordOnlyWhenBothConfirmed();

    void paradoxSourceListIsSorted_data();
    void paradoxSourceListIsSorted();
    void paradoxMovesRecordFieldsInIndexOrder_data();
    void paradoxMovesRecordFieldsInIndexOrder();
    void paradoxSelectionAndButtonsFollowMoves_data();
    void paradoxSelectionAndButtonsFollowMoves();
    void paradoxOptions_data();
    void paradoxOptions();
    void paradoxUniqueAndMaintainedShutEachOtherOff();
    void paradoxKeepsBoxesAndNameBetweenUses();

    void dbaseNamingModeFollowsMaintainedAndDescending_data();
    void dbaseNamingModeFollowsMaintainedAndDescending();
    void dbaseExpressionFlag_data();
    void dbaseExpressionFlag();
    void dbaseExpressionButtonToggles();
    void dbaseDescendingMaintainedAndSubset_data();
    void dbaseDescendingMaintainedAndSubset();
    void dbaseIncludeAndClear();
    void dbaseKeepsStateBetweenUses();
    void dbaseSaveFileButton_data();
    void dbaseSaveFileButton();

    void foxproNamingDialogStartsWithTablePrefix();
    void foxproOnlyUniqueCanChange_data();
    void foxproOnlyUniqueCanChange();
};

void TestIndexDialogs::initTestCase()
{
    // The colour checks below mean nothing unless the two colours differ.
    QVERIFY(QApplication::palette().color(QPalette::Base) != QApplication::palette().color(QPalette::Button));
}

void TestIndexDialogs::dialogsAsBuilt()
{
    FakeHost host;
    TSaveParadoxIndexForm paradoxSave(host);
    TSecondaryIndexFormDlg paradox(host, paradoxSave);
    TSavedBaseIndexFormDlg dbaseSave(host);
    TdBaseIndexFormDlg dbase(host, dbaseSave);
    TSaveFoxProIndexFormDlg foxproSave(host);
    TFoxProIndexFormDlg foxpro(host, foxproSave);

    struct Expected {
        QDialog *dialog;
        QString title;
        QSize size;
        bool fixed;
        bool onTop;
    };
    const Expected expected[] = {
        { &paradox, QStringLiteral("Define Secondary Index"), { 340, 265 }, true, true },
        { &paradoxSave, QStringLiteral("Save Index As ..."), { 258, 133 }, false, true },
        { &dbase, QStringLiteral("Create Index"), { 344, 271 }, true, false },
        { &dbaseSave, QStringLiteral("Save Index As ..."), { 251, 153 }, true, false },
        { &foxpro, QStringLiteral("Define Index"), { 345, 249 }, true, false },
        { &foxproSave, QStringLiteral("Save Index As..."), { 249, 97 }, true, true },
    };
    for (const Expected &e : expected) {
        e.dialog->show(); // the layouts have had their say
        QCOMPARE(e.dialog->windowTitle(), e.title);
        QCOMPARE(e.dialog->size(), e.size);
        QCOMPARE(e.dialog->minimumSize() == e.dialog->maximumSize(), e.fixed);
        QCOMPARE(e.dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint), e.onTop);
        e.dialog->hide();
    }

    // Controls as they start.
    QCOMPARE(paradox.Sensitive->text(), QStringLiteral("&Case sensitive"));
    QVERIFY(paradox.Sensitive->isChecked());
    for (QCheckBox *box : { paradox.Unique, paradox.Maintained, paradox.Descending })
        QVERIFY(!box->isChecked() && box->isEnabled());
    QVERIFY(!paradox.ExcludeBtn->isEnabled() && !paradox.ExAllBtn->isEnabled());
    QVERIFY(paradox.OKBtn->isDefault());
    QVERIFY(paradoxSave.EditIndexName->text().isEmpty());

    QVERIFY(!dbase.ClearBtn->isEnabled());
    QVERIFY(!dbase.OKBtn->isEnabled() && dbase.OKBtn->isDefault());
    QVERIFY(dbase.EditIndexName->isReadOnly());
    QVERIFY(dbase.Maintained->isEnabled() && !dbase.Descending->isEnabled());
    QCOMPARE(dbase.ExpressionIndexBtn->text(), QStringLiteral("E&xpression Index"));
    for (QWidget *w :
         { static_cast<QWidget *>(dbase.ExpressionLabel), static_cast<QWidget *>(dbase.SubsetLabel),
           static_cast<QWidget *>(dbase.EditExpressionIndex), static_cast<QWidget *>(dbase.EditSubset) })
        QVERIFY(!w->isEnabled());
    QCOMPARE(baseColour(dbase.EditExpressionIndex), expectedColour(dbase.EditExpressionIndex, false));
    QCOMPARE(baseColour(dbase.EditSubset), expectedColour(dbase.EditSubset, false));
    QCOMPARE(dbase.SrcList->selectionMode(), QAbstractItemView::SingleSelection);

    QVERIFY(foxpro.Unique->isEnabled());
    QVERIFY(!foxpro.Sensitive->isEnabled() && !foxpro.Descending->isEnabled());
    QVERIFY(!foxpro.ExcludeBtn->isEnabled() && !foxpro.ExAllBtn->isEnabled());
}

// For each kind: Cancel in either dialog records nothing; the naming dialog
// runs only after OK in the index dialog; both show with the default cursor.
void TestIndexDialogs::pairsRecordOnlyWhenBothConfirmed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("recorded");

    const QList<int> cancelled { QDialog::Rejected };
    const QList<int> nameCancelled { QDialog::Accepted, QDialog::Rejected };
    const QList<int> confirmed { QDialog::Accepted, QDialog::Accepted };
    const struct {
        const char *kind;
        QString dialog;
        QString naming;
    } kinds[] = {
        { "paradox", QStringLiteral("SecondaryIndexFormDlg"), QStringLiteral("SaveParadoxIndexForm") },
        { "dbase", QStringLiteral("dBaseIndexFormDlg"), QStringLiteral("SavedBaseIndexFormDlg") },
        { "foxpro", QStringLiteral("FoxProIndexFormDlg"), QStringLiteral("SaveFoxProIndexFormDlg") },
    };
    for (const auto &k : kinds) {
        QTest::addRow("%s: index dialog cancelled", k.kind)
            << QString::fromLatin1(k.kind) << cancelled << false << QStringList { k.dialog } << 0;
        QTest::addRow("%s: naming dialog cancelled", k.kind)
            << QString::fromLatin1(k.kind) << nameCancelled << true << QStringList { k.dialog, k.naming }
            << 0;
        QTest::addRow("%s: both confirmed", k.kind)
            << QString::fromLatin1(k.kind) << confirmed << true << QStringList { k.dialog, k.naming } << 1;
    }
}

void TestIndexDialogs::pairsRecordOnlyWhenBothConfirmed()
{
    QFETCH(QString, kind);
    QFETCH(QList<int>, answers);
    QFETCH(bool, result);
    QFETCH(QStringList, shown);
    QFETCH(int, recorded);

    FakeHost host;
    host.fields = { QStringLiteral("NAME"), QStringLiteral("CITY") };
    std::unique_ptr<QDialog> naming;
    std::unique_ptr<QDialog> dialog;
    std::function<bool()> execute;
    if (kind == QLatin1String("paradox")) {
        auto *save = new TSaveParadoxIndexForm(host);
        auto *dlg = new TSecondaryIndexFormDlg(host, *save);
        naming.reset(save);
        dialog.reset(dlg);
        execute = [dlg] { return dlg->Execute(); };
    } else if (kind == QLatin1String("dbase")) {
        auto *save = new TSavedBaseIndexFormDlg(host);
        auto *dlg = new TdBaseIndexFormDlg(host, *save);
        naming.reset(save);
        dialog.reset(dlg);
        execute = [dlg] { return dlg->Execute(); };
    } else {
        auto *save = new TSaveFoxProIndexFormDlg(host);
        auto *dlg = new TFoxProIndexFormDlg(host, *save);
        naming.reset(save);
        dialog.reset(dlg);
        execute = [dlg] { return dlg->Execute(); };
    }

    ScriptedServices services;
    services.modalAnswers.assign(answers.begin(), answers.end());
    int shownWithOverrideCursor = 0;
    services.onModal = [&](QDialog &d) {
        if (QApplication::overrideCursor())
            ++shownWithOverrideCursor;
        if (&d == dialog.get()) {
            select(child<QListWidget>(d, "SrcList"), { QStringLiteral("NAME") });
            child<QPushButton>(d, "IncludeBtn")->click();
        }
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool answered = execute();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();

    QCOMPARE(answered, result);
    QCOMPARE(services.modalDialogs, shown);
    QCOMPARE(host.recorded.size(), recorded);
    QCOMPARE(shownWithOverrideCursor, 0);
    if (recorded) {
        QCOMPARE(host.recorded.front().Fields, QStringLiteral("NAME"));
        QCOMPARE(host.recorded.front().Kind, 0);
    }
}

void TestIndexDialogs::paradoxSourceListIsSorted_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("alphabetical") << QStringList { "B", "A", "C" } << QStringList { "A", "B", "C" };
    QTest::newRow("letter case aside")
        << QStringList { "city", "Age", "NAME" } << QStringList { "Age", "city", "NAME" };
    QTest::newRow("empty and repeated names kept")
        << QStringList { "B", "", "B", "A" } << QStringList { "", "A", "B", "B" };
    QTest::newRow("no fields") << QStringList {} << QStringList {};
}

void TestIndexDialogs::paradoxSourceListIsSorted()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, listed);

    ParadoxPair p;
    p.host.fields = fields;
    ScriptedServices services;
    QStringList src, dst;
    bool includeOn = false, excludeOn = true;
    services.onModal = [&](QDialog &) {
        src = texts(p.dlg.SrcList);
        dst = texts(p.dlg.DstList);
        includeOn = p.dlg.IncludeBtn->isEnabled() && p.dlg.IncAllBtn->isEnabled();
        excludeOn = p.dlg.ExcludeBtn->isEnabled() || p.dlg.ExAllBtn->isEnabled();
    };
    QVERIFY(!p.dlg.Execute());
    QCOMPARE(src, listed);
    QVERIFY(dst.isEmpty());
    QCOMPARE(includeOn, !listed.isEmpty());
    QVERIFY(!excludeOn);
}

void TestIndexDialogs::paradoxMovesRecordFieldsInIndexOrder_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("recorded");

    const QStringList bac { "B", "A", "C" };
    QTest::newRow("two at once arrive reversed")
        << bac << QStringList { "+A,C" } << QStringList { "B" } << "C;A";
    QTest::newRow("one at a time keep their order")
        << bac << QStringList { "+A", "+C" } << QStringList { "B" } << "A;C";
    QTest::newRow("one field, no separator")
        << bac << QStringList { "+B" } << QStringList { "A", "C" } << "B";
    QTest::newRow("all in list order") << bac << QStringList { "++" } << QStringList {} << "A;B;C";
    QTest::newRow("excluded field goes back in its place")
        << bac << QStringList { "++", "-B" } << QStringList { "B" } << "A;C";
    QTest::newRow("two excluded at once sorted back")
        << bac << QStringList { "++", "-C,A" } << QStringList { "A", "C" } << "B";
    QTest::newRow("all excluded") << bac << QStringList { "+A,C", "--" } << QStringList { "A", "B", "C" }
                                  << "";
    QTest::newRow("nothing selected moves nothing")
        << bac << QStringList { "+" } << QStringList { "A", "B", "C" } << "";
    QTest::newRow("empty and repeated names recorded as they are")
        << QStringList { "A", "", "A" } << QStringList { "++" } << QStringList {} << ";A;A";
}

void TestIndexDialogs::paradoxMovesRecordFieldsInIndexOrder()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, left);
    QFETCH(QString, recorded);

    ParadoxPair p;
    p.host.fields = fields;
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    QStringList src;
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            move(d, steps);
            src = texts(p.dlg.SrcList);
        } else {
            p.save.EditIndexName->setText(QStringLiteral("BYFIELDS"));
        }
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(src, left);
    QCOMPARE(p.host.recorded.size(), 1);
    const DBIndexList &got = p.host.recorded.front();
    QCOMPARE(got.Fields, recorded);
    QCOMPARE(got.Name, QStringLiteral("BYFIELDS"));
    QCOMPARE(got.Kind, 0);
}

void TestIndexDialogs::paradoxSelectionAndButtonsFollowMoves_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("srcSelected");
    QTest::addColumn<QStringList>("dstSelected");
    QTest::addColumn<bool>("includeOn");
    QTest::addColumn<bool>("excludeOn");

    const QStringList abcd { "D", "C", "B", "A" };
    QTest::newRow("first taken: the next one selected")
        << abcd << QStringList { "+A" } << QStringList { "B" } << QStringList {} << true << true;
    QTest::newRow("middle taken: the one now there selected")
        << abcd << QStringList { "+B" } << QStringList { "C" } << QStringList {} << true << true;
    QTest::newRow("last taken: the new last selected")
        << abcd << QStringList { "+D" } << QStringList { "C" } << QStringList {} << true << true;
    QTest::newRow("several taken: the one at the first's place")
        << abcd << QStringList { "+B,C" } << QStringList { "D" } << QStringList {} << true << true;
    QTest::newRow("nothing selected: the first selected")
        << abcd << QStringList { "+" } << QStringList { "A" } << QStringList {} << true << false;
    QTest::newRow("last remaining taken: source buttons off")
        << QStringList { "A" } << QStringList { "+A" } << QStringList {} << QStringList {} << false << true;
    QTest::newRow("all taken: buttons swap")
        << abcd << QStringList { "++" } << QStringList {} << QStringList {} << false << true;
    QTest::newRow("all back: buttons swap back")
        << abcd << QStringList { "++", "--" } << QStringList {} << QStringList {} << true << false;
    QTest::newRow("excluded from the middle: the next indexed one selected")
        << abcd << QStringList { "++", "-B" } << QStringList {} << QStringList { "C" } << true << true;
    QTest::newRow("last indexed excluded: index buttons off, source selection kept")
        << abcd << QStringList { "+B", "-B" } << QStringList { "C" } << QStringList {} << true << false;
}

void TestIndexDialogs::paradoxSelectionAndButtonsFollowMoves()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, srcSelected);
    QFETCH(QStringList, dstSelected);
    QFETCH(bool, includeOn);
    QFETCH(bool, excludeOn);

    ParadoxPair p;
    p.host.fields = fields;
    ScriptedServices services;
    services.onModal = [&](QDialog &d) {
        move(d, steps);
        QCOMPARE(selectedTexts(p.dlg.SrcList), srcSelected);
        QCOMPARE(selectedTexts(p.dlg.DstList), dstSelected);
        QCOMPARE(p.dlg.IncludeBtn->isEnabled(), includeOn);
        QCOMPARE(p.dlg.IncAllBtn->isEnabled(), includeOn);
        QCOMPARE(p.dlg.ExcludeBtn->isEnabled(), excludeOn);
        QCOMPARE(p.dlg.ExAllBtn->isEnabled(), excludeOn);
    };
    QVERIFY(!p.dlg.Execute());
    QCOMPARE(services.modalDialogs.size(), 1);
}

void TestIndexDialogs::paradoxOptions_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("options");

    QTest::newRow("as at start") << QStringList {} << int(IndexDef::NonMaintained);
    QTest::newRow("maintained, case-insensitive")
        << QStringList { "Maintained", "Sensitive" } << int(IndexDef::CaseInsensitive);
    QTest::newRow("unique") << QStringList { "Unique" } << int(IndexDef::Unique | IndexDef::NonMaintained);
    QTest::newRow("descending") << QStringList { "Descending" }
                                << int(IndexDef::NonMaintained | IndexDef::Descending);
    QTest::newRow("maintained and descending")
        << QStringList { "Maintained", "Descending" } << int(IndexDef::Descending);
    QTest::newRow("unique, insensitive, descending")
        << QStringList { "Unique", "Sensitive", "Descending" }
        << int(IndexDef::Unique | IndexDef::NonMaintained | IndexDef::CaseInsensitive | IndexDef::Descending);
}

void TestIndexDialogs::paradoxOptions()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, options);

    ParadoxPair p;
    p.host.fields = { QStringLiteral("A") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            clickBoxes(d, clicks);
            move(d, { QStringLiteral("++") });
        }
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 1);
    QCOMPARE(int(p.host.recorded.front().Options), options);
    QCOMPARE(int(p.dlg.Options), options);
}

void TestIndexDialogs::paradoxUniqueAndMaintainedShutEachOtherOff()
{
    ParadoxPair p;
    p.dlg.Unique->click();
    QVERIFY(!p.dlg.Maintained->isEnabled());
    QVERIFY(!p.dlg.Maintained->isChecked());
    QVERIFY(p.dlg.Unique->isEnabled());
    p.dlg.Unique->click();
    QVERIFY(p.dlg.Maintained->isEnabled());

    p.dlg.Maintained->click();
    QVERIFY(!p.dlg.Unique->isEnabled());
    QVERIFY(!p.dlg.Unique->isChecked());
    p.dlg.Maintained->click();
    QVERIFY(p.dlg.Unique->isEnabled());
    QVERIFY(p.dlg.Sensitive->isEnabled() && p.dlg.Descending->isEnabled());
}

void TestIndexDialogs::paradoxKeepsBoxesAndNameBetweenUses()
{
    ParadoxPair p;
    p.host.fields = { QStringLiteral("B"), QStringLiteral("A") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            clickBoxes(d, { QStringLiteral("Maintained"), QStringLiteral("Sensitive") });
            move(d, { QStringLiteral("+A") });
        } else {
            p.save.EditIndexName->setText(QStringLiteral("BYA"));
        }
    };
    QVERIFY(p.dlg.Execute());

    // Second use, on other fields: the boxes, their enabled states and the
    // name are as left; the lists and the options start afresh.
    p.host.fields = { QStringLiteral("D"), QStringLiteral("C") };
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            QCOMPARE(int(p.dlg.Options), 0);
            QCOMPARE(texts(p.dlg.SrcList), QStringList({ "C", "D" }));
            QVERIFY(texts(p.dlg.DstList).isEmpty());
            QVERIFY(p.dlg.Maintained->isChecked());
            QVERIFY(!p.dlg.Unique->isEnabled());
            QVERIFY(!p.dlg.Sensitive->isChecked());
            move(d, { QStringLiteral("+D") });
        } else {
            QCOMPARE(p.save.EditIndexName->text(), QStringLiteral("BYA"));
        }
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 2);
    QCOMPARE(p.host.recorded[1].Name, QStringLiteral("BYA"));
    QCOMPARE(p.host.recorded[1].Fields, QStringLiteral("D"));
    QCOMPARE(int(p.host.recorded[1].Options), int(IndexDef::CaseInsensitive));

    // A cancelled use leaves the options empty.
    services.modalAnswers = { QDialog::Rejected };
    services.onModal = {};
    QVERIFY(!p.dlg.Execute());
    QCOMPARE(int(p.dlg.Options), 0);
    QCOMPARE(p.host.recorded.size(), 2);
}

void TestIndexDialogs::dbaseNamingModeFollowsMaintainedAndDescending_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("tagMode");
    QTest::addColumn<int>("options");

    QTest::newRow("maintained: tag") << QStringList { "Maintained" } << true << 0;
    QTest::newRow("nothing checked: file") << QStringList {} << false << int(IndexDef::NonMaintained);
    QTest::newRow("descending: tag") << QStringList { "Maintained", "Maintained", "Descending" } << true
                                     << int(IndexDef::NonMaintained | IndexDef::Descending);
    QTest::newRow("unique alone: file")
        << QStringList { "Unique" } << false << int(IndexDef::Unique | IndexDef::NonMaintained);
    QTest::newRow("unique and maintained: tag")
        << QStringList { "Unique", "Maintained" } << true << int(IndexDef::Unique);
}

void TestIndexDialogs::dbaseNamingModeFollowsMaintainedAndDescending()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, tagMode);
    QFETCH(int, options);

    DBasePair p;
    p.host.fields = { QStringLiteral("NAME"), QStringLiteral("CITY") };
    // Whatever the boxes held from an earlier use goes.
    p.save.EditIndexTagName->setText(QStringLiteral("OLD"));
    p.save.EditIndexFileName->setText(QStringLiteral("OLD"));
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            clickBoxes(d, clicks);
            select(p.dlg.SrcList, { QStringLiteral("NAME") });
            p.dlg.IncludeBtn->click();
            return;
        }
        QLineEdit *offered = tagMode ? p.save.EditIndexTagName : p.save.EditIndexFileName;
        QLineEdit *shut = tagMode ? p.save.EditIndexFileName : p.save.EditIndexTagName;
        QCOMPARE(offered->text(), QStringLiteral("NAME"));
        QVERIFY(offered->isEnabled());
        QCOMPARE(baseColour(offered), expectedColour(offered, true));
        QVERIFY(shut->text().isEmpty());
        QVERIFY(!shut->isEnabled());
        QCOMPARE(baseColour(shut), expectedColour(shut, false));
        QCOMPARE(p.save.TagNameLabel->isEnabled(), tagMode);
        QCOMPARE(p.save.FileNameLabel->isEnabled(), !tagMode);
        QCOMPARE(p.save.SaveFileBtn->isEnabled(), !tagMode);
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(services.modalDialogs.size(), 2);
    QCOMPARE(p.host.recorded.size(), 1);
    const DBIndexList &got = p.host.recorded.front();
    QCOMPARE(got.Name, tagMode ? QStringLiteral("NAME") : QString());
    QCOMPARE(got.File, tagMode ? QString() : QStringLiteral("NAME"));
    QCOMPARE(got.Fields, QStringLiteral("NAME"));
    QCOMPARE(int(got.Options), options);
    QVERIFY(got.Expression.isEmpty());
    QCOMPARE(got.Kind, 0);
}

void TestIndexDialogs::dbaseExpressionFlag_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<bool>("switchedBack"); // "I&ndex Field" pressed after typing
    QTest::addColumn<bool>("flagged");

    QTest::newRow("box in use, empty") << QString() << false << false;
    QTest::newRow("box in use") << QStringLiteral("UPPER(NAME)") << false << true;
    QTest::newRow("typed, then back to the field") << QStringLiteral("UPPER(NAME)") << true << true;
}

void TestIndexDialogs::dbaseExpressionFlag()
{
    QFETCH(QString, expression);
    QFETCH(bool, switchedBack);
    QFETCH(bool, flagged);

    DBasePair p;
    p.host.fields = { QStringLiteral("NAME") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d != &p.dlg)
            return;
        p.dlg.ExpressionIndexBtn->click();
        QVERIFY(p.dlg.EditExpressionIndex->isEnabled());
        p.dlg.EditExpressionIndex->setText(expression);
        if (switchedBack) {
            p.dlg.ExpressionIndexBtn->click();
            QVERIFY(!p.dlg.EditExpressionIndex->isEnabled());
            QCOMPARE(p.dlg.EditExpressionIndex->text(), expression);
        }
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 1);
    const DBIndexList &got = p.host.recorded.front();
    QCOMPARE(got.Options.testFlag(IndexDef::Expression), flagged);
    QCOMPARE(got.Expression, flagged ? expression : QString());
    QVERIFY(got.Fields.isEmpty()); // no field was selected
}

void TestIndexDialogs::dbaseExpressionButtonToggles()
{
    DBasePair p;
    for (bool expressionMode : { true, false, true }) {
        p.dlg.ExpressionIndexBtn->click();
        QCOMPARE(p.dlg.ExpressionIndexBtn->text(),
                 expressionMode ? QStringLiteral("I&ndex Field") : QStringLiteral("E&xpression Index"));
        QCOMPARE(p.dlg.ExpressionLabel->isEnabled(), expressionMode);
        QCOMPARE(p.dlg.EditExpressionIndex->isEnabled(), expressionMode);
        QCOMPARE(baseColour(p.dlg.EditExpressionIndex),
                 expectedColour(p.dlg.EditExpressionIndex, expressionMode));
        // The subset box is not the expression button's business.
        QVERIFY(!p.dlg.EditSubset->isEnabled());
    }
}

void TestIndexDialogs::dbaseDescendingMaintainedAndSubset_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("maintained");
    QTest::addColumn<bool>("maintainedOn");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("descendingOn");
    QTest::addColumn<bool>("subsetInUse");

    const QString m = QStringLiteral("Maintained"), d = QStringLiteral("Descending");
    QTest::newRow("at start") << QStringList {} << false << true << false << false << false;
    QTest::newRow("maintained") << QStringList { m } << true << true << false << false << true;
    QTest::newRow("maintained off again") << QStringList { m, m } << false << true << false << true << false;
    QTest::newRow("descending") << QStringList { m, m, d } << false << false << true << true << true;
    QTest::newRow("descending off again")
        << QStringList { m, m, d, d } << false << true << false << true << false;
    QTest::newRow("descending off, maintained")
        << QStringList { m, m, d, d, m } << true << true << false << false << true;
}

void TestIndexDialogs::dbaseDescendingMaintainedAndSubset()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, maintained);
    QFETCH(bool, maintainedOn);
    QFETCH(bool, descending);
    QFETCH(bool, descendingOn);
    QFETCH(bool, subsetInUse);

    DBasePair p;
    clickBoxes(p.dlg, clicks);
    QCOMPARE(p.dlg.Maintained->isChecked(), maintained);
    QCOMPARE(p.dlg.Maintained->isEnabled(), maintainedOn);
    QCOMPARE(p.dlg.Descending->isChecked(), descending);
    QCOMPARE(p.dlg.Descending->isEnabled(), descendingOn);
    QCOMPARE(p.dlg.SubsetLabel->isEnabled(), subsetInUse);
    QCOMPARE(p.dlg.EditSubset->isEnabled(), subsetInUse);
    QCOMPARE(baseColour(p.dlg.EditSubset), expectedColour(p.dlg.EditSubset, subsetInUse));
}

void TestIndexDialogs::dbaseIncludeAndClear()
{
    DBasePair p;
    p.host.fields = { QStringLiteral("B"), QStringLiteral("A") };
    ScriptedServices services;
    services.onModal = [&](QDialog &) {
        QCOMPARE(texts(p.dlg.SrcList), QStringList({ "A", "B" }));
        select(p.dlg.SrcList, { QStringLiteral("B") });
        p.dlg.IncludeBtn->click();
        QCOMPARE(p.dlg.EditIndexName->text(), QStringLiteral("B"));
        QVERIFY(p.dlg.OKBtn->isEnabled());
        QVERIFY(p.dlg.ClearBtn->isEnabled());

        p.dlg.ClearBtn->click();
        QVERIFY(p.dlg.EditIndexName->text().isEmpty());
        QVERIFY(!p.dlg.ClearBtn->isEnabled());
        QVERIFY(p.dlg.OKBtn->isEnabled()); // Clear leaves OK alone

        select(p.dlg.SrcList, { QStringLiteral("A") });
        p.dlg.IncludeBtn->click();
        QCOMPARE(p.dlg.EditIndexName->text(), QStringLiteral("A"));

        // Nothing selected: the box is emptied and OK shut off.
        p.dlg.SrcList->clearSelection();
        p.dlg.IncludeBtn->click();
        QVERIFY(p.dlg.EditIndexName->text().isEmpty());
        QVERIFY(!p.dlg.OKBtn->isEnabled());
    };
    QVERIFY(!p.dlg.Execute());
    QCOMPARE(services.modalDialogs.size(), 1);
}

void TestIndexDialogs::dbaseKeepsStateBetweenUses()
{
    DBasePair p;
    p.host.fields = { QStringLiteral("B"), QStringLiteral("A") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d != &p.dlg)
            return;
        select(p.dlg.SrcList, { QStringLiteral("A") });
        p.dlg.IncludeBtn->click();
        p.dlg.Maintained->click();
        p.dlg.ExpressionIndexBtn->click();
        p.dlg.EditExpressionIndex->setText(QStringLiteral("A+B"));
        p.dlg.EditSubset->setText(QStringLiteral("A>1"));
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 1);
    QCOMPARE(p.host.recorded[0].Filter, QStringLiteral("A>1"));
    QCOMPARE(p.host.recorded[0].Expression, QStringLiteral("A+B"));

    // Second use on other fields: all but the field list and the options as
    // left. The recorded field is the one selected in the list, not the one
    // taken into the box.
    p.host.fields = { QStringLiteral("C") };
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d != &p.dlg)
            return;
        QCOMPARE(int(p.dlg.Options), 0);
        QCOMPARE(texts(p.dlg.SrcList), QStringList({ "C" }));
        QCOMPARE(p.dlg.EditIndexName->text(), QStringLiteral("A"));
        QVERIFY(p.dlg.OKBtn->isEnabled());
        QVERIFY(p.dlg.ClearBtn->isEnabled());
        QVERIFY(p.dlg.Maintained->isChecked());
        QVERIFY(p.dlg.EditSubset->isEnabled());
        QCOMPARE(p.dlg.ExpressionIndexBtn->text(), QStringLiteral("I&ndex Field"));
        QCOMPARE(p.dlg.EditExpressionIndex->text(), QStringLiteral("A+B"));
        QCOMPARE(p.dlg.EditSubset->text(), QStringLiteral("A>1"));
        select(p.dlg.SrcList, { QStringLiteral("C") });
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 2);
    const DBIndexList &got = p.host.recorded[1];
    QCOMPARE(got.Fields, QStringLiteral("C"));
    QCOMPARE(got.Name, QStringLiteral("A"));
    QVERIFY(got.File.isEmpty());
    QCOMPARE(int(got.Options), int(IndexDef::Expression));
    QCOMPARE(got.Expression, QStringLiteral("A+B"));
    QCOMPARE(got.Filter, QStringLiteral("A>1"));
}

void TestIndexDialogs::dbaseSaveFileButton_data()
{
    QTest::addColumn<std::optional<qvx::ui::FileDialogAnswer>>("answer");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("answered") << std::optional(
        qvx::ui::FileDialogAnswer { QStringLiteral("/data/ix/NAME.NTX"), 1 })
                              << QStringLiteral("/data/ix/NAME.NTX");
    QTest::newRow("cancelled") << std::optional<qvx::ui::FileDialogAnswer>() << QStringLiteral("NAME");
}

void TestIndexDialogs::dbaseSaveFileButton()
{
    QFETCH(std::optional<qvx::ui::FileDialogAnswer>, answer);
    QFETCH(QString, fileName);

    DBasePair p;
    p.host.fields = { QStringLiteral("NAME") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.saveAnswers = { answer };
    services.onModal = [&](QDialog &d) {
        if (&d == &p.dlg) {
            select(p.dlg.SrcList, { QStringLiteral("NAME") });
            p.dlg.IncludeBtn->click();
        } else {
            QVERIFY(p.save.SaveFileBtn->isEnabled());
            p.save.SaveFileBtn->click();
        }
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(services.saveRequests.size(), 1);
    const qvx::ui::FileDialogRequest &request = services.saveRequests.front();
    QCOMPARE(request.title, QStringLiteral("Save Index File Name"));
    QCOMPARE(
        request.filter,
        QStringLiteral("NTX Index File (1 KBytes )|*.NTX|NDX Index File (512 Bytes)|*.NDX|All Files|*.*"));
    QCOMPARE(p.save.EditIndexFileName->text(), fileName);
    QCOMPARE(p.host.recorded.size(), 1);
    QCOMPARE(p.host.recorded.front().File, fileName);
    QVERIFY(p.host.recorded.front().Name.isEmpty());
}

void TestIndexDialogs::foxproNamingDialogStartsWithTablePrefix()
{
    FoxProPair p;
    p.host.kind = 3;
    p.host.fields = { QStringLiteral("B"), QStringLiteral("A") };
    ScriptedServices services;
    QStringList offered;
    for (const QString &typed : { QStringLiteral("CUST_NAME"), QString() }) {
        services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
        services.onModal = [&](QDialog &d) {
            if (&d == &p.dlg) {
                move(d, { QStringLiteral("+B") });
                return;
            }
            offered << p.save.EditIndexName->text();
            if (!typed.isEmpty())
                p.save.EditIndexName->setText(typed);
        };
        QVERIFY(p.dlg.Execute());
    }
    QCOMPARE(offered, QStringList({ "<Table>_", "<Table>_" }));
    QCOMPARE(p.host.recorded.size(), 2);
    QCOMPARE(p.host.recorded[0].Name, QStringLiteral("CUST_NAME"));
    QCOMPARE(p.host.recorded[1].Name, QStringLiteral("<Table>_"));
    QCOMPARE(p.host.recorded[1].Fields, QStringLiteral("B"));
}

void TestIndexDialogs::foxproOnlyUniqueCanChange_data()
{
    QTest::addColumn<bool>("unique");
    QTest::newRow("unique") << true;
    QTest::newRow("not unique") << false;
}

void TestIndexDialogs::foxproOnlyUniqueCanChange()
{
    QFETCH(bool, unique);

    FoxProPair p;
    p.host.fields = { QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C") };
    ScriptedServices services;
    services.modalAnswers = { QDialog::Accepted, QDialog::Accepted };
    services.onModal = [&](QDialog &d) {
        if (&d != &p.dlg)
            return;
        for (QCheckBox *box : { p.dlg.Sensitive, p.dlg.Descending })
            QVERIFY(!box->isEnabled() && !box->isChecked());
        if (unique)
            p.dlg.Unique->click();
        move(d, { QStringLiteral("+A,C") });
    };
    QVERIFY(p.dlg.Execute());
    QCOMPARE(p.host.recorded.size(), 1);
    const DBIndexList &got = p.host.recorded.front();
    QCOMPARE(got.Fields, QStringLiteral("C;A"));
    QCOMPARE(int(got.Options), unique ? int(IndexDef::Unique) : 0);
}

QTEST_MAIN(TestIndexDialogs)
#include "tst_indexdialogs.moc"
