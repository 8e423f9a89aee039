// The names of the program's commands, one constant each, so that the main
// window, the child windows that answer them and the tests spell a name once.
#pragma once

#include <QLatin1String>

namespace qvx::cmd {

// Tables
inline constexpr QLatin1String AliasManager("AliasManager");
inline constexpr QLatin1String CreateNewTable("CreateNewTable");
inline constexpr QLatin1String NewDBASETable("NewDBASETable");
inline constexpr QLatin1String NewParadoxTable("NewParadoxTable");
inline constexpr QLatin1String NewASCIITable("NewASCIITable");
inline constexpr QLatin1String NewSQLTable("NewSQLTable");
inline constexpr QLatin1String NewXMLDocument("NewXMLDocument");
inline constexpr QLatin1String LoadTableFromFile("LoadTableFromFile");
inline constexpr QLatin1String LoadBDETable("LoadBDETable");
inline constexpr QLatin1String LoadSQLTable("LoadSQLTable");
inline constexpr QLatin1String LoadXMLDocument("LoadXMLDocument");
inline constexpr QLatin1String SaveTableToFile("SaveTableToFile");
inline constexpr QLatin1String SaveDBASETable("SaveDBASETable");
inline constexpr QLatin1String SaveParadoxTable("SaveParadoxTable");
inline constexpr QLatin1String SaveASCIITable("SaveASCIITable");
inline constexpr QLatin1String SaveSQLTable("SaveSQLTable");
inline constexpr QLatin1String SaveXMLDocument("SaveXMLDocument");
inline constexpr QLatin1String ViewMemo("ViewMemo");
inline constexpr QLatin1String ViewPicture("ViewPicture");

// Edit
inline constexpr QLatin1String EditUndo("EditUndo");
inline constexpr QLatin1String EditCut("EditCut");
inline constexpr QLatin1String EditCopy("EditCopy");
inline constexpr QLatin1String EditPaste("EditPaste");
inline constexpr QLatin1String EditSelectAll("EditSelectAll");
inline constexpr QLatin1String EditDelete("EditDelete");

// Print
inline constexpr QLatin1String PageSetup("PageSetup");
inline constexpr QLatin1String PrintPreview("PrintPreview");
inline constexpr QLatin1String Print("Print");

// Tools
inline constexpr QLatin1String Exit("Exit");
inline constexpr QLatin1String ConvertToExcel("ConvertToExcel");
inline constexpr QLatin1String ConvertToHTML("ConvertToHTML");

// Window
inline constexpr QLatin1String WindowClose("WindowClose");
inline constexpr QLatin1String WindowCascade("WindowCascade");
inline constexpr QLatin1String WindowTileHorizontal("WindowTileHorizontal");
inline constexpr QLatin1String WindowTileVertical("WindowTileVertical");
inline constexpr QLatin1String WindowMinimizeAll("WindowMinimizeAll");
inline constexpr QLatin1String WindowArrange("WindowArrange");

// Search
inline constexpr QLatin1String SearchFind1("SearchFind1");
inline constexpr QLatin1String SearchFindNext1("SearchFindNext1");
inline constexpr QLatin1String SearchReplace1("SearchReplace1");
inline constexpr QLatin1String SearchFindFirst1("SearchFindFirst1");

// SQL
inline constexpr QLatin1String SQLEditor("SQLEditor");
inline constexpr QLatin1String AddTable("AddTable");
inline constexpr QLatin1String CreateSQLTable("CreateSQLTable");
inline constexpr QLatin1String SearchManager("SearchManager");
inline constexpr QLatin1String ResultForm("ResultForm");
inline constexpr QLatin1String CreateManager("CreateManager");
inline constexpr QLatin1String SelectManagerType("SelectManagerType");
inline constexpr QLatin1String ClearSQL("ClearSQL");
inline constexpr QLatin1String FindRecord("FindRecord");

// Editors
inline constexpr QLatin1String ImageEditor("ImageEditor");
inline constexpr QLatin1String RTFEditor("RTFEditor");
inline constexpr QLatin1String HTMLEditor("HTMLEditor");

// Fonts
inline constexpr QLatin1String SelectCells("SelectCells");
inline constexpr QLatin1String FontName("FontName");
inline constexpr QLatin1String FontSize("FontSize");
inline constexpr QLatin1String FontColor("FontColor");
inline constexpr QLatin1String Bold("Bold");
inline constexpr QLatin1String Italic("Italic");
inline constexpr QLatin1String Underline("Underline");
inline constexpr QLatin1String LeftAlign("LeftAlign");
inline constexpr QLatin1String CenterAlign("CenterAlign");
inline constexpr QLatin1String RightAlign("RightAlign");
inline constexpr QLatin1String BgColor("BgColor");

// View
inline constexpr QLatin1String ViewSystemControlBar("ViewSystemControlBar");
inline constexpr QLatin1String ViewFontControlBar("ViewFontControlBar");
inline constexpr QLatin1String ViewSQLControlBar("ViewSQLControlBar");
inline constexpr QLatin1String ViewTableMemo("ViewTableMemo");
inline constexpr QLatin1String ViewTablePicture("ViewTablePicture");
inline constexpr QLatin1String ViewSheet("ViewSheet");
inline constexpr QLatin1String ViewHTML("ViewHTML");
inline constexpr QLatin1String ViewDetails("ViewDetails");
// Reads the active table in another code page (a table window's own command).
inline constexpr QLatin1String ChooseCodePage("ChooseCodePage");

} // namespace qvx::cmd
