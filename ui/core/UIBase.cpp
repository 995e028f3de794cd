#include "UIBase.h"
#include <shlwapi.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace Veneer {

/////////////////////////////////////////////////////////////////////////////////////////////////
// CUIString

CUIString::CUIString() : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = L'\0';
}

CUIString::CUIString(wchar_t ch) : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = ch;
    m_szBuffer[1] = L'\0';
}

CUIString::CUIString(const wchar_t* pstr, int nLength) : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = L'\0';
    Assign(pstr, nLength);
}

CUIString::CUIString(const CUIString& src) : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = L'\0';
    Assign(src.m_pstr);
}

CUIString::~CUIString()
{
    if (m_pstr != m_szBuffer)
        free(m_pstr);
}

bool CUIString::IsOwnText(const wchar_t* pstr) const
{
    // A pointer anywhere into the current text, terminator included.
    const wchar_t* begin = m_pstr;
    const wchar_t* end = m_pstr + wcslen(m_pstr);
    return pstr >= begin && pstr <= end;
}

int CUIString::GetLength() const
{
    return (int)wcslen(m_pstr);
}

bool CUIString::IsEmpty() const
{
    return m_pstr[0] == L'\0';
}

wchar_t CUIString::GetAt(int nIndex) const
{
    return m_pstr[nIndex];
}

const wchar_t* CUIString::GetData() const
{
    return m_pstr;
}

CUIString::operator const wchar_t*() const
{
    return m_pstr;
}

void CUIString::Empty()
{
    if (m_pstr != m_szBuffer)
        free(m_pstr);
    m_pstr = m_szBuffer;
    m_szBuffer[0] = L'\0';
}

void CUIString::Assign(const wchar_t* pstr, int cchMax)
{
    if (pstr == NULL)
        pstr = L"";
    if (cchMax < 0)
        cchMax = (int)wcslen(pstr);
    if (IsOwnText(pstr)) {
        // The source would be moved or freed under us: copy it out first.
        CUIString tmp(pstr, (int)wcsnlen(pstr, (size_t)cchMax));
        Assign(tmp.m_pstr, cchMax);
        return;
    }
    if (cchMax >= MAX_LOCAL_STRING_LEN) {
        if (m_pstr == m_szBuffer || cchMax > GetLength()) {
            wchar_t* block = (wchar_t*)realloc(m_pstr == m_szBuffer ? NULL : m_pstr,
                                               ((size_t)cchMax + 1) * sizeof(wchar_t));
            if (block == NULL)
                return;
            m_pstr = block;
        }
    } else if (m_pstr != m_szBuffer) {
        free(m_pstr);
        m_pstr = m_szBuffer;
    }
    wcsncpy(m_pstr, pstr, (size_t)cchMax);
    m_pstr[cchMax] = L'\0';
}

void CUIString::Append(const wchar_t* pstr)
{
    if (pstr == NULL)
        return;
    if (IsOwnText(pstr)) {
        CUIString tmp(pstr);
        Append(tmp.m_pstr);
        return;
    }
    int nOld = GetLength();
    int nNewLength = nOld + (int)wcslen(pstr);
    if (nNewLength >= MAX_LOCAL_STRING_LEN) {
        if (m_pstr == m_szBuffer) {
            wchar_t* block = (wchar_t*)malloc(((size_t)nNewLength + 1) * sizeof(wchar_t));
            if (block == NULL)
                return;
            wcscpy(block, m_szBuffer);
            m_pstr = block;
        } else {
            wchar_t* block = (wchar_t*)realloc(m_pstr, ((size_t)nNewLength + 1) * sizeof(wchar_t));
            if (block == NULL)
                return;
            m_pstr = block;
        }
    }
    wcscpy(m_pstr + nOld, pstr);
}

const CUIString& CUIString::operator=(const CUIString& src)
{
    Assign(src.m_pstr);
    return *this;
}

const CUIString& CUIString::operator=(const wchar_t* pstr)
{
    Assign(pstr);
    return *this;
}

CUIString CUIString::operator+(const wchar_t* pstr) const
{
    CUIString sTemp = *this;
    sTemp.Append(pstr);
    return sTemp;
}

const CUIString& CUIString::operator+=(const CUIString& src)
{
    Append(src.m_pstr);
    return *this;
}

const CUIString& CUIString::operator+=(const wchar_t* pstr)
{
    Append(pstr);
    return *this;
}

const CUIString& CUIString::operator+=(wchar_t ch)
{
    wchar_t str[] = {ch, L'\0'};
    Append(str);
    return *this;
}

bool CUIString::operator==(const wchar_t* str) const
{
    return Compare(str) == 0;
}

bool CUIString::operator!=(const wchar_t* str) const
{
    return Compare(str) != 0;
}

int CUIString::Compare(const wchar_t* pstr) const
{
    return wcscmp(m_pstr, pstr ? pstr : L"");
}

int CUIString::CompareNoCase(const wchar_t* pstr) const
{
    return _wcsicmp(m_pstr, pstr ? pstr : L"");
}

void CUIString::MakeLower()
{
    for (wchar_t* p = m_pstr; *p; ++p) {
        if (*p >= L'A' && *p <= L'Z')
            *p = (wchar_t)(*p + (L'a' - L'A'));
    }
}

CUIString CUIString::Left(int nLength) const
{
    if (nLength < 0)
        nLength = 0;
    int len = GetLength();
    if (nLength > len)
        nLength = len;
    return CUIString(m_pstr, nLength);
}

CUIString CUIString::Mid(int iPos, int nLength) const
{
    int len = GetLength();
    // An out-of-range start would read outside the text: clamp it.
    if (iPos < 0)
        iPos = 0;
    if (iPos > len)
        iPos = len;
    if (nLength < 0 || iPos + nLength > len)
        nLength = len - iPos;
    if (nLength <= 0)
        return CUIString();
    return CUIString(m_pstr + iPos, nLength);
}

int CUIString::Find(wchar_t ch, int iPos) const
{
    if (iPos != 0 && (iPos < 0 || iPos >= GetLength()))
        return -1;
    const wchar_t* p = wcschr(m_pstr + iPos, ch);
    if (p == NULL)
        return -1;
    return (int)(p - m_pstr);
}

int CUIString::Find(const wchar_t* pstrSub, int iPos) const
{
    if (pstrSub == NULL)
        return -1;
    if (iPos != 0 && (iPos < 0 || iPos > GetLength()))
        return -1;
    const wchar_t* p = wcsstr(m_pstr + iPos, pstrSub);
    if (p == NULL)
        return -1;
    return (int)(p - m_pstr);
}

int CUIString::ReverseFind(wchar_t ch) const
{
    const wchar_t* p = wcsrchr(m_pstr, ch);
    if (p == NULL)
        return -1;
    return (int)(p - m_pstr);
}

int CUIString::Replace(const wchar_t* pstrFrom, const wchar_t* pstrTo)
{
    // An empty search text would match everywhere forever.
    if (pstrFrom == NULL || pstrFrom[0] == L'\0')
        return 0;
    // Own copies: the arguments may point into this text, which is rebuilt below.
    CUIString sFrom(pstrFrom);
    CUIString sTo(pstrTo);
    int cchFrom = sFrom.GetLength();
    int cchTo = sTo.GetLength();
    int nCount = 0;
    int iPos = Find(sFrom.m_pstr);
    if (iPos < 0)
        return 0;
    while (iPos >= 0) {
        CUIString sTemp = Left(iPos);
        sTemp.Append(sTo.m_pstr);
        sTemp.Append(Mid(iPos + cchFrom).m_pstr);
        Assign(sTemp.m_pstr);
        iPos = Find(sFrom.m_pstr, iPos + cchTo);
        nCount++;
    }
    return nCount;
}

int CUIString::Format(const wchar_t* pstrFormat, ...)
{
    // The format may be this very string: keep a copy of it while the result is assigned.
    CUIString sFormat(pstrFormat);
    wchar_t szBuffer[64] = {0};
    va_list argList;
    va_start(argList, pstrFormat);
    // Bounded: a longer result is cut at 63 characters.
    wvnsprintfW(szBuffer, (int)(sizeof(szBuffer) / sizeof(szBuffer[0])), sFormat.m_pstr, argList);
    va_end(argList);
    szBuffer[63] = L'\0';
    Assign(szBuffer);
    return GetLength();
}

/////////////////////////////////////////////////////////////////////////////////////////////////
// CUIRect

CUIRect::CUIRect()
{
    left = top = right = bottom = 0;
}

CUIRect::CUIRect(const RECT& src)
{
    left = src.left;
    top = src.top;
    right = src.right;
    bottom = src.bottom;
}

CUIRect::CUIRect(int iLeft, int iTop, int iRight, int iBottom)
{
    left = iLeft;
    top = iTop;
    right = iRight;
    bottom = iBottom;
}

int CUIRect::GetWidth() const
{
    return right - left;
}

int CUIRect::GetHeight() const
{
    return bottom - top;
}

void CUIRect::UnionWith(const RECT& rc)
{
    if (rc.left < left) left = rc.left;
    if (rc.top < top) top = rc.top;
    if (rc.right > right) right = rc.right;
    if (rc.bottom > bottom) bottom = rc.bottom;
}

void CUIRect::MoveToOrigin()
{
    ::OffsetRect(this, -left, -top);
}

void CUIRect::Offset(int cx, int cy)
{
    ::OffsetRect(this, cx, cy);
}

/////////////////////////////////////////////////////////////////////////////////////////////////
// CUISize

CUISize::CUISize()
{
    cx = cy = 0;
}

CUISize::CUISize(const SIZE& src)
{
    cx = src.cx;
    cy = src.cy;
}

CUISize::CUISize(int _cx, int _cy)
{
    cx = _cx;
    cy = _cy;
}

/////////////////////////////////////////////////////////////////////////////////////////////////
// CUIPtrArray

CUIPtrArray::CUIPtrArray(int iPreallocSize) : m_ppVoid(NULL), m_nCount(0), m_nAllocated(0)
{
    if (iPreallocSize >= 1) {
        m_ppVoid = (void**)malloc((size_t)iPreallocSize * sizeof(void*));
        if (m_ppVoid != NULL)
            m_nAllocated = iPreallocSize;
    }
}

CUIPtrArray::CUIPtrArray(const CUIPtrArray& src) : m_ppVoid(NULL), m_nCount(0), m_nAllocated(0)
{
    for (int i = 0; i < src.GetSize(); i++)
        Add(src.GetAt(i));
}

CUIPtrArray& CUIPtrArray::operator=(const CUIPtrArray& src)
{
    if (this == &src)
        return *this;
    // Reuse the block; the items are only pointers.
    m_nCount = 0;
    for (int i = 0; i < src.GetSize(); i++)
        Add(src.GetAt(i));
    return *this;
}

CUIPtrArray::~CUIPtrArray()
{
    if (m_ppVoid != NULL)
        free(m_ppVoid);
}

void CUIPtrArray::Empty()
{
    if (m_ppVoid != NULL)
        free(m_ppVoid);
    m_ppVoid = NULL;
    m_nCount = m_nAllocated = 0;
}

void CUIPtrArray::Resize(int iSize)
{
    Empty();
    if (iSize <= 0)
        return;
    m_ppVoid = (void**)calloc((size_t)iSize, sizeof(void*));
    if (m_ppVoid == NULL)
        return;
    m_nAllocated = iSize;
    m_nCount = iSize;
}

bool CUIPtrArray::IsEmpty() const
{
    return m_nCount == 0;
}

int CUIPtrArray::GetSize() const
{
    return m_nCount;
}

// Makes room for one more item when the count has reached the capacity.
bool CUIPtrArray::Grow()
{
    if (m_nCount + 1 < m_nAllocated)
        return true;
    int nAllocated;
    if (m_nAllocated <= 0)
        nAllocated = 11;
    else if (m_nAllocated > 0x3FFFFFFF || (size_t)m_nAllocated * 2 > ((size_t)-1) / sizeof(void*))
        return false;
    else
        nAllocated = m_nAllocated * 2;
    void** ppVoid = (void**)realloc(m_ppVoid, (size_t)nAllocated * sizeof(void*));
    if (ppVoid == NULL)
        return false;
    m_ppVoid = ppVoid;
    m_nAllocated = nAllocated;
    return true;
}

bool CUIPtrArray::Add(void* pData)
{
    if (!Grow())
        return false;
    m_ppVoid[m_nCount++] = pData;
    return true;
}

bool CUIPtrArray::InsertAt(int iIndex, void* pData)
{
    if (iIndex == m_nCount)
        return Add(pData);
    if (iIndex < 0 || iIndex > m_nCount)
        return false;
    if (!Grow())
        return false;
    memmove(&m_ppVoid[iIndex + 1], &m_ppVoid[iIndex], (size_t)(m_nCount - iIndex) * sizeof(void*));
    m_ppVoid[iIndex] = pData;
    m_nCount++;
    return true;
}

bool CUIPtrArray::Remove(int iIndex, int iCount)
{
    if (iIndex < 0 || iCount <= 0 || iIndex > m_nCount - iCount)
        return false;
    if (iIndex + iCount < m_nCount)
        memmove(&m_ppVoid[iIndex], &m_ppVoid[iIndex + iCount],
                (size_t)(m_nCount - iIndex - iCount) * sizeof(void*));
    m_nCount -= iCount;
    return true;
}

int CUIPtrArray::Find(void* pData) const
{
    for (int i = 0; i < m_nCount; i++) {
        if (m_ppVoid[i] == pData)
            return i;
    }
    return -1;
}

void* CUIPtrArray::GetAt(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return NULL;
    return m_ppVoid[iIndex];
}

void* CUIPtrArray::operator[](int iIndex) const
{
    return m_ppVoid[iIndex];
}

/////////////////////////////////////////////////////////////////////////////////////////////////
// CUIStringPtrMap

CUIStringPtrMap::CUIStringPtrMap(int nSize) : m_aT(NULL), m_nBuckets(0), m_nCount(0)
{
    if (nSize < 16)
        nSize = 16;
    m_nBuckets = nSize;
}

CUIStringPtrMap::~CUIStringPtrMap()
{
    FreeAll();
}

void CUIStringPtrMap::FreeAll()
{
    if (m_aT != NULL) {
        for (int i = 0; i < m_nBuckets; i++) {
            TITEM* pItem = m_aT[i];
            while (pItem != NULL) {
                TITEM* pKill = pItem;
                pItem = pItem->pNext;
                ::operator delete(pKill);
            }
        }
        delete[] m_aT;
        m_aT = NULL;
    }
    m_nCount = 0;
}

void CUIStringPtrMap::Resize(int nSize)
{
    FreeAll();
    if (nSize < 0)
        nSize = 0;
    // 0 buckets refuse every insertion; otherwise the array comes with the first one.
    m_nBuckets = nSize;
    m_nCount = 0;
}

void CUIStringPtrMap::RemoveAll()
{
    Resize(m_nBuckets);
}

UINT CUIStringPtrMap::Hash(const wchar_t* key)
{
    if (key == NULL)
        return 0;
    return HashOf(key, NULL);
}

UINT CUIStringPtrMap::HashOf(const wchar_t* key, size_t* pLength)
{
    UINT h = 0;
    size_t n = wcslen(key);
    if (pLength != NULL)
        *pLength = n;
    while (n > 0)
        h = h * 33u + (UINT)(unsigned short)key[--n];
    return h;
}

CUIStringPtrMap::TITEM* CUIStringPtrMap::Lookup(const wchar_t* key, UINT uHash, bool optimize)
{
    UINT slot = uHash % (UINT)m_nBuckets;
    for (TITEM* pItem = m_aT[slot]; pItem != NULL; pItem = pItem->pNext) {
        if (pItem->uHash != uHash || wcscmp(pItem->Key, key) != 0)
            continue;
        if (optimize && pItem != m_aT[slot]) {
            // Move to the front of the chain: repeated lookups of one key stay quick.
            pItem->pPrev->pNext = pItem->pNext;
            if (pItem->pNext != NULL)
                pItem->pNext->pPrev = pItem->pPrev;
            pItem->pPrev = NULL;
            pItem->pNext = m_aT[slot];
            m_aT[slot]->pPrev = pItem;
            m_aT[slot] = pItem;
        }
        return pItem;
    }
    return NULL;
}

bool CUIStringPtrMap::AddHead(const wchar_t* key, size_t nLength, UINT uHash, void* pData)
{
    if (m_aT == NULL)
        m_aT = new TITEM*[m_nBuckets]();
    TITEM* pItem = static_cast<TITEM*>(::operator new(offsetof(TITEM, Key) + (nLength + 1) * sizeof(wchar_t)));
    memcpy(pItem->Key, key, (nLength + 1) * sizeof(wchar_t));
    pItem->uHash = uHash;
    pItem->Data = pData;
    UINT slot = uHash % (UINT)m_nBuckets;
    pItem->pPrev = NULL;
    pItem->pNext = m_aT[slot];
    if (pItem->pNext != NULL)
        pItem->pNext->pPrev = pItem;
    m_aT[slot] = pItem;
    m_nCount++;
    return true;
}

void* CUIStringPtrMap::Find(const wchar_t* key, bool optimize)
{
    if (m_nBuckets == 0 || m_aT == NULL || m_nCount == 0 || key == NULL)
        return NULL;
    TITEM* pItem = Lookup(key, HashOf(key, NULL), optimize);
    return pItem != NULL ? pItem->Data : NULL;
}

bool CUIStringPtrMap::Insert(const wchar_t* key, void* pData)
{
    if (m_nBuckets == 0 || key == NULL)
        return false;
    size_t nLength = 0;
    UINT uHash = HashOf(key, &nLength);
    if (m_aT != NULL && m_nCount > 0) {
        // Only an entry with data blocks the insertion (a null entry looks missing); the lookup
        // brings it to the front either way.
        TITEM* pItem = Lookup(key, uHash, true);
        if (pItem != NULL && pItem->Data != NULL)
            return false;
    }
    return AddHead(key, nLength, uHash, pData);
}

void* CUIStringPtrMap::Set(const wchar_t* key, void* pData)
{
    if (m_nBuckets == 0 || key == NULL)
        return pData;
    size_t nLength = 0;
    UINT uHash = HashOf(key, &nLength);
    if (m_aT != NULL && m_nCount > 0) {
        TITEM* pItem = Lookup(key, uHash, false);
        if (pItem != NULL) {
            void* pOldData = pItem->Data;
            pItem->Data = pData;
            return pOldData;
        }
    }
    AddHead(key, nLength, uHash, pData);
    return NULL;
}

bool CUIStringPtrMap::Remove(const wchar_t* key)
{
    if (m_nBuckets == 0 || m_aT == NULL || m_nCount == 0 || key == NULL)
        return false;
    UINT uHash = HashOf(key, NULL);
    UINT slot = uHash % (UINT)m_nBuckets;
    for (TITEM* pItem = m_aT[slot]; pItem != NULL; pItem = pItem->pNext) {
        if (pItem->uHash != uHash || wcscmp(pItem->Key, key) != 0)
            continue;
        if (pItem->pPrev != NULL)
            pItem->pPrev->pNext = pItem->pNext;
        else
            m_aT[slot] = pItem->pNext;
        if (pItem->pNext != NULL)
            pItem->pNext->pPrev = pItem->pPrev;
        ::operator delete(pItem);
        m_nCount--;
        return true;
    }
    return false;
}

const wchar_t* CUIStringPtrMap::GetAt(int iIndex) const
{
    if (m_nBuckets == 0 || m_aT == NULL || m_nCount == 0 || iIndex < 0)
        return NULL;
    int pos = 0;
    for (int i = m_nBuckets - 1; i >= 0; i--) {
        for (TITEM* pItem = m_aT[i]; pItem != NULL; pItem = pItem->pNext) {
            if (pos++ == iIndex)
                return pItem->Key;
        }
    }
    return NULL;
}

int CUIStringPtrMap::GetSize() const
{
    return m_nCount;
}

int CUIStringPtrMap::GetBucketCount() const
{
    return m_nBuckets;
}

void CUIStringPtrMap::Rehash(int nSize)
{
    if (nSize < 16)
        nSize = 16;
    if (m_nBuckets == 0 || nSize == m_nBuckets)
        return;
    if (m_aT == NULL) {
        // Nothing stored yet: the first insertion allocates the new count.
        m_nBuckets = nSize;
        return;
    }
    TITEM** aNew = new TITEM*[nSize]();
    for (int i = m_nBuckets - 1; i >= 0; i--) {
        TITEM* pItem = m_aT[i];
        while (pItem != NULL) {
            TITEM* pNext = pItem->pNext;
            UINT slot = pItem->uHash % (UINT)nSize;
            pItem->pPrev = NULL;
            pItem->pNext = aNew[slot];
            if (aNew[slot] != NULL)
                aNew[slot]->pPrev = pItem;
            aNew[slot] = pItem;
            pItem = pNext;
        }
    }
    delete[] m_aT;
    m_aT = aNew;
    m_nBuckets = nSize;
}

} // namespace Veneer
