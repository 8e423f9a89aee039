// The main window's routing of the commands that act on a child window: the
// formatting commands of the "Fonts" category, the viewer commands and the
// exports. The active child answers each; the frame keeps only its own part
// (the colour dialog, the check marks of its menu items).
#include "ClientMenu.h"

#include "ui/ColorBox.h"
#include "ui/CommandNames.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QToolButton>

namespace {

// The commands a child window may answer. The frame runs them on the
// active child; with none active they do nothing.
const QLatin1String routedCommands[] = {
    qvx::cmd::Bold,           qvx::cmd::Italic,          qvx::cmd::Underline,      qvx::cmd::LeftAlign,
    qvx::cmd::CenterAlign,    qvx::cmd::RightAlign,      qvx::cmd::FontName,       qvx::cmd::FontSize,
    qvx::cmd::FontColor,      qvx::cmd::BgColor,         qvx::cmd::ViewMemo,       qvx::cmd::ViewPicture,
    qvx::cmd::ConvertToExcel, qvx::cmd::ConvertToHTML,   qvx::cmd::ViewTableMemo,  qvx::cmd::ViewTablePicture,
    qvx::cmd::ViewDetails,    qvx::cmd::SaveTableToFile, qvx::cmd::ChooseCodePage, qvx::cmd::CreateManager,  qvx::cmd::FindRecord,
};

} // namespace

qvx::ui::ChildWindow *TMainForm::activeChild() const
{
    return qvx::ui::childWindowOf(activeChildWidget());
}

bool TMainForm::isActiveChild(const qvx::ui::ChildWindow &child) const
{
    return activeChild() == &child;
}

bool TMainForm::routeToActiveChild(const QString &command)
{
    qvx::ui::ChildWindow *child = activeChild();
    if (!child || !child->isAvailable(command))
        return false;
    child->runCommand(command);
    return true;
}

void TMainForm::updateChildCommands(qvx::ui::ChildWindow *child)
{
    // With no child, the commands stay as the menus first show them (and do
    // nothing); a child that does not answer one makes it unavailable.
    for (const QLatin1String &name : routedCommands) {
        // "View Details" flips its check mark whatever the child.
        if (name != qvx::cmd::ViewDetails)
            command(name)->setEnabled(!child || child->isAvailable(name));
    }
}

void TMainForm::childActivated()
{
    for (QLabel *panel : StatusPanels)
        panel->clear();
    if (qvx::ui::ChildWindow *child = activeChild())
        child->activated();
    updateChildCommands(activeChild());
}

void TMainForm::UpdateStyleButtons()
{
    if (qvx::ui::ChildWindow *child = activeChild()) {
        const int style = child->fontStyle(FormatTitles);
        if (style >= 0)
            CurrentFontStyle = quint8(style);
    }
    BoldButton->setChecked(CurrentFontStyle & 1);
    ItalicButton->setChecked(CurrentFontStyle & 2);
    UnderlineButton->setChecked(CurrentFontStyle & 4);
}

void TMainForm::SelectCellsExecute()
{
    routeToActiveChild(qvx::cmd::SelectCells);
    FormatTitles = !FormatTitles;
    InfoEdit->setText(FormatTitles ? QStringLiteral("Titles") : QStringLiteral("Columns"));
}

void TMainForm::BgColorExecute()
{
    const std::optional<QColor> color = qvx::ui::Services::current().chooseColor(this, ColorDialogColor);
    if (!color)
        return;
    ColorDialogColor = *color;
    routeToActiveChild(qvx::cmd::BgColor);
}

void TMainForm::bindChildCommands()
{
    for (const QLatin1String &name : routedCommands)
        command(name)->setHandler([this, name] { routeToActiveChild(name); });
    // The frame's own part of some of them.
    command(qvx::cmd::BgColor)->setHandler([this] { BgColorExecute(); });
    command(qvx::cmd::SaveTableToFile)->setHandler([this] { SaveTableToFileExecute(); });
    command(qvx::cmd::SelectCells)->setHandler([this] { SelectCellsExecute(); });
    // The memo and picture check marks follow a pane that was toggled; the
    // Details check mark flips in any case.
    command(qvx::cmd::ViewTableMemo)->setHandler([this] {
        if (routeToActiveChild(qvx::cmd::ViewTableMemo))
            ViewDBMemo->setChecked(!ViewDBMemo->isChecked());
    });
    command(qvx::cmd::ViewTablePicture)->setHandler([this] {
        if (routeToActiveChild(qvx::cmd::ViewTablePicture))
            ViewDBPicture->setChecked(!ViewDBPicture->isChecked());
    });
    command(qvx::cmd::ViewDetails)->setHandler([this] {
        routeToActiveChild(qvx::cmd::ViewDetails);
        ViewResultDetails->setChecked(!ViewResultDetails->isChecked());
    });

    // The font boxes run their commands when their value changes.
    connect(FontNameBox, &QComboBox::currentTextChanged, this,
            [this] { command(qvx::cmd::FontName)->execute(); });
    connect(FontSizeBox, &QComboBox::currentTextChanged, this,
            [this] { command(qvx::cmd::FontSize)->execute(); });
    connect(FontColorBox, &qvx::ui::ColorBox::colorChanged, this,
            [this] { command(qvx::cmd::FontColor)->execute(); });
}
