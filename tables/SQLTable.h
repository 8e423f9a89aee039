// The SQL table window: the read-only result of one SQL statement, read from
// an SQL text file or copied from the working query. Every change to a value
// is refused by the engine; Details-page edits stay in the structure list.
#pragma once

#include "TableForm.h"

#include "engine/Query.h"

class TSQLTableForm : public TTableForm {
    Q_OBJECT
public:
    TSQLTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent = nullptr);
    ~TSQLTableForm() override;

    qvx::Query Query;

    qvx::ui::DocumentSource document() const override { return m_source; }
    // Runs lines as the window's statement and shows its result, with
    // caption as the window's caption ("SQL Table" for the working query).
    void openStatement(const QStringList &lines, const QString &caption);

protected:
    // The SQL text file at source.path; bare table names in it are looked for
    // beside the file.
    void openDocument(const qvx::ui::DocumentSource &source) override;

private:
    void run(const QStringList &lines);
    qvx::ui::DocumentSource m_source;
};
