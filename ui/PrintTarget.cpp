#include "PrintTarget.h"

#include "Services.h"

#include <QFileInfo>
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
    printer.setOutputFileName(answer->fileName);
    return true;
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
