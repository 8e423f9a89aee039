// Writes the sample database: customers, orders and parts of an invented
// bicycle parts wholesaler, as dBASE tables, as FoxPro tables (in foxpro/)
// and the customers as an XML data packet. Everything is fixed, so two runs
// give the same records (only the dbf header's "last update" date differs).
//
// usage: make_samples OUTDIR
#include "engine/ClientDataSet.h"
#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

using namespace qvx;

namespace {

// The rows of one sample table, with the row numbers (from 1) to delete
// after writing, so the files show deleted records too.
struct SampleTable {
    QString name;
    FieldDefs fields;
    std::vector<Record> rows;
    std::vector<qint64> deleted;
};

struct Customer {
    const char *company;
    const char *contact;
    const char *street;
    const char *city;
    const char *country;
    const char *phone; // nullptr: no phone on file
};

// Invented shops; the accented names show how the tables' code pages carry
// text beyond ASCII.
const Customer customers[] = {
    { "Müller Radsport", "Jonas Müller", "Holtenauer Straße 88", "Kiel", "Germany", "+49 431 550 1180" },
    { "Ærø Cykelværksted", "Søren Østergård", "Vestergade 4", "Ærøskøbing", "Denmark", "+45 62 52 19 07" },
    { "Vélos Bérénice", "Bérénice Lacroix", "12 rue des Tanneurs", "Lyon", "France", "+33 4 72 10 44 31" },
    { "Bicicletas Peñalara", "Íñigo Sáenz", "Calle del Acueducto 27", "Segovia", "Spain",
      "+34 921 43 08 12" },
    { "Hjólabúðin Straumur", "Guðrún Þórsdóttir", "Glerárgata 3", "Akureyri", "Iceland", nullptr },
    { "De Kromme Spaak", "Pieter van Dijk", "Oudegracht 201", "Utrecht", "Netherlands", "+31 30 231 77 40" },
    { "Cykelhuset Åsa", "Åsa Lindqvist", "Linnégatan 15", "Göteborg", "Sweden", "+46 31 12 90 55" },
    { "Ciclofficina Sant'Orso", "Chiara Bionaz", "Via Sant'Anselmo 9", "Aosta", "Italy", "+39 0165 23 118" },
    { "Pedal & Piñón", "Núria Puigdomènech", "Carrer de la Riera 40", "Girona", "Spain", "+34 972 20 61 93" },
    { "Zweirad Kröger", "Björn Kröger", "Am Markt 6", "Lüneburg", "Germany", "+49 4131 40 02 17" },
    { "Rattaverstas Kettu", "Aino Kettunen", "Hämeenkatu 31", "Tampere", "Finland", "+358 3 214 5590" },
    { "Sykkelstua Fjære", "Håkon Fjære", "Storgata 52", "Tromsø", "Norway", nullptr },
    { "Bike Loft Galway", "Niamh O'Donnell", "14 Quay Street", "Galway", "Ireland", "+353 91 56 20 48" },
    { "Fahrradwerk Salzach", "Lukas Höllwarth", "Linzer Gasse 19", "Salzburg", "Austria",
      "+43 662 87 31 60" },
    { "Vélo-Atelier Genève", "Mathéo Rochat", "Rue de Carouge 54", "Genève", "Switzerland",
      "+41 22 320 85 14" },
    { "Bicicletaria Douro", "João Gonçalves", "Rua das Flores 77", "Porto", "Portugal", "+351 22 208 41 36" },
    { "Kolarna Pod Hradem", "Tereza Kaderová", "Nerudova 18", "Praha", "Czechia", "+420 257 531 902" },
    { "Wheelwright & Sons", "Harriet Cobb", "3 Mill Lane", "Keswick", "United Kingdom", "+44 17687 72 315" },
    { "Cyclerie du Lac", "Anaïs Favre", "Quai Jules Ferry 2", "Annecy", "France", "+33 4 50 51 62 70" },
    { "Radhaus Ödenwald", "Käthe Ödenwald", "Bahnhofstraße 3", "Wernigerode", "Germany", nullptr },
    { "Cykelsmeden Fanø", "Mads Kjærgaard", "Nordby Hovedgade 21", "Fanø", "Denmark", "+45 75 16 24 80" },
    { "Bici Salentina", "Gianluca Rizzo", "Via Palmieri 35", "Lecce", "Italy", "+39 0832 24 66 09" },
    { "Pyöräpaja Lumi", "Eetu Mäkelä", "Kauppakatu 8", "Jyväskylä", "Finland", "+358 14 620 3371" },
    { "Rijwielhandel Zeewind", "Femke de Vries", "Boulevard Evertsen 12", "Vlissingen", "Netherlands",
      "+31 118 41 25 96" },
    { "Ciclos Ría de Vigo", "Xosé Lorenzo", "Rúa do Príncipe 50", "Vigo", "Spain", "+34 986 43 72 11" },
    { "Velo Stube Bozen", "Martina Pichler", "Laubengasse 44", "Bozen", "Italy", "+39 0471 97 13 50" },
    { "Cykelboden Visby", "Elin Hägg", "Adelsgatan 29", "Visby", "Sweden", "+46 498 21 40 66" },
    { "Vëlosbuttek Uelzecht", "Léonie Weber", "Rue du Fossé 11", "Ettelbruck", "Luxembourg",
      "+352 81 27 64" },
    { "Kerékpár Bolt", "Zsófia Kovács", "Váci utca 15", "Budapest", "Hungary", nullptr },
    { "Bikes by the Bay", "Rhys Llewellyn", "9 Marine Terrace", "Aberystwyth", "United Kingdom",
      "+44 1970 61 58 20" },
    { "Spokes & Sprockets", "Imogen Clarke", "27 Bridge Street", "Bath", "United Kingdom",
      "+44 1225 44 81 09" },
    { "Fietsatelier Schelde", "Lotte Peeters", "Kammenstraat 70", "Antwerpen", "Belgium", "+32 3 233 90 41" },
};
constexpr int CustomerCount = int(std::size(customers));

struct Part {
    const char *number;
    const char *description;
    const char *category;
    int priceCents;
    double weightKg; // negative: not weighed yet (null)
};

const Part parts[] = {
    { "CH-1100", "Chain 11-speed, 116 links", "Drivetrain", 3490, 0.257 },
    { "CH-1200", "Chain 12-speed, 126 links", "Drivetrain", 4590, 0.252 },
    { "CR-3804", "Chain ring 38T, 4-bolt", "Drivetrain", 4200, 0.118 },
    { "CR-5005", "Chain ring 50T, 5-bolt", "Drivetrain", 5650, 0.164 },
    { "CS-1132", "Cassette 11-32, 11-speed", "Drivetrain", 8900, 0.284 },
    { "CS-1042", "Cassette 10-42, 12-speed", "Drivetrain", 12450, 0.367 },
    { "BB-6800", "Bottom bracket, threaded 68 mm", "Drivetrain", 2795, 0.092 },
    { "DR-2010", "Rear derailleur, long cage", "Drivetrain", 7400, 0.231 },
    { "BP-0210", "Brake pads, organic (pair)", "Brakes", 1250, 0.040 },
    { "BP-0220", "Brake pads, sintered (pair)", "Brakes", 1490, 0.045 },
    { "RT-1600", "Disc rotor 160 mm, 6-bolt", "Brakes", 2990, 0.126 },
    { "RT-1800", "Disc rotor 180 mm, centre-lock", "Brakes", 3690, 0.153 },
    { "BC-1700", "Brake cable set, stainless", "Brakes", 890, 0.060 },
    { "HB-0042", "Handlebar, flat 720 mm", "Cockpit", 3900, 0.285 },
    { "HB-0044", "Handlebar, drop 440 mm", "Cockpit", 5490, 0.265 },
    { "GR-0130", "Grips, lock-on, ergonomic", "Cockpit", 1890, 0.120 },
    { "BT-0035", "Bar tape, cork", "Cockpit", 1450, 0.055 },
    { "ST-0090", "Stem 90 mm, 31.8 clamp", "Cockpit", 3250, 0.140 },
    { "SD-0270", "Saddle, touring, gel", "Contact", 4990, 0.390 },
    { "SP-0272", "Seat post 27.2 x 350 mm", "Contact", 2890, 0.245 },
    { "PD-0510", "Pedals, flat, aluminium (pair)", "Contact", 3590, 0.380 },
    { "TY-2840", "Tyre 700x40, reflective", "Wheels", 3290, 0.520 },
    { "TY-2925", "Tyre 29x2.25, tubeless ready", "Wheels", 4890, 0.790 },
    { "TB-0700", "Inner tube 700x28-35, presta", "Wheels", 690, 0.105 },
    { "SK-0294", "Spoke 294 mm, stainless (box of 36)", "Wheels", 2160, 0.250 },
    { "RM-0622", "Rim 622, 32 hole, disc only", "Wheels", 5790, 0.480 },
    { "LT-0400", "Front light, 400 lumen, USB", "Accessories", 3990, 0.095 },
    { "LT-0050", "Rear light, 50 lumen", "Accessories", 1990, -1 },
    { "BL-0800", "Bell, brass, 55 mm", "Accessories", 1190, 0.070 },
    { "MG-0045", "Mudguards 45 mm, full length (pair)", "Accessories", 2890, -1 },
    { "KL-0011", "Folding lock, hardened steel", "Accessories", 6490, 1.010 },
};
constexpr int PartCount = int(std::size(parts));

QString cents(qint64 value)
{
    return QStringLiteral("%1.%2").arg(value / 100).arg(value % 100, 2, 10, QLatin1Char('0'));
}

// A little shop sign: a wheel with spokes on a coloured ground, a different
// one for every customer. Drawn with shapes only, so no fonts are involved.
QByteArray logo(int number, const char *imageFormat)
{
    static const QColor grounds[]
        = { QColor(0x2E, 0x86, 0xAB), QColor(0xF2, 0x9E, 0x4C), QColor(0x4C, 0xB9, 0x63),
            QColor(0xC7, 0x3E, 0x1D), QColor(0x6D, 0x59, 0x7A), QColor(0xE8, 0xC5, 0x47) };
    const int size = 40;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(grounds[number % int(std::size(grounds))]);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);
    const double radius = 15;
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    const int spokes = 4 + number % 5 * 2;
    for (int i = 0; i < spokes; ++i) {
        const double angle = 2 * M_PI * i / spokes + number * 0.2;
        p.drawLine(centre, centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius));
    }
    p.setBrush(Qt::black);
    p.drawEllipse(centre, 3, 3);
    p.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, imageFormat);
    return bytes;
}

QString customerNotes(int number, const Customer &c)
{
    switch (number % 4) {
    case 0:
        return QStringLiteral("Orders by phone on Mondays.\nDelivery to the back door, %1.").arg(c.street);
    case 1:
        return QStringLiteral("Contact: %1.\nPrefers invoices by post; pays within 30 days.")
            .arg(QString::fromUtf8(c.contact));
    case 2:
        return QString(); // no notes on file
    default:
        return QStringLiteral("Workshop and hire fleet in %1.\nAsks for spare chains before the season.")
            .arg(QString::fromUtf8(c.city));
    }
}

SampleTable customerTable()
{
    SampleTable t;
    t.name = QStringLiteral("customer");
    t.fields = {
        FieldDef(QStringLiteral("CUST_NO"), FieldType::Integer, 6),
        FieldDef(QStringLiteral("COMPANY"), FieldType::String, 30),
        FieldDef(QStringLiteral("CONTACT"), FieldType::String, 24),
        FieldDef(QStringLiteral("STREET"), FieldType::String, 30),
        FieldDef(QStringLiteral("CITY"), FieldType::String, 20),
        FieldDef(QStringLiteral("COUNTRY"), FieldType::String, 16),
        FieldDef(QStringLiteral("PHONE"), FieldType::String, 18),
        FieldDef(QStringLiteral("SINCE"), FieldType::Date),
        FieldDef(QStringLiteral("CREDIT"), FieldType::BCD, 10, 2),
        FieldDef(QStringLiteral("ACTIVE"), FieldType::Boolean),
        FieldDef(QStringLiteral("NOTES"), FieldType::Memo),
        FieldDef(QStringLiteral("LOGO"), FieldType::Graphic),
    };
    for (int i = 0; i < CustomerCount; ++i) {
        const Customer &c = customers[i];
        const int number = 1001 + i;
        const QString notes = customerNotes(i, c);
        Record r {
            number,
            QString::fromUtf8(c.company),
            QString::fromUtf8(c.contact),
            QString::fromUtf8(c.street),
            QString::fromUtf8(c.city),
            QString::fromUtf8(c.country),
            c.phone ? QVariant(QString::fromUtf8(c.phone)) : QVariant(),
            QDate(2015 + i % 9, 1 + i * 5 % 12, 1 + i * 7 % 28),
            i % 7 == 3 ? QVariant() : QVariant(cents(250000 + i * 37500 % 900000)),
            i % 11 == 10 ? QVariant() : QVariant(i % 6 != 5),
            notes.isEmpty() ? QVariant() : QVariant(notes),
            // A few shops sent no sign; a few sent a bitmap rather than a PNG.
            i % 5 == 4 ? QVariant() : QVariant(logo(i, i % 10 == 7 ? "BMP" : "PNG")),
        };
        t.rows.push_back(std::move(r));
    }
    t.deleted = { 8, 20 }; // two shops closed down
    return t;
}

SampleTable partTable()
{
    SampleTable t;
    t.name = QStringLiteral("parts");
    t.fields = {
        FieldDef(QStringLiteral("PART_NO"), FieldType::String, 8),
        FieldDef(QStringLiteral("DESCRIPT"), FieldType::String, 36),
        FieldDef(QStringLiteral("CATEGORY"), FieldType::String, 12),
        FieldDef(QStringLiteral("PRICE"), FieldType::BCD, 8, 2),
        FieldDef(QStringLiteral("ON_HAND"), FieldType::Integer, 6),
        FieldDef(QStringLiteral("WEIGHT"), FieldType::Float, 8, 3),
        FieldDef(QStringLiteral("DISCONT"), FieldType::Boolean),
    };
    for (int i = 0; i < PartCount; ++i) {
        const Part &p = parts[i];
        t.rows.push_back(Record {
            QString::fromLatin1(p.number),
            QString::fromUtf8(p.description),
            QString::fromLatin1(p.category),
            cents(p.priceCents),
            i * 37 % 160,
            p.weightKg < 0 ? QVariant() : QVariant(p.weightKg),
            i % 9 == 8,
        });
    }
    t.deleted = { 13 };
    return t;
}

SampleTable orderTable()
{
    SampleTable t;
    t.name = QStringLiteral("orders");
    t.fields = {
        FieldDef(QStringLiteral("ORDER_NO"), FieldType::Integer, 6),
        FieldDef(QStringLiteral("CUST_NO"), FieldType::Integer, 6),
        FieldDef(QStringLiteral("PART_NO"), FieldType::String, 8),
        FieldDef(QStringLiteral("QTY"), FieldType::SmallInt, 4),
        FieldDef(QStringLiteral("ORDERED"), FieldType::Date),
        FieldDef(QStringLiteral("SHIPPED"), FieldType::Date),
        FieldDef(QStringLiteral("AMOUNT"), FieldType::BCD, 10, 2),
        FieldDef(QStringLiteral("PAID"), FieldType::Boolean),
    };
    const QDate start(2024, 1, 8);
    const int orderCount = 104;
    for (int i = 0; i < orderCount; ++i) {
        // Customers 8 and 20 (deleted) never ordered; skip them.
        int customer = i * 13 % CustomerCount;
        if (customer == 7 || customer == 19)
            customer += 1;
        const int part = i * 7 % PartCount;
        const int quantity = 1 + i * 5 % 20;
        const QDate ordered = start.addDays(i * 3 + i % 2);
        const bool shipped = i < orderCount - 9;
        t.rows.push_back(Record {
            10001 + i,
            1001 + customer,
            QString::fromLatin1(parts[part].number),
            quantity,
            ordered,
            shipped ? QVariant(ordered.addDays(2 + i % 5)) : QVariant(),
            cents(qint64(quantity) * parts[part].priceCents),
            // Payment is unknown for a few orders in dispute.
            i % 17 == 16 ? QVariant() : QVariant(shipped && i % 4 != 1),
        });
    }
    t.deleted = { 42 };
    return t;
}

void fill(DataSet &ds, const SampleTable &t)
{
    for (const Record &r : t.rows) {
        ds.append();
        for (int i = 0; i < int(r.size()); ++i)
            ds.setValue(i, r[std::size_t(i)]);
        ds.post();
    }
    // From the highest row number down, so the ones still to go keep theirs.
    std::vector<qint64> deleted = t.deleted;
    std::sort(deleted.rbegin(), deleted.rend());
    for (qint64 recNo : deleted) {
        ds.setRecNo(recNo);
        ds.deleteRecord();
    }
}

void writeTable(const QString &dir, const SampleTable &t, int type, const QString &codePage)
{
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(t.name);
    table.setTableType(type);
    for (const FieldDef &f : t.fields)
        table.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    table.setCreateOptions(CreateOptions { 0, codePage });
    table.createTable();
    table.open();
    fill(table, t);
    table.close();
}

void writePacket(const QString &path, const SampleTable &t)
{
    ClientDataSet packet;
    for (const FieldDef &f : t.fields)
        packet.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    packet.createDataSet();
    fill(packet, t);
    packet.saveToFile(path, PacketFormat::Xml);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: make_samples OUTDIR\n", stderr);
        return 2;
    }
    const QString outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString foxDir = outDir + QStringLiteral("/foxpro");
    try {
        if (!QDir().mkpath(foxDir))
            throw EngineError(foxDir, QStringLiteral("cannot create the folder"));
        const SampleTable tables[] = { customerTable(), orderTable(), partTable() };
        for (const SampleTable &t : tables) {
            // dBASE text in the DOS code page of Western Europe, FoxPro in the
            // Windows one: the same names, different bytes on disk.
            writeTable(outDir, t, Table::DBase, QStringLiteral("IBM850"));
            writeTable(foxDir, t, Table::FoxPro, QStringLiteral("windows-1252"));
        }
        writePacket(outDir + QStringLiteral("/customer.xml"), tables[0]);
    } catch (const EngineError &e) {
        std::fprintf(stderr, "make_samples: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
