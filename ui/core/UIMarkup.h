// The skin reader: a small in-place XML parser. The document is converted to UTF-16 once and parsed
// into a flat array of element records; names, values and element text stay inside the converted
// text, terminated there. Node views walk the result.
#pragma once
#include "UIDefs.h"

namespace Veneer {

class CUIXmlDoc;

// One element: offsets are counted in characters from the start of the text, links are indexes
// into the element array (0 = none; record 0 is a placeholder).
struct TXmlElement
{
    uint32_t iStart;  // the element name
    uint32_t iChild;  // first child
    uint32_t iNext;   // next sibling
    uint32_t iParent;
    uint32_t iData;   // element text; for an empty element where "/>" began
};

class VENEER_API CUIXmlNode
{
public:
    enum { MAX_XML_ATTRIBUTES = 64 };

    CUIXmlNode();
    CUIXmlNode(CUIXmlDoc* pOwner, unsigned iPos);

    bool IsValid() const;
    CUIXmlNode GetSibling();
    CUIXmlNode GetChild();
    bool HasChildren() const;
    const wchar_t* GetName() const;

    bool HasAttributes();
    int GetAttributeCount();
    const wchar_t* GetAttributeName(int iIndex);
    const wchar_t* GetAttributeValue(int iIndex);
    bool GetAttributeValue(const wchar_t* pstrName, wchar_t* szValue, int cchMax);

private:
    void IndexAttributes();

    unsigned m_iPos;
    int m_nAttributes;
    unsigned m_aAttributes[MAX_XML_ATTRIBUTES * 2];
    CUIXmlDoc* m_pOwner;
};

class VENEER_API CUIXmlDoc
{
    friend class CUIXmlNode;

public:
    enum { XMLFILE_ENCODING_UTF8 = 0, XMLFILE_ENCODING_UNICODE = 1, XMLFILE_ENCODING_ANSI = 2 };

    CUIXmlDoc(const wchar_t* pstrXML = NULL);
    ~CUIXmlDoc();

    bool Load(const wchar_t* pstrXML);
    bool LoadFromBytes(const void* pData, unsigned nSize, int encoding = XMLFILE_ENCODING_UTF8);
    bool LoadFromFile(const wchar_t* pstrFilename, int encoding = XMLFILE_ENCODING_UTF8);
    void Release();
    bool IsValid() const;

    CUIXmlNode GetRoot();

    void SetPreserveWhitespace(bool bPreserve = true);
    // The text of the latest failure and up to 49 characters of the text where it was found.
    const wchar_t* GetLastErrorMessage() const;
    const wchar_t* GetLastErrorLocation() const;

protected:
    bool ParseDocument();
    bool ParseElements(unsigned iParent, wchar_t*& pstrText);
    TXmlElement* ReserveElement();
    bool ParseAttributes(wchar_t*& pstrText);
    void ParseData(wchar_t*& pstrText, wchar_t*& pstrDest, wchar_t cEnd);
    void ParseMetaChar(wchar_t*& pstrText, wchar_t*& pstrDest);
    bool Failed(const wchar_t* pstrError, const wchar_t* pstrLocation = NULL);
    void ClearErrors();
    bool LoadFromZip(const wchar_t* pstrFilename, int encoding);

    wchar_t* m_pstrXML;
    TXmlElement* m_pElements;
    unsigned m_nElements;
    unsigned m_nReservedElements;
    wchar_t m_szErrorMsg[100];
    wchar_t m_szErrorXML[50];
    bool m_bPreserveWhitespace;

private:
    CUIXmlDoc(const CUIXmlDoc&) = delete;
    CUIXmlDoc& operator=(const CUIXmlDoc&) = delete;
};

} // namespace Veneer
