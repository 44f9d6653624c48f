#pragma once
#include <QDialog>
#include <QString>

class QLabel;
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
    // The most characters the comment is kept with ("\r\n" counting two): the edit takes
    // no more (of a typed or pasted text that would pass it, what fits goes in and the rest
    // is refused with a beep) and shows how many are left. 0: no limit.
    void SetMaxLength(int characters) { m_maxLength = characters; }

    // IDOK or IDCANCEL.
    int DoModal();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnTextChanged();
    // The comment's length as it is kept.
    static int StoredLength(const QString& text);

    QPlainTextEdit* m_edit;
    QLabel* m_left;
    QString m_comment;
    // The last text within the limit, put back when an edit passes it.
    QString m_accepted;
    int m_maxLength = 0;
    bool m_initialised = false;
};
