// The rows of a GridModel that fit on screen, from a given top row: what the
// grid's view is given, so that the view's pixel arithmetic (int) never sees
// more rows than it shows, however many the data set has. The grid scrolls
// by moving the top row.
#pragma once

#include "GridModel.h"

namespace qvx::ui {

class RowWindowModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowWindowModel(GridModel *source, QObject *parent = nullptr);

    GridModel *source() const { return m_source; }
    int top() const { return m_top; }
    int windowRows() const { return m_rows; }
    // Top is kept within 0 .. source rows - window rows.
    void setTop(int top);
    void setWindowRows(int rows);
    int maxTop() const;
    // Source row of a window row and back (-1 when outside the window).
    int toSource(int row) const { return row < 0 ? -1 : m_top + row; }
    int fromSource(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void topChanged(int top);
    void sourceRowsChanged(); // the source's row count changed

private:
    QModelIndex toSourceIndex(const QModelIndex &index) const;
    // Brings the window in line with the source: rows added or dropped at
    // its end, everything shown marked changed.
    void sync();
    void onSourceDataChanged(const QModelIndex &from, const QModelIndex &to, const QList<int> &roles);

    GridModel *m_source;
    int m_top = 0;
    int m_rows = 1;
    int m_shown = 0; // rows reported to the view
};

} // namespace qvx::ui
