#include "SQLDataModule.h"

TSQLData::TSQLData(QObject *parent) : QObject(parent) { }

void TSQLData::ClearLists()
{
    for (QStringList &list : m_lists)
        list.clear();
}

namespace {
// A value goes into the statement between double quotes, which the dialect
// reads as a string literal; a quote inside it is doubled so that it stays
// inside the literal instead of ending it.
QString quoted(const QString &value)
{
    QString text = value;
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}
} // namespace

QString TSQLData::BuildComparison(const QString &condition) const
{
    QString piece = condition;
    QString result;
    static const QStringList operators { QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                         QStringLiteral(">"),  QStringLiteral("<"),  QStringLiteral("=") };
    for (const QString &op : operators) {
        qsizetype at;
        while ((at = piece.indexOf(op)) >= 0) {
            piece.remove(at, op.size());
            result += u' ' + op + u' ' + quoted(piece);
        }
    }
    qsizetype at;
    while ((at = piece.indexOf(QStringLiteral(".."))) >= 0) {
        result = QStringLiteral(" LIKE ");
        piece.remove(at, 1);
        piece[piece.indexOf(u'.')] = u'%';
        result += quoted(piece);
    }
    return result;
}

void TSQLData::AddFieldCondition(const QString &condition, const QString &fieldName)
{
    QString joining; // "AND ", "OR " or "NOT " for the next entry
    qsizetype start = 0; // 0-based start of the current piece
    auto entry = [&](qsizetype end) {
        const QString piece = condition.mid(start, end - start);
        return joining + u'(' + fieldName + BuildComparison(piece) + u')';
    };
    for (qsizetype p = 0; p < condition.size(); ++p) {
        const QChar c = condition.at(p);
        if (c == u'^') {
            joining = QStringLiteral("NOT ");
            start = p + 1;
        } else if (c == u';' || c == u',') {
            m_lists[Where] << entry(p); // the first piece has no joining word yet
            joining = c == u';' ? QStringLiteral("OR ") : QStringLiteral("AND ");
            start = p + 1;
        }
    }
    m_lists[Where] << entry(condition.size());
}

void TSQLData::RunSelect()
{
    Query.close();
    Query.clearSQL();
    auto addList = [this](const QStringList &list, bool commas) {
        for (qsizetype i = 0; i < list.size(); ++i)
            Query.addSQL(QStringLiteral("  ") + list.at(i)
                         + (commas && i + 1 < list.size() ? QStringLiteral(",") : QString()));
    };
    if (!SelectList().isEmpty()) {
        Query.addSQL(QStringLiteral("SELECT"));
        addList(SelectList(), true);
    }
    if (!FromList().isEmpty()) {
        Query.addSQL(QString());
        Query.addSQL(QStringLiteral("FROM"));
        addList(FromList(), true);
    }
    addWhere();
    Query.execSQL();
    Query.open();
    m_conditionCount = 0;
}

void TSQLData::addWhere()
{
    if (WhereList().isEmpty())
        return;
    Query.addSQL(QString());
    Query.addSQL(QStringLiteral("WHERE"));
    Query.addSQL(QStringLiteral("("));
    for (const QString &line : WhereList())
        Query.addSQL(QStringLiteral("  ") + line);
    Query.addSQL(QStringLiteral(")"));
}

void TSQLData::RunSelectOver(const QStringList &statement)
{
    Query.close();
    Query.clearSQL();
    Query.addSQL(QStringLiteral("SELECT *"));
    Query.addSQL(QStringLiteral("FROM ("));
    for (const QString &line : statement)
        Query.addSQL(line);
    Query.addSQL(QStringLiteral(")"));
    addWhere();
    Query.execSQL();
    Query.open();
    m_conditionCount = 0;
}
