#include "SQLTable.h"

#include "TableDataModule.h"

#include "engine/EngineError.h"
#include "ui/ErrorGuard.h"

#include <QFileInfo>

TSQLTableForm::TSQLTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("SQL Table"), QSize(453, 295), 161)
{
    Query.setSession(&tableData.Session);
    bindDataSet(Query);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TSQLTableForm::~TSQLTableForm() = default;

void TSQLTableForm::openDocument(const qvx::ui::DocumentSource &source)
{
    m_source = source;
    Query.close();
    Query.setDirectory(QFileInfo(source.path).absolutePath());
    Query.loadSQLFromFile(source.path);
    run(Query.sqlLines());
}

void TSQLTableForm::openStatement(const QStringList &lines, const QString &caption)
{
    m_source = {};
    setWindowTitle(caption);
    run(lines);
    InitTableView();
    activated();
}

void TSQLTableForm::run(const QStringList &lines)
{
    // A statement that returns no rows runs once and is then reported:
    // running it again to open it would repeat its changes.
    Query.close();
    Query.setSQL(lines);
    if (!qvx::Query::returnsRows(Query.sqlText())) {
        Query.execSQL();
        throw qvx::EngineError(tr("The SQL statement returns no result set"));
    }
    Query.open();
}
