// "Page Manager": lays the records of a table window's grid out on printer
// pages, shows one page at a time as a picture, and prints or saves it.
//
// Every page is drawn into an off-screen picture sized from the printer page
// and the screen, written as the JPEG file "cPage.jpg" in the program's cache
// folder and read back for the preview; zooming and grey-scale only decode
// that file again at 1/1 .. 1/8 or in grey.
//
// Pagination is arithmetic: the records of a vertical page follow from the
// row height and the drawing area, so a table of any size is laid out without
// reading a record, and showing a page reads only the records on it.
#pragma once

#include "TextBlock.h"

#include "engine/image/Jpeg.h"

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QList>
#include <QRect>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPainter;
class QPrinter;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;
class TTitleForm;

namespace qvx {
class DataSet;
}
namespace qvx::ui {
class Command;
class CommandList;
class DBGrid;
} // namespace qvx::ui

// Two stacked arrow buttons beside a number box.
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget *parent = nullptr);
    QToolButton *UpButton;
    QToolButton *DownButton;
signals:
    void upClicked();
    void downClicked();
};

class TPrintForm : public QDialog {
    Q_OBJECT
public:
    TPrintForm(TTitleForm &textManager, QWidget *parent = nullptr);
    ~TPrintForm() override;

    // What the caller hands over before Execute: the table window's records
    // grid (not owned; it must outlive the next Execute) and its caption.
    void setSource(qvx::ui::DBGrid *grid, const QString &caption);
    // The opening steps, then modal; always returns QDialog::Rejected. Throws
    // when the first layout or rendering fails (the window then does not show).
    int Execute();
    // Prints every page of grid with the current title, header, footer,
    // margins and options, on the services' printer, whose target the caller
    // has chosen; the window is not shown.
    void PrintAllPages(qvx::ui::DBGrid *grid, const QString &caption);
    // Shows the program's About box ("About ..."); may be empty.
    std::function<void()> ShowAbout;

    // ---- Controls -------------------------------------------------------
    QMenuBar *MainMenu;
    QWidget *PageBar;
    QToolBar *PageToolBar;
    QToolBar *ToolBar1;
    QToolButton *UpdateButton;
    QWidget *TableBar;
    QToolBar *ToolBar2;
    QComboBox *Scale; // "Full Size", "Half", "Quarter", "Eighth"
    QComboBox *ColorSpace; // "Color", "Grayscale"
    QWidget *Panel;
    QLineEdit *TopValue, *BottomValue, *LeftValue, *RightValue;
    TSpinButton *TopSpinBtn, *BottomSpinBtn, *LeftSpinBtn, *RightSpinBtn;
    QLineEdit *FirstHorizontalPage, *LastHorizontalPage, *FirstVerticalPage, *LastVerticalPage;
    TSpinButton *HFirstSpinBtn, *HLastSpinBtn, *VFirstSpinBtn, *VLastSpinBtn;
    QCheckBox *PrintHeaderCheck, *PrintFooterCheck, *PrintBordersCheck;
    QScrollArea *ScrollBox;
    QLabel *PreviewImage;
    QStatusBar *StatusBar;
    QLabel *StatusPanel[3];

    qvx::ui::CommandList *ActionList;
    qvx::ui::Command *command(const QString &name) const;

    // ---- Page settings ----------------------------------------------------
    int TopMargin = 48, BottomMargin = 48, LeftMargin = 48, RightMargin = 48; // pixels of the page picture
    enum Placement { PlaceLeft = 1, PlaceCenter = 2, PlaceRight = 3 };
    int TablePlacement = PlaceLeft;
    qvx::output::TextBlock Title, Header, Footer;
    bool PrintMode = false;
    QString PreviewFile; // "cPage.jpg" in the program's cache folder

    // ---- Layout results ---------------------------------------------------
    struct Area {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    struct ColumnPage {
        int first = 0, last = -1; // grid columns, from 0; none when last < first
    };
    struct RecordPage {
        qint64 first = 1, last = 0; // record numbers, from 1; none when last < first
    };
    int WidthRatio = 1, HeightRatio = 1; // rW, rH
    int PageWidth = 0, PageHeight = 0;
    Area DrawArea;
    int LargestFontSize = 0;
    int RowHeight = 0;
    int TitleHeight = 0; // 0 when the title is empty
    std::vector<ColumnPage> ColumnPages; // page n at n - 1
    int HorizontalPageCount() const { return int(ColumnPages.size()); }
    qint64 VerticalPageCount() const { return m_verticalPages; }
    RecordPage recordPage(qint64 page) const;
    int CurrentHorizontalPage = 1;
    qint64 CurrentVerticalPage = 1;
    // The print range, set by every layout to 1 .. the page counts.
    int PrintFirstHorizontal = 1, PrintLastHorizontal = 1;
    qint64 PrintFirstVertical = 1, PrintLastVertical = 1;

    // Column k of the grid on the page: its width in page-picture pixels.
    int columnWidth(int column) const;
    // A margin as the margin boxes show it: inches at pixelsPerInch, two
    // significant digits, two decimals, a double quote.
    static QString marginText(int margin, int pixelsPerInch);

    // What the last rendering drew as text, in order: for tests and for
    // nothing else.
    struct DrawnText {
        QRect cell;
        QPoint at; // top-left of the text
        QString text;
    };
    QList<DrawnText> Drawn;

    // ---- Operations --------------------------------------------------------
    void ComputeLayout();
    void PaginateColumns();
    void PaginateRecords();
    void RenderPage();
    // The current page as it is rendered, in preview or print mode.
    QImage RenderPageImage(int horizontalPage, qint64 verticalPage);
    void ApplyPreviewScale();
    void RefreshPreview();
    void ShowMargins();

    // ---- Commands -----------------------------------------------------------
    void PrintCurrentPageExecute();
    void SaveAsJPGExecute();
    void PrintExecute();
    void PrintSetupExecute();
    void PlacementExecute(int placement);
    void TitleExecute();
    void HeaderExecute();
    void FooterExecute();
    void PrevisionExecute();
    void NextExecute();
    void UpExecute();
    void DownExecute();
    void FirstExecute();
    void LastExecute();
    void UpdateExecute();
    void MarginUp(int &margin, bool vertical);
    void MarginDown(int &margin);

    // The decoded preview picture as shown, and the JPEG file's bytes.
    QImage previewPicture() const { return m_shown; }
    QSize pictureSize() const { return m_pictureSize; }

private:
    void buildCommands();
    void buildControls();
    void buildMenus();
    void updateStatus();
    void showRange();
    void takeRange();
    void editBlock(qvx::output::TextBlock &block);
    void drawTextBlock(QPainter &painter, const qvx::output::TextBlock &block, const QRect &band,
                       bool centred);
    void drawRow(QPainter &painter, const ColumnPage &columns, int y, qint64 recNo);
    void drawCell(QPainter &painter, const QRect &cell, const QString &text, const QFont &font,
                  const QColor &fill, const QColor &ink, Qt::Alignment alignment);
    void printPages(QPainter &painter, int firstH, int lastH, qint64 firstV, qint64 lastV);
    void drawFitted(QPainter &painter, const QImage &picture);
    // Renders the current page as printed, at full size, runs use, and
    // comes back to the preview as it was, whatever use does.
    void withPagePrinted(const std::function<void()> &use);
    void decodePreview();
    qvx::DataSet *dataSet() const;

    TTitleForm &m_textManager;
    qvx::ui::DBGrid *m_grid = nullptr;
    QString m_caption;
    qint64 m_verticalPages = 1;
    qint64 m_recordCount = 0;
    int m_firstPageRecords = 0; // records vertical page 1 holds
    int m_pageRecords = 1; // records every further page holds
    QByteArray m_jpeg; // the preview file's bytes
    QSize m_pictureSize; // the preview picture at full size
    QImage m_shown;
    int m_shownScale = -1, m_shownColor = -1;
    int m_pixelsPerInch = 96;
};
