// The alignment, size and scaling dialogs of the form designers, run through
// Execute with scripted services. Each modal run fills the dialog and closes
// it the way a user does (a button, Escape, or Enter typed in a box); the
// services then answer with the result the dialog itself reached.

#include "support/ScriptedServices.h"

#include "designers/AlignmentDlg.h"
#include "designers/ScaleDlg.h"
#include "designers/SizeDlg.h"

#include "engine/EngineError.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// Shows the dialog as exec would and closes it by `how`: "OKBtn" (or any
// button's name) clicks that button, "Escape" presses Escape, "Enter:Box" and
// "KeypadEnter:Box" type Return or keypad Enter in the text box named Box.
void closeBy(QDialog &dialog, const QString &how)
{
    dialog.setResult(0);
    dialog.show();
    if (how == QLatin1String("Escape")) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    } else if (how.contains(u':')) {
        const QString box = how.section(u':', 1);
        auto *edit = dialog.findChild<QLineEdit *>(box);
        if (!edit)
            qFatal("no text box %s", qPrintable(box));
        edit->setFocus();
        QTest::keyClick(edit, how.startsWith(QLatin1String("Keypad")) ? Qt::Key_Enter : Qt::Key_Return);
    } else {
        auto *button = dialog.findChild<QPushButton *>(how);
        if (!button)
            qFatal("no button %s", qPrintable(how));
        button->click();
    }
}

// Answers every modal run: fill, then close by `how`; the answer is the
// dialog's own result. `closed` tells whether the dialog went away.
void answerBy(ScriptedServices &services, const std::function<void(QDialog &)> &fill, const QString &how,
              bool &closed)
{
    services.onModal = [&services, fill, how, &closed](QDialog &dialog) {
        if (fill)
            fill(dialog);
        closeBy(dialog, how);
        closed = !dialog.isVisible();
        dialog.hide();
        services.modalAnswers.push_front(closed ? dialog.result() : int(QDialog::Rejected));
    };
}

QStringList itemTexts(const QButtonGroup *group)
{
    QStringList texts;
    for (int id = 0; group->button(id); ++id)
        texts << group->button(id)->text();
    return texts;
}

} // namespace

class TestLayoutDialogs : public QObject {
    Q_OBJECT

private slots:
    void captionsAndItems();
    void alignmentExecute_data();
    void alignmentExecute();
    void sizeExecute_data();
    void sizeExecute();
    void enterInHeightEditDoesNotClose();
    void clearChoices();
    void scaleExecute_data();
    void scaleExecute();
    void scaleArrowsFollowTheBox_data();
    void scaleArrowsFollowTheBox();
    void conversionError_data();
    void conversionError();
    void runsThroughServicesWithTheNormalArrow();
};

// The radio items' ids are the stored choices, so their order is the contract
// with the designers.
void TestLayoutDialogs::captionsAndItems()
{
    TAlignmentFormDlg align;
    TSizeFormDlg size;
    TScaleFormDlg scale;
    QCOMPARE(align.windowTitle(), QStringLiteral("Alignment"));
    QCOMPARE(size.windowTitle(), QStringLiteral("Size"));
    QCOMPARE(scale.windowTitle(), QStringLiteral("Scaling"));
    QCOMPARE(align.HorizontalGroup->title(), QStringLiteral(" Horizontal "));
    QCOMPARE(align.VerticalGroup->title(), QStringLiteral(" Vertical "));
    QCOMPARE(itemTexts(align.HorizontalChoice),
             QStringList({ "No Change", "Left Sides", "Centers", "Right Sides" }));
    QCOMPARE(itemTexts(align.VerticalChoice), QStringList({ "No Change", "Tops", "Centers", "Bottoms" }));
    const QStringList sizeItems { "No Change", "Shrink to smales", "Grow to largest" };
    QCOMPARE(itemTexts(size.HorizontalChoice), sizeItems);
    QCOMPARE(itemTexts(size.VerticalChoice), sizeItems);
    QCOMPARE(scale.ScaleBtn->text(), QStringLiteral("&Do scale"));
    QCOMPARE(scale.RestoreBtn->text(), QStringLiteral("&Restore"));
    QCOMPARE(scale.ScaleEdit->text(), QStringLiteral("100"));
    QCOMPARE(scale.UpDown1->minimum(), 0);
    QCOMPARE(scale.UpDown1->maximum(), 200);
    QCOMPARE(scale.UpDown1->singleStep(), 10);
    QCOMPARE(scale.UpDown1->value(), 100);
}

// Every row starts from stored results 111, 222, 1, 1 (an earlier OK).
void TestLayoutDialogs::alignmentExecute_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("top");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QList<int>>("stored"); // Left, Top, Horizontal, Vertical

    QTest::newRow("Enter in LeftEdit")
        << "12"
        << "-7" << 2 << 3 << "Enter:LeftEdit" << true << QList<int> { 12, -7, 2, 3 };
    QTest::newRow("keypad Enter in LeftEdit")
        << "4"
        << "5" << 1 << 0 << "KeypadEnter:LeftEdit" << true << QList<int> { 4, 5, 1, 0 };
    QTest::newRow("Enter in TopEdit")
        << "0"
        << "40" << 3 << 2 << "Enter:TopEdit" << true << QList<int> { 0, 40, 3, 2 };
    QTest::newRow("OK, spaces and sign") << " 8 "
                                         << "+9" << 0 << 1 << "OKBtn" << true << QList<int> { 8, 9, 0, 1 };
    QTest::newRow("Cancel keeps stored")
        << "13"
        << "14" << 2 << 2 << "CancelBtn" << false << QList<int> { 111, 222, 1, 1 };
    QTest::newRow("Escape keeps stored")
        << "13"
        << "14" << 2 << 2 << "Escape" << false << QList<int> { 111, 222, 1, 1 };
}

void TestLayoutDialogs::alignmentExecute()
{
    QFETCH(QString, left);
    QFETCH(QString, top);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QString, how);
    QFETCH(bool, result);
    QFETCH(QList<int>, stored);

    TAlignmentFormDlg dlg;
    dlg.Left = 111;
    dlg.Top = 222;
    dlg.Horizontal = 1;
    dlg.Vertical = 1;
    ScriptedServices services;
    bool closed = false;
    answerBy(
        services,
        [&](QDialog &) {
            dlg.LeftEdit->setText(left);
            dlg.TopEdit->setText(top);
            dlg.HorizontalChoice->button(horizontal)->click();
            dlg.VerticalChoice->button(vertical)->click();
        },
        how, closed);

    QCOMPARE(dlg.Execute(), result);
    QVERIFY(closed);
    QCOMPARE(QList<int>({ dlg.Left, dlg.Top, dlg.Horizontal, dlg.Vertical }), stored);
}

// Every row starts from stored results 50, 60, 2, 1 (an earlier OK);
// `clear` runs ClearChoices before Execute, as the designers do.
void TestLayoutDialogs::sizeExecute_data()
{
    QTest::addColumn<bool>("clear");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QList<int>>("stored"); // SizeWidth, SizeHeight, Horizontal, Vertical

    QTest::newRow("Enter in WidthEdit")
        << true << "30"
        << "45" << 1 << 2 << "Enter:WidthEdit" << true << QList<int> { 30, 45, 1, 2 };
    QTest::newRow("OK") << false << "7"
                        << "8" << 0 << 2 << "OKBtn" << true << QList<int> { 7, 8, 0, 2 };
    QTest::newRow("Cancel after ClearChoices")
        << true << "99"
        << "98" << 1 << 1 << "CancelBtn" << false << QList<int> { 0, 0, 2, 1 };
    QTest::newRow("Escape after ClearChoices")
        << true << "99"
        << "98" << 1 << 1 << "Escape" << false << QList<int> { 0, 0, 2, 1 };
    QTest::newRow("Cancel without ClearChoices")
        << false << "99"
        << "98" << 1 << 1 << "CancelBtn" << false << QList<int> { 50, 60, 2, 1 };
}

void TestLayoutDialogs::sizeExecute()
{
    QFETCH(bool, clear);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QString, how);
    QFETCH(bool, result);
    QFETCH(QList<int>, stored);

    TSizeFormDlg dlg;
    dlg.SizeWidth = 50;
    dlg.SizeHeight = 60;
    dlg.Horizontal = 2;
    dlg.Vertical = 1;
    if (clear)
        dlg.ClearChoices();
    ScriptedServices services;
    bool closed = false;
    answerBy(
        services,
        [&](QDialog &) {
            dlg.WidthEdit->setText(width);
            dlg.HeightEdit->setText(height);
            dlg.HorizontalChoice->button(horizontal)->click();
            dlg.VerticalChoice->button(vertical)->click();
        },
        how, closed);

    QCOMPARE(dlg.Execute(), result);
    QVERIFY(closed);
    QCOMPARE(QList<int>({ dlg.SizeWidth, dlg.SizeHeight, dlg.Horizontal, dlg.Vertical }), stored);
}

// OK is the size dialog's default button, so Enter reaching the dialog from
// HeightEdit would close it; the box keeps the key to itself.
void TestLayoutDialogs::enterInHeightEditDoesNotClose()
{
    TSizeFormDlg dlg;
    QVERIFY(dlg.OKBtn->isDefault());
    ScriptedServices services;
    bool stillOpenAfterHeight = false;
    int resultAfterHeight = -1;
    services.onModal = [&](QDialog &dialog) {
        dlg.WidthEdit->setText(QStringLiteral("21"));
        dlg.HeightEdit->setText(QStringLiteral("34"));
        closeBy(dialog, QStringLiteral("Enter:HeightEdit"));
        QTest::keyClick(dlg.HeightEdit, Qt::Key_Enter);
        stillOpenAfterHeight = dialog.isVisible();
        resultAfterHeight = dialog.result();
        // Enter in the width box still closes it as OK.
        QTest::keyClick(dlg.WidthEdit, Qt::Key_Return);
        services.modalAnswers.push_front(dialog.isVisible() ? int(QDialog::Rejected) : dialog.result());
        dialog.hide();
    };

    QVERIFY(dlg.Execute());
    QVERIFY(stillOpenAfterHeight);
    QCOMPARE(resultAfterHeight, 0);
    QCOMPARE(dlg.SizeWidth, 21);
    QCOMPARE(dlg.SizeHeight, 34);
}

// ClearChoices puts both boxes to "0" and both groups to their first item;
// the alignment dialog keeps its stored results, the size dialog drops its
// width and height but keeps its choices.
void TestLayoutDialogs::clearChoices()
{
    TAlignmentFormDlg align;
    align.Left = 5;
    align.Top = 6;
    align.Horizontal = 3;
    align.Vertical = 2;
    align.LeftEdit->setText(QStringLiteral("17"));
    align.TopEdit->setText(QStringLiteral("x"));
    align.HorizontalChoice->button(3)->click();
    align.VerticalChoice->button(2)->click();
    align.ClearChoices();
    QCOMPARE(align.LeftEdit->text(), QStringLiteral("0"));
    QCOMPARE(align.TopEdit->text(), QStringLiteral("0"));
    QCOMPARE(align.HorizontalChoice->checkedId(), 0);
    QCOMPARE(align.VerticalChoice->checkedId(), 0);
    QCOMPARE(QList<int>({ align.Left, align.Top, align.Horizontal, align.Vertical }),
             QList<int>({ 5, 6, 3, 2 }));

    TSizeFormDlg size;
    size.SizeWidth = 5;
    size.SizeHeight = 6;
    size.Horizontal = 2;
    size.Vertical = 1;
    size.WidthEdit->setText(QStringLiteral("17"));
    size.HeightEdit->setText(QStringLiteral("18"));
    size.HorizontalChoice->button(2)->click();
    size.VerticalChoice->button(1)->click();
    size.ClearChoices();
    QCOMPARE(size.WidthEdit->text(), QStringLiteral("0"));
    QCOMPARE(size.HeightEdit->text(), QStringLiteral("0"));
    QCOMPARE(size.HorizontalChoice->checkedId(), 0);
    QCOMPARE(size.VerticalChoice->checkedId(), 0);
    QCOMPARE(QList<int>({ size.SizeWidth, size.SizeHeight, size.Horizontal, size.Vertical }),
             QList<int>({ 0, 0, 2, 1 }));
}

// Every row starts from a factor of 37, which Execute never keeps.
void TestLayoutDialogs::scaleExecute_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("factor");

    QTest::newRow("Do scale") << "150"
                              << "ScaleBtn" << true << 150;
    QTest::newRow("Enter takes the default Do scale") << "40"
                                                      << "Enter:ScaleEdit" << true << 40;
    QTest::newRow("beyond the arrows' range") << "250"
                                              << "ScaleBtn" << true << 250;
    QTest::newRow("Restore gives 100") << "150"
                                       << "RestoreBtn" << false << 100;
    QTest::newRow("Escape gives 100") << "150"
                                      << "Escape" << false << 100;
}

void TestLayoutDialogs::scaleExecute()
{
    QFETCH(QString, text);
    QFETCH(QString, how);
    QFETCH(bool, result);
    QFETCH(int, factor);

    TScaleFormDlg dlg;
    dlg.Factor = 37;
    ScriptedServices services;
    bool closed = false;
    int factorWhileShown = -1;
    answerBy(
        services,
        [&](QDialog &) {
            factorWhileShown = dlg.Factor;
            dlg.ScaleEdit->setText(text);
        },
        how, closed);

    QCOMPARE(dlg.Execute(), result);
    QVERIFY(closed);
    QCOMPARE(factorWhileShown, 100);
    QCOMPARE(dlg.Factor, factor);
}

// A number typed in the box moves the arrows when it is in their range; a
// step of the arrows writes their position into the box.
void TestLayoutDialogs::scaleArrowsFollowTheBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("untouched, one up") << QString() << 1 << 110 << "110";
    QTest::newRow("typed 150, one up") << "150" << 1 << 160 << "160";
    QTest::newRow("typed 035, two down") << "035" << -2 << 15 << "15";
    QTest::newRow("typed 035, no step") << "035" << 0 << 35 << "035";
    // Typed key by key: "25" moves the arrows, "250" does not.
    QTest::newRow("typed 250 is out of range, one up") << "250" << 1 << 35 << "35";
    QTest::newRow("typed abc, one down") << "abc" << -1 << 90 << "90";
    QTest::newRow("typed 195, one up stops at 200") << "195" << 1 << 200 << "200";
    QTest::newRow("typed 0, one down stays") << "0" << -1 << 0 << "0";
}

void TestLayoutDialogs::scaleArrowsFollowTheBox()
{
    QFETCH(QString, typed);
    QFETCH(int, steps);
    QFETCH(int, value);
    QFETCH(QString, text);

    TScaleFormDlg dlg;
    dlg.show();
    if (!typed.isNull()) {
        dlg.ScaleEdit->clear();
        QTest::keyClicks(dlg.ScaleEdit, typed);
    }
    dlg.UpDown1->stepBy(steps);
    QCOMPARE(dlg.UpDown1->value(), value);
    QCOMPARE(dlg.ScaleEdit->text(), text);
}

// A box that holds no integer fails Execute with the conversion error after
// OK; what converted before it is stored, the rest keeps its value.
// Stored before: alignment 111, 222, 1, 1; size 50, 60, 2, 1; scale 37.
// Every run chooses items 3/2 (alignment) or 1/2 (size) before OK.
void TestLayoutDialogs::conversionError_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("bad");
    QTest::addColumn<QList<int>>("stored");

    QTest::newRow("alignment, Left") << "alignment"
                                     << "abc"
                                     << "5"
                                     << "abc" << QList<int> { 111, 222, 1, 1 };
    QTest::newRow("alignment, Top") << "alignment"
                                    << "7"
                                    << "1.5"
                                    << "1.5" << QList<int> { 7, 222, 1, 1 };
    QTest::newRow("alignment, empty Top") << "alignment"
                                          << "-3"
                                          << ""
                                          << "" << QList<int> { -3, 222, 1, 1 };
    QTest::newRow("size, Width too large") << "size"
                                           << "99999999999"
                                           << "5"
                                           << "99999999999" << QList<int> { 50, 60, 2, 1 };
    QTest::newRow("size, Height") << "size"
                                  << "12"
                                  << "1 2"
                                  << "1 2" << QList<int> { 12, 60, 2, 1 };
    QTest::newRow("scale") << "scale"
                           << "ten" << QString() << "ten" << QList<int> { 100 };
}

void TestLayoutDialogs::conversionError()
{
    QFETCH(QString, dialog);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, bad);
    QFETCH(QList<int>, stored);

    TAlignmentFormDlg align;
    align.Left = 111;
    align.Top = 222;
    align.Horizontal = 1;
    align.Vertical = 1;
    TSizeFormDlg size;
    size.SizeWidth = 50;
    size.SizeHeight = 60;
    size.Horizontal = 2;
    size.Vertical = 1;
    TScaleFormDlg scale;
    scale.Factor = 37;

    ScriptedServices services;
    bool closed = false;
    std::function<bool()> execute;
    std::function<QList<int>()> results;
    QString okButton = QStringLiteral("OKBtn");
    std::function<void(QDialog &)> fill;
    if (dialog == QLatin1String("alignment")) {
        fill = [&](QDialog &) {
            align.LeftEdit->setText(first);
            align.TopEdit->setText(second);
            align.HorizontalChoice->button(3)->click();
            align.VerticalChoice->button(2)->click();
        };
        execute = [&] { return align.Execute(); };
        results = [&] { return QList<int> { align.Left, align.Top, align.Horizontal, align.Vertical }; };
    } else if (dialog == QLatin1String("size")) {
        fill = [&](QDialog &) {
            size.WidthEdit->setText(first);
            size.HeightEdit->setText(second);
            size.HorizontalChoice->button(1)->click();
            size.VerticalChoice->button(2)->click();
        };
        execute = [&] { return size.Execute(); };
        results = [&] {
            return QList<int> { size.SizeWidth, size.SizeHeight, size.Horizontal, size.Vertical };
        };
    } else {
        fill = [&](QDialog &) { scale.ScaleEdit->setText(first); };
        execute = [&] { return scale.Execute(); };
        results = [&] { return QList<int> { scale.Factor }; };
        okButton = QStringLiteral("ScaleBtn");
    }
    answerBy(services, fill, okButton, closed);

    QString message;
    try {
        execute();
    } catch (const qvx::EngineError &e) {
        message = e.message();
    }
    QVERIFY(closed);
    QCOMPARE(message, QStringLiteral("'%1' is not a valid integer value").arg(bad));
    QCOMPARE(results(), stored);
}

// Each dialog is run modally through the services, with every override
// cursor dropped so it shows the normal arrow.
void TestLayoutDialogs::runsThroughServicesWithTheNormalArrow()
{
    TAlignmentFormDlg align;
    TSizeFormDlg size;
    TScaleFormDlg scale;
    ScriptedServices services;
    int shownWithOverrideCursor = 0;
    services.onModal = [&](QDialog &) {
        if (QApplication::overrideCursor())
            ++shownWithOverrideCursor;
    };
    for (const std::function<bool()> &execute : std::initializer_list<std::function<bool()>> {
             [&] { return align.Execute(); }, [&] { return size.Execute(); },
             [&] { return scale.Execute(); } }) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QVERIFY(!execute());
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    QCOMPARE(shownWithOverrideCursor, 0);
    QCOMPARE(services.modalDialogs, QList<QString>({ "AlignmentFormDlg", "SizeFormDlg", "ScaleFormDlg" }));
}

QTEST_MAIN(TestLayoutDialogs)
#include "tst_layoutdialogs.moc"
