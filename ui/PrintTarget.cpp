#include "PrintTarget.h"

#include "Services.h"

#include "engine/EngineError.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

namespace qvx::ui {

bool printsToPdf()
{
    return Services::current().printer().outputFormat() == QPrinter::PdfFormat;
}

bool choosePrintTarget(QWidget *parent, const QString &documentName)
{
    Services &services = Services::current();
    QPrinter &printer = services.printer();
    printer.setDocName(documentName);
    if (!printsToPdf())
        return services.printDialog(parent);

    FileDialogRequest request;
    request.title = QStringLiteral("Print to PDF File");
    request.filter = QStringLiteral("PDF Document (*.pdf)|*.pdf");
    request.defaultExtension = QStringLiteral("pdf");
    QString name = documentName.trimmed();
    name.replace(u'/', u'_');
    request.fileName = (name.isEmpty() ? QStringLiteral("Print") : name) + QStringLiteral(".pdf");
    if (!printer.outputFileName().isEmpty())
        request.directory = QFileInfo(printer.outputFileName()).absolutePath();
    const std::optional<FileDialogAnswer> answer = services.saveFile(parent, request);
    if (!answer)
        return false;
    // Qt's printing reports no failure to write the file: find out now, so
    // that a job is not reported as done when nothing was written.
    QFile file(answer->fileName);
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EngineError(QStringLiteral("Cannot print to %1: %2").arg(answer->fileName, file.errorString()));
    file.close();
    if (!existed)
        file.remove();
    printer.setOutputFileName(answer->fileName);
    return true;
}

void startPrinting(QPainter &painter)
{
    QPrinter &printer = Services::current().printer();
    if (painter.begin(&printer))
        return;
    const QString target = printsToPdf() ? printer.outputFileName() : printer.printerName();
    throw EngineError(QStringLiteral("Cannot print to %1: the printer did not start the job").arg(target));
}

QSize fitToPage(QSize picture, QSize page)
{
    float w = float(picture.width());
    float h = float(picture.height());
    if (w <= 0 || h <= 0)
        return {};
    const float a = w / h;
    const float pw = float(page.width());
    const float ph = float(page.height());
    if (pw > w && ph > h) {
        if (w >= h) {
            w = pw;
            h = w / a;
        } else {
            h = ph;
            w = h * a;
        }
    }
    if (pw < w) {
        w = pw;
        h = w / a;
    }
    if (ph < h) {
        h = ph;
        w = h * a;
    }
    return QSize(int(w), int(h));
}

} // namespace qvx::ui
