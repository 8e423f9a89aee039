#include "DBNavigator.h"

#include "ErrorGuard.h"
#include "Services.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace qvx::ui {

namespace {

struct ButtonText {
    const char *icon;
    const char *hint;
};

constexpr ButtonText texts[DBNavigator::ButtonCount] = {
    { "go-first", QT_TRANSLATE_NOOP("DBNavigator", "First record") },
    { "go-previous", QT_TRANSLATE_NOOP("DBNavigator", "Prior record") },
    { "go-next", QT_TRANSLATE_NOOP("DBNavigator", "Next record") },
    { "go-last", QT_TRANSLATE_NOOP("DBNavigator", "Last record") },
    { "list-add", QT_TRANSLATE_NOOP("DBNavigator", "Insert record") },
    { "list-remove", QT_TRANSLATE_NOOP("DBNavigator", "Delete record") },
    { "document-edit", QT_TRANSLATE_NOOP("DBNavigator", "Edit record") },
    { "document-save", QT_TRANSLATE_NOOP("DBNavigator", "Post edit") },
    { "process-stop", QT_TRANSLATE_NOOP("DBNavigator", "Cancel edit") },
    { "view-refresh", QT_TRANSLATE_NOOP("DBNavigator", "Refresh data") },
};

// Our own glyph for a button, so that no button is blank without a theme.
QIcon drawnGlyph(DBNavigator::Button b)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 40);
    p.setPen(QPen(ink, 1.5));
    p.setBrush(ink);
    auto triangle = [&](qreal x, bool right) {
        QPainterPath path;
        if (right) {
            path.moveTo(x, 3);
            path.lineTo(x + 6, 8);
            path.lineTo(x, 13);
        } else {
            path.moveTo(x + 6, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 6, 13);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (b) {
    case DBNavigator::First:
        p.drawRect(QRectF(3, 3, 1.5, 10));
        triangle(6, false);
        break;
    case DBNavigator::Prior:
        triangle(5, false);
        break;
    case DBNavigator::Next:
        triangle(5, true);
        break;
    case DBNavigator::Last:
        triangle(4, true);
        p.drawRect(QRectF(11.5, 3, 1.5, 10));
        break;
    case DBNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Edit:
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
        p.drawLine(QPointF(3, 13), QPointF(6, 13));
        break;
    case DBNavigator::Post:
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({ QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4) }));
        break;
    case DBNavigator::Cancel:
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case DBNavigator::Refresh:
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({ QPointF(10, 1), QPointF(14, 4), QPointF(10, 6) }));
        break;
    case DBNavigator::ButtonCount:
        break;
    }
    return QIcon(pm);
}

} // namespace

const char *DBNavigator::iconName(Button b)
{
    return texts[b].icon;
}

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = Button(i);
        auto *button = new QToolButton(this);
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(texts[i].icon), drawnGlyph(b)));
        button->setToolTip(tr(texts[i].hint));
        button->setAutoRaise(false);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons[std::size_t(i)] = button;
    }
    updateButtons();
}

void DBNavigator::setDataSource(DataSource *source)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        const auto update = [this] { updateButtons(); };
        m_connections = {
            connect(source, &DataSource::dataSetReplaced, this, update),
            connect(source, &DataSource::activeChanged, this, update),
            connect(source, &DataSource::dataSetChanged, this, update),
            connect(source, &DataSource::recordMoved, this, update),
            connect(source, &DataSource::recordChanged, this, update),
            connect(source, &DataSource::stateChanged, this, update),
            connect(source, &QObject::destroyed, this, update),
        };
    }
    updateButtons();
}

void DBNavigator::updateButtons()
{
    const qvx::DataSet *ds = m_source ? m_source->dataSet() : nullptr;
    try {
        updateButtons(ds);
    } catch (const std::exception &) {
        // A source that cannot even be counted offers nothing to press; the
        // error itself comes with whatever touched the data next.
        for (QToolButton *b : m_buttons)
            b->setEnabled(false);
    }
}

void DBNavigator::updateButtons(const qvx::DataSet *ds)
{
    const bool open = ds && ds->isOpen();
    const bool editing = open && ds->state() != qvx::DataSet::State::Browse;
    const bool canModify = open && ds->canModify();
    // Neighbours are looked at one record away, never by counting: a query
    // counts only by reading its whole result.
    qvx::Record probe;
    const qint64 rec = open ? ds->recNo() : 0;
    const bool empty = !open || (rec < 1 && !ds->readRecord(1, probe));
    const bool atFirst = empty || rec <= 1;
    const bool atLast = empty || !ds->readRecord(rec + 1, probe);
    m_buttons[First]->setEnabled(open && !atFirst);
    m_buttons[Prior]->setEnabled(open && !atFirst);
    m_buttons[Next]->setEnabled(open && !atLast);
    m_buttons[Last]->setEnabled(open && !atLast);
    m_buttons[Insert]->setEnabled(canModify);
    m_buttons[Delete]->setEnabled(canModify && !empty);
    m_buttons[Edit]->setEnabled(canModify && !editing);
    m_buttons[Post]->setEnabled(canModify && editing);
    m_buttons[Cancel]->setEnabled(canModify && editing);
    m_buttons[Refresh]->setEnabled(open);
}

void DBNavigator::click(Button b)
{
    guarded(this, [&] { run(b); });
    updateButtons();
}

void DBNavigator::run(Button b)
{
    qvx::DataSet *ds = m_source ? m_source->dataSet() : nullptr;
    if (!ds || !ds->isOpen())
        return;
    switch (b) {
    case First:
        ds->first();
        break;
    case Prior:
        ds->prior();
        break;
    case Next:
        ds->next();
        break;
    case Last:
        ds->last();
        break;
    case Insert:
        ds->insert();
        break;
    case Delete:
        if (Services::current().message(this, MessageIcon::Confirmation, QApplication::applicationName(),
                                        tr("Delete record?"), ButtonYes | ButtonNo)
            == ButtonYes)
            ds->deleteRecord();
        break;
    case Edit:
        ds->edit();
        break;
    case Post:
        ds->post();
        break;
    case Cancel:
        ds->cancel();
        break;
    case Refresh:
        ds->refresh();
        break;
    case ButtonCount:
        break;
    }
}

} // namespace qvx::ui
