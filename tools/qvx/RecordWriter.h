// Records printed as `qvx cat` and `qvx sql` print them: JSON lines or CSV.
#pragma once

#include "Output.h"

#include "engine/DataSet.h"

namespace qvx::tool {

enum class RecordFormat { JsonLines, Csv };

// "jsonl" or "csv"; throws UsageError for anything else.
RecordFormat recordFormat(const QString &name);

// Writes the records from the first, at most limit of them (-1: all).
void writeRecords(DataSet &data, RecordFormat format, qint64 limit, Output &out);

} // namespace qvx::tool
