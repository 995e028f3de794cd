// Progress bar: its fore image fills the part of the control that the value covers.
#pragma once
#include "UIDefs.h"
#include "UILabel.h"

namespace Veneer {

class VENEER_API CProgressUI : public CLabelUI
{
public:
    CProgressUI();
    ~CProgressUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void PaintStatusImage(HDC hDC) override;

    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    int GetMinValue() const;
    void SetMinValue(int nMin);
    int GetMaxValue() const;
    void SetMaxValue(int nMax);
    int GetValue() const;
    void SetValue(int nValue);
    void SetForeImage(const wchar_t* pStrImage);

protected:
    // A maximum not above the minimum becomes minimum + 1; the value is brought into range.
    void RepairRange();

    bool m_bHorizontal;
    int m_nMax;
    int m_nMin;
    int m_nValue;
    TImageDesc m_diForeImage;
};

} // namespace Veneer
