// The plain table window: one local engine table (Paradox, dBASE, FoxPro or
// ASCII file, or a table reached through an alias). Edits are posted to the
// file, and label and visibility edits on the Details page are written back
// to the open table's fields when the page changes.
#pragma once

#include "TableForm.h"

#include "engine/Table.h"

class TBDETableForm : public TTableForm {
    Q_OBJECT
public:
    TBDETableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent = nullptr);
    ~TBDETableForm() override;

    qvx::Table BDETable;

    qvx::ui::DocumentSource document() const override;
    // Besides the commands of every table window: ChooseCodePage, for a
    // dBASE, FoxPro or Paradox table.
    bool answers(const QString &command) const override;
    void runCommand(const QString &command) override;

    // Asks which code page to read the table's text in and reopens the
    // table in it (pending edits stored first); the choice is remembered
    // for the file and used whenever it is opened again. The file itself is
    // not changed.
    void ChooseCodePage();
    // The code page remembered for a table file; empty when none is.
    static QString rememberedCodePage(const QString &path);

protected:
    // The database (a folder or an alias) and table name; the engine picks
    // the format from the name's extension.
    void openDocument(const qvx::ui::DocumentSource &source) override;
    bool writesDetailsBack() const override { return true; }
    bool alwaysTogglesFrame() const override { return false; }
    bool vSplitterLayoutsPicture() const override { return true; }
};
