#include "ResultManager.h"

#include "query/SQLDataModule.h"
#include "ui/DBEdit.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"

#include <QScrollArea>

TResultManagerDlg::TResultManagerDlg(TSQLData &sqlData, qvx::ui::ChildHost *host, QWidget *parent)
    : TQueryFormDesigner(sqlData, host, QStringLiteral("Result Manager"), parent)
{
    setObjectName(QStringLiteral("ResultManagerDlg"));
}

int TResultManagerDlg::placeField(const qvx::FieldDef &field, int y, int &k)
{
    const int code = qvx::fieldTypeCode(field.type);
    const bool single = code >= 1 && code <= 11 && code != 8;
    const bool memo = field.type == qvx::FieldType::Memo;
    const bool picture = field.type == qvx::FieldType::Graphic;
    if (!single && !memo && !picture)
        return y;
    const QString caption = ShortName(field.name);
    AddDesignControl(newRecord(QStringLiteral("Label"), QStringLiteral("Label%1").arg(++k), 10, y, 100, 20,
                               caption, QString(), false, palette().color(QPalette::Button)));
    if (single) {
        AddDesignControl(newRecord(QStringLiteral("Edit"), QStringLiteral("Edit%1").arg(++k), 110, y, 100, 20,
                                   caption, field.name, true, palette().color(QPalette::Base)));
        return y + 22;
    }
    y += 22;
    if (memo)
        AddDesignControl(newRecord(QStringLiteral("Memo"), QStringLiteral("Memo%1").arg(++k), 10, y, 200, 100,
                                   caption, field.name, true, palette().color(QPalette::Button)));
    else
        AddDesignControl(newRecord(QStringLiteral("Image"), QStringLiteral("Picture%1").arg(++k), 10, y, 100,
                                   100, caption, field.name, true, palette().color(QPalette::Light)));
    return y + 102;
}

QWidget *TResultManagerDlg::buildLive(const smControls &record)
{
    const QString name = QStringLiteral("Live") + record.ControlName;
    if (record.Kind == QLatin1String("Edit")) {
        auto *edit = new qvx::ui::DBEdit(this);
        edit->setObjectName(name);
        edit->setDataSource(&m_sqlData.SQLSource);
        edit->setDataField(record.BoundField);
        dress(edit, record, true);
        return edit;
    }
    if (record.Kind == QLatin1String("Memo")) {
        auto *memo = new qvx::ui::DBMemo(this);
        memo->setObjectName(name);
        memo->setDataSource(&m_sqlData.SQLSource);
        memo->setDataField(record.BoundField);
        dress(memo, record, true);
        return memo;
    }
    if (record.Kind == QLatin1String("Image")) {
        // A large picture box in a scroll box: a bigger picture scrolls.
        auto *scroll = new QScrollArea(this);
        scroll->setObjectName(name);
        scroll->setFrameShape(QFrame::NoFrame);
        auto *image = new qvx::ui::DBImage;
        image->setObjectName(name + QStringLiteral("Image"));
        image->setFixedSize(1800, 1500);
        image->setDataSource(&m_sqlData.SQLSource);
        image->setDataField(record.BoundField);
        scroll->setWidget(image);
        scroll->setWidgetResizable(false);
        dress(scroll, record, true);
        return scroll;
    }
    return nullptr;
}
