// The table data module: the field type catalogue that turns the engine's
// type codes into the names users read, and native type names back into
// codes, and the program's engine session. Created once at start-up.
#pragma once

#include "engine/Database.h"
#include "engine/Session.h"

#include <QObject>
#include <QString>

class TTableData : public QObject {
    Q_OBJECT
public:
    explicit TTableData(QObject *parent = nullptr);

    // The program's session, open from start-up and the default session of
    // every table (so aliases resolve wherever a table is opened).
    qvx::Session Session;
    // A connection within it; its alias is set by whoever opens it.
    qvx::Database Database { Session, QStringLiteral("TableData") };

    // Sets text to the display name of code; for code 4 and codes above 29
    // it leaves text as it was.
    void FieldTypeName(int code, QString &text) const;
    // dBASE and FoxPro native names ("CHARACTER", "NUMBER", ...); 0 for any other.
    int DBaseTypeCode(const QString &name) const;
    // Paradox native names ("Alpha", "$(Money)", ...); 0 for any other.
    int ParadoxTypeCode(const QString &name) const;
    // Display names as the Type pick list offers them; 0 for any other.
    int FieldTypeCode(const QString &name) const;
};
