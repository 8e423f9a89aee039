// The page manager's rendering, timed: one page of a 10-column table drawn,
// written as the preview JPEG, read back and decoded, as every page command
// does. Prints the CPU and wall seconds of one rendering, averaged over
// `repeats` after a first one that is not timed (fonts load then).
//
//   qvx_bench_page page-render [repeats]
#include "engine/ClientDataSet.h"
#include "output/PrintTable.h"
#include "output/TitleDlg.h"
#include "ui/DBGrid.h"
#include "ui/DataSource.h"
#include "ui/QtServices.h"

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

double cpuNow()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The worked page: A4 at 600 dots per inch over a 1024 x 768 screen at 96,
// which makes a 795 x 1008 page picture.
class PageServices : public qvx::ui::QtServices {
public:
    QSize printerPageSize() override { return { 4960, 7016 }; }
    QSize screenSize() const override { return { 1024, 768 }; }
    int pixelsPerInch() const override { return 96; }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.at(1) != QLatin1String("page-render")) {
        std::fprintf(stderr, "usage: qvx_bench_page page-render [repeats]\n");
        return 2;
    }
    const int repeats = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 20;
    PageServices services;
    qvx::ui::Services::install(&services);

    qvx::ClientDataSet data;
    for (int c = 0; c < 10; ++c)
        data.addFieldDef(QStringLiteral("FIELD%1").arg(c), qvx::FieldType::String, 12);
    data.createDataSet();
    for (int r = 1; r <= 100; ++r) {
        qvx::Record rec;
        for (int c = 0; c < 10; ++c)
            rec.push_back(QStringLiteral("value %1.%2").arg(r).arg(c));
        data.appendRecord(rec);
    }
    qvx::ui::DataSource source(&data);
    qvx::ui::DBGrid grid;
    grid.setDataSource(&source);
    for (int k = 0; k < grid.columnCount(); ++k)
        grid.setColumnWidth(k, 64);
    TTitleForm titles;
    TPrintForm form(titles);
    form.setSource(&grid, QStringLiteral("bench"));
    form.Title.text = QStringLiteral("Orders");
    QTemporaryDir dir;
    form.PreviewFile = dir.filePath(QStringLiteral("cPage.jpg"));
    form.ComputeLayout();
    form.RenderPage();
    if (form.pictureSize() != QSize(795, 1008)) {
        std::fprintf(stderr, "unexpected page picture %dx%d\n", form.pictureSize().width(),
                     form.pictureSize().height());
        return 1;
    }

    const double cpu = cpuNow();
    const auto wall = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        form.RenderPage();
    const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    std::printf("cpu=%.9f wall=%.9f rows=%lld\n", (cpuNow() - cpu) / repeats, wallSeconds / repeats,
                static_cast<long long>(form.recordPage(1).last));
    qvx::ui::Services::install(nullptr);
    return 0;
}
