// The designers' drawing surface driven as a user drives it: mouse and keys
// through QTest on a few design controls, the context menu's commands with
// scripted dialogs, and the pictures checked pixel by pixel.

#include "support/ScriptedServices.h"

#include "designers/AlignmentDlg.h"
#include "designers/FormDesigner.h"
#include "designers/ScaleDlg.h"
#include "designers/SizeDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<QColor>)

namespace {

const QColor White(255, 255, 255);
const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);

// A pixel as stored (premultiplied), so exclusive-or relations hold for
// see-through pixels too.
QRgb raw(const QImage &image, int x, int y)
{
    return reinterpret_cast<const QRgb *>(image.constScanLine(y))[x];
}

// Records where F2 would show the context menu.
class Designer : public TFormDesigner {
public:
    using TFormDesigner::TFormDesigner;
    QList<QPoint> popups;
    void ShowPopupAt(const QPoint &screenPoint) override { popups << screenPoint; }
};

smControls record(const QString &name, const QString &kind, const QRect &bounds, const QString &caption = {})
{
    smControls r;
    r.ControlName = name;
    r.Kind = kind;
    r.Caption = caption;
    r.Left = bounds.left();
    r.Top = bounds.top();
    r.Width = bounds.width();
    r.Height = bounds.height();
    r.BackColor = White;
    r.Bordered = kind != QLatin1String("Label");
    return r;
}

// The resize handles in the order of HandleRect.
QWidget *handle(const TFormDesigner &designer, int which)
{
    QWidget *const handles[8]
        = { designer.UpLeft,      designer.UpCenter,   designer.UpRight,      designer.LeftCenter,
            designer.RightCenter, designer.BottomLeft, designer.BottomCenter, designer.BottomRight };
    return handles[which];
}

// A designer on screen with scripted services and the status panels caught.
struct Surface {
    ScriptedServices services;
    Designer designer;
    QString status[2];

    Surface()
    {
        designer.resize(428, 373);
        designer.StatusText = [this](int panel, const QString &text) { status[panel] = text; };
        designer.show();
    }

    TDesignControl *add(const QString &name, const QString &kind, const QRect &bounds,
                        const QString &caption = {})
    {
        return designer.AddDesignControl(record(name, kind, bounds, caption));
    }
    // The search form's first rows: a caption and three entry boxes.
    void addRows()
    {
        add(QStringLiteral("Label2"), QStringLiteral("Label"), QRect(10, 0, 100, 20), QStringLiteral("Name"));
        add(QStringLiteral("Edit2"), QStringLiteral("Edit"), QRect(110, 0, 100, 20), QStringLiteral("Name"));
        add(QStringLiteral("Edit4"), QStringLiteral("Edit"), QRect(110, 22, 100, 20), QStringLiteral("City"));
        add(QStringLiteral("Edit6"), QStringLiteral("Edit"), QRect(110, 44, 100, 20), QStringLiteral("Zip"));
    }

    TDesignControl *control(const QString &name) const
    {
        return designer.findChild<TDesignControl *>(name, Qt::FindDirectChildrenOnly);
    }
    smControls &rec(const QString &name)
    {
        for (smControls &r : designer.ControlRecords)
            if (r.ControlName == name)
                return r;
        qFatal("no record %s", qPrintable(name));
    }
    QStringList recordNames() const
    {
        QStringList names;
        for (const smControls &r : designer.ControlRecords)
            names << r.ControlName;
        return names;
    }
    QStringList selectedNames() const
    {
        QStringList names;
        for (const smControls &r : designer.ControlRecords)
            if (r.IsSelected)
                names << r.ControlName;
        return names;
    }

    void click(const QString &name, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(control(name), Qt::LeftButton, modifiers, QPoint(5, 5));
    }
    // Selects `primary` with a click, then adds the others with Shift.
    void select(const QString &primary, const QStringList &others = {})
    {
        click(primary);
        for (const QString &name : others)
            click(name, Qt::ShiftModifier);
    }

    // What the control's bitmap shows against the same record painted
    // afresh: "plain", "marked" (the four squares flipped by the grey), or
    // "other".
    QString marks(const QString &name)
    {
        TDesignControl fresh(designer, -1, nullptr);
        fresh.paintFrom(rec(name));
        const QImage &now = control(name)->bitmap();
        if (now == fresh.bitmap())
            return QStringLiteral("plain");
        if (now.size() == fresh.bitmap().size()
            && ((raw(now, 2, 2) ^ raw(fresh.bitmap(), 2, 2)) & 0xffffffu) == 0x808080u)
            return QStringLiteral("marked");
        return QStringLiteral("other");
    }

    // Whether the eight handles stand around the control's bounds.
    bool handlesAround(const QRect &bounds) const
    {
        for (int i = 0; i < 8; ++i)
            if (handle(designer, i)->isHidden()
                || handle(designer, i)->geometry() != TFormDesigner::HandleRect(i, bounds))
                return false;
        return true;
    }
    bool handlesHidden() const
    {
        for (int i = 0; i < 8; ++i)
            if (!handle(designer, i)->isHidden())
                return false;
        return true;
    }
};

// The smallest rectangle holding every pixel that differs from `blank`:
// where the text's ink is.
QRect inkBox(const QImage &image, QRgb blank)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != blank)
                box |= QRect(x, y, 1, 1);
    return box;
}

QList<QRect> rects(std::initializer_list<QRect> list)
{
    return QList<QRect>(list);
}

} // namespace

class TestFormDesigner : public QObject {
    Q_OBJECT
private slots:
    void entryBoxFrame_data();
    void entryBoxFrame();
    void captionPlacement();
    void marksFlipByExclusiveOr_data();
    void marksFlipByExclusiveOr();
    void handleRects_data();
    void handleRects();
    void clickAndShiftClickSelect();
    void surfaceClickClearsSelection();
    void clearDesignStartsAfresh();
    void dragMovesSelectionTogether();
    void mouseReadouts();
    void resizeByHandle_data();
    void resizeByHandle();
    void captionEditing_data();
    void captionEditing();
    void colourCommand_data();
    void colourCommand();
    void fontCommand_data();
    void fontCommand();
    void alignCommand_data();
    void alignCommand();
    void sizeCommand_data();
    void sizeCommand();
    void scaleCommand_data();
    void scaleCommand();
    void tabOrder_data();
    void tabOrder();
    void nullDialogsDoNothing();
    void altDHidesAndKeepsRecords();
    void f2ShowsMenuInsideFrame_data();
    void f2ShowsMenuInsideFrame();
    void contextMenuOnSurfaceAndControls();
};

// --- Painting ---------------------------------------------------------------------

void TestFormDesigner::entryBoxFrame_data()
{
    QTest::addColumn<bool>("bordered");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("expected");

    // A 100 x 20 box: black (1,18)-(1,1)-(99,1), grey (0,19)-(0,0)-(100,0),
    // silver (2,18)-(98,18)-(98,0), each without its last point.
    QTest::newRow("grey corner") << true << QPoint(0, 0) << Grey;
    QTest::newRow("grey left foot") << true << QPoint(0, 19) << Grey;
    QTest::newRow("grey top end") << true << QPoint(99, 0) << Grey;
    QTest::newRow("black corner") << true << QPoint(1, 1) << QColor(Qt::black);
    QTest::newRow("black left foot") << true << QPoint(1, 18) << QColor(Qt::black);
    QTest::newRow("black top") << true << QPoint(60, 1) << QColor(Qt::black);
    QTest::newRow("silver over black's end") << true << QPoint(98, 1) << Silver;
    QTest::newRow("silver bottom start") << true << QPoint(2, 18) << Silver;
    QTest::newRow("silver right foot") << true << QPoint(98, 18) << Silver;
    QTest::newRow("silver stops before top") << true << QPoint(98, 0) << Grey;
    QTest::newRow("last column is fill") << true << QPoint(99, 10) << White;
    QTest::newRow("last row is fill") << true << QPoint(50, 19) << White;
    QTest::newRow("inside is fill") << true << QPoint(90, 10) << White;
    QTest::newRow("plain: no frame") << false << QPoint(0, 0) << White;
    QTest::newRow("plain: no black") << false << QPoint(1, 1) << White;
}

void TestFormDesigner::entryBoxFrame()
{
    QFETCH(bool, bordered);
    QFETCH(QPoint, at);
    QFETCH(QColor, expected);

    Surface s;
    smControls r = record(QStringLiteral("Edit2"), QStringLiteral("Edit"), QRect(0, 0, 100, 20));
    r.Bordered = bordered;
    TDesignControl *c = s.designer.AddDesignControl(r);
    QCOMPARE(c->bitmap().size(), QSize(100, 20));
    QCOMPARE(c->bitmap().pixelColor(at), expected);
}

void TestFormDesigner::captionPlacement()
{
    // The same caption in the same font lands at (4,3) in an entry box,
    // (1,1) in a plain box and (0,0) on a caption, whose bitmap shows only
    // the text.
    Surface s;
    const QRect bounds(0, 0, 100, 20);
    TDesignControl *label
        = s.add(QStringLiteral("L"), QStringLiteral("Label"), bounds, QStringLiteral("HWg"));
    TDesignControl *box = s.add(QStringLiteral("E"), QStringLiteral("Edit"), bounds, QStringLiteral("HWg"));
    smControls plainRecord
        = record(QStringLiteral("P"), QStringLiteral("Edit"), bounds, QStringLiteral("HWg"));
    plainRecord.Bordered = false;
    TDesignControl *plain = s.designer.AddDesignControl(plainRecord);

    QCOMPARE(qAlpha(label->bitmap().pixel(99, 19)), 0);
    QCOMPARE(qAlpha(label->bitmap().pixel(60, 10)), 0);
    const QRect labelInk = inkBox(label->bitmap(), 0u);
    QVERIFY(!labelInk.isEmpty());
    QVERIFY(labelInk.width() < 60);

    // Inside the entry box's frame only the text differs from the fill.
    QImage boxInside = box->bitmap().copy(3, 2, 95, 16);
    const QRect boxInk = inkBox(boxInside, White.rgb()).translated(3, 2);
    const QRect plainInk = inkBox(plain->bitmap(), White.rgb());
    QCOMPARE(boxInk.size(), labelInk.size());
    QCOMPARE(plainInk.size(), labelInk.size());
    QCOMPARE(boxInk.topLeft() - labelInk.topLeft(), QPoint(4, 3));
    QCOMPARE(plainInk.topLeft() - labelInk.topLeft(), QPoint(1, 1));
}

void TestFormDesigner::marksFlipByExclusiveOr_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("bordered");
    QTest::addColumn<QSize>("size");

    QTest::newRow("entry box") << QStringLiteral("Edit") << true << QSize(100, 20);
    QTest::newRow("plain box") << QStringLiteral("Edit") << false << QSize(37, 13);
    QTest::newRow("caption") << QStringLiteral("Label") << false << QSize(100, 20);
}

void TestFormDesigner::marksFlipByExclusiveOr()
{
    QFETCH(QString, kind);
    QFETCH(bool, bordered);
    QFETCH(QSize, size);

    Surface s;
    smControls r = record(QStringLiteral("C"), kind, QRect(QPoint(0, 0), size), QStringLiteral("Hg"));
    r.Bordered = bordered;
    TDesignControl *c = s.designer.AddDesignControl(r);
    const QImage before = c->bitmap();
    const int w = size.width(), h = size.height();
    const QRect squares[4]
        = { QRect(QPoint(1, 1), QPoint(4, 4)), QRect(QPoint(w - 4, 1), QPoint(w - 1, 4)),
            QRect(QPoint(1, h - 4), QPoint(4, h - 1)), QRect(QPoint(w - 4, h - 4), QPoint(w - 1, h - 1)) };
    auto inMark = [&](int x, int y) {
        for (const QRect &q : squares)
            if (q.contains(x, y))
                return true;
        return false;
    };
    // A caption is see-through: its marks flip alpha too, or they would not show.
    const QRgb flip = kind == QLatin1String("Label") ? 0xff808080u : 0x00808080u;

    c->toggleMarks();
    QVERIFY(c->marksShown());
    const QImage marked = c->bitmap();
    int flipped = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb expected = inMark(x, y) ? raw(before, x, y) ^ flip : raw(before, x, y);
            if (raw(marked, x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel (%1,%2) is %3, not %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(raw(marked, x, y), 8, 16)
                                     .arg(expected, 8, 16)));
            flipped += inMark(x, y);
        }
    QCOMPARE(flipped, 64);
    if (kind == QLatin1String("Label"))
        QCOMPARE(qAlpha(marked.pixel(w - 2, h - 2)), 255);

    c->toggleMarks();
    QVERIFY(!c->marksShown());
    QCOMPARE(c->bitmap(), before);
}

// --- Selection -----------------------------------------------------------------

void TestFormDesigner::handleRects_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<QPoint>("expected");

    const QRect box(10, 0, 100, 20); // L 10, T 0, R 110, B 20
    QTest::newRow("UpLeft") << 0 << box << QPoint(8, -2);
    QTest::newRow("UpCenter") << 1 << box << QPoint(62, -2);
    QTest::newRow("UpRight") << 2 << box << QPoint(107, -2);
    QTest::newRow("LeftCenter") << 3 << box << QPoint(8, 8);
    QTest::newRow("RightCenter") << 4 << box << QPoint(107, 8);
    QTest::newRow("BottomLeft") << 5 << box << QPoint(8, 17);
    QTest::newRow("BottomCenter") << 6 << box << QPoint(62, 17);
    QTest::newRow("BottomRight") << 7 << box << QPoint(107, 17);
    // L -10, R -5: (-15)/2 is -7; T -8, B -3: (-11)/2 is -5.
    const QRect left(-10, -8, 5, 5);
    QTest::newRow("UpCenter, halves toward zero") << 1 << left << QPoint(-5, -10);
    QTest::newRow("LeftCenter, halves toward zero") << 3 << left << QPoint(-12, -7);
    QTest::newRow("BottomCenter, odd width") << 6 << QRect(3, 4, 7, 9) << QPoint(8, 10);
}

void TestFormDesigner::handleRects()
{
    QFETCH(int, which);
    QFETCH(QRect, bounds);
    QFETCH(QPoint, expected);
    QCOMPARE(TFormDesigner::HandleRect(which, bounds), QRect(expected, QSize(5, 5)));
}

void TestFormDesigner::clickAndShiftClickSelect()
{
    Surface s;
    s.addRows();
    TFormDesigner &d = s.designer;

    // Shift without a primary control selects nothing.
    s.click(QStringLiteral("Edit4"), Qt::ShiftModifier);
    QVERIFY(s.selectedNames().isEmpty());
    QVERIFY(d.ClickEnabled);

    s.click(QStringLiteral("Edit2"));
    QCOMPARE(d.PrimaryIndex, s.rec(QStringLiteral("Edit2")).ControlIndex);
    QCOMPARE(d.CurrentControl, s.control(QStringLiteral("Edit2")));
    QCOMPARE(s.selectedNames(), QStringList { QStringLiteral("Edit2") });
    QVERIFY(s.handlesAround(QRect(110, 0, 100, 20)));
    QCOMPARE(d.FocusRect.left, 110);
    QCOMPARE(d.FocusRect.bottom, 20);
    QCOMPARE(s.marks(QStringLiteral("Edit2")), QStringLiteral("plain"));
    QCOMPARE(d.UpLeft->cursor().shape(), Qt::SizeFDiagCursor);
    QCOMPARE(d.UpCenter->cursor().shape(), Qt::SizeVerCursor);
    QCOMPARE(d.UpRight->cursor().shape(), Qt::SizeBDiagCursor);
    QCOMPARE(d.RightCenter->cursor().shape(), Qt::SizeHorCursor);

    s.click(QStringLiteral("Edit4"), Qt::ShiftModifier);
    s.click(QStringLiteral("Edit6"), Qt::ShiftModifier);
    QCOMPARE(s.selectedNames(), (QStringList { "Edit2", "Edit4", "Edit6" }));
    QCOMPARE(s.marks(QStringLiteral("Edit4")), QStringLiteral("marked"));
    QCOMPARE(s.marks(QStringLiteral("Edit6")), QStringLiteral("marked"));
    QVERIFY(s.handlesAround(QRect(110, 0, 100, 20))); // the click ending a shift-press changes nothing
    QVERIFY(d.ClickEnabled);

    // Shift on the primary control leaves it alone.
    s.click(QStringLiteral("Edit2"), Qt::ShiftModifier);
    QCOMPARE(s.selectedNames(), (QStringList { "Edit2", "Edit4", "Edit6" }));
    QCOMPARE(s.marks(QStringLiteral("Edit2")), QStringLiteral("plain"));

    // Shift on a selected non-primary control takes it out: marks gone.
    s.click(QStringLiteral("Edit4"), Qt::ShiftModifier);
    QCOMPARE(s.selectedNames(), (QStringList { "Edit2", "Edit6" }));
    QCOMPARE(s.marks(QStringLiteral("Edit4")), QStringLiteral("plain"));
    QCOMPARE(s.marks(QStringLiteral("Edit6")), QStringLiteral("marked"));

    // A plain click on a marked control makes it the only, unmarked, primary one.
    s.click(QStringLiteral("Edit6"));
    QCOMPARE(s.selectedNames(), QStringList { QStringLiteral("Edit6") });
    QCOMPARE(d.PrimaryIndex, s.rec(QStringLiteral("Edit6")).ControlIndex);
    QCOMPARE(s.marks(QStringLiteral("Edit6")), QStringLiteral("plain"));
    QVERIFY(s.handlesAround(QRect(110, 44, 100, 20)));

    // A right press only makes it the current control.
    QTest::mouseClick(s.control(QStringLiteral("Label2")), Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(d.CurrentControl, s.control(QStringLiteral("Label2")));
    QCOMPARE(s.selectedNames(), QStringList { QStringLiteral("Edit6") });
}

void TestFormDesigner::surfaceClickClearsSelection()
{
    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Edit4"), QStringLiteral("Label2") });
    QCOMPARE(s.selectedNames().size(), 3);

    QTest::mouseClick(&s.designer, Qt::LeftButton, {}, QPoint(300, 300));
    QVERIFY(s.selectedNames().isEmpty());
    QCOMPARE(s.designer.PrimaryIndex, -1);
    QVERIFY(s.handlesHidden());
    QCOMPARE(s.marks(QStringLiteral("Edit4")), QStringLiteral("plain"));
    QCOMPARE(s.marks(QStringLiteral("Label2")), QStringLiteral("plain"));
    QCOMPARE(s.recordNames().size(), 4);
}

void TestFormDesigner::clearDesignStartsAfresh()
{
    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Edit4") });
    TDesignControl *old = s.control(QStringLiteral("Edit4"));
    const int oldIndex = old->index();

    s.designer.ClearDesign();
    QVERIFY(s.designer.ControlRecords.empty());
    QVERIFY(s.designer.DesignControls().isEmpty());
    QCOMPARE(s.designer.PrimaryIndex, -1);
    QVERIFY(!s.designer.CurrentControl);
    QVERIFY(s.handlesHidden());
    QVERIFY(!s.designer.ControlOf(oldIndex));

    // A new control gets an index of its own and is selected as usual.
    TDesignControl *fresh = s.add(QStringLiteral("Edit8"), QStringLiteral("Edit"), QRect(5, 5, 40, 20));
    QVERIFY(fresh->index() != oldIndex);
    QCOMPARE(s.designer.RecordOf(fresh->index())->ControlName, QStringLiteral("Edit8"));
    s.click(QStringLiteral("Edit8"));
    QCOMPARE(s.selectedNames(), QStringList { QStringLiteral("Edit8") });
    QVERIFY(s.handlesAround(QRect(5, 5, 40, 20)));
}

// --- Moving -------------------------------------------------------------------------

void TestFormDesigner::dragMovesSelectionTogether()
{
    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Edit6") });
    TDesignControl *primary = s.control(QStringLiteral("Edit2"));

    QTest::mousePress(primary, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(s.designer.LastMouse, QPoint(115, 5));
    // Within the drag threshold nothing moves yet.
    const int near = QApplication::startDragDistance() - 1;
    QTest::mouseMove(primary, QPoint(5 + near, 5));
    QCOMPARE(s.rec(QStringLiteral("Edit2")).Left, 110);
    QVERIFY(s.designer.RubberBands().isEmpty());

    // Past it, every selected record moves by the offset since the press;
    // the point (145,17) lies on a control.
    QTest::mouseMove(primary, QPoint(35, 17));
    QCOMPARE(s.designer.RubberBands(), rects({ QRect(140, 12, 100, 20), QRect(140, 56, 100, 20) }));
    QCOMPARE(s.status[0], QStringLiteral(" X = 145"));
    QCOMPARE(s.status[1], QStringLiteral(" Y = 17"));
    QCOMPARE(primary->geometry(), QRect(110, 0, 100, 20)); // the controls wait for the drop

    // (145,217) is bare surface.
    QTest::mouseMove(primary, QPoint(35, 217));
    QCOMPARE(s.designer.RubberBands(), rects({ QRect(140, 212, 100, 20), QRect(140, 256, 100, 20) }));
    QCOMPARE(s.status[0], QStringLiteral(" X= 145"));
    QCOMPARE(s.status[1], QStringLiteral(" Y= 217"));

    QTest::mouseRelease(primary, Qt::LeftButton, {}, QPoint(35, 217));
    QVERIFY(s.designer.RubberBands().isEmpty());
    QCOMPARE(s.rec(QStringLiteral("Edit2")).bounds(), QRect(140, 212, 100, 20));
    QCOMPARE(s.rec(QStringLiteral("Edit6")).bounds(), QRect(140, 256, 100, 20));
    QCOMPARE(primary->geometry(), QRect(140, 212, 100, 20));
    QCOMPARE(s.control(QStringLiteral("Edit6"))->geometry(), QRect(140, 256, 100, 20));
    QCOMPARE(s.control(QStringLiteral("Edit4"))->geometry(), QRect(110, 22, 100, 20));
    QCOMPARE(s.rec(QStringLiteral("Edit4")).bounds(), QRect(110, 22, 100, 20));
    QVERIFY(s.handlesAround(QRect(140, 212, 100, 20)));
    QCOMPARE(s.designer.FocusRect.left, 140);
    QCOMPARE(s.designer.FocusRect.top, 212);
    QCOMPARE(s.marks(QStringLiteral("Edit6")), QStringLiteral("marked"));
    QCOMPARE(s.marks(QStringLiteral("Edit2")), QStringLiteral("plain"));
    // The drop was no click: the selection is as it was.
    QCOMPARE(s.selectedNames(), (QStringList { "Edit2", "Edit6" }));
}

void TestFormDesigner::mouseReadouts()
{
    Surface s;
    s.addRows();
    QMouseEvent overSurface(QEvent::MouseMove, QPointF(300, 250), s.designer.mapToGlobal(QPointF(300, 250)),
                            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&s.designer, &overSurface);
    QCOMPARE(s.designer.LastMouse, QPoint(300, 250));
    QCOMPARE(s.status[0], QStringLiteral(" X = 300"));
    QCOMPARE(s.status[1], QStringLiteral(" Y = 250"));

    TDesignControl *c = s.control(QStringLiteral("Edit4"));
    QMouseEvent overControl(QEvent::MouseMove, QPointF(7, 3), c->mapToGlobal(QPointF(7, 3)), Qt::NoButton,
                            Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(c, &overControl);
    QCOMPARE(s.status[0], QStringLiteral(" X = 117"));
    QCOMPARE(s.status[1], QStringLiteral(" Y = 25"));
}

// --- Resizing -------------------------------------------------------------------------

void TestFormDesigner::resizeByHandle_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("band");
    QTest::addColumn<QRect>("expected");

    // The control: left 50, top 40, right 150, bottom 60.
    QTest::newRow("UpLeft") << 0 << QPoint(-10, -6) << QRect(40, 34, 110, 26) << QRect(40, 34, 110, 26);
    QTest::newRow("UpCenter") << 1 << QPoint(7, -6) << QRect(50, 34, 100, 26) << QRect(50, 34, 100, 26);
    QTest::newRow("UpRight") << 2 << QPoint(12, 8) << QRect(50, 48, 112, 12) << QRect(50, 48, 112, 12);
    QTest::newRow("LeftCenter") << 3 << QPoint(20, 5) << QRect(70, 40, 80, 20) << QRect(70, 40, 80, 20);
    QTest::newRow("RightCenter") << 4 << QPoint(-30, 9) << QRect(50, 40, 70, 20) << QRect(50, 40, 70, 20);
    QTest::newRow("BottomLeft") << 5 << QPoint(-5, 10) << QRect(45, 40, 105, 30) << QRect(45, 40, 105, 30);
    QTest::newRow("BottomCenter") << 6 << QPoint(3, -8) << QRect(50, 40, 100, 12) << QRect(50, 40, 100, 12);
    QTest::newRow("BottomRight") << 7 << QPoint(25, 15) << QRect(50, 40, 125, 35) << QRect(50, 40, 125, 35);
    // Past the opposite edge: the control starts at the dragged edge with
    // the absolute size.
    QTest::newRow("UpLeft past the right edge")
        << 0 << QPoint(130, 0) << QRect(150, 40, 30, 20) << QRect(180, 40, 30, 20);
    QTest::newRow("BottomCenter above the top")
        << 6 << QPoint(0, -30) << QRect(50, 30, 100, 10) << QRect(50, 40, 100, 10);
}

void TestFormDesigner::resizeByHandle()
{
    QFETCH(int, which);
    QFETCH(QPoint, delta);
    QFETCH(QRect, band);
    QFETCH(QRect, expected);

    Surface s;
    s.addRows();
    s.add(QStringLiteral("Edit8"), QStringLiteral("Edit"), QRect(50, 40, 100, 20), QStringLiteral("Box"));
    s.click(QStringLiteral("Edit8"));
    QWidget *h = handle(s.designer, which);
    QVERIFY(!h->isHidden());

    // In two steps, each measured from the last.
    const QPoint press(2, 2);
    QTest::mousePress(h, Qt::LeftButton, {}, press);
    QTest::mouseMove(h, press + QPoint(delta.x() / 2, delta.y() / 2));
    QTest::mouseMove(h, press + delta);
    QCOMPARE(s.designer.RubberBands(), rects({ band }));
    QTest::mouseRelease(h, Qt::LeftButton, {}, press + delta);

    QVERIFY(s.designer.RubberBands().isEmpty());
    QCOMPARE(s.rec(QStringLiteral("Edit8")).bounds(), expected);
    TDesignControl *c = s.control(QStringLiteral("Edit8"));
    QCOMPARE(c->geometry(), expected);
    QCOMPARE(c->bitmap().size(), expected.size());
    QCOMPARE(s.designer.CurrentProps.bounds(), expected);
    QVERIFY(s.handlesAround(expected));
    // Nothing else changed.
    QCOMPARE(s.rec(QStringLiteral("Edit4")).bounds(), QRect(110, 22, 100, 20));
}

// --- Caption editing -------------------------------------------------------------------

void TestFormDesigner::captionEditing_data()
{
    QTest::addColumn<QString>("pressedBefore"); // the control pressed before Enter, or empty
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("labelCaption");

    QTest::newRow("Enter on the caption") << QString() << int(Qt::Key_Return) << QStringLiteral("Surname");
    QTest::newRow("keypad Enter") << QString() << int(Qt::Key_Enter) << QStringLiteral("Surname");
    QTest::newRow("an entry box is current")
        << QStringLiteral("Edit2") << int(Qt::Key_Return) << QStringLiteral("Name");
}

void TestFormDesigner::captionEditing()
{
    QFETCH(QString, pressedBefore);
    QFETCH(int, key);
    QFETCH(QString, labelCaption);

    Surface s;
    s.addRows();
    TFormDesigner &d = s.designer;
    TDesignControl *label = s.control(QStringLiteral("Label2"));
    s.select(QStringLiteral("Label2"), { QStringLiteral("Edit4") });
    QVERIFY(s.handlesAround(label->geometry()));
    const QImage before = label->bitmap();

    QTest::mouseDClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!d.Edit->isHidden());
    QCOMPARE(d.Edit->geometry(), label->geometry());
    QCOMPARE(d.Edit->text(), QStringLiteral("Name"));
    QCOMPARE(d.focusWidget(), d.Edit);
    QVERIFY(s.handlesHidden());
    QVERIFY(s.selectedNames().isEmpty());
    QCOMPARE(s.marks(QStringLiteral("Edit4")), QStringLiteral("plain"));

    QTest::keyClicks(d.Edit, QStringLiteral("Surname"));
    if (!pressedBefore.isEmpty()) {
        s.click(pressedBefore);
        QCOMPARE(d.focusWidget(), d.Edit); // pressing a picture leaves the editor its focus
    }
    QTest::keyClick(d.Edit, Qt::Key(key));

    QVERIFY(d.Edit->isHidden());
    QCOMPARE(s.rec(QStringLiteral("Label2")).Caption, labelCaption);
    QCOMPARE(s.rec(QStringLiteral("Edit2")).Caption, QStringLiteral("Name"));
    QCOMPARE(label->bitmap() == before, labelCaption == QLatin1String("Name"));
}

// --- Context-menu commands ----------------------------------------------------------

void TestFormDesigner::colourCommand_data()
{
    QTest::addColumn<std::optional<QColor>>("answer");
    QTest::newRow("cancelled") << std::optional<QColor>();
    QTest::newRow("red") << std::optional<QColor>(QColor(255, 0, 0));
}

void TestFormDesigner::colourCommand()
{
    QFETCH(std::optional<QColor>, answer);

    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Edit6") });
    const QImage primaryBefore = s.control(QStringLiteral("Edit2"))->bitmap();
    const QImage otherBefore = s.control(QStringLiteral("Edit4"))->bitmap();
    s.services.colorAnswers.push_back(answer);

    s.designer.Color->trigger();

    QCOMPARE(s.services.colorRequests, QList<QColor> { QColor(Qt::black) });
    const QColor expected = answer.value_or(White);
    QCOMPARE(s.rec(QStringLiteral("Edit2")).BackColor, expected);
    QCOMPARE(s.rec(QStringLiteral("Edit6")).BackColor, expected);
    QCOMPARE(s.rec(QStringLiteral("Edit4")).BackColor, White);
    QCOMPARE(s.designer.ColorDialogColor, answer.value_or(QColor(Qt::black)));
    QCOMPARE(s.control(QStringLiteral("Edit2"))->bitmap().pixelColor(90, 10), expected);
    QCOMPARE(s.control(QStringLiteral("Edit2"))->bitmap() == primaryBefore, !answer.has_value());
    QCOMPARE(s.control(QStringLiteral("Edit4"))->bitmap(), otherBefore);
    QCOMPARE(s.marks(QStringLiteral("Edit6")), QStringLiteral("marked"));
    QVERIFY(s.handlesAround(QRect(110, 0, 100, 20)));
    QCOMPARE(s.selectedNames(), (QStringList { "Edit2", "Edit6" }));
}

void TestFormDesigner::fontCommand_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestFormDesigner::fontCommand()
{
    QFETCH(bool, confirm);

    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Label2") });
    const QImage before = s.control(QStringLiteral("Edit2"))->bitmap();
    QFont chosen(QStringLiteral("DejaVu Serif"), 14);
    chosen.setBold(true);
    chosen.setItalic(true);
    s.services.fontAnswers.push_back(confirm ? std::optional<QFont>(chosen) : std::nullopt);

    s.designer.Font1->trigger();

    QCOMPARE(s.services.fontRequests.size(), 1);
    QCOMPARE(s.services.fontRequests[0].family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(s.services.fontRequests[0].pointSize(), 8);
    for (const char *name : { "Edit2", "Label2" }) {
        const smControls &r = s.rec(QLatin1String(name));
        QCOMPARE(r.TextFont, confirm ? QStringLiteral("DejaVu Serif") : QStringLiteral("MS Sans Serif"));
        QCOMPARE(r.TextSize, confirm ? 14 : 8);
        QCOMPARE(r.TextStyle, quint8(confirm ? smControls::Bold | smControls::Italic : 0));
        QCOMPARE(r.BackColor, White); // the font command leaves the colour alone
    }
    const smControls &untouched = s.rec(QStringLiteral("Edit4"));
    QCOMPARE(untouched.TextFont, QStringLiteral("MS Sans Serif"));
    QCOMPARE(untouched.TextSize, 8);
    QCOMPARE(s.control(QStringLiteral("Edit2"))->bitmap() == before, !confirm);
    QCOMPARE(s.marks(QStringLiteral("Label2")), QStringLiteral("marked"));
    QCOMPARE(s.designer.FontDialogFont.family(),
             confirm ? QStringLiteral("DejaVu Serif") : QStringLiteral("MS Sans Serif"));
    QVERIFY(s.handlesAround(QRect(110, 0, 100, 20)));
}

void TestFormDesigner::alignCommand_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QPoint>("expected"); // where the other selected box ends

    // Primary: left 10, top 10, 100 x 20; the other box is 41 x 11 at (200,100).
    QTest::newRow("no change") << true << 0 << 0 << QPoint(200, 100);
    QTest::newRow("left sides, tops") << true << 1 << 1 << QPoint(10, 10);
    QTest::newRow("centers") << true << 2 << 2 << QPoint(40, 15);
    QTest::newRow("right sides, bottoms") << true << 3 << 3 << QPoint(69, 19);
    QTest::newRow("right sides only") << true << 3 << 0 << QPoint(69, 100);
    // Cancelled: the choices confirmed before (right sides, tops) apply.
    QTest::newRow("cancelled") << false << 3 << 1 << QPoint(69, 10);
}

void TestFormDesigner::alignCommand()
{
    QFETCH(bool, confirm);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QPoint, expected);

    Surface s;
    TAlignmentFormDlg dialog;
    s.designer.AlignmentDlg = &dialog;
    s.add(QStringLiteral("A"), QStringLiteral("Edit"), QRect(10, 10, 100, 20));
    s.add(QStringLiteral("B"), QStringLiteral("Edit"), QRect(200, 100, 41, 11));
    s.add(QStringLiteral("C"), QStringLiteral("Edit"), QRect(300, 300, 30, 30));
    s.select(QStringLiteral("A"), { QStringLiteral("B") });

    if (confirm) {
        s.services.onModal = [&](QDialog &) {
            dialog.HorizontalChoice->button(horizontal)->setChecked(true);
            dialog.VerticalChoice->button(vertical)->setChecked(true);
        };
        s.services.modalAnswers.push_back(QDialog::Accepted);
    } else {
        dialog.Horizontal = horizontal;
        dialog.Vertical = vertical;
        s.services.onModal = [&](QDialog &) { dialog.HorizontalChoice->button(1)->setChecked(true); };
        s.services.modalAnswers.push_back(QDialog::Rejected);
    }

    s.designer.Align->trigger();

    QCOMPARE(s.services.modalDialogs, QList<QString> { QStringLiteral("AlignmentFormDlg") });
    QCOMPARE(s.rec(QStringLiteral("B")).bounds(), QRect(expected, QSize(41, 11)));
    QCOMPARE(s.control(QStringLiteral("B"))->geometry(), QRect(expected, QSize(41, 11)));
    QCOMPARE(s.marks(QStringLiteral("B")), QStringLiteral("marked"));
    QCOMPARE(s.rec(QStringLiteral("A")).bounds(), QRect(10, 10, 100, 20));
    QCOMPARE(s.rec(QStringLiteral("C")).bounds(), QRect(300, 300, 30, 30));
    QVERIFY(s.services.errors().isEmpty());
}

void TestFormDesigner::sizeCommand_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QString>("typedWidth");
    QTest::addColumn<QString>("typedHeight");
    QTest::addColumn<QList<QSize>>("expected"); // A (primary), B, C

    // Selected: A 100 x 20, B 41 x 11, C 150 x 30; D (300 x 50) is not.
    const QSize a(100, 20), b(41, 11), c(150, 30);
    QTest::newRow("no change") << true << 0 << 0 << "0"
                               << "0" << QList<QSize> { a, b, c };
    QTest::newRow("shrink both") << true << 1 << 1 << "0"
                                 << "0" << QList<QSize> { { 41, 11 }, { 41, 11 }, { 41, 11 } };
    QTest::newRow("grow both") << true << 2 << 2 << "0"
                               << "0" << QList<QSize> { { 150, 30 }, { 150, 30 }, { 150, 30 } };
    QTest::newRow("shrink width, grow height") << true << 1 << 2 << "0"
                                               << "0" << QList<QSize> { { 41, 30 }, { 41, 30 }, { 41, 30 } };
    QTest::newRow("typed width") << true << 0 << 0 << "60"
                                 << "0" << QList<QSize> { { 60, 20 }, { 60, 11 }, { 60, 30 } };
    QTest::newRow("typed height") << true << 0 << 0 << "0"
                                  << "7" << QList<QSize> { { 100, 7 }, { 41, 7 }, { 150, 7 } };
    QTest::newRow("typed width with grow") << true << 2 << 0 << "5"
                                           << "0" << QList<QSize> { { 150, 20 }, { 150, 11 }, { 150, 30 } };
    // Cancelled: the choice confirmed before (grow) applies.
    QTest::newRow("cancelled") << false << 2 << 0 << ""
                               << "" << QList<QSize> { { 150, 20 }, { 150, 11 }, { 150, 30 } };
}

void TestFormDesigner::sizeCommand()
{
    QFETCH(bool, confirm);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QString, typedWidth);
    QFETCH(QString, typedHeight);
    QFETCH(QList<QSize>, expected);

    Surface s;
    TSizeFormDlg dialog;
    s.designer.SizeDlg = &dialog;
    s.add(QStringLiteral("A"), QStringLiteral("Edit"), QRect(10, 10, 100, 20));
    s.add(QStringLiteral("B"), QStringLiteral("Edit"), QRect(10, 40, 41, 11));
    s.add(QStringLiteral("C"), QStringLiteral("Edit"), QRect(10, 60, 150, 30));
    s.add(QStringLiteral("D"), QStringLiteral("Edit"), QRect(10, 100, 300, 50));
    s.select(QStringLiteral("A"), { QStringLiteral("B"), QStringLiteral("C") });

    if (confirm) {
        s.services.onModal = [&](QDialog &) {
            dialog.HorizontalChoice->button(horizontal)->setChecked(true);
            dialog.VerticalChoice->button(vertical)->setChecked(true);
            dialog.WidthEdit->setText(typedWidth);
            dialog.HeightEdit->setText(typedHeight);
        };
        s.services.modalAnswers.push_back(QDialog::Accepted);
    } else {
        dialog.Horizontal = horizontal;
        dialog.Vertical = vertical;
        s.services.modalAnswers.push_back(QDialog::Rejected);
    }

    s.designer.Size->trigger();

    QCOMPARE(s.services.modalDialogs, QList<QString> { QStringLiteral("SizeFormDlg") });
    const char *names[3] = { "A", "B", "C" };
    for (int i = 0; i < 3; ++i) {
        const smControls &r = s.rec(QLatin1String(names[i]));
        QCOMPARE(QSize(r.Width, r.Height), expected[i]);
        QCOMPARE(s.control(QLatin1String(names[i]))->geometry(), r.bounds());
        QCOMPARE(s.control(QLatin1String(names[i]))->bitmap().size(), expected[i]);
    }
    QCOMPARE(s.rec(QStringLiteral("D")).bounds(), QRect(10, 100, 300, 50));
    QCOMPARE(s.marks(QStringLiteral("B")), QStringLiteral("marked"));
    QCOMPARE(s.marks(QStringLiteral("C")), QStringLiteral("marked"));
    QCOMPARE(s.marks(QStringLiteral("A")), QStringLiteral("plain"));
    QVERIFY(s.handlesAround(QRect(QPoint(10, 10), expected[0])));
}

void TestFormDesigner::scaleCommand_data()
{
    QTest::addColumn<QStringList>("selection"); // primary first
    QTest::addColumn<QString>("pressed"); // "ScaleBtn" or "RestoreBtn"
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QList<QRect>>("expected"); // A, B, C

    const QRect a(20, 30, 100, 20), b(60, 90, 41, 11), c(300, 200, 50, 50);
    // About A's corner (20,30): B is 40 right and 60 below it.
    QTest::newRow("150% about the primary")
        << QStringList { "A", "B" } << "ScaleBtn"
        << "150" << QList<QRect> { QRect(20, 30, 150, 30), QRect(80, 120, 62, 17), c };
    QTest::newRow("primary on the right")
        << QStringList { "B", "A" } << "ScaleBtn"
        << "50" << QList<QRect> { QRect(40, 60, 50, 10), QRect(60, 90, 21, 6), c };
    QTest::newRow("nothing selected: all, about the origin")
        << QStringList {} << "ScaleBtn"
        << "50" << QList<QRect> { QRect(10, 15, 50, 10), QRect(30, 45, 21, 6), QRect(150, 100, 25, 25) };
    QTest::newRow("restore") << QStringList { "A", "B" } << "RestoreBtn"
                             << "150" << QList<QRect> { a, b, c };
}

void TestFormDesigner::scaleCommand()
{
    QFETCH(QStringList, selection);
    QFETCH(QString, pressed);
    QFETCH(QString, factor);
    QFETCH(QList<QRect>, expected);

    Surface s;
    TScaleFormDlg dialog;
    s.designer.ScaleDlg = &dialog;
    s.add(QStringLiteral("A"), QStringLiteral("Edit"), QRect(20, 30, 100, 20));
    s.add(QStringLiteral("B"), QStringLiteral("Edit"), QRect(60, 90, 41, 11));
    s.add(QStringLiteral("C"), QStringLiteral("Edit"), QRect(300, 200, 50, 50));
    if (!selection.isEmpty())
        s.select(selection.first(), selection.mid(1));

    s.services.onModal = [&](QDialog &) { dialog.ScaleEdit->setText(factor); };
    s.services.modalAnswers.push_back(pressed == QLatin1String("ScaleBtn") ? QDialog::Accepted
                                                                           : QDialog::Rejected);
    s.designer.Scale->trigger();

    QCOMPARE(s.services.modalDialogs, QList<QString> { QStringLiteral("ScaleFormDlg") });
    const char *names[3] = { "A", "B", "C" };
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(s.rec(QLatin1String(names[i])).bounds(), expected[i]);
        QCOMPARE(s.control(QLatin1String(names[i]))->geometry(), expected[i]);
    }
    if (!selection.isEmpty()) {
        const QString primary = selection.first();
        QVERIFY(s.handlesAround(s.rec(primary).bounds()));
        QCOMPARE(s.marks(selection.last()), QStringLiteral("marked"));
        QCOMPARE(s.marks(primary), QStringLiteral("plain"));
    } else {
        QVERIFY(s.handlesHidden());
    }
}

void TestFormDesigner::tabOrder_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("expected");

    // Zip up twice, Up on the first entry (no effect), the caption down once.
    QTest::newRow("OK") << int(QDialog::Accepted) << QStringList { "Edit6", "Label2", "Edit2", "Edit4" };
    QTest::newRow("Cancel") << int(QDialog::Rejected) << QStringList { "Label2", "Edit2", "Edit4", "Edit6" };
}

void TestFormDesigner::tabOrder()
{
    QFETCH(int, answer);
    QFETCH(QStringList, expected);

    Surface s;
    s.addRows();
    QStringList listed;
    s.services.onModal = [&](QDialog &dialog) {
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("ControlList"));
        auto *up = dialog.findChild<QPushButton *>(QStringLiteral("UpBtn"));
        auto *down = dialog.findChild<QPushButton *>(QStringLiteral("DownBtn"));
        if (!list || !up || !down)
            return;
        for (int row = 0; row < list->count(); ++row)
            listed << list->item(row)->text();
        list->setCurrentRow(3);
        up->click();
        up->click();
        list->setCurrentRow(0);
        up->click();
        down->click();
    };
    s.services.modalAnswers.push_back(answer);

    s.designer.TabOrder->trigger();

    QCOMPARE(listed, (QStringList { "Name (Label)", "Name (Edit)", "City (Edit)", "Zip (Edit)" }));
    QCOMPARE(s.recordNames(), expected);
    // The records still find their controls.
    for (const smControls &r : s.designer.ControlRecords)
        QCOMPARE(s.designer.ControlOf(r.ControlIndex)->objectName(), r.ControlName);
}

void TestFormDesigner::nullDialogsDoNothing()
{
    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Edit4") });
    s.designer.Align->trigger();
    s.designer.Size->trigger();
    s.designer.Scale->trigger();
    QVERIFY(s.services.modalDialogs.isEmpty());
    QCOMPARE(s.rec(QStringLiteral("Edit4")).bounds(), QRect(110, 22, 100, 20));
    QVERIFY(s.services.errors().isEmpty());
}

// --- Keys ------------------------------------------------------------------------------

void TestFormDesigner::altDHidesAndKeepsRecords()
{
    Surface s;
    s.addRows();
    s.select(QStringLiteral("Edit2"), { QStringLiteral("Label2") });

    QTest::keyClick(&s.designer, Qt::Key_D, Qt::AltModifier);

    QVERIFY(s.control(QStringLiteral("Edit2"))->isHidden());
    QVERIFY(s.control(QStringLiteral("Label2"))->isHidden());
    QVERIFY(!s.control(QStringLiteral("Edit4"))->isHidden());
    QCOMPARE(s.recordNames(), (QStringList { "Label2", "Edit2", "Edit4", "Edit6" }));
    QVERIFY(s.selectedNames().isEmpty());
    QVERIFY(s.handlesHidden());

    // D alone is no command.
    s.select(QStringLiteral("Edit4"));
    QTest::keyClick(&s.designer, Qt::Key_D);
    QVERIFY(!s.control(QStringLiteral("Edit4"))->isHidden());
}

void TestFormDesigner::f2ShowsMenuInsideFrame_data()
{
    QTest::addColumn<bool>("inFrame");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("child window of the frame") << true << QPoint(30, 40) << QPoint(50, 190);
    QTest::newRow("plain widget") << false << QPoint(7, 9) << QPoint(27, 159);
}

void TestFormDesigner::f2ShowsMenuInsideFrame()
{
    QFETCH(bool, inFrame);
    QFETCH(QPoint, at);
    QFETCH(QPoint, expected);

    QWidget host;
    QMdiArea area;
    auto *designer = new Designer;
    if (inFrame) {
        area.resize(600, 500);
        QMdiSubWindow *sub = area.addSubWindow(designer);
        sub->move(at);
        area.show();
    } else {
        designer->setParent(&host);
        designer->move(at);
        host.show();
    }
    QTest::keyClick(designer, Qt::Key_F2);
    QCOMPARE(designer->popups, QList<QPoint> { expected });
}

void TestFormDesigner::contextMenuOnSurfaceAndControls()
{
    Surface s;
    s.addRows();
    QStringList texts;
    for (const QAction *a : s.designer.PopupMenu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts,
             (QStringList { "&Color ...", "Font ...", "-", "&Align ...", "&Size ...", "Scale ...",
                            "Tab Order ..." }));

    for (QWidget *target :
         { static_cast<QWidget *>(&s.designer), static_cast<QWidget *>(s.control(QStringLiteral("Label2"))),
           static_cast<QWidget *>(s.control(QStringLiteral("Edit4"))) }) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), target->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(target, &event);
        QVERIFY2(s.designer.PopupMenu->isVisible(), qPrintable(target->objectName()));
        s.designer.PopupMenu->hide();
    }
}

QTEST_MAIN(TestFormDesigner)
#include "tst_formdesigner.moc"
