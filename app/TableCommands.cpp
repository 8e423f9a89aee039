// The main window's commands that act on the active table window: the
// formatting commands of the "Fonts" category and the viewer commands.
#include "ClientMenu.h"

#include "tables/SQLTable.h"
#include "tables/StandardTable.h"
#include "tables/XMLTable.h"

#include "ui/AlignPanel.h"
#include "ui/ColorBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>

using qvx::ui::Align;

TBDETableForm *TMainForm::activeBDETable() const
{
    return qobject_cast<TBDETableForm *>(activeChildWidget());
}

TXMLTableForm *TMainForm::activeXMLTable() const
{
    return qobject_cast<TXMLTableForm *>(activeChildWidget());
}

TSQLTableForm *TMainForm::activeSQLTable() const
{
    return qobject_cast<TSQLTableForm *>(activeChildWidget());
}

TTableForm *TMainForm::ActiveTableForm() const
{
    // The kinds in their fixed order; at most one can match.
    if (TBDETableForm *plain = activeBDETable())
        return plain;
    if (TXMLTableForm *xml = activeXMLTable())
        return xml;
    if (TSQLTableForm *sql = activeSQLTable())
        return sql;
    return nullptr;
}

void TMainForm::onActiveTable(const std::function<void(TTableForm &)> &fn)
{
    if (TTableForm *form = ActiveTableForm())
        fn(*form);
}

void TMainForm::UpdateStyleButtons()
{
    if (TTableForm *form = ActiveTableForm()) {
        if (FormatTitles)
            form->ReadTitleStyle();
        else
            form->ReadColumnStyle();
        CurrentFontStyle = form->FontStyleState;
    }
    BoldButton->setChecked(CurrentFontStyle & 1);
    ItalicButton->setChecked(CurrentFontStyle & 2);
    UnderlineButton->setChecked(CurrentFontStyle & 4);
}

void TMainForm::SelectCellsExecute()
{
    if (TXMLTableForm *xml = activeXMLTable())
        xml->PageControl->setFocus();
    FormatTitles = !FormatTitles;
    InfoEdit->setText(FormatTitles ? QStringLiteral("Titles") : QStringLiteral("Columns"));
}

void TMainForm::BgColorExecute()
{
    const std::optional<QColor> color = qvx::ui::Services::current().chooseColor(this, ColorDialogColor);
    if (!color)
        return;
    ColorDialogColor = *color;
    onActiveTable([this](TTableForm &form) { FormatTitles ? form.SetTitleColor() : form.SetColumnColor(); });
}

void TMainForm::ViewTableMemoExecute()
{
    TTableForm *form = ActiveTableForm();
    if (!form)
        return;
    form->DBMemo->setVisible(form->DBMemo->isHidden());
    ViewDBMemo->setChecked(!ViewDBMemo->isChecked());
    qvx::ui::AlignPanel *pane = form->ResultPanel;
    if (form->DBMemo->isVisible()) {
        pane->setAlign(form->ImageBox, Align::Top);
        pane->setExtent(form->ImageBox, form->outerHeight() / 2);
        pane->setAlign(form->HSplitter, Align::Bottom);
        form->HSplitter->show();
        pane->setAlign(form->DBMemo, Align::Client);
    } else {
        pane->setAlign(form->HSplitter, Align::Top);
        form->HSplitter->hide();
        pane->setAlign(form->ImageBox, Align::Client);
    }
    pane->realign();
}

void TMainForm::ViewTablePictureExecute()
{
    TTableForm *form = ActiveTableForm();
    if (!form)
        return;
    form->ImageBox->setVisible(form->ImageBox->isHidden());
    ViewDBPicture->setChecked(!ViewDBPicture->isChecked());
    qvx::ui::AlignPanel *pane = form->ResultPanel;
    if (form->ImageBox->isVisible()) {
        pane->setAlign(form->ImageBox, Align::Top);
        pane->setExtent(form->ImageBox, form->outerHeight() / 2);
        pane->setAlign(form->HSplitter, Align::Top);
        form->HSplitter->show();
    } else {
        pane->setAlign(form->HSplitter, Align::Bottom);
        form->HSplitter->hide();
    }
    pane->realign();
}

void TMainForm::ViewDetailsExecute()
{
    if (TTableForm *form = ActiveTableForm()) {
        const int index = form->PageControl->indexOf(form->Details);
        if (index >= 0)
            form->PageControl->setTabVisible(index, !form->PageControl->isTabVisible(index));
    }
    ViewResultDetails->setChecked(!ViewResultDetails->isChecked());
}

void TMainForm::bindTableCommands()
{
    const auto on = [this](const char *name, std::function<void()> fn) {
        command(QLatin1String(name))->setHandler(std::move(fn));
    };
    // One pattern for every formatting command: the column's cells or its
    // title, on the active table window of whichever kind.
    const auto format
        = [this, on](const char *name, void (TTableForm::*column)(), void (TTableForm::*title)()) {
              on(name, [this, column, title] {
                  onActiveTable([this, column, title](TTableForm &form) {
                      if (FormatTitles)
                          (form.*title)();
                      else
                          (form.*column)();
                  });
              });
          };
    format("Bold", &TTableForm::ToggleColumnBold, &TTableForm::ToggleTitleBold);
    format("Italic", &TTableForm::ToggleColumnItalic, &TTableForm::ToggleTitleItalic);
    format("Underline", &TTableForm::ToggleColumnUnderline, &TTableForm::ToggleTitleUnderline);
    format("LeftAlign", &TTableForm::AlignFieldLeft, &TTableForm::AlignTitleLeft);
    format("CenterAlign", &TTableForm::AlignFieldCenter, &TTableForm::AlignTitleCenter);
    format("RightAlign", &TTableForm::AlignFieldRight, &TTableForm::AlignTitleRight);
    const auto font = [this, on](const char *name, int kind) {
        on(name, [this, kind] {
            onActiveTable([this, kind](TTableForm &form) {
                FormatTitles ? form.SetTitleFont(kind) : form.SetColumnFont(kind);
            });
        });
    };
    font("FontName", 1);
    font("FontSize", 2);
    font("FontColor", 3);
    on("BgColor", [this] { BgColorExecute(); });
    on("SelectCells", [this] { SelectCellsExecute(); });

    on("ViewMemo", [this] { onActiveTable([](TTableForm &form) { form.ShowMemoField(); }); });
    on("ViewPicture", [this] { onActiveTable([](TTableForm &form) { form.ShowPictureField(); }); });
    on("ConvertToExcel", [this] { onActiveTable([](TTableForm &form) { form.ExportToExcel(); }); });
    on("ConvertToHTML", [this] { onActiveTable([](TTableForm &form) { form.ExportToHTML(); }); });
    on("ViewTableMemo", [this] { ViewTableMemoExecute(); });
    on("ViewTablePicture", [this] { ViewTablePictureExecute(); });
    on("ViewDetails", [this] { ViewDetailsExecute(); });

    // The font boxes run their commands when their value changes.
    connect(FontNameBox, &QComboBox::currentTextChanged, this,
            [this] { command(QStringLiteral("FontName"))->execute(); });
    connect(FontSizeBox, &QComboBox::currentTextChanged, this,
            [this] { command(QStringLiteral("FontSize"))->execute(); });
    connect(FontColorBox, &qvx::ui::ColorBox::colorChanged, this,
            [this] { command(QStringLiteral("FontColor"))->execute(); });
}
