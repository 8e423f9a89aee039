// "Text Manager": the small modal dialog in which the page manager edits its
// title, header and footer -- one line of text with its font, size, style,
// colour and alignment. It only collects; the caller applies. Made once and
// kept, so the text box keeps its further lines, font and alignment, and the
// colour dialog its colour, from one use to the next.
#pragma once

#include "TextBlock.h"

#include <QColor>
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTextEdit;
class QToolButton;

class TTitleForm : public QDialog {
    Q_OBJECT
public:
    explicit TTitleForm(QWidget *parent = nullptr);

    QLabel *FontLabel; // "Font:"
    QComboBox *FontName; // editable; font names
    QLabel *SizeLabel; // "Size:"
    QComboBox *FontSize; // editable; "8", "10", ... "40"; text "10"
    QToolButton *BoldButton; // checkable
    QToolButton *ItalicButton; // checkable
    QToolButton *UnderlineButton; // checkable
    QToolButton *LeftButton; // checkable, one of the three pressed
    QToolButton *CenterButton;
    QToolButton *RightButton;
    QToolButton *ColorButton; // opens the colour dialog through the services
    QLabel *TextLabel; // "Text"
    QTextEdit *TextMemo; // plain text; its own font, text colour and alignment are the result
    QPushButton *OKBitBtn; // "OK"
    QPushButton *CancelBitBtn; // "Cancel"

    // The colour dialog's current colour: black until one is chosen there,
    // then the last chosen (a cancelled dialog keeps it).
    QColor ColorDialogColor = Qt::black;

    // The caller's side: the block's text becomes the text box's first line
    // (further lines kept), and the box takes its alignment, font and
    // colour; block() reads them back (the first line as the text). A size
    // of 0 leaves the font without a point size, read back as 0, until
    // activation makes it 10.
    void setBlock(const qvx::output::TextBlock &block);
    qvx::output::TextBlock block() const;

    // The text box's font colour and alignment (what setBlock sets and
    // block() reads).
    QColor memoFontColor() const;
    Qt::Alignment memoAlignment() const;

    // Arrow cursor, FormActivate, then modal through the services; true
    // when closed with OK.
    bool Execute();

    // Activation: window-text colour, installed fonts (from the services),
    // size "0" -> "10", font name, style buttons from the font, focus.
    void FormActivate();
    void BoldButtonClick();
    void ItalicButtonClick();
    void UnderlineButtonClick();
    void LeftButtonClick();
    void CenterButtonClick();
    void RightButtonClick();
    void ColorButtonClick();
    // Applying the font: name (an empty name keeps the current one), size
    // (throws EngineError "'<text>' is not a valid integer value" after the
    // name is applied), colour = ColorDialogColor.
    void ApplyFont();

private:
    // Bold, italic, underline and strike-out: what the three style buttons
    // toggle, mirrored onto the text box's font (strike-out rides along).
    struct StyleSet {
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
    };

    void buildControls();
    void toggleStyle(bool StyleSet::*style);
    void showStyle();
    void setMemoFontColor(const QColor &color);
    void setMemoAlignment(Qt::Alignment alignment);
    void fontTextChanged();
    void centreOnScreen();

    StyleSet m_style;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    // Set while activation or setBlock fill the combo boxes, whose text
    // changes must not apply the font half-way.
    bool m_filling = false;
};
