// Saves one file over and over, each time a new version, until it is killed.
// The crash-safety test kills it at random moments and checks that what is
// left on disk is one whole version.
//
//   qvx_save_loop xml|cds|dbase|foxpro DIR FIRST_VERSION
//
// Every version v has rowsFor(v) records; record i holds VER = v, SEQ = i and
// text derived from (v, i) (see expectedText), so that a reader can tell a
// whole version from a mixture. After each completed save the program prints
// "saved v" and flushes, so the test knows the last version that was whole.
#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"

#include "save_loop.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace qvx;

namespace {

void fillClientDataSet(ClientDataSet &cds, int version)
{
    cds.emptyDataSet();
    for (int i = 0; i < saveloop::rowsFor(version); ++i) {
        cds.append();
        cds.setValue(0, version);
        cds.setValue(1, i);
        cds.setValue(2, saveloop::expectedText(version, i));
        cds.setValue(3, saveloop::expectedMemo(version, i));
        cds.post();
    }
}

void saveClientDataSets(const QString &dir, int version, PacketFormat format)
{
    ClientDataSet cds;
    cds.addFieldDef(QStringLiteral("VER"), FieldType::Integer);
    cds.addFieldDef(QStringLiteral("SEQ"), FieldType::Integer);
    cds.addFieldDef(QStringLiteral("TEXT"), FieldType::String, saveloop::kTextSize);
    cds.addFieldDef(QStringLiteral("NOTE"), FieldType::Memo);
    cds.createDataSet();
    const QString path
        = dir + (format == PacketFormat::Xml ? QStringLiteral("/data.xml") : QStringLiteral("/data.cds"));
    for (;; ++version) {
        fillClientDataSet(cds, version);
        cds.saveToFile(path, format);
        std::printf("saved %d\n", version);
        std::fflush(stdout);
    }
}

void saveTables(const QString &dir, int version, int tableType, int dbfVersion, bool indexed = false)
{
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(QStringLiteral("data.dbf"));
    table.setTableType(tableType);
    table.addFieldDef(QStringLiteral("VER"), FieldType::Integer);
    table.addFieldDef(QStringLiteral("SEQ"), FieldType::Integer);
    table.addFieldDef(QStringLiteral("TEXT"), FieldType::String, saveloop::kTextSize);
    table.addFieldDef(QStringLiteral("NOTE"), FieldType::Memo);
    CreateOptions options;
    options.version = dbfVersion;
    table.setCreateOptions(options);
    for (;; ++version) {
        // Both ways of starting a table afresh: a new file, or the old one emptied.
        if (version % 2 == 0 || !table.exists()) {
            table.createTable();
            if (indexed) {
                // A production index with a tag over each kept field.
                for (const char *field : { "SEQ", "TEXT" }) {
                    IndexDef def;
                    def.name = QString::fromLatin1(field);
                    def.fields = QStringList { def.name };
                    table.addIndex(def);
                }
            }
        } else {
            table.emptyTable();
        }
        table.open();
        for (int i = 0; i < saveloop::rowsFor(version); ++i) {
            table.append();
            table.setValue(0, version);
            table.setValue(1, i);
            table.setValue(2, saveloop::expectedText(version, i));
            table.setValue(3, saveloop::expectedMemo(version, i));
            table.post();
        }
        table.close();
        std::printf("saved %d\n", version);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: qvx_save_loop xml|cds|dbase|foxpro|dbase-mdx DIR FIRST_VERSION\n");
        return 2;
    }
    const QString mode = args.at(1);
    const QString dir = QDir(args.at(2)).absolutePath();
    const int first = args.at(3).toInt();
    try {
        if (mode == QLatin1String("xml"))
            saveClientDataSets(dir, first, PacketFormat::Xml);
        else if (mode == QLatin1String("cds"))
            saveClientDataSets(dir, first, PacketFormat::Binary);
        else if (mode == QLatin1String("dbase"))
            saveTables(dir, first, Table::DBase, 0x83);
        else if (mode == QLatin1String("foxpro"))
            saveTables(dir, first, Table::FoxPro, 0x30);
        else if (mode == QLatin1String("dbase-mdx"))
            saveTables(dir, first, Table::DBase, 0x8B, true);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qvx_save_loop: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "qvx_save_loop: unknown mode\n");
    return 2;
}
