// The main window's output commands: the page manager over the active table
// window's grid, printing that grid's pages, and the HTML editor over its
// records.
#include "ClientMenu.h"

#include "output/HTMLFormDlg.h"
#include "output/PrintTable.h"
#include "ui/ChildWindow.h"
#include "ui/CommandNames.h"
#include "ui/DBGrid.h"
#include "ui/PrintTarget.h"
#include "ui/Services.h"

namespace {

// The active child's records grid with its window's caption; a null grid
// when no table window is active.
std::pair<qvx::ui::DBGrid *, QString> activeGrid(qvx::ui::ChildWindow *child)
{
    qvx::ui::DBGrid *grid = child ? child->recordsGrid() : nullptr;
    if (!grid || !grid->dataSet())
        return { nullptr, {} };
    // A value still in its cell editor belongs to the record printed.
    grid->finishEditing();
    return { grid, child->caption() };
}

} // namespace

void TMainForm::setOutputWindows(TPrintForm *printForm, THTMLForm *htmlForm)
{
    PrintForm = printForm;
    HTMLForm = htmlForm;
    command(qvx::cmd::PrintPreview)->setHandler([this] {
        const auto [grid, caption] = activeGrid(activeChild());
        if (!grid)
            return;
        PrintForm->setSource(grid, caption);
        PrintForm->Execute();
    });
    command(qvx::cmd::Print)->setHandler([this] {
        const auto [grid, caption] = activeGrid(activeChild());
        if (!grid) {
            // Nothing to print: the dialog alone, as before.
            qvx::ui::Services::current().printDialog(this);
            return;
        }
        if (qvx::ui::choosePrintTarget(this, caption))
            PrintForm->PrintAllPages(grid, caption);
    });
    command(qvx::cmd::HTMLEditor)->setHandler([this] {
        const auto [grid, caption] = activeGrid(activeChild());
        HTMLForm->setSourceTable(grid ? grid->dataSet() : nullptr, caption);
        HTMLForm->Execute();
    });
}
