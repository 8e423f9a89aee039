#include "GridModel.h"

#include "ErrorGuard.h"
#include "engine/Value.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

namespace qvx::ui {

namespace {

// Decimal text with at least `decimals` digits after the point. Digits the
// value has beyond them stay: the cell never hides part of the value.
QString padDecimals(QString text, int decimals)
{
    for (const QChar c : std::as_const(text)) {
        if (!c.isDigit() && c != u'-' && c != u'.')
            return text; // not plain decimal text ("nan", exponents)
    }
    const qsizetype point = text.indexOf(u'.');
    const qsizetype have = point < 0 ? 0 : text.size() - point - 1;
    if (have >= decimals)
        return text;
    if (point < 0)
        text += u'.';
    text += QString(decimals - have, u'0');
    return text;
}

} // namespace

int GridModel::shownDecimals(const qvx::FieldDef &f)
{
    switch (f.type) {
    case qvx::FieldType::Currency:
        // An amount of money without declared decimals is shown in cents.
        return f.decimals > 0 ? f.decimals : 2;
    case qvx::FieldType::Float:
    case qvx::FieldType::BCD:
        return f.decimals > 0 ? f.decimals : -1;
    default:
        return -1;
    }
}

Qt::Alignment GridModel::qtAlignment(qvx::Alignment alignment)
{
    switch (alignment) {
    case qvx::Alignment::Right:
        return Qt::AlignRight;
    case qvx::Alignment::Center:
        return Qt::AlignHCenter;
    case qvx::Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

QString GridModel::cellText(const QVariant &v, const qvx::FieldDef &f)
{
    if (v.isNull())
        return {};
    const qvx::ValueKind kind = qvx::valueKind(f.type);
    if (kind == qvx::ValueKind::Bytes)
        return QStringLiteral("(%1 bytes)").arg(v.toByteArray().size());
    const int decimals = shownDecimals(f);
    if (decimals >= 0 && kind == qvx::ValueKind::Double) {
        const double d = v.toDouble();
        const QString fixed = QString::number(d == 0 ? 0.0 : d, 'f', decimals);
        // Fixed decimals only where they read back as the same number, so
        // that the text an editor starts from changes nothing.
        if (fixed.toDouble() == d)
            return fixed;
    } else if (decimals >= 0 && kind == qvx::ValueKind::Decimal) {
        return padDecimals(qvx::valueToText(v, f.type), decimals);
    }
    return qvx::valueToText(v, f.type);
}

GridModel::GridModel(QObject *parent) : QAbstractTableModel(parent) { }

GridModel::~GridModel() = default;

void GridModel::setDataSource(DataSource *source)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections = {
            connect(source, &DataSource::dataSetReplaced, this, &GridModel::rebuild),
            connect(source, &DataSource::activeChanged, this, &GridModel::rebuild),
            connect(source, &DataSource::dataSetChanged, this, &GridModel::refreshRows),
            connect(source, &DataSource::layoutChanged, this, &GridModel::onLayoutChanged),
            connect(source, &DataSource::recordChanged, this, &GridModel::onRecordChanged),
            connect(source, &DataSource::stateChanged, this, &GridModel::onStateChanged),
            connect(source, &DataSource::recordMoved, this, &GridModel::onRecordMoved),
            connect(source, &QObject::destroyed, this, &GridModel::rebuild),
        };
    }
    rebuild();
}

std::vector<int> GridModel::visibleFields() const
{
    std::vector<int> cols;
    const qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen())
        return cols;
    for (int i = 0; i < ds->fieldCount(); ++i) {
        if (ds->field(i).visible)
            cols.push_back(i);
    }
    return cols;
}

bool GridModel::countIsCostly() const
{
    const qvx::DataSet *ds = dataSet();
    return ds && ds->isCountCostly();
}

qint64 GridModel::sourceCount(qint64 atLeast, qint64 known) const
{
    const qvx::DataSet *ds = dataSet();
    m_allKnown = true;
    if (!ds || !ds->isOpen())
        return 0;
    try {
        if (!countIsCostly())
            return std::min(ds->recordCount(), m_rowLimit);
        // Only as far as asked (a first screenful at least); the view asks
        // for more as it scrolls.
        const qint64 wanted = std::min(std::max<qint64>(atLeast, fetchBatch), m_rowLimit);
        qvx::Record rec;
        // What is read to count is kept: the view shows these rows next.
        while (known < wanted && ds->readRecord(known + 1, rec))
            cacheRecord(++known, rec);
        m_allKnown = known < wanted || known >= m_rowLimit;
        return known;
    } catch (const std::exception &) {
        // Called from the data set's notifications, where an exception must
        // not cut a model reset in half; the source's error reaches the user
        // through the operation that touched it.
        return 0;
    }
}

bool GridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_allKnown;
}

void GridModel::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid())
        fetchTo(m_count + fetchBatch);
}

void GridModel::fetchTo(qint64 count)
{
    // Whoever hears of the rows being added may ask for more at once (the
    // model tester does); the rows on their way answer it.
    if (m_fetching || m_allKnown || count <= m_count)
        return;
    const QScopedValueRollback fetching(m_fetching, true);
    const qint64 known = sourceCount(count, m_count); // the rows known stay
    if (known <= m_count)
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + int(known - m_count) - 1);
    m_count = known;
    endInsertRows();
}

void GridModel::rebuild()
{
    beginResetModel();
    clearCache();
    m_columns = visibleFields();
    m_count = sourceCount();
    const qvx::DataSet *ds = dataSet();
    m_insertRow
        = ds && ds->isOpen() && ds->state() == qvx::DataSet::State::Insert ? int(ds->recNo() - 1) : -1;
    endResetModel();
    m_lastCurrentRow = currentRow();
    emit currentRowChanged(m_lastCurrentRow);
}

void GridModel::refreshRows()
{
    // A refresh held back while controls were suspended may hide any change,
    // the layout included.
    if (visibleFields() != m_columns) {
        rebuild();
        return;
    }
    clearCache();
    const qvx::DataSet *ds = dataSet();
    const int newInsert
        = ds && ds->isOpen() && ds->state() == qvx::DataSet::State::Insert ? int(ds->recNo() - 1) : -1;
    if (m_insertRow >= 0) {
        beginRemoveRows({}, m_insertRow, m_insertRow);
        m_insertRow = -1;
        endRemoveRows();
    }
    const qint64 count = sourceCount(m_count);
    if (count > m_count) {
        beginInsertRows({}, int(m_count), int(count - 1));
        m_count = count;
        endInsertRows();
    } else if (count < m_count) {
        beginRemoveRows({}, int(count), int(m_count - 1));
        m_count = count;
        endRemoveRows();
    }
    if (newInsert >= 0) {
        beginInsertRows({}, newInsert, newInsert);
        m_insertRow = newInsert;
        endInsertRows();
    }
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
    m_lastCurrentRow = currentRow();
    emit currentRowChanged(m_lastCurrentRow);
}

void GridModel::onLayoutChanged(int)
{
    if (visibleFields() != m_columns) {
        rebuild();
        return;
    }
    // Labels and alignment: same columns, new titles or cell alignment.
    if (columnCount() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                             { Qt::TextAlignmentRole });
    }
}

void GridModel::onRecordChanged(int)
{
    const int row = currentRow();
    const qvx::DataSet *ds = dataSet();
    if (ds && ds->isOpen() && ds->state() == qvx::DataSet::State::Browse) {
        // Posted or cancelled. A posted record may have moved (a keyed table
        // keeps key order), so every cached row is stale, not only this one.
        clearCache();
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return;
    }
    if (row >= 0 && row < rowCount() && columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void GridModel::onStateChanged()
{
    const qvx::DataSet *ds = dataSet();
    const int newInsert
        = ds && ds->isOpen() && ds->state() == qvx::DataSet::State::Insert ? int(ds->recNo() - 1) : -1;
    if (newInsert == m_insertRow)
        return;
    if (m_insertRow >= 0 && newInsert < 0 && !countIsCostly() && sourceCount() == m_count + 1) {
        // Posted: the new record is in the source now, perhaps somewhere
        // else than where it was typed.
        emit layoutAboutToBeChanged();
        m_insertRow = -1;
        m_count = sourceCount();
        clearCache();
        emit layoutChanged();
        m_lastCurrentRow = currentRow();
        emit currentRowChanged(m_lastCurrentRow);
        return;
    }
    if (m_insertRow >= 0) {
        beginRemoveRows({}, m_insertRow, m_insertRow);
        m_insertRow = -1;
        endRemoveRows();
    }
    if (newInsert >= 0) {
        beginInsertRows({}, newInsert, newInsert);
        m_insertRow = newInsert;
        endInsertRows();
    }
    m_lastCurrentRow = currentRow();
    emit currentRowChanged(m_lastCurrentRow);
}

void GridModel::onRecordMoved()
{
    const qvx::DataSet *ds = dataSet();
    if (ds && ds->isOpen() && ds->recNo() > m_count)
        fetchTo(ds->recNo()); // moved past the rows known so far
    const int row = currentRow();
    if (row == m_lastCurrentRow)
        return;
    m_lastCurrentRow = row;
    emit currentRowChanged(row);
}

int GridModel::fieldOfColumn(int column) const
{
    // The columns may lag behind a data set whose events are held back.
    const qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen() || column < 0 || column >= int(m_columns.size()))
        return -1;
    const int field = m_columns[std::size_t(column)];
    return field < ds->fieldCount() ? field : -1;
}

int GridModel::columnOfField(int field) const
{
    const auto it = std::find(m_columns.begin(), m_columns.end(), field);
    return it == m_columns.end() ? -1 : int(it - m_columns.begin());
}

int GridModel::rowOfRecNo(qint64 recNo) const
{
    if (recNo < 1)
        return -1;
    qint64 row = recNo - 1;
    if (m_insertRow >= 0 && row >= m_insertRow)
        ++row;
    return row < rowCount() ? int(row) : -1;
}

int GridModel::currentRow() const
{
    const qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen())
        return -1;
    if (m_insertRow >= 0)
        return m_insertRow;
    if (ds->state() == qvx::DataSet::State::Insert)
        return -1; // announced to the views only once its row exists
    const qint64 rec = ds->recNo();
    return rec >= 1 && rec <= m_count ? int(rec - 1) : -1;
}

qint64 GridModel::recNoOfRow(int row) const
{
    if (m_insertRow >= 0) {
        if (row == m_insertRow)
            return 0;
        if (row > m_insertRow)
            return row;
    }
    return qint64(row) + 1;
}

void GridModel::moveToRow(int row)
{
    qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen() || row < 0 || row >= rowCount())
        return;
    const qint64 rec = recNoOfRow(row);
    if (rec == 0 || (m_insertRow < 0 && ds->recNo() == rec))
        return;
    ds->setRecNo(rec);
}

GridModel::Page &GridModel::pageFor(qint64 pageNo) const
{
    auto it = m_pages.find(pageNo);
    if (it != m_pages.end()) {
        if (it->second.lru != m_lru.begin())
            m_lru.splice(m_lru.begin(), m_lru, it->second.lru);
        return it->second;
    }
    while (int(m_pages.size()) >= m_maxPages && !m_lru.empty()) {
        m_pages.erase(m_lru.back());
        m_lru.pop_back();
    }
    m_lru.push_front(pageNo);
    Page &page = m_pages[pageNo];
    page.lru = m_lru.begin();
    return page;
}

void GridModel::cacheRecord(qint64 recNo, const qvx::Record &rec) const
{
    const qint64 pageNo = (recNo - 1) / pageSize;
    Page &page = pageFor(pageNo);
    const std::size_t offset = std::size_t(recNo - 1 - pageNo * pageSize);
    if (page.rows.size() <= offset)
        page.rows.resize(offset + 1);
    page.rows[offset] = rec;
}

const qvx::Record *GridModel::recordOfRow(int row) const
{
    const qvx::DataSet *ds = dataSet();
    if (row == currentRow())
        return &ds->currentRecord(); // with its unposted edits
    const qint64 rec = recNoOfRow(row);
    const qint64 pageNo = (rec - 1) / pageSize;
    Page &page = pageFor(pageNo);
    const qint64 firstRec = pageNo * pageSize + 1;
    if (page.rows.empty()) {
        // A whole page at a time: a screen of rows costs one or two reads.
        const qint64 lastRec = std::min(m_count, firstRec + pageSize - 1);
        page.rows.resize(std::size_t(std::max<qint64>(0, lastRec - firstRec + 1)));
        for (qint64 r = firstRec; r <= lastRec; ++r) {
            if (!ds->readRecord(r, page.rows[std::size_t(r - firstRec)]))
                page.rows[std::size_t(r - firstRec)].clear();
        }
    }
    const std::size_t offset = std::size_t(rec - firstRec);
    if (offset >= page.rows.size() || page.rows[offset].empty()) {
        // A page begun by counting, or grown since.
        if (page.rows.size() <= offset)
            page.rows.resize(offset + 1);
        if (!ds->readRecord(rec, page.rows[offset]))
            page.rows[offset].clear();
    }
    if (page.rows[offset].empty())
        return nullptr;
    return &page.rows[offset];
}

void GridModel::clearCache()
{
    m_pages.clear();
    m_lru.clear();
}

void GridModel::setRowLimit(qint64 rows)
{
    rows = std::max<qint64>(1, rows);
    if (rows == m_rowLimit)
        return;
    m_rowLimit = rows;
    refreshRows();
}

void GridModel::setCacheLimit(int rows)
{
    m_maxPages = std::max(1, (rows + pageSize - 1) / pageSize);
    while (int(m_pages.size()) > m_maxPages) {
        m_pages.erase(m_lru.back());
        m_lru.pop_back();
    }
}

int GridModel::cachedRows() const
{
    int n = 0;
    for (const auto &p : m_pages)
        n += int(p.second.rows.size());
    return n;
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_count) + (m_insertRow >= 0 ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen())
        return {};
    const int fieldNo = fieldOfColumn(index.column());
    if (fieldNo < 0)
        return {};
    const qvx::FieldDef &f = ds->field(fieldNo);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const qvx::Record *rec = nullptr;
        try {
            rec = recordOfRow(index.row());
        } catch (const std::exception &) {
            return {}; // a record that cannot be read shows empty; the engine reports it on moving there
        }
        if (!rec || std::size_t(fieldNo) >= rec->size())
            return {};
        return cellText((*rec)[std::size_t(fieldNo)], f);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(GridModel::qtAlignment(f.alignment) | Qt::AlignVCenter);
    case Qt::FontRole:
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        const GridColumn *c = findColumnFormat(index.column());
        if (!c)
            return {};
        if (role == Qt::FontRole)
            return c->font ? QVariant(*c->font) : QVariant();
        const QColor &colour = role == Qt::ForegroundRole ? c->fontColor : c->color;
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen())
        return false;
    const int fieldNo = fieldOfColumn(index.column());
    if (fieldNo < 0)
        return false;
    return guarded(m_errorParent, [&] {
        moveToRow(index.row());
        if (ds->state() == qvx::DataSet::State::Browse)
            ds->edit();
        ds->setValue(fieldNo, value);
    });
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < rowCount()) {
            const qint64 rec = recNoOfRow(section);
            return rec == 0 ? QStringLiteral("*") : QString::number(rec);
        }
        return {};
    }
    const qvx::DataSet *ds = dataSet();
    if (section < 0 || section >= columnCount() || !ds || !ds->isOpen())
        return {};
    const GridColumn *c = findColumnFormat(section);
    switch (role) {
    case Qt::DisplayRole:
        return fieldOfColumn(section) >= 0 ? ds->field(fieldOfColumn(section)).displayLabel : QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue((c ? c->titleAlignment : Qt::AlignLeft) | Qt::AlignVCenter);
    case Qt::FontRole:
        return c && c->titleFont ? QVariant(*c->titleFont) : QVariant();
    case Qt::ForegroundRole:
        return c && c->titleFontColor.isValid() ? QVariant(c->titleFontColor) : QVariant();
    case Qt::BackgroundRole:
        return c && c->titleColor.isValid() ? QVariant(c->titleColor) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const qvx::DataSet *ds = dataSet();
    const int fieldNo = fieldOfColumn(index.column());
    // Read-only data sets stay editable here: the engine refuses the change
    // and says why, which a silently locked cell would not.
    const GridColumn *format = findColumnFormat(index.column());
    if (ds && ds->isOpen() && fieldNo >= 0 && qvx::valueKind(ds->field(fieldNo).type) != qvx::ValueKind::Bytes
        && !(format && format->readOnly))
        f |= Qt::ItemIsEditable;
    return f;
}

GridColumn &GridModel::columnFormat(int column)
{
    const qvx::DataSet *ds = dataSet();
    const int fieldNo = fieldOfColumn(column);
    if (!ds || fieldNo < 0)
        throw std::out_of_range("no such grid column");
    return fieldFormat(ds->field(fieldNo).name);
}

GridColumn &GridModel::fieldFormat(const QString &name)
{
    auto it = m_formats.find(name);
    if (it == m_formats.end()) {
        GridColumn c;
        c.font = m_defaultFont;
        c.titleFont = m_defaultFont;
        it = m_formats.insert(name, c);
    }
    return *it;
}

const GridColumn *GridModel::findColumnFormat(int column) const
{
    const qvx::DataSet *ds = dataSet();
    const int fieldNo = fieldOfColumn(column);
    if (!ds || fieldNo < 0)
        return nullptr;
    const auto it = m_formats.constFind(ds->field(fieldNo).name);
    return it == m_formats.constEnd() ? nullptr : &*it;
}

void GridModel::columnFormatChanged(int column)
{
    if (column < 0 || column >= columnCount())
        return;
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (rowCount() > 0)
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

} // namespace qvx::ui
