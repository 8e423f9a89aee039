#include "FormDesigner.h"

#include "designers/AlignmentDlg.h"
#include "designers/ScaleDlg.h"
#include "designers/SizeDlg.h"
#include "designers/TabOrderDlg.h"
#include "ui/ErrorGuard.h"
#include "ui/Named.h"
#include "ui/Services.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdlib>

using qvx::ui::named;

namespace {

const QString LabelKind = QStringLiteral("Label");
constexpr int HandleSize = 5;

// Draws from `from` towards `to` (one axis only) leaving out the end point,
// the way a pen moved to a point and drawn to the next one does, and
// returns the end point as the new pen position.
QPoint lineTo(QPainter &painter, const QColor &color, QPoint from, QPoint to)
{
    if (from.x() == to.x() && from.y() != to.y()) {
        const int last = to.y() + (to.y() > from.y() ? -1 : 1);
        painter.fillRect(
            QRect(QPoint(from.x(), std::min(from.y(), last)), QPoint(from.x(), std::max(from.y(), last))),
            color);
    } else if (from.y() == to.y() && from.x() != to.x()) {
        const int last = to.x() + (to.x() > from.x() ? -1 : 1);
        painter.fillRect(
            QRect(QPoint(std::min(from.x(), last), from.y()), QPoint(std::max(from.x(), last), from.y())),
            color);
    }
    return to;
}

void polyline(QPainter &painter, const QColor &color, std::initializer_list<QPoint> points)
{
    const QPoint *previous = nullptr;
    for (const QPoint &point : points) {
        if (previous)
            lineTo(painter, color, *previous, point);
        previous = &point;
    }
}

// Text whose cell's top-left corner is at `at`.
void textOut(QPainter &painter, const QPoint &at, const QString &text)
{
    painter.drawText(at + QPoint(0, painter.fontMetrics().ascent()), text);
}

// The four selection marks of a control of the given size, each a 4 x 4
// square of pixels.
std::array<QRect, 4> markSquares(int w, int h)
{
    return { QRect(QPoint(1, 1), QPoint(4, 4)), QRect(QPoint(w - 4, 1), QPoint(w - 1, 4)),
             QRect(QPoint(1, h - 4), QPoint(4, h - 1)), QRect(QPoint(w - 4, h - 4), QPoint(w - 1, h - 1)) };
}

TFormDesigner::Edges edgesOf(const QRect &r)
{
    return { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
}

QRect bandOf(const TFormDesigner::Edges &e)
{
    return QRect(std::min(e.left, e.right), std::min(e.top, e.bottom), std::abs(e.right - e.left),
                 std::abs(e.bottom - e.top));
}

// A resize handle: a black square that hands its mouse to the designer.
class HandleBox : public QWidget {
public:
    HandleBox(TFormDesigner &designer, int which, Qt::CursorShape shape)
        : QWidget(&designer), m_designer(designer), m_which(which)
    {
        setCursor(shape);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
        resize(HandleSize, HandleSize);
        hide();
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_designer.HandleMouseDown(m_which, event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        m_designer.HandleMouseMove(m_which, event->buttons(), event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_designer.HandleMouseUp(m_which);
    }

private:
    TFormDesigner &m_designer;
    int m_which;
};

// Lies over the whole surface while controls are moved or resized and draws
// their rubber bands; the mouse passes through it.
class BandOverlay : public QWidget {
public:
    explicit BandOverlay(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }
    QList<QRect> bands;

    void showBands(const QList<QRect> &rects)
    {
        bands = rects;
        if (bands.isEmpty()) {
            hide();
            return;
        }
        setGeometry(parentWidget()->rect());
        show();
        raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        for (const QRect &band : std::as_const(bands)) {
            const QRect outline = band.adjusted(0, 0, -1, -1);
            painter.setPen(QPen(Qt::white, 1));
            painter.drawRect(outline);
            painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter.drawRect(outline);
        }
    }
};

// The in-place caption editor: Enter goes to the designer.
class CaptionEdit : public QLineEdit {
public:
    CaptionEdit(TFormDesigner &designer) : QLineEdit(&designer), m_designer(designer) { }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            qvx::ui::guarded(&m_designer, [&] { m_designer.EditKeyPress(event->key()); });
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    TFormDesigner &m_designer;
};

} // namespace

QFont smControls::font() const
{
    QFont f(TextFont);
    f.setPointSize(TextSize > 0 ? TextSize : 8);
    f.setBold(TextStyle & Bold);
    f.setItalic(TextStyle & Italic);
    f.setUnderline(TextStyle & Underline);
    f.setStrikeOut(TextStyle & StrikeOut);
    return f;
}

// ---------------------------------------------------------------------------
// TDesignControl

TDesignControl::TDesignControl(TFormDesigner &designer, int index, QWidget *parent)
    : QWidget(parent), m_designer(designer), m_index(index)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void TDesignControl::paintFrom(const smControls &record)
{
    m_transparent = record.Kind == LabelKind;
    m_marks = false;
    const int w = record.Width;
    const int h = record.Height;
    if (w <= 0 || h <= 0) {
        m_bitmap = QImage();
        update();
        return;
    }
    m_bitmap = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&m_bitmap);
    painter.setFont(record.font());
    if (m_transparent) {
        m_bitmap.fill(Qt::transparent);
        painter.setPen(record.TextColor);
        textOut(painter, QPoint(0, 0), record.Caption);
    } else if (record.Bordered) {
        painter.fillRect(m_bitmap.rect(), record.BackColor);
        polyline(painter, Qt::black, { QPoint(1, h - 2), QPoint(1, 1), QPoint(w - 1, 1) });
        polyline(painter, QColor(128, 128, 128), { QPoint(0, h - 1), QPoint(0, 0), QPoint(w, 0) });
        polyline(painter, QColor(192, 192, 192),
                 { QPoint(2, h - 2), QPoint(w - 2, h - 2), QPoint(w - 2, 0) });
        painter.setPen(record.TextColor);
        textOut(painter, QPoint(4, 3), record.Caption);
    } else {
        painter.fillRect(m_bitmap.rect(), record.BackColor);
        painter.setPen(record.TextColor);
        textOut(painter, QPoint(1, 1), record.Caption);
    }
    painter.end();
    update();
}

void TDesignControl::toggleMarks()
{
    m_marks = !m_marks;
    if (m_bitmap.isNull())
        return;
    const auto squares = markSquares(m_bitmap.width(), m_bitmap.height());
    {
        QPainter painter(&m_bitmap);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        // A 2-pixel grey outline of a 4 x 4 square covers all of it; filling
        // the square says so exactly (an aliased wide pen rounds its corners
        // off unevenly).
        for (const QRect &square : squares)
            painter.fillRect(square, QColor(128, 128, 128));
    }
    if (m_transparent) {
        // The exclusive-or leaves alpha alone, so on a see-through caption
        // the marks would not show: flip their alpha as well.
        for (const QRect &square : squares) {
            const QRect area = square & m_bitmap.rect();
            for (int y = area.top(); y <= area.bottom(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(m_bitmap.scanLine(y));
                for (int x = area.left(); x <= area.right(); ++x)
                    line[x] ^= 0xff000000u;
            }
        }
    }
    update();
}

void TDesignControl::paintEvent(QPaintEvent *)
{
    if (m_bitmap.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_bitmap);
}

void TDesignControl::mousePressEvent(QMouseEvent *event)
{
    m_designer.ControlMouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
}

void TDesignControl::mouseMoveEvent(QMouseEvent *event)
{
    m_designer.ControlMouseMove(this, event->buttons(), event->position().toPoint());
}

void TDesignControl::mouseReleaseEvent(QMouseEvent *event)
{
    m_designer.ControlMouseUp(this, event->button(), event->position().toPoint());
}

void TDesignControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Only captions answer a double click; on other controls the second
    // press is a press like the first.
    if (m_transparent && event->button() == Qt::LeftButton)
        m_designer.ControlDblClick(this);
    else
        mousePressEvent(event);
}

void TDesignControl::contextMenuEvent(QContextMenuEvent *event)
{
    m_designer.PopupMenu->popup(event->globalPos());
}

// ---------------------------------------------------------------------------
// TFormDesigner

class TFormDesigner::Private {
public:
    explicit Private(TFormDesigner &q) : q(q) { }
    TFormDesigner &q;
    std::vector<TDesignControl *> controls; // creation order
    int nextIndex = 0;
    std::array<QWidget *, 8> handles {};
    BandOverlay *overlay = nullptr;

    TDesignControl *pressed = nullptr; // left press on a control, until its release
    bool dragPending = false; // the press may start a drag (no Shift)
    bool dragging = false;
    QPoint pressPoint; // window coordinates
    bool surfacePressed = false;

    void status(const char *x, const char *y, const QPoint &p)
    {
        if (!q.StatusText)
            return;
        q.StatusText(0, QString::asprintf(x, p.x()));
        q.StatusText(1, QString::asprintf(y, p.y()));
    }

    bool overControl(const QPoint &p) const
    {
        return std::any_of(controls.begin(), controls.end(), [&](const TDesignControl *c) {
            return !c->isHidden() && c->geometry().contains(p);
        });
    }

    void showMoveBands()
    {
        QList<QRect> rects;
        for (const smControls &record : q.ControlRecords)
            if (record.IsSelected)
                rects << record.bounds();
        overlay->showBands(rects);
    }

    // One step of a drag at p (window coordinates): every selected record
    // moves by the mouse's offset since the last step.
    void dragOver(const QPoint &p)
    {
        if (!q.rect().contains(p))
            return; // nowhere to drop: the records wait until the mouse is back
        const int dx = p.x() - q.LastMouse.x();
        const int dy = p.y() - q.LastMouse.y();
        for (smControls &record : q.ControlRecords) {
            if (!record.IsSelected)
                continue;
            record.Left += dx;
            record.Top += dy;
        }
        showMoveBands();
        q.LastMouse = p;
        if (overControl(p))
            status(" X = %d", " Y = %d", p);
        else
            status(" X= %d", " Y= %d", p);
    }

    void endDrag()
    {
        dragging = false;
        overlay->showBands({});
        q.HideHandles();
        refreshSelected();
    }

    // Puts every selected control at its record's bounds and repaints it
    // (marks on the non-primary ones), then frames the primary control.
    void refreshSelected()
    {
        for (const smControls &record : q.ControlRecords) {
            if (!record.IsSelected)
                continue;
            TDesignControl *control = q.ControlOf(record.ControlIndex);
            if (!control)
                continue;
            control->setGeometry(record.bounds());
            control->paintFrom(record);
            if (record.ControlIndex != q.PrimaryIndex)
                control->toggleMarks();
        }
        framePrimary();
    }

    void framePrimary()
    {
        TDesignControl *primary = q.ControlOf(q.PrimaryIndex);
        if (!primary || primary->isHidden())
            return;
        q.FocusRect = edgesOf(primary->geometry());
        q.ShowHandles(primary);
    }

    void unmark(const smControls &record)
    {
        TDesignControl *control = q.ControlOf(record.ControlIndex);
        if (control && control->marksShown())
            control->toggleMarks();
    }
};

TFormDesigner::TFormDesigner(QWidget *parent) : QWidget(parent), d(new Private(*this))
{
    setMouseTracking(true);
    // Keys reach the surface when it is clicked (see ControlMouseDown), yet
    // a click must not take the focus from the caption editor.
    setFocusPolicy(Qt::TabFocus);
    ResetCurrentProps();

    const char *const names[8] = { "UpLeft",      "UpCenter",   "UpRight",      "LeftCenter",
                                   "RightCenter", "BottomLeft", "BottomCenter", "BottomRight" };
    const Qt::CursorShape shapes[8]
        = { Qt::SizeFDiagCursor, Qt::SizeVerCursor,   Qt::SizeBDiagCursor, Qt::SizeHorCursor,
            Qt::SizeHorCursor,   Qt::SizeBDiagCursor, Qt::SizeVerCursor,   Qt::SizeFDiagCursor };
    for (int i = 0; i < 8; ++i)
        d->handles[i] = named(new HandleBox(*this, i, shapes[i]), QString::fromLatin1(names[i]));
    UpLeft = d->handles[0];
    UpCenter = d->handles[1];
    UpRight = d->handles[2];
    LeftCenter = d->handles[3];
    RightCenter = d->handles[4];
    BottomLeft = d->handles[5];
    BottomCenter = d->handles[6];
    BottomRight = d->handles[7];

    Edit = named(new CaptionEdit(*this), QStringLiteral("Edit"));
    Edit->setFrame(false);
    QPalette editPalette = Edit->palette();
    editPalette.setColor(QPalette::Base, editPalette.color(QPalette::Button));
    Edit->setPalette(editPalette);
    Edit->hide();

    d->overlay = named(new BandOverlay(this), QStringLiteral("RubberBands"));

    PopupMenu = named(new QMenu(this), QStringLiteral("PopupMenu"));
    auto item = [this](const QString &text, const char *name, void (TFormDesigner::*handler)()) {
        QAction *action = named(PopupMenu->addAction(text), QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, handler] { qvx::ui::guarded(this, [&] { (this->*handler)(); }); });
        return action;
    };
    Color = item(tr("&Color ..."), "Color", &TFormDesigner::ColorClick);
    Font1 = item(tr("Font ..."), "Font1", &TFormDesigner::Font1Click);
    PopupMenu->addSeparator();
    Align = item(tr("&Align ..."), "Align", &TFormDesigner::AlignClick);
    Size = item(tr("&Size ..."), "Size", &TFormDesigner::SizeClick);
    Scale = item(tr("Scale ..."), "Scale", &TFormDesigner::ScaleClick);
    TabOrder = item(tr("Tab Order ..."), "TabOrder", &TFormDesigner::TabOrderClick);
}

TFormDesigner::~TFormDesigner()
{
    delete d;
}

void TFormDesigner::ResetCurrentProps()
{
    CurrentProps = smControls {};
    CurrentProps.BackColor = palette().color(QPalette::Button);
}

TDesignControl *TFormDesigner::AddDesignControl(smControls record)
{
    record.ControlIndex = d->nextIndex++;
    record.IsSelected = false;
    auto *control = new TDesignControl(*this, record.ControlIndex, this);
    control->setObjectName(record.ControlName);
    control->setGeometry(record.bounds());
    control->paintFrom(record);
    control->show();
    d->controls.push_back(control);
    ControlRecords.push_back(std::move(record));
    return control;
}

smControls *TFormDesigner::RecordOf(int controlIndex)
{
    auto it = std::find_if(ControlRecords.begin(), ControlRecords.end(),
                           [&](const smControls &r) { return r.ControlIndex == controlIndex; });
    return it == ControlRecords.end() ? nullptr : &*it;
}

TDesignControl *TFormDesigner::ControlOf(int controlIndex) const
{
    if (controlIndex < 0)
        return nullptr;
    auto it = std::find_if(d->controls.begin(), d->controls.end(),
                           [&](const TDesignControl *c) { return c->index() == controlIndex; });
    return it == d->controls.end() ? nullptr : *it;
}

QList<TDesignControl *> TFormDesigner::DesignControls() const
{
    return QList<TDesignControl *>(d->controls.begin(), d->controls.end());
}

void TFormDesigner::ClearDesign()
{
    HideHandles();
    Edit->hide();
    d->overlay->showBands({});
    d->pressed = nullptr;
    d->dragPending = d->dragging = false;
    CurrentControl = nullptr;
    PrimaryIndex = -1;
    ControlRecords.clear();
    for (TDesignControl *control : d->controls)
        delete control;
    d->controls.clear();
}

// --- Selection and handles -------------------------------------------------

void TFormDesigner::HideHandles()
{
    for (QWidget *handle : d->handles)
        handle->hide();
}

void TFormDesigner::ShowHandles(TDesignControl *control)
{
    if (!control)
        return;
    for (int i = 0; i < 8; ++i) {
        d->handles[i]->setGeometry(HandleRect(i, control->geometry()));
        d->handles[i]->show();
        d->handles[i]->raise();
    }
}

QRect TFormDesigner::HandleRect(int handle, const QRect &bounds)
{
    const int l = bounds.left();
    const int t = bounds.top();
    const int r = l + bounds.width();
    const int b = t + bounds.height();
    const int cx = (l + r) / 2 + 2;
    const int cy = (t + b) / 2 - 2;
    QPoint at;
    switch (handle) {
    case 0:
        at = { l - 2, t - 2 };
        break;
    case 1:
        at = { cx, t - 2 };
        break;
    case 2:
        at = { r - 3, t - 2 };
        break;
    case 3:
        at = { l - 2, cy };
        break;
    case 4:
        at = { r - 3, cy };
        break;
    case 5:
        at = { l - 2, b - 3 };
        break;
    case 6:
        at = { cx, b - 3 };
        break;
    case 7:
        at = { r - 3, b - 3 };
        break;
    default:
        return QRect();
    }
    return QRect(at, QSize(HandleSize, HandleSize));
}

void TFormDesigner::ClearSelection()
{
    for (smControls &record : ControlRecords) {
        d->unmark(record);
        record.IsSelected = false;
    }
    PrimaryIndex = -1;
}

QList<QRect> TFormDesigner::RubberBands() const
{
    return !d->overlay->isHidden() ? d->overlay->bands : QList<QRect> {};
}

// --- Mouse on the design controls --------------------------------------------

void TFormDesigner::ControlMouseDown(TDesignControl *control, Qt::MouseButton button,
                                     Qt::KeyboardModifiers modifiers, const QPoint &local)
{
    CurrentControl = control;
    if (button != Qt::LeftButton)
        return;
    if (Edit->isHidden())
        setFocus(Qt::MouseFocusReason);
    d->pressed = control;
    d->dragging = false;
    if (modifiers & Qt::ShiftModifier) {
        d->dragPending = false;
        ClickEnabled = false;
        if (PrimaryIndex != -1 && control->index() != PrimaryIndex) {
            if (smControls *record = RecordOf(control->index())) {
                control->toggleMarks();
                record->IsSelected = !record->IsSelected;
            }
        }
        return;
    }
    d->dragPending = true;
    d->pressPoint = control->geometry().topLeft() + local;
    LastMouse = d->pressPoint;
}

void TFormDesigner::ControlMouseMove(TDesignControl *control, Qt::MouseButtons buttons, const QPoint &local)
{
    const QPoint p = control->geometry().topLeft() + local;
    if (d->pressed == control && d->dragPending && (buttons & Qt::LeftButton)) {
        if (!d->dragging) {
            const int threshold = QApplication::startDragDistance();
            d->dragging = std::abs(p.x() - d->pressPoint.x()) >= threshold
                || std::abs(p.y() - d->pressPoint.y()) >= threshold;
        }
        if (d->dragging)
            d->dragOver(p);
        return;
    }
    d->status(" X = %d", " Y = %d", p);
}

void TFormDesigner::ControlMouseUp(TDesignControl *control, Qt::MouseButton button, const QPoint &local)
{
    if (button == Qt::LeftButton) {
        const bool wasPressed = d->pressed == control;
        const bool dragged = wasPressed && d->dragging;
        d->pressed = nullptr;
        d->dragPending = false;
        if (dragged)
            d->endDrag();
        else if (wasPressed && control->rect().contains(local))
            ControlClick(control);
        d->dragging = false;
    }
    ClickEnabled = true;
}

void TFormDesigner::ControlClick(TDesignControl *control)
{
    if (!ClickEnabled || !control)
        return;
    CurrentControl = control;
    HideHandles();
    ShowHandles(control);
    FocusRect = edgesOf(control->geometry());
    if (control->index() == PrimaryIndex)
        return;
    for (smControls &record : ControlRecords) {
        d->unmark(record);
        record.IsSelected = false;
    }
    if (smControls *record = RecordOf(control->index()))
        record->IsSelected = true;
    PrimaryIndex = control->index();
}

void TFormDesigner::ControlDblClick(TDesignControl *control)
{
    smControls *record = control ? RecordOf(control->index()) : nullptr;
    if (!record || record->Kind != LabelKind)
        return;
    // The press this double click ended is no click of its own.
    d->pressed = nullptr;
    d->dragPending = d->dragging = false;
    CurrentControl = control;
    HideHandles();
    ClearSelection();
    CurrentProps = *record;
    Edit->setGeometry(control->geometry());
    Edit->setFont(record->font());
    Edit->setText(record->Caption);
    Edit->selectAll();
    Edit->show();
    Edit->raise();
    Edit->setFocus(Qt::OtherFocusReason);
}

// --- The surface --------------------------------------------------------------

void TFormDesigner::FormClick()
{
    HideHandles();
    ClearSelection();
}

void TFormDesigner::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_F2) {
        const QWidget *inFrame = qobject_cast<QMdiSubWindow *>(parentWidget());
        if (!inFrame)
            inFrame = this;
        ShowPopupAt(inFrame->pos() + QPoint(20, 150));
    } else if (key == Qt::Key_D && (modifiers & Qt::AltModifier)) {
        for (smControls &record : ControlRecords) {
            if (!record.IsSelected)
                continue;
            d->unmark(record);
            if (TDesignControl *control = ControlOf(record.ControlIndex))
                control->hide();
            record.IsSelected = false;
            if (record.ControlIndex == PrimaryIndex)
                PrimaryIndex = -1;
        }
        HideHandles();
    }
}

void TFormDesigner::ShowPopupAt(const QPoint &screenPoint)
{
    PopupMenu->popup(screenPoint);
}

void TFormDesigner::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        d->surfacePressed = true;
        if (Edit->isHidden())
            setFocus(Qt::MouseFocusReason);
    }
    QWidget::mousePressEvent(event);
}

void TFormDesigner::mouseMoveEvent(QMouseEvent *event)
{
    LastMouse = event->position().toPoint();
    d->status(" X = %d", " Y = %d", LastMouse);
}

void TFormDesigner::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const bool click = d->surfacePressed && rect().contains(event->position().toPoint());
        d->surfacePressed = false;
        if (click)
            FormClick();
    }
}

void TFormDesigner::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F2 || (event->key() == Qt::Key_D && (event->modifiers() & Qt::AltModifier))) {
        FormKeyDown(event->key(), event->modifiers());
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFormDesigner::contextMenuEvent(QContextMenuEvent *event)
{
    PopupMenu->popup(event->globalPos());
}

// --- Resizing with the handles ----------------------------------------------------

void TFormDesigner::HandleMouseDown(int, const QPoint &local)
{
    LastMouse = local;
    // The band starts from the primary control as it is now (a command may
    // have changed its size since it was clicked).
    if (TDesignControl *primary = ControlOf(PrimaryIndex))
        FocusRect = edgesOf(primary->geometry());
}

void TFormDesigner::HandleMouseMove(int handle, Qt::MouseButtons buttons, const QPoint &local)
{
    if (!(buttons & Qt::LeftButton))
        return;
    const int dx = local.x() - LastMouse.x();
    const int dy = local.y() - LastMouse.y();
    // Which edges each handle moves, in the order of HandleRect.
    struct Moves {
        bool left, top, right, bottom;
    };
    static const Moves moves[8] = {
        { true, true, false, false },  { false, true, false, false }, { false, true, true, false },
        { true, false, false, false }, { false, false, true, false }, { true, false, false, true },
        { false, false, false, true }, { false, false, true, true },
    };
    if (handle < 0 || handle > 7)
        return;
    const Moves &m = moves[handle];
    if (m.left)
        FocusRect.left += dx;
    if (m.top)
        FocusRect.top += dy;
    if (m.right)
        FocusRect.right += dx;
    if (m.bottom)
        FocusRect.bottom += dy;
    d->overlay->showBands({ bandOf(FocusRect) });
    LastMouse = local;
}

void TFormDesigner::HandleMouseUp(int)
{
    d->overlay->showBands({});
    HideHandles();
    TDesignControl *primary = ControlOf(PrimaryIndex);
    smControls *record = RecordOf(PrimaryIndex);
    if (!primary || !record)
        return;
    record->Left = FocusRect.left;
    record->Top = FocusRect.top;
    record->Width = std::abs(FocusRect.right - FocusRect.left);
    record->Height = std::abs(FocusRect.bottom - FocusRect.top);
    CurrentProps = *record;
    primary->setGeometry(record->bounds());
    primary->paintFrom(*record);
    ShowHandles(primary);
    FocusRect = edgesOf(record->bounds());
}

// --- Caption editing ----------------------------------------------------------------

void TFormDesigner::EditKeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (CurrentControl) {
        smControls *record = RecordOf(CurrentControl->index());
        if (record && record->Kind == LabelKind) {
            record->Caption = Edit->text();
            CurrentProps = *record;
            CurrentControl->paintFrom(*record);
        }
    }
    Edit->hide();
}

// --- Context-menu commands ----------------------------------------------------------

void TFormDesigner::ColorClick()
{
    const std::optional<QColor> chosen = qvx::ui::Services::current().chooseColor(this, ColorDialogColor);
    if (!chosen)
        return;
    ColorDialogColor = *chosen;
    CurrentProps.BackColor = *chosen;
    for (smControls &record : ControlRecords)
        if (record.IsSelected)
            record.BackColor = *chosen;
    d->refreshSelected();
}

void TFormDesigner::Font1Click()
{
    const std::optional<QFont> chosen = qvx::ui::Services::current().chooseFont(this, FontDialogFont);
    if (!chosen)
        return;
    FontDialogFont = *chosen;
    const QFont &f = *chosen;
    quint8 style = 0;
    if (f.bold())
        style |= smControls::Bold;
    if (f.italic())
        style |= smControls::Italic;
    if (f.underline())
        style |= smControls::Underline;
    if (f.strikeOut())
        style |= smControls::StrikeOut;
    auto apply = [&](smControls &record) {
        if (f.pointSize() > 0)
            record.TextSize = f.pointSize();
        record.TextFont = f.family();
        record.TextStyle = style;
    };
    apply(CurrentProps);
    for (smControls &record : ControlRecords)
        if (record.IsSelected)
            apply(record);
    d->refreshSelected();
}

void TFormDesigner::AlignClick()
{
    if (!AlignmentDlg)
        return;
    AlignmentDlg->ClearChoices();
    AlignmentDlg->Execute(); // cancelled: the choices last confirmed apply
    const smControls *primary = RecordOf(PrimaryIndex);
    if (!primary)
        return;
    const int pl = primary->Left, pt = primary->Top, pw = primary->Width, ph = primary->Height;
    for (smControls &record : ControlRecords) {
        if (!record.IsSelected || record.ControlIndex == PrimaryIndex)
            continue;
        switch (AlignmentDlg->Horizontal) {
        case 1:
            record.Left = pl;
            break;
        case 2:
            record.Left = pl + pw / 2 - record.Width / 2;
            break;
        case 3:
            record.Left = pl + pw - record.Width;
            break;
        default:
            break;
        }
        switch (AlignmentDlg->Vertical) {
        case 1:
            record.Top = pt;
            break;
        case 2:
            record.Top = pt + ph / 2 - record.Height / 2;
            break;
        case 3:
            record.Top = pt + ph - record.Height;
            break;
        default:
            break;
        }
        if (TDesignControl *control = ControlOf(record.ControlIndex)) {
            control->setGeometry(record.bounds());
            control->paintFrom(record);
            control->toggleMarks();
        }
    }
}

void TFormDesigner::SizeClick()
{
    if (!SizeDlg)
        return;
    SizeDlg->ClearChoices();
    SizeDlg->Execute();
    // The extremes start from the primary control (from the first selected
    // one when there is none).
    const smControls *start = RecordOf(PrimaryIndex);
    for (auto it = ControlRecords.begin(); !start && it != ControlRecords.end(); ++it)
        if (it->IsSelected)
            start = &*it;
    if (!start)
        return;
    int minW = start->Width, maxW = start->Width, minH = start->Height, maxH = start->Height;
    for (const smControls &record : ControlRecords) {
        if (!record.IsSelected)
            continue;
        minW = std::min(minW, record.Width);
        maxW = std::max(maxW, record.Width);
        minH = std::min(minH, record.Height);
        maxH = std::max(maxH, record.Height);
    }
    auto sized = [](int now, int choice, int smallest, int largest, int typed) {
        switch (choice) {
        case 1:
            return smallest;
        case 2:
            return largest;
        case 0:
            return typed > 0 ? typed : now;
        default:
            return now;
        }
    };
    for (smControls &record : ControlRecords) {
        if (!record.IsSelected)
            continue;
        record.Width = sized(record.Width, SizeDlg->Horizontal, minW, maxW, SizeDlg->SizeWidth);
        record.Height = sized(record.Height, SizeDlg->Vertical, minH, maxH, SizeDlg->SizeHeight);
    }
    d->refreshSelected();
}

void TFormDesigner::ScaleClick()
{
    if (!ScaleDlg || !ScaleDlg->Execute())
        return;
    const double factor = ScaleDlg->Factor / 100.0;
    const smControls *primary = RecordOf(PrimaryIndex);
    const QPoint corner = primary ? QPoint(primary->Left, primary->Top) : QPoint(0, 0);
    const bool anySelected = std::any_of(ControlRecords.begin(), ControlRecords.end(),
                                         [](const smControls &r) { return r.IsSelected; });
    for (smControls &record : ControlRecords) {
        if (anySelected && !record.IsSelected)
            continue;
        record.Left = corner.x() + qRound((record.Left - corner.x()) * factor);
        record.Top = corner.y() + qRound((record.Top - corner.y()) * factor);
        record.Width = qRound(record.Width * factor);
        record.Height = qRound(record.Height * factor);
        if (TDesignControl *control = ControlOf(record.ControlIndex)) {
            control->setGeometry(record.bounds());
            control->paintFrom(record);
            if (record.IsSelected && record.ControlIndex != PrimaryIndex)
                control->toggleMarks();
        }
    }
    HideHandles();
    d->framePrimary();
}

void TFormDesigner::TabOrderClick()
{
    TTabOrderDlg dialog(this);
    dialog.SetRecords(ControlRecords);
    if (qvx::ui::Services::current().runModal(dialog) != QDialog::Accepted)
        return;
    std::vector<smControls> ordered;
    ordered.reserve(ControlRecords.size());
    for (int index : dialog.Order())
        if (const smControls *record = RecordOf(index))
            ordered.push_back(*record);
    // Anything the list did not name keeps its place at the end.
    for (const smControls &record : ControlRecords)
        if (std::none_of(ordered.begin(), ordered.end(),
                         [&](const smControls &r) { return r.ControlIndex == record.ControlIndex; }))
            ordered.push_back(record);
    ControlRecords = std::move(ordered);
}
