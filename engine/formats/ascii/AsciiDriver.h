// Text tables: a data file (.txt) with a schema file (.sch) beside it. See
// AsciiSchema.h for both layouts.
#pragma once

#include "AsciiData.h"
#include "AsciiSchema.h"

#include "../../io/File.h"
#include "../TableFormat.h"

namespace qvx {

// create() makes a VARYING table: values between commas, text inside double
// quotes, windows-1252 (or CreateOptions::codePage when given). An open table
// reads and writes dates, times and numbers in OpenOptions::textForms.
const TableDriver &asciiDriver();

// Creates a table with the layout's Filetype, Delimiter, Separator and
// CharSet (its fields are ignored): both files are written in full before
// either replaces an old one.
void createAsciiTable(const QString &path, const FieldDefs &fields, const ascii::Schema &layout);

// The schema file of a data file: an existing .sch beside it in any letter
// case, else the name it would have.
QString asciiSchemaPath(const QString &dataPath);

// Opens a text table whose bytes are already at hand (tests, fuzzing).
std::unique_ptr<OpenTable> openAscii(std::unique_ptr<File> data, const QByteArray &schemaText,
                                     const QString &schemaPath, bool readOnly,
                                     const ascii::TextForms &forms = ascii::defaultTextForms());

} // namespace qvx
