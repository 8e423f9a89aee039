// Holds a table open for writing, as another window or program would, while
// the test tries to replace or delete it.
//
//   qvx_hold_table PATH ROWS_BEFORE ROWS_AFTER
//
// Opens the existing table PATH for writing, appends ROWS_BEFORE records,
// prints "holding" and waits for a line on standard input; then appends
// ROWS_AFTER more, closes the table and prints "done". Record i (from 0)
// holds SEQ = i and TEXT = "row i", and NOTE = "note i" when the table has a
// third field.
#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QCoreApplication>

#include <cstdio>

using namespace qvx;

namespace {

void appendRows(Table &table, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        table.append();
        table.setValue(0, i);
        table.setValue(1, QStringLiteral("row %1").arg(i));
        if (table.fieldCount() > 2)
            table.setValue(2, QStringLiteral("note %1").arg(i));
        table.post();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: qvx_hold_table PATH ROWS_BEFORE ROWS_AFTER\n");
        return 2;
    }
    try {
        Table table;
        table.setTableName(args.at(1));
        table.open();
        const int before = args.at(2).toInt();
        appendRows(table, 0, before);
        std::printf("holding\n");
        std::fflush(stdout);
        char line[16];
        if (!std::fgets(line, sizeof line, stdin))
            return 3;
        appendRows(table, before, args.at(3).toInt());
        table.close();
        std::printf("done\n");
        std::fflush(stdout);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qvx_hold_table: %s\n", e.what());
        return 1;
    }
    return 0;
}
