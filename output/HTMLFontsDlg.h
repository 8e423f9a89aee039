// "HTML Text Properties": a font name, an HTML font size (1 to 7), a style
// and an alignment for the HTML editor's header text, shown on a sample.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

class QComboBox;
class QPushButton;
class QTextEdit;
class QToolButton;

class THTMLFontFormDlg : public QDialog {
    Q_OBJECT
public:
    explicit THTMLFontFormDlg(QWidget *parent = nullptr);

    QComboBox *FontName; // editable; text "Courier"; list "Arial" ... "Timok"
    QComboBox *FontSize; // editable; list "1" .. "7"; text "FontSize"
    QToolButton *BoldBtn; // checkable
    QToolButton *ItalicBtn;
    QToolButton *UnderlineBtn;
    QToolButton *LeftButton; // checkable, one of the three pressed
    QToolButton *CenterButton;
    QToolButton *RightButton;
    QToolButton *ToolButton1; // the colour dialog, then ApplyFont
    QTextEdit *TestMemo; // "A-a, B-b, C-c, D-d ..."
    QPushButton *BitBtn1; // "OK"
    QPushButton *BitBtn2; // "Cancel"

    QColor ColorDialogColor = Qt::black; // the colour dialog's current colour
    QString Align; // "LEFT", "CENTER" or "RIGHT"; empty until one is pressed
    QString StyleLetter; // "B", "I" or "U" of the style button pressed last; empty until then
    // Remembered on OK.
    QString FontNameText;
    QString FontSizeText;

    // Modal through the services; on OK remembers the font name and size
    // text and returns true; on Cancel false.
    bool Execute();

    void BoldBtnClick();
    void ItalicBtnClick();
    void UnderlineBtnClick();
    void LeftButtonClick();
    void CenterButtonClick();
    void RightButtonClick();
    void ToolButton1Click();
    // The sample's font name becomes FontName's text, its size 8 x the
    // integer in FontSize (throws EngineError "'<text>' is not a valid
    // integer value" after the name is applied), its colour ColorDialogColor.
    void ApplyFont();

private:
    void applyStyle();
    void setAlignment(Qt::Alignment alignment, QToolButton *button, const QString &word);

    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
};
