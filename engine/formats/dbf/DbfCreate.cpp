#include "DbfCreate.h"

#include "DbfCodePage.h"

#include "../../EngineError.h"

#include <QSet>

#include <algorithm>

namespace qvx::dbf {

namespace {

struct Native {
    char type = 'C';
    int length = 0;
    int decimals = 0;
    std::uint8_t flags = 0;
};

// How each field type is stored, per variant ("-" = refused there):
//
//   type                          dBASE III+  dBASE IV   FoxPro 2.x   Visual FoxPro
//   String/FixedChar/WideString   C(size)     C(size)    C(size)      C(size)
//     size above 254              -           -          long C       -
//   SmallInt                      N(6,0)      N(6,0)     N(6,0)       I
//   Integer                       N(11,0)     N(11,0)    N(11,0)      I
//   Word                          N(5,0)      N(5,0)     N(5,0)       I
//   LargeInt                      N(20,0)     N(20,0)    N(20,0)      N(20,0)
//   AutoInc                       -           -          -            I, autoincrement
//   Boolean                       L           L          L            L
//   Float                         -           F(20,d)    F(20,d)      B (double)
//   Currency                      N(20,4)     N(20,4)    N(20,4)      Y
//   BCD                           N(size,d)   N(size,d)  N(size,d)    N(size,d)
//   Date                          D           D          D            D
//   DateTime                      -           -          -            T
//   Time                          -           -          -            -
//   Bytes                         -           -          -            C(size), binary
//   VarBytes                      -           -          -            Q(size)
//   Memo, FmtMemo                 M           M          M            M
//   Blob, TypedBinary             -           B          -            W
//   Graphic                       -           B          P            P
//   DBaseOle, ParadoxOle          -           G          G            G
//
// dBASE III+ memos end at a 0x1A byte, so it takes no binary memo types;
// numbers wider than 9 digits come back as BCD text, which keeps them exact.
constexpr int kMaxNumericWidth = 20;
constexpr int kMaxCharWidth = 254;

QString mapField(const FieldDef &f, Variant v, Native &out)
{
    const bool vfp = v == Variant::VisualFoxPro;
    const int memoWidth = vfp ? kVfpPointerWidth : kMemoPointerWidth;
    const QString variant = variantName(v);
    auto numeric = [&](int width, int decimals) {
        out = { 'N', width, decimals, 0 };
        return QString();
    };
    switch (f.type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
        if (f.size < 1)
            return QStringLiteral("a character field needs a size of at least 1");
        if (f.size > kMaxCharWidth && (v != Variant::FoxPro2 || f.size > 65535))
            return QStringLiteral("%1 character fields hold at most %2 characters")
                .arg(variant)
                .arg(kMaxCharWidth);
        out = { 'C', f.size, 0, 0 };
        return {};
    case FieldType::SmallInt:
        if (vfp)
            break;
        return numeric(6, 0);
    case FieldType::Integer:
        if (vfp)
            break;
        return numeric(11, 0);
    case FieldType::Word:
        if (vfp)
            break;
        return numeric(5, 0);
    case FieldType::LargeInt:
        return numeric(20, 0);
    case FieldType::AutoInc:
        if (!vfp)
            return QStringLiteral("%1 has no auto-incrementing fields").arg(variant);
        out = { 'I', 4, 0, kFieldAutoInc };
        return {};
    case FieldType::Boolean:
        out = { 'L', 1, 0, 0 };
        return {};
    case FieldType::Float:
        if (v == Variant::DBase3)
            return QStringLiteral("%1 has no floating-point fields").arg(variant);
        out = { vfp ? 'B' : 'F', vfp ? 8 : kMaxNumericWidth, std::clamp(f.decimals, 0, 18), 0 };
        return {};
    case FieldType::Currency:
        if (vfp) {
            out = { 'Y', 8, 4, 0 };
            return {};
        }
        return numeric(20, 4);
    case FieldType::BCD: {
        const int width = f.size > 0 ? f.size : kMaxNumericWidth;
        if (width > kMaxNumericWidth)
            return QStringLiteral("numeric fields hold at most %1 characters").arg(kMaxNumericWidth);
        if (f.decimals < 0 || (f.decimals > 0 && f.decimals > width - 2))
            return QStringLiteral("%1 decimals do not fit in a width of %2").arg(f.decimals).arg(width);
        return numeric(width, f.decimals);
    }
    case FieldType::Date:
        out = { 'D', 8, 0, 0 };
        return {};
    case FieldType::DateTime:
        if (!vfp)
            return QStringLiteral("%1 has no date-and-time fields").arg(variant);
        out = { 'T', 8, 0, 0 };
        return {};
    case FieldType::Time:
        return QStringLiteral("dBASE and FoxPro tables have no time fields");
    case FieldType::Bytes:
    case FieldType::VarBytes:
        if (!vfp)
            return QStringLiteral("%1 has no binary character fields").arg(variant);
        if (f.size < 1 || f.size > kMaxCharWidth)
            return QStringLiteral("a binary field needs a size from 1 to %1").arg(kMaxCharWidth);
        out = { f.type == FieldType::Bytes ? 'C' : 'Q', f.size, 0, kFieldBinary };
        return {};
    case FieldType::Memo:
    case FieldType::FmtMemo:
        out = { 'M', memoWidth, 0, 0 };
        return {};
    case FieldType::Blob:
    case FieldType::TypedBinary:
        if (v == Variant::DBase4)
            out = { 'B', memoWidth, 0, 0 };
        else if (vfp)
            out = { 'W', memoWidth, 0, kFieldBinary };
        else
            return QStringLiteral("%1 has no binary memo fields").arg(variant);
        return {};
    case FieldType::Graphic:
        if (v == Variant::DBase3)
            return QStringLiteral("%1 has no binary memo fields").arg(variant);
        out = { v == Variant::DBase4 ? 'B' : 'P', memoWidth, 0, std::uint8_t(vfp ? kFieldBinary : 0) };
        return {};
    case FieldType::DBaseOle:
    case FieldType::ParadoxOle:
        if (v == Variant::DBase3)
            return QStringLiteral("%1 has no OLE fields").arg(variant);
        out = { 'G', memoWidth, 0, std::uint8_t(vfp ? kFieldBinary : 0) };
        return {};
    default:
        return QStringLiteral("fields of type %1 cannot be kept in a dBASE or FoxPro table")
            .arg(fieldTypeCode(f.type));
    }
    // The integer types in Visual FoxPro.
    out = { 'I', 4, 0, 0 };
    return {};
}

void checkNames(const FieldDefs &fields, const QString &path)
{
    if (fields.empty())
        throw EngineError(path, QStringLiteral("a table needs at least one field"));
    QSet<QString> seen;
    for (const FieldDef &f : fields) {
        const QString &name = f.name;
        bool ok = !name.isEmpty() && name.size() <= kMaxNameLength && !name[0].isDigit() && name[0] != u'_';
        for (QChar ch : name)
            if (ch.unicode() > 127 || !(ch.isLetterOrNumber() || ch == u'_'))
                ok = false;
        if (!ok)
            throw EngineError(path,
                              QStringLiteral("\"%1\" is not a valid field name: a name has 1 to %2 letters, "
                                             "digits or underscores and starts with a letter")
                                  .arg(name)
                                  .arg(kMaxNameLength));
        if (seen.contains(name.toUpper()))
            throw EngineError(path, QStringLiteral("the field name %1 is used twice").arg(name));
        seen.insert(name.toUpper());
    }
}

// Lays the table out in one variant; returns an empty string, or why it
// cannot hold the fields.
QString tryVariant(const FieldDefs &fields, Variant v, const QStringList &varying, TablePlan &plan)
{
    const int maxFields = v == Variant::DBase3 ? 128 : 255;
    if (int(fields.size()) > maxFields)
        return QStringLiteral("%1 tables have at most %2 fields").arg(variantName(v)).arg(maxFields);
    Header &h = plan.header;
    h = Header();
    h.variant = v;
    const bool vfp = v == Variant::VisualFoxPro;
    bool memo = false, varTypes = false, autoInc = false;
    int nullBits = 0;
    for (const FieldDef &f : fields) {
        Native n;
        const QString why = mapField(f, v, n);
        if (!why.isEmpty())
            return QStringLiteral("field %1: %2").arg(f.name, why);
        if (vfp && n.type == 'C' && !(n.flags & kFieldBinary) && n.length <= kMaxCharWidth
            && varying.contains(f.name, Qt::CaseInsensitive))
            n.type = 'V';
        FieldDescriptor d;
        d.name = f.name.toLatin1();
        d.type = n.type;
        d.length = n.length;
        d.decimals = n.decimals;
        d.flags = vfp ? n.flags : 0;
        if (d.isAutoInc()) {
            d.autoIncNext = 1;
            d.autoIncStep = 1;
            autoInc = true;
        }
        if (vfp) {
            if (d.type == 'Q' || d.type == 'V')
                ++nullBits;
            if (!f.required && !d.isAutoInc()) {
                d.flags |= kFieldNullable;
                ++nullBits;
            }
        }
        memo = memo || isMemoType(d.type, v);
        varTypes = varTypes || d.type == 'Q' || d.type == 'V' || d.type == 'W';
        h.fields.push_back(d);
    }
    if (nullBits > 0) {
        FieldDescriptor nf;
        nf.name = "_NullFlags";
        nf.type = '0';
        nf.length = (nullBits + 7) / 8;
        nf.flags = kFieldSystem | kFieldBinary;
        h.fields.push_back(nf);
    }
    int offset = 1;
    for (FieldDescriptor &d : h.fields) {
        d.offset = offset;
        offset += d.length;
    }
    if (offset > 65535)
        return QStringLiteral("the fields take %1 bytes, more than a record can hold (65535)").arg(offset);
    h.recordLength = offset;
    h.headerLength = kFileHeaderSize + kDescriptorSize * int(h.fields.size()) + 1 + (vfp ? kBacklinkSize : 0);

    switch (v) {
    case Variant::DBase3:
        h.version = memo ? 0x83 : 0x03;
        plan.memoKind = memo ? MemoKind::Dbt3 : MemoKind::None;
        plan.memoBlockSize = kDbt3BlockSize;
        break;
    case Variant::DBase4:
        h.version = memo ? 0x8B : 0x03;
        plan.memoKind = memo ? MemoKind::Dbt4 : MemoKind::None;
        plan.memoBlockSize = kDbt4DefaultBlockSize;
        break;
    case Variant::FoxPro2:
        h.version = memo ? 0xF5 : 0x03;
        plan.memoKind = memo ? MemoKind::Fpt : MemoKind::None;
        plan.memoBlockSize = kFptDefaultBlockSize;
        break;
    case Variant::VisualFoxPro:
        h.version = varTypes ? 0x32 : autoInc ? 0x31 : 0x30;
        h.tableFlags = memo ? kFlagVfpMemo : 0;
        plan.memoKind = memo ? MemoKind::Fpt : MemoKind::None;
        plan.memoBlockSize = kFptDefaultBlockSize;
        break;
    }
    h.memoKind = plan.memoKind;
    h.lastUpdate = QDate::currentDate();
    return {};
}

} // namespace

TablePlan planTable(const FieldDefs &fields, const CreateOptions &options, Family family, const QString &path)
{
    checkNames(fields, path);

    std::vector<Variant> candidates;
    switch (options.version) {
    case 0:
        if (family == Family::DBase)
            candidates = { Variant::DBase3, Variant::DBase4 };
        else
            candidates = { Variant::FoxPro2, Variant::VisualFoxPro };
        break;
    case 0x03:
    case 0x83:
        candidates = { Variant::DBase3 };
        break;
    case 0x8B:
        candidates = { Variant::DBase4 };
        break;
    case 0xF5:
        candidates = { Variant::FoxPro2 };
        break;
    case 0x30:
    case 0x31:
    case 0x32:
        candidates = { Variant::VisualFoxPro };
        break;
    default:
        throw EngineError(path,
                          QStringLiteral("version byte 0x%1 is not one this program creates")
                              .arg(options.version, 2, 16, QLatin1Char('0')));
    }

    int driver = 0x03;
    if (!options.codePage.isEmpty()) {
        driver = driverForCodePage(options.codePage);
        if (driver < 0)
            throw EngineError(
                path,
                QStringLiteral("code page %1 has no language driver byte in dBASE or FoxPro tables")
                    .arg(options.codePage));
    }

    TablePlan plan;
    QString why;
    for (Variant v : candidates) {
        why = tryVariant(fields, v, options.varyingFields, plan);
        if (why.isEmpty()) {
            plan.header.languageDriver = std::uint8_t(driver);
            return plan;
        }
    }
    throw EngineError(path, why);
}

QByteArray newTableFile(const TablePlan &plan)
{
    QByteArray out = encodeHeader(plan.header);
    out += kFileEnd;
    return out;
}

} // namespace qvx::dbf
