// Animated GIF (or any picture GDI+ decodes) stretched over the control. The file comes from the
// resource folder, the resource zip or a plain path; each frame shows for its own delay on control
// timer 100. The control owns the decoded image and the frame-delay table.
#pragma once
#include "UIDefs.h"
#include "UIControl.h"
#include <objidl.h>

namespace Gdiplus {
class Image;
struct PropertyItem;
} // namespace Gdiplus

namespace Veneer {

// Control timer of the frames.
enum { GIFANIM_TIMERID = 100 };

class VENEER_API CGifAnimUI : public CControlUI
{
public:
    CGifAnimUI();
    ~CGifAnimUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetVisible(bool bVisible = true) override;
    void DoInit() override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

    void SetBkImage(const wchar_t* pStrImage);
    const wchar_t* GetBkImage() const;
    void SetAutoPlay(bool bIsAuto = true);
    bool IsAutoPlay() const;
    void SetAutoSize(bool bIsAuto = true);
    bool IsAutoSize() const;
    void StartAnimation();
    void StopAnimation();

protected:
    void LoadFrames();
    void FreeFrames();
    void DrawFrame(HDC hDC);
    void OnTimer(UINT_PTR idEvent);
    // Delay of the current frame in milliseconds; entries outside the table or 0 give 100.
    UINT CurrentFrameDelay() const;
    // The whole file from the first source that has it; false when none has.
    bool ReadImageBytes(const wchar_t* pstrName, BYTE*& pData, DWORD& dwSize);
    // Frees pData; the stream under a good image is kept in m_pStream.
    Gdiplus::Image* CreateImageFromBytes(BYTE* pData, DWORD dwSize);

    Gdiplus::Image* m_pGifImage;
    UINT m_nFrameCount;
    UINT m_nFramePosition;
    Gdiplus::PropertyItem* m_pPropertyItem;
    CUIString m_sBkImage;
    bool m_bIsAutoPlay;
    bool m_bIsAutoSize;
    bool m_bIsPlaying;
    IStream* m_pStream;   // the memory stream the image reads its frames from
};

} // namespace Veneer
