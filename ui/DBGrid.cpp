#include "DBGrid.h"

#include "ErrorGuard.h"
#include "Services.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
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

} // namespace

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_model(new GridModel(this))
{
    m_model->setErrorParent(this);
    m_model->setDefaultFont(font());
    setModel(m_model);
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
    fitRowHeight();
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
    const int height = fontMetrics().height() + 6;
    verticalHeader()->setDefaultSectionSize(height);
    // One row short of the int limit, so the view's total stays below it.
    m_model->setRowLimit(qint64(std::numeric_limits<int>::max()) / height - 1);
}

void DBGrid::fitColumnWidths()
{
    // Wide enough for the field's declared size (within reason) and its title.
    const qvx::DataSet *ds = dataSet();
    const int charWidth = fontMetrics().averageCharWidth();
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int field = m_model->fieldOfColumn(c);
        if (!ds || field < 0)
            continue;
        const qvx::FieldDef &f = ds->field(field);
        const int chars = f.size > 0 ? std::min(f.size, 30) : 10;
        const int title = titleMetrics.horizontalAdvance(f.displayLabel) + 16;
        setColumnWidth(c, std::max(chars * charWidth + 8, title));
    }
}

void DBGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_model->setDefaultFont(font());
        fitRowHeight();
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
    int row = m_model->currentRow();
    if (row < 0)
        row = currentIndex().isValid() ? currentIndex().row() : 0;
    if (row >= m_model->rowCount()) {
        // No rows: remember the column; there is no cell to hold the cursor.
        if (column != m_selectedColumn) {
            m_selectedColumn = column;
            emit colEnter();
        }
        return;
    }
    setCurrentIndex(m_model->index(row, column));
}

int DBGrid::selectedField() const
{
    return m_model->fieldOfColumn(selectedIndex());
}

void DBGrid::followCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0)
        return;
    int col = selectedIndex();
    if (col >= m_model->columnCount())
        col = m_model->columnCount() - 1;
    const QModelIndex target = m_model->index(row, col);
    if (currentIndex() == target)
        return;
    m_following = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    m_following = false;
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    if (!m_following && current.row() != previous.row()) {
        const int row = current.row();
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
    if (index.isValid() && (m_model->flags(index) & Qt::ItemIsEditable) && (editTriggers() & trigger)
        && state() != QAbstractItemView::EditingState) {
        qvx::DataSet *ds = dataSet();
        if (ds && ds->isOpen()) {
            const bool ok = guarded(this, [&] {
                m_model->moveToRow(index.row());
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
            && currentIndex().row() == m_model->rowCount() - 1 && ds->canModify()
            && !(ds->state() == qvx::DataSet::State::Insert && !ds->isModified())) {
            // Past the last record a new one begins, as in a sheet.
            guarded(this, [&] { ds->append(); });
            return;
        }
    }
    QTableView::keyPressEvent(event);
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
