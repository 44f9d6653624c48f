#pragma once
#include <QDialog>

class CFileVersionInfo;
class QLabel;
class QGroupBox;

// "About Veskador 3": the program's version and description, and the language pack's
// comments and legal notice.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    // Control ids of the fields, for tests and language packs.
    enum : int
    {
        IDC_VERSION = 111,
        IDC_LEGAL = 112,
        IDC_RELEASE = 113,
        IDC_BUILD = 114,
        IDC_COMMENTS = 115,
        IDC_DESCRIPTION = 120,
    };

    CAboutDlg(const CFileVersionInfo& program, const CFileVersionInfo& language, QWidget* parent = nullptr);

    QString FieldText(int id) const;

private:
    QLabel* m_version;
    QLabel* m_release;
    QLabel* m_build;
    QLabel* m_comments;
    QLabel* m_legal;
    QGroupBox* m_description;
};
