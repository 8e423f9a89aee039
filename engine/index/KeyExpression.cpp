#include "KeyExpression.h"

#include "../EngineError.h"
#include "../formats/common/CodePage.h"

#include <QDate>
#include <QtEndian>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace qvx::index {

namespace {

constexpr int kMaxTextLength = 1024;
constexpr int kMaxNesting = 64;
constexpr int kMaxValueLength = 65535;
constexpr int kDefaultWidth = 10;

enum class Op : std::uint8_t {
    FieldChar,
    FieldNumText,
    FieldDate,
    FieldLogical,
    FieldInt,
    FieldDouble,
    FieldCurrency,
    Literal,
    Deleted,
    Concat,
    ConcatMinus,
    Add,
    Sub,
    Mul,
    Div,
    Mod,
    Negate,
    Compare,
    Contains,
    And,
    Or,
    Not,
    Upper,
    Lower,
    Dtos,
    Dtoc,
    Ctod,
    Str,
    StrZero,
    Val,
    Substr,
    Left,
    Right,
    RTrim,
    LTrim,
    AllTrim,
    PadL,
    PadR,
    Iif,
    Empty,
    Year,
    Month,
    Day,
    Int,
    Abs,
};

enum class Cmp : std::uint8_t { Eq, Exact, Ne, Lt, Le, Gt, Ge };

struct Node {
    Op op = Op::Literal;
    KeyType type = KeyType::Character;
    int length = 0; // Character: the longest value; Numeric: width as text
    int decimals = 0;
    int field = -1; // fields: index into the field list
    int offset = 0; // fields: where the bytes lie
    int width = 0;
    Cmp cmp = Cmp::Eq;
    std::array<int, 3> args { -1, -1, -1 };
    int argc = 0;
    KeyValue constant; // literals
    int size = 0; // STR, PADL, PADR: the width the call names
};

// Blank (0) unless the day is one DTOS can write: years 1 to 9999.
QDate dateOf(double day)
{
    if (!(day >= 1721426 && day <= 5373484))
        return QDate();
    return QDate::fromJulianDay(qint64(day));
}

double dayOf(int y, int m, int d)
{
    const QDate date(y, m, d);
    return date.isValid() && y >= 1 ? double(date.toJulianDay()) : 0.0;
}

int clampInt(double v, int lo, int hi)
{
    if (std::isnan(v) || v < lo)
        return lo;
    if (v > hi)
        return hi;
    return int(v);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Reads a number at p: [sign] digits [. digits] [e [sign] digits]. Returns
// the bytes read (0 when no digit was found).
int scanNumber(const char *p, int n, double &out)
{
    int i = 0;
    bool negative = false;
    if (i < n && (p[i] == '-' || p[i] == '+'))
        negative = p[i++] == '-';
    std::string text;
    int digits = 0;
    while (i < n && isDigit(p[i]))
        text.push_back(p[i++]), ++digits;
    if (i < n && p[i] == '.') {
        ++i;
        text.push_back('.');
        while (i < n && isDigit(p[i]))
            text.push_back(p[i++]), ++digits;
    }
    if (digits == 0 || text.size() > 400)
        return 0;
    if (i + 1 < n && (p[i] == 'e' || p[i] == 'E')) {
        int j = i + 1;
        std::string exp = "e";
        if (j < n && (p[j] == '-' || p[j] == '+'))
            exp.push_back(p[j++]);
        if (j < n && isDigit(p[j])) {
            while (j < n && isDigit(p[j]) && exp.size() < 8)
                exp.push_back(p[j++]);
            while (j < n && isDigit(p[j]))
                ++j;
            text += exp;
            i = j;
        }
    }
    if (text[0] == '.')
        text.insert(text.begin(), '0');
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || !std::isfinite(v))
        v = 0;
    out = negative ? -v : v;
    return i;
}

// An N or F field: its text as a number; blank or garbage reads as 0.
double fieldNumber(const char *p, int n)
{
    int i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    double v = 0;
    const int used = scanNumber(p + i, n - i, v);
    if (used == 0)
        return 0;
    for (int j = i + used; j < n; ++j) {
        if (p[j] != ' ' && p[j] != '\0')
            return 0;
    }
    return v;
}

double fieldDate(const char *p, int n)
{
    if (n < 8)
        return 0;
    int parts[3] = { 0, 0, 0 };
    const int widths[3] = { 4, 2, 2 };
    const char *q = p;
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < widths[k]; ++i, ++q) {
            if (!isDigit(*q))
                return 0;
            parts[k] = parts[k] * 10 + (*q - '0');
        }
    }
    return dayOf(parts[0], parts[1], parts[2]);
}

// STR(value, width, dec): the number rounded half away from zero to dec
// places, right-aligned; asterisks when it does not fit. Rounding works on
// the shortest decimal text that reads back as the value, so that 2.675
// (held as 2.67499...) rounds to 2.68 as written.
QByteArray formatNumber(double value, int width, int dec)
{
    const QByteArray stars(width, '*');
    if (!std::isfinite(value) || dec > width)
        return stars;
    std::string all;
    int point = 1; // digits of all before the decimal point
    if (value != 0) {
        char buf[64];
        const auto [end, ec]
            = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
        if (ec != std::errc())
            return stars;
        const char *p = buf;
        for (; p < end && *p != 'e'; ++p) {
            if (*p != '.')
                all.push_back(*p);
        }
        int exp = 0;
        if (p + 1 < end)
            std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exp);
        point = exp + 1;
        if (point > width)
            return stars;
        if (point < 1) {
            all.insert(0, std::size_t(1 - point), '0');
            point = 1;
        }
    } else {
        all = "0";
    }
    const std::size_t keep = std::size_t(point + dec);
    if (all.size() < keep + 1)
        all.append(keep + 1 - all.size(), '0');
    const bool roundUp = all[keep] >= '5';
    all.resize(keep);
    if (roundUp) {
        int i = int(keep) - 1;
        for (; i >= 0 && all[std::size_t(i)] == '9'; --i)
            all[std::size_t(i)] = '0';
        if (i >= 0) {
            ++all[std::size_t(i)];
        } else {
            all.insert(all.begin(), '1');
            ++point;
        }
    }
    const bool zero = all.find_first_not_of('0') == std::string::npos;
    std::string whole = all.substr(0, std::size_t(point));
    const std::size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? std::string("0") : whole.substr(first);
    std::string text = (value < 0 && !zero ? "-" : "") + whole;
    if (dec > 0)
        text += "." + all.substr(std::size_t(point), std::size_t(dec));
    if (int(text.size()) > width)
        return stars;
    return QByteArray(width - int(text.size()), ' ') + QByteArray(text.data(), qsizetype(text.size()));
}

// xBase string comparison: with exact off, a left operand that starts with
// the right one is equal to it ("ABC" = "AB"); exact (==) compares after
// trailing spaces. Bytes compare unsigned.
int compareText(const QByteArray &a, const QByteArray &b, bool exact)
{
    qsizetype la = a.size(), lb = b.size();
    if (exact) {
        while (la > lb && a[la - 1] == ' ')
            --la;
        while (lb > la && b[lb - 1] == ' ')
            --lb;
    }
    const qsizetype common = std::min(la, lb);
    const int c = common ? std::memcmp(a.constData(), b.constData(), std::size_t(common)) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (la == lb)
        return 0;
    if (!exact)
        return lb > la ? -1 : 0;
    return la < lb ? -1 : 1;
}

QByteArray rightTrimmed(const QByteArray &s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.left(n);
}

QByteArray leftTrimmed(const QByteArray &s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.mid(i);
}

struct FunctionInfo {
    const char *name;
    Op op;
    int minArgs;
    int maxArgs;
};

constexpr FunctionInfo kFunctions[] = {
    { "UPPER", Op::Upper, 1, 1 },     { "LOWER", Op::Lower, 1, 1 }, { "DTOS", Op::Dtos, 1, 1 },
    { "DTOC", Op::Dtoc, 1, 1 },       { "CTOD", Op::Ctod, 1, 1 },   { "STR", Op::Str, 1, 3 },
    { "STRZERO", Op::StrZero, 1, 3 }, { "VAL", Op::Val, 1, 1 },     { "SUBSTR", Op::Substr, 2, 3 },
    { "LEFT", Op::Left, 2, 2 },       { "RIGHT", Op::Right, 2, 2 }, { "TRIM", Op::RTrim, 1, 1 },
    { "RTRIM", Op::RTrim, 1, 1 },     { "LTRIM", Op::LTrim, 1, 1 }, { "ALLTRIM", Op::AllTrim, 1, 1 },
    { "PADL", Op::PadL, 2, 3 },       { "PADR", Op::PadR, 2, 3 },   { "IIF", Op::Iif, 3, 3 },
    { "DELETED", Op::Deleted, 0, 0 }, { "EMPTY", Op::Empty, 1, 1 }, { "YEAR", Op::Year, 1, 1 },
    { "MONTH", Op::Month, 1, 1 },     { "DAY", Op::Day, 1, 1 },     { "INT", Op::Int, 1, 1 },
    { "ABS", Op::Abs, 1, 1 },
};

// A function by name: the whole name, or (as dBASE reads them) a prefix of
// at least four letters.
const FunctionInfo *findFunction(const QString &name)
{
    const QString upper = name.toUpper();
    for (const FunctionInfo &f : kFunctions) {
        if (upper == QLatin1String(f.name))
            return &f;
    }
    if (upper.size() < 4)
        return nullptr;
    for (const FunctionInfo &f : kFunctions) {
        if (QLatin1String(f.name).startsWith(upper))
            return &f;
    }
    return nullptr;
}

const char *typeName(KeyType t)
{
    switch (t) {
    case KeyType::Character:
        return "character";
    case KeyType::Numeric:
        return "numeric";
    case KeyType::Date:
        return "date";
    case KeyType::Logical:
        return "logical";
    }
    return "?";
}

struct Token {
    enum Kind { End, Name, Number, String, Logical, Symbol, And, Or, Not } kind = End;
    int pos = 0;
    QString text; // Name, Symbol
    double number = 0;
    QString string;
    bool logical = false;
};

} // namespace

struct KeyExpression::Impl {
    QString text;
    std::vector<Node> nodes;
    int root = -1;
    std::array<std::uint8_t, 256> upper {};
    std::array<std::uint8_t, 256> lower {};

    KeyValue eval(int index, const char *record) const;
};

namespace {

class Parser {
public:
    Parser(const QString &text, const std::vector<ExprField> &fields, const common::TextCodec &codec,
           std::vector<Node> &nodes)
        : m_text(text), m_fields(fields), m_codec(codec), m_nodes(nodes)
    {
    }

    int parse()
    {
        if (m_text.size() > kMaxTextLength)
            throw EngineError(
                QString(), QStringLiteral("the expression is longer than %1 characters").arg(kMaxTextLength));
        tokenize();
        if (m_tokens.front().kind == Token::End)
            throw EngineError(QString(), QStringLiteral("the expression is empty"));
        const int root = parseOr();
        const Token &t = peek();
        if (t.kind != Token::End) {
            if (t.kind == Token::Symbol && t.text == QLatin1String(")"))
                fail(t.pos, QStringLiteral("unbalanced parentheses: ')' without '('"));
            fail(t.pos, QStringLiteral("unexpected text"));
        }
        return root;
    }

private:
    [[noreturn]] void fail(int pos, const QString &what) const
    {
        const QString shown = m_text.size() > 80 ? m_text.left(77) + QStringLiteral("...") : m_text;
        throw EngineError(QString(),
                          QStringLiteral("%1 at character %2 of \"%3\"").arg(what).arg(pos + 1).arg(shown));
    }

    void tokenize()
    {
        const QString &s = m_text;
        int i = 0;
        const int n = int(s.size());
        auto word = [&](int at, const char *w) {
            const int len = int(std::strlen(w));
            return at + len <= n
                && QStringView(s).mid(at, len).compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
        };
        while (true) {
            while (i < n && s[i].isSpace())
                ++i;
            Token t;
            t.pos = i;
            if (i >= n) {
                m_tokens.push_back(t);
                return;
            }
            const QChar c = s[i];
            if (isAsciiDigit(c) || (c == u'.' && i + 1 < n && isAsciiDigit(s[i + 1]))) {
                const QByteArray digits = s.mid(i).toLatin1();
                double v = 0;
                int used = 0;
                while (used < digits.size() && isDigit(digits[used]))
                    ++used;
                if (used < digits.size() - 1 && digits[used] == '.' && isDigit(digits[used + 1])) {
                    ++used;
                    while (used < digits.size() && isDigit(digits[used]))
                        ++used;
                }
                scanNumber(digits.constData(), used, v);
                t.kind = Token::Number;
                t.number = v;
                i += used;
            } else if (c == u'"' || c == u'\'' || c == u'[') {
                const QChar close = c == u'[' ? QChar(u']') : c;
                const int end = int(s.indexOf(close, i + 1));
                if (end < 0)
                    fail(i, QStringLiteral("a string is not closed"));
                t.kind = Token::String;
                t.string = s.mid(i + 1, end - i - 1);
                i = end + 1;
            } else if (c.isLetter() || c == u'_') {
                int j = i;
                while (j < n && (s[j].isLetterOrNumber() || s[j] == u'_'))
                    ++j;
                t.kind = Token::Name;
                t.text = s.mid(i, j - i);
                i = j;
            } else if (c == u'.') {
                static const struct {
                    const char *text;
                    Token::Kind kind;
                    bool value;
                } dotted[] = { { ".T.", Token::Logical, true }, { ".F.", Token::Logical, false },
                               { ".Y.", Token::Logical, true }, { ".N.", Token::Logical, false },
                               { ".AND.", Token::And, false },  { ".OR.", Token::Or, false },
                               { ".NOT.", Token::Not, false } };
                bool found = false;
                for (const auto &d : dotted) {
                    if (word(i, d.text)) {
                        t.kind = d.kind;
                        t.logical = d.value;
                        i += int(std::strlen(d.text));
                        found = true;
                        break;
                    }
                }
                if (!found)
                    fail(i, QStringLiteral("unexpected '.'"));
            } else {
                static const char *const symbols[]
                    = { "==", "<>", "!=", "<=", ">=", "->", "(", ")", ",", "+",
                        "-",  "*",  "/",  "%",  "=",  "#",  "<", ">", "$", "!" };
                bool found = false;
                for (const char *sym : symbols) {
                    if (word(i, sym)) {
                        t.kind = Token::Symbol;
                        t.text = QLatin1String(sym);
                        i += int(std::strlen(sym));
                        found = true;
                        break;
                    }
                }
                if (!found)
                    fail(i, QStringLiteral("unexpected character '%1'").arg(c));
                if (t.text == QLatin1String("!")) {
                    t.kind = Token::Not;
                }
            }
            m_tokens.push_back(t);
        }
    }

    const Token &peek() const { return m_tokens[m_at]; }
    const Token &next() { return m_tokens[m_at < m_tokens.size() - 1 ? m_at++ : m_at]; }
    bool isSymbol(const char *sym) const
    {
        return peek().kind == Token::Symbol && peek().text == QLatin1String(sym);
    }

    struct Nest {
        Parser &p;
        Nest(Parser &parser, int pos) : p(parser)
        {
            if (++p.m_depth > kMaxNesting)
                p.fail(pos, QStringLiteral("the expression nests deeper than %1 levels").arg(kMaxNesting));
        }
        ~Nest() { --p.m_depth; }
    };

    int add(Node node)
    {
        if (node.type == KeyType::Character && node.length > kMaxValueLength)
            throw EngineError(
                QString(),
                QStringLiteral("the expression gives values longer than %1 bytes").arg(kMaxValueLength));
        m_nodes.push_back(std::move(node));
        return int(m_nodes.size()) - 1;
    }

    Node &node(int i) { return m_nodes[std::size_t(i)]; }

    int binary(Op op, KeyType type, int a, int b, int length = 0, int decimals = 0)
    {
        Node n;
        n.op = op;
        n.type = type;
        n.args = { a, b, -1 };
        n.argc = 2;
        n.length = length;
        n.decimals = decimals;
        if (type == KeyType::Numeric && length == 0)
            n.length = kDefaultWidth;
        return add(n);
    }

    [[noreturn]] void mismatch(int pos, const QString &op, int a, int b)
    {
        fail(pos,
             QStringLiteral("type mismatch: %1 cannot take %2 and %3")
                 .arg(op, QLatin1String(typeName(node(a).type)), QLatin1String(typeName(node(b).type))));
    }

    int parseOr()
    {
        int left = parseAnd();
        while (peek().kind == Token::Or) {
            const int pos = next().pos;
            const int right = parseAnd();
            if (node(left).type != KeyType::Logical || node(right).type != KeyType::Logical)
                mismatch(pos, QStringLiteral(".OR."), left, right);
            left = binary(Op::Or, KeyType::Logical, left, right, 1);
        }
        return left;
    }

    int parseAnd()
    {
        int left = parseNot();
        while (peek().kind == Token::And) {
            const int pos = next().pos;
            const int right = parseNot();
            if (node(left).type != KeyType::Logical || node(right).type != KeyType::Logical)
                mismatch(pos, QStringLiteral(".AND."), left, right);
            left = binary(Op::And, KeyType::Logical, left, right, 1);
        }
        return left;
    }

    int parseNot()
    {
        if (peek().kind != Token::Not)
            return parseRelation();
        const int pos = next().pos;
        Nest nest(*this, pos);
        const int a = parseNot();
        if (node(a).type != KeyType::Logical)
            fail(pos,
                 QStringLiteral("type mismatch: .NOT. needs a logical value, not %1")
                     .arg(QLatin1String(typeName(node(a).type))));
        Node n;
        n.op = Op::Not;
        n.type = KeyType::Logical;
        n.length = 1;
        n.args[0] = a;
        n.argc = 1;
        return add(n);
    }

    int parseRelation()
    {
        int left = parseSum();
        while (peek().kind == Token::Symbol) {
            static const struct {
                const char *text;
                Cmp cmp;
            } ops[] = { { "=", Cmp::Eq },  { "==", Cmp::Exact }, { "#", Cmp::Ne },
                        { "<>", Cmp::Ne }, { "!=", Cmp::Ne },    { "<", Cmp::Lt },
                        { "<=", Cmp::Le }, { ">", Cmp::Gt },     { ">=", Cmp::Ge } };
            const QString sym = peek().text;
            const int pos = peek().pos;
            if (sym == QLatin1String("$")) {
                next();
                const int right = parseSum();
                if (node(left).type != KeyType::Character || node(right).type != KeyType::Character)
                    mismatch(pos, sym, left, right);
                left = binary(Op::Contains, KeyType::Logical, left, right, 1);
                continue;
            }
            const auto *op = std::find_if(std::begin(ops), std::end(ops),
                                          [&](const auto &o) { return sym == QLatin1String(o.text); });
            if (op == std::end(ops))
                break;
            next();
            const int right = parseSum();
            if (node(left).type != node(right).type)
                mismatch(pos, sym, left, right);
            left = binary(Op::Compare, KeyType::Logical, left, right, 1);
            node(left).cmp = op->cmp;
        }
        return left;
    }

    int parseSum()
    {
        int left = parseProduct();
        while (isSymbol("+") || isSymbol("-")) {
            const Token t = next();
            const bool plus = t.text == QLatin1String("+");
            const int right = parseProduct();
            const KeyType a = node(left).type, b = node(right).type;
            if (a == KeyType::Character && b == KeyType::Character)
                left = binary(plus ? Op::Concat : Op::ConcatMinus, KeyType::Character, left, right,
                              node(left).length + node(right).length);
            else if (a == KeyType::Numeric && b == KeyType::Numeric)
                left = binary(plus ? Op::Add : Op::Sub, KeyType::Numeric, left, right);
            else if (a == KeyType::Date && b == KeyType::Numeric)
                left = binary(plus ? Op::Add : Op::Sub, KeyType::Date, left, right, 8);
            else if (plus && a == KeyType::Numeric && b == KeyType::Date)
                left = binary(Op::Add, KeyType::Date, left, right, 8);
            else if (!plus && a == KeyType::Date && b == KeyType::Date)
                left = binary(Op::Sub, KeyType::Numeric, left, right);
            else
                mismatch(t.pos, t.text, left, right);
        }
        return left;
    }

    int parseProduct()
    {
        int left = parseUnary();
        while (isSymbol("*") || isSymbol("/") || isSymbol("%")) {
            const Token t = next();
            const int right = parseUnary();
            if (node(left).type != KeyType::Numeric || node(right).type != KeyType::Numeric)
                mismatch(t.pos, t.text, left, right);
            const Op op = t.text == QLatin1String("*") ? Op::Mul
                : t.text == QLatin1String("/")         ? Op::Div
                                                       : Op::Mod;
            left = binary(op, KeyType::Numeric, left, right);
        }
        return left;
    }

    int parseUnary()
    {
        if (!isSymbol("-") && !isSymbol("+"))
            return parsePrimary();
        const Token t = next();
        Nest nest(*this, t.pos);
        const int a = parseUnary();
        if (node(a).type != KeyType::Numeric)
            fail(t.pos,
                 QStringLiteral("type mismatch: unary %1 needs a number, not %2")
                     .arg(t.text, QLatin1String(typeName(node(a).type))));
        if (t.text == QLatin1String("+"))
            return a;
        if (node(a).op == Op::Literal) {
            node(a).constant.number = -node(a).constant.number;
            return a;
        }
        Node n = node(a);
        n.op = Op::Negate;
        n.field = -1;
        n.args = { a, -1, -1 };
        n.argc = 1;
        return add(n);
    }

    int literal(KeyValue v, int length)
    {
        Node n;
        n.op = Op::Literal;
        n.type = v.type;
        n.length = length;
        n.constant = std::move(v);
        return add(n);
    }

    int parsePrimary()
    {
        const Token t = next();
        switch (t.kind) {
        case Token::Number: {
            KeyValue v;
            v.type = KeyType::Numeric;
            v.number = t.number;
            return literal(v, kDefaultWidth);
        }
        case Token::String: {
            KeyValue v;
            v.type = KeyType::Character;
            try {
                v.text = m_codec.encode(t.string, QString(), QString());
            } catch (const EngineError &) {
                fail(
                    t.pos,
                    QStringLiteral("the string has characters code page %1 cannot hold").arg(m_codec.name()));
            }
            const int length = int(v.text.size());
            return literal(v, length);
        }
        case Token::Logical: {
            KeyValue v;
            v.type = KeyType::Logical;
            v.logical = t.logical;
            return literal(v, 1);
        }
        case Token::Name:
            if (isSymbol("("))
                return parseCall(t);
            if (isSymbol("->")) {
                next();
                const Token f = next();
                if (f.kind != Token::Name)
                    fail(f.pos, QStringLiteral("a field name should follow '->'"));
                return fieldNode(f);
            }
            return fieldNode(t);
        case Token::Symbol:
            if (t.text == QLatin1String("(")) {
                Nest nest(*this, t.pos);
                const int inner = parseOr();
                if (!isSymbol(")"))
                    fail(peek().pos, QStringLiteral("unbalanced parentheses: ')' expected"));
                next();
                return inner;
            }
            break;
        case Token::End:
            fail(t.pos, QStringLiteral("the expression ends where a value should follow"));
        default:
            break;
        }
        fail(t.pos, QStringLiteral("a value was expected"));
    }

    int fieldNode(const Token &t)
    {
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            const ExprField &f = m_fields[i];
            if (f.name.compare(t.text, Qt::CaseInsensitive) != 0)
                continue;
            Node n;
            n.field = int(i);
            n.offset = f.offset;
            n.width = f.length;
            n.decimals = f.decimals;
            n.length = f.length;
            const char type = char(QChar::toUpper(char16_t(uchar(f.type))));
            auto needWidth = [&](int w) {
                if (f.length != w)
                    fail(t.pos,
                         QStringLiteral("field %1 of type %2 is %3 bytes long, not %4")
                             .arg(f.name, QChar(type))
                             .arg(f.length)
                             .arg(w));
            };
            switch (type) {
            case 'C':
                n.op = Op::FieldChar;
                n.type = KeyType::Character;
                n.decimals = 0;
                break;
            case 'N':
            case 'F':
                n.op = Op::FieldNumText;
                n.type = KeyType::Numeric;
                break;
            case 'D':
                n.op = Op::FieldDate;
                n.type = KeyType::Date;
                n.length = 8;
                n.decimals = 0;
                break;
            case 'L':
                n.op = Op::FieldLogical;
                n.type = KeyType::Logical;
                n.length = 1;
                n.decimals = 0;
                break;
            case 'I':
                needWidth(4);
                n.op = Op::FieldInt;
                n.type = KeyType::Numeric;
                n.length = 11;
                n.decimals = 0;
                break;
            case 'B':
                needWidth(8);
                n.op = Op::FieldDouble;
                n.type = KeyType::Numeric;
                n.length = 20;
                break;
            case 'Y':
                needWidth(8);
                n.op = Op::FieldCurrency;
                n.type = KeyType::Numeric;
                n.length = 20;
                n.decimals = 4;
                break;
            default:
                fail(t.pos,
                     QStringLiteral("field %1 of type %2 cannot be part of a key").arg(f.name, QChar(type)));
            }
            if (f.length < 0 || f.offset < 0)
                fail(t.pos, QStringLiteral("field %1 has no place in the record").arg(f.name));
            return add(n);
        }
        fail(t.pos, QStringLiteral("unknown field \"%1\"").arg(t.text));
    }

    // A number written out in the expression (a width, a count), or nothing.
    const KeyValue *constantNumber(int i)
    {
        return i >= 0 && node(i).op == Op::Literal && node(i).type == KeyType::Numeric ? &node(i).constant
                                                                                       : nullptr;
    }

    int parseCall(const Token &name)
    {
        const FunctionInfo *f = findFunction(name.text);
        if (!f) {
            if (name.text.compare(QLatin1String("RECNO"), Qt::CaseInsensitive) == 0)
                fail(name.pos,
                     QStringLiteral("RECNO() cannot be part of a key: a key must not depend on where a "
                                    "record lies"));
            fail(name.pos, QStringLiteral("unknown function %1()").arg(name.text.toUpper()));
        }
        const QString fname = QLatin1String(f->name);
        Nest nest(*this, name.pos);
        next(); // (
        std::vector<int> args;
        if (!isSymbol(")")) {
            while (true) {
                args.push_back(parseOr());
                if (isSymbol(",")) {
                    next();
                    continue;
                }
                break;
            }
        }
        if (!isSymbol(")"))
            fail(peek().pos,
                 QStringLiteral("unbalanced parentheses: ')' expected after the arguments of %1()")
                     .arg(fname));
        next();
        const int argc = int(args.size());
        if (argc < f->minArgs || argc > f->maxArgs)
            fail(name.pos,
                 QStringLiteral("%1() takes %2 to %3 arguments, not %4")
                     .arg(fname)
                     .arg(f->minArgs)
                     .arg(f->maxArgs)
                     .arg(argc));
        auto need = [&](int k, KeyType type) {
            if (node(args[std::size_t(k)]).type != type)
                fail(name.pos,
                     QStringLiteral("type mismatch: argument %1 of %2() must be %3, not %4")
                         .arg(k + 1)
                         .arg(fname, QLatin1String(typeName(type)),
                              QLatin1String(typeName(node(args[std::size_t(k)]).type))));
        };
        auto constant = [&](int k, int lo, int hi) {
            const KeyValue *v = constantNumber(args[std::size_t(k)]);
            if (!v)
                fail(
                    name.pos,
                    QStringLiteral("argument %1 of %2() must be a number written out").arg(k + 1).arg(fname));
            if (!(v->number >= lo && v->number <= hi))
                fail(name.pos,
                     QStringLiteral("argument %1 of %2() must lie between %3 and %4")
                         .arg(k + 1)
                         .arg(fname)
                         .arg(lo)
                         .arg(hi));
            return int(v->number);
        };
        Node n;
        n.op = f->op;
        n.argc = argc;
        for (int k = 0; k < argc; ++k)
            n.args[std::size_t(k)] = args[std::size_t(k)];
        const int srcLength = argc > 0 ? node(args[0]).length : 0;
        auto setType = [&](KeyType type, int length, int decimals = 0) {
            n.type = type;
            n.length = length;
            n.decimals = decimals;
        };
        switch (f->op) {
        case Op::Upper:
        case Op::Lower:
        case Op::RTrim:
        case Op::LTrim:
        case Op::AllTrim:
            need(0, KeyType::Character);
            setType(KeyType::Character, srcLength);
            if (f->op == Op::Upper || f->op == Op::Lower)
                m_usesCase = true;
            break;
        case Op::Dtos:
        case Op::Dtoc:
            need(0, KeyType::Date);
            setType(KeyType::Character, 8);
            break;
        case Op::Ctod:
            need(0, KeyType::Character);
            setType(KeyType::Date, 8);
            break;
        case Op::Str:
        case Op::StrZero: {
            need(0, KeyType::Numeric);
            n.size = argc > 1 ? constant(1, 1, 255) : kDefaultWidth;
            n.decimals = argc > 2 ? constant(2, 0, 255) : 0;
            const int decimals = n.decimals;
            setType(KeyType::Character, n.size);
            n.decimals = decimals;
            break;
        }
        case Op::Val:
            need(0, KeyType::Character);
            setType(KeyType::Numeric, kDefaultWidth);
            break;
        case Op::Substr: {
            need(0, KeyType::Character);
            need(1, KeyType::Numeric);
            if (argc > 2)
                need(2, KeyType::Numeric);
            int length = srcLength;
            const KeyValue *count = argc > 2 ? constantNumber(args[2]) : nullptr;
            const KeyValue *start = constantNumber(args[1]);
            if (count)
                length = clampInt(count->number, 0, srcLength);
            else if (start && argc == 2) {
                const int s = clampInt(start->number, -kMaxValueLength, kMaxValueLength);
                length = s >= 1 ? std::max(srcLength - s + 1, 0)
                    : s < 0     ? std::min(-s, srcLength)
                                : srcLength;
            }
            setType(KeyType::Character, length);
            break;
        }
        case Op::Left:
        case Op::Right: {
            need(0, KeyType::Character);
            need(1, KeyType::Numeric);
            const KeyValue *count = constantNumber(args[1]);
            setType(KeyType::Character, count ? clampInt(count->number, 0, srcLength) : srcLength);
            break;
        }
        case Op::PadL:
        case Op::PadR:
            need(0, KeyType::Character);
            if (argc > 2)
                need(2, KeyType::Character);
            n.size = constant(1, 0, kMaxValueLength);
            setType(KeyType::Character, n.size);
            break;
        case Op::Iif: {
            need(0, KeyType::Logical);
            const Node &a = node(args[1]);
            const Node &b = node(args[2]);
            if (a.type != b.type)
                fail(name.pos,
                     QStringLiteral("type mismatch: the branches of IIF() are %1 and %2")
                         .arg(QLatin1String(typeName(a.type)), QLatin1String(typeName(b.type))));
            setType(a.type, std::max(a.length, b.length), std::max(a.decimals, b.decimals));
            break;
        }
        case Op::Deleted:
            setType(KeyType::Logical, 1);
            break;
        case Op::Empty:
            setType(KeyType::Logical, 1);
            break;
        case Op::Year:
        case Op::Month:
        case Op::Day:
            need(0, KeyType::Date);
            setType(KeyType::Numeric, kDefaultWidth);
            break;
        case Op::Int:
        case Op::Abs:
            need(0, KeyType::Numeric);
            setType(KeyType::Numeric, node(args[0]).length, f->op == Op::Int ? 0 : node(args[0]).decimals);
            break;
        default:
            break;
        }
        return add(n);
    }

public:
    bool m_usesCase = false;

private:
    const QString &m_text;
    const std::vector<ExprField> &m_fields;
    const common::TextCodec &m_codec;
    std::vector<Node> &m_nodes;
    std::vector<Token> m_tokens;
    std::size_t m_at = 0;
    int m_depth = 0;
};

} // namespace

KeyValue KeyExpression::Impl::eval(int index, const char *record) const
{
    const Node &n = nodes[std::size_t(index)];
    KeyValue v;
    v.type = n.type;
    auto arg = [&](int k) { return eval(n.args[std::size_t(k)], record); };
    const char *at = record + n.offset;
    switch (n.op) {
    case Op::FieldChar:
        v.text = QByteArray(at, n.width);
        break;
    case Op::FieldNumText:
        v.number = fieldNumber(at, n.width);
        break;
    case Op::FieldDate:
        v.number = fieldDate(at, n.width);
        break;
    case Op::FieldLogical:
        v.logical = n.width > 0 && std::strchr("TtYy", *at) && *at;
        break;
    case Op::FieldInt:
        v.number = qFromLittleEndian<qint32>(at);
        break;
    case Op::FieldDouble: {
        const double d = std::bit_cast<double>(qFromLittleEndian<quint64>(at));
        v.number = std::isfinite(d) ? d : 0;
        break;
    }
    case Op::FieldCurrency:
        v.number = double(qFromLittleEndian<qint64>(at)) / 10000.0;
        break;
    case Op::Literal:
        v = n.constant;
        break;
    case Op::Deleted:
        v.logical = record[0] == '*';
        break;
    case Op::Concat:
        v.text = arg(0).text + arg(1).text;
        break;
    case Op::ConcatMinus: {
        // The left operand's trailing spaces move to the end.
        const QByteArray a = arg(0).text;
        const QByteArray trimmed = rightTrimmed(a);
        v.text = trimmed + arg(1).text + QByteArray(a.size() - trimmed.size(), ' ');
        break;
    }
    case Op::Add:
        v.number = arg(0).number + arg(1).number;
        break;
    case Op::Sub:
        v.number = arg(0).number - arg(1).number;
        break;
    case Op::Mul:
        v.number = arg(0).number * arg(1).number;
        break;
    case Op::Div: {
        const double b = arg(1).number;
        v.number = b == 0 ? 0 : arg(0).number / b;
        break;
    }
    case Op::Mod: {
        const double b = arg(1).number;
        v.number = b == 0 ? 0 : std::fmod(arg(0).number, b);
        break;
    }
    case Op::Negate:
        v.number = -arg(0).number;
        break;
    case Op::Compare: {
        const KeyValue a = arg(0), b = arg(1);
        int c = 0;
        switch (nodes[std::size_t(n.args[0])].type) {
        case KeyType::Character:
            c = compareText(a.text, b.text, n.cmp == Cmp::Exact);
            break;
        case KeyType::Logical:
            c = int(a.logical) - int(b.logical);
            break;
        default:
            c = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
            break;
        }
        switch (n.cmp) {
        case Cmp::Eq:
        case Cmp::Exact:
            v.logical = c == 0;
            break;
        case Cmp::Ne:
            v.logical = c != 0;
            break;
        case Cmp::Lt:
            v.logical = c < 0;
            break;
        case Cmp::Le:
            v.logical = c <= 0;
            break;
        case Cmp::Gt:
            v.logical = c > 0;
            break;
        case Cmp::Ge:
            v.logical = c >= 0;
            break;
        }
        break;
    }
    case Op::Contains: {
        const QByteArray a = arg(0).text;
        v.logical = !a.isEmpty() && arg(1).text.contains(a);
        break;
    }
    case Op::And:
        v.logical = arg(0).logical && arg(1).logical;
        break;
    case Op::Or:
        v.logical = arg(0).logical || arg(1).logical;
        break;
    case Op::Not:
        v.logical = !arg(0).logical;
        break;
    case Op::Upper:
    case Op::Lower: {
        v.text = arg(0).text;
        const auto &table = n.op == Op::Upper ? upper : lower;
        for (char &c : v.text)
            c = char(table[std::uint8_t(c)]);
        break;
    }
    case Op::Dtos: {
        const QDate d = dateOf(arg(0).number);
        v.text = d.isValid()
            ? QByteArray::number(d.year() * 10000 + d.month() * 100 + d.day()).rightJustified(8, '0')
            : QByteArray(8, ' ');
        break;
    }
    case Op::Dtoc: {
        const QDate d = dateOf(arg(0).number);
        if (!d.isValid()) {
            v.text = "  /  /  ";
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.month(), d.day(), d.year() % 100);
            v.text = buf;
        }
        break;
    }
    case Op::Ctod: {
        // MM/DD/YY or MM/DD/YYYY; a two-digit year is of the 1900s.
        const QByteArray s = arg(0).text;
        int parts[3] = { 0, 0, 0 };
        int k = -1;
        bool inDigits = false;
        for (char c : s) {
            if (isDigit(c)) {
                if (!inDigits && ++k > 2)
                    break;
                inDigits = true;
                if (parts[k] < 100000)
                    parts[k] = parts[k] * 10 + (c - '0');
            } else {
                inDigits = false;
            }
        }
        if (k >= 2)
            v.number = dayOf(parts[2] < 100 ? parts[2] + 1900 : parts[2], parts[0], parts[1]);
        break;
    }
    case Op::Str:
    case Op::StrZero:
        v.text = formatNumber(arg(0).number, n.size, n.decimals);
        if (n.op == Op::StrZero && !v.text.startsWith('*')) {
            const qsizetype minus = v.text.indexOf('-');
            for (char &c : v.text) {
                if (c == ' ')
                    c = '0';
            }
            if (minus > 0) {
                v.text[minus] = '0';
                v.text[0] = '-';
            }
        }
        break;
    case Op::Val: {
        const QByteArray s = arg(0).text;
        qsizetype i = 0;
        while (i < s.size() && s[i] == ' ')
            ++i;
        scanNumber(s.constData() + i, int(s.size() - i), v.number);
        break;
    }
    case Op::Substr: {
        const QByteArray s = arg(0).text;
        const int size = int(s.size());
        int start = clampInt(arg(1).number, -kMaxValueLength, kMaxValueLength);
        if (start < 0)
            start = std::max(size + start + 1, 1);
        else if (start == 0)
            start = 1;
        int count = n.argc > 2 ? clampInt(arg(2).number, 0, kMaxValueLength) : kMaxValueLength;
        v.text = start > size ? QByteArray() : s.mid(start - 1, count);
        break;
    }
    case Op::Left:
        v.text = arg(0).text.left(clampInt(arg(1).number, 0, kMaxValueLength));
        break;
    case Op::Right:
        v.text = arg(0).text.right(clampInt(arg(1).number, 0, kMaxValueLength));
        break;
    case Op::RTrim:
        v.text = rightTrimmed(arg(0).text);
        break;
    case Op::LTrim:
        v.text = leftTrimmed(arg(0).text);
        break;
    case Op::AllTrim:
        v.text = leftTrimmed(rightTrimmed(arg(0).text));
        break;
    case Op::PadL:
    case Op::PadR: {
        const QByteArray s = arg(0).text;
        char fill = ' ';
        if (n.argc > 2) {
            const QByteArray f = arg(2).text;
            if (!f.isEmpty())
                fill = f[0];
        }
        if (s.size() >= n.size)
            v.text = s.left(n.size);
        else if (n.op == Op::PadL)
            v.text = QByteArray(n.size - s.size(), fill) + s;
        else
            v.text = s + QByteArray(n.size - s.size(), fill);
        break;
    }
    case Op::Iif:
        v = arg(0).logical ? arg(1) : arg(2);
        v.type = n.type;
        break;
    case Op::Empty: {
        const KeyValue a = arg(0);
        switch (nodes[std::size_t(n.args[0])].type) {
        case KeyType::Character:
            v.logical = std::all_of(a.text.begin(), a.text.end(),
                                    [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
            break;
        case KeyType::Logical:
            v.logical = !a.logical;
            break;
        default:
            v.logical = a.number == 0;
            break;
        }
        break;
    }
    case Op::Year:
    case Op::Month:
    case Op::Day: {
        const QDate d = dateOf(arg(0).number);
        if (d.isValid())
            v.number = n.op == Op::Year ? d.year() : n.op == Op::Month ? d.month() : d.day();
        break;
    }
    case Op::Int:
        v.number = std::trunc(arg(0).number);
        break;
    case Op::Abs:
        v.number = std::fabs(arg(0).number);
        break;
    }
    return v;
}

KeyExpression::KeyExpression(const QString &text, const std::vector<ExprField> &fields,
                             const common::TextCodec &codec)
    : d(std::make_unique<Impl>())
{
    d->text = text;
    Parser parser(d->text, fields, codec, d->nodes);
    d->root = parser.parse();
    for (int b = 0; b < 256; ++b) {
        d->upper[std::size_t(b)] = std::uint8_t(b >= 'a' && b <= 'z' ? b - 32 : b);
        d->lower[std::size_t(b)] = std::uint8_t(b >= 'A' && b <= 'Z' ? b + 32 : b);
    }
    // The code page's own letters, when each is one byte: a letter whose
    // other case has no byte of its own keeps its byte.
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    if (parser.m_usesCase && codec.decode(all).size() == 256) {
        for (int b = 0x80; b < 256; ++b) {
            const char byte = char(b);
            const QString ch = codec.decode(QByteArrayView(&byte, 1));
            const QString changed[2] = { ch.toUpper(), ch.toLower() };
            std::array<std::uint8_t, 256> *tables[2] = { &d->upper, &d->lower };
            for (int k = 0; k < 2; ++k) {
                if (changed[k].size() != 1 || changed[k] == ch)
                    continue;
                try {
                    const QByteArray out = codec.encode(changed[k], QString(), QString());
                    if (out.size() == 1)
                        (*tables[k])[std::size_t(b)] = std::uint8_t(out[0]);
                } catch (const EngineError &) {
                }
            }
        }
    }
}

KeyExpression::~KeyExpression() = default;
KeyExpression::KeyExpression(KeyExpression &&) noexcept = default;
KeyExpression &KeyExpression::operator=(KeyExpression &&) noexcept = default;

const QString &KeyExpression::text() const
{
    return d->text;
}
KeyType KeyExpression::type() const
{
    return d->nodes[std::size_t(d->root)].type;
}
int KeyExpression::length() const
{
    return d->nodes[std::size_t(d->root)].length;
}
int KeyExpression::decimals() const
{
    const Node &n = d->nodes[std::size_t(d->root)];
    return n.type == KeyType::Numeric ? n.decimals : 0;
}

int KeyExpression::singleField() const
{
    const Node &n = d->nodes[std::size_t(d->root)];
    return n.op >= Op::FieldChar && n.op <= Op::FieldCurrency ? n.field : -1;
}

KeyValue KeyExpression::evaluate(const char *record) const
{
    KeyValue v = d->eval(d->root, record);
    const Node &n = d->nodes[std::size_t(d->root)];
    v.type = n.type;
    if (n.type == KeyType::Character) {
        if (v.text.size() < n.length)
            v.text.append(QByteArray(n.length - v.text.size(), ' '));
        else
            v.text.truncate(n.length);
    } else if (!std::isfinite(v.number) || (n.type == KeyType::Date && v.number < 0)) {
        v.number = 0;
    }
    return v;
}

bool KeyExpression::test(const char *record) const
{
    return type() == KeyType::Logical && d->eval(d->root, record).logical;
}

} // namespace qvx::index
