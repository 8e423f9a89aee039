// What the index dialogs need of the window that defines a new table: the
// names of the fields being defined, the kind of table, and a place to
// record the index definitions the user confirms.
#pragma once

#include "engine/IndexDef.h"

#include <QString>
#include <QStringList>

// One index definition waiting for the table it is for to be created.
struct DBIndexList {
    QString Name; // index or tag name; empty for a dBASE index kept in a file of its own
    QString Fields; // field names joined by ";" (one name for dBASE)
    qvx::IndexDef::Options Options;
    QString Expression; // the key expression, when Options has Expression
    QString Filter; // dBASE: the subset condition records must meet; may be empty
    QString File; // dBASE: the index file's name when not a tag; empty for a tag
    int Kind = 0; // the table kind it was recorded for (1 Paradox, 2 dBASE, 3 FoxPro)
};

class TNewTableIndexHost {
public:
    virtual ~TNewTableIndexHost() = default;
    // The Field_Name of every row of the field list, in row order (empty
    // names and repeats included).
    virtual QStringList FieldNames() const = 0;
    // 0 XML table, 1 Paradox, 2 dBASE, 3 FoxPro, 4 ASCII.
    virtual int NewTableKind() const = 0;
    // Appends a confirmed definition to the pending ones when the kind
    // keeps indexes (Paradox, dBASE and FoxPro); Kind is filled in here.
    virtual void RecordIndexDefinition(const DBIndexList &definition) = 0;
};
