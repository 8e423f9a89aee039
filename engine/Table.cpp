#include "Table.h"

#include "FileKinds.h"
#include "Session.h"
#include "formats/ascii/AsciiDriver.h"
#include "formats/dbf/DbfDriver.h"
#include "formats/paradox/ParadoxDriver.h"
#include "io/File.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qvx {

Table::Table() = default;

Table::~Table()
{
    close();
}

void Table::setDatabaseName(const QString &name)
{
    checkClosed("change the database of");
    m_databaseName = name;
    if (!m_databaseName.isEmpty() && !m_databaseName.endsWith(u'/'))
        m_databaseName += u'/';
}

void Table::setTableName(const QString &name)
{
    checkClosed("rename");
    m_tableName = name;
}

void Table::setTableType(int type)
{
    checkClosed("change the type of");
    if (type < Default || type > Ascii)
        throw EngineError(QStringLiteral("Unknown table type %1").arg(type));
    m_tableType = type;
}

int Table::typeForExtension(const QString &fileName)
{
    const FileKind *kind = fileKindForName(fileName);
    return kind && kind->document == DocumentKind::LocalTable ? kind->tableType : Default;
}

int Table::effectiveType() const
{
    return m_tableType != Default ? m_tableType : typeForExtension(m_tableName);
}

QString Table::filePath() const
{
    QString name = m_tableName;
    if (m_tableType != Default && QFileInfo(name).suffix().isEmpty()) {
        static const char *const extensions[] = { "", ".db", ".dbf", ".dbf", ".txt" };
        name += QLatin1String(extensions[m_tableType]);
    }
    if (QDir::isAbsolutePath(name) || m_databaseName.isEmpty())
        return name;
    QString dir = m_databaseName;
    try {
        dir = Session::resolveDatabase(m_session ? m_session : Session::defaultSession(), dir);
    } catch (const EngineError &) {
        // driver() reports it when the table is used.
    }
    return dir + name;
}

const TableDriver &Table::driverFor(int type)
{
    switch (type) {
    case DBase:
        return dbaseDriver();
    case FoxPro:
        return foxproDriver();
    case Paradox:
        return paradoxDriver();
    case Ascii:
        return asciiDriver();
    default:
        throw EngineError(QStringLiteral("The table type cannot be told from the file name"));
    }
}

const TableDriver &Table::driver() const
{
    if (m_tableName.isEmpty())
        throw EngineError(QStringLiteral("No table name is given"));
    if (!QDir::isAbsolutePath(m_tableName))
        Session::resolveDatabase(m_session ? m_session : Session::defaultSession(), m_databaseName);
    const int type = effectiveType();
    if (type == Default)
        throw EngineError(filePath(), QStringLiteral("the table type cannot be told from the file name"));
    return driverFor(type);
}

void Table::checkClosed(const char *what) const
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot %1 an open table").arg(QLatin1String(what)));
}

bool Table::exists() const
{
    if (m_tableName.isEmpty())
        return false;
    return QFileInfo(filePath()).isFile();
}

void Table::deleteTable()
{
    checkClosed("delete");
    const QString path = filePath();
    const QStringList files = driver().files(path);
    if (files.isEmpty())
        throw EngineError(path, QStringLiteral("the table does not exist"));
    // A window or program writing the table would go on into files that are gone.
    const TableFilesLock lock(files);
    for (const QString &file : files) {
        QFile f(file);
        if (!f.remove())
            throw EngineError(file, QStringLiteral("cannot delete it: %1").arg(f.errorString()));
    }
}

void Table::emptyTable()
{
    const bool wasOpen = isOpen();
    if (wasOpen) {
        // The driver rewrites the whole file; reopen on the new one.
        const bool readOnly = readOnlyRequested();
        if (isReadOnly())
            throw EngineError(filePath(), QStringLiteral("the table is read-only"));
        close();
        setReadOnly(readOnly);
    }
    driver().empty(filePath());
    if (wasOpen)
        open();
}

void Table::addFieldDef(const QString &name, FieldType type, int size, bool required, int decimals)
{
    m_fieldDefs.emplace_back(name, type, size, decimals, required);
}

void Table::createTable()
{
    checkClosed("create");
    if (m_fieldDefs.empty())
        throw EngineError(filePath(), QStringLiteral("a table needs at least one field"));
    driver().create(filePath(), m_fieldDefs, m_createOptions);
}

TableInfo Table::info() const
{
    checkActive();
    return m_open->info();
}

std::vector<IndexInfo> Table::indexes(bool countKeys) const
{
    checkActive();
    return m_open->indexes(countKeys);
}

void Table::addIndex(const IndexDef &def)
{
    checkClosed("add an index to");
    driver().createIndex(filePath(), def);
}

void Table::deleteIndex(const QString &name)
{
    checkClosed("delete an index of");
    driver().dropIndex(filePath(), name);
}

void Table::beginBatch()
{
    if (m_open)
        m_open->beginBatch();
}

void Table::commitBatch()
{
    if (m_open)
        m_open->commitBatch();
}

void Table::rollbackBatch()
{
    if (m_open)
        m_open->rollbackBatch();
}

QStringList Table::warnings() const
{
    return m_open ? m_open->warnings() : QStringList();
}

QString Table::displayName() const
{
    return filePath();
}

FieldDefs Table::doOpen()
{
    OpenOptions options;
    options.readOnly = readOnlyRequested();
    options.textForms = textFormsOf(m_session ? m_session : Session::defaultSession());
    options.codePage = m_inputCodePage;
    m_open = driver().open(filePath(), options);
    return m_open->fields();
}

void Table::doClose()
{
    m_open.reset();
}

qint64 Table::doRecordCount() const
{
    return m_open->recordCount();
}

bool Table::doHasRecord(qint64 index) const
{
    return m_open->hasRecord(index);
}

void Table::doRead(qint64 index, Record &rec) const
{
    m_open->read(index, rec);
}

bool Table::doReadFieldTo(qint64 index, int field, FieldSink &sink) const
{
    return m_open->readFieldTo(index, field, sink);
}

QVariant Table::doReadField(qint64 index, int field) const
{
    return m_open->readField(index, field);
}

qint64 Table::doUpdate(qint64 index, const Record &rec)
{
    return m_open->update(index, rec);
}

qint64 Table::doInsert(qint64 before, const Record &rec)
{
    return m_open->insert(before, rec);
}

void Table::doDelete(qint64 index)
{
    m_open->remove(index);
}

bool Table::doReadOnly() const
{
    return m_open && m_open->readOnly();
}

QString Table::doReadOnlyReason() const
{
    return m_open ? m_open->readOnlyReason() : QString();
}

DataSet::Bookmark Table::doBookmark(qint64 index) const
{
    return m_open->bookmark(index);
}

qint64 Table::doIndexOfBookmark(Bookmark bm) const
{
    return m_open->indexOfBookmark(bm);
}

QStringList tableFieldNames(const Session &session, const QString &alias, const QString &table)
{
    Table t;
    t.setSession(&session);
    t.setDatabaseName(alias);
    t.setTableName(table);
    t.setReadOnly(true);
    t.open();
    QStringList names;
    for (const FieldDef &f : t.fields())
        names.append(f.name);
    return names;
}

TextForms textFormsOf(const Session *session)
{
    if (!session)
        return ascii::defaultTextForms();
    return ascii::textFormsFromConfig(session->configSection(QStringLiteral("\\SYSTEM\\FORMATS\\DATE")),
                                      session->configSection(QStringLiteral("\\SYSTEM\\FORMATS\\TIME")),
                                      session->configSection(QStringLiteral("\\SYSTEM\\FORMATS\\NUMBER")));
}

} // namespace qvx
