#include "Program.h"

#include "ClientMenu.h"
#include "about.h"

#include "query/SQLDataModule.h"
#include "tables/TableDataModule.h"

TProgram::TProgram()
{
    m_mainForm = std::make_unique<TMainForm>();
    m_aboutBox = std::make_unique<TAboutBox>(m_mainForm.get());
    m_mainForm->AboutBox = m_aboutBox.get();
    m_sqlData = std::make_unique<TSQLData>();
    m_mainForm->setSQLData(m_sqlData.get());
    m_tableData = std::make_unique<TTableData>();
    m_mainForm->TableData = m_tableData.get();
}

TProgram::~TProgram()
{
    // The about box is a child of the main window and goes with it.
    (void)m_aboutBox.release();
    m_mainForm.reset();
    m_tableData.reset();
    m_sqlData.reset();
}
