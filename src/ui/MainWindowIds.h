#pragma once

// Control ids of the main window (each control's objectName) and its command ids (each
// menu action's objectName).
namespace MainId {
inline constexpr int PathEdit = 1000;
inline constexpr int OpenButton = 1001;
inline constexpr int DatabaseCombo = 1002;
inline constexpr int NameFilterEdit = 1003;
inline constexpr int TableList = 1004;
inline constexpr int WhereEdit = 1005;
inline constexpr int ApplyButton = 1006;
inline constexpr int ClearButton = 1007;
inline constexpr int KeywordEdit = 1008;
inline constexpr int ColumnsButton = 1009;
inline constexpr int DdlButton = 1010;
inline constexpr int CsvButton = 1011;
inline constexpr int Grid = 1012;
inline constexpr int FirstButton = 1013;
inline constexpr int PreviousButton = 1014;
inline constexpr int NextButton = 1015;
inline constexpr int LastButton = 1016;
inline constexpr int PageSizeEdit = 1017;
inline constexpr int PageText = 1018;
inline constexpr int StatusText = 1019;
inline constexpr int DatabaseLabel = 1020;
inline constexpr int TablesLabel = 1021;
inline constexpr int WhereLabel = 1022;
inline constexpr int KeywordLabel = 1023;
inline constexpr int PageSizeLabel = 1024;
inline constexpr int FileLabel = 1025;
}  // namespace MainId

namespace CommandId {
inline constexpr int Open = 32771;
inline constexpr int Close = 32772;
inline constexpr int Csv = 32773;
inline constexpr int Ddl = 32774;
inline constexpr int Properties = 32775;
inline constexpr int SaveSettings = 32776;
inline constexpr int Exit = 32777;
inline constexpr int VisibleColumns = 32778;
inline constexpr int ClearFilter = 32779;
inline constexpr int FirstPage = 32780;
inline constexpr int PreviousPage = 32781;
inline constexpr int NextPage = 32782;
inline constexpr int LastPage = 32783;
inline constexpr int RowDetail = 32784;
inline constexpr int About = 32785;
inline constexpr int CheckDump = 32786;
inline constexpr int ClearSort = 32788;
inline constexpr int GoToRow = 32789;
inline constexpr int SqlExport = 32790;
}  // namespace CommandId
