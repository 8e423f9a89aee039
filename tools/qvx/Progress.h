// A progress line on standard error for long runs, shown only to a person
// watching a terminal: scripts and logs get no carriage-return noise.
#pragma once

#include <QString>

namespace qvx::tool {

class Progress {
public:
    // Shows progress when standard error is a terminal and total is above
    // the threshold.
    Progress(const QString &label, qint64 total, qint64 threshold = 100000);
    ~Progress(); // ends the line
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void step(); // one more item done

private:
    void show();

    QString m_label;
    qint64 m_total;
    qint64 m_done = 0;
    int m_shownPercent = -1;
    bool m_enabled;
};

} // namespace qvx::tool
