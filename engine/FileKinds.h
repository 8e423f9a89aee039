// The kinds of file the program opens and writes, in one table: each row
// ties an open-dialog entry and an extension to the table type the engine
// reads it as, the kind of document (and so of window) it opens in, and
// what writing to such a name produces. Everything that asks what a file
// name or a filter entry means reads this table; adding a kind is one row.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace qvx {

// What a file holds, and so which kind of window shows it.
enum class DocumentKind {
    LocalTable, // a table file opened through the table engine
    SqlText, // SQL text run as a query, its result shown read-only
    DataPacket, // a client data set stored as a data packet
};

// How a data packet is stored.
enum class PacketFormat { Binary, Xml };

struct FileKind {
    QString entry; // the open dialog's entry ("DBASE Table"); empty for a kind no dialog offers
    QString extension; // lower case, without the full stop
    DocumentKind document;
    int tableType; // the Table::TableType it opens as; 0 for no table
    // What writing a file of this name produces: a table of tableType, or a
    // packet in packetFormat; nothing for a kind that is never written.
    bool writable;
    PacketFormat packetFormat;

    QString pattern() const { return QStringLiteral("*.") + extension; }
};

// Every row, in the order of the "Load from file" filter; kinds no dialog
// offers come last.
const QList<FileKind> &fileKinds();

// The kind a file name's extension names (any case): the first row with that
// extension, so a ".dbf" is a dBASE table, not a FoxPro one. Null for none.
const FileKind *fileKindForName(const QString &fileName);

// An open-dialog filter over some rows: its text ("A|*.a|B|*.b") and the row
// each entry stands for.
class FileFilter {
public:
    FileFilter() = default;
    explicit FileFilter(QList<const FileKind *> entries) : m_entries(std::move(entries)) { }

    QString text() const;
    // The row of the entry counted from 1, as the dialog reports it; null
    // for an index out of range.
    const FileKind *entry(int index) const;
    int size() const { return int(m_entries.size()); }

    // The filters of the load commands, entries in the order users know them.
    static FileFilter loadAny(); // every kind the load commands open
    static FileFilter localTables(); // Paradox, dBASE, FoxPro, ASCII
    static FileFilter forDocument(DocumentKind kind); // the entries of that kind, in table order

private:
    QList<const FileKind *> m_entries;
};

// The row with that dialog entry, or null.
const FileKind *fileKindForEntry(const QString &entry);

// The extensions of every kind, and of the kinds that are written, as a
// list for messages (".xml, .sql, .dbf, .db, .txt or .cds").
QString openableExtensionsText();
QString writableExtensionsText();

} // namespace qvx
