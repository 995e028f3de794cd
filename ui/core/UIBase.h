// The framework's own small value types: wide string with an inline buffer, rectangle, size,
// untyped pointer array, string-keyed pointer map and the text-or-resource-id argument.
#pragma once
#include "UIDefs.h"

namespace Veneer {

// Wide string. Texts of up to 62 characters live in the inline buffer, longer ones on the heap.
class VENEER_API CUIString
{
public:
    enum { MAX_LOCAL_STRING_LEN = 63 };

    CUIString();
    CUIString(wchar_t ch);
    CUIString(const CUIString& src);
    CUIString(const wchar_t* pstr, int nLength = -1);
    ~CUIString();

    void Empty();
    int GetLength() const;
    bool IsEmpty() const;
    wchar_t GetAt(int nIndex) const;
    void Append(const wchar_t* pstr);
    void Assign(const wchar_t* pstr, int cchMax = -1);
    const wchar_t* GetData() const;

    operator const wchar_t*() const;

    const CUIString& operator=(const CUIString& src);
    const CUIString& operator=(const wchar_t* pstr);
    CUIString operator+(const wchar_t* pstr) const;
    const CUIString& operator+=(const CUIString& src);
    const CUIString& operator+=(const wchar_t* pstr);
    const CUIString& operator+=(wchar_t ch);

    bool operator==(const wchar_t* str) const;
    bool operator!=(const wchar_t* str) const;

    int Compare(const wchar_t* pstr) const;
    int CompareNoCase(const wchar_t* pstr) const;
    void MakeLower();

    CUIString Left(int nLength) const;
    CUIString Mid(int iPos, int nLength = -1) const;

    int Find(wchar_t ch, int iPos = 0) const;
    int Find(const wchar_t* pstr, int iPos = 0) const;
    int ReverseFind(wchar_t ch) const;
    int Replace(const wchar_t* pstrFrom, const wchar_t* pstrTo);

    int Format(const wchar_t* pstrFormat, ...);

private:
    bool IsOwnText(const wchar_t* pstr) const;

    wchar_t* m_pstr;
    wchar_t m_szBuffer[MAX_LOCAL_STRING_LEN + 1];
};

// Laid out as RECT, so it goes wherever a RECT is expected.
class VENEER_API CUIRect : public tagRECT
{
public:
    CUIRect();
    CUIRect(const RECT& src);
    CUIRect(int iLeft, int iTop, int iRight, int iBottom);

    int GetWidth() const;
    int GetHeight() const;
    void UnionWith(const RECT& rc);
    void MoveToOrigin();
    void Offset(int cx, int cy);
};

// Laid out as SIZE.
class VENEER_API CUISize : public tagSIZE
{
public:
    CUISize();
    CUISize(const SIZE& src);
    CUISize(int cx, int cy);
};

// A text or a numeric resource id (MAKEINTRESOURCE form); does not own the text.
class VENEER_API STRINGorID
{
public:
    STRINGorID(const wchar_t* lpString) : m_lpstr(lpString) {}
    STRINGorID(UINT nID) : m_lpstr(MAKEINTRESOURCEW(nID)) {}

    const wchar_t* m_lpstr;
};

// Growable array of untyped pointers; owns its block, never the pointed-to objects.
class VENEER_API CUIPtrArray
{
public:
    CUIPtrArray(int iPreallocSize = 0);
    CUIPtrArray(const CUIPtrArray& src);
    ~CUIPtrArray();

    // Deep: the copy gets its own block (never shares the source's).
    CUIPtrArray& operator=(const CUIPtrArray& src);

    void Empty();
    void Resize(int iSize);
    bool IsEmpty() const;
    int Find(void* pData) const;
    bool Add(void* pData);
    bool InsertAt(int iIndex, void* pData);
    bool Remove(int iIndex, int iCount = 1);
    int GetSize() const;

    void* GetAt(int iIndex) const;
    void* operator[](int iIndex) const;

protected:
    bool Grow();

    void** m_ppVoid;
    int m_nCount;
    int m_nAllocated;
};

// Hash map from wide strings (copied) to untyped pointers (not owned); chained buckets. The bucket
// array is allocated by the first insertion, so a map that never holds anything costs no memory
// beyond itself (every control carries one).
class VENEER_API CUIStringPtrMap
{
public:
    CUIStringPtrMap(int nSize = 83);
    ~CUIStringPtrMap();

    // The map owns its nodes: copying would share them, so it is refused.
    CUIStringPtrMap(const CUIStringPtrMap&) = delete;
    CUIStringPtrMap& operator=(const CUIStringPtrMap&) = delete;

    void Resize(int nSize = 83);
    void RemoveAll();
    void* Find(const wchar_t* key, bool optimize = true);
    bool Insert(const wchar_t* key, void* pData);
    void* Set(const wchar_t* key, void* pData);
    bool Remove(const wchar_t* key);
    const wchar_t* GetAt(int iIndex) const;
    int GetSize() const;
    int GetBucketCount() const;
    // Spreads the nodes over nSize buckets, keeping every key and its data (the GetAt order
    // changes). For maps that nobody enumerates and that may grow large.
    void Rehash(int nSize);

    static UINT Hash(const wchar_t* key);

protected:
    // One heap block per entry, sized to its key. The key's hash is kept so that lookups compare
    // texts only on a hash match and rehashing never reads a key again.
    struct TITEM
    {
        TITEM* pPrev;
        TITEM* pNext;
        void* Data;
        UINT uHash;
        wchar_t Key[1];   // the key's characters and terminator run on past the struct
    };

    static UINT HashOf(const wchar_t* key, size_t* pLength);
    TITEM* Lookup(const wchar_t* key, UINT uHash, bool optimize);
    bool AddHead(const wchar_t* key, size_t nLength, UINT uHash, void* pData);
    void FreeAll();

    TITEM** m_aT;
    int m_nBuckets;
    int m_nCount;
};

} // namespace Veneer
