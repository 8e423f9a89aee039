// Whole-file rewrites by rename, writer locks, and the memory file used by
// format tests.
#include "engine/EngineError.h"
#include "engine/io/File.h"

#include <QtTest>

using namespace qvx;

class FileIoTest : public QObject {
    Q_OBJECT

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void atomicWriterReplacesOnlyOnCommit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        writeFileAtomically(path, "old");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        {
            AtomicFileWriter w(path);
            w.file().writeBytes(0, "half of the new");
            QVERIFY(QFile::exists(w.tempPath()));
            // no commit: as if the save failed part way
        }
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "t.dbf" });

        AtomicFileWriter w(path);
        w.file().writeBytes(0, "new");
        w.commit();
        QCOMPARE(readAll(path), QByteArray("new"));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions(QFile::ReadGroup));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "t.dbf" });
    }

    void atomicWriterInMissingFolder()
    {
        QVERIFY_THROWS_EXCEPTION(EngineError, AtomicFileWriter("/nonexistent-folder/x.dbf"));
    }

    void secondWriterIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        writeFileAtomically(path, "x");
        {
            WriterLock first(path);
            try {
                WriterLock second(path);
                QFAIL("two writers");
            } catch (const EngineError &e) {
                QVERIFY(e.message().contains("in use"));
                QVERIFY(e.message().startsWith(path));
            }
            // Readers are not stopped.
            auto reader = openDiskFile(path, OpenMode::ReadOnly);
            QCOMPARE(reader->readBytes(0, 10), QByteArray("x"));
        }
        WriterLock again(path); // released with the first
    }

    void diskFileErrors()
    {
        QTemporaryDir dir;
        try {
            openDiskFile(dir.filePath("missing.dbf"), OpenMode::ReadOnly);
            QFAIL("opened a missing file");
        } catch (const EngineError &e) {
            QVERIFY(e.message().contains("does not exist"));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, openDiskFile(dir.path(), OpenMode::ReadOnly));
        writeFileAtomically(dir.filePath("short"), "abc");
        auto f = openDiskFile(dir.filePath("short"), OpenMode::ReadOnly);
        char buf[8];
        QCOMPARE(f->readAt(1, buf, 8), 2);
        try {
            f->readExact(0, buf, 8, "the header");
            QFAIL("short read accepted");
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), dir.filePath("short") + ": the header is cut short");
        }
    }

    void memoryFile()
    {
        MemoryFile f("abc");
        f.writeAt(5, "xy", 2);
        QCOMPARE(f.data(), QByteArray("abc\0\0xy", 7));
        f.truncate(2);
        QCOMPARE(f.readBytes(0, 100), QByteArray("ab"));
        f.failWritesAfter(3);
        f.writeAt(0, "12", 2);
        QVERIFY_THROWS_EXCEPTION(EngineError, f.writeAt(2, "34", 2));
    }
};

QTEST_GUILESS_MAIN(FileIoTest)
#include "tst_fileio.moc"
