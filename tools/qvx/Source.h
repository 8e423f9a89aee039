// Opening a file given on the command line as a data set: a local table by
// its extension, or a data packet by its extension or its content.
#pragma once

#include "engine/DataSet.h"
#include "engine/formats/TableFormat.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qvx::tool {

// What `qvx info` tells about a file beyond its fields.
struct SourceInfo {
    QString format;
    std::optional<int> version; // the version byte of a table file
    QString codePage; // empty when the format has none
    QString codePageSource; // where codePage came from ("option", ".cpg file", ...)
    qint64 recordCount = 0;
    std::vector<IndexInfo> indexes; // of a table, with their key counts
};

class Source {
public:
    // Opens the file read-only, a dBASE or Paradox table's text in
    // inputCodePage when that is not empty. Throws EngineError naming the
    // file.
    explicit Source(const QString &path, const QString &inputCodePage = {});
    ~Source();

    DataSet &data() { return *m_data; }
    SourceInfo info() const;
    QString path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<DataSet> m_data;
    QString m_packetFormat; // empty for a table
};

} // namespace qvx::tool
