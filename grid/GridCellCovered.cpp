#include "grid/GridCellCovered.h"

#include "grid/GridDefaultCell.h"

using namespace Platform;

CGridCellCovered::CGridCellCovered() = default;

CGridCellCovered::~CGridCellCovered() = default;

std::unique_ptr<CGridCellBase> CGridCellCovered::CreateObject()
{
    return std::make_unique<CGridCellCovered>();
}

unsigned CGridCellCovered::GetFormat() const
{
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFormat() : 0;
}

ColorRef CGridCellCovered::GetTextClr() const
{
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetTextClr() : 0;
}

const LogFont* CGridCellCovered::GetFont() const
{
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFont() : nullptr;
}

const Font* CGridCellCovered::GetFontObject() const
{
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetFontObject() : nullptr;
}

int CGridCellCovered::GetMargin() const
{
    const CGridDefaultCell* def = GetDefaultCell();
    return def ? def->GetMargin() : 0;
}
