#include "grid/GridDefaultCell.h"

#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"

using namespace Platform;

CGridDefaultCell::CGridDefaultCell()
{
    SetFormat(DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextClr(0xFFFFFF);
    SetBackClr(0xFFFFFF);
    const LogFont font = GetMessageFont();
    CGridDefaultCell::SetFont(&font);
}

CGridDefaultCell::~CGridDefaultCell() = default;

void CGridDefaultCell::SetFont(const LogFont* font)
{
    if (!font)
        return;
    CGridCell::SetFont(font);
    if (!CanMeasureText())
    {
        SetMargin(3);
        m_width = 40;
        m_height = 16;
        return;
    }
    MeasureCanvas dc;
    dc.SelectFont(*OwnFontObject());
    SetMargin(dc.GetTextExtent(u" ").cx);
    const Size size = dc.GetTextExtent(u" XXXXXXXXXXXX ");
    m_width = size.cx;
    m_height = size.cy * 3 / 2;
}

const LogFont* CGridDefaultCell::GetFont() const
{
    return OwnFont();
}

const Font* CGridDefaultCell::GetFontObject() const
{
    return OwnFontObject();
}
