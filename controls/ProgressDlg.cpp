#include "controls/ProgressDlg.h"

#include "platform/core/StringTable.h"
#include "platform/gui/DialogUnits.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/SystemLook.h"
#include "resources/StringIds.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

using namespace Platform;

namespace
{

QRect Place(const Rect& dialogUnits, const LogFont& font)
{
    const Rect r = MapDialogRect(dialogUnits, font);
    return QRect(r.left, r.top, r.Width(), r.Height());
}

} // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : m_parent(parent)
{
}

CProgressDlg::~CProgressDlg()
{
    delete m_dialog.data();
}

bool CProgressDlg::Create(QWidget* parent)
{
    if (m_dialog)
        return true;
    if (parent)
        m_parent = parent;
    // A borderless-caption popup with a sizing frame, laid out in dialog units of its font.
    const LogFont font = GetMessageFont();
    auto* dialog = new QDialog(m_parent, Qt::Dialog | Qt::CustomizeWindowHint);
    dialog->setModal(false);
    dialog->setFont(Font(font).ToQFont());
    dialog->resize(Place({0, 0, 282, 65}, font).size());

    auto* bar = new QProgressBar(dialog);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setGeometry(Place({21, 37, 21 + 238, 37 + 14}, font));

    auto* text = new QLabel(Platform::LoadString(StringId::IDS_PLEASE_WAIT_DOWNLOADING), dialog);
    text->setObjectName(QStringLiteral("text"));
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setGeometry(Place({6, 17, 6 + 268, 17 + 8}, font));

    m_dialog = dialog;
    m_bar = bar;
    m_text = text;
    return true;
}

void CProgressDlg::ShowWindow(bool show)
{
    if (!m_dialog)
        return;
    if (show)
    {
        // Centred on the owner, as the dialog is made.
        if (m_parent)
        {
            const QRect owner = m_parent->window()->frameGeometry();
            m_dialog->move(owner.center() - QPoint(m_dialog->width() / 2, m_dialog->height() / 2));
        }
        m_dialog->show();
    }
    else
    {
        m_dialog->hide();
    }
}

void CProgressDlg::SetPos(int position)
{
    if (!m_dialog || !m_bar)
        return;
    if (m_lastPos == -1)
    {
        m_dialog->repaint();
        m_bar->setRange(0, 1000);
    }
    if (position == m_lastPos && position != 1000)
        return;
    const int shown = std::clamp(position, 0, 1000);
    // Stepping back first makes the bar show its end at once instead of gliding there.
    if (position == 1000)
        m_bar->setValue(999);
    m_bar->setValue(shown);
    m_bar->repaint();
    m_lastPos = position;
}

void CProgressDlg::SetText(const QString& text)
{
    if (!m_dialog || !m_text || text == m_lastText)
        return;
    m_lastText = text;
    m_text->setText(text);
    m_dialog->repaint();
}

QDialog* CProgressDlg::GetWindow() const
{
    return m_dialog;
}

QProgressBar* CProgressDlg::Bar() const
{
    return m_bar;
}

QLabel* CProgressDlg::TextControl() const
{
    return m_text;
}
