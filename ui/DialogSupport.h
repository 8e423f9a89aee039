// What every modal dialog of the program does the same way: running through
// the services with the normal arrow cursor, and reading a number box.
#pragma once

#include <QString>

class QDialog;

namespace qvx::ui {

// Restores the normal arrow cursor and runs dialog modally through the
// services; returns its result code.
int runDialog(QDialog &dialog);

// The integer text spells; throws EngineError "'<text>' is not a valid
// integer value" when it spells none.
int integerOf(const QString &text);

} // namespace qvx::ui
