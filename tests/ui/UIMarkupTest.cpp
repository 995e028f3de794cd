#include <gtest/gtest.h>
#include "UIMarkup.h"
#include "UIManager.h"
#include "UIZipTestSupport.h"
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// Reaches the parser's internals: the array's reserved count, and parsing a text that the test
// owns (so that it can sit right before a page that may not be read).
class CInspectXmlDoc : public CUIXmlDoc
{
public:
    unsigned ReservedCount() const { return m_nReservedElements; }
    unsigned ElementCount() const { return m_nElements; }
    bool ParseOwnText(wchar_t* text)
    {
        Release();
        ClearErrors();
        m_pstrXML = text;
        bool ok = ParseDocument();
        m_pstrXML = NULL;
        Release();
        return ok;
    }
};

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

std::wstring Value(CUIXmlNode node, const wchar_t* name)
{
    wchar_t buf[256] = {};
    if (!node.GetAttributeValue(name, buf, 255))
        return L"<absent>";
    return buf;
}

// Two pages, the second one unreadable: data placed at the end of the first one.
class GuardedPage
{
public:
    GuardedPage()
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        m_page = si.dwPageSize;
        m_base = static_cast<BYTE*>(VirtualAlloc(NULL, m_page * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(m_base + m_page, m_page, PAGE_NOACCESS, &old);
    }
    ~GuardedPage() { VirtualFree(m_base, 0, MEM_RELEASE); }
    void* Place(const void* data, size_t size)
    {
        BYTE* p = m_base + m_page - size;
        memcpy(p, data, size);
        return p;
    }
    bool Ok() const { return m_base != NULL; }

private:
    BYTE* m_base = NULL;
    DWORD m_page = 0;
};

} // namespace

TEST(UIMarkup, ErrorTextsAndLocations)
{
    struct Case {
        const wchar_t* xml;
        const wchar_t* message;
        const wchar_t* location;
    };
    const Case cases[] = {
        {L"x<Window/>", L"Expected start tag", L"x<Window/>"},
        {L"<a><b><c/>", L"Expected start tag", L""},
        {L"<Window", L"Error parsing element name", L""},
        {L"<Window a=\"1\" /x>", L"Expected start-tag closing", L"/x>"},
        {L"<Window a=\"1\"", L"Expected start-tag closing", L""},
        {L"<a><b><c>text", L"Expected end-tag start", L""},
        {L"<a><b></c></a>", L"Unmatched closing tag", L"c></a>"},
        {L"<a></a x>", L"Unmatched closing tag", L"x>"},
        {L"<a></A>", L"Unmatched closing tag", L"A>"},
        {L"<a b c=\"1\"/>", L"Error while parsing attributes", L"c=\"1\"/>"},
        {L"<a b='1'/>", L"Expected attribute value", L"'1'/>"},
        {L"<a b=\"1/>", L"Error while parsing attribute string", L""},
    };
    for (const Case& c : cases) {
        CUIXmlDoc doc;
        EXPECT_FALSE(doc.Load(c.xml)) << c.xml;
        EXPECT_STREQ(c.message, doc.GetLastErrorMessage()) << c.xml;
        EXPECT_STREQ(c.location, doc.GetLastErrorLocation()) << c.xml;
        EXPECT_FALSE(doc.IsValid()) << c.xml;
        EXPECT_FALSE(doc.GetRoot().IsValid()) << c.xml;
    }
}

TEST(UIMarkup, ErrorLocationHoldsAtMost49Characters)
{
    std::wstring xml = L"<a " + std::wstring(200, L'x') + L"/>";
    CUIXmlDoc doc;
    ASSERT_FALSE(doc.Load(xml.c_str()));
    EXPECT_STREQ(L"Error while parsing attributes", doc.GetLastErrorMessage());
    EXPECT_EQ(std::wstring(L"/>"), doc.GetLastErrorLocation());
    std::wstring xml2 = L"zz" + std::wstring(200, L'y');
    ASSERT_FALSE(doc.Load(xml2.c_str()));
    EXPECT_EQ(L"zz" + std::wstring(47, L'y'), doc.GetLastErrorLocation());
    // The next load clears both texts.
    ASSERT_TRUE(doc.Load(L"<a/>"));
    EXPECT_STREQ(L"", doc.GetLastErrorMessage());
    EXPECT_STREQ(L"", doc.GetLastErrorLocation());
}

TEST(UIMarkup, WindowWithEmptyFontElement)
{
    CUIXmlDoc doc(L"<Window><Font size=\"12\" /></Window>");
    ASSERT_TRUE(doc.IsValid());
    CUIXmlNode root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(L"Window", root.GetName());
    EXPECT_TRUE(root.HasChildren());
    EXPECT_FALSE(root.HasAttributes());
    CUIXmlNode font = root.GetChild();
    ASSERT_TRUE(font.IsValid());
    EXPECT_STREQ(L"Font", font.GetName());
    EXPECT_FALSE(font.HasChildren());
    ASSERT_EQ(1, font.GetAttributeCount());
    EXPECT_STREQ(L"size", font.GetAttributeName(0));
    EXPECT_STREQ(L"12", font.GetAttributeValue(0));
    EXPECT_EQ(L"12", Value(font, L"size"));
    EXPECT_FALSE(font.GetSibling().IsValid());
    EXPECT_FALSE(font.GetChild().IsValid());
    EXPECT_FALSE(root.GetSibling().IsValid());
}

TEST(UIMarkup, TreeOfSiblingsAndChildrenWithTextCommentsAndDeclarations)
{
    const wchar_t* xml =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        L"<!-- the skin -->\r\n"
        L"<Window size=\"300,200\" caption=\"0,0,0,30\">\r\n"
        L"  <Font id=\"0\" name=\"宋体\" size=\"12\"/>\r\n"
        L"  <!-- a comment between siblings -->\r\n"
        L"  <VerticalLayout name = \"body\" >\r\n"
        L"    <Label text=\"a\"/><Button name=\"ok\" text=\"确定\" ></Button>\r\n"
        L"    <Text>some text</Text>\r\n"
        L"  </VerticalLayout >\r\n"
        L"</Window>\r\n";
    CUIXmlDoc doc(xml);
    CUIXmlNode root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid()) << doc.GetLastErrorMessage();
    EXPECT_STREQ(L"Window", root.GetName());
    ASSERT_EQ(2, root.GetAttributeCount());
    EXPECT_STREQ(L"size", root.GetAttributeName(0));
    EXPECT_STREQ(L"300,200", root.GetAttributeValue(0));
    EXPECT_STREQ(L"caption", root.GetAttributeName(1));
    EXPECT_STREQ(L"0,0,0,30", root.GetAttributeValue(1));

    std::vector<std::wstring> names;
    for (CUIXmlNode n = root.GetChild(); n.IsValid(); n = n.GetSibling())
        names.push_back(n.GetName());
    ASSERT_EQ((std::vector<std::wstring>{L"Font", L"VerticalLayout"}), names);

    CUIXmlNode font = root.GetChild();
    EXPECT_EQ(L"宋体", Value(font, L"name"));
    CUIXmlNode body = font.GetSibling();
    EXPECT_EQ(L"body", Value(body, L"name"));
    names.clear();
    for (CUIXmlNode n = body.GetChild(); n.IsValid(); n = n.GetSibling())
        names.push_back(n.GetName());
    ASSERT_EQ((std::vector<std::wstring>{L"Label", L"Button", L"Text"}), names);
    CUIXmlNode button = body.GetChild().GetSibling();
    EXPECT_EQ(L"确定", Value(button, L"text"));
    EXPECT_EQ(L"ok", Value(button, L"name"));
    EXPECT_FALSE(button.HasChildren());
}

TEST(UIMarkup, ElementWrittenAsNameAndSlashIsEmpty)
{
    CUIXmlDoc doc;
    ASSERT_TRUE(doc.Load(L"<Window><Control/><Label/><Button text=\"x\"/></Window>"));
    CUIXmlNode c = doc.GetRoot().GetChild();
    ASSERT_TRUE(c.IsValid());
    EXPECT_STREQ(L"Control", c.GetName());
    EXPECT_FALSE(c.HasChildren());
    EXPECT_EQ(0, c.GetAttributeCount());
    CUIXmlNode l = c.GetSibling();
    ASSERT_TRUE(l.IsValid());
    EXPECT_STREQ(L"Label", l.GetName());
    EXPECT_EQ(0, l.GetAttributeCount());
    CUIXmlNode b = l.GetSibling();
    ASSERT_TRUE(b.IsValid());
    EXPECT_STREQ(L"Button", b.GetName());
    EXPECT_EQ(L"x", Value(b, L"text"));
    EXPECT_FALSE(b.GetSibling().IsValid());
}

TEST(UIMarkup, EntitiesInValuesAndText)
{
    struct Case {
        const wchar_t* raw;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"a&amp;b", L"a&b"},
        {L"&lt;&gt;&quot;&apos;", L"<>\"'"},
        {L"a&b", L"a&b"},
        {L"&#65;&#x41;", L"&#65;&#x41;"},
        {L"&amp", L"&amp"},
        {L"x&", L"x&"},
        {L"", L""},
        {L"a  b\tc", L"a  b\tc"},
    };
    for (const Case& c : cases) {
        std::wstring xml = std::wstring(L"<a v=\"") + c.raw + L"\" w=\"after\">" + c.raw + L"</a>";
        CUIXmlDoc doc;
        ASSERT_TRUE(doc.Load(xml.c_str())) << xml << doc.GetLastErrorMessage();
        CUIXmlNode a = doc.GetRoot();
        ASSERT_EQ(2, a.GetAttributeCount()) << xml;
        EXPECT_STREQ(c.value, a.GetAttributeValue(0)) << xml;
        // A value shortened by its entities must not disturb the next attribute.
        EXPECT_STREQ(L"w", a.GetAttributeName(1)) << xml;
        EXPECT_STREQ(L"after", a.GetAttributeValue(1)) << xml;
    }
}

TEST(UIMarkup, AttributeLookupAndLimits)
{
    std::wstring xml = L"<a";
    for (int i = 0; i < 65; ++i)
        xml += L" n" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    xml += L" />";
    CUIXmlDoc doc(xml.c_str());
    CUIXmlNode a = doc.GetRoot();
    ASSERT_TRUE(a.IsValid()) << doc.GetLastErrorMessage();
    ASSERT_EQ(64, a.GetAttributeCount());
    EXPECT_STREQ(L"n63", a.GetAttributeName(63));
    EXPECT_STREQ(L"v63", a.GetAttributeValue(63));
    EXPECT_STREQ(L"", a.GetAttributeName(64));
    EXPECT_STREQ(L"", a.GetAttributeValue(-1));
    EXPECT_EQ(L"v10", Value(a, L"n10"));
    EXPECT_EQ(L"<absent>", Value(a, L"n64"));
    EXPECT_EQ(L"<absent>", Value(a, L"N10"));

    // The copy is cut at the size given; callers pass the length minus one of a zeroed buffer.
    CUIXmlDoc doc2(L"<a text=\"abcdefgh\"/>");
    wchar_t buf[5] = {};
    EXPECT_TRUE(doc2.GetRoot().GetAttributeValue(L"text", buf, 4));
    EXPECT_STREQ(L"abcd", buf);

    CUIXmlNode invalid;
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_EQ(NULL, invalid.GetName());
    EXPECT_EQ(NULL, invalid.GetAttributeName(0));
    EXPECT_EQ(NULL, invalid.GetAttributeValue(0));
    EXPECT_FALSE(invalid.GetAttributeValue(L"x", buf, 4));
    EXPECT_FALSE(invalid.GetChild().IsValid());
    EXPECT_FALSE(invalid.GetSibling().IsValid());
    EXPECT_FALSE(invalid.HasChildren());
}

TEST(UIMarkup, DocumentsWithoutRootAndUnclosedRoot)
{
    CUIXmlDoc doc;
    for (const wchar_t* xml : {L"", L"  \r\n\t ", L"<?xml version=\"1.0\"?>  <!-- nothing -->"}) {
        EXPECT_TRUE(doc.Load(xml)) << xml;
        EXPECT_TRUE(doc.IsValid());
        EXPECT_FALSE(doc.GetRoot().IsValid()) << xml;
    }
    // An unclosed "<!" swallows the rest of the text.
    EXPECT_TRUE(doc.Load(L"<!DOCTYPE skin><Window/>"));
    EXPECT_FALSE(doc.GetRoot().IsValid());

    // A root that is never closed is accepted, and so is an unclosed child of the root.
    ASSERT_TRUE(doc.Load(L"<Window size=\"1,2\"><Font id=\"3\"/>"));
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    EXPECT_STREQ(L"Font", doc.GetRoot().GetChild().GetName());
    ASSERT_TRUE(doc.Load(L"<Window><Layout>text"));
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    EXPECT_STREQ(L"Layout", doc.GetRoot().GetChild().GetName());

    doc.Release();
    EXPECT_FALSE(doc.IsValid());
    EXPECT_FALSE(doc.GetRoot().IsValid());
}

TEST(UIMarkup, ElementArrayGrowsByHalfPlus500)
{
    auto build = [](int elements) {
        std::wstring xml = L"<r>";
        for (int i = 1; i < elements; ++i)
            xml += L"<c/>";
        return xml + L"</r>";
    };
    CInspectXmlDoc doc;
    ASSERT_TRUE(doc.Load(build(499).c_str()));
    EXPECT_EQ(500u, doc.ElementCount());
    EXPECT_EQ(500u, doc.ReservedCount());
    ASSERT_TRUE(doc.Load(build(500).c_str()));
    EXPECT_EQ(501u, doc.ElementCount());
    EXPECT_EQ(750u, doc.ReservedCount());
    ASSERT_TRUE(doc.Load(build(751).c_str()));
    EXPECT_EQ(1125u, doc.ReservedCount());
    int count = 0;
    for (CUIXmlNode n = doc.GetRoot().GetChild(); n.IsValid(); n = n.GetSibling())
        ++count;
    EXPECT_EQ(750, count);
}

TEST(UIMarkup, EncodingsOfBytes)
{
    const std::wstring xml = L"<Window title=\"皮肤 ok\"><Label text=\"标签\"/></Window>";
    auto check = [](CUIXmlDoc& doc, const char* what) {
        CUIXmlNode root = doc.GetRoot();
        ASSERT_TRUE(root.IsValid()) << what << ": " << doc.GetLastErrorMessage();
        EXPECT_EQ(L"皮肤 ok", Value(root, L"title")) << what;
        EXPECT_EQ(L"标签", Value(root.GetChild(), L"text")) << what;
    };
    CUIXmlDoc doc;
    std::string u8 = Utf8(xml);
    ASSERT_TRUE(doc.LoadFromBytes(u8.data(), (unsigned)u8.size(), CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    check(doc, "utf-8");
    std::string bom = "\xEF\xBB\xBF" + u8;
    ASSERT_TRUE(doc.LoadFromBytes(bom.data(), (unsigned)bom.size(), CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    check(doc, "utf-8 with BOM");

    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (wchar_t ch : xml) {
        le += (char)(ch & 0xFF);
        le += (char)(ch >> 8);
        be += (char)(ch >> 8);
        be += (char)(ch & 0xFF);
    }
    ASSERT_TRUE(doc.LoadFromBytes(le.data(), (unsigned)le.size(), CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    check(doc, "utf-16le");
    ASSERT_TRUE(doc.LoadFromBytes(be.data(), (unsigned)be.size(), CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    check(doc, "utf-16be");
    std::string odd = le + "\x41";
    ASSERT_TRUE(doc.LoadFromBytes(odd.data(), (unsigned)odd.size(), CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    check(doc, "utf-16le with a trailing odd byte");
    // Without a byte-order mark nothing is converted.
    EXPECT_FALSE(doc.LoadFromBytes(le.data() + 2, (unsigned)le.size() - 2, CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    EXPECT_FALSE(doc.IsValid());
    EXPECT_FALSE(doc.LoadFromBytes("\xFF", 1, CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    EXPECT_TRUE(doc.LoadFromBytes("\xFF\xFE\x41", 3, CUIXmlDoc::XMLFILE_ENCODING_UNICODE));
    EXPECT_FALSE(doc.GetRoot().IsValid());

    std::string gbk = Gbk(xml);
    ASSERT_NE(u8, gbk);
    ASSERT_TRUE(doc.LoadFromBytes(gbk.data(), (unsigned)gbk.size(), CUIXmlDoc::XMLFILE_ENCODING_ANSI));
    check(doc, "ansi (gbk)");
}

TEST(UIMarkup, ElementTextKeepsWhiteSpaceAndEndsAtTheClosingTag)
{
    CInspectXmlDoc doc;
    ASSERT_TRUE(doc.Load(L"<a>  one &amp; two\t</a>"));
    EXPECT_STREQ(L"a", doc.GetRoot().GetName());
    // The text sits right after the start tag's ">".
    const wchar_t* name = doc.GetRoot().GetName();
    EXPECT_STREQ(L"  one & two\t", name + 2);
}

TEST(UIMarkup, MalformedInputBeforeAnUnreadablePageDoesNotCrash)
{
    GuardedPage page;
    ASSERT_TRUE(page.Ok());
    const wchar_t* texts[] = {
        L"<!-- never closed", L"<!", L"<?xml version=\"1.0\"", L"<?", L"<a b=\"unterminated", L"<a", L"<a b",
        L"<a b=", L"<a b =  ", L"<a>&am", L"<a>&", L"<a>&quo", L"<a>&apos", L"<a x=\"&apos", L"<a x=\"&l",
        L"<a></a", L"<a></", L"<", L"<a/", L"<a>text", L"</", L"<a><b></b", L"<a><b>&lt", L"x", L"<a/><",
        L"<a b=\"1\"", L"<a b=\"1\" ", L"<a b=\"1\"/", L"<a></a   ", L"<a><b><c>t",
    };
    for (const wchar_t* t : texts) {
        std::wstring text(t);
        size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        // The parser itself, on a text whose terminator is the last readable character.
        wchar_t* placed = static_cast<wchar_t*>(page.Place(text.c_str(), bytes));
        CInspectXmlDoc inspect;
        inspect.ParseOwnText(placed);
        // Load reads the text up to its terminator.
        placed = static_cast<wchar_t*>(page.Place(text.c_str(), bytes));
        CUIXmlDoc doc;
        doc.Load(placed);
        // Bytes without any terminator, in every encoding.
        std::string u8 = Utf8(text);
        doc.LoadFromBytes(page.Place(u8.data(), u8.size()), (unsigned)u8.size(), CUIXmlDoc::XMLFILE_ENCODING_UTF8);
        doc.LoadFromBytes(page.Place(u8.data(), u8.size()), (unsigned)u8.size(), CUIXmlDoc::XMLFILE_ENCODING_ANSI);
        std::string le = "\xFF\xFE";
        le.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        doc.LoadFromBytes(page.Place(le.data(), le.size()), (unsigned)le.size(), CUIXmlDoc::XMLFILE_ENCODING_UNICODE);
        le += 'x';
        doc.LoadFromBytes(page.Place(le.data(), le.size()), (unsigned)le.size(), CUIXmlDoc::XMLFILE_ENCODING_UNICODE);
    }
    SUCCEED();
}

TEST(UIMarkup, LoadFromFileInTheResourceFolder)
{
    TempFolder tmp;
    CPaintManagerUI::SetResourcePath(tmp.Path().c_str());
    std::string skin = "\xEF\xBB\xBF" + std::string("<Window size=\"10,20\"><Label text=\"ok\"/></Window>");
    tmp.Write(L"skin.xml", skin);
    tmp.Write(L"empty.xml", "");
    tmp.Write(L"large.xml", std::string(4194305, ' '));
    tmp.Write(L"limit.xml", "<a/>" + std::string(4194304 - 4, ' '));
    CUIXmlDoc doc;
    ASSERT_TRUE(doc.LoadFromFile(L"skin.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8)) << doc.GetLastErrorMessage();
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    EXPECT_EQ(L"ok", Value(doc.GetRoot().GetChild(), L"text"));
    EXPECT_TRUE(doc.LoadFromFile(L"limit.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    EXPECT_STREQ(L"a", doc.GetRoot().GetName());

    struct Case {
        const wchar_t* name;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"missing.xml", L"Error opening file"},
        {L"empty.xml", L"File is empty"},
        {L"large.xml", L"File too large"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(doc.LoadFromFile(c.name, CUIXmlDoc::XMLFILE_ENCODING_UTF8)) << c.name;
        EXPECT_STREQ(c.message, doc.GetLastErrorMessage()) << c.name;
        EXPECT_STREQ(L"", doc.GetLastErrorLocation()) << c.name;
        EXPECT_FALSE(doc.IsValid());
    }
    CPaintManagerUI::SetResourcePath(L"");
}

TEST(UIMarkup, LoadFromFileInTheResourceZip)
{
    TempFolder tmp;
    CPaintManagerUI::SetResourcePath(tmp.Path().c_str());
    Member broken = Make("broken.xml", Pattern(3000), true);
    std::string zip = BuildZip({Make("Skins/Main.xml", "<Window><Font id=\"1\" /></Window>", true), Make("empty.xml", ""),
                                Make("large.xml", std::string(4194305, ' '), true), broken});
    // Damage the last member's compressed data: its first block gets a reserved type.
    size_t at = zip.find("broken.xml");
    ASSERT_NE(std::string::npos, at);
    zip[at + 10] = (char)0xFF;
    tmp.Write(L"skin.zip", zip);

    struct Case {
        const wchar_t* name;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"missing.xml", L"Could not find ziped file"},
        {L"empty.xml", L"File is empty"},
        {L"large.xml", L"File too large"},
        {L"broken.xml", L"Could not unzip file"},
    };
    for (bool cached : {false, true}) {
        CPaintManagerUI::SetResourceZip(L"skin.zip", cached);
        CUIXmlDoc doc;
        ASSERT_TRUE(doc.LoadFromFile(L"skins\\MAIN.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8)) << doc.GetLastErrorMessage();
        EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
        EXPECT_STREQ(L"Font", doc.GetRoot().GetChild().GetName());
        for (const Case& c : cases) {
            EXPECT_FALSE(doc.LoadFromFile(c.name, CUIXmlDoc::XMLFILE_ENCODING_UTF8)) << c.name;
            EXPECT_STREQ(c.message, doc.GetLastErrorMessage()) << c.name << cached;
        }
    }
    CPaintManagerUI::SetResourceZip(L"other.zip", false);
    CUIXmlDoc doc;
    EXPECT_FALSE(doc.LoadFromFile(L"skins\\main.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    EXPECT_STREQ(L"Error opening zip file", doc.GetLastErrorMessage());
    CPaintManagerUI::SetResourceZip(L"", false);
    CPaintManagerUI::SetResourcePath(L"");
}

TEST(UIMarkup, LoadFromFileInTheZipOfTheProgramsResources)
{
    HMODULE self = GetModuleHandleW(NULL);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(103), L"ZIPRES");
    ASSERT_NE(nullptr, res);
    void* data = LockResource(LoadResource(self, res));
    ASSERT_NE(nullptr, data);
    CPaintManagerUI::SetResourceZip(L"", true);
    CPaintManagerUI::SetResourceZip(data, SizeofResource(self, res));
    EXPECT_STREQ(L"membuffer", CPaintManagerUI::GetResourceZip().GetData());
    CUIXmlDoc doc;
    ASSERT_TRUE(doc.LoadFromFile(L"MainWnd.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8)) << doc.GetLastErrorMessage();
    CUIXmlNode root = doc.GetRoot();
    EXPECT_STREQ(L"Window", root.GetName());
    EXPECT_EQ(L"300,200", Value(root, L"size"));
    CUIXmlNode font = root.GetChild();
    EXPECT_EQ(L"宋体", Value(font, L"name"));
    CUIXmlNode label = font.GetSibling().GetChild();
    EXPECT_EQ(L"资源 & zip", Value(label, L"text"));
    EXPECT_FALSE(doc.LoadFromFile(L"empty.xml", CUIXmlDoc::XMLFILE_ENCODING_UTF8));
    EXPECT_STREQ(L"File is empty", doc.GetLastErrorMessage());
    CPaintManagerUI::SetResourceZip(L"", false);
}
