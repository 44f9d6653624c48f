#include "grid/GridCell.h"

#include "grid/GridCtrl.h"
#include "grid/GridDefaultCell.h"
#include "grid/InPlaceEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

using namespace Platform;

CGridCell::CGridCell()
{
    CGridCell::Reset();
}

CGridCell::~CGridCell() = default;

void CGridCell::Reset()
{
    CGridCellBase::Reset();
    m_text.clear();
    m_image = -1;
    m_data = 0;
    m_grid = nullptr;
    m_editing = false;
    m_editWnd = nullptr;
    m_format = -1;
    m_textColor = 0;
    m_backColor = 0xFFFFFF;
    m_printTextColor = 0;
    m_printBackColor = 0xFFFFFF;
    m_margin = -1;
    m_highlightSelected = true;
    m_showFocusFrame = true;
    m_font.reset();
    m_fontObject.reset();
}

void CGridCell::SetText(const QString& text)
{
    // A grid filled anew mostly sets the texts its cells hold already.
    if (m_text == text)
        return;
    m_text = text;
    InvalidateTextFit();
}

void CGridCell::SetFont(const LogFont* font)
{
    if (font)
    {
        m_font = *font;
        m_fontObject.emplace(*font);
    }
    else
    {
        m_font.reset();
        m_fontObject.reset();
    }
    InvalidateTextHeight();
}

QString CGridCell::GetCopyText() const
{
    return m_copyText.isEmpty() ? GetText() : m_copyText;
}

unsigned CGridCell::GetFormat() const
{
    if (m_format != -1)
        return static_cast<unsigned>(m_format);
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFormat() : 0;
}

const LogFont* CGridCell::GetFont() const
{
    if (m_font)
        return &*m_font;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFont() : nullptr;
}

const Font* CGridCell::GetFontObject() const
{
    // A cell with its own font keeps its font object; building one per call would cost a
    // font resolution on every paint of the cell.
    if (m_fontObject)
        return &*m_fontObject;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFontObject() : nullptr;
}

int CGridCell::GetMargin() const
{
    if (m_margin != -1)
        return m_margin;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetMargin() : 0;
}

bool CGridCell::Edit(int row, int col, Rect rect, Point, int editorId, int key)
{
    // An open editor takes the key as a typed character.
    if (m_editing && m_editWnd)
    {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(key)));
        QCoreApplication::sendEvent(m_editWnd, &press);
        return true;
    }
    if (!m_grid)
        return false;
    const unsigned format = GetFormat();
    const unsigned style = (format & DT_RIGHT) ? ES_RIGHT : (format & DT_CENTER) ? ES_CENTER : ES_LEFT;
    m_editing = true;
    // The editor deletes itself when it closes; the grid tells the cell with OnEndEdit.
    m_editWnd = new CInPlaceEdit(m_grid, rect, style, editorId, row, col, GetText(), key);
    return true;
}

void CGridCell::SetEditWnd(QWidget* editor)
{
    m_editWnd = editor;
    m_editing = editor != nullptr;
}

void CGridCell::EndEdit()
{
    if (auto* editor = qobject_cast<CInPlaceEdit*>(m_editWnd.data()))
        editor->EndEdit();
}

void CGridCell::OnEndEdit()
{
    m_editing = false;
    m_editWnd = nullptr;
}

bool CGridCell::GetTipZoneAt(Point point, Rect* rect, QString* title, QString* text) const
{
    if (m_tipRects.size() == 1 && m_tipRects[0].IsEmpty())
    {
        Rect whole{0, 0, 0, 0};
        if (m_grid)
        {
            whole.right = m_grid->GetColumnWidth(m_col, m_row);
            whole.bottom = m_grid->GetRowHeight(m_row);
        }
        if (rect)
            *rect = whole;
        if (title)
            *title = m_tipTitles[0];
        if (text)
            *text = m_tipTexts[0];
        return true;
    }
    for (size_t i = 0; i < m_tipRects.size(); ++i)
    {
        if (m_tipRects[i].Contains(point))
        {
            if (rect)
                *rect = m_tipRects[i];
            if (title)
                *title = m_tipTitles[i];
            if (text)
                *text = m_tipTexts[i];
            return true;
        }
    }
    return false;
}

bool CGridCell::AddTipZone(const Rect* rect, const QString& title, const QString& text)
{
    m_tipRects.push_back(rect ? *rect : Rect{});
    m_tipTitles.push_back(title);
    m_tipTexts.push_back(text);
    return true;
}

bool CGridCell::ClearTipZones()
{
    m_tipRects.clear();
    m_tipTitles.clear();
    m_tipTexts.clear();
    return true;
}
