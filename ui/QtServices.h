// The services of the real program: Qt's own file, colour, font, print and
// page set-up dialogs, message boxes, one printer for every print command,
// and the primary screen.
#pragma once

#include "Services.h"

#include <memory>

namespace qvx::ui {

class QtServices : public Services {
public:
    QtServices();
    ~QtServices() override;

    std::optional<FileDialogAnswer> openFile(QWidget *parent, const FileDialogRequest &request) override;
    std::optional<FileDialogAnswer> saveFile(QWidget *parent, const FileDialogRequest &request) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) override;
    bool printDialog(QWidget *parent) override;
    bool printerSetupDialog(QWidget *parent) override;
    MessageButton message(QWidget *parent, MessageIcon icon, const QString &title, const QString &text,
                          unsigned buttons) override;
    QPrinter &printer() override;
    QSize screenSize() const override;
    int pixelsPerInch() const override;
    QStringList fontFamilies() const override;
    int runModal(QDialog &dialog) override;

    // "Desc|*.a|Desc|*.b;*.c" as the name filters a Qt file dialog takes
    // ("Desc (*.a)", "Desc (*.b *.c)"); an odd trailing part is dropped.
    static QStringList nameFilters(const QString &filter);

private:
    std::optional<FileDialogAnswer> runFileDialog(QWidget *parent, const FileDialogRequest &request,
                                                  bool save);

    std::unique_ptr<QPrinter> m_printer;
};

} // namespace qvx::ui
