// The program's long-lived windows and data modules, created once each in a
// fixed order (each may rely on those made before it) and destroyed with the
// main window first, so that no table window outlives the modules it uses.
// main() makes one; window tests make one the same way.
#pragma once

#include <memory>

class TAboutBox;
class TMainForm;
class TSQLData;
class TTableData;

class TProgram {
public:
    TProgram();
    ~TProgram();
    TProgram(const TProgram &) = delete;
    TProgram &operator=(const TProgram &) = delete;

    TMainForm *MainForm() const { return m_mainForm.get(); }
    TAboutBox *AboutBox() const { return m_aboutBox.get(); }
    TSQLData *SQLData() const { return m_sqlData.get(); }
    TTableData *TableData() const { return m_tableData.get(); }

private:
    std::unique_ptr<TMainForm> m_mainForm;
    std::unique_ptr<TAboutBox> m_aboutBox;
    std::unique_ptr<TSQLData> m_sqlData;
    std::unique_ptr<TTableData> m_tableData;
};
