// The main window's way into the form designers: "Search Manager" and
// "Result Manager" each open a new designer over the working query; "Update
// Form" and "FindRecord" are routed to the active designer.
#include "ClientMenu.h"

#include "designers/ResultManager.h"
#include "designers/SearchManager.h"
#include "ui/CommandNames.h"

void TMainForm::bindDesignerCommands()
{
    command(qvx::cmd::SearchManager)->setHandler([this] { OpenDesigner(true); });
    command(qvx::cmd::ResultForm)->setHandler([this] { OpenDesigner(false); });
}

TQueryFormDesigner *TMainForm::OpenDesigner(bool search)
{
    if (!SQLData)
        return nullptr;
    TQueryFormDesigner *designer = search
        ? static_cast<TQueryFormDesigner *>(new TSearchManagerDlg(*SQLData, this))
        : new TResultManagerDlg(*SQLData, this);
    designer->AlignmentDlg = AlignmentDlg;
    designer->SizeDlg = SizeDlg;
    designer->ScaleDlg = ScaleDlg;
    designer->PopulateFromQuery();
    addChild(designer);
    return designer;
}
