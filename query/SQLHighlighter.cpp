#include "SQLHighlighter.h"

#include <QRegularExpression>
#include <QSet>

namespace {

bool isKeyword(const QString &word)
{
    static const QSet<QString> keywords {
        "SELECT", "FROM",   "WHERE", "AND",    "OR",     "NOT",   "IN",       "LIKE",   "BETWEEN", "IS",
        "NULL",   "ORDER",  "GROUP", "BY",     "HAVING", "AS",    "DISTINCT", "INNER",  "OUTER",   "LEFT",
        "RIGHT",  "FULL",   "JOIN",  "ON",     "ASC",    "DESC",  "UNION",    "ALL",    "INSERT",  "INTO",
        "VALUES", "UPDATE", "SET",   "DELETE", "CREATE", "TABLE", "DROP",     "SUM",    "COUNT",   "AVG",
        "MIN",    "MAX",    "CASE",  "WHEN",   "THEN",   "ELSE",  "END",      "EXISTS", "LIMIT",   "WITH",
    };
    return keywords.contains(word.toUpper());
}

} // namespace

TSQLHighlighter::TSQLHighlighter(QTextDocument *document) : QSyntaxHighlighter(document) { }

void TSQLHighlighter::highlightBlock(const QString &text)
{
    QTextCharFormat keyword;
    keyword.setForeground(QColor(0, 0, 160));
    QTextCharFormat string;
    string.setForeground(QColor(160, 0, 0));
    QTextCharFormat path;
    path.setForeground(QColor(128, 0, 128));
    QTextCharFormat comment;
    comment.setForeground(QColor(0, 128, 128));

    qsizetype i = 0;
    const qsizetype n = text.size();
    if (previousBlockState() == InComment) {
        const qsizetype end = text.indexOf(QLatin1String("*/"));
        if (end < 0) {
            setFormat(0, int(n), comment);
            setCurrentBlockState(InComment);
            return;
        }
        setFormat(0, int(end + 2), comment);
        i = end + 2;
    }
    setCurrentBlockState(Plain);
    while (i < n) {
        const QChar c = text[i];
        if (c == u'/' && i + 1 < n && text[i + 1] == u'*') {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0) {
                setFormat(int(i), int(n - i), comment);
                setCurrentBlockState(InComment);
                return;
            }
            setFormat(int(i), int(end + 2 - i), comment);
            i = end + 2;
        } else if (c == u'-' && i + 1 < n && text[i + 1] == u'-') {
            setFormat(int(i), int(n - i), comment);
            return;
        } else if (c == u'\'' || c == u'"') {
            // A quote inside is doubled.
            qsizetype j = i + 1;
            while (j < n) {
                if (text[j] == c) {
                    if (j + 1 < n && text[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = std::min(j + 1, n);
            const QString token = text.mid(i, end - i);
            // A double-quoted token that names a file or an alias is a table.
            const bool table = c == u'"' && (token.contains(u'/') || token.startsWith(QLatin1String("\":")));
            setFormat(int(i), int(end - i), c == u'\'' || !table ? string : path);
            i = end;
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == u'_'))
                ++j;
            const bool afterDot = i > 0 && text[i - 1] == u'.';
            if (!afterDot && isKeyword(text.mid(i, j - i))) {
                setFormat(int(i), int(j - i), keyword);
            }
            i = j;
        } else {
            ++i;
        }
    }
}
