#include "AppFixture.h"

#include "engine/ClientDataSet.h"
#include "engine/Table.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

using namespace qvx;

namespace {

struct Part {
    const char *name;
    int qty;
};
const Part parts[] = { { "Chain", 12 }, { "Saddle", 4 }, { "Spoke", 250 } };

std::unique_ptr<DataSet> openAny(const QString &path)
{
    const QFileInfo info(path);
    if (info.suffix() == QLatin1String("xml") || info.suffix() == QLatin1String("cds")) {
        auto packet = std::make_unique<ClientDataSet>();
        packet->loadFromFile(path);
        return packet;
    }
    auto table = std::make_unique<Table>();
    table->setDatabaseName(info.absolutePath());
    table->setTableName(info.fileName());
    table->setReadOnly(true);
    table->open();
    return table;
}

} // namespace

AppFixture::AppFixture()
{
    for (const char *name : { "parts.dbf", "parts.db", "parts.txt" }) {
        Table table;
        table.setDatabaseName(m_dir.path());
        table.setTableName(QLatin1String(name));
        table.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
        table.addFieldDef(QStringLiteral("QTY"), FieldType::Integer);
        table.createTable();
        table.open();
        for (const Part &p : parts)
            table.appendRecord({ QString::fromLatin1(p.name), p.qty });
        table.close();
    }
    ClientDataSet packet;
    packet.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    packet.addFieldDef(QStringLiteral("QTY"), FieldType::Integer);
    packet.createDataSet();
    for (const Part &p : parts)
        packet.appendRecord({ QString::fromLatin1(p.name), p.qty });
    packet.saveToFile(path(QStringLiteral("parts.xml")), PacketFormat::Xml);
    packet.saveToFile(path(QStringLiteral("parts.cds")), PacketFormat::Binary);

    writeFile(QStringLiteral("parts.sql"), "SELECT NAME, QTY\nFROM \"parts.dbf\"\nORDER BY NAME\n");
}

QString AppFixture::writeFile(const QString &name, const QByteArray &text) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        QTest::qFail("cannot write a fixture file", __FILE__, __LINE__);
    return file.fileName();
}

QStringList AppFixture::partNames()
{
    QStringList names;
    for (const Part &p : parts)
        names << QString::fromLatin1(p.name);
    return names;
}

qint64 AppFixture::recordCount(const QString &path)
{
    return openAny(path)->recordCount();
}

QStringList AppFixture::names(const QString &path)
{
    std::unique_ptr<DataSet> data = openAny(path);
    QStringList result;
    for (data->first(); !data->eof(); data->next())
        result << data->text(QStringLiteral("NAME")).trimmed();
    return result;
}
