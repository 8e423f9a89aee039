// The record grid: a table view over a GridModel that keeps the data set's
// current record and the view's current row together, reports the selected
// column, and keeps per-column formatting (cell and title font, colour,
// title alignment) that the model draws. A column starts as wide as its
// title and the widest value its field can show; a width the user sets is
// kept by field.
//
// Row positions: Qt's views keep pixel offsets in int, so the view is given
// only the rows that fit on screen (a RowWindowModel over the GridModel) and
// the grid scrolls by record with a scroll bar of its own. Any number of
// records the model can count (up to INT_MAX - 1) is reached.
#pragma once

#include "GridModel.h"
#include "RowWindowModel.h"

#include <QTableView>

class QScrollBar;

namespace qvx::ui {

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_model->dataSource(); }
    GridModel *gridModel() const { return m_model; }
    RowWindowModel *windowModel() const { return m_window; }
    // The scroll bar that moves through the records (the view's own stays
    // hidden: it only ever sees one screen of rows).
    QScrollBar *rowScrollBar() const { return m_rowBar; }
    // Makes a record's row (of the grid model) the current cell.
    void setCurrentCell(int row, int column);
    qvx::DataSet *dataSet() const { return m_model->dataSet(); }

    // The column that holds the cursor, from 0 (0 when there is none yet).
    int selectedIndex() const;
    void setSelectedIndex(int column);
    // Position of the field shown in the selected column, -1 for none.
    int selectedField() const;
    int columnCount() const { return m_model->columnCount(); }

    // The formatting object of a column (created on first use).
    GridColumn &column(int column) { return m_model->columnFormat(column); }
    GridColumn &fieldColumn(const QString &fieldName) { return m_model->fieldFormat(fieldName); }
    void columnChanged(int column) { m_model->columnFormatChanged(column); }

    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // Commits and closes an open cell editor.
    void finishEditing();

    using QTableView::edit; // opening a cell editor from code asks the data set too

    // Deletes the current record after asking "Delete record?".
    void deleteCurrentRecord();

signals:
    void colEnter(); // the selected column changed
    void cellClick(const QModelIndex &index);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void followCurrentRow(int row);
    void cancelEmptyInsert();
    void fitRowHeight();
    void fitColumnWidths();
    void keepColumnWidth(int column, int oldWidth, int width); // a width set from outside is the user's
    void fitWindow(); // as many rows as the viewport shows whole
    void updateRowBar();
    void onRowBarMoved(int value);
    void showCurrentCell(); // the view's current cell on the current record, if it is on screen
    bool moveRecordBy(QKeyEvent *event);
    void pasteIntoCell(); // the clipboard's text into the current cell

    GridModel *m_model;
    RowWindowModel *m_window;
    QScrollBar *m_rowBar;
    bool m_following = false; // moving the view to the data set, not the other way round
    int m_selectedColumn = 0;
    QHash<QString, int> m_chosenWidths; // column widths the user set, by field name
    bool m_fittingColumns = false;
};

} // namespace qvx::ui
