#pragma once
#include "export/ExportOptionDlg.h"

// Asks how the series page is exported as text (dialog 1071): the layout, the target and
// the series, and the target file. Read the getters after DoModal() returned IDOK.
class CExportCsvDialog : public CExportOptionDlg
{
public:
    enum
    {
        IDD = 1071,
        IDC_FONT_SOURCE = 1081,
    };

    explicit CExportCsvDialog(QWidget* parent = nullptr);
    ~CExportCsvDialog() override;

    // 0 Table, 1 Report.
    int GetTextFormat() const;

protected:
    bool AcceptPath(const QString& path) override;
};
