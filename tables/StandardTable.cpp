#include "StandardTable.h"

#include "TableDataModule.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/formats/common/CodePage.h"
#include "ui/CommandNames.h"
#include "ui/ErrorGuard.h"
#include "ui/Services.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The code pages chosen for table files live beside the engine's
// configuration, one key per file by its absolute path.
QSettings codePageSettings()
{
    const QString dir = QFileInfo(qvx::Session::configFilePath()).absolutePath();
    return QSettings(QDir(dir).filePath(QStringLiteral("tables.conf")), QSettings::IniFormat);
}

QString codePageKey(const QString &path)
{
    // A path holds slashes, which QSettings takes as groups.
    return QStringLiteral("CodePages/")
        + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath()));
}

void rememberCodePage(const QString &path, const QString &codePage)
{
    QSettings settings = codePageSettings();
    if (codePage.isEmpty())
        settings.remove(codePageKey(path));
    else
        settings.setValue(codePageKey(path), codePage);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw qvx::EngineError(
            settings.fileName(),
            QObject::tr("the table is shown in the code page chosen, but the choice cannot be saved "
                        "for next time: this settings file cannot be written"));
}

bool readsInACodePage(int tableType)
{
    return tableType == qvx::Table::Paradox || tableType == qvx::Table::DBase
        || tableType == qvx::Table::FoxPro;
}

} // namespace

TBDETableForm::TBDETableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent)
    : TTableForm(host, tableData, parent, tr("Standard Table"), QSize(450, 284), 193)
{
    BDETable.setSession(&tableData.Session);
    bindDataSet(BDETable);
    qvx::ui::guarded(this, [this] { FormCreate(); });
}

TBDETableForm::~TBDETableForm() = default;

qvx::ui::DocumentSource TBDETableForm::document() const
{
    qvx::ui::DocumentSource source
        = qvx::ui::DocumentSource::databaseTable(BDETable.databaseName(), BDETable.tableName());
    if (!BDETable.tableName().isEmpty())
        source.path = BDETable.filePath();
    return source;
}

void TBDETableForm::openDocument(const qvx::ui::DocumentSource &source)
{
    // A plain table window opens at its smallest size.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->resize(sub->minimumSizeHint().expandedTo(minimumSize()));
    BDETable.close();
    BDETable.setDatabaseName(source.database);
    BDETable.setTableName(source.table);
    BDETable.setInputCodePage(
        readsInACodePage(BDETable.effectiveType()) ? rememberedCodePage(BDETable.filePath()) : QString());
    BDETable.open();
}

bool TBDETableForm::answers(const QString &command) const
{
    if (command == qvx::cmd::ChooseCodePage)
        return !BDETable.tableName().isEmpty() && readsInACodePage(BDETable.effectiveType());
    return TTableForm::answers(command);
}

void TBDETableForm::runCommand(const QString &command)
{
    if (command == qvx::cmd::ChooseCodePage)
        qvx::ui::guarded(this, [this] { ChooseCodePage(); });
    else
        TTableForm::runCommand(command);
}

QString TBDETableForm::rememberedCodePage(const QString &path)
{
    return codePageSettings().value(codePageKey(path)).toString();
}

void TBDETableForm::ChooseCodePage()
{
    commitPendingEdits();
    const QString path = BDETable.filePath();
    const QString current = BDETable.inputCodePage();

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CodePageDialog"));
    dialog.setWindowTitle(tr("Code Page"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(tr("Read the text of %1 in:").arg(QFileInfo(path).fileName()), &dialog);
    auto *box = new QComboBox(&dialog);
    box->setObjectName(QStringLiteral("CodePageBox"));
    label->setBuddy(box);
    QString own = tr("As the table says");
    if (BDETable.isOpen() && current.isEmpty()) {
        const qvx::TableInfo info = BDETable.info();
        if (!info.codePage.isEmpty())
            own += info.codePageSource.isEmpty()
                ? QStringLiteral(" (%1)").arg(info.codePage)
                : QStringLiteral(" (%1, %2)").arg(info.codePage, info.codePageSource);
    }
    box->addItem(own, QString());
    for (const QString &name : qvx::common::knownCodePages())
        box->addItem(name, name);
    box->setCurrentIndex(qMax(0, box->findData(current)));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(box);
    layout->addWidget(buttons);

    if (qvx::ui::Services::current().runModal(dialog) != QDialog::Accepted)
        return;
    const QString chosen = box->currentData().toString();
    if (chosen == current && BDETable.isOpen())
        return;

    const qint64 recNo = BDETable.isOpen() ? BDETable.recNo() : 0;
    const auto reopen = [&](const QString &codePage) {
        BDETable.close();
        BDETable.setInputCodePage(codePage);
        BDETable.open();
    };
    try {
        reopen(chosen);
    } catch (...) {
        // The table stays as it was read before, when it could be.
        try {
            reopen(current);
            InitTableView();
        } catch (...) {
        }
        throw;
    }
    if (recNo > 0)
        BDETable.setRecNo(recNo);
    InitTableView();
    activated(); // the status panels, when this is the active window
    rememberCodePage(path, chosen);
}
