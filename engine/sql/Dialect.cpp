#include "Dialect.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace qvx::sql {

namespace {

struct Token {
    enum class Type { Space, Comment, Word, Number, String, Quoted, Bracketed, Punct, End };
    Type type = Type::End;
    QString text; // as written
    int line = 1;
    int column = 1;
};

// Splits the text into tokens, keeping every character so that the rewrite
// can give back what it does not change.
class Tokenizer {
public:
    explicit Tokenizer(const QString &text) : m_text(text) { }

    std::vector<Token> run()
    {
        std::vector<Token> out;
        while (m_pos < m_text.size())
            out.push_back(next());
        Token end;
        end.line = m_line;
        end.column = m_column;
        out.push_back(end);
        return out;
    }

private:
    QChar peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : QChar();
    }
    void advance()
    {
        if (m_text[m_pos] == u'\n') {
            ++m_line;
            m_column = 1;
        } else {
            ++m_column;
        }
        ++m_pos;
    }
    // Consumes up to and including the closing quote; a doubled quote is one
    // quote character of the content.
    void quoted(QChar quote, const Token &start, const char *what)
    {
        advance();
        for (;;) {
            if (m_pos >= m_text.size())
                throw SqlError(start.line, start.column,
                               QStringLiteral("%1 is not closed").arg(QLatin1String(what)));
            if (peek() == quote) {
                advance();
                if (peek() == quote) {
                    advance();
                    continue;
                }
                return;
            }
            advance();
        }
    }

    Token next()
    {
        Token t;
        t.line = m_line;
        t.column = m_column;
        const qsizetype begin = m_pos;
        const QChar c = peek();
        if (c.isSpace()) {
            t.type = Token::Type::Space;
            while (m_pos < m_text.size() && peek().isSpace())
                advance();
        } else if (c == u'-' && peek(1) == u'-') {
            t.type = Token::Type::Comment;
            while (m_pos < m_text.size() && peek() != u'\n')
                advance();
        } else if (c == u'/' && peek(1) == u'*') {
            t.type = Token::Type::Comment;
            advance();
            advance();
            for (;;) {
                if (m_pos >= m_text.size())
                    throw SqlError(t.line, t.column, QStringLiteral("a comment is not closed"));
                if (peek() == u'*' && peek(1) == u'/') {
                    advance();
                    advance();
                    break;
                }
                advance();
            }
        } else if (c == u'\'') {
            t.type = Token::Type::String;
            quoted(u'\'', t, "a string");
        } else if (c == u'"') {
            t.type = Token::Type::Quoted;
            quoted(u'"', t, "a double-quoted name or string");
        } else if (c == u'[') {
            t.type = Token::Type::Bracketed;
            while (m_pos < m_text.size() && peek() != u']')
                advance();
            if (m_pos >= m_text.size())
                throw SqlError(t.line, t.column, QStringLiteral("a bracketed name is not closed"));
            advance();
        } else if (c.isDigit() || (c == u'.' && peek(1).isDigit())) {
            t.type = Token::Type::Number;
            while (m_pos < m_text.size() && (peek().isLetterOrNumber() || peek() == u'.'))
                advance();
        } else if (c.isLetter() || c == u'_' || c == u'$' || c == u'@' || c == u':' || c == u'?') {
            // ':' and '?' start parameters in SQLite; they stay words here.
            t.type = Token::Type::Word;
            advance();
            while (m_pos < m_text.size() && (peek().isLetterOrNumber() || peek() == u'_' || peek() == u'$'))
                advance();
        } else {
            t.type = Token::Type::Punct;
            advance();
        }
        t.text = m_text.mid(begin, m_pos - begin);
        return t;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_column = 1;
};

QString unquote(const QString &token)
{
    QString inner = token.mid(1, token.size() - 2);
    const QChar q = token[0];
    inner.replace(QString(2, q), QString(q));
    return inner;
}

QString quoteIdentifier(const QString &name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString quoteString(const QString &value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

bool isKeyword(const Token &t, const char *word)
{
    return t.type == Token::Type::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Words that end a FROM list or cannot be a correlation name.
bool isClauseWord(const Token &t)
{
    static const QSet<QString> words = {
        QStringLiteral("WHERE"),   QStringLiteral("GROUP"),     QStringLiteral("ORDER"),
        QStringLiteral("HAVING"),  QStringLiteral("LIMIT"),     QStringLiteral("UNION"),
        QStringLiteral("EXCEPT"),  QStringLiteral("INTERSECT"), QStringLiteral("ON"),
        QStringLiteral("USING"),   QStringLiteral("SET"),       QStringLiteral("VALUES"),
        QStringLiteral("JOIN"),    QStringLiteral("INNER"),     QStringLiteral("LEFT"),
        QStringLiteral("RIGHT"),   QStringLiteral("FULL"),      QStringLiteral("OUTER"),
        QStringLiteral("CROSS"),   QStringLiteral("NATURAL"),   QStringLiteral("SELECT"),
        QStringLiteral("DEFAULT"), QStringLiteral("RETURNING"), QStringLiteral("WINDOW"),
        QStringLiteral("AS"),      QStringLiteral("OFFSET"),    QStringLiteral("INDEXED"),
        QStringLiteral("NOT"),
    };
    return t.type == Token::Type::Word && words.contains(t.text.toUpper());
}

bool isPunct(const Token &t, char16_t c)
{
    return t.type == Token::Type::Punct && t.text == QChar(c);
}

// The parenthesis that closes the one at i, or the end; next(i) is the
// token after i that counts.
template<class Next>
std::size_t closingParenthesis(const std::vector<Token> &tokens, std::size_t i, Next next)
{
    int depth = 0;
    for (; tokens[i].type != Token::Type::End; i = next(i)) {
        if (isPunct(tokens[i], u'('))
            ++depth;
        else if (isPunct(tokens[i], u')') && --depth == 0)
            return i;
    }
    return i;
}

// Walks "WITH [RECURSIVE] name [(columns)] AS [NOT] [MATERIALIZED] (...),
// ..." from the WITH at i: returns the token after it, which says what the
// statement does, and adds the names it gives its tables (lower case) to
// names.
template<class Next>
std::size_t skipWithClause(const std::vector<Token> &tokens, std::size_t i, Next next, QSet<QString> *names)
{
    i = next(i);
    if (isKeyword(tokens[i], "RECURSIVE"))
        i = next(i);
    for (;;) {
        const Token &name = tokens[i];
        if (name.type != Token::Type::Word && name.type != Token::Type::Quoted
            && name.type != Token::Type::Bracketed)
            return i;
        std::size_t k = next(i);
        if (isPunct(tokens[k], u'('))
            k = next(closingParenthesis(tokens, k, next));
        if (!isKeyword(tokens[k], "AS"))
            return k;
        if (names)
            names->insert(
                (name.type == Token::Type::Word ? name.text : name.text.mid(1, name.text.size() - 2))
                    .toLower());
        k = next(k);
        if (isKeyword(tokens[k], "NOT"))
            k = next(k);
        if (isKeyword(tokens[k], "MATERIALIZED"))
            k = next(k);
        if (!isPunct(tokens[k], u'('))
            return k;
        k = next(closingParenthesis(tokens, k, next));
        if (!isPunct(tokens[k], u','))
            return k;
        i = next(k);
    }
}

class Rewriter {
public:
    explicit Rewriter(const QString &text) : m_tokens(Tokenizer(text).run()) { findCommonTables(); }

    Rewrite run()
    {
        // Where a table reference may stand, and whether a comma brings
        // another one (a FROM list), per parenthesis depth.
        std::vector<bool> fromList { false };
        bool expectTable = false;
        bool allowCorrelation = false;
        for (std::size_t i = 0; i < m_tokens.size(); ++i) {
            const Token &t = m_tokens[i];
            if (t.type == Token::Type::End)
                break;
            m_origins.push_back({ m_out.size(), t.line, t.column });
            if (t.type == Token::Type::Space || t.type == Token::Type::Comment) {
                m_out += t.text;
                continue;
            }
            if (expectTable) {
                expectTable = false;
                if (t.type == Token::Type::Word && m_commonTables.contains(t.text.toLower())) {
                    m_out += t.text; // a table of a WITH clause, not a file
                    continue;
                }
                if (t.type == Token::Type::Quoted || (t.type == Token::Type::Word && !isClauseWord(t))) {
                    i = tableReference(i, allowCorrelation);
                    continue;
                }
            }
            if (t.type == Token::Type::Punct && t.text == u'(') {
                fromList.push_back(false);
            } else if (t.type == Token::Type::Punct && t.text == u')') {
                if (fromList.size() > 1)
                    fromList.pop_back();
            } else if (t.type == Token::Type::Punct && t.text == u',') {
                if (fromList.back()) {
                    expectTable = true;
                    allowCorrelation = true;
                }
            } else if (t.type == Token::Type::Punct && t.text == u';') {
                fromList.back() = false;
            } else if (isKeyword(t, "FROM")) {
                // DELETE FROM names the one table it changes.
                expectTable = true;
                allowCorrelation = true;
                fromList.back() = !previousWordIs(i, "DELETE");
            } else if (isKeyword(t, "JOIN")) {
                expectTable = true;
                allowCorrelation = true;
            } else if (isKeyword(t, "INTO") || isKeyword(t, "UPDATE")) {
                expectTable = true;
                allowCorrelation = false;
                fromList.back() = false;
            } else if (isKeyword(t, "TABLE") && (previousWordIs(i, "CREATE") || previousWordIs(i, "DROP"))) {
                m_nextUse = previousWordIs(i, "CREATE") ? TableRef::Use::Create : TableRef::Use::Drop;
                m_out += t.text;
                i = skipIfExists(i);
                expectTable = true;
                allowCorrelation = false;
                continue;
            } else if (isClauseWord(t) && !isKeyword(t, "AS")) {
                if (!isKeyword(t, "INNER") && !isKeyword(t, "LEFT") && !isKeyword(t, "RIGHT")
                    && !isKeyword(t, "FULL") && !isKeyword(t, "OUTER") && !isKeyword(t, "CROSS")
                    && !isKeyword(t, "NATURAL"))
                    fromList.back() = false;
            }
            if (t.type == Token::Type::Quoted) {
                // After a full stop a double-quoted token names a field;
                // anywhere else it is a string.
                m_out += previousIsFullStop(i) ? quoteIdentifier(unquote(t.text))
                                               : quoteString(unquote(t.text));
            } else {
                m_out += t.text;
            }
        }
        return { m_out, m_tables, m_origins };
    }

private:
    // The names WITH clauses give their tables: a bare reference to one is
    // that table, and no file reference takes its name.
    void findCommonTables()
    {
        for (std::size_t i = 0; i < m_tokens.size(); ++i) {
            if (isKeyword(m_tokens[i], "WITH"))
                skipWithClause(
                    m_tokens, i, [this](std::size_t k) { return nextSignificant(k); }, &m_commonTables);
        }
        m_usedNames.unite(m_commonTables);
    }

    const Token *previousSignificant(std::size_t i) const
    {
        while (i > 0) {
            --i;
            const Token &t = m_tokens[i];
            if (t.type != Token::Type::Space && t.type != Token::Type::Comment)
                return &t;
        }
        return nullptr;
    }
    bool previousWordIs(std::size_t i, const char *word) const
    {
        const Token *p = previousSignificant(i);
        return p && isKeyword(*p, word);
    }
    bool previousIsFullStop(std::size_t i) const
    {
        const Token *p = previousSignificant(i);
        return p && p->type == Token::Type::Punct && p->text == u'.';
    }
    std::size_t nextSignificant(std::size_t i) const
    {
        ++i;
        while (i < m_tokens.size()
               && (m_tokens[i].type == Token::Type::Space || m_tokens[i].type == Token::Type::Comment))
            ++i;
        return std::min(i, m_tokens.size() - 1);
    }
    // Copies "IF [NOT] EXISTS" after CREATE/DROP TABLE; returns the last token used.
    std::size_t skipIfExists(std::size_t i)
    {
        std::size_t j = nextSignificant(i);
        if (!isKeyword(m_tokens[j], "IF"))
            return i;
        std::size_t k = nextSignificant(j);
        if (isKeyword(m_tokens[k], "NOT"))
            k = nextSignificant(k);
        if (!isKeyword(m_tokens[k], "EXISTS"))
            return i;
        for (std::size_t n = i + 1; n <= k; ++n)
            m_out += m_tokens[n].text;
        return k;
    }

    // Writes the reference at token i (and its correlation name); returns
    // the last token it used.
    std::size_t tableReference(std::size_t i, bool allowCorrelation)
    {
        const Token &t = m_tokens[i];
        TableRef ref;
        ref.line = t.line;
        ref.column = t.column;
        ref.use = m_nextUse;
        m_nextUse = TableRef::Use::Query;
        if (t.type == Token::Type::Quoted) {
            ref.spec = unquote(t.text);
            if (ref.spec.startsWith(u':')) {
                const qsizetype second = ref.spec.indexOf(u':', 1);
                ref.kind = TableRef::Kind::Alias;
                ref.alias = second > 0 ? ref.spec.mid(1, second - 1) : QString();
                ref.table = second > 0 ? ref.spec.mid(second + 1) : QString();
                if (ref.alias.isEmpty() || ref.table.isEmpty())
                    throw SqlError(t.line, t.column,
                                   QStringLiteral("\"%1\" is not a table of an alias; write \":ALIAS:table\"")
                                       .arg(ref.spec));
            } else {
                ref.kind = ref.spec.contains(u'/') ? TableRef::Kind::Path : TableRef::Kind::Bare;
                ref.table = QFileInfo(ref.spec).fileName();
                if (ref.table.isEmpty())
                    throw SqlError(t.line, t.column, QStringLiteral("\"%1\" names no table").arg(ref.spec));
            }
        } else {
            ref.kind = TableRef::Kind::Bare;
            ref.spec = ref.table = t.text;
        }
        const QString defaultCorrelation = QFileInfo(ref.table).completeBaseName().isEmpty()
            ? ref.table
            : QFileInfo(ref.table).completeBaseName();
        ref.name = nameFor(ref, defaultCorrelation);
        m_out += quoteIdentifier(ref.name);

        if (!allowCorrelation)
            return i;
        // An explicit correlation name: [AS] name.
        std::size_t j = nextSignificant(i);
        bool as = false;
        if (isKeyword(m_tokens[j], "AS")) {
            as = true;
            j = nextSignificant(j);
        }
        const Token &c = m_tokens[j];
        if ((c.type == Token::Type::Word && !isClauseWord(c)) || c.type == Token::Type::Quoted
            || c.type == Token::Type::Bracketed) {
            for (std::size_t n = i + 1; n < j; ++n)
                m_out += m_tokens[n].text;
            m_out += c.type == Token::Type::Quoted ? quoteIdentifier(unquote(c.text)) : c.text;
            return j;
        }
        if (as)
            throw SqlError(c.line, c.column, QStringLiteral("a correlation name must follow AS"));
        if (ref.name.compare(defaultCorrelation, Qt::CaseInsensitive) != 0)
            m_out += QStringLiteral(" AS ") + quoteIdentifier(defaultCorrelation);
        return i;
    }

    // One SQLite name per distinct reference: the table's base name where
    // it is free, so that "customer.Name" keeps working.
    QString nameFor(TableRef &ref, const QString &base)
    {
        for (const TableRef &known : m_tables) {
            if (known.spec == ref.spec)
                return known.name;
        }
        QString stem = base;
        if (stem.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            stem.prepend(QStringLiteral("t_"));
        QString name = stem;
        for (int n = 2; m_usedNames.contains(name.toLower()); ++n)
            name = stem + u'_' + QString::number(n);
        m_usedNames.insert(name.toLower());
        ref.name = name;
        m_tables.push_back(ref);
        return name;
    }

    std::vector<Token> m_tokens;
    QString m_out;
    std::vector<TableRef> m_tables;
    std::vector<Rewrite::Origin> m_origins;
    QSet<QString> m_usedNames;
    QSet<QString> m_commonTables; // lower case
    TableRef::Use m_nextUse = TableRef::Use::Query;
};

} // namespace

void Rewrite::sourcePosition(qsizetype offset, int &line, int &column) const
{
    line = column = 1;
    for (const Origin &o : origins) {
        if (o.offset > offset)
            break;
        line = o.line;
        column = o.column;
    }
}

Rewrite rewriteDialect(const QString &text)
{
    return Rewriter(text).run();
}

namespace {

// The significant tokens of a text (no white space or comments), with the
// offset each starts at.
struct Significant {
    std::vector<Token> tokens;
    std::vector<qsizetype> offsets;

    explicit Significant(const QString &text)
    {
        qsizetype at = 0;
        for (Token &t : Tokenizer(text).run()) {
            const qsizetype size = t.text.size();
            if (t.type != Token::Type::Space && t.type != Token::Type::Comment) {
                tokens.push_back(std::move(t));
                offsets.push_back(at);
            }
            at += size;
        }
    }
    std::size_t step(std::size_t i) const { return std::min(i + 1, tokens.size() - 1); }
    bool isPunct(std::size_t i, char16_t c) const { return qvx::sql::isPunct(tokens[i], c); }
    // Past the parenthesis that closes the one at i.
    std::size_t skipGroup(std::size_t i) const
    {
        return step(closingParenthesis(tokens, i, [this](std::size_t k) { return step(k); }));
    }
    // The token that says what the statement does, past a WITH clause.
    std::size_t mainKeyword() const
    {
        if (!isKeyword(tokens[0], "WITH"))
            return 0;
        return skipWithClause(
            tokens, 0, [this](std::size_t k) { return step(k); }, nullptr);
    }
    bool isName(std::size_t i) const
    {
        const Token &t = tokens[i];
        return (t.type == Token::Type::Word && !isClauseWord(t)) || t.type == Token::Type::Quoted
            || t.type == Token::Type::Bracketed;
    }
    // tokens[from, to) as "function ( [DISTINCT|ALL] name[.name[.name]] )
    // [[AS] alias]".
    ResultColumn resultColumn(std::size_t from, std::size_t to) const
    {
        ResultColumn c;
        std::size_t i = from;
        if (to - from < 4 || tokens[i].type != Token::Type::Word || !isPunct(i + 1, u'('))
            return c;
        i += 2;
        if (isKeyword(tokens[i], "DISTINCT") || isKeyword(tokens[i], "ALL"))
            ++i;
        QString argument;
        for (int part = 0; part < 3; ++part) {
            if (i >= to || !isName(i))
                return c;
            argument += tokens[i++].text;
            if (i >= to || !isPunct(i, u'.'))
                break;
            argument += tokens[i++].text;
        }
        if (i >= to || !isPunct(i, u')'))
            return c;
        ++i;
        if (i < to && isKeyword(tokens[i], "AS"))
            ++i;
        if (i < to && (isName(i) || tokens[i].type == Token::Type::String)) // the column's name
            ++i;
        if (i != to)
            return c;
        c.function = tokens[from].text.toUpper();
        c.argument = argument;
        return c;
    }
};

bool endsSelectList(const Token &t)
{
    static const char *const words[]
        = { "FROM", "WHERE", "GROUP", "HAVING", "WINDOW", "ORDER", "LIMIT", "UNION", "EXCEPT", "INTERSECT" };
    for (const char *w : words) {
        if (isKeyword(t, w))
            return true;
    }
    return t.type == Token::Type::End || (t.type == Token::Type::Punct && (t.text == u';' || t.text == u')'));
}

} // namespace

QString leadingKeyword(const QString &text)
{
    const Significant s(text);
    const Token &t = s.tokens[s.mainKeyword()];
    return t.type == Token::Type::Word ? t.text.toUpper() : QString();
}

SelectList selectList(const QString &sqliteText)
{
    const Significant s(sqliteText);
    SelectList list;
    std::size_t i = s.mainKeyword();
    if (!isKeyword(s.tokens[i], "SELECT"))
        return list;
    ++i;
    if (isKeyword(s.tokens[i], "DISTINCT") || isKeyword(s.tokens[i], "ALL"))
        ++i;
    std::vector<ResultColumn> columns;
    for (;;) {
        const std::size_t begin = i;
        while (!endsSelectList(s.tokens[i]) && !s.isPunct(i, u',')) {
            if (s.isPunct(i, u'('))
                i = s.skipGroup(i);
            else
                ++i;
        }
        if (i == begin || s.isPunct(i - 1, u'*'))
            return list; // an empty column, or every column of a table
        columns.push_back(s.resultColumn(begin, i));
        if (!s.isPunct(i, u','))
            break;
        ++i;
    }
    list.columns = std::move(columns);
    list.end = s.tokens[i].type == Token::Type::End ? sqliteText.size() : s.offsets[i];
    return list;
}

} // namespace qvx::sql
