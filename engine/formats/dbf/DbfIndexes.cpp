#include "DbfIndexes.h"

#include "../common/CodePage.h"

#include "../../EngineError.h"
#include "../../io/File.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <mutex>
#include <numeric>

namespace qvx::dbf {

using namespace index;

struct DbfIndexes::Tag {
    TagDef def;
    std::optional<KeyExpression> key;
    std::optional<KeyExpression> filter;
    QString problem; // why the tag cannot be kept up to date; empty when it can
    // Sorted, once the file is loaded; shared with the cache of keys read
    // (a tag's keys are replaced, never changed in place).
    std::shared_ptr<const KeyList> keys = std::make_shared<const KeyList>();
    bool sound = true; // the keys read agree with the table as far as can be checked cheaply
    bool rebuild = false; // rebuilt from the records at the next flush
    bool textNumbers = false; // numeric keys stored as text (.ntx)
    // Whether every byte of the keys last looked at is printable ASCII.
    const KeyList *asciiChecked = nullptr;
    bool printableAscii = false;
    std::vector<std::pair<QByteArray, std::uint32_t>> adds, removes;
};

struct DbfIndexes::IndexFile {
    QString path;
    IndexKind kind = IndexKind::Cdx;
    bool production = false;
    bool compact = true; // an .idx in the compact form
    bool loaded = false;
    bool dirty = false;
    std::vector<Tag> tags;
};

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// An index file mapped into memory: a reader of its tags touches only the
// pages that hold them, so that opening a table with a large index costs
// no more than its headers.
class MappedFile {
public:
    explicit MappedFile(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            throw EngineError(path,
                              QStringLiteral("cannot read the index file (%1)").arg(m_file.errorString()));
        const qint64 size = m_file.size();
        if (size > 0) {
            m_data = m_file.map(0, size);
            if (!m_data) {
                m_copy = m_file.readAll();
                if (m_file.error() != QFileDevice::NoError)
                    throw EngineError(
                        path, QStringLiteral("cannot read the index file (%1)").arg(m_file.errorString()));
            }
        }
        m_size = m_data ? size : m_copy.size();
    }
    ~MappedFile()
    {
        if (m_data)
            m_file.unmap(m_data);
    }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    QByteArrayView bytes() const
    {
        return m_data ? QByteArrayView(reinterpret_cast<const char *>(m_data), m_size)
                      : QByteArrayView(m_copy);
    }

private:
    QFile m_file;
    uchar *m_data = nullptr;
    QByteArray m_copy;
    qint64 m_size = 0;
};

// Keys read or written lately, by file, so that the statements of a query
// (each of which opens its tables anew) do not read a large index again.
// An entry holds while the file's size, time and inode stay as they were.
struct CacheEntry {
    FileIdentity id;
    std::vector<std::shared_ptr<const KeyList>> keys;
    // Which tags agreed with a table of checkedCount records.
    qint64 checkedCount = -1;
    std::vector<char> sound;
    qint64 bytes = 0;
};

constexpr qint64 kCacheBytes = qint64(512) << 20;
std::mutex cacheLock;
std::list<CacheEntry> cache; // most recently used first

} // namespace

DbfIndexes::CachedIndex DbfIndexes::cachedKeys(const QString &path, std::size_t tags)
{
    FileIdentity now;
    if (!identifyFile(path, now))
        return {};
    const std::lock_guard<std::mutex> guard(cacheLock);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (it->id.path != now.path)
            continue;
        if (!(it->id == now) || it->keys.size() != tags) {
            cache.erase(it);
            return {};
        }
        cache.splice(cache.begin(), cache, it);
        return { cache.front().keys, cache.front().checkedCount, cache.front().sound };
    }
    return {};
}

void DbfIndexes::cacheKeys(const QString &path, const CachedIndex &index)
{
    CacheEntry entry;
    if (!identifyFile(path, entry.id))
        return;
    entry.keys = index.keys;
    entry.checkedCount = index.checkedCount;
    entry.sound = index.sound;
    const auto &keys = index.keys;
    for (const auto &k : keys)
        entry.bytes += k->keys.size() + qint64(k->records.size() * sizeof(std::uint32_t));
    const std::lock_guard<std::mutex> guard(cacheLock);
    cache.remove_if([&](const CacheEntry &e) { return e.id.path == entry.id.path; });
    if (entry.bytes > kCacheBytes)
        return;
    cache.push_front(std::move(entry));
    qint64 total = 0;
    for (auto it = cache.begin(); it != cache.end();) {
        total += it->bytes;
        it = total > kCacheBytes ? cache.erase(it) : std::next(it);
    }
}

namespace {

// Keys compare by their bytes, then by record number.
int compareEntry(QByteArrayView a, std::uint32_t ra, QByteArrayView b, std::uint32_t rb)
{
    const int c = std::memcmp(a.data(), b.data(), std::size_t(std::min(a.size(), b.size())));
    if (c != 0)
        return c;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return ra == rb ? 0 : ra < rb ? -1 : 1;
}

// The entries of a list in key order, each once per key when unique.
KeyList sortedKeys(int keyLength, QByteArray keys, std::vector<std::uint32_t> records, bool unique)
{
    std::vector<std::uint32_t> order(records.size());
    std::iota(order.begin(), order.end(), 0u);
    const char *base = keys.constData();
    const std::size_t len = std::size_t(keyLength);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = std::memcmp(base + a * len, base + b * len, len);
        return c != 0 ? c < 0 : records[a] < records[b];
    });
    KeyList out;
    out.keyLength = keyLength;
    out.keys.reserve(keys.size());
    out.records.reserve(records.size());
    for (std::uint32_t i : order) {
        const QByteArrayView key(base + i * len, qsizetype(len));
        if (unique && out.size() > 0 && out.key(out.size() - 1) == key)
            continue;
        out.append(key, records[i]);
    }
    return out;
}

QString tagLabel(const QString &path, const TagDef &tag)
{
    return QStringLiteral("the tag %1 of the index file %2").arg(tag.name, fileName(path));
}

// The lines of a .inf file that name index files ("NDX1=NAME.NDX").
QStringList infEntries(const QString &infPath)
{
    QStringList out;
    QFile f(infPath);
    if (infPath.isEmpty() || !f.open(QIODevice::ReadOnly))
        return out;
    static const QRegularExpression line(QStringLiteral("^\\s*(NDX|NTX|IDX|CDX|MDX)\\d*\\s*=\\s*(.+?)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(raw).trimmed());
        if (m.hasMatch())
            out << m.captured(2);
    }
    return out;
}

// A file named by an .inf entry or an index definition, beside the table,
// found in any letter case.
QString besideTable(const QString &tablePath, const QString &name)
{
    const QFileInfo given(name);
    if (given.isAbsolute())
        return name;
    const QDir dir = QFileInfo(tablePath).absoluteDir();
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return exact;
}

QString productionPath(const QString &tablePath, const Header &header)
{
    const bool fox = header.variant == Variant::FoxPro2 || header.isVfp();
    return companionFile(tablePath,
                         fox ? QStringList { QStringLiteral("cdx"), QStringLiteral("mdx") }
                             : QStringList { QStringLiteral("mdx"), QStringLiteral("cdx") });
}

void writeInf(const QString &infPath, const QStringList &entries)
{
    if (entries.isEmpty()) {
        QFile::remove(infPath);
        return;
    }
    QByteArray text;
    QMap<QString, int> counts;
    for (const QString &entry : entries) {
        const QString kind = QFileInfo(entry).suffix().toUpper();
        text += QStringLiteral("%1%2=%3\r\n").arg(kind).arg(++counts[kind]).arg(entry).toLatin1();
    }
    writeFileAtomically(infPath, text);
}

} // namespace

DbfIndexes::DbfIndexes(const QString &tablePath, const Header &header, const common::TextCodec &codec,
                       const RecordSource &records)
    : m_tablePath(tablePath), m_header(header), m_codec(codec), m_records(records)
{
    for (const FieldDescriptor &f : header.fields)
        m_fields.push_back({ QString::fromLatin1(f.name), f.type, f.offset, f.length, f.decimals });
    if (tablePath.isEmpty() || !QFileInfo(tablePath).isFile())
        return;
    if (header.hasIndexFlag()) {
        const QString production = productionPath(tablePath, header);
        IndexKind kind;
        if (production.isEmpty())
            m_warnings << QStringLiteral(
                              "its header says it has a production index, but there is no %1.%2 beside "
                              "it; the table is used without it")
                              .arg(QFileInfo(tablePath).completeBaseName(),
                                   header.variant == Variant::FoxPro2 || header.isVfp()
                                       ? QStringLiteral("cdx")
                                       : QStringLiteral("mdx"));
        else if (kindOfPath(production, kind))
            openFile(production, kind, true);
    }
    for (const QString &entry : infEntries(companionFile(tablePath, { QStringLiteral("inf") }))) {
        const QString path = besideTable(tablePath, entry);
        IndexKind kind;
        if (!QFileInfo(path).isFile())
            m_warnings << QStringLiteral("its .inf file lists the index %1, which does not exist").arg(entry);
        else if (kindOfPath(path, kind))
            openFile(path, kind, false);
    }
}

DbfIndexes::~DbfIndexes() = default;

void DbfIndexes::openFile(const QString &path, IndexKind kind, bool production)
{
    IndexFile file;
    file.path = path;
    file.kind = kind;
    file.production = production;
    // A key type the file does not record comes from the expression.
    const KeyTypeOf typeOf = [this](const TagDef &tag) {
        try {
            const KeyType t = KeyExpression(tag.expression, m_fields, m_codec).type();
            return t == KeyType::Logical ? KeyType::Character : t;
        } catch (const std::exception &) {
            return tag.type;
        }
    };
    IndexContents contents;
    try {
        const MappedFile mapped(path);
        const QByteArrayView bytes = mapped.bytes();
        if (kind == IndexKind::Idx)
            file.compact = bytes.size() > 14 && (std::uint8_t(bytes[14]) & 0x20);
        contents = readIndex(kind, bytes, fileName(path), typeOf, false);
    } catch (const EngineError &e) {
        if (m_problem.isEmpty())
            m_problem
                = QStringLiteral("its index file %1 cannot be read (%2); the table is open read-only so "
                                 "that the index stays correct for other programs")
                      .arg(fileName(path), e.message());
        m_warnings << m_problem;
        return;
    }
    for (const TagDef &def : contents.tags) {
        Tag tag;
        tag.def = def;
        tag.textNumbers = kind == IndexKind::Ntx;
        try {
            if (!def.collation.isEmpty())
                throw EngineError(QString(),
                                  QStringLiteral("its keys follow the collation %1").arg(def.collation));
            tag.key.emplace(def.expression, m_fields, m_codec);
            if (!def.forExpression.trimmed().isEmpty()) {
                tag.filter.emplace(def.forExpression, m_fields, m_codec);
                if (tag.filter->type() != KeyType::Logical)
                    throw EngineError(QString(),
                                      QStringLiteral("its FOR condition %1 is not a logical expression")
                                          .arg(def.forExpression));
            }
            const KeyType t = tag.key->type() == KeyType::Logical ? KeyType::Character : tag.key->type();
            if (t != def.type)
                throw EngineError(QString(),
                                  QStringLiteral("its keys are stored as another type than the "
                                                 "expression gives"));
        } catch (const EngineError &e) {
            tag.problem
                = QStringLiteral("%1 has the key expression \"%2\", which this program cannot keep up to "
                                 "date: %3")
                      .arg(tagLabel(path, def), def.expression, e.message());
            if (m_problem.isEmpty())
                m_problem = tag.problem
                    + QStringLiteral("; the table is open read-only so that the index stays "
                                     "correct for other programs");
            m_warnings << tag.problem;
        }
        file.tags.push_back(std::move(tag));
    }
    m_files.push_back(std::move(file));
}

bool DbfIndexes::keyOf(const Tag &tag, const char *record, QByteArray &key) const
{
    if (tag.filter && !tag.filter->test(record))
        return false;
    const KeyValue v = tag.key->evaluate(record);
    switch (tag.def.type) {
    case KeyType::Numeric: {
        double n = v.number;
        if (tag.textNumbers) {
            // Keys stored as text hold the number rounded to the tag's decimals.
            const double scale = std::pow(10.0, tag.def.decimals);
            if (std::isfinite(n * scale) && std::fabs(n) < 1e15)
                n = std::round(n * scale) / scale;
        }
        key = numberSortKey(n);
        return true;
    }
    case KeyType::Date:
        key = numberSortKey(v.number);
        return true;
    case KeyType::Logical:
    case KeyType::Character:
        break;
    }
    key = v.type == KeyType::Logical ? QByteArray(1, v.logical ? 'T' : 'F') : v.text;
    const int length = sortKeyLength(tag.def);
    if (key.size() > length)
        key.truncate(length);
    else if (key.size() < length)
        key.append(length - key.size(), ' ');
    return true;
}

void DbfIndexes::rebuild(IndexFile &file) const
{
    const qint64 count = m_records.physicalRecordCount();
    for (Tag &tag : file.tags) {
        if (!tag.problem.isEmpty())
            continue;
        const int length = sortKeyLength(tag.def);
        QByteArray keys;
        std::vector<std::uint32_t> records;
        keys.reserve(qsizetype(count) * length);
        records.reserve(std::size_t(count));
        QByteArray key;
        for (qint64 r = 0; r < count; ++r) {
            if (keyOf(tag, m_records.physicalRecord(r), key)) {
                keys += key;
                records.push_back(std::uint32_t(r + 1));
            }
        }
        tag.keys = std::make_shared<const KeyList>(
            sortedKeys(length, std::move(keys), std::move(records), tag.def.unique));
        tag.adds.clear();
        tag.removes.clear();
        tag.rebuild = false;
        tag.sound = true;
    }
    file.loaded = true;
}

void DbfIndexes::load(IndexFile &file) const
{
    if (file.loaded)
        return;
    CachedIndex cached = cachedKeys(file.path, file.tags.size());
    std::vector<std::shared_ptr<const KeyList>> &keys = cached.keys;
    if (keys.empty()) {
        const KeyTypeOf typeOf = [&file](const TagDef &def) {
            for (const Tag &t : file.tags)
                if (t.def.name == def.name)
                    return t.def.type;
            return def.type;
        };
        const MappedFile mapped(file.path);
        IndexContents contents = readIndex(file.kind, mapped.bytes(), fileName(file.path), typeOf, true);
        if (contents.tags.size() != file.tags.size() || contents.keys.size() != file.tags.size())
            throw EngineError(file.path, QStringLiteral("the index file changed while the table was open"));
        for (std::size_t i = 0; i < file.tags.size(); ++i) {
            contents.keys[i].keyLength = sortKeyLength(file.tags[i].def);
            keys.push_back(std::make_shared<const KeyList>(std::move(contents.keys[i])));
        }
    }
    const qint64 count = m_records.physicalRecordCount();
    const bool checked = cached.checkedCount == count && cached.sound.size() == file.tags.size();
    cached.sound.resize(file.tags.size());
    for (std::size_t i = 0; i < file.tags.size(); ++i) {
        Tag &tag = file.tags[i];
        tag.keys = keys[i];
        const KeyList &k = *tag.keys;
        bool sound = checked ? cached.sound[i] != 0 : k.keys.size() == k.size() * k.keyLength;
        for (qsizetype n = 0; !checked && sound && n < k.size(); ++n) {
            const std::uint32_t rec = k.records[std::size_t(n)];
            if (rec < 1 || rec > count)
                sound = false;
            else if (n > 0 && compareEntry(k.key(n - 1), k.records[std::size_t(n - 1)], k.key(n), rec) >= 0)
                sound = false;
        }
        // Every record has a key in a tag that neither filters nor drops
        // equal keys.
        if (sound && !tag.filter && !tag.def.unique && k.size() != count)
            sound = false;
        cached.sound[i] = sound;
        if (!sound && tag.problem.isEmpty()) {
            tag.sound = false;
            tag.rebuild = true;
            m_warnings << QStringLiteral(
                              "%1 does not agree with the table; it is rebuilt when the table is next "
                              "changed")
                              .arg(tagLabel(file.path, tag.def));
        }
    }
    cached.checkedCount = count;
    cacheKeys(file.path, cached);
    file.loaded = true;
}

void DbfIndexes::ensureLoaded() const
{
    for (IndexFile &file : m_files)
        load(file);
}

QString DbfIndexes::markerPath() const
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QByteArray id = QCryptographicHash::hash(QFileInfo(m_tablePath).absoluteFilePath().toUtf8(),
                                                   QCryptographicHash::Sha1)
                              .toHex();
    return base + QStringLiteral("/quorvex/index-pending/") + QString::fromLatin1(id);
}

void DbfIndexes::writeMarker()
{
    const QString path = markerPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(QFileInfo(m_tablePath).absoluteFilePath().toUtf8() + '\n') < 0 || !f.flush())
        throw EngineError(m_tablePath,
                          QStringLiteral("cannot note that its indexes are being updated (%1: %2)")
                              .arg(path, f.errorString()));
    f.close();
}

void DbfIndexes::clearMarker()
{
    QFile::remove(markerPath());
}

void DbfIndexes::recover()
{
    if (m_files.empty() || !m_problem.isEmpty() || !QFileInfo::exists(markerPath()))
        return;
    for (IndexFile &file : m_files) {
        rebuild(file);
        file.dirty = true;
    }
    m_pending = true;
    flush();
    m_warnings << QStringLiteral("its indexes were rebuilt: the last change to the table stopped before they "
                                 "were written");
}

void DbfIndexes::change(std::uint32_t recno, const char *oldRecord, const char *newRecord)
{
    if (m_files.empty())
        return;
    if (!m_problem.isEmpty())
        throw EngineError(m_tablePath, m_problem);
    if (!m_pending) {
        ensureLoaded();
        writeMarker();
        m_pending = true;
    }
    QByteArray oldKey, newKey;
    for (IndexFile &file : m_files) {
        for (Tag &tag : file.tags) {
            const bool hadKey = oldRecord && keyOf(tag, oldRecord, oldKey);
            const bool hasKey = newRecord && keyOf(tag, newRecord, newKey);
            if (hadKey == hasKey && (!hadKey || oldKey == newKey))
                continue;
            file.dirty = true;
            if (tag.rebuild)
                continue;
            if (tag.def.unique) {
                // Another record with the same key may have to take this
                // one's place, or be displaced by it.
                tag.rebuild = true;
                continue;
            }
            if (hadKey)
                tag.removes.emplace_back(oldKey, recno);
            if (hasKey)
                tag.adds.emplace_back(newKey, recno);
        }
    }
}

void DbfIndexes::changeFailed()
{
    for (IndexFile &file : m_files) {
        file.dirty = true;
        for (Tag &tag : file.tags)
            tag.rebuild = true;
    }
}

namespace {

// Merges the entries waiting for a tag into its sorted keys.
void applyPending(std::shared_ptr<const KeyList> &shared,
                  std::vector<std::pair<QByteArray, std::uint32_t>> &adds,
                  std::vector<std::pair<QByteArray, std::uint32_t>> &removes)
{
    if (adds.empty() && removes.empty())
        return;
    const KeyList &keys = *shared;
    const auto less
        = [](const auto &a, const auto &b) { return compareEntry(a.first, a.second, b.first, b.second) < 0; };
    std::sort(adds.begin(), adds.end(), less);
    std::sort(removes.begin(), removes.end(), less);
    // An entry added and removed again within one batch cancels out.
    KeyList out;
    out.keyLength = keys.keyLength;
    out.keys.reserve(keys.keys.size() + qsizetype(adds.size()) * keys.keyLength);
    out.records.reserve(keys.records.size() + adds.size());
    std::size_t a = 0, r = 0;
    const auto take = [&](QByteArrayView key, std::uint32_t rec) {
        while (r < removes.size() && compareEntry(removes[r].first, removes[r].second, key, rec) < 0)
            ++r;
        if (r < removes.size() && compareEntry(removes[r].first, removes[r].second, key, rec) == 0) {
            ++r;
            return;
        }
        out.append(key, rec);
    };
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QByteArrayView key = keys.key(i);
        const std::uint32_t rec = keys.records[std::size_t(i)];
        while (a < adds.size() && compareEntry(adds[a].first, adds[a].second, key, rec) < 0) {
            take(adds[a].first, adds[a].second);
            ++a;
        }
        take(key, rec);
    }
    for (; a < adds.size(); ++a)
        take(adds[a].first, adds[a].second);
    shared = std::make_shared<const KeyList>(std::move(out));
    adds.clear();
    removes.clear();
}

} // namespace

void DbfIndexes::flush()
{
    if (!m_pending)
        return;
    WriteContext context;
    context.tableBaseName = QFileInfo(m_tablePath).completeBaseName().toUpper();
    context.today = QDate::currentDate();
    for (IndexFile &file : m_files) {
        if (!file.dirty)
            continue;
        bool rebuildAll = false;
        for (Tag &tag : file.tags)
            rebuildAll = rebuildAll || tag.rebuild;
        if (rebuildAll)
            rebuild(file);
        IndexContents contents;
        for (Tag &tag : file.tags) {
            applyPending(tag.keys, tag.adds, tag.removes);
            contents.tags.push_back(tag.def);
            contents.keys.push_back(*tag.keys);
        }
        writeFileAtomically(file.path, writeIndex(file.kind, contents, context, file.compact));
        file.dirty = false;
        CachedIndex written;
        for (const Tag &tag : file.tags) {
            written.keys.push_back(tag.keys);
            written.sound.push_back(1);
        }
        written.checkedCount = m_records.physicalRecordCount();
        cacheKeys(file.path, written);
    }
    clearMarker();
    m_pending = false;
}

void DbfIndexes::markPending()
{
    if (m_files.empty() || m_pending)
        return;
    writeMarker();
    m_pending = true;
}

void DbfIndexes::clearAll()
{
    if (m_files.empty())
        return;
    if (!m_problem.isEmpty())
        throw EngineError(m_tablePath, m_problem);
    for (IndexFile &file : m_files) {
        for (Tag &tag : file.tags) {
            KeyList none;
            none.keyLength = sortKeyLength(tag.def);
            tag.keys = std::make_shared<const KeyList>(std::move(none));
            tag.adds.clear();
            tag.removes.clear();
            tag.rebuild = false;
        }
        file.loaded = true;
        file.dirty = true;
    }
    markPending();
    flush();
}

std::vector<IndexInfo> DbfIndexes::infos(bool countKeys) const
{
    std::vector<IndexInfo> out;
    for (IndexFile &file : m_files) {
        if (countKeys) {
            try {
                load(file);
            } catch (const EngineError &e) {
                m_warnings << e.message();
            }
        }
        for (Tag &tag : file.tags) {
            IndexInfo info;
            info.file = fileName(file.path);
            info.tag = tag.def.name;
            info.expression = tag.def.expression;
            info.forExpression = tag.def.forExpression;
            if (tag.def.unique)
                info.options << QStringLiteral("unique");
            if (tag.def.descending)
                info.options << QStringLiteral("descending");
            if (countKeys && file.loaded) {
                applyPending(tag.keys, tag.adds, tag.removes);
                info.keyCount = tag.rebuild ? -1 : tag.keys->size();
            }
            out.push_back(info);
        }
    }
    return out;
}

bool DbfIndexes::isSearchable(const Tag &tag) const
{
    // A tag over one field, of every record, whose keys are that field's
    // values as they are.
    if (!tag.problem.isEmpty() || tag.filter || !tag.key || tag.key->singleField() < 0)
        return false;
    const char type = m_fields[std::size_t(tag.key->singleField())].type;
    switch (tag.def.type) {
    case KeyType::Character:
        return type == 'C';
    case KeyType::Date:
        return type == 'D';
    case KeyType::Numeric:
        return QByteArrayView("NFIBY").contains(type);
    case KeyType::Logical:
        break;
    }
    return false;
}

std::vector<DbfIndexes::Searchable> DbfIndexes::searchable() const
{
    std::vector<Searchable> out;
    for (const IndexFile &file : m_files)
        for (const Tag &tag : file.tags)
            if (isSearchable(tag))
                out.push_back({ tag.key->singleField(), tag.def.unique, tag.def.name });
    return out;
}

namespace {

bool asciiOnly(const QString &s, bool controlsToo)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80 || (!controlsToo && c.unicode() < 0x20))
            return false;
    return true;
}

} // namespace

DbfIndexes::Tag *DbfIndexes::searchableTag(int searchable) const
{
    // The searchable tags in the order searchable() lists them.
    Tag *found = nullptr;
    IndexFile *owner = nullptr;
    int n = 0;
    for (IndexFile &file : m_files)
        for (Tag &tag : file.tags) {
            if (!isSearchable(tag))
                continue;
            if (n++ == searchable) {
                found = &tag;
                owner = &file;
            }
        }
    if (!found)
        return nullptr;
    try {
        load(*owner);
    } catch (const EngineError &e) {
        m_warnings << e.message();
        return nullptr;
    }
    if (!found->sound || found->rebuild)
        return nullptr;
    applyPending(found->keys, found->adds, found->removes);
    return found;
}

bool DbfIndexes::orderedLikeSql(int searchable) const
{
    Tag *tag = searchableTag(searchable);
    if (!tag)
        return false;
    // A blank date is the smallest key, as NULL is SQL's smallest value.
    if (tag->def.type == KeyType::Date)
        return true;
    // Text sorts as SQL sorts it only when every key is printable ASCII:
    // beyond, the code page's byte order is not UTF-8's, and a byte below
    // the space would sort before the padding.
    if (tag->def.type != KeyType::Character || !m_codec.asciiCompatible())
        return false;
    if (tag->asciiChecked != tag->keys.get()) {
        tag->asciiChecked = tag->keys.get();
        tag->printableAscii = std::all_of(tag->keys->keys.begin(), tag->keys->keys.end(),
                                          [](char c) { return c >= 0x20 && c < 0x7F; });
    }
    return tag->printableAscii;
}

bool DbfIndexes::lookup(int searchable, const KeyRange &range, std::vector<qint64> &out) const
{
    Tag *found = searchableTag(searchable);
    if (!found)
        return false;
    Tag &tag = *found;
    const KeyList &keys = *tag.keys;
    const int length = keys.keyLength;

    // Each bound as a key: the first key that may match at or after low,
    // the last at or before high.
    std::optional<QByteArray> low, high;
    const bool equal = !range.low.isNull() && !range.high.isNull() && range.low == range.high;
    const auto encode = [&](const QVariant &v, bool isLow, std::optional<QByteArray> &key) -> bool {
        if (v.isNull())
            return true;
        switch (tag.def.type) {
        case KeyType::Character: {
            if (v.typeId() != QMetaType::QString)
                return false;
            const QString s = v.toString();
            if (!m_codec.asciiCompatible() || (!equal && !asciiOnly(s, isLow)))
                return false;
            QByteArray bytes;
            try {
                bytes = m_codec.encode(s, m_tablePath, QString());
            } catch (const EngineError &) {
                if (!equal)
                    return false;
                bytes = QByteArray(length + 1, '\xff'); // no key holds it
            }
            if (equal) {
                if (bytes.size() > length) {
                    // Only a value with nothing but spaces past the key fits.
                    if (bytes.mid(length).count(' ') != bytes.size() - length)
                        bytes = QByteArray(length, '\xff') + 'x';
                    bytes.truncate(length);
                }
                key = bytes.size() > length ? bytes : bytes.leftJustified(length, ' ');
                return true;
            }
            bytes.truncate(length);
            key = bytes + QByteArray(length - bytes.size(), isLow ? '\0' : '\xff');
            return true;
        }
        case KeyType::Date: {
            QDate d;
            if (v.typeId() == QMetaType::QDate)
                d = v.toDate();
            else if (v.typeId() == QMetaType::QString) {
                d = QDate::fromString(v.toString(), Qt::ISODate);
                if (!d.isValid() || d.toString(Qt::ISODate) != v.toString())
                    return false;
            } else {
                return false;
            }
            key = numberSortKey(julianDay(d));
            return true;
        }
        case KeyType::Numeric: {
            bool ok = false;
            if (v.typeId() == QMetaType::QString)
                return false;
            const double d = v.toDouble(&ok);
            if (!ok || std::isnan(d))
                return false;
            key = numberSortKey(d);
            return true;
        }
        case KeyType::Logical:
            break;
        }
        return false;
    };
    if (!encode(range.low, true, low) || !encode(range.high, false, high))
        return false;
    if (low && low->size() > length) // an equal value no key can hold
        return true;

    qsizetype first = 0, last = keys.size();
    const auto keyLess = [&](qsizetype i, const QByteArray &k) {
        return std::memcmp(keys.key(i).data(), k.constData(), std::size_t(length)) < 0;
    };
    if (low) {
        qsizetype lo = 0, hi = keys.size();
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (keyLess(mid, *low))
                lo = mid + 1;
            else
                hi = mid;
        }
        first = lo;
    }
    if (high) {
        qsizetype lo = first, hi = keys.size();
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (std::memcmp(keys.key(mid).data(), high->constData(), std::size_t(length)) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        last = lo;
    }
    out.clear();
    if (first < last)
        out.reserve(std::size_t(last - first));
    for (qsizetype i = first; i < last; ++i)
        out.push_back(qint64(keys.records[std::size_t(i)]) - 1);
    return true;
}

QStringList DbfIndexes::files(const QString &tablePath, const Header &header)
{
    QStringList out;
    if (header.hasIndexFlag()) {
        const QString production = productionPath(tablePath, header);
        if (!production.isEmpty())
            out << production;
    }
    const QString inf = companionFile(tablePath, { QStringLiteral("inf") });
    for (const QString &entry : infEntries(inf)) {
        const QString path = besideTable(tablePath, entry);
        if (QFileInfo(path).isFile())
            out << path;
    }
    if (!inf.isEmpty())
        out << inf;
    return out;
}

namespace {

// The key expression of an index over fields alone.
QString fieldsExpression(const QStringList &names, const std::vector<ExprField> &fields, const QString &table)
{
    if (names.size() == 1)
        return names.front();
    QStringList parts;
    for (const QString &name : names) {
        const auto f = std::find_if(fields.begin(), fields.end(), [&](const ExprField &e) {
            return e.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (f == fields.end())
            throw EngineError(table, QStringLiteral("it has no field %1 to index").arg(name));
        switch (f->type) {
        case 'N':
        case 'F':
            parts << QStringLiteral("STR(%1,%2,%3)").arg(f->name).arg(f->length).arg(f->decimals);
            break;
        case 'D':
            parts << QStringLiteral("DTOS(%1)").arg(f->name);
            break;
        case 'L':
            parts << QStringLiteral("IIF(%1,\"T\",\"F\")").arg(f->name);
            break;
        default:
            parts << f->name;
        }
    }
    return parts.join(u'+');
}

} // namespace

bool DbfIndexes::create(const IndexDef &def, bool foxPro)
{
    if (!m_problem.isEmpty())
        throw EngineError(m_tablePath, m_problem);
    const bool fox = m_header.variant == Variant::FoxPro2 || m_header.isVfp()
        || (foxPro && m_header.variant == Variant::DBase3);
    QString expression = (def.options & IndexDef::Expression) ? def.expression.trimmed() : QString();
    if (expression.isEmpty()) {
        if (def.fields.isEmpty())
            throw EngineError(m_tablePath, QStringLiteral("an index needs a field or an expression"));
        expression = fieldsExpression(def.fields, m_fields, m_tablePath);
    }
    const auto fail = [&](const QString &what) {
        throw EngineError(m_tablePath,
                          QStringLiteral("cannot create the index %1: %2")
                              .arg(def.name.isEmpty() ? def.file : def.name, what));
    };
    std::optional<KeyExpression> key;
    KeyType forType = KeyType::Logical;
    try {
        key.emplace(expression, m_fields, m_codec);
        if ((def.options & IndexDef::CaseInsensitive) && key->type() == KeyType::Character) {
            expression = QStringLiteral("UPPER(%1)").arg(expression);
            key.emplace(expression, m_fields, m_codec);
        }
        if (!def.filter.trimmed().isEmpty())
            forType = KeyExpression(def.filter, m_fields, m_codec).type();
    } catch (const EngineError &e) {
        fail(e.message());
    }
    if (forType != KeyType::Logical)
        fail(QStringLiteral("the condition %1 is not a logical expression").arg(def.filter));

    // Where the index goes: a tag of the production index, or a file.
    QString path;
    IndexKind kind = fox ? IndexKind::Cdx : IndexKind::Mdx;
    bool production = def.file.trimmed().isEmpty();
    if (production) {
        path = productionPath(m_tablePath, m_header);
        if (path.isEmpty() || !m_header.hasIndexFlag()) {
            const QFileInfo info(m_tablePath);
            QString ext = extensionOf(kind);
            if (!info.suffix().isEmpty() && info.suffix() == info.suffix().toUpper())
                ext = ext.toUpper();
            path = info.dir().filePath(info.completeBaseName() + u'.' + ext);
        } else if (!kindOfPath(path, kind)) {
            fail(QStringLiteral("the production index is of a kind this program does not write"));
        }
    } else {
        path = besideTable(m_tablePath, def.file.trimmed());
        if (!kindOfPath(path, kind))
            fail(QStringLiteral("%1 is not the name of an index file (.ndx, .ntx, .idx, .mdx or .cdx)")
                     .arg(def.file));
        if (QFileInfo::exists(path))
            fail(QStringLiteral("the file %1 exists already").arg(fileName(path)));
    }
    QString name = production || holdsManyTags(kind) ? def.name.trimmed().toUpper()
                                                     : QFileInfo(path).completeBaseName().toUpper();
    if (name.isEmpty())
        fail(QStringLiteral("a tag needs a name"));
    if (holdsManyTags(kind) && name.size() > 10)
        fail(QStringLiteral("a tag name has at most 10 characters"));
    if ((def.options & IndexDef::Descending) && (kind == IndexKind::Ndx || kind == IndexKind::Idx))
        fail(QStringLiteral("a .%1 file cannot hold a descending index").arg(extensionOf(kind)));

    TagDef tagDef;
    tagDef.name = name;
    tagDef.expression = expression;
    tagDef.forExpression = def.filter.trimmed();
    tagDef.type = key->type() == KeyType::Logical ? KeyType::Character : key->type();
    tagDef.keyLength
        = storedKeyLength(kind, tagDef.type, key->type() == KeyType::Logical ? 1 : key->length());
    tagDef.decimals = tagDef.type == KeyType::Numeric ? key->decimals() : 0;
    tagDef.unique = bool(def.options & IndexDef::Unique);
    tagDef.descending = bool(def.options & IndexDef::Descending);
    if (tagDef.keyLength < 1 || tagDef.keyLength > maxKeyLength(kind))
        fail(QStringLiteral("its keys are %1 bytes long; a .%2 file holds keys of 1 to %3 bytes")
                 .arg(tagDef.keyLength)
                 .arg(extensionOf(kind))
                 .arg(maxKeyLength(kind)));

    // The file the tag joins, with its other tags' keys.
    auto existing = std::find_if(m_files.begin(), m_files.end(), [&](const IndexFile &f) {
        return QFileInfo(f.path).absoluteFilePath() == QFileInfo(path).absoluteFilePath();
    });
    IndexFile fresh;
    IndexFile *file = &fresh;
    if (existing != m_files.end()) {
        file = &*existing;
        load(*file);
        for (const Tag &t : file->tags)
            if (t.def.name.compare(name, Qt::CaseInsensitive) == 0)
                fail(QStringLiteral("%1 has a tag of that name already").arg(fileName(path)));
        if (holdsManyTags(kind) && file->tags.size() >= (kind == IndexKind::Mdx ? 47u : 1000u))
            fail(QStringLiteral("%1 holds no more tags").arg(fileName(path)));
    } else {
        fresh.path = path;
        fresh.kind = kind;
        fresh.production = production;
        fresh.loaded = true;
    }

    Tag tag;
    tag.def = tagDef;
    tag.textNumbers = kind == IndexKind::Ntx;
    tag.key = std::move(key);
    if (!tagDef.forExpression.isEmpty())
        tag.filter.emplace(tagDef.forExpression, m_fields, m_codec);
    IndexFile single;
    single.tags.push_back(std::move(tag));
    // Built without dropping equal keys, so that a unique index over
    // records with equal keys can be refused.
    single.tags.front().def.unique = false;
    rebuild(single);
    Tag built = std::move(single.tags.front());
    built.def.unique = tagDef.unique;
    if (tagDef.unique) {
        const KeyList &k = *built.keys;
        for (qsizetype i = 1; i < k.size(); ++i)
            if (k.key(i) == k.key(i - 1))
                fail(QStringLiteral("records %1 and %2 have the same key, and the index is unique")
                         .arg(k.records[std::size_t(i - 1)])
                         .arg(k.records[std::size_t(i)]));
    }

    // Pending changes reach the files before the new one is written.
    flush();
    file->tags.push_back(std::move(built));
    IndexContents contents;
    for (Tag &t : file->tags) {
        applyPending(t.keys, t.adds, t.removes);
        contents.tags.push_back(t.def);
        contents.keys.push_back(*t.keys);
    }
    WriteContext context;
    context.tableBaseName = QFileInfo(m_tablePath).completeBaseName().toUpper();
    context.today = QDate::currentDate();
    try {
        writeFileAtomically(path, writeIndex(kind, contents, context, true));
    } catch (...) {
        if (file != &fresh)
            file->tags.pop_back();
        throw;
    }
    // A single index file made non-maintained is written once and left
    // alone: the table does not list it, so it is not kept up to date.
    if (file == &fresh && !production && (def.options & IndexDef::NonMaintained))
        return false;
    if (file == &fresh) {
        m_files.push_back(std::move(fresh));
        if (!production) {
            const QString inf = companionFile(m_tablePath, { QStringLiteral("inf") });
            const QFileInfo info(m_tablePath);
            const QString infPath
                = inf.isEmpty() ? info.dir().filePath(info.completeBaseName() + QStringLiteral(".inf")) : inf;
            QStringList entries = infEntries(inf);
            entries << fileName(path);
            writeInf(infPath, entries);
        }
    }
    return production && !m_header.hasIndexFlag();
}

bool DbfIndexes::drop(const QString &name)
{
    const QString wanted = name.trimmed();
    for (auto file = m_files.begin(); file != m_files.end(); ++file) {
        const bool byFile = fileName(file->path).compare(wanted, Qt::CaseInsensitive) == 0
            || (!holdsManyTags(file->kind)
                && QFileInfo(file->path).completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0);
        auto tag = std::find_if(file->tags.begin(), file->tags.end(), [&](const Tag &t) {
            return t.def.name.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (!byFile && (tag == file->tags.end() || !holdsManyTags(file->kind)))
            continue;
        flush();
        if (byFile || file->tags.size() == 1) {
            const QString path = file->path;
            const bool production = file->production;
            if (!QFile::remove(path) && QFileInfo::exists(path))
                throw EngineError(path, QStringLiteral("cannot delete the index file"));
            m_files.erase(file);
            if (!production) {
                const QString inf = companionFile(m_tablePath, { QStringLiteral("inf") });
                QStringList entries = infEntries(inf);
                entries.removeIf([&](const QString &e) {
                    return QFileInfo(besideTable(m_tablePath, e)).absoluteFilePath()
                        == QFileInfo(path).absoluteFilePath();
                });
                if (!inf.isEmpty())
                    writeInf(inf, entries);
            }
            return production;
        }
        if (!m_problem.isEmpty())
            throw EngineError(m_tablePath, m_problem);
        load(*file);
        std::vector<Tag> kept;
        IndexContents contents;
        for (auto t = file->tags.begin(); t != file->tags.end(); ++t) {
            if (t == tag)
                continue;
            applyPending(t->keys, t->adds, t->removes);
            contents.tags.push_back(t->def);
            contents.keys.push_back(*t->keys);
        }
        WriteContext context;
        context.tableBaseName = QFileInfo(m_tablePath).completeBaseName().toUpper();
        context.today = QDate::currentDate();
        writeFileAtomically(file->path, writeIndex(file->kind, contents, context, file->compact));
        file->tags.erase(tag);
        return false;
    }
    throw EngineError(m_tablePath, QStringLiteral("it has no index %1").arg(wanted));
}

} // namespace qvx::dbf
