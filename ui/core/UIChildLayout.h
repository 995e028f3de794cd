// A container whose content is the control tree of a separate skin file, built when the layout is
// initialised.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"

namespace Veneer {

class VENEER_API CChildLayoutUI : public CContainerUI
{
public:
    CChildLayoutUI();
    ~CChildLayoutUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;

    void Init() override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

    // The skin file (of the resource path or the resource zip) that Init builds.
    void SetXmlFile(const wchar_t* pstrFile);

protected:
    CUIString m_pstrXMLFile;
};

} // namespace Veneer
