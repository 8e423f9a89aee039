// "Picture Manager": shows a picture, loads bitmap and JPEG files, applies
// the JPEG decoder's display options (scale, pixel format, grey-scale, speed
// or quality, smoothing), draws an optional shadow and frame, prints the
// picture fitted to the page, saves the loaded picture as a bitmap or JPEG,
// and stores it into the graphic field of the active table window's record.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenuBar;
class QScrollArea;
class QStatusBar;
class QToolBar;

namespace qvx::ui {
class ChildWindow;
class Command;
class CommandList;
} // namespace qvx::ui

class TGraphFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit TGraphFormDlg(QWidget *parent = nullptr);
    ~TGraphFormDlg() override;

    // The main window's active child window (null for none), for Add
    // Picture; may be empty.
    std::function<qvx::ui::ChildWindow *()> ActiveChild;
    // Shows the program's About box; may be empty.
    std::function<void()> ShowAbout;

    // The callers' side: a picture pane's bytes (any format Qt reads, or a
    // JPEG) become the shown picture; the loaded picture stays.
    void setShownPicture(const QByteArray &bytes);

    // The four JPEG combos select their first items; modal; true when
    // closed with OK.
    bool Execute();

    // ---- Controls ------------------------------------------------------------
    QMenuBar *MainMenu;
    QWidget *ControlBar; // the tool bar strip
    QToolBar *ToolBar1, *ToolBar2;
    QScrollArea *ScrollBox;
    QLabel *SelectedImage; // the shown picture, at 10, 10
    QWidget *Shape; // the shadow, at 15, 15
    QWidget *Border; // the frame, at 10, 10
    QWidget *ControlPanel;
    QCheckBox *ProgressiveDisplay, *IncrementalDisplay, *ProgressiveEncoding, *Smoothing;
    QComboBox *Scale, *PixelFormat, *ColorSpace, *Performance, *Transparent;
    QStatusBar *StatusBar;
    QLabel *StatusPanel[3];

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const;

    // ---- State ----------------------------------------------------------------
    bool shownIsJpeg() const { return m_shownIsJpeg; }
    const QImage &shownPicture() const { return m_shown; }
    // The picture last loaded from a file, and the bytes Add Picture and
    // Save Picture As work from; null / empty until one is loaded.
    const QImage &loadedPicture() const { return m_loaded; }

    // ---- Operations -------------------------------------------------------------
    void ApplyOptions(); // ScaleClick and the four option commands
    void LoadPictureExecute();
    void SavePictureAsExecute();
    void PrintPictureExecute();
    void AddBorderExecute();
    void AddPictureExecute();
    void SetBGColorExecute();

private:
    void buildCommands();
    void buildControls();
    void buildMenus();
    // Shows picture as the shown picture, transparent or not as the
    // Transparent combo says, and sizes the scroll box's sheet to it.
    void showPicture(const QImage &picture);
    // The bytes Add Picture stores into a field of that data set.
    QByteArray bytesFor(const qvx::ui::ChildWindow &child) const;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QImage m_shown;
    QImage m_loaded;
    QByteArray m_shownBytes; // the shown picture's file bytes (a JPEG is decoded again from them)
    QByteArray m_loadedBytes; // the loaded file's bytes
    bool m_shownIsJpeg = false;
    bool m_progressiveEncoding = false; // the shown JPEG's flag, used when saving
    bool m_pressed = false; // a press on the shown picture waits for its release
};
