// The record grid: a table view over a GridModel that keeps the data set's
// current record and the view's current row together, reports the selected
// column, and keeps per-column formatting (cell and title font, colour,
// title alignment) that the model draws.
//
// Row positions: Qt's views keep pixel offsets in int, so rows are fixed in
// height and the model offers at most INT_MAX / row height rows (about 100
// million at the default 21 pixels); records beyond are not shown.
#pragma once

#include "GridModel.h"

#include <QTableView>

namespace qvx::ui {

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_model->dataSource(); }
    GridModel *gridModel() const { return m_model; }
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

private:
    void followCurrentRow(int row);
    void cancelEmptyInsert();
    void fitRowHeight();
    void fitColumnWidths();

    GridModel *m_model;
    bool m_following = false; // moving the view to the data set, not the other way round
    int m_selectedColumn = 0;
};

} // namespace qvx::ui
