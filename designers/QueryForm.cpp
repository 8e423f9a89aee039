#include "QueryForm.h"

#include "engine/EngineError.h"
#include "engine/FormDesign.h"
#include "query/SQLDataModule.h"
#include "ui/CommandNames.h"
#include "ui/ErrorGuard.h"
#include "ui/Services.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
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

    PopupMenu->addSeparator();
    SaveDesignItem = PopupMenu->addAction(QStringLiteral("Save Design ..."));
    SaveDesignItem->setObjectName(QStringLiteral("SaveDesign"));
    LoadDesignItem = PopupMenu->addAction(QStringLiteral("Load Design ..."));
    LoadDesignItem->setObjectName(QStringLiteral("LoadDesign"));
    const QString filter = QStringLiteral("Form Design|*.json|All Files|*");
    connect(SaveDesignItem, &QAction::triggered, this, [this, filter] {
        qvx::ui::guarded(this, [&] {
            qvx::ui::FileDialogRequest request;
            request.title = QStringLiteral("Save Design");
            request.filter = filter;
            request.defaultExtension = QStringLiteral("json");
            if (const auto answer = qvx::ui::Services::current().saveFile(this, request))
                SaveDesign(answer->fileName);
        });
    });
    connect(LoadDesignItem, &QAction::triggered, this, [this, filter] {
        qvx::ui::guarded(this, [&] {
            qvx::ui::FileDialogRequest request;
            request.title = QStringLiteral("Load Design");
            request.filter = filter;
            if (const auto answer = qvx::ui::Services::current().openFile(this, request))
                LoadDesign(answer->fileName);
        });
    });
}

void TQueryFormDesigner::SaveDesign(const QString &path) const
{
    if (ControlRecords.empty())
        throw qvx::EngineError(QStringLiteral("There is no design to save: the form holds no controls, or "
                                              "\"Update Form\" has built it already."));
    qvx::FormDesign design;
    design.designer = DesignerName();
    design.select = m_select;
    design.from = m_from;
    design.statement = m_statement;
    for (const smControls &r : ControlRecords) {
        qvx::FormDesignControl c;
        c.kind = r.Kind;
        c.name = r.ControlName;
        c.caption = r.Caption;
        c.field = r.BoundField;
        c.left = r.Left;
        c.top = r.Top;
        c.width = r.Width;
        c.height = r.Height;
        c.background = r.BackColor.name();
        c.textColor = r.TextColor.name();
        c.font = r.TextFont;
        c.size = r.TextSize;
        c.style = r.TextStyle;
        c.bordered = r.Bordered;
        design.controls.push_back(c);
    }
    qvx::saveFormDesign(path, design);
}

void TQueryFormDesigner::LoadDesign(const QString &path)
{
    const qvx::FormDesign design = qvx::loadFormDesign(path);
    if (design.designer != DesignerName())
        throw qvx::EngineError(path,
                               QStringLiteral("is the design of a %1 form; open it in a %2")
                                   .arg(design.designer,
                                        design.designer == QLatin1String("search")
                                            ? QStringLiteral("Search Manager")
                                            : QStringLiteral("Result Manager")));
    if (m_built)
        throw qvx::EngineError(QStringLiteral("This form has been built already: load the design into a new "
                                              "designer."));
    ClearDesign();
    ResetCurrentProps();
    for (const qvx::FormDesignControl &c : design.controls) {
        smControls r = CurrentProps;
        r.Kind = c.kind;
        r.ControlName = c.name;
        r.Caption = c.caption;
        r.BoundField = c.field;
        r.Left = c.left;
        r.Top = c.top;
        r.Width = c.width;
        r.Height = c.height;
        r.BackColor = QColor(c.background);
        r.TextColor = QColor(c.textColor);
        r.TextFont = c.font;
        r.TextSize = c.size;
        r.TextStyle = quint8(c.style);
        r.Bordered = c.bordered;
        r.IsSelected = false;
        AddDesignControl(r);
    }
    m_select = design.select;
    m_from = design.from;
    m_statement = design.statement;
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
    if (!m_sqlData.SelectList().isEmpty() && !m_sqlData.FromList().isEmpty()) {
        m_select = m_sqlData.SelectList();
        m_from = m_sqlData.FromList();
    } else {
        m_statement = query.sqlLines();
    }
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
    m_built = true;
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
