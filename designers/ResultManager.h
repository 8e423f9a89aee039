// The result form designer: captions and data controls (entry boxes, text
// boxes, pictures) for the working query's fields; after "Update Form" they
// show the current record of whatever the working query holds.
#pragma once

#include "QueryForm.h"

class TResultManagerDlg : public TQueryFormDesigner {
    Q_OBJECT
public:
    TResultManagerDlg(TSQLData &sqlData, qvx::ui::ChildHost *host, QWidget *parent = nullptr);

    QString kindName() const override { return QStringLiteral("Result Manager"); }
    QString DesignerName() const override { return QStringLiteral("result"); }

protected:
    int placeField(const qvx::FieldDef &field, int y, int &k) override;
    QWidget *buildLive(const smControls &record) override;
};
