// Running text: a label that wraps by default and, with marked-up text ("showhtml"), makes up to
// eight of its links clickable. Link rectangles and targets are those of the last paint; a click
// on one sends "link" with its index, and the target is read back with GetLinkContent.
#pragma once
#include "UIDefs.h"
#include "UILabel.h"

namespace Veneer {

class VENEER_API CTextUI : public CLabelUI
{
public:
    enum { MAX_LINK = 8 };

    CTextUI();
    ~CTextUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    void DoEvent(tagTEventUI& event) override;
    void PaintText(HDC hDC) override;

    // Target of link iIndex from the last paint, or null when there is no such link.
    const CUIString* GetLinkContent(int iIndex) const;

protected:
    // Index of the first painted link that holds the point, or -1.
    int LinkAt(POINT pt) const;

    int m_nLinks;
    RECT m_rcLinks[MAX_LINK];
    CUIString m_sLinks[MAX_LINK];
    int m_nHoverLink;
};

} // namespace Veneer
