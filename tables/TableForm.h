// What the three table windows share: a page control with the records grid
// ("Table") and the structure list and tree ("Details"), a right-hand pane
// with the picture and memo of the current record, the operations the main
// window's commands run (formatting, panes, exports, saving) and the event
// handlers. Each kind of window adds its data set, how it opens its
// document, and the few reactions in which it differs (the protected hooks).
// All three are child windows of the frame under the one contract.
#pragma once

#include "ui/AlignPanel.h"
#include "ui/ChildWindow.h"
#include "ui/DBGrid.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"
#include "ui/DataSource.h"

#include "engine/ClientDataSet.h"

#include <QWidget>

class QScrollArea;
class QTabWidget;
class QTreeWidget;
class TTableData;

// A rectangle drawn behind or around the picture: the filled shadow or the
// outlined frame.
class TShape : public QWidget {
    Q_OBJECT
public:
    enum Kind { Shadow, Frame };
    explicit TShape(Kind kind, QWidget *parent = nullptr);
    Kind kind() const { return m_kind; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
};

class TTableForm : public QWidget, public qvx::ui::ChildWindow {
    Q_OBJECT
public:
    ~TTableForm() override;

    // --- the child-window contract --------------------------------------------
    QWidget *widget() override { return this; }
    QString kindName() const override { return m_kindName; }
    // Sets the caption to the table's name, opens the data set and shows it
    // (InitTableView). A failure leaves the window open, captioned, empty.
    void open(const qvx::ui::DocumentSource &source) override;
    bool canSaveToFile() const override { return true; }
    // Writes the records the window shows (a pending edit included) to a new
    // table or packet file of the kind the name gives.
    void saveToFile(const QString &path) override;
    // A cell still being typed in, then an unposted record, are stored.
    void commitPendingEdits() override;
    bool answers(const QString &command) const override;
    void runCommand(const QString &command) override;
    void activated() override;
    int fontStyle(bool titles) override;
    qvx::ui::DBGrid *recordsGrid() override { return TableGrid; }
    qvx::ui::DBMemo *memoPane() override { return DBMemo; }
    qvx::ui::DBImage *picturePane() override { return DBImage; }

    // The data set behind DataSource (BDETable, Query or DataSet).
    qvx::DataSet &tableDataSet() const { return *m_data; }

    // --- controls, top to bottom ------------------------------------------
    qvx::ui::AlignPanel *Frame; // holds TablePanel, VSplitter and ResultPanel
    QWidget *TablePanel;
    QTabWidget *PageControl;
    QWidget *Table; // page "Table"
    qvx::ui::DBGrid *TableGrid;
    qvx::ui::AlignPanel *Details; // page "Details"
    qvx::ui::DBGrid *FieldsGrid;
    qvx::ui::AlignSplitter *Splitter1;
    QTreeWidget *SystemTree;
    qvx::ui::AlignSplitter *VSplitter;
    qvx::ui::AlignPanel *ResultPanel;
    QScrollArea *ImageBox;
    TShape *Shape;
    TShape *Border;
    qvx::ui::DBImage *DBImage;
    qvx::ui::AlignSplitter *HSplitter;
    qvx::ui::DBMemo *DBMemo;

    qvx::ui::DataSource *DataSource;
    qvx::ui::DataSource *SysDataSource;
    qvx::ClientDataSet SystemDataSet; // the structure list
    quint8 FontStyleState = 0; // bold 1, italic 2, underline 4

    // Columns of the structure list.
    enum StructureField { NameField, LabelField, VisibleField, TypeField, SizeField, IndexedField };

    // --- operations ---------------------------------------------------------
    void InitTableView();
    void FillStructureList();
    void FillStructureTree();
    void ReadColumnStyle();
    void ReadTitleStyle();
    void ToggleColumnBold();
    void ToggleColumnItalic();
    void ToggleColumnUnderline();
    void ToggleTitleBold();
    void ToggleTitleItalic();
    void ToggleTitleUnderline();
    // kind 1 font name, 2 size, 3 colour, read from the main window's boxes.
    void SetColumnFont(int kind);
    void SetTitleFont(int kind);
    void AlignFieldLeft();
    void AlignFieldRight();
    void AlignFieldCenter();
    void AlignTitleLeft();
    void AlignTitleRight();
    void AlignTitleCenter();
    void SetColumnColor();
    void SetTitleColor();
    void ShowMemoField();
    void ShowPictureField();
    void TogglePictureFrame();
    void LayoutPicture();
    void ExportToExcel();
    void ExportToHTML();
    // The viewer commands: show or hide the memo pane, the picture pane, the
    // Details page's tab.
    void ToggleMemoPane();
    void TogglePicturePane();
    void ToggleDetailsPage();

    // --- event handlers (each runs through the error guard when called by
    // an event; called directly they throw) ---------------------------------
    void FormCreate();
    // Closing: false keeps the window open (its data could not be kept).
    virtual bool FormClose();
    void TableGridColEnter();
    void TableGridCellClick();
    void TableGridKeyUp(int key);
    // A character typed in FieldsGrid; set to QChar() when swallowed.
    void FieldsGridKeyPress(QChar &key);
    void PageControlChange();
    void HSplitterMoved();

    // The height of the window as the frame shows it: its sub-window's when
    // it sits in a multiple-document area, its own otherwise.
    int outerHeight() const;

    // The field shown in the selected grid column (-1 for none), and the
    // field whose position equals the selected column's index.
    int selectedField() const;
    int fieldAtSelectedIndex() const;

protected:
    TTableForm(qvx::ui::ChildHost &host, TTableData &tableData, QWidget *parent, const QString &caption,
               QSize initialSize, int imageBoxHeight);
    // Binds the window to its data set; the kinds call it from their
    // constructors once the data set exists, then FormCreate().
    void bindDataSet(qvx::DataSet &dataSet);

    // Points the data set at the document and opens it.
    virtual void openDocument(const qvx::ui::DocumentSource &source) = 0;

    // Where the kinds differ.
    virtual bool writesDetailsBack() const { return false; }
    virtual bool layoutsEmptyPicture() const { return false; }
    virtual bool alwaysTogglesFrame() const { return true; }
    virtual bool vSplitterLayoutsPicture() const { return false; }

    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    qvx::ui::ChildHost &m_host;
    TTableData &m_tableData;

private:
    void buildDetailsPage();
    void buildResultPanel(int imageBoxHeight);
    void defineStructureList();
    void writeDetailsBack(int structureField);
    qvx::ui::GridColumn &selectedColumn();
    QFont &selectedColumnFont();
    QFont &selectedTitleFont();
    static quint8 styleOf(const QFont &font);
    static void applyStyle(QFont &font, quint8 style);
    void toggleColumnStyle(quint8 bit);
    void toggleTitleStyle(quint8 bit);
    void setFont(int kind, bool title);
    void alignField(qvx::Alignment alignment);
    void alignTitle(Qt::Alignment alignment);
    void sizePictureCanvas();
    bool isActiveChild() const;
    void showRecordNumber();
    void showColumn();
    void showState();
    QString m_kindName;

    qvx::DataSet *m_data = nullptr;
};
