#include "TableDataModule.h"

#include "engine/FieldDef.h"

namespace {

struct NameCode {
    const char *name;
    int code;
};

constexpr NameCode kDBaseNames[] = {
    { "CHARACTER", 1 }, { "FLOAT", 6 }, { "NUMBER", 3 }, { "DATE", 9 },
    { "LOGICAL", 5 },   { "MEMO", 16 }, { "OLE", 20 },   { "BINARY", 8 },
};

// "Logical" is accepted too: Paradox tables do have a logical type, and
// field lists name it so.
constexpr NameCode kParadoxNames[] = {
    { "Alpha", 1 },         { "Number", 6 },
    { "$(Money)", 7 },      { "Short", 2 },
    { "LongInteger", 25 },  { "#(BCD)", 8 },
    { "Date", 9 },          { "Time", 10 },
    { "@(Timestamp)", 11 }, { "Memo", 16 },
    { "FormatedMemo", 18 }, { "Graphic", 17 },
    { "OLE", 19 },          { "+(Autoincrement)", 14 },
    { "Binary", 15 },       { "Bytes", 12 },
    { "Logical", 5 },
};

// The names the Type pick list offers; six differ in capitals from the
// display names above.
constexpr NameCode kPickListNames[] = {
    { "Unknown", 0 },
    { "String", 1 },
    { "Small integer", 2 },
    { "Integer", 3 },
    { "Boolean", 5 },
    { "Float", 6 },
    { "Currency", 7 },
    { "BCD (Binary-Code Decimal)", 8 },
    { "Date", 9 },
    { "Time", 10 },
    { "Date and time", 11 },
    { "Fixed number of bytes", 12 },
    { "Variable number of bytes", 13 },
    { "Auto-incremeting", 14 },
    { "Binary large object", 15 },
    { "Text memo", 16 },
    { "Bitmap", 17 },
    { "Formatted text memo", 18 },
    { "Typed binary", 21 },
    { "Output cursor (ORACLE)", 22 },
    { "Fixed character", 23 },
    { "Wide string", 24 },
    { "Lagre integer", 25 },
    { "Abstract data type", 26 },
    { "Array", 27 },
    { "Reference (REF)", 28 },
    { "Data set", 29 },
    { "Paradox OLE", 19 },
    { "dBASE OLE", 20 },
};

template<std::size_t N> int lookup(const NameCode (&table)[N], const QString &name)
{
    for (const NameCode &entry : table) {
        if (name == QLatin1String(entry.name))
            return entry.code;
    }
    return 0;
}

} // namespace

TTableData::TTableData(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("TableData"));
    qvx::Session::setDefaultSession(&Session);
}

void TTableData::FieldTypeName(int code, QString &text) const
{
    if (const char *name = qvx::fieldTypeDisplayName(code))
        text = QLatin1String(name);
}

int TTableData::DBaseTypeCode(const QString &name) const
{
    return lookup(kDBaseNames, name);
}

int TTableData::ParadoxTypeCode(const QString &name) const
{
    return lookup(kParadoxNames, name);
}

int TTableData::FieldTypeCode(const QString &name) const
{
    return lookup(kPickListNames, name);
}
