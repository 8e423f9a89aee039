// Replacing and deleting tables that others use: a table held open for
// writing by another program is neither replaced (TableWriter) nor deleted
// (Table::deleteTable), a file read-only on disk is not replaced and a
// replaced file keeps its mode, and a failed whole-file write names the
// file, not the hidden temporary beside it.
#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TableWriter.h"
#include "engine/formats/ascii/AsciiTable.h"
#include "engine/io/File.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace qvx;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// SEQ, TEXT and, where the format has memos, NOTE: what qvx_hold_table fills.
template<typename T> void addFields(T &ds, bool memo)
{
    ds.addFieldDef(QStringLiteral("SEQ"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("TEXT"), FieldType::String, 20);
    if (memo)
        ds.addFieldDef(QStringLiteral("NOTE"), FieldType::Memo);
}

void createTable(const QString &path, int type, int version, bool memo)
{
    Table t;
    t.setTableName(path);
    t.setTableType(type);
    addFields(t, memo);
    CreateOptions options;
    options.version = version;
    t.setCreateOptions(options);
    t.createTable();
}

// A packet of `rows` records to write over a table.
void fillSource(ClientDataSet &cds, bool memo, int rows, int firstSeq)
{
    addFields(cds, memo);
    cds.createDataSet();
    for (int i = 0; i < rows; ++i) {
        cds.append();
        cds.setValue(0, firstSeq + i);
        cds.setValue(1, QStringLiteral("new %1").arg(i));
        if (memo)
            cds.setValue(2, QStringLiteral("new note %1").arg(i));
        cds.post();
    }
}

// The rows qvx_hold_table writes, checked in order; empty when they are all there.
QString checkHeldRows(const QString &path, int count, bool memo)
{
    Table t;
    t.setTableName(path);
    t.setReadOnly(true);
    t.open();
    if (t.recordCount() != count)
        return QStringLiteral("%1 records instead of %2").arg(t.recordCount()).arg(count);
    int i = 0;
    for (t.first(); !t.eof(); t.next(), ++i) {
        if (t.integer(0) != i || t.text(1) != QStringLiteral("row %1").arg(i)
            || (memo && t.text(2) != QStringLiteral("note %1").arg(i)))
            return QStringLiteral("record %1 holds %2 '%3'").arg(i + 1).arg(t.integer(0)).arg(t.text(1));
    }
    return {};
}

struct Held {
    QProcess process;
    ~Held()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

} // namespace

class TestTableWriter : public QObject {
    Q_OBJECT

private slots:
    void heldTableIsNotReplacedOrDeleted_data();
    void heldTableIsNotReplacedOrDeleted();
    void readOnlyFileIsNotReplaced_data();
    void readOnlyFileIsNotReplaced();
    void replacedFilesKeepTheirMode_data();
    void replacedFilesKeepTheirMode();
    void failedWriteNamesTheFile_data();
    void failedWriteNamesTheFile();
    void staleTempFileIsRemoved_data();
    void staleTempFileIsRemoved();
    void keyedParadoxStaysKeyed();
    void textTableIsWrittenOnce();
    void varyingCharactersStayVarying();
};

void TestTableWriter::heldTableIsNotReplacedOrDeleted_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("memo");
    QTest::addColumn<bool>("remove"); // deleteTable rather than writeDataSet
    struct Format {
        const char *tag, *name;
        int type, version;
        bool memo;
    };
    const Format formats[] = {
        { "dBASE III+", "t.dbf", Table::DBase, 0x83, true },
        { "FoxPro", "t.dbf", Table::FoxPro, 0xF5, true },
        { "Visual FoxPro", "t.dbf", Table::FoxPro, 0x30, true },
        { "Paradox", "t.db", Table::Paradox, 0, true },
        { "ASCII", "t.txt", Table::Ascii, 0, false },
    };
    for (const Format &f : formats) {
        for (bool remove : { false, true })
            QTest::addRow("%s %s", f.tag, remove ? "delete" : "replace")
                << f.name << f.type << f.version << f.memo << remove;
    }
}

void TestTableWriter::heldTableIsNotReplacedOrDeleted()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(bool, memo);
    QFETCH(bool, remove);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    createTable(path, type, version, memo);
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

    Held held;
    held.process.start(QStringLiteral(QVX_HOLD_TABLE), { path, QStringLiteral("5"), QStringLiteral("4") });
    QVERIFY(held.process.waitForStarted());
    QVERIFY(held.process.waitForReadyRead(60000));
    QCOMPARE(held.process.readLine().trimmed(), QByteArray("holding"));

    try {
        if (remove) {
            Table t;
            t.setTableName(path);
            t.setTableType(type);
            t.deleteTable();
        } else {
            ClientDataSet source;
            fillSource(source, memo, 3, 100);
            writeDataSet(source, path, WriteTarget { type, version, PacketFormat::Binary, {} });
        }
        QFAIL("the held table was replaced or deleted");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("in use")), qPrintable(e.message()));
        QVERIFY2(e.message().startsWith(dir.path()), qPrintable(e.message()));
    }

    held.process.write("go\n");
    held.process.closeWriteChannel();
    QVERIFY(held.process.waitForFinished(60000));
    QCOMPARE(held.process.readAllStandardError(), QByteArray());
    QCOMPARE(held.process.exitCode(), 0);
    // Every row the holder wrote, before and after the attempt, is there,
    // and the failed attempt left nothing beside the table.
    const QString why = checkHeldRows(path, 9, memo);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
             filesBefore);

    // Once the holder is gone the same write goes through.
    if (remove) {
        Table t;
        t.setTableName(path);
        t.setTableType(type);
        t.deleteTable();
        QVERIFY(!QFile::exists(path));
    } else {
        ClientDataSet source;
        fillSource(source, memo, 3, 100);
        writeDataSet(source, path, WriteTarget { type, version, PacketFormat::Binary, {} });
        QCOMPARE(checkHeldRows(path, 3, memo), QStringLiteral("record 1 holds 100 'new 0'"));
    }
}

void TestTableWriter::readOnlyFileIsNotReplaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("memo");
    QTest::addRow("dBASE") << "t.dbf" << int(Table::DBase) << true;
    QTest::addRow("Paradox") << "t.db" << int(Table::Paradox) << true;
    QTest::addRow("ASCII") << "t.txt" << int(Table::Ascii) << false;
    QTest::addRow("XML packet") << "t.xml" << int(Table::Default) << true;
    QTest::addRow("binary packet") << "t.cds" << int(Table::Default) << true;
}

void TestTableWriter::readOnlyFileIsNotReplaced()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(bool, memo);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const WriteTarget target { type, 0, ClientDataSet::formatForFileName(path, PacketFormat::Binary), {} };
    {
        ClientDataSet first;
        fillSource(first, memo, 2, 1);
        writeDataSet(first, path, target);
    }
    const QByteArray before = fileBytes(path);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    ClientDataSet second;
    fillSource(second, memo, 5, 10);
    try {
        writeDataSet(second, path, target);
        QFAIL("a read-only file was replaced");
    } catch (const EngineError &e) {
        QVERIFY2(e.message().startsWith(path + QStringLiteral(": ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("read-only")), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(path), before);
    struct stat st { };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0444));
}

void TestTableWriter::replacedFilesKeepTheirMode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("companion"); // a memo file whose mode must be kept too
    QTest::addRow("dBASE") << "t.dbf" << int(Table::DBase) << "t.dbt";
    QTest::addRow("FoxPro") << "t.dbf" << int(Table::FoxPro) << "t.fpt";
    QTest::addRow("Paradox") << "t.db" << int(Table::Paradox) << "t.mb";
    QTest::addRow("ASCII") << "t.txt" << int(Table::Ascii) << "t.sch";
    QTest::addRow("XML packet") << "t.xml" << int(Table::Default) << "";
}

void TestTableWriter::replacedFilesKeepTheirMode()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QString, companion);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const bool memo = type != Table::Ascii;
    const WriteTarget target { type, 0, ClientDataSet::formatForFileName(path, PacketFormat::Binary), {} };
    {
        ClientDataSet first;
        fillSource(first, memo, 2, 1);
        writeDataSet(first, path, target);
    }
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    if (!companion.isEmpty())
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(companion)).constData(), 0600) == 0);

    ClientDataSet second;
    fillSource(second, memo, 4, 10);
    writeDataSet(second, path, target);
    struct stat st { };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    if (!companion.isEmpty()) {
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(companion)).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
    }
    ClientDataSet back;
    if (type == Table::Default) {
        back.loadFromFile(path);
        QCOMPARE(back.recordCount(), 4);
    } else {
        Table t;
        t.setTableName(path);
        t.setReadOnly(true);
        t.open();
        QCOMPARE(t.recordCount(), 4);
    }
}

void TestTableWriter::failedWriteNamesTheFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("whole-file write") << "atomic";
    QTest::addRow("text table record added") << "ascii";
}

// A write error is made with a file size limit, which stops root too.
void TestTableWriter::failedWriteNamesTheFile()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orders.txt"));
    Table t;
    t.setTableName(path);
    t.addFieldDef(QStringLiteral("TEXT"), FieldType::String, 200);
    t.createTable();
    if (how == u"ascii") {
        t.open();
        t.append();
        t.setValue(0, QStringLiteral("first"));
        t.post();
    }
    const QByteArray before = fileBytes(path);

    struct rlimit old { };
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    });
    try {
        if (how == u"atomic") {
            writeFileAtomically(path, QByteArray(200, 'x'));
        } else {
            t.append();
            t.setValue(0, QString(150, u'y'));
            t.post();
        }
        QFAIL("the write went through");
    } catch (const EngineError &e) {
        restore.dismiss();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(e.message().startsWith(path + QStringLiteral(": ")), qPrintable(e.message()));
        QVERIFY2(!e.message().contains(QStringLiteral(".qvx-")), qPrintable(e.message()));
    }
    if (t.isOpen())
        t.cancel();
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList { QStringLiteral("orders.sch"), QStringLiteral("orders.txt") }));
}

void TestTableWriter::staleTempFileIsRemoved_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addRow("opened for writing") << false;
    QTest::addRow("opened read-only") << true;
}

// A rewrite stopped before its rename leaves a hidden new version beside a
// text table; the next writer of that table clears it, a reader does not,
// and nothing of other files is touched.
void TestTableWriter::staleTempFileIsRemoved()
{
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    Table t;
    t.setTableName(path);
    t.addFieldDef(QStringLiteral("TEXT"), FieldType::String, 10);
    t.createTable();
    const QStringList planted = { QStringLiteral(".t.txt.qvx-Cey9OI"), QStringLiteral(".u.txt.qvx-Cey9OI"),
                                  QStringLiteral(".t.txt.qvx-toolong"), QStringLiteral("t.txt.qvx-Cey9OI") };
    for (const QString &name : planted) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("half");
    }
    t.setReadOnly(readOnly);
    t.open();
    QCOMPARE(QFile::exists(dir.filePath(planted[0])), readOnly);
    for (qsizetype i = 1; i < planted.size(); ++i)
        QVERIFY2(QFile::exists(dir.filePath(planted[i])), qPrintable(planted[i]));
}

QTEST_GUILESS_MAIN(TestTableWriter)
// A keyed Paradox table written as Paradox is keyed on the same fields, its
// records in key order; written as dBASE it simply loses the key.
void TestTableWriter::keyedParadoxStaysKeyed()
{
    QTemporaryDir dir;
    const QString keyed = dir.filePath(QStringLiteral("keyed.db"));
    {
        Table t;
        t.setTableName(keyed);
        addFields(t, false);
        CreateOptions options;
        options.keyFields = 1;
        t.setCreateOptions(options);
        t.createTable();
        t.open();
        for (int seq : { 30, 10, 20 }) {
            t.append();
            t.setValue(0, seq);
            t.setValue(1, QStringLiteral("row %1").arg(seq));
            t.post();
        }
    }
    Table source;
    source.setTableName(keyed);
    source.setReadOnly(true);
    source.open();
    QCOMPARE(source.info().keyFields, 1);

    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    writeDataSet(source, copy, *writeTargetForFileName(copy));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("copy.px"))));
    Table out;
    out.setTableName(copy);
    out.open();
    QCOMPARE(out.info().keyFields, 1);
    QList<qint64> order;
    for (out.first(); !out.eof(); out.next())
        order << out.integer(0);
    QCOMPARE(order, QList<qint64>({ 10, 20, 30 }));
    // Still keyed when written to: a new record goes to its key's place.
    out.append();
    out.setValue(0, 15);
    out.setValue(1, QStringLiteral("row 15"));
    out.post();
    out.first();
    out.next();
    QCOMPARE(out.integer(0), 15);

    const QString flat = dir.filePath(QStringLiteral("flat.dbf"));
    writeDataSet(source, flat, *writeTargetForFileName(flat));
    Table dbf;
    dbf.setTableName(flat);
    dbf.open();
    QCOMPARE(dbf.recordCount(), 3);
    QCOMPARE(dbf.info().keyFields, 0);
}

// Writing a text table does not rewrite the file for every record.
void TestTableWriter::textTableIsWrittenOnce()
{
    QTemporaryDir dir;
    ClientDataSet source;
    fillSource(source, false, 300, 1);
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    const qint64 before = ascii::AsciiTable::rewriteCount();
    writeDataSet(source, path, *writeTargetForFileName(path));
    QVERIFY2(ascii::AsciiTable::rewriteCount() - before <= 1,
             qPrintable(QString::number(ascii::AsciiTable::rewriteCount() - before)));
    Table out;
    out.setTableName(path);
    out.open();
    QCOMPARE(out.recordCount(), 300);
    out.last();
    QCOMPARE(out.text(1), QStringLiteral("new 299"));
}

// A Visual FoxPro table's varying-length character fields stay varying when
// it is written as Visual FoxPro again, trailing spaces and all.
void TestTableWriter::varyingCharactersStayVarying()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("v.dbf"));
    {
        Table t;
        t.setTableName(source);
        t.setTableType(Table::FoxPro);
        t.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
        t.addFieldDef(QStringLiteral("CODE"), FieldType::String, 5);
        CreateOptions options;
        options.version = 0x30;
        options.varyingFields = { QStringLiteral("name") };
        t.setCreateOptions(options);
        t.createTable();
        t.open();
        t.append();
        t.setValue(0, QStringLiteral("ends in spaces  "));
        t.setValue(1, QStringLiteral("ab"));
        t.post();
    }
    Table from;
    from.setTableName(source);
    from.setReadOnly(true);
    from.open();
    QCOMPARE(from.info().varyingFields, QStringList { QStringLiteral("NAME") });

    const QString copy = dir.filePath(QStringLiteral("copy.dbf"));
    WriteTarget target = *writeTargetForFileName(copy);
    target.tableType = Table::FoxPro;
    target.version = 0x30;
    writeDataSet(from, copy, target);
    Table out;
    out.setTableName(copy);
    out.setTableType(Table::FoxPro);
    out.open();
    QCOMPARE(out.info().varyingFields, QStringList { QStringLiteral("NAME") });
    QCOMPARE(out.text(0), QStringLiteral("ends in spaces  "));
    QCOMPARE(out.text(1), QStringLiteral("ab"));
}

#include "tst_tablewriter.moc"
