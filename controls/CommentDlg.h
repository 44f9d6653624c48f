#pragma once
#include <QDialog>
#include <QString>

class QPlainTextEdit;

// Edits the comment of one series (dialog 1062). The caller sets the comment, runs the
// dialog and stores GetComment() only when DoModal() returned IDOK.
class CCommentDlg : public QDialog
{
public:
    enum
    {
        IDD = 1062,
        IDC_COMMENT = 1035,
    };

    explicit CCommentDlg(QWidget* parent = nullptr);
    ~CCommentDlg() override;

    // Line breaks may be "\r\n" (as the series keep them) or "\n".
    void SetComment(const QString& comment);
    // The text as it was when the dialog closed (OK or Cancel), with "\r\n" line breaks.
    QString GetComment() const { return m_comment; }

    // IDOK or IDCANCEL.
    int DoModal();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();

    QPlainTextEdit* m_edit;
    QString m_comment;
    bool m_initialised = false;
};
