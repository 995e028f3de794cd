#include "UIMarkup.h"
#include "UIManager.h"
#include "UIZip.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace Veneer {

namespace {

const unsigned kMaxSkinFileSize = 4 * 1024 * 1024;

inline bool IsWhitespace(wchar_t ch)
{
    return ch >= 1 && ch <= 32;
}

inline void SkipWhitespace(wchar_t*& p)
{
    while (IsWhitespace(*p))
        ++p;
}

inline void SkipWhitespace(const wchar_t*& p)
{
    while (IsWhitespace(*p))
        ++p;
}

// Letters and digits by their Unicode class, "_" and ":".
inline bool IsNameChar(wchar_t ch)
{
    if (ch < 0x80)
        return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') || ch == L'_' ||
               ch == L':';
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &ch, 1, &type) && (type & (C1_ALPHA | C1_DIGIT)) != 0;
}

inline void SkipIdentifier(wchar_t*& p)
{
    while (*p != 0 && IsNameChar(*p))
        ++p;
}

} // namespace

// ---- CUIXmlNode ----

CUIXmlNode::CUIXmlNode() : m_iPos(0), m_nAttributes(0), m_pOwner(NULL)
{
}

CUIXmlNode::CUIXmlNode(CUIXmlDoc* pOwner, unsigned iPos) : m_iPos(iPos), m_nAttributes(0), m_pOwner(pOwner)
{
}

bool CUIXmlNode::IsValid() const
{
    return m_pOwner != NULL;
}

CUIXmlNode CUIXmlNode::GetSibling()
{
    if (m_pOwner == NULL)
        return CUIXmlNode();
    unsigned iPos = m_pOwner->m_pElements[m_iPos].iNext;
    if (iPos == 0)
        return CUIXmlNode();
    return CUIXmlNode(m_pOwner, iPos);
}

CUIXmlNode CUIXmlNode::GetChild()
{
    if (m_pOwner == NULL)
        return CUIXmlNode();
    unsigned iPos = m_pOwner->m_pElements[m_iPos].iChild;
    if (iPos == 0)
        return CUIXmlNode();
    return CUIXmlNode(m_pOwner, iPos);
}

bool CUIXmlNode::HasChildren() const
{
    if (m_pOwner == NULL)
        return false;
    return m_pOwner->m_pElements[m_iPos].iChild != 0;
}

const wchar_t* CUIXmlNode::GetName() const
{
    if (m_pOwner == NULL)
        return NULL;
    return m_pOwner->m_pstrXML + m_pOwner->m_pElements[m_iPos].iStart;
}

bool CUIXmlNode::HasAttributes()
{
    return GetAttributeCount() > 0;
}

int CUIXmlNode::GetAttributeCount()
{
    if (m_pOwner == NULL)
        return 0;
    if (m_nAttributes == 0)
        IndexAttributes();
    return m_nAttributes;
}

const wchar_t* CUIXmlNode::GetAttributeName(int iIndex)
{
    if (m_pOwner == NULL)
        return NULL;
    if (m_nAttributes == 0)
        IndexAttributes();
    if (iIndex < 0 || iIndex >= m_nAttributes)
        return L"";
    return m_pOwner->m_pstrXML + m_aAttributes[iIndex * 2];
}

const wchar_t* CUIXmlNode::GetAttributeValue(int iIndex)
{
    if (m_pOwner == NULL)
        return NULL;
    if (m_nAttributes == 0)
        IndexAttributes();
    if (iIndex < 0 || iIndex >= m_nAttributes)
        return L"";
    return m_pOwner->m_pstrXML + m_aAttributes[iIndex * 2 + 1];
}

bool CUIXmlNode::GetAttributeValue(const wchar_t* pstrName, wchar_t* szValue, int cchMax)
{
    if (m_pOwner == NULL || pstrName == NULL)
        return false;
    if (m_nAttributes == 0)
        IndexAttributes();
    for (int i = 0; i < m_nAttributes; ++i) {
        if (wcscmp(m_pOwner->m_pstrXML + m_aAttributes[i * 2], pstrName) == 0) {
            if (szValue != NULL && cchMax > 0)
                wcsncpy(szValue, m_pOwner->m_pstrXML + m_aAttributes[i * 2 + 1], (size_t)cchMax);
            return true;
        }
    }
    return false;
}

void CUIXmlNode::IndexAttributes()
{
    m_nAttributes = 0;
    const wchar_t* pstrXML = m_pOwner->m_pstrXML;
    const TXmlElement& el = m_pOwner->m_pElements[m_iPos];
    const wchar_t* pstr = pstrXML + el.iStart;
    const wchar_t* pstrEnd = pstrXML + el.iData;
    pstr += wcslen(pstr) + 1;
    // Attribute names and values all lie between the name's terminator and the element's data;
    // whatever is met past that ends the index.
    while (pstr < pstrEnd && m_nAttributes < MAX_XML_ATTRIBUTES) {
        SkipWhitespace(pstr);
        if (pstr >= pstrEnd)
            break;
        unsigned iName = (unsigned)(pstr - pstrXML);
        pstr += wcslen(pstr) + 1;
        if (pstr >= pstrEnd)
            break;
        SkipWhitespace(pstr);
        if (pstr >= pstrEnd || *pstr++ != L'"')
            break;
        m_aAttributes[m_nAttributes * 2] = iName;
        m_aAttributes[m_nAttributes * 2 + 1] = (unsigned)(pstr - pstrXML);
        ++m_nAttributes;
        pstr += wcslen(pstr) + 1;
    }
}

// ---- CUIXmlDoc ----

CUIXmlDoc::CUIXmlDoc(const wchar_t* pstrXML)
    : m_pstrXML(NULL), m_pElements(NULL), m_nElements(0), m_nReservedElements(0), m_bPreserveWhitespace(true)
{
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    if (pstrXML != NULL)
        Load(pstrXML);
}

CUIXmlDoc::~CUIXmlDoc()
{
    Release();
}

bool CUIXmlDoc::IsValid() const
{
    return m_pElements != NULL;
}

void CUIXmlDoc::Release()
{
    free(m_pstrXML);
    free(m_pElements);
    m_pstrXML = NULL;
    m_pElements = NULL;
    m_nElements = 0;
}

void CUIXmlDoc::SetPreserveWhitespace(bool bPreserve)
{
    m_bPreserveWhitespace = bPreserve;
}

const wchar_t* CUIXmlDoc::GetLastErrorMessage() const
{
    return m_szErrorMsg;
}

const wchar_t* CUIXmlDoc::GetLastErrorLocation() const
{
    return m_szErrorXML;
}

void CUIXmlDoc::ClearErrors()
{
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
}

bool CUIXmlDoc::Load(const wchar_t* pstrXML)
{
    Release();
    ClearErrors();
    if (pstrXML == NULL)
        pstrXML = L"";
    size_t cch = wcslen(pstrXML);
    m_pstrXML = static_cast<wchar_t*>(malloc((cch + 1) * sizeof(wchar_t)));
    if (m_pstrXML == NULL)
        return false;
    memcpy(m_pstrXML, pstrXML, (cch + 1) * sizeof(wchar_t));
    if (!ParseDocument()) {
        Release();
        return false;
    }
    return true;
}

bool CUIXmlDoc::LoadFromBytes(const void* pData, unsigned nSize, int encoding)
{
    Release();
    ClearErrors();
    const BYTE* pByte = static_cast<const BYTE*>(pData);
    if (pByte == NULL)
        nSize = 0;

    if (encoding == XMLFILE_ENCODING_UNICODE) {
        // Only with a byte-order mark; a trailing odd byte is never read.
        if (nSize < 2)
            return false;
        bool bLittle = pByte[0] == 0xFF && pByte[1] == 0xFE;
        bool bBig = pByte[0] == 0xFE && pByte[1] == 0xFF;
        if (!bLittle && !bBig)
            return false;
        unsigned nUnits = nSize / 2 - 1;
        m_pstrXML = static_cast<wchar_t*>(malloc(((size_t)nUnits + 1) * sizeof(wchar_t)));
        if (m_pstrXML == NULL)
            return false;
        memcpy(m_pstrXML, pByte + 2, (size_t)nUnits * sizeof(wchar_t));
        m_pstrXML[nUnits] = 0;
        if (bBig) {
            for (unsigned i = 0; i < nUnits; ++i)
                m_pstrXML[i] = (wchar_t)(((m_pstrXML[i] & 0xFF) << 8) | ((m_pstrXML[i] >> 8) & 0xFF));
        }
    }
    else {
        UINT codePage = CP_UTF8;
        if (encoding == XMLFILE_ENCODING_UTF8) {
            if (nSize >= 3 && pByte[0] == 0xEF && pByte[1] == 0xBB && pByte[2] == 0xBF) {
                pByte += 3;
                nSize -= 3;
            }
        }
        else {
            codePage = CP_ACP;
        }
        int cch = 0;
        if (nSize > 0 && nSize <= 0x7FFFFFFF)
            cch = MultiByteToWideChar(codePage, 0, reinterpret_cast<LPCSTR>(pByte), (int)nSize, NULL, 0);
        m_pstrXML = static_cast<wchar_t*>(malloc(((size_t)cch + 1) * sizeof(wchar_t)));
        if (m_pstrXML == NULL)
            return false;
        if (cch > 0)
            cch = MultiByteToWideChar(codePage, 0, reinterpret_cast<LPCSTR>(pByte), (int)nSize, m_pstrXML, cch);
        m_pstrXML[cch > 0 ? cch : 0] = 0;
    }

    if (!ParseDocument()) {
        Release();
        return false;
    }
    return true;
}

bool CUIXmlDoc::LoadFromFile(const wchar_t* pstrFilename, int encoding)
{
    Release();
    ClearErrors();
    if (pstrFilename == NULL)
        return Failed(L"Error opening file");
    if (!CPaintManagerUI::GetResourceZip().IsEmpty())
        return LoadFromZip(pstrFilename, encoding);

    CUIString sFile = CPaintManagerUI::GetResourcePath() + pstrFilename;
    HANDLE hFile = CreateFileW(sFile.GetData(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return Failed(L"Error opening file");
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(hFile, &size)) {
        CloseHandle(hFile);
        return Failed(L"Could not read file");
    }
    if (size.QuadPart == 0) {
        CloseHandle(hFile);
        return Failed(L"File is empty");
    }
    if (size.QuadPart > kMaxSkinFileSize) {
        CloseHandle(hFile);
        return Failed(L"File too large");
    }
    DWORD dwSize = (DWORD)size.QuadPart;
    BYTE* pBuffer = static_cast<BYTE*>(malloc(dwSize));
    if (pBuffer == NULL) {
        CloseHandle(hFile);
        return Failed(L"Could not read file");
    }
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(hFile, pBuffer, dwSize, &dwRead, NULL);
    CloseHandle(hFile);
    if (!bRead || dwRead != dwSize) {
        free(pBuffer);
        return Failed(L"Could not read file");
    }
    bool bResult = LoadFromBytes(pBuffer, dwSize, encoding);
    free(pBuffer);
    return bResult;
}

bool CUIXmlDoc::LoadFromZip(const wchar_t* pstrFilename, int encoding)
{
    HZIP hz = NULL;
    bool bOwnZip = false;
    if (CPaintManagerUI::IsResourceZipCached()) {
        hz = CPaintManagerUI::GetResourceZipHandle();
    }
    else {
        CUIString sZip = CPaintManagerUI::GetResourcePath() + CPaintManagerUI::GetResourceZip().GetData();
        hz = OpenZipHandle(sZip.GetData(), 0, ZIP_FILENAME);
        bOwnZip = true;
    }
    if (hz == NULL)
        return Failed(L"Error opening zip file");

    const wchar_t* pstrError = NULL;
    BYTE* pBuffer = NULL;
    DWORD dwSize = 0;
    TZipEntry ze;
    int i = -1;
    if (FindZipEntry(hz, pstrFilename, true, &i, &ze) != ZR_OK) {
        pstrError = L"Could not find ziped file";
    }
    else if (ze.unc_size == 0) {
        pstrError = L"File is empty";
    }
    else if (ze.unc_size > kMaxSkinFileSize) {
        pstrError = L"File too large";
    }
    else {
        dwSize = ze.unc_size;
        pBuffer = static_cast<BYTE*>(malloc(dwSize));
        ZRESULT res = pBuffer != NULL ? ExtractZipEntry(hz, i, pBuffer, dwSize, ZIP_MEMORY) : ZR_ARGS;
        if (res != ZR_OK && res != ZR_MORE)
            pstrError = L"Could not unzip file";
    }
    if (bOwnZip)
        CloseZipHandle(hz);
    if (pstrError != NULL) {
        free(pBuffer);
        return Failed(pstrError);
    }
    bool bResult = LoadFromBytes(pBuffer, dwSize, encoding);
    free(pBuffer);
    return bResult;
}

CUIXmlNode CUIXmlDoc::GetRoot()
{
    if (m_nElements < 2)
        return CUIXmlNode();
    return CUIXmlNode(this, 1);
}

bool CUIXmlDoc::Failed(const wchar_t* pstrError, const wchar_t* pstrLocation)
{
    wcsncpy(m_szErrorMsg, pstrError, 99);
    m_szErrorMsg[99] = 0;
    if (pstrLocation != NULL) {
        // wcsncpy stops at the text's terminator, so the copy never reads past the text.
        wcsncpy(m_szErrorXML, pstrLocation, 49);
        m_szErrorXML[49] = 0;
    }
    else {
        m_szErrorXML[0] = 0;
    }
    return false;
}

TXmlElement* CUIXmlDoc::ReserveElement()
{
    if (m_nElements == 0)
        m_nReservedElements = 0;
    if (m_nElements >= m_nReservedElements) {
        // 500 records first, then half as many again each time: 500, 750, 1125, ...
        unsigned nReserved = m_nReservedElements == 0 ? 500 : m_nReservedElements + m_nReservedElements / 2;
        void* p = realloc(m_pElements, (size_t)nReserved * sizeof(TXmlElement));
        if (p == NULL)
            return NULL;
        m_pElements = static_cast<TXmlElement*>(p);
        m_nReservedElements = nReserved;
    }
    return &m_pElements[m_nElements++];
}

namespace {
// Elements are parsed by recursion, one level per nesting level: a deeper document fails cleanly
// instead of overflowing the stack.
const int kMaxElementDepth = 2000;
thread_local int t_nElementDepth = 0;
} // namespace

bool CUIXmlDoc::ParseDocument()
{
    m_nElements = 0;
    TXmlElement* pPlaceholder = ReserveElement();
    if (pPlaceholder == NULL)
        return false;
    memset(pPlaceholder, 0, sizeof(*pPlaceholder));
    ClearErrors();
    wchar_t* pstrXML = m_pstrXML;
    return ParseElements(0, pstrXML);
}

bool CUIXmlDoc::ParseElements(unsigned iParent, wchar_t*& pstrText)
{
    SkipWhitespace(pstrText);
    unsigned iPrevious = 0;
    for (;;) {
        if (*pstrText == 0 && iParent <= 1)
            return true;
        SkipWhitespace(pstrText);
        if (*pstrText != L'<')
            return Failed(L"Expected start tag", pstrText);
        if (pstrText[1] == L'/')
            return true;
        *pstrText++ = 0;
        SkipWhitespace(pstrText);

        // Comments, declarations and processing instructions. An unclosed one ends at the text's end.
        if (*pstrText == L'!' || *pstrText == L'?') {
            wchar_t ch = *pstrText == L'!' ? L'-' : L'?';
            while (*pstrText != 0 && !(pstrText[0] == ch && pstrText[1] == L'>'))
                ++pstrText;
            if (*pstrText != 0)
                pstrText += 2;
            SkipWhitespace(pstrText);
            continue;
        }

        TXmlElement* pEl = ReserveElement();
        if (pEl == NULL)
            return false;
        unsigned iPos = m_nElements - 1;
        pEl->iStart = (uint32_t)(pstrText - m_pstrXML);
        pEl->iParent = iParent;
        pEl->iChild = 0;
        pEl->iNext = 0;
        pEl->iData = 0;
        if (iPrevious != 0)
            m_pElements[iPrevious].iNext = iPos;
        else if (iParent > 0)
            m_pElements[iParent].iChild = iPos;
        iPrevious = iPos;

        const wchar_t* pstrName = pstrText;
        SkipIdentifier(pstrText);
        wchar_t* pstrNameEnd = pstrText;
        if (*pstrText == 0)
            return Failed(L"Error parsing element name", pstrText);
        if (!ParseAttributes(pstrText))
            return false;
        SkipWhitespace(pstrText);

        if (pstrText[0] == L'/' && pstrText[1] == L'>') {
            m_pElements[iPos].iData = (uint32_t)(pstrText - m_pstrXML);
            *pstrText = 0;
            pstrText += 2;
        }
        else {
            if (*pstrText != L'>')
                return Failed(L"Expected start-tag closing", pstrText);
            ++pstrText;
            m_pElements[iPos].iData = (uint32_t)(pstrText - m_pstrXML);
            // The name ends here at the latest, also for an element that is never closed.
            *pstrNameEnd = 0;
            wchar_t* pstrDest = pstrText;
            ParseData(pstrText, pstrDest, L'<');
            if (*pstrText == 0) {
                *pstrDest = 0;
                if (iParent <= 1)
                    return true;
                return Failed(L"Expected end-tag start", pstrText);
            }
            if (pstrText[1] != L'/') {
                if (pstrDest < pstrText)
                    *pstrDest = 0;
                if (t_nElementDepth >= kMaxElementDepth)
                    return Failed(L"Elements nested too deep", pstrText);
                ++t_nElementDepth;
                const bool bParsed = ParseElements(iPos, pstrText);
                --t_nElementDepth;
                if (!bParsed)
                    return false;
                if (*pstrText == 0) {
                    if (iParent <= 1)
                        return true;
                    return Failed(L"Expected end-tag start", pstrText);
                }
            }
            // "</": the closing tag of this element.
            if (pstrDest < pstrText)
                *pstrDest = 0;
            *pstrText = 0;
            pstrText += 2;
            SkipWhitespace(pstrText);
            size_t cchName = pstrNameEnd - pstrName;
            if (wcsncmp(pstrText, pstrName, cchName) != 0)
                return Failed(L"Unmatched closing tag", pstrText);
            pstrText += cchName;
            SkipWhitespace(pstrText);
            if (*pstrText != L'>')
                return Failed(L"Unmatched closing tag", pstrText);
            ++pstrText;
        }
        *pstrNameEnd = 0;
        SkipWhitespace(pstrText);
    }
}

bool CUIXmlDoc::ParseAttributes(wchar_t*& pstrText)
{
    // "<Name/>" is an empty element: the "/" must survive for the caller to see "/>".
    if (*pstrText == L'>' || (pstrText[0] == L'/' && pstrText[1] == L'>'))
        return true;
    *pstrText++ = 0;
    SkipWhitespace(pstrText);
    while (*pstrText != 0 && *pstrText != L'>' && *pstrText != L'/') {
        SkipIdentifier(pstrText);
        wchar_t* pstrIdentifierEnd = pstrText;
        SkipWhitespace(pstrText);
        if (*pstrText != L'=')
            return Failed(L"Error while parsing attributes", pstrText);
        *pstrText++ = L' ';
        *pstrIdentifierEnd = 0;
        SkipWhitespace(pstrText);
        if (*pstrText != L'"')
            return Failed(L"Expected attribute value", pstrText);
        ++pstrText;
        wchar_t* pstrDest = pstrText;
        ParseData(pstrText, pstrDest, L'"');
        if (*pstrText == 0)
            return Failed(L"Error while parsing attribute string", pstrText);
        *pstrDest = 0;
        if (pstrDest != pstrText)
            *pstrText = L' ';
        ++pstrText;
        SkipWhitespace(pstrText);
    }
    return true;
}

void CUIXmlDoc::ParseData(wchar_t*& pstrText, wchar_t*& pstrDest, wchar_t cEnd)
{
    wchar_t* p = pstrText;
    wchar_t* d = pstrDest;
    while (*p != 0 && *p != cEnd) {
        if (*p == L'&') {
            ParseMetaChar(p, d);
        }
        else if (*p == L' ') {
            *d++ = *p++;
            if (!m_bPreserveWhitespace)
                SkipWhitespace(p);
        }
        else {
            *d++ = *p++;
        }
    }
    // Entities leave a gap between the copied text and the read position: blank it.
    for (wchar_t* q = d; q < p; ++q)
        *q = L' ';
    pstrText = p;
    pstrDest = d;
}

void CUIXmlDoc::ParseMetaChar(wchar_t*& pstrText, wchar_t*& pstrDest)
{
    // Each test stops at the first differing character, so a cut-off entity is never read past.
    const wchar_t* p = pstrText;
    if (p[1] == L'a' && p[2] == L'm' && p[3] == L'p' && p[4] == L';') {
        *pstrDest++ = L'&';
        pstrText += 5;
    }
    else if (p[1] == L'l' && p[2] == L't' && p[3] == L';') {
        *pstrDest++ = L'<';
        pstrText += 4;
    }
    else if (p[1] == L'g' && p[2] == L't' && p[3] == L';') {
        *pstrDest++ = L'>';
        pstrText += 4;
    }
    else if (p[1] == L'q' && p[2] == L'u' && p[3] == L'o' && p[4] == L't' && p[5] == L';') {
        *pstrDest++ = L'"';
        pstrText += 6;
    }
    else if (p[1] == L'a' && p[2] == L'p' && p[3] == L'o' && p[4] == L's' && p[5] == L';') {
        *pstrDest++ = L'\'';
        pstrText += 6;
    }
    else {
        *pstrDest++ = L'&';
        pstrText += 1;
    }
}

} // namespace Veneer
