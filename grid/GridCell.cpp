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
    if (m_extras)
        m_extras->editWnd = nullptr;
    m_format = -1;
    m_textColor = 0;
    m_backColor = 0xFFFFFF;
    m_printTextColor = 0;
    m_printBackColor = 0xFFFFFF;
    m_margin = -1;
    m_highlightSelected = true;
    m_showFocusFrame = true;
    if (m_extras)
    {
        m_extras->font.reset();
        m_extras->fontObject.reset();
    }
}

CGridCell::SExtras& CGridCell::Extras()
{
    if (!m_extras)
        m_extras = std::make_unique<SExtras>();
    return *m_extras;
}

void CGridCell::SetCopyText(const QString& text)
{
    if (m_extras || !text.isEmpty())
        Extras().copyText = text;
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
        Extras().font = *font;
        Extras().fontObject.emplace(*font);
    }
    else if (m_extras)
    {
        m_extras->font.reset();
        m_extras->fontObject.reset();
    }
    InvalidateTextHeight();
}

QString CGridCell::GetCopyText() const
{
    return !m_extras || m_extras->copyText.isEmpty() ? GetText() : m_extras->copyText;
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
    if (const LogFont* own = OwnFont())
        return own;
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFont() : nullptr;
}

const Font* CGridCell::GetFontObject() const
{
    // A cell with its own font keeps its font object; building one per call would cost a
    // font resolution on every paint of the cell.
    if (const Font* own = OwnFontObject())
        return own;
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
    if (m_editing && GetEditWnd())
    {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(key)));
        QCoreApplication::sendEvent(GetEditWnd(), &press);
        return true;
    }
    if (!m_grid)
        return false;
    const unsigned format = GetFormat();
    const unsigned style = (format & DT_RIGHT) ? ES_RIGHT : (format & DT_CENTER) ? ES_CENTER : ES_LEFT;
    m_editing = true;
    // The editor deletes itself when it closes; the grid tells the cell with OnEndEdit.
    Extras().editWnd = new CInPlaceEdit(m_grid, rect, style, editorId, row, col, GetText(), key);
    return true;
}

void CGridCell::SetEditWnd(QWidget* editor)
{
    if (m_extras || editor)
        Extras().editWnd = editor;
    m_editing = editor != nullptr;
}

void CGridCell::EndEdit()
{
    if (auto* editor = qobject_cast<CInPlaceEdit*>(GetEditWnd()))
        editor->EndEdit();
}

void CGridCell::OnEndEdit()
{
    m_editing = false;
    if (m_extras)
        m_extras->editWnd = nullptr;
}

bool CGridCell::GetTipZoneAt(Point point, Rect* rect, QString* title, QString* text) const
{
    if (!m_extras)
        return false;
    const std::vector<Rect>& rects = m_extras->tipRects;
    const std::vector<QString>& titles = m_extras->tipTitles;
    const std::vector<QString>& texts = m_extras->tipTexts;
    if (rects.size() == 1 && rects[0].IsEmpty())
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
            *title = titles[0];
        if (text)
            *text = texts[0];
        return true;
    }
    for (size_t i = 0; i < rects.size(); ++i)
    {
        if (rects[i].Contains(point))
        {
            if (rect)
                *rect = rects[i];
            if (title)
                *title = titles[i];
            if (text)
                *text = texts[i];
            return true;
        }
    }
    return false;
}

bool CGridCell::AddTipZone(const Rect* rect, const QString& title, const QString& text)
{
    SExtras& extras = Extras();
    extras.tipRects.push_back(rect ? *rect : Rect{});
    extras.tipTitles.push_back(title);
    extras.tipTexts.push_back(text);
    return true;
}

bool CGridCell::ClearTipZones()
{
    if (m_extras)
    {
        m_extras->tipRects.clear();
        m_extras->tipTitles.clear();
        m_extras->tipTexts.clear();
    }
    return true;
}
