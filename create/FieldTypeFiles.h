// The field-type files: plain-text lists of the type names a kind of table
// offers, one per line, that ship in a FieldsType folder beside the program.
#pragma once

#include <QString>
#include <QStringList>

// Where a field-type file is looked for: the FieldsType folder beside the
// executable, or, when that has no such file, the FieldsType folder of the
// installation's data folder (../share/quorvex beside the executable's
// folder). The folder beside the executable wins when neither has it, so
// that the error names the place a user would look first.
QString FieldTypeFilePath(const QString &fileName);

// The entries of a field-type file, in file order: every line exactly as
// written (spaces kept, empty lines giving empty entries); a line ends at a
// carriage return, a line feed or both. Throws qvx::EngineError
// "Cannot open file <path>" when the file cannot be read.
QStringList ReadFieldTypeFile(const QString &path);
