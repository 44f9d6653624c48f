#include "export/ExportCsvDialog.h"

namespace
{

// Choice values of the three columns.
enum
{
    table = 0,
    report = 1,
    allData = 2,
    selectionOnly = 3,
    oneFile = 4,
    separateFiles = 5,
    clipboard = 6,
};

CExportOptionDlg::Layout CsvLayout()
{
    CExportOptionDlg::Layout l;
    l.caption = QStringLiteral("Export to Microsoft Excel CSV (Comma separated values) file");
    l.staticId = CExportCsvDialog::IDC_FONT_SOURCE;
    l.staticX = 7;
    l.staticY = 196;
    l.columns = {{
        {59232, 100, 1321, {{table, 59233, 1321}, {report, 59234, 1322}}},
        {1275, 180, 1131, {{oneFile, 1253, 1131}, {separateFiles, 1254, 1132}, {clipboard, 1255, 1080}}},
        {1280, 90, 1100, {{allData, 1261, 1100}, {selectionOnly, 1262, 1102}}},
        {1263, 120, 1131, {}},
    }};
    l.defaults = {table, oneFile, selectionOnly};
    l.separateFilesValue = separateFiles;
    l.clipboardValue = clipboard;
    l.allValue = allData;
    l.preview = {1130, 1125, 1124, 1114, 0, 1133, 1122, true};
    l.defaultExtension = QStringLiteral("csv");
    l.initialName = 1273;
    l.filter = {{1274, QStringLiteral(" (*.csv)|*.csv|")}, {1271, QStringLiteral(" (*.*)|*.*||")}};
    return l;
}

} // namespace

CExportCsvDialog::CExportCsvDialog(QWidget* parent) : CExportOptionDlg(CsvLayout(), parent)
{
}

CExportCsvDialog::~CExportCsvDialog() = default;

int CExportCsvDialog::GetTextFormat() const
{
    return GetChosen(0) == report ? 1 : 0;
}

bool CExportCsvDialog::AcceptPath(const QString& path)
{
    return path.right(4).compare(QStringLiteral(".csv"), Qt::CaseInsensitive) == 0;
}
