// The program's one seam to the outside world: file, colour, font and printer
// dialogs, message boxes, the printer, the screen and modal dialogs. Windows
// never call a QFileDialog or QMessageBox themselves; they ask the services
// installed for the run (QtServices in the program, scripted answers in tests).
#pragma once

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QPrinter;
class QWidget;

namespace qvx::ui {

// What an open or save dialog is asked to show, and what it answered.
struct FileDialogRequest {
    QString title;
    QString filter; // "Description|*.ext|Description|*.ext", may be empty
    int filterIndex = 1; // counted from 1
    QString fileName; // initial file (full path or bare name)
    QString directory; // initial directory
    QString defaultExtension; // e.g. "xml", appended when the user gives none
};

struct FileDialogAnswer {
    QString fileName; // full path
    int filterIndex = 1; // the filter entry chosen, counted from 1
};

enum class MessageIcon { None, Information, Warning, Error, Confirmation };

// Buttons of a message box, combinable; the answer is one of them.
enum MessageButton : unsigned {
    ButtonNone = 0,
    ButtonOk = 1,
    ButtonCancel = 2,
    ButtonYes = 4,
    ButtonNo = 8,
};

class Services {
public:
    virtual ~Services() = default;

    // Common dialogs; std::nullopt when the user cancels.
    virtual std::optional<FileDialogAnswer> openFile(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual std::optional<FileDialogAnswer> saveFile(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;
    virtual std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial) = 0;
    // Print and printer set-up dialogs on the services' printer; true when accepted.
    virtual bool printDialog(QWidget *parent) = 0;
    virtual bool printerSetupDialog(QWidget *parent) = 0;

    // A message box; returns the button pressed (one of buttons).
    virtual MessageButton message(QWidget *parent, MessageIcon icon, const QString &title,
                                  const QString &text, unsigned buttons)
        = 0;

    // The printer every print command uses.
    virtual QPrinter &printer() = 0;
    // The page layouts are made for: the printer's page in its device
    // pixels, as it is oriented.
    virtual QSize printerPageSize();

    // The screen.
    virtual QSize screenSize() const = 0;
    virtual int pixelsPerInch() const = 0;
    virtual QStringList fontFamilies() const = 0;

    // Runs a dialog modally and returns its result code (QDialog::Accepted...).
    virtual int runModal(QDialog &dialog) = 0;

    // The services of this run. The program installs QtServices at start-up;
    // a test installs its scripted services. Never null after installation.
    static Services &current();
    static void install(Services *services); // not owned; nullptr uninstalls
};

} // namespace qvx::ui
