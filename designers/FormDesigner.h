// The drawing surface the search and result form designers share: design
// controls (pictures the designer paints itself) described by records, and
// the ways a user arranges them -- selection with Shift and its marks, the
// eight handles around the primary control, moving by drag with rubber
// bands, resizing by a handle, editing a caption in place, hiding, and the
// context menu's colour, font, alignment, size, scale and tab-order
// commands. What the controls stand for (which fields, what "Update Form"
// builds) is the business of the designer windows built on it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class TAlignmentFormDlg;
class TSizeFormDlg;
class TScaleFormDlg;
class TFormDesigner;

// One design control's description, in creation order in
// TFormDesigner::ControlRecords.
struct smControls {
    enum Style : quint8 { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };

    int ControlIndex = -1; // matches the record to its control (TDesignControl::index())
    int Top = 0;
    int Left = 0;
    int Width = 0;
    int Height = 0;
    QString BoundField; // the full name of the field it stands for; empty for a caption
    QString ControlName; // the design control's object name, unique in the window
    QString Kind; // "Label", "Edit", "Memo" or "Image"
    QString Caption; // the text painted on it
    QColor BackColor;
    int TextSize = 8;
    QString TextFont = QStringLiteral("MS Sans Serif");
    QColor TextColor = Qt::black;
    quint8 TextStyle = 0; // Style bits
    bool Bordered = false; // painted as a sunken entry box, else as plain text
    bool IsSelected = false;

    QRect bounds() const { return QRect(Left, Top, Width, Height); }
    QFont font() const; // TextFont, TextSize and TextStyle as a QFont
};

// A design control: a picture standing on the designer's surface. It holds
// its bitmap (what it shows), paints it from a record's properties, and hands
// every mouse event to its designer.
class TDesignControl : public QWidget {
    Q_OBJECT
public:
    TDesignControl(TFormDesigner &designer, int index, QWidget *parent);
    int index() const { return m_index; }
    // The bitmap as last painted, selection marks included.
    const QImage &bitmap() const { return m_bitmap; }
    // Repaints the bitmap from the record (clears the marks).
    void paintFrom(const smControls &record);
    // Draws the four selection marks in exclusive-or fashion: drawing them
    // again removes them.
    void toggleMarks();
    bool marksShown() const { return m_marks; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TFormDesigner &m_designer;
    int m_index;
    QImage m_bitmap;
    bool m_transparent = false; // a caption: only its text shows
    bool m_marks = false;
};

class TFormDesigner : public QWidget {
    Q_OBJECT
public:
    explicit TFormDesigner(QWidget *parent = nullptr);
    ~TFormDesigner() override;

    // Where the mouse read-outs go: the first two status panels of the
    // frame (" X = %d", " Y = %d"). May be empty.
    std::function<void(int panel, const QString &text)> StatusText;
    // The layout dialogs, made once by the program; a null one leaves its
    // command without effect.
    TAlignmentFormDlg *AlignmentDlg = nullptr;
    TSizeFormDlg *SizeDlg = nullptr;
    TScaleFormDlg *ScaleDlg = nullptr;

    // --- Records and state ----------------------------------------------------
    std::vector<smControls> ControlRecords;
    smControls CurrentProps; // a working copy new records are made from
    TDesignControl *CurrentControl = nullptr;
    int PrimaryIndex = -1; // ControlIndex of the primary selected control; -1 for none
    struct Edges {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    Edges FocusRect; // the rubber band while resizing
    QPoint LastMouse; // window coordinates (handle coordinates while resizing)
    bool ClickEnabled = true;
    QFont FontDialogFont { QStringLiteral("MS Sans Serif"), 8 }; // the font dialog's font
    QColor ColorDialogColor = Qt::black; // the colour dialog's colour

    // --- Controls ---------------------------------------------------------------
    QWidget *UpLeft, *UpCenter, *UpRight, *LeftCenter, *RightCenter, *BottomLeft, *BottomCenter, *BottomRight;
    QLineEdit *Edit; // the in-place caption editor
    QMenu *PopupMenu;
    QAction *Color, *Font1, *Align, *Size, *Scale, *TabOrder;

    // --- Building the design --------------------------------------------------------
    // CurrentProps to its initial values (bounds 0, empty texts, not
    // bordered, button-face background, "MS Sans Serif" 8 black, no style).
    void ResetCurrentProps();
    // Creates a design control from record (its ControlIndex is assigned
    // here), paints it, appends the record and returns the control. A
    // "Label" is transparent and its caption can be edited in place.
    TDesignControl *AddDesignControl(smControls record);
    // The record of a control, and the control of a record; null when gone.
    smControls *RecordOf(int controlIndex);
    TDesignControl *ControlOf(int controlIndex) const;
    // Every design control made, in creation order.
    QList<TDesignControl *> DesignControls() const;
    // Removes every design control and record (nothing selected after).
    void ClearDesign();

    // --- Selection and handles -------------------------------------------------
    void HideHandles();
    // Places the eight handles around a control (the positions of
    // HandleRect) and shows them.
    void ShowHandles(TDesignControl *control);
    // A handle's rectangle for a control's bounds; handle is 0..7 in the
    // order UpLeft, UpCenter, UpRight, LeftCenter, RightCenter, BottomLeft,
    // BottomCenter, BottomRight.
    static QRect HandleRect(int handle, const QRect &bounds);
    // Removes all marks, clears every IsSelected, no primary control.
    void ClearSelection();
    // The rubber-band rectangles shown now (while moving or resizing), in
    // window coordinates.
    QList<QRect> RubberBands() const;

    // --- Handlers (named as the program's other windows name theirs) ------------
    void ControlMouseDown(TDesignControl *control, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                          const QPoint &local);
    void ControlMouseMove(TDesignControl *control, Qt::MouseButtons buttons, const QPoint &local);
    void ControlMouseUp(TDesignControl *control, Qt::MouseButton button, const QPoint &local);
    void ControlClick(TDesignControl *control);
    void ControlDblClick(TDesignControl *control);
    void FormClick();
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void HandleMouseDown(int handle, const QPoint &local);
    void HandleMouseMove(int handle, Qt::MouseButtons buttons, const QPoint &local);
    void HandleMouseUp(int handle);
    void EditKeyPress(int key);
    void ColorClick();
    void Font1Click();
    void AlignClick();
    void SizeClick();
    void ScaleClick();
    void TabOrderClick();
    // Where F2 shows the context menu (overridable so tests can see it).
    virtual void ShowPopupAt(const QPoint &screenPoint);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class Private;
    Private *d;
};
