#include "TableWriter.h"

#include "Table.h"
#include "Value.h"
#include "formats/common/CodePage.h"
#include "formats/dbf/DbfCodePage.h"
#include "formats/dbf/DbfLayout.h"
#include "formats/paradox/ParadoxTable.h"
#include "io/File.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qvx {

namespace {

// A copy failure with the record and field it happened at; the value alone
// rarely tells which one would not go in.
EngineError valueError(const DataSet &from, int field, const EngineError &e)
{
    const QString where = field < from.fieldCount()
        ? QStringLiteral("record %1, field %2").arg(from.recNo()).arg(from.field(field).name)
        : QStringLiteral("record %1").arg(from.recNo());
    return EngineError(where + QStringLiteral(": ") + e.message());
}

// Where each field of `from` goes in `to`; -1 for a field the target fills itself.
std::vector<int> fieldMap(const DataSet &from, const DataSet &to)
{
    std::vector<int> map;
    for (const FieldDef &f : from.fields()) {
        const int index = to.fieldIndex(f.name);
        if (index < 0)
            throw EngineError(QStringLiteral("field '%1' is missing from the written table").arg(f.name));
        map.push_back(to.field(index).readOnly ? -1 : index);
    }
    return map;
}

// The code page of a table being converted, when the target can declare it,
// so that a Cyrillic or Polish table stays one. Packets, and text tables in a
// code page no dbf or Paradox header can name (UTF-8), leave the target's
// default.
QString keptCodePage(const DataSet &from, int tableType)
{
    const auto *table = dynamic_cast<const Table *>(&from);
    if (!table || !table->isOpen())
        return {};
    const QString codePage = table->info().codePage;
    if (codePage.isEmpty())
        return {};
    switch (tableType) {
    case Table::DBase:
    case Table::FoxPro:
        // Code pages without a language driver byte go to a .cpg file.
        return !common::canonicalCodePage(codePage).isEmpty() ? codePage : QString();
    case Table::Paradox:
        return paradox::codePageNumber(codePage) != 0 ? codePage : QString();
    default:
        return {};
    }
}

// A keyed Paradox table written as Paradox keeps its primary key (the
// fields keep their order, so the key stays the leading fields).
int keptKeyFields(const DataSet &from, int tableType)
{
    const auto *table = dynamic_cast<const Table *>(&from);
    if (tableType != Table::Paradox || !table || !table->isOpen())
        return 0;
    return table->info().keyFields;
}

void writePacket(DataSet &from, const QString &path, PacketFormat format, const std::function<void()> &step)
{
    ClientDataSet packet;
    for (const FieldDef &f : from.fields())
        packet.addFieldDef(f.name, f.type, f.size, f.required, f.decimals);
    namingFile(path, [&] {
        packet.createDataSet();
        copyRecords(from, packet, step);
        // The engine writes the packet beside the target and renames it into place.
        packet.saveToFile(path, format);
    });
}

void moveFile(const QString &from, const QString &to)
{
    // rename(2) replaces an existing target in one step; QFile::rename does not.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EngineError(to,
                          QStringLiteral("cannot put the new file in place: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

// ---- Fitting fields to a dbf target ------------------------------------------

// How one field of the source is written: its definition in the target and
// what its values become on the way (nothing for most fields).
struct FieldPlan {
    FieldDef def;
    std::function<QVariant(const QVariant &)> convert;
};

constexpr int kDbfNumberWidth = 20;

// A number as fixed-point text with the fewest decimals (at most 18) that
// give it back exactly; empty when there is none.
QString fixedText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString) {
        QString t = v.toString().trimmed();
        if (t.contains(u'.')) {
            while (t.endsWith(u'0'))
                t.chop(1);
            if (t.endsWith(u'.'))
                t.chop(1);
        }
        return t;
    }
    const double d = v.toDouble();
    if (!std::isfinite(d))
        return {};
    for (int decimals = 0; decimals <= 18; ++decimals) {
        const QString t = QString::number(d, 'f', decimals);
        if (t.toDouble() == d)
            return t;
    }
    return {};
}

// The facts of a field's values that choosing its target type needs.
struct ValueScan {
    int intWidth = 1; // digits before the point, with the sign
    int decimals = 0; // digits after the point that are not trailing zeros
    QString widest; // the value needing the most room, for a refusal
    bool onlyMidnight = true; // date-and-time values
    bool milliseconds = false;
};

enum class DbfLevel { DBase3, DBase, FoxPro2, Vfp };

bool needsScan(const FieldDef &f, DbfLevel level)
{
    switch (f.type) {
    case FieldType::BCD:
        return f.size > kDbfNumberWidth || (f.decimals > 0 && f.decimals > f.size - 2);
    case FieldType::Float:
        return level == DbfLevel::DBase3;
    case FieldType::DateTime:
        return level != DbfLevel::Vfp;
    default:
        return false;
    }
}

// A valid and unique dbf field name: ASCII letters (accents dropped), digits
// and underscores, starting with a letter, at most ten characters.
QString dbfName(const QString &name, QSet<QString> &taken)
{
    QString base;
    for (QChar ch : name.normalized(QString::NormalizationForm_KD)) {
        if (ch == u'ß')
            base += QStringLiteral("SS");
        else if (ch.unicode() < 128 && (ch.isLetterOrNumber() || ch == u'_'))
            base += ch.toUpper();
        else if (ch.unicode() < 128 || ch.isSpace())
            base += u'_';
        // other characters (combining accents, letters of other scripts) are dropped
    }
    if (base.isEmpty() || !base[0].isLetter())
        base.prepend(u'F');
    base.truncate(dbf::kMaxNameLength);
    QString candidate = base;
    for (int n = 1; taken.contains(candidate); ++n) {
        const QString suffix = QStringLiteral("_%1").arg(n);
        candidate = base.left(dbf::kMaxNameLength - suffix.size()) + suffix;
    }
    taken.insert(candidate);
    return candidate;
}

QString numberShape(int width, int decimals)
{
    return QStringLiteral("N(%1,%2)").arg(width).arg(decimals);
}

// The fields of from as a dbf table of the target can hold them, each
// change said in notes. Throws EngineError naming the field and the value
// that no type of the target keeps.
std::vector<FieldPlan> fitDbfFields(DataSet &from, const WriteTarget &target, QStringList &notes)
{
    DbfLevel level = target.tableType == Table::DBase ? DbfLevel::DBase : DbfLevel::Vfp;
    if (target.version == 0x03 || target.version == 0x83)
        level = DbfLevel::DBase3;
    else if (target.version == 0xF5)
        level = DbfLevel::FoxPro2;

    const int n = from.fieldCount();
    std::vector<ValueScan> scans(static_cast<std::size_t>(n));
    std::vector<int> scanned;
    for (int i = 0; i < n; ++i)
        if (needsScan(from.field(i), level))
            scanned.push_back(i);
    if (!scanned.empty()) {
        for (from.first(); !from.eof(); from.next()) {
            for (int i : scanned) {
                const QVariant v = from.value(i);
                if (v.isNull())
                    continue;
                ValueScan &s = scans[std::size_t(i)];
                if (from.field(i).type == FieldType::DateTime) {
                    const QTime t = v.toDateTime().time();
                    s.onlyMidnight = s.onlyMidnight && t == QTime(0, 0);
                    s.milliseconds = s.milliseconds || t.msec() != 0;
                    continue;
                }
                const QString text = fixedText(v);
                if (text.isEmpty())
                    throw EngineError(QStringLiteral("record %1, field %2: '%3' cannot be stored as a number")
                                          .arg(from.recNo())
                                          .arg(from.field(i).name, v.toString()));
                const qsizetype point = text.indexOf(u'.');
                const int intWidth = int(point < 0 ? text.size() : point);
                const int decimals = point < 0 ? 0 : int(text.size() - point - 1);
                if (intWidth + (decimals ? decimals + 1 : 0) > s.intWidth + (s.decimals ? s.decimals + 1 : 0))
                    s.widest = text;
                s.intWidth = std::max(s.intWidth, intWidth);
                s.decimals = std::max(s.decimals, decimals);
            }
        }
    }

    std::vector<FieldPlan> plans;
    QSet<QString> taken;
    for (int i = 0; i < n; ++i) {
        const FieldDef &f = from.field(i);
        FieldPlan plan { f, {} };
        plan.def.readOnly = false;
        plan.def.name = dbfName(f.name, taken);
        if (plan.def.name != f.name)
            notes << QStringLiteral("field %1 is named %2").arg(f.name, plan.def.name);
        const QString name = plan.def.name;
        const ValueScan &s = scans[std::size_t(i)];
        // A number that needs the room it has: as many decimals as the
        // values need and the width leaves.
        auto fitNumber = [&](const QString &was, int wantDecimals) {
            const int room = kDbfNumberWidth - s.intWidth - 1;
            if (s.intWidth > kDbfNumberWidth || s.decimals > room)
                throw EngineError(QStringLiteral("field %1: the value %2 needs more than %3 characters")
                                      .arg(f.name, s.widest)
                                      .arg(kDbfNumberWidth));
            const int decimals = std::clamp(wantDecimals, s.decimals, std::max(room, 0));
            plan.def.type = FieldType::BCD;
            plan.def.size = kDbfNumberWidth;
            plan.def.decimals = decimals;
            notes << QStringLiteral("field %1: %2 is written as %3")
                         .arg(name, was, numberShape(kDbfNumberWidth, decimals));
        };
        if (needsScan(f, level) && f.type == FieldType::BCD) {
            fitNumber(numberShape(f.size, f.decimals), f.decimals);
        } else if (needsScan(f, level) && f.type == FieldType::Float) {
            fitNumber(QStringLiteral("a floating-point number"), s.decimals);
        } else if (needsScan(f, level) && f.type == FieldType::DateTime) {
            if (s.onlyMidnight) {
                plan.def.type = FieldType::Date;
                plan.convert
                    = [](const QVariant &v) { return v.isNull() ? v : QVariant(v.toDateTime().date()); };
                notes << QStringLiteral(
                             "field %1: date and time is written as a date (every time is midnight)")
                             .arg(name);
            } else {
                const QString form = s.milliseconds ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                    : QStringLiteral("yyyy-MM-dd HH:mm:ss");
                plan.def.type = FieldType::String;
                plan.def.size = int(form.size());
                plan.convert = [form](const QVariant &v) {
                    return v.isNull() ? v : QVariant(v.toDateTime().toString(form));
                };
                notes << QStringLiteral("field %1: date and time is written as text of %2 characters (%3)")
                             .arg(name)
                             .arg(form.size())
                             .arg(form);
            }
        } else if (f.type == FieldType::Time && level == DbfLevel::Vfp) {
            plan.def.type = FieldType::DateTime;
            plan.convert = [](const QVariant &v) {
                return v.isNull() ? v : QVariant(QDateTime(QDate(1899, 12, 30), v.toTime()));
            };
            notes << QStringLiteral("field %1: time of day is written as a date and time on 1899-12-30")
                         .arg(name);
        } else if (f.type == FieldType::AutoInc && level != DbfLevel::Vfp) {
            plan.def.type = FieldType::Integer;
            notes
                << QStringLiteral("field %1: autoincrement is written as an integer (values kept)").arg(name);
        }
        plans.push_back(std::move(plan));
    }
    return plans;
}

// The fields written as they are, with the names of the source.
std::vector<FieldPlan> keepFields(const DataSet &from)
{
    std::vector<FieldPlan> plans;
    for (const FieldDef &f : from.fields())
        plans.push_back({ f, {} });
    return plans;
}

// Appends every record of from to to, field i of from going to field i of
// to through its plan (fields to fills itself are left to it).
void copyPlanned(DataSet &from, DataSet &to, const std::vector<FieldPlan> &plans,
                 const std::function<void()> &step)
{
    for (from.first(); !from.eof(); from.next()) {
        int i = 0;
        try {
            Record rec(std::size_t(to.fieldCount()));
            for (; i < from.fieldCount(); ++i) {
                if (to.field(i).readOnly)
                    continue;
                const FieldPlan &plan = plans[std::size_t(i)];
                const QVariant v = plan.convert ? plan.convert(from.value(i)) : from.value(i);
                rec[std::size_t(i)] = coerceValue(v, to.field(i));
            }
            to.appendRecord(rec);
        } catch (const EngineError &e) {
            throw valueError(from, i, e);
        }
        if (step)
            step();
    }
}

// A table is several files (data, memo); all of them are built in a
// temporary folder beside the target and moved into place only when
// complete, so a failure leaves neither a half-written table nor litter.
void writeTable(DataSet &from, const QString &path, const WriteTarget &target,
                const std::function<void()> &step, QStringList &notes)
{
    const QFileInfo outInfo(path);
    const QString outDir = outInfo.absolutePath();
    QTemporaryDir work(outDir + QStringLiteral("/.qvx-write-XXXXXX"));
    if (!work.isValid())
        throw EngineError(
            path, QStringLiteral("cannot create a temporary folder beside it: %1").arg(work.errorString()));

    Table table;
    table.setDatabaseName(work.path());
    table.setTableName(outInfo.fileName());
    table.setTableType(target.tableType);
    const std::vector<FieldPlan> plans = target.tableType == Table::DBase || target.tableType == Table::FoxPro
        ? fitDbfFields(from, target, notes)
        : keepFields(from);
    for (const FieldPlan &p : plans)
        table.addFieldDef(p.def.name, p.def.type, p.def.size, p.def.required, p.def.decimals);
    CreateOptions options { target.version, target.codePage };
    if (options.codePage.isEmpty())
        options.codePage = keptCodePage(from, target.tableType);
    options.keyFields = keptKeyFields(from, target.tableType);
    if (const auto *source = dynamic_cast<const Table *>(&from); source && source->isOpen())
        options.varyingFields = source->info().varyingFields;
    table.setCreateOptions(options);

    const TableDriver &driver = Table::driverFor(target.tableType);
    const QString finalPath = outDir + u'/' + QFileInfo(table.filePath()).fileName();
    const QStringList previous = driver.files(finalPath);
    for (const QString &old : previous)
        checkReplaceable(old);
    // Held until the new files are in place: a window or program writing the
    // old table would otherwise go on writing into files that are gone.
    const TableFilesLock lock(previous);
    std::optional<QFile::Permissions> tableMode;
    if (!previous.isEmpty())
        tableMode = QFile::permissions(previous.first());

    try {
        table.createTable();
        table.open();
        // A text table would otherwise be written again for every record.
        table.beginBatch();
        copyPlanned(from, table, plans, step);
        table.commitBatch();
        table.close();
    } catch (const EngineError &e) {
        // Name the target, not the temporary folder nobody will see.
        QString message = e.message();
        message.replace(work.path() + u'/', outDir + u'/');
        if (!message.contains(outInfo.fileName()))
            message = path + QStringLiteral(": ") + message;
        throw EngineError(message);
    }

    const QStringList built = driver.files(table.filePath());
    QStringList placed;
    // The data file goes last: until it is in place, an old table stays whole.
    for (auto it = built.crbegin(); it != built.crend(); ++it) {
        const QString dest = outDir + u'/' + QFileInfo(*it).fileName();
        // A replaced file keeps its mode; a new companion takes the table's.
        if (QFileInfo::exists(dest))
            QFile::setPermissions(*it, QFile::permissions(dest));
        else if (tableMode)
            QFile::setPermissions(*it, *tableMode);
        moveFile(*it, dest);
        placed += dest;
    }
    // A memo file of an older table by that name would confuse the next reader.
    for (const QString &old : previous) {
        if (!placed.contains(old))
            QFile::remove(old);
    }
}

} // namespace

std::optional<WriteTarget> writeTargetForFileName(const QString &path)
{
    const FileKind *kind = fileKindForName(path);
    if (!kind || !kind->writable)
        return std::nullopt;
    return WriteTarget { kind->tableType, 0, kind->packetFormat, {} };
}

void copyRecords(DataSet &from, DataSet &to, const std::function<void()> &step)
{
    const std::vector<int> map = fieldMap(from, to);
    for (from.first(); !from.eof(); from.next()) {
        int i = 0;
        try {
            // A whole record at once, so that a record of nulls is copied too.
            Record rec(std::size_t(to.fieldCount()));
            for (; i < from.fieldCount(); ++i) {
                const int target = map[std::size_t(i)];
                if (target >= 0)
                    rec[std::size_t(target)] = coerceValue(from.value(i), to.field(target));
            }
            to.appendRecord(rec);
        } catch (const EngineError &e) {
            throw valueError(from, i, e);
        }
        if (step)
            step();
    }
}

QStringList writeDataSet(DataSet &from, const QString &path, const WriteTarget &target,
                         const std::function<void()> &step)
{
    QStringList notes;
    if (target.tableType == Table::Default)
        writePacket(from, path, target.packetFormat, step);
    else
        writeTable(from, path, target, step, notes);
    return notes;
}

} // namespace qvx
