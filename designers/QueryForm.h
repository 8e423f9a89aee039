// What the search and result form designers share on top of the drawing
// surface: the working query whose fields they lay out, their place as a
// child window of the main frame, "Update Form" turning the records into
// live controls, and the status read-outs.
#pragma once

#include "FormDesigner.h"

#include "engine/FieldDef.h"
#include "ui/ChildWindow.h"

class QAction;
class TSQLData;

class TQueryFormDesigner : public TFormDesigner, public qvx::ui::ChildWindow {
    Q_OBJECT
public:
    TQueryFormDesigner(TSQLData &sqlData, qvx::ui::ChildHost *host, const QString &caption,
                       QWidget *parent = nullptr);

    // Lays out the working query's fields (nothing when it has none).
    void PopulateFromQuery();
    // "Update Form": every record becomes a live control at its bounds; the
    // records are then gone and the layout is fixed.
    void BuildForm();

    // Designs kept in files: the records (while the form is not built yet)
    // and the statement the form was laid out over. Loading replaces the
    // design; a design of the other kind of form, or loading into a form
    // already built, is refused. Both throw EngineError.
    void SaveDesign(const QString &path) const;
    void LoadDesign(const QString &path);
    // "search" or "result", as design files name the kind of form.
    virtual QString DesignerName() const = 0;
    QAction *SaveDesignItem;
    QAction *LoadDesignItem;

    // The name after the first "." ("orders.CustNo" gives "CustNo").
    static QString ShortName(const QString &fieldName);

    // ChildWindow
    QWidget *widget() override { return this; }
    qvx::ui::DocumentSource document() const override { return {}; }
    void open(const qvx::ui::DocumentSource &) override { }
    void saveToFile(const QString &path) override;
    void commitPendingEdits() override { }
    bool answers(const QString &command) const override;
    void runCommand(const QString &command) override;

protected:
    // Places the design controls of one field at y and returns the next y;
    // k counts the controls made so far (for their names).
    virtual int placeField(const qvx::FieldDef &field, int y, int &k) = 0;
    // The live control a record becomes.
    virtual QWidget *buildLive(const smControls &record) = 0;
    // A record for a control of kind at (left, top), size w x h, from CurrentProps.
    smControls newRecord(const QString &kind, const QString &name, int left, int top, int width, int height,
                         const QString &caption, const QString &boundField, bool bordered,
                         const QColor &background);
    // A live caption for a "Label" record.
    QWidget *liveCaption(const smControls &record);
    // The record's font, text colour and background on a live control.
    static void dress(QWidget *live, const smControls &record, bool background);
    void closeEvent(QCloseEvent *event) override;

    TSQLData &m_sqlData;
    qvx::ui::ChildHost *m_host;
    // The statement the form was laid out over: its SELECT and FROM lines
    // when the working lists held them, else its text.
    QStringList m_select, m_from, m_statement;
    bool m_built = false; // "Update Form" has run
};
