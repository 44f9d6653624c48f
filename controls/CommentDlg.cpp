#include "controls/CommentDlg.h"

#include "controls/DialogButtons.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

CCommentDlg::CCommentDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(Platform::LoadString(StringId::IDS_COMMENT_TITLE));
    const Platform::DialogUnits du(font());
    setFixedSize(du.Size(306, 107));

    // Lines are not wrapped: long lines scroll sideways, and Return starts a new line.
    m_edit = new QPlainTextEdit(this);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setTabChangesFocus(true);
    m_edit->setGeometry(du.Rect(7, 7, 291, 79));
    Platform::SetDlgCtrlID(m_edit, IDC_COMMENT);

    const auto [cancel, ok] = AddCancelOk(this, du, 199, 249, 86);

    // A language pack may lengthen the texts.
    Platform::WidenToTexts(this);
    Platform::FitToCaption(this);
    Platform::NarrowToScreen(this);

    // Tab order follows the template: the edit, Cancel, OK.
    setTabOrder(m_edit, cancel);
    setTabOrder(cancel, ok);
}

CCommentDlg::~CCommentDlg() = default;

void CCommentDlg::SetComment(const QString& comment)
{
    m_comment = comment;
}

int CCommentDlg::DoModal()
{
    return Platform::RunModalDialog(*this);
}

void CCommentDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised)
    {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CCommentDlg::OnInitDialog()
{
    QString text = m_comment;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_edit->setPlainText(text);
    // The caret goes after the last character, scrolled into view.
    QTextCursor cursor = m_edit->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_edit->setTextCursor(cursor);
    m_edit->ensureCursorVisible();
    m_edit->setFocus(Qt::OtherFocusReason);
}

void CCommentDlg::done(int result)
{
    // Read back on OK and Cancel alike; the caller uses it only after OK.
    if (!m_initialised)
        return QDialog::done(result);
    QString text = m_edit->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    m_comment = text;
    QDialog::done(result);
}
