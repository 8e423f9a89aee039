// The SQL table window: the read-only result of one SQL statement. Every
// change to a value is refused by the engine; Details-page edits stay in the
// structure list.
#pragma once

#include "TableForm.h"

#include "engine/Query.h"

class TSQLTableForm : public TTableForm {
    Q_OBJECT
public:
    TSQLTableForm(TableHost &host, TTableData &tableData, QWidget *parent = nullptr);
    ~TSQLTableForm() override;

    qvx::Query Query;
};
