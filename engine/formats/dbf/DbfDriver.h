// dBASE and FoxPro tables (.dbf with .dbt or .fpt memo files). Either driver
// opens every dbf variant it knows; they differ in what they create.
#pragma once

#include "../../io/File.h"
#include "../TableFormat.h"

namespace qvx {

// Creates dBASE III+ when every field fits it, dBASE IV otherwise.
const TableDriver &dbaseDriver();
// Creates FoxPro 2.x when every field fits it, Visual FoxPro otherwise.
const TableDriver &foxproDriver();

// Opens a dbf whose bytes are already at hand (tests, fuzzing). memo may be
// null when the table has no memo file.
std::unique_ptr<OpenTable> openDbf(std::unique_ptr<File> dbf, std::unique_ptr<File> memo, bool readOnly);

} // namespace qvx
