#include "SearchManager.h"

#include "query/SQLDataModule.h"
#include "ui/CommandNames.h"

#include <QApplication>
#include <QLineEdit>
#include <QScopeGuard>

TSearchManagerDlg::TSearchManagerDlg(TSQLData &sqlData, qvx::ui::ChildHost *host, QWidget *parent)
    : TQueryFormDesigner(sqlData, host, QStringLiteral("Search Manager"), parent)
{
    setObjectName(QStringLiteral("SearchManagerDlg"));
}

int TSearchManagerDlg::placeField(const qvx::FieldDef &field, int y, int &k)
{
    // Fields a condition can be typed for: text, numbers, logicals, dates
    // and times (not decimals kept as text, memos or binary fields).
    const int code = qvx::fieldTypeCode(field.type);
    if (code < 1 || code > 11 || code == 8)
        return y;
    ++k;
    const QString caption = ShortName(field.name);
    AddDesignControl(newRecord(QStringLiteral("Label"), QStringLiteral("Label%1").arg(2 * k), 10, y, 100, 20,
                               caption, QString(), false, palette().color(QPalette::Button)));
    AddDesignControl(newRecord(QStringLiteral("Edit"), QStringLiteral("Edit%1").arg(2 * k), 110, y, 100, 20,
                               caption, field.name, true, palette().color(QPalette::Base)));
    return y + 22;
}

QWidget *TSearchManagerDlg::buildLive(const smControls &record)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("Live") + record.ControlName);
    // The box's hint names the field it searches.
    box->setToolTip(record.BoundField);
    dress(box, record, true);
    m_searchBoxes << box;
    return box;
}

bool TSearchManagerDlg::answers(const QString &command) const
{
    return command == qvx::cmd::FindRecord || TQueryFormDesigner::answers(command);
}

void TSearchManagerDlg::runCommand(const QString &command)
{
    if (command == qvx::cmd::FindRecord)
        RunSearch();
    else
        TQueryFormDesigner::runCommand(command);
}

void TSearchManagerDlg::RunSearch()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The normal cursor comes back also when the statement fails.
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    m_sqlData.ClearConditions();
    for (QLineEdit *box : m_searchBoxes) {
        if (box->text().isEmpty())
            continue;
        if (m_sqlData.ConditionCount() == 0) {
            m_sqlData.AddFieldCondition(box->text(), box->toolTip());
        } else {
            m_sqlData.append(TSQLData::Where, { QStringLiteral("AND"), QStringLiteral("(") });
            m_sqlData.AddFieldCondition(box->text(), box->toolTip());
            m_sqlData.append(TSQLData::Where, { QStringLiteral(")") });
        }
        box->clear();
        m_sqlData.CountCondition();
    }
    if (!m_sqlData.SelectList().isEmpty() && !m_sqlData.FromList().isEmpty()) {
        m_sqlData.RunSelect();
    } else if (!m_select.isEmpty() && !m_from.isEmpty()) {
        m_sqlData.ClearList(TSQLData::Select);
        m_sqlData.ClearList(TSQLData::From);
        m_sqlData.append(TSQLData::Select, m_select);
        m_sqlData.append(TSQLData::From, m_from);
        m_sqlData.RunSelect();
    } else if (!m_statement.isEmpty()) {
        m_sqlData.RunSelectOver(m_statement);
    } else {
        m_sqlData.RunSelect(); // reports that there is nothing to select from
    }
}
