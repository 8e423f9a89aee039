#include "RowWindowModel.h"

#include <algorithm>

namespace qvx::ui {

RowWindowModel::RowWindowModel(GridModel *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        m_top = std::clamp(m_top, 0, maxTop());
        m_shown = std::clamp(m_source->rowCount() - m_top, 0, m_rows);
        endResetModel();
        emit sourceRowsChanged();
        emit topChanged(m_top);
    });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this] { sync(); });
    connect(source, &QAbstractItemModel::rowsRemoved, this, [this] { sync(); });
    connect(source, &QAbstractItemModel::layoutChanged, this, [this] { sync(); });
    connect(source, &QAbstractItemModel::dataChanged, this, &RowWindowModel::onSourceDataChanged);
    connect(source, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation o, int first, int last) {
                if (o == Qt::Horizontal)
                    emit headerDataChanged(o, first, last);
            });
    m_shown = std::clamp(m_source->rowCount(), 0, m_rows);
}

int RowWindowModel::maxTop() const
{
    return std::max(0, m_source->rowCount() - m_rows);
}

int RowWindowModel::fromSource(int row) const
{
    return row >= m_top && row < m_top + m_shown ? row - m_top : -1;
}

void RowWindowModel::setTop(int top)
{
    top = std::clamp(top, 0, maxTop());
    if (top == m_top)
        return;
    m_top = top;
    sync();
    emit topChanged(m_top);
}

void RowWindowModel::setWindowRows(int rows)
{
    rows = std::max(1, rows);
    if (rows == m_rows)
        return;
    m_rows = rows;
    const int top = std::clamp(m_top, 0, maxTop());
    const bool moved = top != m_top;
    m_top = top;
    sync();
    if (moved)
        emit topChanged(m_top);
}

void RowWindowModel::sync()
{
    const int top = std::clamp(m_top, 0, maxTop());
    const bool moved = top != m_top;
    m_top = top;
    const int shown = std::clamp(m_source->rowCount() - m_top, 0, m_rows);
    if (shown > m_shown) {
        beginInsertRows({}, m_shown, shown - 1);
        m_shown = shown;
        endInsertRows();
    } else if (shown < m_shown) {
        beginRemoveRows({}, shown, m_shown - 1);
        m_shown = shown;
        endRemoveRows();
    }
    if (m_shown > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(m_shown - 1, columnCount() - 1));
    emit sourceRowsChanged();
    if (moved)
        emit topChanged(m_top);
}

void RowWindowModel::onSourceDataChanged(const QModelIndex &from, const QModelIndex &to,
                                         const QList<int> &roles)
{
    const int first = std::max(from.row(), m_top);
    const int last = std::min(to.row(), m_top + m_shown - 1);
    if (first > last)
        return;
    emit dataChanged(index(first - m_top, from.column()), index(last - m_top, to.column()), roles);
}

QModelIndex RowWindowModel::toSourceIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    return m_source->index(m_top + index.row(), index.column());
}

int RowWindowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int RowWindowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->columnCount();
}

QVariant RowWindowModel::data(const QModelIndex &index, int role) const
{
    return m_source->data(toSourceIndex(index), role);
}

bool RowWindowModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const QModelIndex s = toSourceIndex(index);
    return s.isValid() && m_source->setData(s, value, role);
}

QVariant RowWindowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return section >= 0 && section < m_shown ? m_source->headerData(m_top + section, orientation, role)
                                                 : QVariant();
    return m_source->headerData(section, orientation, role);
}

Qt::ItemFlags RowWindowModel::flags(const QModelIndex &index) const
{
    return m_source->flags(toSourceIndex(index));
}

} // namespace qvx::ui
