#include "DBGrid.h"

#include "ErrorGuard.h"
#include "Services.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include <limits>

namespace qvx::ui {

namespace {

// Cells of a column with a pick list are edited in a drop-down list.
class PickListDelegate : public QStyledItemDelegate {
public:
    explicit PickListDelegate(GridModel *model, QObject *parent) : QStyledItemDelegate(parent), m_model(model)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        const GridColumn *c = m_model->findColumnFormat(index.column());
        if (!c || c->pickList.isEmpty())
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto *box = new QComboBox(parent);
        box->addItems(c->pickList);
        return box;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            const int i = box->findText(index.data(Qt::EditRole).toString());
            box->setCurrentIndex(std::max(i, 0));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            model->setData(index, box->currentText());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    GridModel *m_model;
};

// Digits a number of this type can have when its field declares no size.
int typeDigits(qvx::FieldType type)
{
    switch (type) {
    case qvx::FieldType::SmallInt:
    case qvx::FieldType::Word:
        return 5;
    case qvx::FieldType::Integer:
    case qvx::FieldType::AutoInc:
        return 10;
    case qvx::FieldType::LargeInt:
        return 19;
    case qvx::FieldType::Currency:
        return 10; // amounts into the billions
    default:
        return 15; // what a double holds exactly
    }
}

// The width of the widest text a cell of field f shows in these metrics.
// Dates, times and numbers are measured on a sample in the model's own
// format with every digit made the font's widest; text by its size.
int valueWidth(const qvx::FieldDef &f, const QFontMetrics &metrics)
{
    QChar widest = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d) {
        if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest))
            widest = QChar(d);
    }
    const auto measure = [&](QString sample) {
        for (QChar &c : sample) {
            if (c.isDigit())
                c = widest;
        }
        return metrics.horizontalAdvance(sample);
    };
    const QDate date(2000, 12, 28);
    const QTime time(23, 59, 59, 999);
    switch (qvx::valueKind(f.type)) {
    case qvx::ValueKind::Bool:
        return std::max(metrics.horizontalAdvance(GridModel::cellText(true, f)),
                        metrics.horizontalAdvance(GridModel::cellText(false, f)));
    case qvx::ValueKind::Date:
        return measure(GridModel::cellText(date, f));
    case qvx::ValueKind::Time:
        return measure(GridModel::cellText(time, f));
    case qvx::ValueKind::DateTime:
        return measure(GridModel::cellText(QDateTime(date, time, Qt::UTC), f));
    case qvx::ValueKind::Int:
    case qvx::ValueKind::Int64:
    case qvx::ValueKind::Double:
    case qvx::ValueKind::Decimal: {
        const int whole = std::min(f.size > 0 ? f.size : typeDigits(f.type), 20);
        const int decimals = GridModel::shownDecimals(f);
        QString sample = u'-' + QString(whole, u'0');
        if (decimals > 0)
            sample += u'.' + QString(decimals, u'0');
        return measure(sample);
    }
    case qvx::ValueKind::Text:
    case qvx::ValueKind::Bytes:
    case qvx::ValueKind::None:
        break;
    }
    // Text by its declared size, within reason.
    const int chars = f.size > 0 ? std::min(f.size, 30) : 10;
    return chars * metrics.averageCharWidth();
}

} // namespace

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent),
      m_model(new GridModel(this)),
      m_window(new RowWindowModel(m_model, this)),
      m_rowBar(new QScrollBar(Qt::Vertical))
{
    m_model->setErrorParent(this);
    m_model->setDefaultFont(font());
    // The view never holds more rows than fit, so the model may offer as
    // many as it can count.
    m_model->setRowLimit(std::numeric_limits<int>::max() - 1);
    setModel(m_window);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    addScrollBarWidget(m_rowBar, Qt::AlignTop);
    verticalScrollBar()->hide();
    connect(m_rowBar, &QScrollBar::valueChanged, this, &DBGrid::onRowBarMoved);
    connect(m_window, &RowWindowModel::sourceRowsChanged, this, &DBGrid::updateRowBar);
    connect(m_window, &RowWindowModel::topChanged, this, [this] {
        updateRowBar();
        showCurrentCell();
    });
    setItemDelegate(new PickListDelegate(m_model, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    // No row indicator; rows of one height so that positions are computed,
    // not stored per row.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &DBGrid::keepColumnWidth);
    fitRowHeight();
    fitWindow();
    connect(m_model, &GridModel::currentRowChanged, this, &DBGrid::followCurrentRow);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        fitColumnWidths();
        followCurrentRow(m_model->currentRow());
    });
    connect(this, &QAbstractItemView::clicked, this, &DBGrid::cellClick);
}

void DBGrid::setDataSource(DataSource *source)
{
    m_model->setDataSource(source);
}

void DBGrid::fitRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void DBGrid::fitWindow()
{
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    m_window->setWindowRows(std::max(1, viewport()->height() / rowHeight));
    updateRowBar();
}

void DBGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitWindow();
    showCurrentCell();
}

void DBGrid::updateRowBar()
{
    const QSignalBlocker quiet(m_rowBar);
    m_rowBar->setRange(0, m_window->maxTop());
    m_rowBar->setPageStep(m_window->windowRows());
    m_rowBar->setSingleStep(1);
    m_rowBar->setValue(m_window->top());
}

void DBGrid::onRowBarMoved(int value)
{
    finishEditing(); // an open editor belongs to the record it was opened on
    if (value >= m_rowBar->maximum() && m_model->canFetchMore({}))
        m_model->fetchMore({});
    m_window->setTop(value);
}

void DBGrid::wheelEvent(QWheelEvent *event)
{
    QApplication::sendEvent(m_rowBar, event);
}

void DBGrid::showCurrentCell()
{
    const int row = m_window->fromSource(m_model->currentRow());
    m_following = true;
    if (row >= 0 && m_model->columnCount() > 0) {
        const int col = std::min(selectedIndex(), m_model->columnCount() - 1);
        const QModelIndex target = m_window->index(row, col);
        if (currentIndex() != target)
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    } else if (currentIndex().isValid()) {
        m_selectedColumn = currentIndex().column();
        selectionModel()->clear(); // the current record is off screen
    }
    m_following = false;
}

void DBGrid::setCurrentCell(int row, int column)
{
    if (row < 0 || row >= m_model->rowCount() || column < 0 || column >= m_model->columnCount())
        return;
    if (m_window->fromSource(row) < 0)
        m_window->setTop(row);
    setCurrentIndex(m_window->index(m_window->fromSource(row), column));
}

void DBGrid::fitColumnWidths()
{
    // Wide enough for the field's values and its title, in the fonts they
    // are drawn in; a width the user chose stays.
    const qvx::DataSet *ds = dataSet();
    if (!ds)
        return;
    // The delegate keeps a margin on each side of the text; the grid line
    // takes a pixel.
    const int margin = std::max(8,
                                2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1)
                                    + (showGrid() ? 1 : 0));
    const QScopedValueRollback fitting(m_fittingColumns, true);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int field = m_model->fieldOfColumn(c);
        if (field < 0)
            continue;
        const qvx::FieldDef &f = ds->field(field);
        const auto chosen = m_chosenWidths.constFind(f.name);
        if (chosen != m_chosenWidths.constEnd()) {
            setColumnWidth(c, *chosen);
            continue;
        }
        const GridColumn *format = m_model->findColumnFormat(c);
        const QFontMetrics cellMetrics(format && format->font ? *format->font : font());
        const QFontMetrics titleMetrics(format && format->titleFont ? *format->titleFont
                                                                    : horizontalHeader()->font());
        const int title = titleMetrics.horizontalAdvance(f.displayLabel) + 16;
        setColumnWidth(c, std::max(valueWidth(f, cellMetrics) + margin, title));
    }
}

void DBGrid::keepColumnWidth(int column, int, int width)
{
    const qvx::DataSet *ds = dataSet();
    const int field = m_model->fieldOfColumn(column);
    if (m_fittingColumns || !ds || field < 0 || width <= 0)
        return;
    m_chosenWidths.insert(ds->field(field).name, width);
}

void DBGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_model->setDefaultFont(font());
        fitRowHeight();
        fitColumnWidths();
    }
    QTableView::changeEvent(event);
}

int DBGrid::selectedIndex() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() ? cur.column() : m_selectedColumn;
}

void DBGrid::setSelectedIndex(int column)
{
    if (column < 0 || column >= m_model->columnCount())
        return;
    const int row = m_window->fromSource(m_model->currentRow());
    if (row < 0) {
        // No cell holds the cursor (no records, or the current one is off
        // screen): the column is remembered.
        if (column != m_selectedColumn) {
            m_selectedColumn = column;
            emit colEnter();
        }
        return;
    }
    setCurrentIndex(m_window->index(row, column));
}

int DBGrid::selectedField() const
{
    return m_model->fieldOfColumn(selectedIndex());
}

void DBGrid::followCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    // Scroll the record into view, then put the cursor on it.
    if (row < m_window->top())
        m_window->setTop(row);
    else if (row >= m_window->top() + m_window->windowRows())
        m_window->setTop(row - m_window->windowRows() + 1);
    showCurrentCell();
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    if (!m_following) {
        const int row = m_window->toSource(current.row());
        if (row != m_model->currentRow())
            guarded(this, [&] { m_model->moveToRow(row); });
    }
    if (current.column() != m_selectedColumn || !previous.isValid()) {
        const bool changed = current.column() != m_selectedColumn;
        m_selectedColumn = current.column();
        if (changed)
            emit colEnter();
    }
}

bool DBGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Only the triggers that open an editor ask the data set; the engine's
    // refusal (a read-only data set) is shown before any editor appears.
    if (index.isValid() && (m_window->flags(index) & Qt::ItemIsEditable) && (editTriggers() & trigger)
        && state() != QAbstractItemView::EditingState) {
        qvx::DataSet *ds = dataSet();
        if (ds && ds->isOpen()) {
            const bool ok = guarded(this, [&] {
                m_model->moveToRow(m_window->toSource(index.row()));
                if (ds->state() == qvx::DataSet::State::Browse)
                    ds->edit();
            });
            if (!ok)
                return false;
        }
    }
    return QTableView::edit(index, trigger, event);
}

void DBGrid::finishEditing()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    // The open editor is a child of the viewport: the focused one, or the
    // one shown when the focus is elsewhere (another window is active).
    QWidget *editor = QApplication::focusWidget();
    while (editor && editor->parentWidget() != viewport())
        editor = editor->parentWidget();
    if (!editor) {
        for (QWidget *w : viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w->isVisible())
                editor = w;
        }
    }
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DBGrid::deleteCurrentRecord()
{
    qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen() || (ds->isEmpty() && ds->state() != qvx::DataSet::State::Insert))
        return;
    if (ds->isReadOnly()) {
        // Asking first would be asking for nothing: the engine refuses, and
        // says why.
        ds->deleteRecord();
        return;
    }
    const MessageButton answer
        = Services::current().message(this, MessageIcon::Confirmation, QApplication::applicationName(),
                                      tr("Delete record?"), ButtonYes | ButtonNo);
    if (answer == ButtonYes)
        ds->deleteRecord();
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    qvx::DataSet *ds = dataSet();
    const bool open = ds && ds->isOpen();
    if (open && state() != QAbstractItemView::EditingState) {
        if (event->matches(QKeySequence::Paste)) {
            guarded(this, [&] { pasteIntoCell(); });
            return;
        }
        if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
            guarded(this, [&] { deleteCurrentRecord(); });
            return;
        }
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            guarded(this, [&] { ds->insert(); });
            return;
        }
        if (event->key() == Qt::Key_Escape && ds->state() != qvx::DataSet::State::Browse) {
            guarded(this, [&] { ds->cancel(); });
            return;
        }
        if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier
            && m_model->currentRow() == m_model->rowCount() - 1 && !m_model->canFetchMore({})
            && ds->canModify() && !(ds->state() == qvx::DataSet::State::Insert && !ds->isModified())) {
            // Past the last record a new one begins, as in a sheet.
            guarded(this, [&] { ds->append(); });
            return;
        }
        if (moveRecordBy(event))
            return;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::pasteIntoCell()
{
    const QModelIndex cell = currentIndex();
    const QString text = QGuiApplication::clipboard()->text();
    if (!cell.isValid() || text.isEmpty() || !(m_window->flags(cell) & Qt::ItemIsEditable))
        return;
    // Through the model, which edits the record (or shows the engine's
    // refusal) as typing would.
    m_window->setData(cell, text);
}

bool DBGrid::moveRecordBy(QKeyEvent *event)
{
    // Moves between records are the grid's: the view only holds a screen.
    const int rows = m_model->rowCount();
    const int current = m_model->currentRow();
    const int page = m_window->windowRows();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Down:
        target = current + 1;
        break;
    case Qt::Key_Up:
        target = current - 1;
        break;
    case Qt::Key_PageDown:
        target = current + page;
        break;
    case Qt::Key_PageUp:
        target = current - page;
        break;
    case Qt::Key_Home:
        if (!ctrl)
            return false;
        target = 0;
        break;
    case Qt::Key_End:
        if (!ctrl)
            return false;
        while (m_model->canFetchMore({}))
            m_model->fetchMore({});
        target = m_model->rowCount() - 1;
        break;
    default:
        return false;
    }
    if (target >= rows && m_model->canFetchMore({})) {
        m_model->fetchMore({});
    }
    target = std::clamp(target, 0, std::max(0, m_model->rowCount() - 1));
    if (m_model->rowCount() == 0 || current < 0 ? false : target == current) {
        followCurrentRow(current); // bring it back on screen at least
        return true;
    }
    if (m_model->rowCount() > 0)
        guarded(this, [&] { m_model->moveToRow(target); });
    return true;
}

void DBGrid::keyReleaseEvent(QKeyEvent *event)
{
    QTableView::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyUp(event->key(), event->modifiers());
}

void DBGrid::cancelEmptyInsert()
{
    qvx::DataSet *ds = dataSet();
    if (ds && ds->isOpen() && ds->state() == qvx::DataSet::State::Insert && !ds->isModified())
        ds->cancel();
}

void DBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    // Focus moving into the cell editor is not leaving the grid.
    QWidget *now = QApplication::focusWidget();
    if (state() != QAbstractItemView::EditingState && !(now && isAncestorOf(now)))
        guarded(this, [&] { cancelEmptyInsert(); });
}

} // namespace qvx::ui
