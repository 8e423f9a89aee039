// The search form designer: a caption and an entry box per searchable field
// of the working query, arranged by the user; after "Update Form" the entry
// boxes are search boxes, and "FindRecord" runs the working query's
// statement with what was typed into them as its conditions.
#pragma once

#include "QueryForm.h"

#include <QList>

class QLineEdit;

class TSearchManagerDlg : public TQueryFormDesigner {
    Q_OBJECT
public:
    TSearchManagerDlg(TSQLData &sqlData, qvx::ui::ChildHost *host, QWidget *parent = nullptr);

    QString kindName() const override { return QStringLiteral("Search Manager"); }
    QString DesignerName() const override { return QStringLiteral("search"); }
    bool answers(const QString &command) const override;
    void runCommand(const QString &command) override;

    // "FindRecord": each filled search box adds its conditions (joined by
    // AND) and is emptied; then the statement runs. The main window empties
    // the working lists whenever it becomes active, so when they hold no
    // SELECT and FROM lines by then, the statement the form was laid out
    // over is searched instead of none.
    void RunSearch();
    // The search boxes, in creation order.
    QList<QLineEdit *> SearchBoxes() const { return m_searchBoxes; }

protected:
    int placeField(const qvx::FieldDef &field, int y, int &k) override;
    QWidget *buildLive(const smControls &record) override;

private:
    QList<QLineEdit *> m_searchBoxes;
};
