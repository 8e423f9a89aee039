// Where a print job goes. With a printer, the print dialog confirms it; where
// the machine has none, the services' printer writes PDF and a save dialog
// names the file instead, so printing never dead-ends.
#pragma once

#include <QSize>
#include <QString>

class QPainter;
class QWidget;

namespace qvx::ui {

// Asks where the next job on the services' printer goes; false when the user
// cancels. documentName names the job and suggests the PDF file's name.
bool choosePrintTarget(QWidget *parent, const QString &documentName);

// Begins a job on the services' printer with painter; throws EngineError
// naming the printer or the PDF file when it cannot start.
void startPrinting(QPainter &painter);

// True when the services' printer writes a PDF file rather than to a printer.
bool printsToPdf();

// The size a picture is printed at on a page: a picture smaller than the
// page both ways grows to the page's width (wider than high) or height,
// then one larger than the page shrinks to fit it, keeping its proportions
// in single precision and truncating. An empty picture gives an empty size.
QSize fitToPage(QSize picture, QSize page);

} // namespace qvx::ui
