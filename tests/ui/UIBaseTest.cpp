#include <gtest/gtest.h>
#include "UIBase.h"
#include <string>
#include <vector>

using namespace Veneer;

namespace {
std::wstring Rep(wchar_t ch, int n) { return std::wstring((size_t)n, ch); }
bool IsInline(const CUIString& s)
{
    const char* obj = reinterpret_cast<const char*>(&s);
    const char* p = reinterpret_cast<const char*>(s.GetData());
    return p >= obj && p < obj + sizeof(CUIString);
}
} // namespace

TEST(UIString, InlineUpTo62CharactersHeapFrom63)
{
    CUIString s(Rep(L'a', 62).c_str());
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(62, s.GetLength());
    s += L'b';
    EXPECT_FALSE(IsInline(s));
    EXPECT_EQ(63, s.GetLength());
    EXPECT_EQ(L'b', s.GetAt(62));
    s = L"0123456789";
    EXPECT_TRUE(IsInline(s));
    EXPECT_STREQ(L"0123456789", s.GetData());

    CUIString big(Rep(L'x', 63).c_str());
    EXPECT_FALSE(IsInline(big));
    CUIString copy(big);
    EXPECT_NE(copy.GetData(), big.GetData());
    EXPECT_STREQ(big, copy);
}

TEST(UIString, ConstructorsAndAssign)
{
    EXPECT_STREQ(L"", CUIString().GetData());
    EXPECT_STREQ(L"Z", CUIString(L'Z').GetData());
    EXPECT_STREQ(L"abc", CUIString(L"abcdef", 3).GetData());
    EXPECT_STREQ(L"abcdef", CUIString(L"abcdef", -1).GetData());
    CUIString s(L"xyz");
    s.Assign(NULL);
    EXPECT_TRUE(s.IsEmpty());
    s.Assign(L"hello world", 5);
    EXPECT_STREQ(L"hello", s.GetData());
    s = (const wchar_t*)NULL;
    EXPECT_TRUE(s.IsEmpty());
    s += (const wchar_t*)NULL;
    EXPECT_TRUE(s.IsEmpty());
    // A heap text shrunk in place and grown again keeps its content right.
    std::wstring longText = Rep(L'q', 100);
    s = longText.c_str();
    s.Assign(longText.c_str(), 70);
    EXPECT_EQ(70, s.GetLength());
    s.Assign(Rep(L'r', 200).c_str());
    EXPECT_EQ(200, s.GetLength());
    s.Empty();
    EXPECT_TRUE(IsInline(s));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(UIString, OwnTextAsSourceOfAssignAndAppend)
{
    struct Case { std::wstring text; };
    for (int len : {3, 31, 32, 40, 62, 63, 100}) {
        std::wstring t = Rep(L'k', len - 1) + L"!";
        CUIString s(t.c_str());
        s += s;
        EXPECT_EQ(t + t, std::wstring(s.GetData())) << len;
        CUIString a(t.c_str());
        a.Append(a.GetData() + 1);
        EXPECT_EQ(t + t.substr(1), std::wstring(a.GetData())) << len;
        CUIString b(t.c_str());
        b.Assign(b, 10);
        EXPECT_EQ(t.substr(0, 10), std::wstring(b.GetData())) << len;
        CUIString c(t.c_str());
        c.Assign(c.GetData() + 1);
        EXPECT_EQ(t.substr(1), std::wstring(c.GetData())) << len;
        CUIString d(t.c_str());
        d = d;
        EXPECT_EQ(t, std::wstring(d.GetData())) << len;
    }
}

TEST(UIString, OperatorsAndComparison)
{
    CUIString path(L"C:\\app\\");
    CUIString res = path + L"Res";
    EXPECT_STREQ(L"C:\\app\\Res", res);
    EXPECT_STREQ(L"C:\\app\\", path);
    EXPECT_TRUE(res == L"C:\\app\\Res");
    EXPECT_TRUE(res != L"c:\\app\\res");
    EXPECT_EQ(0, res.CompareNoCase(L"c:\\APP\\res"));
    EXPECT_LT(CUIString(L"abc").Compare(L"abd"), 0);
    EXPECT_GT(CUIString(L"b").Compare(L"a"), 0);
    CUIString m(L"MiXeD 123 ÄB");
    m.MakeLower();
    EXPECT_STREQ(L"mixed 123 Äb", m);
    CUIString t(L"ab");
    t += CUIString(L"cd");
    t += L'e';
    EXPECT_STREQ(L"abcde", t);
}

TEST(UIString, LeftAndMid)
{
    CUIString s(L"abcdef");
    struct { int pos, len; const wchar_t* want; } mids[] = {
        {2, -1, L"cdef"}, {4, 10, L"ef"}, {0, 0, L""}, {6, 3, L""}, {1, 2, L"bc"},
        // Positions outside the text are clamped.
        {-5, 2, L"ab"}, {100, 2, L""}, {-1, -1, L"abcdef"},
    };
    for (auto& c : mids)
        EXPECT_STREQ(c.want, s.Mid(c.pos, c.len)) << c.pos << "," << c.len;
    struct { int len; const wchar_t* want; } lefts[] = {{-3, L""}, {0, L""}, {2, L"ab"}, {1000, L"abcdef"}};
    for (auto& c : lefts)
        EXPECT_STREQ(c.want, s.Left(c.len)) << c.len;
}

TEST(UIString, FindAndReverseFind)
{
    CUIString s(L"abcab");
    struct { wchar_t ch; int pos; int want; } chars[] = {
        {L'b', 0, 1}, {L'b', 2, 4}, {L'x', 0, -1}, {L'a', -1, -1}, {L'a', 5, -1}, {L'a', 4, -1}};
    for (auto& c : chars)
        EXPECT_EQ(c.want, s.Find(c.ch, c.pos)) << c.ch << c.pos;
    EXPECT_EQ(-1, CUIString().Find(L'x', 0));
    struct { const wchar_t* sub; int pos; int want; } subs[] = {
        {L"b", 5, -1}, {L"ab", 1, 3}, {L"ca", 0, 2}, {L"b", 6, -1}, {L"ab", 5, -1}, {L"b", -1, -1}};
    for (auto& c : subs)
        EXPECT_EQ(c.want, s.Find(c.sub, c.pos)) << c.sub << c.pos;
    EXPECT_EQ(3, s.ReverseFind(L'a'));
    EXPECT_EQ(-1, s.ReverseFind(L'z'));
}

TEST(UIString, Replace)
{
    struct { const wchar_t* text; const wchar_t* from; const wchar_t* to; int count; const wchar_t* want; } cases[] = {
        {L"aba", L"a", L"aa", 2, L"aabaa"},
        {L"line1<n>line2", L"<n>", L"\r\n", 1, L"line1\r\nline2"},
        {L"xxx", L"x", L"", 3, L""},
        {L"abc", L"z", L"q", 0, L"abc"},
        {L"abc", L"", L"q", 0, L"abc"},
        {L"%{1} and %{1}", L"%{1}", L"word", 2, L"word and word"},
    };
    for (auto& c : cases) {
        CUIString s(c.text);
        EXPECT_EQ(c.count, s.Replace(c.from, c.to)) << c.text;
        EXPECT_STREQ(c.want, s) << c.text;
    }
    CUIString self(L"abab");
    EXPECT_EQ(2, self.Replace(self.GetData() + 2 + 1, L"-"));  // "b", taken from the text itself
    EXPECT_STREQ(L"a-a-", self);
}

TEST(UIString, FormatIsBoundedAndMayUseItsOwnText)
{
    CUIString d;
    EXPECT_EQ(10, d.Format(L"%4d-%02d-%02d", 2024, 3, 7));
    EXPECT_STREQ(L"2024-03-07", d);

    std::wstring longArg = Rep(L'z', 200);
    CUIString cut;
    int n = cut.Format(L"<%s>", longArg.c_str());
    EXPECT_EQ(63, cut.GetLength());
    EXPECT_EQ(63, n);
    EXPECT_EQ(L'<', cut.GetAt(0));
    EXPECT_EQ(L'z', cut.GetAt(62));

    CUIString fmt(L"n=%d");
    fmt.Format(fmt, 42);
    EXPECT_STREQ(L"n=42", fmt);
}

TEST(UIRect, Operations)
{
    CUIRect r;
    EXPECT_EQ(0, r.left + r.top + r.right + r.bottom);
    CUIRect a(10, 20, 110, 70);
    EXPECT_EQ(100, a.GetWidth());
    EXPECT_EQ(50, a.GetHeight());
    RECT raw = {5, 30, 50, 200};
    a.UnionWith(raw);
    EXPECT_EQ(5, a.left);
    EXPECT_EQ(20, a.top);
    EXPECT_EQ(110, a.right);
    EXPECT_EQ(200, a.bottom);
    a.MoveToOrigin();
    EXPECT_EQ(0, a.left);
    EXPECT_EQ(0, a.top);
    EXPECT_EQ(105, a.right);
    EXPECT_EQ(180, a.bottom);
    a.Offset(3, -4);
    EXPECT_EQ(3, a.left);
    EXPECT_EQ(-4, a.top);
    // Passes as a RECT.
    CUIRect b(raw);
    RECT* p = &b;
    EXPECT_TRUE(::EqualRect(p, &raw));
    static_assert(sizeof(CUIRect) == sizeof(RECT), "RECT layout");
    static_assert(sizeof(CUISize) == sizeof(SIZE), "SIZE layout");
    CUISize sz(3, 4);
    EXPECT_EQ(3, sz.cx);
    EXPECT_EQ(4, sz.cy);
}

TEST(UIStringOrID, Forms)
{
    STRINGorID s(L"MainWnd.xml");
    EXPECT_FALSE(IS_INTRESOURCE(s.m_lpstr));
    EXPECT_STREQ(L"MainWnd.xml", s.m_lpstr);
    STRINGorID id(0x10067u);
    EXPECT_TRUE(IS_INTRESOURCE(id.m_lpstr));
    EXPECT_EQ((ULONG_PTR)0x67, (ULONG_PTR)id.m_lpstr);
}

namespace {
struct ArrayProbe : CUIPtrArray {
    using CUIPtrArray::CUIPtrArray;
    int Capacity() const { return m_nAllocated; }
};
void* P(intptr_t v) { return reinterpret_cast<void*>(v); }
} // namespace

TEST(UIPtrArray, GrowthAddInsertRemove)
{
    ArrayProbe a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(0, a.Capacity());
    EXPECT_TRUE(a.InsertAt(0, P(1)));  // on an empty array: append
    EXPECT_EQ(11, a.Capacity());
    for (intptr_t i = 2; i <= 10; i++)
        EXPECT_TRUE(a.Add(P(i)));
    EXPECT_EQ(11, a.Capacity());
    EXPECT_TRUE(a.Add(P(11)));  // the 11th item grows the block
    EXPECT_EQ(22, a.Capacity());
    EXPECT_EQ(11, a.GetSize());
    EXPECT_TRUE(a.InsertAt(1, P(100)));
    ASSERT_EQ(12, a.GetSize());
    EXPECT_EQ(P(100), a[1]);
    EXPECT_EQ(P(2), a[2]);
    EXPECT_FALSE(a.InsertAt(-1, P(5)));
    EXPECT_FALSE(a.InsertAt(13, P(5)));
    EXPECT_EQ(1, a.Find(P(100)));
    EXPECT_EQ(-1, a.Find(P(999)));
    EXPECT_EQ(nullptr, a.GetAt(a.GetSize()));
    EXPECT_EQ(nullptr, a.GetAt(-1));
    struct { int i, n; bool ok; } removes[] = {{0, 0, false}, {-1, 1, false}, {11, 2, false}, {1, 1, true}, {10, 1, true}};
    for (auto& r : removes)
        EXPECT_EQ(r.ok, a.Remove(r.i, r.n)) << r.i << "," << r.n;
    ASSERT_EQ(10, a.GetSize());
    EXPECT_EQ(P(10), a[9]);
    EXPECT_EQ(22, a.Capacity());  // never shrinks
    a.Empty();
    EXPECT_EQ(0, a.Capacity());
    EXPECT_EQ(nullptr, a.GetAt(0));
}

TEST(UIPtrArray, PreallocResizeAndCopies)
{
    ArrayProbe pre(6);
    EXPECT_EQ(6, pre.Capacity());
    EXPECT_EQ(0, pre.GetSize());
    for (intptr_t i = 1; i <= 5; i++)
        pre.Add(P(i));
    EXPECT_EQ(6, pre.Capacity());
    pre.Add(P(6));
    EXPECT_EQ(12, pre.Capacity());

    ArrayProbe r;
    r.Resize(4);
    EXPECT_EQ(4, r.GetSize());
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(nullptr, r.GetAt(i));

    CUIPtrArray copy(pre);
    EXPECT_EQ(6, copy.GetSize());
    copy.Remove(0, 1);
    ASSERT_EQ(6, pre.GetSize());
    EXPECT_EQ(P(1), pre[0]);
    CUIPtrArray assigned;
    assigned.Add(P(77));
    assigned = pre;
    ASSERT_EQ(6, assigned.GetSize());
    EXPECT_EQ(P(6), assigned[5]);
    assigned = assigned;
    EXPECT_EQ(6, assigned.GetSize());
    // Each goes out of scope with its own block: no double free.
}

TEST(UIStringPtrMap, HashAndBuckets)
{
    EXPECT_EQ(0u, CUIStringPtrMap::Hash(L""));
    EXPECT_EQ((UINT)L'a', CUIStringPtrMap::Hash(L"a"));
    EXPECT_EQ((UINT)L'b' * 33u + L'a', CUIStringPtrMap::Hash(L"ab"));
    std::wstring longKey = Rep(L'\xFFFF', 40);
    UINT h = 0;
    for (size_t i = longKey.size(); i > 0; i--)
        h = h * 33u + 0xFFFFu;
    EXPECT_EQ(h, CUIStringPtrMap::Hash(longKey.c_str()));
    static_assert(!std::is_copy_constructible<CUIStringPtrMap>::value, "map copies are refused");
    static_assert(!std::is_copy_assignable<CUIStringPtrMap>::value, "map copies are refused");
}

namespace {
// Two keys of one bucket among 16: hashes of single characters are the characters.
const wchar_t* kA = L"A";   // 65 % 16 == 1
const wchar_t* kQ = L"Q";   // 81 % 16 == 1
const wchar_t* kB = L"B";   // 66 % 16 == 2
} // namespace

TEST(UIStringPtrMap, FindInsertSetRemoveAndOrder)
{
    CUIStringPtrMap m(5);  // raised to 16 buckets
    int x = 1, y = 2, z = 3;
    EXPECT_EQ(nullptr, m.Find(kA));
    EXPECT_EQ(nullptr, m.GetAt(0));
    EXPECT_TRUE(m.Insert(kA, &x));
    EXPECT_TRUE(m.Insert(kQ, &y));
    EXPECT_TRUE(m.Insert(kB, &z));
    EXPECT_EQ(&x, m.Find(kA, false));
    EXPECT_EQ(3, m.GetSize());
    // Buckets from the last: bucket 2 (B), then bucket 1 from its head (Q inserted last).
    EXPECT_STREQ(L"B", m.GetAt(0));
    EXPECT_STREQ(L"Q", m.GetAt(1));
    EXPECT_STREQ(L"A", m.GetAt(2));
    EXPECT_EQ(nullptr, m.GetAt(3));
    EXPECT_STREQ(L"A", m.GetAt(2));
    // A lookup moves the older key to the front of its chain.
    EXPECT_EQ(&x, m.Find(kA, true));
    EXPECT_STREQ(L"A", m.GetAt(1));
    EXPECT_STREQ(L"Q", m.GetAt(2));
    EXPECT_EQ(&y, m.Find(kQ));
    EXPECT_EQ(&x, m.Find(L"A"));
    EXPECT_EQ(nullptr, m.Find(L"a"));  // case-sensitive
    EXPECT_FALSE(m.Insert(kA, &z));  // the existing entry stays
    EXPECT_EQ(&x, m.Find(kA));

    EXPECT_EQ(&x, m.Set(kA, &z));
    EXPECT_EQ(&z, m.Find(kA));
    EXPECT_EQ(nullptr, m.Set(L"new", &y));
    EXPECT_EQ(4, m.GetSize());

    EXPECT_TRUE(m.Remove(kQ));  // chain middle/tail
    EXPECT_FALSE(m.Remove(kQ));
    EXPECT_EQ(&z, m.Find(kA));
    EXPECT_TRUE(m.Remove(kA));
    EXPECT_EQ(nullptr, m.Find(kA));
    EXPECT_EQ(2, m.GetSize());
    m.RemoveAll();
    EXPECT_EQ(0, m.GetSize());
    EXPECT_TRUE(m.Insert(kA, &x));
}

TEST(UIStringPtrMap, NoBucketsRefusesEverything)
{
    CUIStringPtrMap m;
    int x = 1;
    m.Insert(L"k", &x);
    for (int size : {0, -4}) {
        m.Resize(size);
        EXPECT_EQ(0, m.GetSize());
        EXPECT_FALSE(m.Insert(L"k", &x));
        EXPECT_EQ(&x, m.Set(L"k", &x));
        EXPECT_EQ(nullptr, m.Find(L"k"));
        EXPECT_FALSE(m.Remove(L"k"));
        EXPECT_EQ(nullptr, m.GetAt(0));
    }
    m.Resize(83);
    EXPECT_TRUE(m.Insert(L"k", &x));
}

TEST(UIStringPtrMap, ManyKeysAllFound)
{
    CUIStringPtrMap m;
    std::vector<std::wstring> keys;
    for (int i = 0; i < 500; i++)
        keys.push_back(L"key" + std::to_wstring(i));
    for (size_t i = 0; i < keys.size(); i++)
        ASSERT_TRUE(m.Insert(keys[i].c_str(), P((intptr_t)i + 1)));
    for (size_t i = 0; i < keys.size(); i++)
        EXPECT_EQ(P((intptr_t)i + 1), m.Find(keys[i].c_str()));
    int seen = 0;
    for (int i = 0; i < m.GetSize(); i++)
        if (m.GetAt(i) != nullptr)
            seen++;
    EXPECT_EQ(500, seen);
}

TEST(UIStringPtrMapRehash, KeepsEveryKeyAndItsData)
{
    CUIStringPtrMap map;
    std::vector<std::wstring> keys;
    for (int i = 0; i < 500; ++i) keys.push_back(L"name" + std::to_wstring(i));
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(map.Insert(keys[i].c_str(), (void*)(i + 1)));
    EXPECT_EQ(map.GetBucketCount(), 83);
    map.Rehash(1021);
    EXPECT_EQ(map.GetBucketCount(), 1021);
    EXPECT_EQ(map.GetSize(), 500);
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(map.Find(keys[i].c_str()), (void*)(i + 1));
    EXPECT_FALSE(map.Insert(L"name7", (void*)1));
    EXPECT_TRUE(map.Remove(L"name7"));
    EXPECT_EQ(map.Find(L"name7"), nullptr);
    EXPECT_EQ(map.Set(L"name8", (void*)99), (void*)9);
    int listed = 0;
    while (map.GetAt(listed) != NULL) ++listed;
    EXPECT_EQ(listed, 499);
    map.RemoveAll();
    EXPECT_EQ(map.GetSize(), 0);
}

TEST(UIStringPtrMap, UntouchedMapFindsNothingAndTakesItsFirstKey)
{
    CUIStringPtrMap m;
    int x = 1, y = 2;
    EXPECT_EQ(83, m.GetBucketCount());
    EXPECT_EQ(nullptr, m.Find(L"k"));
    EXPECT_EQ(nullptr, m.GetAt(0));
    EXPECT_FALSE(m.Remove(L"k"));
    m.RemoveAll();
    EXPECT_EQ(83, m.GetBucketCount());
    EXPECT_EQ(nullptr, m.Set(L"k", &x));
    EXPECT_EQ(&x, m.Find(L"k"));
    EXPECT_EQ(1, m.GetSize());

    // Grown before anything is stored: the keys land in the new buckets.
    CUIStringPtrMap grown;
    grown.Rehash(1021);
    EXPECT_EQ(1021, grown.GetBucketCount());
    EXPECT_TRUE(grown.Insert(L"k", &y));
    EXPECT_EQ(&y, grown.Find(L"k"));

    // No buckets stays no buckets, whatever the rehash asks for.
    CUIStringPtrMap none;
    none.Resize(0);
    none.Rehash(64);
    EXPECT_EQ(0, none.GetBucketCount());
    EXPECT_FALSE(none.Insert(L"k", &x));
    EXPECT_EQ(&x, none.Set(L"k", &x));
    EXPECT_EQ(nullptr, none.GetAt(0));
}

TEST(UIStringPtrMap, KeysOfEqualHashStayApart)
{
    // 'b' * 33 + 'a' == 'c' * 33 + '@'
    ASSERT_EQ(CUIStringPtrMap::Hash(L"ab"), CUIStringPtrMap::Hash(L"@c"));
    CUIStringPtrMap m;
    int x = 1, y = 2;
    EXPECT_TRUE(m.Insert(L"ab", &x));
    EXPECT_TRUE(m.Insert(L"@c", &y));
    EXPECT_EQ(&x, m.Find(L"ab"));
    EXPECT_EQ(&y, m.Find(L"@c"));
    EXPECT_EQ(nullptr, m.Find(L"ac"));
    EXPECT_EQ(&y, m.Set(L"@c", &x));
    EXPECT_TRUE(m.Remove(L"ab"));
    EXPECT_EQ(nullptr, m.Find(L"ab"));
    EXPECT_EQ(&x, m.Find(L"@c"));

    // A key held with null data looks missing, so inserting it again adds a second entry.
    EXPECT_TRUE(m.Insert(L"n", nullptr));
    EXPECT_TRUE(m.Insert(L"n", &y));
    EXPECT_EQ(3, m.GetSize());
    EXPECT_EQ(&y, m.Find(L"n"));
}

TEST(UIStringPtrMapRehash, ChainOrderAfterRehash)
{
    // "A", "!" and "a" share bucket 1 among 16 and among 32.
    CUIStringPtrMap m(16);
    int x = 1, y = 2, z = 3;
    EXPECT_TRUE(m.Insert(L"A", &x));
    EXPECT_TRUE(m.Insert(L"!", &y));
    EXPECT_TRUE(m.Insert(L"a", &z));
    EXPECT_STREQ(L"a", m.GetAt(0));
    EXPECT_STREQ(L"!", m.GetAt(1));
    EXPECT_STREQ(L"A", m.GetAt(2));
    // Each node moves to the head of its new chain in the old walking order: the chain turns.
    m.Rehash(32);
    EXPECT_STREQ(L"A", m.GetAt(0));
    EXPECT_STREQ(L"!", m.GetAt(1));
    EXPECT_STREQ(L"a", m.GetAt(2));
    EXPECT_EQ(nullptr, m.GetAt(3));
    EXPECT_EQ(&z, m.Find(L"a"));
    EXPECT_STREQ(L"a", m.GetAt(0));
    EXPECT_EQ(&y, m.Find(L"!", false));
    EXPECT_STREQ(L"!", m.GetAt(2));
}
