#include "Functions.h"

#include "../EngineError.h"
#include "Like.h"

#include <QCollator>
#include <QLocale>
#include <QString>

#include <sqlite3.h>

#include <string>

namespace qvx::sql {

namespace {

bool isAscii(const unsigned char *text, int length)
{
    for (int i = 0; i < length; ++i) {
        if (text[i] >= 0x80)
            return false;
    }
    return true;
}

// upper(X) and lower(X): NULL stays NULL, anything else is taken as text.
template<bool Upper> void changeCase(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const unsigned char *text = sqlite3_value_text(argv[0]);
    if (!text)
        return;
    const int length = sqlite3_value_bytes(argv[0]);
    if (isAscii(text, length)) {
        std::string out(reinterpret_cast<const char *>(text), std::size_t(length));
        for (char &c : out) {
            if (Upper && c >= 'a' && c <= 'z')
                c = char(c - 32);
            else if (!Upper && c >= 'A' && c <= 'Z')
                c = char(c + 32);
        }
        sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(text), length);
    const QByteArray out = (Upper ? s.toUpper() : s.toLower()).toUtf8();
    sqlite3_result_text64(ctx, out.constData(), sqlite3_uint64(out.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// A pattern kept between the rows of one statement while it is a constant.
struct KeptPattern {
    LikePattern pattern;
    char32_t escape;
};

// like(Y, X [, Z]) is X LIKE Y [ESCAPE Z], with SQLite's errors and NULLs.
void like(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    const unsigned char *pattern = sqlite3_value_text(argv[0]);
    const int patternLength = sqlite3_value_bytes(argv[0]);
    const unsigned char *text = sqlite3_value_text(argv[1]);
    const int textLength = sqlite3_value_bytes(argv[1]);
    if (!pattern || !text)
        return;
    if (patternLength > sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(ctx, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const unsigned char *e = sqlite3_value_text(argv[2]);
        if (!e)
            return;
        const char *p = reinterpret_cast<const char *>(e);
        const char *end = p + sqlite3_value_bytes(argv[2]);
        if (p != end)
            escape = readUtf8(p, end);
        if (escape == 0 || p != end) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    const QByteArrayView textView(reinterpret_cast<const char *>(text), textLength);
    if (const auto *kept = static_cast<const KeptPattern *>(sqlite3_get_auxdata(ctx, 0));
        kept && kept->escape == escape) {
        sqlite3_result_int(ctx, kept->pattern.matches(textView) ? 1 : 0);
        return;
    }
    auto *fresh = new KeptPattern {
        LikePattern(QByteArrayView(reinterpret_cast<const char *>(pattern), patternLength), escape), escape
    };
    // Answered before SQLite is given the pattern: it may drop it at once.
    sqlite3_result_int(ctx, fresh->pattern.matches(textView) ? 1 : 0);
    sqlite3_set_auxdata(ctx, 0, fresh, [](void *p) { delete static_cast<KeptPattern *>(p); });
}

int collate(void *collator, int lengthA, const void *a, int lengthB, const void *b)
{
    return static_cast<const QCollator *>(collator)->compare(
        QString::fromUtf8(static_cast<const char *>(a), lengthA),
        QString::fromUtf8(static_cast<const char *>(b), lengthB));
}

void addCollation(sqlite3 *db, const char *name, const QLocale &locale)
{
    sqlite3_create_collation_v2(db, name, SQLITE_UTF8, new QCollator(locale), collate,
                                [](void *p) { delete static_cast<QCollator *>(p); });
}

// COLLATE de_DE and the like: made the first time a statement names one.
void collationNeeded(void *, sqlite3 *db, int, const char *name)
{
    const QLocale locale(QString::fromUtf8(name));
    if (locale.language() != QLocale::C)
        addCollation(db, name, locale);
}

} // namespace

void registerFunctions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    const bool ok = sqlite3_create_function_v2(db, "upper", 1, flags, nullptr, changeCase<true>, nullptr,
                                               nullptr, nullptr)
            == SQLITE_OK
        && sqlite3_create_function_v2(db, "lower", 1, flags, nullptr, changeCase<false>, nullptr, nullptr,
                                      nullptr)
            == SQLITE_OK
        && sqlite3_create_function_v2(db, "like", 2, flags, nullptr, like, nullptr, nullptr, nullptr)
            == SQLITE_OK
        && sqlite3_create_function_v2(db, "like", 3, flags, nullptr, like, nullptr, nullptr, nullptr)
            == SQLITE_OK;
    if (!ok)
        throw EngineError(
            QStringLiteral("Cannot prepare SQL: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    addCollation(db, "LOCALE", QLocale());
    sqlite3_collation_needed(db, nullptr, collationNeeded);
}

} // namespace qvx::sql
