#include "QtServices.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

namespace qvx::ui {

QtServices::QtServices() = default;
QtServices::~QtServices() = default;

QStringList QtServices::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        result << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
    }
    return result;
}

std::optional<FileDialogAnswer> QtServices::runFileDialog(QWidget *parent, const FileDialogRequest &request,
                                                          bool save)
{
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index
            = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex : 1;
        dialog.selectNameFilter(filters[index - 1]);
    }
    QString extension = request.defaultExtension;
    while (extension.startsWith(u'*') || extension.startsWith(u'.'))
        extension.remove(0, 1);
    if (!extension.isEmpty())
        dialog.setDefaultSuffix(extension);
    const QFileInfo initial(request.fileName);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    else if (initial.isAbsolute())
        dialog.setDirectory(initial.absolutePath());
    if (!request.fileName.isEmpty())
        dialog.selectFile(initial.fileName());

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileDialogAnswer answer;
    answer.fileName = dialog.selectedFiles().constFirst();
    const int chosen = int(filters.indexOf(dialog.selectedNameFilter()));
    answer.filterIndex = chosen >= 0 ? chosen + 1 : 1;
    return answer;
}

std::optional<FileDialogAnswer> QtServices::openFile(QWidget *parent, const FileDialogRequest &request)
{
    return runFileDialog(parent, request, false);
}

std::optional<FileDialogAnswer> QtServices::saveFile(QWidget *parent, const FileDialogRequest &request)
{
    return runFileDialog(parent, request, true);
}

std::optional<QColor> QtServices::chooseColor(QWidget *parent, const QColor &initial)
{
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

std::optional<QFont> QtServices::chooseFont(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

bool QtServices::printDialog(QWidget *parent)
{
    QPrintDialog dialog(&printer(), parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtServices::printerSetupDialog(QWidget *parent)
{
    QPageSetupDialog dialog(&printer(), parent);
    return dialog.exec() == QDialog::Accepted;
}

MessageButton QtServices::message(QWidget *parent, MessageIcon icon, const QString &title,
                                  const QString &text, unsigned buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    }
    struct Pair {
        MessageButton ours;
        QMessageBox::StandardButton qt;
    };
    static const Pair pairs[] = { { ButtonOk, QMessageBox::Ok },
                                  { ButtonCancel, QMessageBox::Cancel },
                                  { ButtonYes, QMessageBox::Yes },
                                  { ButtonNo, QMessageBox::No } };
    QMessageBox::StandardButtons standard;
    for (const Pair &p : pairs)
        if (buttons & p.ours)
            standard |= p.qt;
    if (!standard)
        standard = QMessageBox::Ok;
    box.setStandardButtons(standard);
    const int pressed = box.exec();
    for (const Pair &p : pairs)
        if (pressed == p.qt)
            return p.ours;
    // Closed with the window's close button: the box's escape answer.
    if (buttons & ButtonCancel)
        return ButtonCancel;
    if (buttons & ButtonNo)
        return ButtonNo;
    return ButtonOk;
}

QPrinter &QtServices::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (QPrinterInfo::availablePrinters().isEmpty()) {
            // No printer installed (common on a Linux desktop): pages are laid
            // out for A4 at 600 dots per inch and printing writes a PDF file.
            m_printer->setOutputFormat(QPrinter::PdfFormat);
            m_printer->setPageSize(QPageSize(QPageSize::A4));
            m_printer->setPageOrientation(QPageLayout::Portrait);
            m_printer->setResolution(600);
            m_printer->setFullPage(true);
        }
    }
    return *m_printer;
}

QSize QtServices::screenSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

int QtServices::pixelsPerInch() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

QStringList QtServices::fontFamilies() const
{
    return QFontDatabase::families();
}

int QtServices::runModal(QDialog &dialog)
{
    return dialog.exec();
}

} // namespace qvx::ui
