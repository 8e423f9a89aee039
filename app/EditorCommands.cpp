// The main window's editor commands: the rich-text editor and the picture
// manager, from their menu commands and from a table window's memo and
// picture panes (a double click, or F1 released in the pane), which hand
// the pane's content over first.
#include "ClientMenu.h"

#include "editors/GraphDlg.h"
#include "editors/RTFEditor.h"
#include "engine/DataSet.h"
#include "ui/ChildWindow.h"
#include "ui/CommandNames.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"
#include "ui/DataSource.h"
#include "ui/ErrorGuard.h"

void TMainForm::setEditors(TRTFForm *rtfEditor, TGraphFormDlg *pictureManager)
{
    RTFForm = rtfEditor;
    GraphForm = pictureManager;
    command(qvx::cmd::RTFEditor)->setHandler([this] { RTFForm->Execute(); });
    command(qvx::cmd::ImageEditor)->setHandler([this] { GraphForm->Execute(); });
}

void TMainForm::connectEditorPanes(qvx::ui::ChildWindow *child)
{
    if (qvx::ui::DBMemo *memo = child->memoPane()) {
        const auto open = [this, memo] {
            if (!RTFForm)
                return;
            qvx::ui::guarded(this, [this, memo] {
                RTFForm->setLines(memo->toPlainText());
                RTFForm->Execute();
            });
        };
        connect(memo, &qvx::ui::DBMemo::doubleClicked, this, open);
        connect(memo, &qvx::ui::DBMemo::keyUp, this, [open](int key) {
            if (key == Qt::Key_F1)
                open();
        });
    }
    if (qvx::ui::DBImage *image = child->picturePane()) {
        const auto open = [this, image] {
            if (!GraphForm)
                return;
            qvx::ui::guarded(this, [this, image] {
                // The field's own bytes, so that a JPEG stays a JPEG.
                QByteArray bytes;
                qvx::DataSet *data = image->dataSource() ? image->dataSource()->dataSet() : nullptr;
                const int field = data && data->isOpen() ? data->fieldIndex(image->dataField()) : -1;
                if (field >= 0)
                    bytes = data->blob(field);
                GraphForm->setShownPicture(bytes);
                GraphForm->Execute();
            });
        };
        connect(image, &qvx::ui::DBImage::doubleClicked, this, open);
        connect(image, &qvx::ui::DBImage::keyUp, this, [open](int key) {
            if (key == Qt::Key_F1)
                open();
        });
    }
}
