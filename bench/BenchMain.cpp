// One measurement per invocation, so that each starts in a fresh process
// (resident memory is then the case's own). bench/run.sh calls it repeatedly,
// takes medians and prints the ratios.
//
//   qvx_bench open50 <dir> <table> <warm-up table> [repeats]
//       opens <table> through qvx::Table and reads every field of its first 50
//       records; the warm-up table is opened and read first so one-time
//       start-up work (code pages, first allocations) is not charged to the
//       case. Prints the median time of `repeats` opens and the resident
//       memory growth (and peak growth) of the first one.
//   qvx_bench scan-table <dir> <table>   every field of every record, through the data set
//   qvx_bench scan-c <file>              the minimal C scan of the same file
//   qvx_bench load-xml <file>            ClientDataSet::loadFromFile of a data packet
//   qvx_bench read-xml <file>            a bare QXmlStreamReader pass over it
//   qvx_bench walk-xml-pugi <file>       a pugixml parse of it, walking every row's attributes
//   qvx_bench sql-ours <dir> <table> <n>    SQL statement n through Query over the table file
//   qvx_bench sql-native <dir> <table> <n>  the same statement in plain SQLite over the same rows
//                                           loaded into an SQLite table first (not timed)
//   qvx_bench first-row <dir> <table>       time to the first row of SELECT * through Query
//   qvx_bench run <program> [args...]       another program as a whole, output discarded
//   qvx_bench sql-update <dir> <table>      UPDATE of every record's QTY, on a copy of the table
//   qvx_bench lookup-ours <dir> <table>     100 lookups by NAME through Query, each a statement of its
//                                           own, over <dir>/indexed/<table> with a production index on
//                                           NAME (made once, not timed)
//   qvx_bench lookup-native <dir> <table>   the same lookups in SQLite over <dir>/indexed/<table>.sqlite,
//                                           the same rows with an index on NAME (made once), each
//                                           opening the database, running the statement and closing it
//   qvx_bench appends <dir> <table> <tags>  the table's records appended to a new dBASE IV table with
//                                           0 or 2 tags (NAME, AMOUNT), in one batch
//   qvx_bench jpeg-bare [repeats]           libjpeg alone: a generated 795 x 1008 page (white, black
//                                           text-like strokes and grid lines) encoded at quality 90
//                                           and decoded back, memory to memory; the time of one
//                                           round averaged over `repeats` (default 1)
//   qvx_bench jpeg-bare8 [repeats]          libjpeg alone: that page's JPEG (made first, not timed)
//                                           decoded at 1/8, `repeats` times (default 20)
//   qvx_bench jpeg-ours8 [repeats]          the same decodes through qvx::jpeg::decode
//
// Output: one line of key=value pairs (cpu and wall seconds, rows, ...).

#include "BaselineScans.h"

#include "engine/ClientDataSet.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/TableWriter.h"
#include "engine/Value.h"
#include "engine/image/Jpeg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Wall-clock and CPU time of one measured stretch. The ratios use CPU time:
// every case is single-threaded and reads from a warm page cache, so CPU
// time is what it costs, and unlike wall-clock time it does not count the
// time other processes on a busy machine hold the processor.
class Stopwatch {
public:
    Stopwatch() : m_wall(std::chrono::steady_clock::now()), m_cpu(cpuNow()) { }
    double wall() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count();
    }
    double cpu() const { return cpuNow() - m_cpu; }

private:
    static double cpuNow()
    {
        timespec ts {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    }
    std::chrono::steady_clock::time_point m_wall;
    double m_cpu;
};

void printTimes(double cpu, double wall)
{
    std::printf("cpu=%.9f wall=%.9f ", cpu, wall);
}

// VmRSS or VmHWM from /proc/self/status, in kB.
long statusKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::stol(line.substr(keyLength + 1));
    }
    return -1;
}

// Starts a new peak (VmHWM) from the current resident size.
void resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Reads every field of up to `limit` records from the first; returns the
// number of non-null values so the reads cannot be dropped.
qint64 readRecords(qvx::DataSet &ds, qint64 limit, qint64 &rows)
{
    qint64 nonNull = 0;
    rows = 0;
    const int fields = ds.fieldCount();
    for (ds.first(); !ds.eof() && rows < limit; ds.next()) {
        for (int i = 0; i < fields; ++i)
            nonNull += !ds.value(i).isNull();
        ++rows;
    }
    return nonNull;
}

// Counts and sums what a whole-table reader is handed, so the reads cannot
// be dropped.
class CountingSink final : public qvx::FieldSink {
public:
    qint64 values = 0;
    std::uint64_t sum = 0;
    void null() override { }
    void integer(qint64 v) override { add(std::uint64_t(v)); }
    void real(double v) override { add(std::bit_cast<std::uint64_t>(v)); }
    void text(const char *, qsizetype length) override { add(std::uint64_t(length)); }
    void boolean(bool v) override { add(v); }
    void decimal(const char *, qsizetype length) override { add(std::uint64_t(length)); }
    bool keepsDecimalText() const override { return true; }

private:
    void add(std::uint64_t v)
    {
        ++values;
        sum += v;
    }
};

// Every field of every record by the data set's whole-table path (values
// handed to a sink, the rest as QVariant), as copying and exporting read.
qint64 scanRecords(const qvx::DataSet &ds, qint64 &rows)
{
    CountingSink sink;
    qint64 nonNull = 0;
    const int fields = ds.fieldCount();
    for (rows = 0; ds.hasRecord(rows + 1); ++rows) {
        for (int i = 0; i < fields; ++i) {
            if (!ds.readFieldTo(rows + 1, i, sink))
                nonNull += !ds.readField(rows + 1, i).isNull();
        }
    }
    return nonNull + sink.values;
}

void openTable(qvx::Table &table, const QString &dir, const QString &name)
{
    table.setDatabaseName(dir);
    table.setTableName(name);
    table.open();
}

int runOpen50(const QString &dir, const QString &name, const QString &warmName, int repeats)
{
    qint64 rows = 0;
    {
        qvx::Table warm;
        openTable(warm, dir, warmName);
        readRecords(warm, 50, rows);
    }

    std::vector<double> cpuTimes, wallTimes;
    long rssGrowth = 0, peakGrowth = 0;
    qint64 values = 0;
    for (int r = 0; r < repeats; ++r) {
        long rssBefore = 0;
        if (r == 0) {
            resetPeak();
            rssBefore = statusKb("VmRSS");
        }
        const Stopwatch watch;
        qvx::Table table;
        openTable(table, dir, name);
        values = readRecords(table, 50, rows);
        cpuTimes.push_back(watch.cpu());
        wallTimes.push_back(watch.wall());
        if (r == 0) {
            rssGrowth = statusKb("VmRSS") - rssBefore;
            peakGrowth = statusKb("VmHWM") - rssBefore;
        }
    }
    printTimes(median(cpuTimes), median(wallTimes));
    std::printf("rows=%lld values=%lld rss_growth_kb=%ld peak_growth_kb=%ld\n", static_cast<long long>(rows),
                static_cast<long long>(values), rssGrowth, peakGrowth);
    return 0;
}

int runScanTable(const QString &dir, const QString &name)
{
    const Stopwatch watch;
    qvx::Table table;
    openTable(table, dir, name);
    qint64 rows = 0;
    const qint64 values = scanRecords(table, rows);
    printTimes(watch.cpu(), watch.wall());
    std::printf("rows=%lld values=%lld\n", static_cast<long long>(rows), static_cast<long long>(values));
    return 0;
}

// What a baseline scan saw, after its times.
int printScan(const Stopwatch &watch, const qvxbench::ScanResult &r)
{
    printTimes(watch.cpu(), watch.wall());
    std::printf("rows=%lld values=%lld checksum=%llu\n", static_cast<long long>(r.rows),
                static_cast<long long>(r.values), static_cast<unsigned long long>(r.checksum));
    return 0;
}

int runScanC(const char *path)
{
    const Stopwatch watch;
    const qvxbench::ScanResult r = qvxbench::scanDbfMinimal(path);
    return printScan(watch, r);
}

int runLoadXml(const QString &path)
{
    qvx::ClientDataSet cds;
    const Stopwatch watch;
    cds.loadFromFile(path);
    if (!cds.isOpen())
        cds.open();
    const qint64 rows = cds.recordCount();
    printTimes(watch.cpu(), watch.wall());
    std::printf("rows=%lld fields=%d\n", static_cast<long long>(rows), cds.fieldCount());
    return 0;
}

int runReadXml(const QString &path)
{
    const Stopwatch watch;
    const qvxbench::ScanResult r = qvxbench::scanXmlBare(path);
    return printScan(watch, r);
}

int runWalkXmlPugi(const char *path)
{
    const Stopwatch watch;
    const qvxbench::ScanResult r = qvxbench::walkXmlPugi(path);
    return printScan(watch, r);
}

// A page as the page manager previews it: white, with lines of black
// word-like strokes between light grid lines, the same every run.
constexpr int kPageWidth = 795;
constexpr int kPageHeight = 1008;

std::vector<unsigned char> pagePicture()
{
    std::vector<unsigned char> rgb(std::size_t(kPageWidth) * kPageHeight * 3, 255);
    const auto ink = [&](int x, int y, unsigned char level) {
        if (x >= 0 && x < kPageWidth && y >= 0 && y < kPageHeight) {
            unsigned char *p = &rgb[(std::size_t(y) * kPageWidth + std::size_t(x)) * 3];
            p[0] = p[1] = p[2] = level;
        }
    };
    for (int y = 40; y < kPageHeight - 40; y += 120)
        for (int x = 40; x < kPageWidth - 40; ++x)
            ink(x, y, 160);
    for (int x = 40; x < kPageWidth - 40; x += 150)
        for (int y = 40; y < kPageHeight - 40; ++y)
            ink(x, y, 160);
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int baseline = 70; baseline < kPageHeight - 50; baseline += 16) {
        int x = 50 + int(next(20));
        while (x < kPageWidth - 80) {
            const int letters = 2 + int(next(8));
            for (int l = 0; l < letters; ++l, x += 7) {
                const int tall = next(4) == 0 ? 11 : 7;
                for (int dy = 0; dy < tall; ++dy) {
                    ink(x, baseline - dy, 0);
                    ink(x + 1, baseline - dy, 0);
                }
                for (int dx = 0; dx < 5; ++dx)
                    ink(x + dx, baseline - int(next(2)) * 6, 0);
            }
            x += 6 + int(next(6));
        }
    }
    return rgb;
}

int runJpegBare(int repeats)
{
    // One encode and decode, averaged over repeats, as the page rendering
    // row compares one rendering against it.
    const std::vector<unsigned char> page = pagePicture();
    qvxbench::ScanResult r;
    const Stopwatch watch;
    for (int i = 0; i < repeats; ++i) {
        const std::vector<unsigned char> bytes = qvxbench::encodeJpegBare(page.data(), kPageWidth, kPageHeight);
        r = qvxbench::decodeJpegBare(bytes.data(), bytes.size(), 1);
    }
    printTimes(watch.cpu() / repeats, watch.wall() / repeats);
    std::printf("rows=%lld values=%lld checksum=%llu\n", static_cast<long long>(r.rows),
                static_cast<long long>(r.values), static_cast<unsigned long long>(r.checksum));
    return 0;
}

int runJpegEighth(bool ours, int repeats)
{
    const std::vector<unsigned char> page = pagePicture();
    const std::vector<unsigned char> bytes = qvxbench::encodeJpegBare(page.data(), kPageWidth, kPageHeight);
    const QByteArray jpeg(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    qvx::jpeg::DecodeOptions options;
    options.scaleDenominator = 8;
    qvxbench::ScanResult total;
    const Stopwatch watch;
    for (int i = 0; i < repeats; ++i) {
        qvxbench::ScanResult r;
        if (ours) {
            const qvx::jpeg::Picture p = qvx::jpeg::decode(jpeg, options);
            r.rows = p.height;
            r.values = std::int64_t(p.width) * p.height;
            for (const char c : p.pixels)
                r.checksum += static_cast<unsigned char>(c);
        } else {
            r = qvxbench::decodeJpegBare(bytes.data(), bytes.size(), 8);
        }
        total.rows = r.rows;
        total.values = r.values;
        total.checksum += r.checksum;
    }
    return printScan(watch, total);
}

int usage()
{
    std::fprintf(stderr,
                 "usage: qvx_bench open50 <dir> <table> <warm-up table> [repeats]\n"
                 "       qvx_bench scan-table <dir> <table>\n"
                 "       qvx_bench scan-c <file>\n"
                 "       qvx_bench load-xml <file>\n"
                 "       qvx_bench read-xml <file>\n"
                 "       qvx_bench walk-xml-pugi <file>\n"
                 "       qvx_bench sql-ours|sql-native <dir> <table> <0-4>\n"
                 "       qvx_bench first-row <dir> <table>\n"
                 "       qvx_bench run <program> [args...]\n"
                 "       qvx_bench sql-update <dir> <table>\n"
                 "       qvx_bench convert <dir> <table> <new table>\n"
                 "       qvx_bench lookup-ours|lookup-native <dir> <table>\n"
                 "       qvx_bench appends <dir> <table> <0|2>\n"
                 "       qvx_bench jpeg-bare\n"
                 "       qvx_bench jpeg-bare8|jpeg-ours8 [repeats]\n");
    return 2;
}

using namespace qvx;

// The statements the SQL ratios compare; T stands for the table.
const char *const kStatements[] = {
    "SELECT count(*) FROM T WHERE NAME LIKE 'Smi%'",
    "SELECT PAID, count(*), sum(AMOUNT) FROM T GROUP BY PAID",
    "SELECT NAME, AMOUNT FROM T ORDER BY AMOUNT DESC, NAME LIMIT 100",
    "SELECT NAME FROM T WHERE QTY = 4711",
    // A join on = with an expression: the inner table is looked up by value.
    "SELECT count(*), sum(b.QTY) FROM T a JOIN T b ON b.AMOUNT = a.AMOUNT + 1 WHERE a.QTY < 40",
};

int runSqlOurs(const QString &dir, const QString &table, int n)
{
    Query q;
    q.setSQLText(QString::fromLatin1(kStatements[n])
                     .replace(QLatin1String(" T"), QStringLiteral(" \"") + QDir(dir).filePath(table) + u'"'));
    Stopwatch watch;
    q.open();
    qint64 rows = 0;
    for (q.first(); !q.eof(); q.next())
        ++rows;
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", watch.cpu(), watch.wall(), static_cast<long long>(rows));
    return 0;
}

// Copies the records of a table into a new SQLite table T of db (not timed).
void loadIntoSqlite(Table &t, sqlite3 *db)
{
    QStringList cols, marks;
    for (const FieldDef &f : t.fields()) {
        cols << f.name;
        marks << QStringLiteral("?");
    }
    sqlite3_exec(db, QStringLiteral("CREATE TABLE T(%1)").arg(cols.join(u',')).toUtf8().constData(), nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(db,
                       QStringLiteral("INSERT INTO T VALUES(%1)").arg(marks.join(u',')).toUtf8().constData(),
                       -1, &ins, nullptr);
    for (t.first(); !t.eof(); t.next()) {
        for (int i = 0; i < t.fieldCount(); ++i) {
            const QVariant v = t.value(i);
            const ValueKind kind = valueKind(t.field(i).type);
            if (v.isNull())
                sqlite3_bind_null(ins, i + 1);
            else if (kind == ValueKind::Int || kind == ValueKind::Int64 || kind == ValueKind::Bool)
                sqlite3_bind_int64(ins, i + 1, v.toLongLong());
            else if (kind == ValueKind::Double || kind == ValueKind::Decimal)
                sqlite3_bind_double(ins, i + 1, v.toDouble());
            else
                sqlite3_bind_text(ins, i + 1, valueToText(v, t.field(i).type).toUtf8().constData(), -1,
                                  SQLITE_TRANSIENT);
        }
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

int runSqlNative(const QString &dir, const QString &table, int n)
{
    Table t;
    t.setDatabaseName(dir);
    t.setTableName(table);
    t.open();
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    loadIntoSqlite(t, db);
    sqlite3_stmt *st = nullptr;
    Stopwatch watch;
    sqlite3_prepare_v2(db, kStatements[n], -1, &st, nullptr);
    qint64 rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            sqlite3_column_value(st, i);
        ++rows;
    }
    const double cpu = watch.cpu(), wall = watch.wall();
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", cpu, wall, static_cast<long long>(rows));
    return 0;
}

// The table under <dir>/indexed/ with a production index on NAME, and the
// same rows in an SQLite database with an index on NAME; both made once.
QString indexedTable(const QString &dir, const QString &table)
{
    const QString indexedDir = QDir(dir).filePath(QStringLiteral("indexed"));
    QDir().mkpath(indexedDir);
    const QString path = QDir(indexedDir).filePath(table);
    const QString source = QDir(dir).filePath(table);
    if (!QFileInfo::exists(path) || QFileInfo(source).lastModified() > QFileInfo(path).lastModified()) {
        for (const QString &file : Table::driverFor(Table::DBase).files(path))
            QFile::remove(file);
        if (!QFile::copy(source, path))
            throw std::runtime_error("cannot copy " + source.toStdString());
        Table t;
        t.setDatabaseName(indexedDir);
        t.setTableName(table);
        IndexDef def;
        def.name = QStringLiteral("NAME");
        def.fields = QStringList { def.name };
        t.addIndex(def);
    }
    const QString native = path + QStringLiteral(".sqlite");
    if (!QFileInfo::exists(native) || QFileInfo(path).lastModified() > QFileInfo(native).lastModified()) {
        QFile::remove(native);
        Table t;
        t.setDatabaseName(dir);
        t.setTableName(table);
        t.open();
        sqlite3 *db = nullptr;
        sqlite3_open(native.toUtf8().constData(), &db);
        loadIntoSqlite(t, db);
        sqlite3_exec(db, "CREATE INDEX BYNAME ON T(NAME)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    return path;
}

// The names looked up: those of 101 records spread over the table (the
// first one warms up and is not timed).
QStringList lookupNames(const QString &path)
{
    Table t;
    t.setDatabaseName(QFileInfo(path).absolutePath());
    t.setTableName(QFileInfo(path).fileName());
    t.setReadOnly(true);
    t.open();
    QStringList names;
    const qint64 count = t.recordCount();
    for (int i = 0; i <= 100; ++i) {
        t.setRecNo(1 + count * i / 101);
        names << t.text(QStringLiteral("NAME"));
    }
    return names;
}

int runLookupOurs(const QString &dir, const QString &table)
{
    const QString path = indexedTable(dir, table);
    const QStringList names = lookupNames(path);
    qint64 rows = 0;
    const auto lookUp = [&](const QString &name) {
        Query q;
        QString quoted = name;
        q.setSQLText(QStringLiteral("SELECT * FROM \"%1\" WHERE NAME = '%2'")
                         .arg(path, quoted.replace(u'\'', QStringLiteral("''"))));
        q.open();
        for (q.first(); !q.eof(); q.next())
            ++rows;
    };
    lookUp(names.front()); // reads the index once, as a table window would
    rows = 0;
    Stopwatch watch;
    for (qsizetype i = 1; i < names.size(); ++i)
        lookUp(names[i]);
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", watch.cpu(), watch.wall(), static_cast<long long>(rows));
    return 0;
}

int runLookupNative(const QString &dir, const QString &table)
{
    const QString path = indexedTable(dir, table) + QStringLiteral(".sqlite");
    const QStringList names = lookupNames(indexedTable(dir, table));
    qint64 rows = 0;
    const auto lookUp = [&](const QString &name) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM T WHERE NAME = ?", -1, &st, nullptr);
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(st, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                sqlite3_column_value(st, i);
            ++rows;
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    };
    lookUp(names.front());
    rows = 0;
    Stopwatch watch;
    for (qsizetype i = 1; i < names.size(); ++i)
        lookUp(names[i]);
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", watch.cpu(), watch.wall(), static_cast<long long>(rows));
    return 0;
}

// Appends every record of a table to a new dBASE IV table with no tag or
// with two, in one batch as a bulk load makes them.
int runAppends(const QString &dir, const QString &table, int tags)
{
    Table source;
    source.setDatabaseName(dir);
    source.setTableName(table);
    source.setReadOnly(true);
    source.open();
    std::vector<Record> records;
    for (source.first(); !source.eof(); source.next()) {
        Record rec(std::size_t(source.fieldCount()));
        for (int i = 0; i < source.fieldCount(); ++i)
            rec[std::size_t(i)] = source.value(i);
        records.push_back(std::move(rec));
    }
    QTemporaryDir scratch;
    Table t;
    t.setDatabaseName(scratch.path());
    t.setTableName(QStringLiteral("appended.dbf"));
    for (const FieldDef &f : source.fields())
        t.addFieldDef(f.name, f.type, f.size, false, f.decimals);
    CreateOptions options;
    options.version = 0x8B;
    t.setCreateOptions(options);
    t.createTable();
    for (const char *field : { "NAME", "AMOUNT" }) {
        if (tags-- <= 0)
            break;
        IndexDef def;
        def.name = QString::fromLatin1(field);
        def.fields = QStringList { def.name };
        t.addIndex(def);
    }
    Stopwatch watch;
    t.open();
    t.beginBatch();
    for (const Record &rec : records)
        t.appendRecord(rec);
    t.commitBatch();
    t.close();
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", watch.cpu(), watch.wall(),
                static_cast<long long>(records.size()));
    return 0;
}

// The Paradox input is the dbf's records written through the engine (not
// timed): the generator writes dbf bytes only.
int runConvert(const QString &dir, const QString &table, const QString &target)
{
    Table from;
    from.setDatabaseName(dir);
    from.setTableName(table);
    from.open();
    const QString path = QDir(dir).filePath(target);
    const std::optional<WriteTarget> kind = writeTargetForFileName(path);
    if (!kind)
        return usage();
    writeDataSet(from, path, *kind);
    return 0;
}

// Runs a program with its output thrown away and reports what it cost as a
// whole (process start included): CPU and wall time and peak resident size.
int runProgram(char **argv)
{
    const Stopwatch watch;
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("cannot start a process");
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, STDOUT_FILENO);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("lost the process");
    const double wall = watch.wall();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string(argv[0]) + " failed");
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    printTimes(seconds(usage.ru_utime) + seconds(usage.ru_stime), wall);
    std::printf("peak_kb=%ld\n", usage.ru_maxrss);
    return 0;
}

// An UPDATE of every record, on a copy of the table (the copy not timed).
int runSqlUpdate(const QString &dir, const QString &table)
{
    QTemporaryDir scratch;
    const QString source = QDir(dir).filePath(table);
    const int type = Table::typeForExtension(table);
    for (const QString &file : Table::driverFor(type).files(source)) {
        const QString copy = QDir(scratch.path()).filePath(QFileInfo(file).fileName());
        if (!QFile::copy(file, copy))
            throw std::runtime_error("cannot copy " + file.toStdString());
    }
    Query q;
    q.setSQLText(QStringLiteral("UPDATE \"%1\" SET QTY = QTY + 1").arg(QDir(scratch.path()).filePath(table)));
    Stopwatch watch;
    const qint64 rows = q.execSQL();
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", watch.cpu(), watch.wall(), static_cast<long long>(rows));
    return 0;
}

int runFirstRow(const QString &dir, const QString &table)
{
    Query q;
    q.setSQLText(QStringLiteral("SELECT * FROM \"") + QDir(dir).filePath(table) + u'"');
    Stopwatch watch;
    q.open();
    const QVariant first = q.value(0);
    std::printf("cpu=%.9f wall=%.9f rows=1\n", watch.cpu(), watch.wall());
    return first.isNull() ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return usage();
    const QString what = args.at(1);
    try {
        if (what == u"jpeg-bare" && args.size() <= 3)
            return runJpegBare(args.size() == 3 ? std::max(1, args.at(2).toInt()) : 1);
        if ((what == u"jpeg-bare8" || what == u"jpeg-ours8") && args.size() <= 3)
            return runJpegEighth(what == u"jpeg-ours8",
                                 args.size() == 3 ? std::max(1, args.at(2).toInt()) : 20);
        if (args.size() < 3)
            return usage();
        if (what == u"open50" && (args.size() == 5 || args.size() == 6)) {
            const int repeats = args.size() == 6 ? std::max(1, args.at(5).toInt()) : 7;
            return runOpen50(args.at(2), args.at(3), args.at(4), repeats);
        }
        if (what == u"run" && args.size() >= 3)
            return runProgram(argv + 2);
        if (what == u"scan-table" && args.size() == 4)
            return runScanTable(args.at(2), args.at(3));
        if (what == u"scan-c" && args.size() == 3)
            return runScanC(argv[2]);
        if (what == u"load-xml" && args.size() == 3)
            return runLoadXml(args.at(2));
        if (what == u"read-xml" && args.size() == 3)
            return runReadXml(args.at(2));
        if (what == u"walk-xml-pugi" && args.size() == 3)
            return runWalkXmlPugi(argv[2]);
        const int statement = args.size() == 5 ? args.at(4).toInt() : -1;
        const bool known = statement >= 0 && statement < int(std::size(kStatements));
        if (what == u"sql-ours" && known)
            return runSqlOurs(args.at(2), args.at(3), statement);
        if (what == u"sql-native" && known)
            return runSqlNative(args.at(2), args.at(3), statement);
        if (what == u"convert" && args.size() == 5)
            return runConvert(args.at(2), args.at(3), args.at(4));
        if (what == u"sql-update" && args.size() == 4)
            return runSqlUpdate(args.at(2), args.at(3));
        if (what == u"first-row" && args.size() == 4)
            return runFirstRow(args.at(2), args.at(3));
        if (what == u"lookup-ours" && args.size() == 4)
            return runLookupOurs(args.at(2), args.at(3));
        if (what == u"lookup-native" && args.size() == 4)
            return runLookupNative(args.at(2), args.at(3));
        if (what == u"appends" && args.size() == 5)
            return runAppends(args.at(2), args.at(3), args.at(4).toInt());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qvx_bench %s: %s\n", argv[1], e.what());
        return 1;
    }
    return usage();
}
