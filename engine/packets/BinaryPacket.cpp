// Reader and writer of the binary packet laid out in BinaryPacketFormat.h.
#include "BinaryPacketFormat.h"
#include "Packets.h"

#include "../EngineError.h"
#include "../Value.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>
#include <QTime>

#include <bit>
#include <cstring>

namespace qvx {

namespace {

constexpr qint64 kMsPerDay = 86400000;

class Output {
public:
    void bytes(const char *p, qsizetype n) { m_out.append(p, n); }
    void u8(quint8 v) { m_out.append(char(v)); }
    template<typename T> void little(T v)
    {
        using U = std::make_unsigned_t<T>;
        U u = U(v);
        char b[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            b[i] = char(u & 0xFF);
            u = U(u >> 8);
        }
        m_out.append(b, sizeof(T));
    }
    void str(const QByteArray &b)
    {
        little<quint32>(quint32(b.size()));
        m_out.append(b);
    }
    void str(const QString &s) { str(s.toUtf8()); }
    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

class Input {
public:
    Input(const QByteArray &bytes, const QString &source) : m_data(bytes), m_source(source) { }

    [[noreturn]] void fail(const QString &what) const
    {
        throw EngineError(m_source,
                          QStringLiteral("binary data packet: %1 (at byte %2)").arg(what).arg(m_pos));
    }
    qint64 remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return remaining() == 0; }
    void need(qint64 n, const char *what) const
    {
        if (n < 0 || n > remaining())
            fail(QStringLiteral("the %1 is cut short").arg(QLatin1String(what)));
    }
    const char *take(qint64 n, const char *what)
    {
        need(n, what);
        const char *p = m_data.constData() + m_pos;
        m_pos += n;
        return p;
    }
    template<typename T> T little(const char *what)
    {
        const auto *p = reinterpret_cast<const unsigned char *>(take(sizeof(T), what));
        std::make_unsigned_t<T> u = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            u = std::make_unsigned_t<T>((u << 8) | p[i]);
        return T(u);
    }
    quint8 u8(const char *what) { return quint8(*take(1, what)); }
    QByteArray bytes(const char *what)
    {
        const quint32 n = little<quint32>(what);
        const char *p = take(qint64(n), what);
        return QByteArray(p, qsizetype(n));
    }
    // A leading U+FEFF is part of the text, not a byte-order mark to drop.
    QString text(const char *what)
    {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8(bytes(what));
    }
    // A count of items that each take at least `minimum` bytes: checked
    // against what remains before anything is reserved for them.
    quint32 count(qint64 minimum, const char *what)
    {
        const quint32 n = little<quint32>(what);
        if (minimum > 0 && qint64(n) > remaining() / minimum)
            fail(QStringLiteral("the %1 (%2) is larger than the file can hold")
                     .arg(QLatin1String(what))
                     .arg(n));
        return n;
    }

private:
    const QByteArray &m_data;
    const QString &m_source;
    qint64 m_pos = 0;
};

void writeValue(Output &out, const FieldDef &f, const QVariant &v)
{
    switch (valueKind(f.type)) {
    case ValueKind::Text:
    case ValueKind::Decimal:
        out.str(v.toString());
        break;
    case ValueKind::Bytes:
        out.str(v.toByteArray());
        break;
    case ValueKind::Int:
        out.little<qint32>(v.toInt());
        break;
    case ValueKind::Int64:
        out.little<qint64>(v.toLongLong());
        break;
    case ValueKind::Bool:
        out.u8(v.toBool() ? 1 : 0);
        break;
    case ValueKind::Double:
        out.little<quint64>(std::bit_cast<quint64>(v.toDouble()));
        break;
    case ValueKind::Date:
        out.little<qint64>(v.toDate().toJulianDay());
        break;
    case ValueKind::Time:
        out.little<quint32>(quint32(v.toTime().msecsSinceStartOfDay()));
        break;
    case ValueKind::DateTime: {
        const QDateTime dt = v.toDateTime();
        out.little<qint64>(QDateTime(dt.date(), dt.time(), Qt::UTC).toMSecsSinceEpoch());
        break;
    }
    case ValueKind::None:
        break;
    }
}

// Is this the text canonicalDecimal() gives: an optional minus (not before
// zero), an integer part without leading zeros, and a fraction, if any,
// without trailing zeros?
bool isCanonicalDecimal(const char *p, qsizetype n)
{
    qsizetype i = n > 0 && p[0] == '-' ? 1 : 0;
    const bool negative = i == 1;
    if (i >= n || p[i] < '0' || p[i] > '9')
        return false;
    const bool zeroInteger = p[i] == '0';
    if (zeroInteger)
        ++i;
    else
        while (i < n && p[i] >= '0' && p[i] <= '9')
            ++i;
    bool fraction = false;
    if (i < n && p[i] == '.') {
        const qsizetype start = ++i;
        while (i < n && p[i] >= '0' && p[i] <= '9')
            ++i;
        if (i == start || p[i - 1] == '0')
            return false;
        fraction = true;
    }
    return i == n && !(negative && zeroInteger && !fraction);
}

// Reads one value into field `i` of the row being built.
void readValue(Input &in, const FieldDef &f, RowStore::Builder &row, std::size_t i)
{
    switch (valueKind(f.type)) {
    case ValueKind::Text: {
        // Valid UTF-8 is kept as it is; anything else is decoded (with
        // replacement characters) the way a QString would hold it.
        const quint32 n = in.little<quint32>("text value");
        const char *p = in.take(qint64(n), "text value");
        if (QByteArrayView(p, qsizetype(n)).isValidUtf8())
            row.setUtf8(i, p, qsizetype(n));
        else
            row.setValue(
                i,
                QString(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)(
                    QByteArrayView(p, qsizetype(n)))));
        return;
    }
    case ValueKind::Decimal: {
        const quint32 n = in.little<quint32>("decimal value");
        const char *p = in.take(qint64(n), "decimal value");
        if (isCanonicalDecimal(p, qsizetype(n))) {
            row.setUtf8(i, p, qsizetype(n));
            return;
        }
        const QString text
            = QStringDecoder(QStringConverter::Utf8,
                             QStringConverter::Flag::ConvertInitialBom)(QByteArrayView(p, qsizetype(n)));
        in.fail(QStringLiteral("'%1' is not a decimal value for field '%2'").arg(text.left(40), f.name));
    }
    case ValueKind::Bytes: {
        const quint32 n = in.little<quint32>("binary value");
        const char *p = in.take(qint64(n), "binary value");
        row.setBytes(i, p, qsizetype(n));
        return;
    }
    case ValueKind::Int: {
        const qint32 n = in.little<qint32>("integer value");
        const bool ok = f.type == FieldType::SmallInt ? n >= -32768 && n <= 32767
            : f.type == FieldType::Word               ? n >= 0 && n <= 65535
                                                      : true;
        if (!ok)
            in.fail(QStringLiteral("%1 is out of range for field '%2'").arg(n).arg(f.name));
        row.setInt32(i, n);
        return;
    }
    case ValueKind::Int64:
        row.setInt64(i, in.little<qint64>("integer value"));
        return;
    case ValueKind::Bool: {
        const quint8 b = in.u8("boolean value");
        if (b > 1)
            in.fail(QStringLiteral("%1 is not a boolean for field '%2'").arg(b).arg(f.name));
        row.setBool(i, b == 1);
        return;
    }
    case ValueKind::Double:
        row.setDouble(i, std::bit_cast<double>(in.little<quint64>("floating point value")));
        return;
    case ValueKind::Date: {
        const QDate d = QDate::fromJulianDay(in.little<qint64>("date value"));
        if (!d.isValid())
            in.fail(QStringLiteral("an invalid date for field '%1'").arg(f.name));
        row.setJulianDay(i, d.toJulianDay());
        return;
    }
    case ValueKind::Time: {
        const quint32 ms = in.little<quint32>("time value");
        if (ms >= kMsPerDay)
            in.fail(QStringLiteral("an invalid time for field '%1'").arg(f.name));
        row.setMsOfDay(i, ms);
        return;
    }
    case ValueKind::DateTime: {
        const qint64 ms = in.little<qint64>("date and time value");
        // Beyond what QDate can count, the conversion below would overflow.
        if (ms < -(qint64(1) << 58) || ms > (qint64(1) << 58))
            in.fail(QStringLiteral("an invalid date and time for field '%1'").arg(f.name));
        const QDateTime dt = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        if (!dt.isValid())
            in.fail(QStringLiteral("an invalid date and time for field '%1'").arg(f.name));
        row.setUtcMs(i, ms);
        return;
    }
    case ValueKind::None:
        break;
    }
}

} // namespace

bool looksLikeBinaryPacket(const QByteArray &bytes)
{
    // The first six bytes name the format; the version that follows them
    // decides whether we can read it, with its own error.
    return bytes.size() >= 6 && std::memcmp(bytes.constData(), binarypacket::kMagic, 6) == 0;
}

QByteArray writeBinaryPacket(const Packet &packet)
{
    checkPacketStructure(packet, QString());
    Output out;
    out.bytes(binarypacket::kMagic, binarypacket::kMagicSize);
    out.little<quint16>(binarypacket::kVersion);
    out.little<quint16>(0);
    out.little<quint32>(quint32(packet.fields.size()));
    for (const FieldDef &f : packet.fields) {
        out.str(f.name);
        out.str(f.displayLabel.isEmpty() ? f.name : f.displayLabel);
        out.u8(quint8(fieldTypeCode(f.type)));
        out.little<qint32>(f.size);
        out.little<qint32>(f.decimals);
        out.u8(quint8((f.required ? binarypacket::Required : 0) | (f.readOnly ? binarypacket::ReadOnly : 0)
                      | (f.visible ? 0 : binarypacket::Hidden)));
        out.str(f.type == FieldType::DataSet ? packet.nestedDefinitions.value(f.name) : QByteArray());
    }
    out.little<quint32>(quint32(packet.indexes.size()));
    for (const IndexDef &index : packet.indexes) {
        out.str(index.name);
        out.little<quint32>(quint32(index.fields.size()));
        for (const QString &name : index.fields)
            out.str(name);
    }
    const std::size_t n = packet.fields.size();
    const std::size_t bitmapSize = (n + 7) / 8;
    out.little<quint32>(quint32(packet.rows.size()));
    QByteArray bitmap(qsizetype(bitmapSize), '\0');
    for (const Record &row : packet.rows) {
        bitmap.fill('\0');
        for (std::size_t i = 0; i < n; ++i) {
            if (i >= row.size() || row[i].isNull() || valueKind(packet.fields[i].type) == ValueKind::None)
                bitmap[qsizetype(i / 8)] = char(quint8(bitmap[qsizetype(i / 8)]) | (1u << (i % 8)));
        }
        out.bytes(bitmap.constData(), bitmap.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!(quint8(bitmap[qsizetype(i / 8)]) & (1u << (i % 8))))
                writeValue(out, packet.fields[i], row[i]);
        }
    }
    return out.take();
}

Packet readBinaryPacket(const QByteArray &bytes, const QString &source)
{
    Input in(bytes, source);
    if (!looksLikeBinaryPacket(bytes))
        in.fail(QStringLiteral("not a binary data packet of this program"));
    const char *magic = in.take(binarypacket::kMagicSize, "header");
    if (std::memcmp(magic, binarypacket::kMagic, binarypacket::kMagicSize) != 0)
        in.fail(QStringLiteral("not a binary data packet of this program"));
    const quint16 version = in.little<quint16>("header");
    if (version != binarypacket::kVersion)
        in.fail(QStringLiteral("version %1 is not supported (this program reads version %2)")
                    .arg(version)
                    .arg(binarypacket::kVersion));
    in.little<quint16>("header");

    Packet packet;
    // A field takes at least 4+4+1+4+4+1+4 bytes.
    const quint32 fieldCount = in.count(22, "field count");
    if (fieldCount == 0)
        in.fail(QStringLiteral("the packet defines no fields"));
    packet.fields.reserve(fieldCount);
    for (quint32 i = 0; i < fieldCount; ++i) {
        const QString name = in.text("field name");
        const QString label = in.text("field label");
        const quint8 code = in.u8("field type");
        if (code > 29)
            in.fail(QStringLiteral("field '%1' has the unknown type code %2").arg(name).arg(code));
        const qint32 size = in.little<qint32>("field size");
        const qint32 decimals = in.little<qint32>("field decimals");
        if (size < 0 || decimals < 0)
            in.fail(QStringLiteral("field '%1' has a negative size").arg(name));
        const quint8 flags = in.u8("field flags");
        const QByteArray extra = in.bytes("field definition");
        FieldDef f(name, fieldTypeFromCode(code), size, decimals, flags & binarypacket::Required);
        f.readOnly = flags & binarypacket::ReadOnly;
        f.visible = !(flags & binarypacket::Hidden);
        f.displayLabel = label.isEmpty() ? name : label;
        if (f.type == FieldType::DataSet && !extra.isEmpty())
            packet.nestedDefinitions.insert(name, extra);
        packet.fields.push_back(std::move(f));
    }
    const quint32 indexCount = in.count(8, "index count");
    packet.indexes.reserve(indexCount);
    for (quint32 i = 0; i < indexCount; ++i) {
        IndexDef index;
        index.name = in.text("index name");
        const quint32 n = in.count(4, "index field count");
        index.fields.reserve(n);
        for (quint32 k = 0; k < n; ++k)
            index.fields.push_back(in.text("index field name"));
        packet.indexes.push_back(std::move(index));
    }
    const std::size_t bitmapSize = (fieldCount + 7) / 8;
    const quint32 rowCount = in.count(qint64(bitmapSize), "row count");
    packet.rows.reserve(rowCount);
    RowStore::Builder row(fieldCount);
    for (quint32 r = 0; r < rowCount; ++r) {
        const auto *bitmap = reinterpret_cast<const unsigned char *>(in.take(qint64(bitmapSize), "row"));
        row.reset(fieldCount);
        for (std::size_t i = 0; i < fieldCount; ++i) {
            if (!(bitmap[i / 8] & (1u << (i % 8))))
                readValue(in, packet.fields[i], row, i);
        }
        packet.rows.append(row);
    }
    if (!in.atEnd())
        in.fail(QStringLiteral("%1 unexpected bytes follow the last row").arg(in.remaining()));
    checkPacketStructure(packet, source);
    return packet;
}

} // namespace qvx
