// A container that arranges its children in a grid of equal cells, row by row.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"

namespace Veneer {

class VENEER_API CTileLayoutUI : public CContainerUI
{
public:
    CTileLayoutUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;

    void SetItemSize(SIZE szItem);
    // 0: as many columns as fit; otherwise exactly this many. Negative values are ignored.
    void SetColumns(int nCols);
    // Gap between rows.
    void SetChildVPadding(int iPadding);

    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

protected:
    SIZE m_szItem;
    int m_nColumns;
    int m_nRows;
    int m_nColumnsFixed;
    int m_iChildVPadding;
};

} // namespace Veneer
