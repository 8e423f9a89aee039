#include "Program.h"

#include "ClientMenu.h"
#include "about.h"

#include "config/AliasDlg.h"
#include "create/CreateNewTableDlg.h"
#include "create/FoxProIndexesDlg.h"
#include "create/NewTable.h"
#include "create/SaveFoxProIndexDlg.h"
#include "create/SaveParadoxIndexDlg.h"
#include "create/SavedBaseIndexDlg.h"
#include "create/SecondaryIndexesDlg.h"
#include "create/dBaseIndexesDlg.h"
#include "designers/AlignmentDlg.h"
#include "designers/ScaleDlg.h"
#include "designers/SizeDlg.h"
#include "editors/GraphDlg.h"
#include "editors/RTFEditor.h"
#include "output/HTMLFontsDlg.h"
#include "output/HTMLFormDlg.h"
#include "output/PrintTable.h"
#include "output/TitleDlg.h"
#include "query/SQLDataModule.h"
#include "tables/TableDataModule.h"
#include "ui/Services.h"

TProgram::TProgram()
{
    m_mainForm = std::make_unique<TMainForm>();
    m_aboutBox = std::make_unique<TAboutBox>(m_mainForm.get());
    m_mainForm->AboutBox = m_aboutBox.get();
    m_sqlData = std::make_unique<TSQLData>();
    m_mainForm->setSQLData(m_sqlData.get());
    m_tableData = std::make_unique<TTableData>();
    m_mainForm->TableData = m_tableData.get();

    // The table creation windows, owned by the main window (which goes
    // before the table data module they use).
    TMainForm *main = m_mainForm.get();
    auto *newTable = new TNewTableForm(*m_tableData, main);
    newTable->OpenCreatedTable = [main](const QString &path) {
        main->tableChoice().chooseFile(path);
        main->OpenBDETable();
    };
    main->setNewTableCreator(new TCreateNewBDETable(*newTable, main));
    auto *saveDBase = new TSavedBaseIndexFormDlg(*newTable, main);
    auto *dbase = new TdBaseIndexFormDlg(*newTable, *saveDBase, main);
    auto *saveFoxPro = new TSaveFoxProIndexFormDlg(*newTable, main);
    auto *foxPro = new TFoxProIndexFormDlg(*newTable, *saveFoxPro, main);
    auto *saveParadox = new TSaveParadoxIndexForm(*newTable, main);
    auto *paradox = new TSecondaryIndexFormDlg(*newTable, *saveParadox, main);
    newTable->setIndexDialogs(paradox, dbase, foxPro);

    // The form designers' layout dialogs.
    main->AlignmentDlg = new TAlignmentFormDlg(main);
    main->SizeDlg = new TSizeFormDlg(main);
    main->ScaleDlg = new TScaleFormDlg(main);

    // The alias manager, over the table data module's session.
    main->setAliasManager(new TAliasFormDlg(m_tableData->Session, main, main));

    // The page manager with its text manager, and the HTML editor.
    auto *printForm = new TPrintForm(*new TTitleForm(main), main);
    printForm->ShowAbout = [main] {
        if (main->AboutBox)
            qvx::ui::Services::current().runModal(*main->AboutBox);
    };
    main->setOutputWindows(printForm, new THTMLForm(*new THTMLFontFormDlg(main), main));

    // The rich-text editor and the picture manager.
    const auto showAbout = [main] {
        if (main->AboutBox)
            qvx::ui::Services::current().runModal(*main->AboutBox);
    };
    const auto activeChild = [main] { return main->activeChild(); };
    auto *rtfEditor = new TRTFForm(main);
    rtfEditor->ActiveChild = activeChild;
    rtfEditor->ShowAbout = showAbout;
    auto *pictureManager = new TGraphFormDlg(main);
    pictureManager->ActiveChild = activeChild;
    pictureManager->ShowAbout = showAbout;
    main->setEditors(rtfEditor, pictureManager);
}

TProgram::~TProgram()
{
    // The about box is a child of the main window and goes with it.
    (void)m_aboutBox.release();
    m_mainForm.reset();
    m_tableData.reset();
    m_sqlData.reset();
}
