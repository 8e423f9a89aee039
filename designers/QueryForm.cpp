#include "QueryForm.h"

#include "engine/EngineError.h"
#include "query/SQLDataModule.h"
#include "ui/CommandNames.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPalette>

TQueryFormDesigner::TQueryFormDesigner(TSQLData &sqlData, qvx::ui::ChildHost *host, const QString &caption,
                                       QWidget *parent)
    : TFormDesigner(parent), m_sqlData(sqlData), m_host(host)
{
    setWindowTitle(caption);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(428, 373);
    // The mouse read-outs go to the frame's first two panels while this is
    // the window the frame's commands act on.
    StatusText = [this](int panel, const QString &text) {
        if (m_host && m_host->isActiveChild(*this))
            m_host->setStatusText(panel, text);
    };
}

QString TQueryFormDesigner::ShortName(const QString &fieldName)
{
    const qsizetype dot = fieldName.indexOf(u'.');
    return dot < 0 ? fieldName : fieldName.mid(dot + 1);
}

smControls TQueryFormDesigner::newRecord(const QString &kind, const QString &name, int left, int top,
                                         int width, int height, const QString &caption,
                                         const QString &boundField, bool bordered, const QColor &background)
{
    smControls r = CurrentProps;
    r.Kind = kind;
    r.ControlName = name;
    r.Left = left;
    r.Top = top;
    r.Width = width;
    r.Height = height;
    r.Caption = caption;
    r.BoundField = boundField;
    r.Bordered = bordered;
    r.BackColor = background;
    r.IsSelected = false;
    CurrentProps.Bordered = bordered;
    CurrentProps.BackColor = background;
    return r;
}

void TQueryFormDesigner::PopulateFromQuery()
{
    ResetCurrentProps();
    const qvx::Query &query = m_sqlData.Query;
    if (!query.isOpen())
        return;
    int y = 0;
    int k = 0;
    for (const qvx::FieldDef &field : query.fields())
        y = placeField(field, y, k);
    QueryLaidOut();
}

void TQueryFormDesigner::dress(QWidget *live, const smControls &record, bool background)
{
    live->setFont(record.font());
    QPalette palette = live->palette();
    palette.setColor(QPalette::WindowText, record.TextColor);
    palette.setColor(QPalette::Text, record.TextColor);
    if (background) {
        palette.setColor(QPalette::Base, record.BackColor);
        palette.setColor(QPalette::Window, record.BackColor);
    }
    live->setPalette(palette);
    live->setGeometry(record.bounds());
}

QWidget *TQueryFormDesigner::liveCaption(const smControls &record)
{
    auto *label = new QLabel(record.Caption, this);
    label->setObjectName(QStringLiteral("Live") + record.ControlName);
    dress(label, record, false);
    // Opaque, so that it covers the painted caption it replaces.
    label->setAutoFillBackground(true);
    return label;
}

void TQueryFormDesigner::BuildForm()
{
    HideHandles();
    ClearSelection();
    PrimaryIndex = -1;
    for (const smControls &record : ControlRecords) {
        QWidget *live = record.Kind == QLatin1String("Label") ? liveCaption(record) : buildLive(record);
        if (!live)
            continue;
        live->show();
        live->raise();
    }
    ControlRecords.clear();
    if (StatusText) {
        StatusText(0, QString());
        StatusText(1, QString());
    }
}

void TQueryFormDesigner::saveToFile(const QString &)
{
    throw qvx::EngineError(QStringLiteral("A form designer has no table to save."));
}

bool TQueryFormDesigner::answers(const QString &command) const
{
    return command == qvx::cmd::CreateManager;
}

void TQueryFormDesigner::runCommand(const QString &command)
{
    if (command == qvx::cmd::CreateManager)
        BuildForm();
}

void TQueryFormDesigner::closeEvent(QCloseEvent *event)
{
    if (StatusText) {
        StatusText(0, QString());
        StatusText(1, QString());
    }
    TFormDesigner::closeEvent(event);
}
