#include "FileKinds.h"

#include "Table.h"

#include <QFileInfo>

namespace qvx {

const QList<FileKind> &fileKinds()
{
    using D = DocumentKind;
    static const QList<FileKind> rows = {
        // entry                  ext      document        table type     writable  packet
        { QStringLiteral("XML Document"), QStringLiteral("xml"), D::DataPacket, Table::Default, true,
          PacketFormat::Xml },
        { QStringLiteral("SQL Table"), QStringLiteral("sql"), D::SqlText, Table::Default, false,
          PacketFormat::Binary },
        { QStringLiteral("DBASE Table"), QStringLiteral("dbf"), D::LocalTable, Table::DBase, true,
          PacketFormat::Binary },
        { QStringLiteral("Fox Pro Table"), QStringLiteral("dbf"), D::LocalTable, Table::FoxPro, true,
          PacketFormat::Binary },
        { QStringLiteral("Paradox Table"), QStringLiteral("db"), D::LocalTable, Table::Paradox, true,
          PacketFormat::Binary },
        { QStringLiteral("ASCII Table"), QStringLiteral("txt"), D::LocalTable, Table::Ascii, true,
          PacketFormat::Binary },
        // Binary data packets: opened and written by name, offered by no dialog.
        { QString(), QStringLiteral("cds"), D::DataPacket, Table::Default, true, PacketFormat::Binary },
    };
    return rows;
}

const FileKind *fileKindForName(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext.isEmpty())
        return nullptr;
    for (const FileKind &k : fileKinds()) {
        if (k.extension == ext)
            return &k;
    }
    return nullptr;
}

const FileKind *fileKindForEntry(const QString &entry)
{
    for (const FileKind &k : fileKinds()) {
        if (!k.entry.isEmpty() && k.entry == entry)
            return &k;
    }
    return nullptr;
}

QString FileFilter::text() const
{
    QStringList parts;
    for (const FileKind *k : m_entries)
        parts << k->entry << k->pattern();
    return parts.join(u'|');
}

const FileKind *FileFilter::entry(int index) const
{
    return index >= 1 && index <= m_entries.size() ? m_entries[index - 1] : nullptr;
}

FileFilter FileFilter::loadAny()
{
    QList<const FileKind *> entries;
    for (const FileKind &k : fileKinds()) {
        if (!k.entry.isEmpty())
            entries << &k;
    }
    return FileFilter(entries);
}

FileFilter FileFilter::localTables()
{
    QList<const FileKind *> entries;
    for (const char *name : { "Paradox Table", "DBASE Table", "Fox Pro Table", "ASCII Table" })
        entries << fileKindForEntry(QLatin1String(name));
    return FileFilter(entries);
}

FileFilter FileFilter::forDocument(DocumentKind kind)
{
    QList<const FileKind *> entries;
    for (const FileKind &k : fileKinds()) {
        if (!k.entry.isEmpty() && k.document == kind)
            entries << &k;
    }
    return FileFilter(entries);
}

namespace {

QString extensionsText(bool writableOnly)
{
    QStringList exts;
    for (const FileKind &k : fileKinds()) {
        const QString e = u'.' + k.extension;
        if ((k.writable || !writableOnly) && !exts.contains(e))
            exts << e;
    }
    const QString last = exts.takeLast();
    return exts.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

QString openableExtensionsText()
{
    return extensionsText(false);
}

QString writableExtensionsText()
{
    return extensionsText(true);
}

} // namespace qvx
