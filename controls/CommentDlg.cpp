#include "controls/CommentDlg.h"

#include "controls/DialogButtons.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

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
    m_left = new QLabel(this);
    m_left->setObjectName(QStringLiteral("left"));
    m_left->setGeometry(du.Rect(7, 89, 185, 10));

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
    m_accepted = m_edit->toPlainText();
    m_left->setVisible(m_maxLength > 0);
    connect(m_edit, &QPlainTextEdit::textChanged, this, [this] { OnTextChanged(); });
    OnTextChanged();
}

int CCommentDlg::StoredLength(const QString& text)
{
    return int(text.size() + text.count(u'\n'));
}

void CCommentDlg::OnTextChanged()
{
    if (m_maxLength <= 0)
        return;
    const QString text = m_edit->toPlainText();
    // A comment already longer than the limit may be shortened, never lengthened.
    const int allowed = std::max(m_maxLength, StoredLength(m_accepted));
    if (StoredLength(text) > allowed)
    {
        // What went in (typed, pasted or dropped) lies between a part before it and a part
        // after it that both texts share; it ends at the caret, which tells where it went
        // among equal characters. As much of it goes in as fits, as typing stops at the
        // limit; the rest is refused with a beep.
        const QStringView now(text);
        const QStringView was(m_accepted);
        qsizetype after = now.size() - m_edit->textCursor().position();
        const bool endsAtCaret = after >= 0 && after <= was.size() && now.right(after) == was.right(after);
        if (!endsAtCaret)
            after = 0;
        const qsizetype shortest = std::min(now.size(), was.size()) - after;
        qsizetype before = 0;
        while (before < shortest && now[before] == was[before])
            ++before;
        if (!endsAtCaret)
            while (after < shortest - before && now[now.size() - 1 - after] == was[was.size() - 1 - after])
                ++after;
        const QString kept = m_accepted.left(before) + m_accepted.right(after);
        const QString inserted = text.mid(before, text.size() - before - after);
        int room = allowed - StoredLength(kept);
        qsizetype fits = 0;
        while (fits < inserted.size())
        {
            const int cost = inserted[fits] == u'\n' ? 2 : 1;
            if (cost > room)
                break;
            room -= cost;
            ++fits;
        }
        // Never half of a character that takes two.
        if (fits > 0 && fits < inserted.size() && inserted[fits - 1].isHighSurrogate())
            --fits;
        {
            const QSignalBlocker quiet(m_edit);
            m_edit->setPlainText(m_accepted.left(before) + inserted.left(fits) + m_accepted.right(after));
        }
        // The caret goes after what went in.
        QTextCursor cursor = m_edit->textCursor();
        cursor.setPosition(int(before + fits));
        m_edit->setTextCursor(cursor);
        m_edit->ensureCursorVisible();
        QApplication::beep();
    }
    m_accepted = m_edit->toPlainText();
    const int left = std::max(0, m_maxLength - StoredLength(m_accepted));
    m_left->setText(Platform::LoadString(StringId::IDS_COMMENT_CHARS_LEFT)
                        .arg(QString::number(left), QString::number(m_maxLength)));
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
