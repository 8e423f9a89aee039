// Replays the inputs kept for a fuzz target (tests/fixtures/fuzz/<target>/:
// seeds, and every input that once broke a reader) through the target's own
// body, one data row per file so that a failure names the input.
//
//     void TestDbf::dbfFuzzInputs_data() { qvx::test::fuzzInputRows("fuzz_dbf"); }
//     void TestDbf::dbfFuzzInputs() { qvx::test::replayFuzzInput(qvx::fuzz::dbfInput); }
#pragma once

#include "fuzz/FuzzTarget.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cstddef>
#include <cstdint>

namespace qvx::test {

using FuzzBody = qvx::fuzz::Fault (*)(const std::uint8_t *data, std::size_t size);

// Adds a "path" column and one row per file kept for target, named after
// the file. A target with no inputs gets one row that fails, rather than
// passing over nothing: its seeds belong in the tree.
inline void fuzzInputRows(const char *target)
{
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(QVX_FIXTURES "/fuzz/") + QLatin1String(target));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
    if (names.isEmpty())
        QTest::newRow(qPrintable(QStringLiteral("no inputs in ") + dir.path())) << QString();
}

// Runs body over the current row's file. A broken promise fails the row
// with what the input broke. A crash or a sanitizer report ends the whole
// program, and Qt Test's crash report names only the test function, so the
// file is logged before it runs.
inline void replayFuzzInput(FuzzBody body)
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "the fuzz target keeps no inputs");
    QFile f(path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path + QStringLiteral(": ") + f.errorString()));
    const QByteArray input = f.readAll();
    qInfo("replaying %s", qPrintable(path));
    const qvx::fuzz::Fault fault
        = body(reinterpret_cast<const std::uint8_t *>(input.constData()), std::size_t(input.size()));
    QVERIFY2(!fault, fault);
}

} // namespace qvx::test
