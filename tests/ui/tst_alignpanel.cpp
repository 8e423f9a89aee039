// Children placed by alignment, as the table window's panes are.
#include "ui/AlignPanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace qvx::ui;

namespace {
QWidget *box(int w, int h)
{
    auto *widget = new QWidget;
    widget->resize(w, h);
    return widget;
}

void drag(QWidget *w, QPoint from, QPoint to)
{
    auto send = [w](QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}
} // namespace

class AlignPanelTest : public QObject {
    Q_OBJECT

private slots:
    // Picture on top, splitter below it, memo filling the rest; then the
    // moves the view commands make.
    void sidePane()
    {
        AlignPanel panel;
        panel.resize(170, 400);
        QWidget *image = box(170, 193);
        auto *splitter = new AlignSplitter(Qt::Horizontal, 2);
        QWidget *memo = box(170, 20);
        panel.addChild(image, Align::Top);
        panel.addChild(splitter, Align::Top);
        panel.addChild(memo, Align::Client);
        panel.show();
        QCOMPARE(image->geometry(), QRect(0, 0, 170, 193));
        QCOMPARE(splitter->geometry(), QRect(0, 193, 170, 2));
        QCOMPARE(memo->geometry(), QRect(0, 195, 170, 205));

        panel.setAlign(splitter, Align::Bottom);
        QCOMPARE(splitter->geometry(), QRect(0, 398, 170, 2));
        QCOMPARE(memo->geometry(), QRect(0, 193, 170, 205));

        memo->hide();
        panel.setAlign(image, Align::Client);
        QCOMPARE(image->geometry(), QRect(0, 0, 170, 398));

        // Back on top with another height: it keeps that height, and the
        // splitter re-aligned to the top lands below it.
        memo->show();
        panel.setExtent(image, 150);
        panel.setAlign(image, Align::Top);
        panel.setAlign(splitter, Align::Top);
        QCOMPARE(image->geometry(), QRect(0, 0, 170, 150));
        QCOMPARE(splitter->geometry(), QRect(0, 150, 170, 2));
        QCOMPARE(memo->geometry(), QRect(0, 152, 170, 248));

        // Everything hidden leaves the panel empty without negative sizes.
        image->hide();
        splitter->hide();
        memo->hide();
        panel.resize(170, 10);
        QVERIFY(memo->width() >= 0 && memo->height() >= 0);
    }

    // A child taller than the panel is cut to the space there is, but keeps
    // its height for when the panel grows again.
    void extentSurvivesSmallPanel()
    {
        AlignPanel panel;
        panel.resize(100, 50);
        QWidget *top = box(100, 193);
        panel.addChild(top, Align::Top);
        panel.show();
        QCOMPARE(top->height(), 50);
        panel.resize(100, 300);
        QCOMPARE(top->height(), 193);
    }

    // Right-aligned stacks: the first added is nearest the edge.
    void rightStackAndSplitterDrag()
    {
        AlignPanel panel;
        panel.resize(450, 200);
        QWidget *pages = box(10, 10);
        QWidget *side = box(170, 10);
        auto *splitter = new AlignSplitter(Qt::Vertical, 2);
        panel.addChild(pages, Align::Client);
        panel.addChild(side, Align::Right);
        panel.addChild(splitter, Align::Right);
        panel.show();
        QCOMPARE(side->geometry(), QRect(280, 0, 170, 200));
        QCOMPARE(splitter->geometry(), QRect(278, 0, 2, 200));
        QCOMPARE(pages->geometry(), QRect(0, 0, 278, 200));
        QCOMPARE(panel.neighbourOf(splitter), side);

        QSignalSpy moved(splitter, &AlignSplitter::moved);
        drag(splitter, QPoint(1, 50), QPoint(-29, 50)); // 30 to the left
        QCOMPARE(moved.count(), 1);
        QCOMPARE(side->geometry(), QRect(250, 0, 200, 200));
        QCOMPARE(pages->width(), 248);

        splitter->setMinimumExtent(20);
        drag(splitter, QPoint(1, 50), QPoint(400, 50)); // far to the right
        QCOMPARE(side->width(), 20);
    }

    // A splitter with nothing aligned before it does not move anything.
    void splitterWithoutNeighbour()
    {
        AlignPanel panel;
        panel.resize(170, 300);
        auto *splitter = new AlignSplitter(Qt::Horizontal, 2);
        QWidget *memo = box(170, 20);
        panel.addChild(splitter, Align::Bottom);
        panel.addChild(memo, Align::Client);
        panel.show();
        QCOMPARE(panel.neighbourOf(splitter), nullptr);
        QSignalSpy moved(splitter, &AlignSplitter::moved);
        drag(splitter, QPoint(5, 1), QPoint(5, -40));
        QCOMPARE(moved.count(), 0);
        QCOMPARE(memo->geometry(), QRect(0, 0, 170, 298));
    }
};

QTEST_MAIN(AlignPanelTest)
#include "tst_alignpanel.moc"
