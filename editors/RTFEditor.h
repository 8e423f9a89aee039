// "RTF Editor": a rich-text box with a ruler for paragraph indents, font,
// size and colour controls, edit, search and format commands, rich-text
// files, printing, and "&Add To Table", which stores the text into the memo
// field of the active plain table window.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QMenuBar;
class QStatusBar;
class QTextCharFormat;
class QTextEdit;
class QToolBar;
class QWidget;

namespace qvx::ui {
class ChildWindow;
class ColorBox;
class Command;
class CommandList;
class TextSearch;
} // namespace qvx::ui

// The ruler over the editing box: tick marks at the tab stops and the three
// indent markers the user drags.
class TRTFRuler;

class TRTFForm : public QDialog {
    Q_OBJECT
public:
    explicit TRTFForm(QWidget *parent = nullptr);
    ~TRTFForm() override;

    // The main window's active child window (null for none), for "&Add To
    // Table"; may be empty.
    std::function<qvx::ui::ChildWindow *()> ActiveChild;
    // Shows the program's About box ("&About ..."); may be empty.
    std::function<void()> ShowAbout;

    // The callers' side: the editor takes lines (a memo pane's or the SQL
    // text's) as its document -- shown formatted when they are RTF -- and
    // then Execute.
    void setLines(const QString &text);

    // The current file name becomes "CurrentRTF.rtf" in the program's data
    // folder; modal; true when closed with OK.
    bool Execute();

    // ---- Controls ----------------------------------------------------------
    QMenuBar *MainMenu;
    QToolBar *FileToolBar, *EditToolBar, *SearchToolBar, *FormatToolBar;
    QComboBox *FontName; // editable; text "MS Sans Serif" until activated
    QComboBox *FontSize; // editable; "8" ... "72"; text "10"
    qvx::ui::ColorBox *ColorBox;
    TRTFRuler *Ruler;
    QWidget *FirstInd, *LeftInd, *RightInd; // the ruler's markers (children of Ruler)
    QWidget *RulerLine;
    QTextEdit *Editor;
    QStatusBar *StatusBar;
    QLabel *StatusPanel[3];

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const;

    QString FileName; // the current file: a full path, or "Untitled"

    // ---- Operations ----------------------------------------------------------
    void FormActivate();
    void EditorSelectionChange(); // markers, font controls, " Line: %3d   Col: %3d"
    void RichEditChange(); // "Modified" or ""
    // Ruler markers: what a drag that ends with the marker's left at `left`
    // does to the current paragraph (the drag offset is half the marker's width).
    void FirstIndDropped(int left);
    void LeftIndDropped(int left);
    void RightIndDropped(int left);
    void FileNew();
    void FileOpen();
    void FileSave();
    void FileSaveAs();
    void AddToTable();
    void PrintExecute();
    void FontExecute();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildCommands();
    void buildControls();
    void buildMenus();
    void bindHandlers();
    void placeMarkers();
    // Applies format to the current text attributes (the selection, or what
    // is typed next).
    void applyCharFormat(const QTextCharFormat &format);
    void toggleBullets();
    void setFileName(const QString &name);
    void writeFile(const QString &path);
    void FontNameChange();
    void FontSizeChange();
    void ColorBoxChange();

    qvx::ui::TextSearch *Search = nullptr;
    bool m_updating = false; // the controls are being set from the selection
};
