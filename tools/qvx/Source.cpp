#include "Source.h"

#include "engine/ClientDataSet.h"
#include "engine/Table.h"
#include "engine/io/File.h"
#include "engine/packets/Packets.h"

#include <QFileInfo>

namespace qvx::tool {

namespace {

// Enough of the file to recognise a packet by its first bytes.
constexpr qint64 SniffSize = 4096;

QByteArray fileHead(const QString &path)
{
    return openDiskFile(path, OpenMode::ReadOnly)->readBytes(0, SniffSize);
}

bool looksLikeXml(QByteArray head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed();
    return head.startsWith("<?xml") || head.startsWith("<DATAPACKET");
}

} // namespace

Source::Source(const QString &path, const QString &inputCodePage) : m_path(path)
{
    namingFile(path, [&] {
        const QFileInfo fi(path);
        const QString ext = fi.suffix().toLower();
        if (Table::typeForExtension(fi.fileName()) != Table::Default) {
            auto table = std::make_unique<Table>();
            table->setDatabaseName(fi.absolutePath());
            table->setTableName(fi.fileName());
            table->setReadOnly(true);
            table->setInputCodePage(inputCodePage);
            table->open();
            m_data = std::move(table);
            return;
        }
        const QByteArray head = fileHead(path);
        const bool binary = looksLikeBinaryPacket(head);
        if (!binary && !looksLikeXml(head) && ext != QLatin1String("xml") && ext != QLatin1String("cds"))
            throw EngineError(path, QStringLiteral("not a table or data packet file qvx can read"));
        auto packet = std::make_unique<ClientDataSet>();
        packet->loadFromFile(path);
        m_packetFormat = binary ? QStringLiteral("binary data packet") : QStringLiteral("XML data packet");
        m_data = std::move(packet);
    });
}

Source::~Source() = default;

SourceInfo Source::info() const
{
    SourceInfo out;
    out.recordCount = m_data->recordCount();
    if (const auto *table = dynamic_cast<const Table *>(m_data.get())) {
        const TableInfo ti = table->info();
        out.format = ti.format;
        out.version = ti.versionByte;
        out.codePage = ti.codePage;
        out.codePageSource = ti.codePageSource;
        out.indexes = table->indexes(true);
    } else {
        out.format = m_packetFormat;
    }
    return out;
}

} // namespace qvx::tool
