#pragma once
#include "export/ExportOptionDlg.h"

// Asks how the series page is exported as a graphic (dialog 1073): what to export, the
// target and the series, and the target file with its format. Read the getters after
// DoModal() returned IDOK.
class CExportBmpDialog : public CExportOptionDlg
{
public:
    enum
    {
        IDD = 1073,
        IDC_FONT_SOURCE = 1074,
    };

    explicit CExportBmpDialog(QWidget* parent = nullptr);
    ~CExportBmpDialog() override;

    // 0 headers only, 1 as is, 2 headers and details.
    int GetContent() const;
    // 0 BMP, 1 PNG, 2 JPEG.
    int GetFormatIndex() const { return m_formatIndex; }

protected:
    bool AcceptPath(const QString& path) override;

private:
    int m_formatIndex = 1;
};
