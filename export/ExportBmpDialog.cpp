#include "export/ExportBmpDialog.h"

namespace
{

// Choice values of the three columns.
enum
{
    headersOnly = 0,
    asIs = 1,
    headersAndDetails = 2,
    allData = 3,
    selectionOnly = 4,
    oneFile = 5,
    separateFiles = 6,
    clipboard = 7,
};

CExportOptionDlg::Layout BmpLayout()
{
    CExportOptionDlg::Layout l;
    l.caption = QStringLiteral("Export as graphic");
    l.staticId = CExportBmpDialog::IDC_FONT_SOURCE;
    l.staticX = 437;
    l.staticY = 196;
    l.columns = {{
        {1244, 126, 1085, {{headersOnly, 1245, 1085}, {asIs, 1250, 1095}, {headersAndDetails, 1251, 1083}}},
        {1252, 180, 1094, {{oneFile, 1253, 1094}, {separateFiles, 1254, 1091}, {clipboard, 1255, 1080}}},
        {1260, 90, 1100, {{allData, 1261, 1100}, {selectionOnly, 1262, 1102}}},
        {1263, 120, 1094, {}},
    }};
    l.defaults = {headersAndDetails, oneFile, selectionOnly};
    l.separateFilesValue = separateFiles;
    l.clipboardValue = clipboard;
    l.allValue = allData;
    l.preview = {1130, 1125, 1124, 1114, 1110, 1123, 1122, false};
    l.defaultExtension = QStringLiteral("png");
    l.initialName = 1272;
    l.filter = {{1264, QStringLiteral(" (*.png)|*.png|")},
                {1265, QStringLiteral(" (*.bmp)|*.bmp|")},
                {1270, QStringLiteral(" (*.jpg)|*.jpg|")},
                {1271, QStringLiteral(" (*.*)|*.*||")}};
    return l;
}

} // namespace

CExportBmpDialog::CExportBmpDialog(QWidget* parent) : CExportOptionDlg(BmpLayout(), parent)
{
}

CExportBmpDialog::~CExportBmpDialog() = default;

int CExportBmpDialog::GetContent() const
{
    return GetChosen(0);
}

bool CExportBmpDialog::AcceptPath(const QString& path)
{
    // The name decides the format, whatever filter was selected; ".jpeg" is JPEG too.
    static const struct
    {
        QString ending;
        int format;
    } kEndings[] = {{QStringLiteral(".bmp"), 0},
                    {QStringLiteral(".png"), 1},
                    {QStringLiteral(".jpg"), 2},
                    {QStringLiteral(".jpeg"), 2}};
    for (const auto& e : kEndings)
    {
        if (path.endsWith(e.ending, Qt::CaseInsensitive))
        {
            m_formatIndex = e.format;
            return true;
        }
    }
    return false;
}
