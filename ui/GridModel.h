// The table model behind every record grid: one column per visible field of
// a data set in field order, one row per record. Rows are read on demand by
// record number and kept in a bounded cache of pages around what was last
// shown, so a table of any size opens at once and memory stays flat.
// Editing a cell edits the data set's current record; the data set posts it
// when the current record moves on.
#pragma once

#include "DataSource.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qvx::ui {

// The formatting of one grid column and its title. Kept by field name, so it
// survives the field being hidden and shown again. Unset fonts and colours
// leave the view's own.
struct GridColumn {
    std::optional<QFont> font;
    QColor fontColor;
    QColor color; // cell background
    std::optional<QFont> titleFont;
    QColor titleFontColor;
    QColor titleColor; // title background
    Qt::Alignment titleAlignment = Qt::AlignLeft;
    QStringList pickList; // values a cell editor offers, none for free text
    bool readOnly = false; // the cells show their values but cannot be edited
};

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject *parent = nullptr);
    ~GridModel() override;

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    qvx::DataSet *dataSet() const { return m_source ? m_source->dataSet() : nullptr; }
    // Errors raised while editing are shown with this widget as parent.
    void setErrorParent(QWidget *parent) { m_errorParent = parent; }

    // The text a cell shows, and starts its editor with, for a value of field
    // f: numbers with at least the field's decimals (money in cents when it
    // declares none), text that reads back as the same value; binary values
    // only as their size.
    static QString cellText(const QVariant &v, const qvx::FieldDef &f);
    // Digits after the point a number of field f is shown with, -1 for as
    // many as the value needs.
    static int shownDecimals(const qvx::FieldDef &f);
    // A field's alignment as its cells show it.
    static Qt::Alignment qtAlignment(qvx::Alignment alignment);

    // Field position shown in a column, -1 for none.
    int fieldOfColumn(int column) const;
    int columnOfField(int field) const; // -1 when hidden or unknown
    // Row of a record number and back; the row of a record being inserted
    // is where it will go.
    int rowOfRecNo(qint64 recNo) const;
    int currentRow() const; // -1 when there is no current record

    // Makes the record shown in row the data set's current record (posting
    // or cancelling a pending edit as the data set does).
    void moveToRow(int row);

    // The formatting objects. columnFormat creates the column's object (with
    // the default font) the first time it is asked for.
    GridColumn &columnFormat(int column);
    // The same by field name, also before the field is shown.
    GridColumn &fieldFormat(const QString &fieldName);
    const GridColumn *findColumnFormat(int column) const;
    void columnFormatChanged(int column);
    void setDefaultFont(const QFont &font) { m_defaultFont = font; }
    QFont defaultFont() const { return m_defaultFont; }

    // How many rows the cache may hold; pages of rows are dropped, least
    // recently used first, beyond it.
    void setCacheLimit(int rows);
    int cachedRows() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Sources that count by reading everything (queries) are counted only
    // as far as the view has scrolled.
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Rows beyond the limit are not offered. A view given this model
    // directly keeps row positions in int pixels, so it can show at most
    // INT_MAX / row height rows (the default limit keeps well below); the
    // grid shows it through a RowWindowModel and lifts the limit to INT_MAX - 1.
    void setRowLimit(qint64 rows);
    qint64 rowLimit() const { return m_rowLimit; }

signals:
    // The data set's current record moved to another row (or back to the
    // same after a reset); views follow it.
    void currentRowChanged(int row);

private:
    struct Page {
        std::vector<qvx::Record> rows;
        std::list<qint64>::iterator lru;
    };
    static constexpr int pageSize = 64;
    static constexpr int fetchBatch = 256;

    void rebuild(); // full reset
    void refreshRows(); // records added, removed or reloaded
    void onLayoutChanged(int field);
    void onRecordChanged(int field);
    void onStateChanged();
    void onRecordMoved();
    std::vector<int> visibleFields() const;
    bool countIsCostly() const;
    // Records in the source, up to the row limit; for a costly count only
    // up to atLeast (and a first batch), looking from record known + 1 on,
    // and setting m_allKnown.
    qint64 sourceCount(qint64 atLeast = 0, qint64 known = 0) const;
    void fetchTo(qint64 count);
    // The record number a row shows, 0 for the record being inserted.
    qint64 recNoOfRow(int row) const;
    const qvx::Record *recordOfRow(int row) const;
    Page &pageFor(qint64 pageNo) const; // found or made, and made the most recent
    void cacheRecord(qint64 recNo, const qvx::Record &rec) const;
    void clearCache();

    QPointer<DataSource> m_source;
    QPointer<QWidget> m_errorParent;
    std::vector<QMetaObject::Connection> m_connections;
    std::vector<int> m_columns; // field position per column
    qint64 m_count = 0; // records in the source (not counting an insert), as far as known
    mutable bool m_allKnown = true;
    bool m_fetching = false; // rows being added by fetchTo
    int m_insertRow = -1;
    int m_lastCurrentRow = -1;
    QHash<QString, GridColumn> m_formats; // by field name
    QFont m_defaultFont;

    mutable std::unordered_map<qint64, Page> m_pages;
    mutable std::list<qint64> m_lru; // most recent first
    int m_maxPages = 64;
    qint64 m_rowLimit = 50'000'000;
};

} // namespace qvx::ui
