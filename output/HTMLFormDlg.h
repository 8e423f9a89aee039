// "HTML Editor": writes a small HTML page -- a title, the date and time on
// request, and a table of the active table window's records -- into a text
// box, saves it to a file the user names and shows it on a browser page that
// can also open other pages.
#pragma once

#include <QColor>
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
class QToolButton;
class THTMLFontFormDlg;

namespace qvx {
class DataSet;
}

class THTMLForm : public QDialog {
    Q_OBJECT
public:
    THTMLForm(THTMLFontFormDlg &fontDialog, QWidget *parent = nullptr);

    // The records "Create HTML" writes as a table after the page's lines,
    // and whose fields fill "Source Fields:"; null for none (the page then
    // holds no table). The main window sets it from the active table window
    // before Execute; caption, when not empty, heads the table. Not owned;
    // must outlive the next Execute.
    void setSourceTable(qvx::DataSet *dataSet, const QString &caption);

    QTabWidget *PageControl; // tabs at the bottom

    // "Edit HTML"
    QPlainTextEdit *HTMLMemo;
    QPushButton *CreateHTMLBtn; // "Create HTML"
    QPushButton *SaveHTMLBtn; // "Save HTML"
    QPushButton *ClearHTMLBtn; // "Clear HTML"
    QPushButton *PrintHTMLBtn; // "Print HTML"
    QPushButton *PageSetupBtn; // "Page Setup"
    QPushButton *OpenHTMLBtn; // "Open HTML"
    QListWidget *ListBox1; // "Source Fields:", sorted, multi-select
    QListWidget *ListBox2; // "Selected Fields:"
    QToolButton *AddFieldBtn; // the four arrows between the lists
    QToolButton *AddAllFieldsBtn;
    QToolButton *RemoveFieldBtn;
    QToolButton *RemoveAllFieldsBtn;
    QProgressBar *Gauge;

    // "Page Properties"
    QLineEdit *EditTitle; // "Title:"
    QLineEdit *EditAuthor; // "Author:"
    QCheckBox *CurrentDate; // "Insert Current Date", unchecked
    QCheckBox *CurrentTime; // "Insert Current Time", unchecked
    QCheckBox *InsertLines; // "Insert Lines"
    QPushButton *PageColorBtn; // "Page Color"
    QPlainTextEdit *HeaderMemo; // double click: "HTML Text Properties"
    QPlainTextEdit *TopMemo;
    QPlainTextEdit *BottomMemo;
    QPlainTextEdit *FooterMemo;

    // "Table Properties"
    QPlainTextEdit *TableTopMemo;
    QPlainTextEdit *TableBottomMemo;
    QSpinBox *BorderWidth; // "Border Width:", 0
    QSpinBox *Cellpadding; // "Cellpadding:", 0
    QSpinBox *Cellspacing; // "Cellspacing:", 0
    QPushButton *BackColorBtn; // "Back color"
    QPushButton *BorderColorBtn; // "Border Color"
    QPushButton *BorderColorDarkBtn; // "Border Color Dark"
    QPushButton *BorderColorLightBtn; // "Border Color Light"
    QColor PageColor, BackColor, BorderColor, BorderColorDark, BorderColorLight; // invalid until chosen

    // "Preview"
    QComboBox *ComboURL; // "Select File:", editable
    QToolButton *GoButton; // "Go To URL ..."
    QToolButton *PrevisionButton; // "Go Back", disabled at start
    QToolButton *StopButton; // "Stop", disabled at start
    QToolButton *NextButton; // "Go Forward", disabled at start
    QToolButton *PrintButton; // "Print Page", disabled at start
    QTextBrowser *WebBrowser;
    QStatusBar *StatusBar; // panels 600 and 50 wide
    QLabel *StatusPanel0;
    QLabel *StatusPanel1;

    // The header text's properties from "HTML Text Properties" (not used by
    // the page).
    QString HeaderAlign, HeaderStyle, HeaderSize;

    // Arrow cursor; modal through the services; true when closed with OK.
    bool Execute();

    void CreateHTMLBtnClick();
    void SaveHTMLBtnClick();
    void ClearHTMLBtnClick();
    void PrintHTMLBtnClick();
    void PageSetupBtnClick();
    void GoToURLBtnClick();
    void GoBackBtnClick();
    void GoForwardBtnClick();
    void StopBtnClick();
    void PrintBtnClick();
    void HeaderMemoDblClick();
    // The browser opens address (a file name or URL), with the download
    // begin/complete status steps.
    void OpenAddress(const QString &address);

protected:
    // The header box's double click.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildEditPage();
    QWidget *buildPagePropertiesPage();
    QWidget *buildTablePropertiesPage();
    QWidget *buildPreviewPage();

    // "Open HTML": a file's text into HTMLMemo.
    void OpenHTMLBtnClick();
    // The arrows between the field lists: the selected fields, or all.
    void moveFields(QListWidget &from, QListWidget &to, bool all);
    void chooseColour(QColor &colour);
    // The source table's records as the lines of an HTML table; none
    // without a source table.
    QStringList tableLines();
    // HTMLMemo's lines, UTF-8 with CRLF ends; throws EngineError naming the
    // file when it cannot be written.
    void writePage(const QString &fileName) const;
    // The browser's address as a file path (for local files) or URL.
    QString currentAddress() const;
    // The end of a download: "Done", and the address into ComboURL's list.
    void showAddressDone();

    QTableWidget *TableDBGrid; // no data; its pop-up menu has no commands behind it
    THTMLFontFormDlg &m_fontDialog;
    qvx::DataSet *m_source = nullptr;
    QString m_sourceCaption;
};
