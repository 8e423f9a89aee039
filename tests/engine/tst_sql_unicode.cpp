// Text beyond ASCII in SQL: the LIKE matcher (letters folded by Unicode,
// '%', '_' and ESCAPE as SQLite's), its check on stored bytes that must
// never rule out a text LIKE takes, UPPER and LOWER, and the collations of
// languages, as a connection of the engine has them.
#include "engine/EngineError.h"
#include "engine/sql/Functions.h"
#include "engine/sql/Like.h"

#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>

using namespace qvx;

namespace {

// One connection with the engine's functions; answers as "a|b" texts,
// NULL as <null>, an error as "error: ...".
struct Connection {
    sqlite3 *db = nullptr;
    Connection()
    {
        sqlite3_open(":memory:", &db);
        sql::registerFunctions(db);
    }
    ~Connection() { sqlite3_close(db); }
    QStringList rows(const QString &text)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, text.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            return { QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db)) };
        QStringList out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList cols;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                cols << (sqlite3_column_type(st, i) == SQLITE_NULL
                             ? QStringLiteral("<null>")
                             : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i))));
            out << cols.join(u'|');
        }
        if (rc != SQLITE_DONE)
            out = QStringList { QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db)) };
        sqlite3_finalize(st);
        return out;
    }
};

} // namespace

class SqlUnicodeTest : public QObject {
    Q_OBJECT

private slots:
    void likePattern_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("escape"); // empty for none
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("ascii in any case") << "smi%"
                                           << ""
                                           << "SMITHERS" << true;
        QTest::newRow("ascii mismatch") << "smi%"
                                        << ""
                                        << "Jones" << false;
        QTest::newRow("letters beyond ascii") << "zo\u00eb"
                                              << ""
                                              << "ZO\u00cb" << true;
        QTest::newRow("letters beyond ascii, other way") << "\u00c6R\u00d8%"
                                                         << ""
                                                         << "\u00e6r\u00f8skj\u00f8bing" << true;
        QTest::newRow("greek") << "\u03c3\u03bf\u03c6%"
                               << ""
                               << "\u03a3\u039f\u03a6\u0399\u0391" << true;
        QTest::newRow("cyrillic") << "%\u0431\u0443\u0440\u0433"
                                  << ""
                                  << "\u041f\u0415\u0422\u0415\u0420\u0411\u0423\u0420\u0413" << true;
        QTest::newRow("accents are letters of their own") << "zoe"
                                                          << ""
                                                          << "Zo\u00eb" << false;
        QTest::newRow("kelvin sign folds to k") << "k%"
                                                << ""
                                                << "\u212aelvin" << true;
        QTest::newRow("long s folds to s") << "smith"
                                           << ""
                                           << "\u017fmith" << true;
        QTest::newRow("sharp s is one letter") << "stra\u00dfe"
                                               << ""
                                               << "STRASSE" << false;
        QTest::newRow("one character of two bytes") << "z_e"
                                                    << ""
                                                    << "Z\u00d6E" << true;
        QTest::newRow("one character of four bytes") << "a_b"
                                                     << ""
                                                     << "a\U0001F600b" << true;
        QTest::newRow("one character is not two") << "a_b"
                                                  << ""
                                                  << "a\u00e9\u00e9b" << false;
        QTest::newRow("runs") << "%a%b%c%"
                              << ""
                              << "xxAyyBzzC" << true;
        QTest::newRow("runs out of order") << "%a%b%c%"
                                           << ""
                                           << "xxCyyBzzA" << false;
        QTest::newRow("backtracking") << "%aab"
                                      << ""
                                      << "aaaab" << true;
        QTest::newRow("empty pattern, empty text") << ""
                                                   << ""
                                                   << "" << true;
        QTest::newRow("empty pattern") << ""
                                       << ""
                                       << "x" << false;
        QTest::newRow("only a run") << "%"
                                    << ""
                                    << "" << true;
        QTest::newRow("escaped percent") << "10!%"
                                         << "!"
                                         << "10%" << true;
        QTest::newRow("escaped percent is literal") << "10!%"
                                                    << "!"
                                                    << "100" << false;
        QTest::newRow("escaped underscore") << "a!_b"
                                            << "!"
                                            << "a_b" << true;
        QTest::newRow("escaped underscore is literal") << "a!_b"
                                                       << "!"
                                                       << "axb" << false;
        QTest::newRow("escape beyond ascii") << "\u00e6%\u00e6_"
                                             << "\u00e6"
                                             << "%_" << true;
        QTest::newRow("escaped letter folds") << "!Z%"
                                              << "!"
                                              << "zebra" << true;
        QTest::newRow("escape at the end matches nothing") << "ab!"
                                                           << "!"
                                                           << "ab!" << false;
        QTest::newRow("no escape: a plain character") << "a!"
                                                      << ""
                                                      << "A!" << true;
    }
    void likePattern()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, escape);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        const char32_t esc = escape.isEmpty() ? 0 : escape.toUcs4().front();
        const sql::LikePattern like(pattern.toUtf8(), esc);
        QCOMPARE(like.matches(text.toUtf8()), matches);
        // The SQL function answers the same.
        Connection c;
        QString sqlText = QStringLiteral("SELECT ? LIKE ?");
        if (!escape.isEmpty())
            sqlText += QStringLiteral(" ESCAPE ?");
        sqlite3_stmt *st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(c.db, sqlText.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK);
        const QByteArray t = text.toUtf8(), p = pattern.toUtf8(), e = escape.toUtf8();
        sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, p.constData(), int(p.size()), SQLITE_TRANSIENT);
        if (!escape.isEmpty())
            sqlite3_bind_text(st, 3, e.constData(), int(e.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(st, 0), matches ? 1 : 0);
        sqlite3_finalize(st);
    }

    // The check on stored bytes (a single-byte code page that writes ASCII
    // as ASCII): a byte of 0x80 or more is a character beyond ASCII, which
    // one unknown; false only when no such character could make it match.
    void mayMatchStored_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("may");
        QTest::newRow("ascii start") << "smi%" << QByteArray("SMITHERS") << true;
        QTest::newRow("ascii start, other text") << "smi%" << QByteArray("Jones") << false;
        QTest::newRow("a letter nothing beyond ascii folds to") << "mx%" << QByteArray("M\xdc") << false;
        QTest::newRow("a letter beyond ascii") << "m\u00fc%" << QByteArray("M\xdcLLER") << true;
        QTest::newRow("k may be the kelvin sign") << "k%" << QByteArray("\xe0lvin") << true;
        QTest::newRow("s may be the long s") << "smith%" << QByteArray("\xe0mith") << true;
        QTest::newRow("one byte, one character") << "a_c%"
                                                 << QByteArray("a\xe9"
                                                               "c")
                                                 << true;
        QTest::newRow("text shorter than the start") << "smithers%" << QByteArray("Smith") << false;
    }
    void mayMatchStored()
    {
        QFETCH(QString, pattern);
        QFETCH(QByteArray, stored);
        QFETCH(bool, may);
        QCOMPARE(sql::LikePattern(pattern.toUtf8()).mayMatchStored(stored), may);
    }

    // Random patterns and Latin-1 texts: whenever LIKE takes the text, its
    // stored bytes pass the prefix check the scan makes before it.
    void storedCheckNeverRulesOutAMatch()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator rnd(seed);
        const QString letters = QStringLiteral("aAsSkKzZ\u00e6\u00c6\u00f8\u00d8\u00fc\u00dc\u00e9\u00c9%_");
        const auto pick = [&](int length, bool wildcards) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += letters[int(rnd.bounded(letters.size() - (wildcards ? 0 : 2)))];
            return s;
        };
        int matched = 0;
        for (int round = 0; round < 20000; ++round) {
            const QString pattern = pick(int(rnd.bounded(6)), true);
            const QString text = pick(int(rnd.bounded(7)), false);
            const sql::LikePattern like(pattern.toUtf8());
            if (!like.matches(text.toUtf8()))
                continue;
            ++matched;
            const auto prefix = like.prefix();
            const QByteArray stored = text.toLatin1();
            QVERIFY2(!prefix || prefix->mayMatchStored(stored),
                     qPrintable(QStringLiteral("'%1' LIKE '%2'").arg(text, pattern)));
            QVERIFY2(like.mayMatchStored(stored),
                     qPrintable(QStringLiteral("'%1' LIKE '%2'").arg(text, pattern)));
        }
        QVERIFY(matched > 100);
    }

    void functions_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("upper") << "SELECT upper('Zo\u00eb'), upper('\u00e6r\u00f8'), upper('plain')"
                               << QStringList { "ZO\u00cb|\u00c6R\u00d8|PLAIN" };
        QTest::newRow("lower")
            << "SELECT lower('ZO\u00cb'), lower('\u03a3\u039f\u03a6\u0399\u0391'), lower('PLAIN')"
            << QStringList { "zo\u00eb|\u03c3\u03bf\u03c6\u03b9\u03b1|plain" };
        QTest::newRow("upper may lengthen")
            << "SELECT upper('stra\u00dfe'), length(upper('stra\u00dfe'))" << QStringList { "STRASSE|7" };
        QTest::newRow("null and numbers")
            << "SELECT upper(NULL), lower(12.5), upper(7)" << QStringList { "<null>|12.5|7" };
        QTest::newRow("like beyond ascii")
            << "SELECT 'ZO\u00cb' LIKE 'zo\u00eb', 'Zo\u00eb' LIKE 'ZO_', 'Zoe' LIKE 'zo\u00eb'"
            << QStringList { "1|1|0" };
        QTest::newRow("like and null") << "SELECT NULL LIKE 'a', 'a' LIKE NULL, 'a' LIKE 'a' ESCAPE NULL"
                                       << QStringList { "<null>|<null>|<null>" };
        QTest::newRow("not like") << "SELECT '\u00c6R\u00d8' NOT LIKE '\u00e6r\u00f8'" << QStringList { "0" };
        QTest::newRow("like with escape")
            << "SELECT '10%' LIKE '10!%' ESCAPE '!', '100' LIKE '10!%' ESCAPE '!'" << QStringList { "1|0" };
        QTest::newRow("escape of two characters")
            << "SELECT 'a' LIKE 'a' ESCAPE '!!'"
            << QStringList { "error: ESCAPE expression must be a single character" };
        QTest::newRow("glob stays as it was")
            << "SELECT 'Zo\u00eb' GLOB 'zo*', 'Zo\u00eb' GLOB 'Zo?'" << QStringList { "0|1" };
        QTest::newRow("a language's order") << "SELECT column1 FROM (VALUES ('Zebra'), ('\u00d6lund'), "
                                               "('Olsen'), ('apple')) ORDER BY column1 COLLATE de_DE"
                                            << QStringList { "apple", "Olsen", "\u00d6lund", "Zebra" };
        QTest::newRow("another language's order") << "SELECT column1 FROM (VALUES ('Zebra'), ('\u00d6lund'), "
                                                     "('Olsen'), ('apple')) ORDER BY column1 COLLATE sv_SE"
                                                  << QStringList { "apple", "Olsen", "Zebra", "\u00d6lund" };
        QTest::newRow("binary order is kept otherwise")
            << "SELECT column1 FROM (VALUES ('Zebra'), ('\u00d6lund'), ('Olsen'), ('apple')) ORDER BY column1"
            << QStringList { "Olsen", "Zebra", "apple", "\u00d6lund" };
        QTest::newRow("comparing by a collation")
            << "SELECT '\u00d6lund' < 'Zebra' COLLATE de_DE, '\u00d6lund' < 'Zebra' COLLATE sv_SE"
            << QStringList { "1|0" };
        QTest::newRow("the user's locale")
            << "SELECT count(*) FROM (VALUES ('b'), ('a')) ORDER BY 1 COLLATE LOCALE" << QStringList { "2" };
        QTest::newRow("no such collation") << "SELECT 'a' < 'b' COLLATE NOTALOCALE"
                                           << QStringList { "error: no such collation sequence: NOTALOCALE" };
    }
    void functions()
    {
        QFETCH(QString, select);
        QFETCH(QStringList, rows);
        Connection c;
        QCOMPARE(c.rows(select), rows);
    }

    void longPatternsRefused()
    {
        Connection c;
        sqlite3_limit(c.db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 10);
        QCOMPARE(c.rows("SELECT 'a' LIKE 'aaaaaaaaaaa%'"),
                 QStringList { "error: LIKE or GLOB pattern too complex" });
    }
};

QTEST_GUILESS_MAIN(SqlUnicodeTest)
#include "tst_sql_unicode.moc"
