// The query data module: the program's one working query with its data
// source, the working lists a statement is assembled from, and the builders
// that turn what a user types into a search box into SQL condition text.
// Created once at start-up and shared by every window that builds or shows
// the working query.
#pragma once

#include "engine/Query.h"
#include "ui/DataSource.h"

#include <QObject>
#include <QStringList>

class TSQLData : public QObject {
    Q_OBJECT
public:
    explicit TSQLData(QObject *parent = nullptr);

    qvx::Query Query;
    qvx::ui::DataSource SQLSource { &Query };

    // The working lists a statement is assembled from: the output columns
    // ("customer.CustNo"), table references and condition lines, and six
    // more that are created and emptied with them.
    enum WorkingList { Select, From, Where, Group, Having, Order, Join, Field, Table, WorkingListCount };
    const QStringList &SelectList() const { return m_lists[Select]; }
    const QStringList &FromList() const { return m_lists[From]; }
    const QStringList &WhereList() const { return m_lists[Where]; }
    const QStringList &list(WorkingList which) const { return m_lists[which]; }
    // Appends lines to one list (a condition line, "AND", "(", ...).
    void append(WorkingList which, const QStringList &lines) { m_lists[which] += lines; }

    // The search boxes that have added conditions to WhereList in the current
    // search; RunSelect starts the count again.
    int ConditionCount() const { return m_conditionCount; }
    void CountCondition() { ++m_conditionCount; }
    // Empties one working list.
    void ClearList(WorkingList which) { m_lists[which].clear(); }
    // A new search: no conditions counted and WhereList empty.
    void ClearConditions()
    {
        m_conditionCount = 0;
        m_lists[Where].clear();
    }

    // Empties all nine working lists.
    void ClearLists();
    // The comparison text that follows the field name for one condition piece
    // (">=100" gives ` >= "100"`, "Smi.." gives ` LIKE "Smi%"`).
    QString BuildComparison(const QString &piece) const;
    // Splits the text typed into one search box at "," (AND) and ";" (OR),
    // "^" negating the next piece, and appends one WhereList line per piece.
    void AddFieldCondition(const QString &condition, const QString &fieldName);
    // Replaces the working query's text by the statement the lists make,
    // runs it once, opens its result and resets ConditionCount.
    void RunSelect();
    // Runs statement (a whole SELECT) with WhereList's conditions applied to
    // its result: SELECT * FROM (statement) WHERE (...). For a search over a
    // statement whose lists are gone.
    void RunSelectOver(const QStringList &statement);

private:
    void addWhere(); // the WHERE part from WhereList, when it has lines

    QStringList m_lists[WorkingListCount];
    int m_conditionCount = 0;
};
