// Dialog builder: loading from markup text, a file, a zip file, a zip in memory and a numeric
// resource; the resource elements; the tag factory, plug-ins and the application's callback; the
// order in which controls get their attributes; includes, covers and refused children.
#include <gtest/gtest.h>

#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIWindow.h"
#include "UIZipTestSupport.h"
#include "UISkinTestSupport.h"

#include <string>
#include <vector>

using namespace Veneer;

namespace {

const wchar_t kTreeSkin[] =
    L"<Window size=\"300,200\"><Container name=\"root\"><Control name=\"a\" float=\"true\" pos=\"10,10,60,30\"/>"
    L"<Container name=\"inner\" float=\"true\" pos=\"0,40,300,200\"><Label name=\"lbl\"/><Button name=\"btn\"/>"
    L"</Container><ScrollBar name=\"sb\" float=\"true\" pos=\"280,0,300,40\"/></Container></Window>";

std::string Utf8(const std::wstring& w)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

// A window whose messages reach its paint manager, as every skinned window's do.
class Host : public CWindowWnd {
public:
    Host()
    {
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        Create(NULL, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 0, 320, 240);
        pm.Init(m_hWnd);
    }
    ~Host()
    {
        if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    }
    const wchar_t* GetWindowClassName() const override { return L"VeneerBuilderTestHost"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        LRESULT lRes = 0;
        if (pm.GetPaintWindow() != NULL && pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    CPaintManagerUI pm;
};

std::wstring Dump(CControlUI* root)
{
    if (root == NULL) return L"<null>";
    RECT rc = {0, 0, 300, 200};
    root->SetPos(rc, false);
    return skintest::DumpTree(root);
}

// A container that records the attributes it receives and what it sees while receiving them.
std::vector<std::wstring> g_log;
int g_probesDeleted = 0;

class ProbeUI : public CContainerUI {
public:
    ~ProbeUI() override { ++g_probesDeleted; }
    const wchar_t* GetClass() const override { return L"Probe"; }
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override
    {
        wchar_t extra[64];
        swprintf(extra, 64, L" children=%d manager=%d", GetCount(), GetManager() != NULL ? 1 : 0);
        g_log.push_back(std::wstring(pstrName) + L"=" + pstrValue + extra);
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
};

// A container that takes no children.
class RefuserUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"Refuser"; }
    bool Add(CControlUI*) override { return false; }
};

struct Callback : IDialogBuilderCallback {
    std::vector<std::wstring> asked;
    CControlUI* CreateControl(const wchar_t* pstrClass) override
    {
        asked.push_back(pstrClass);
        if (wcscmp(pstrClass, L"Probe") == 0) return new ProbeUI;
        if (wcscmp(pstrClass, L"Refuser") == 0) return new RefuserUI;
        return NULL;
    }
};

struct BuilderTest : ::testing::Test {
    void SetUp() override
    {
        g_log.clear();
        g_probesDeleted = 0;
        CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
        CPaintManagerUI::SetResourceZip(L"", true);
        CPaintManagerUI::SetResourcePath(folder.Path().c_str());
    }
    void TearDown() override
    {
        CPaintManagerUI::SetResourceZip(L"", true);
        CPaintManagerUI::SetResourcePath(L"");
    }
    CControlUI* Build(const std::wstring& xml, CPaintManagerUI* pm, CControlUI* parent = NULL)
    {
        CDialogBuilder builder;
        return builder.Create(xml.c_str(), NULL, &cb, pm, parent);
    }
    ziptest::TempFolder folder;
    Callback cb;
    Host host;
};

TEST_F(BuilderTest, EverySourceGivesTheSameTree)
{
    const std::wstring expected =
        L"Container 'root' 0,0,300,200\n"
        L"  Control 'a' 10,10,60,30\n"
        L"  Container 'inner' 0,40,300,200\n"
        L"    Label 'lbl' 0,40,300,200\n"
        L"    Button 'btn' 0,40,300,200\n"
        L"  ScrollBar 'sb' 280,0,300,40\n";

    // Markup text.
    {
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(kTreeSkin, NULL, NULL, &pm);
        EXPECT_EQ(Dump(root), expected);
        delete root;
    }
    // A file of the resource folder.
    folder.Write(L"tree.xml", Utf8(kTreeSkin));
    {
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(L"tree.xml", NULL, NULL, &pm);
        EXPECT_EQ(Dump(root), expected);
        delete root;
    }
    // A numeric resource of type XML.
    {
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(301u, L"XML", NULL, &pm);
        EXPECT_EQ(Dump(root), expected);
        delete root;
        CDialogBuilder missing;
        EXPECT_EQ(missing.Create(399u, L"XML", NULL, &pm), (CControlUI*)NULL);
    }
    // A zip file beside the resource folder.
    std::string zip = ziptest::BuildZip({ziptest::Make("skins/tree.xml", Utf8(kTreeSkin), true)});
    folder.Write(L"skin.zip", zip);
    {
        CPaintManagerUI::SetResourceZip(L"skin.zip", true);
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(L"skins/tree.xml", NULL, NULL, &pm);
        EXPECT_EQ(Dump(root), expected);
        delete root;
        CPaintManagerUI::SetResourceZip(L"", true);
    }
    // A zip in memory, the way a zip from the program's resources is used.
    {
        static std::string block;
        block = zip;
        CPaintManagerUI::SetResourceZip(&block[0], (unsigned)block.size());
        CPaintManagerUI pm;
        CDialogBuilder b;
        CControlUI* root = b.Create(L"skins/tree.xml", NULL, NULL, &pm);
        EXPECT_EQ(Dump(root), expected);
        delete root;
    }
}

TEST_F(BuilderTest, LoadFailuresBuildNothing)
{
    CDialogBuilder a, b, c;
    EXPECT_EQ(a.Create(L"missing.xml", NULL, &cb, &host.pm), (CControlUI*)NULL);
    EXPECT_EQ(b.Create(L"<Window><Control", NULL, &cb, &host.pm), (CControlUI*)NULL);
    EXPECT_EQ(c.Create(&cb, &host.pm), (CControlUI*)NULL);   // nothing loaded
}

TEST_F(BuilderTest, RootWindowAttributesNeedAWindow)
{
    EXPECT_NE(Build(L"<Window size=\"321,123\" caption=\"0,0,0,28\"><Control/></Window>", &host.pm), nullptr);
    EXPECT_EQ(host.pm.GetInitSize().cx, 321);
    EXPECT_EQ(host.pm.GetInitSize().cy, 123);
    EXPECT_EQ(host.pm.GetCaptionRect().bottom, 28);

    CPaintManagerUI windowless;
    CControlUI* p = Build(L"<Window size=\"555,444\"><Control/></Window>", &windowless);
    EXPECT_EQ(windowless.GetInitSize().cx, 0);
    delete p;
    // Another root name carries no window attributes.
    p = Build(L"<Skin size=\"555,444\"><Control/></Skin>", &host.pm);
    EXPECT_EQ(host.pm.GetInitSize().cx, 321);
    delete p;
}

TEST_F(BuilderTest, ResourceElements)
{
    // A 2x2 bitmap for the image element.
    std::string bmp;
    ziptest::Put16(bmp, 0x4D42);
    ziptest::Put32(bmp, 70);
    ziptest::Put32(bmp, 0);
    ziptest::Put32(bmp, 54);
    ziptest::Put32(bmp, 40);
    ziptest::Put32(bmp, 2);
    ziptest::Put32(bmp, 2);
    ziptest::Put16(bmp, 1);
    ziptest::Put16(bmp, 24);
    for (int i = 0; i < 6; ++i) ziptest::Put32(bmp, 0);
    bmp += std::string(16, '\x7F');
    folder.Write(L"px.bmp", bmp);
    folder.Write(L"own.bmp", bmp);

    CControlUI* root = Build(
        L"<Window>"
        L"<Font ID=\"0\" Name=\"宋体\" SIZE=\"14\" bold=\"TRUE\" italic=\"false\"/>"
        L"<Font name=\"Ignored\" size=\"30\"/>"
        L"<Font id=\"3\" name=\"Arial\" size=\"16\" default=\"true\" underline=\"True\"/>"
        L"<Image Name=\"px.bmp\" shared=\"true\" mask=\"#FF00FF\"/>"
        L"<Image name=\"own.bmp\"/>"
        L"<Image restype=\"x\"/>"
        L"<Default name=\"Probe\" value=\"tag=&quot;1&quot;\"/>"
        L"<MultiLanguage id=\"7\" value=\"你好 %{1}\"/>"
        L"<MultiLanguage value=\"no id\"/>"
        L"<Probe name=\"p\"/>"
        L"</Window>",
        &host.pm);
    ASSERT_NE(root, nullptr);

    TFontEntry* f0 = host.pm.GetFontInfo(0);
    EXPECT_STREQ(f0->sFontName.GetData(), L"宋体");
    EXPECT_EQ(f0->iSize, 14);
    EXPECT_TRUE(f0->bBold);
    EXPECT_FALSE(f0->bItalic);
    EXPECT_EQ(host.pm.GetFontInfo(1), host.pm.GetDefaultFontInfo());   // no font 1 anywhere
    TFontEntry* def = host.pm.GetDefaultFontInfo();
    EXPECT_STREQ(def->sFontName.GetData(), L"Arial");
    EXPECT_EQ(def->iSize, 16);
    EXPECT_TRUE(def->bUnderline);
    EXPECT_STREQ(host.pm.GetFontInfo(3)->sFontName.GetData(), L"Arial");

    // The shared image is seen by every manager, the other one only by its own.
    CPaintManagerUI other;
    EXPECT_NE(host.pm.GetImage(L"px.bmp"), nullptr);
    EXPECT_NE(other.GetImage(L"px.bmp"), nullptr);
    EXPECT_NE(host.pm.GetImage(L"own.bmp"), nullptr);
    EXPECT_EQ(other.GetImage(L"own.bmp"), nullptr);

    EXPECT_STREQ(CPaintManagerUI::GetMultiLanguageString(7), L"你好 %{1}");
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0], L"tag=1 children=0 manager=1");
    delete root;
    host.pm.RemoveAllImages(true);
}

TEST_F(BuilderTest, AttributesComeAfterChildrenAndParentDefaultsFirst)
{
    CControlUI* root = Build(
        L"<Window>"
        L"<Default name=\"Probe\" value=\"a=&quot;1&quot; b=&quot;2&quot;\"/>"
        L"<Default name=\"Probe\" value=\"a=&quot;3&quot;\"/>"
        L"<Probe name=\"outer\" b=\"9\" a=\"4\"><Control/><Control/></Probe>"
        L"</Window>",
        &host.pm);
    ASSERT_NE(root, nullptr);
    std::vector<std::wstring> expected = {
        L"a=3 children=2 manager=1",
        L"name=outer children=2 manager=1",
        L"b=9 children=2 manager=1",
        L"a=4 children=2 manager=1",
    };
    EXPECT_EQ(g_log, expected);
    // The manager is attached only while the attributes are applied.
    EXPECT_EQ(root->GetManager(), nullptr);
    EXPECT_EQ(root->GetName(), L"outer");
    delete root;
}

TEST_F(BuilderTest, TagFactoryPluginsAndCallback)
{
    static std::vector<std::wstring> pluginAsked;
    pluginAsked.clear();
    LPCREATECONTROL plugin = [](const wchar_t* tag) -> CControlUI* {
        pluginAsked.push_back(tag);
        if (wcscmp(tag, L"PluginTag") == 0) {
            CControlUI* p = new CControlUI;
            p->SetName(L"from-plugin");
            return p;
        }
        return NULL;
    };
    CPaintManagerUI::GetPlugins()->Add(reinterpret_cast<void*>(plugin));

    CControlUI* root = Build(
        L"<Window><container name=\"root\">"
        L"<vbox_unknown name=\"x\"><Control name=\"lost\"/></vbox_unknown>"
        L"<CONTROL name=\"upper\"/>"
        L"<gifanim name=\"g\"/>"
        L"<PluginTag/>"
        L"<Probe name=\"cb\"/>"
        L"<lAbEl name=\"label\"/><button name=\"b\"/><Option name=\"o\"/><checkbox name=\"c\"/>"
        L"<progress name=\"pr\"/><SLIDER name=\"sl\"/><scrollbar name=\"s\"/><vbox name=\"v\"/>"
        L"</container></Window>",
        &host.pm);
    CPaintManagerUI::GetPlugins()->Remove(CPaintManagerUI::GetPlugins()->Find(reinterpret_cast<void*>(plugin)));

    EXPECT_EQ(Dump(root).size() > 0, true);
    std::wstring tree;
    IContainerUI* pContainer = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    ASSERT_NE(pContainer, nullptr);
    for (int i = 0; i < pContainer->GetCount(); ++i)
        tree += std::wstring(pContainer->GetItemAt(i)->GetClass()) + L":" +
                pContainer->GetItemAt(i)->GetName().GetData() + L" ";
    EXPECT_EQ(tree, L"Control:upper Control:from-plugin Probe:cb Label:label Button:b Option:o CheckBox:c "
                    L"Progress:pr Slider:sl ScrollBar:s VerticalLayout:v ");
    EXPECT_STREQ(root->GetClass(), L"Container");
    // Unknown tags reach the plug-ins first, then the callback; their subtrees are never built.
    std::vector<std::wstring> expectedAsked = {L"vbox_unknown", L"gifanim", L"Probe"};
    EXPECT_EQ(cb.asked, expectedAsked);
    std::vector<std::wstring> expectedPlugin = {L"vbox_unknown", L"gifanim", L"PluginTag", L"Probe"};
    EXPECT_EQ(pluginAsked, expectedPlugin);
    delete root;
}

TEST_F(BuilderTest, CoverReplacesTheChildPlace)
{
    CControlUI* root = Build(
        L"<Window><Container name=\"root\"><Button name=\"b\">"
        L"<Control name=\"cv\" cover=\"true\"/><Control name=\"notcover\" cover=\"True\"/>"
        L"</Button></Container></Window>",
        &host.pm);
    ASSERT_NE(root, nullptr);
    ASSERT_NE(root->GetInterface(L"IContainer"), nullptr);
    CControlUI* b = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"))->GetItemAt(0);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->GetCover(), nullptr);
    EXPECT_EQ(b->GetCover()->GetName(), L"cv");
    delete root;
}

TEST_F(BuilderTest, RefusedAndOrphanedChildrenAreDeleted)
{
    CControlUI* root = Build(
        L"<Window><Container name=\"root\">"
        L"<Refuser name=\"r\"><Probe name=\"refused1\"/><Probe name=\"refused2\"/></Refuser>"
        L"<Control name=\"plain\"><Probe name=\"orphan\"/><Probe name=\"never\"/></Control>"
        L"<Control name=\"after\"/>"
        L"</Container></Window>",
        &host.pm);
    ASSERT_NE(root, nullptr);
    // Two refused by the refuser, one dropped under the plain control (that ends its level).
    EXPECT_EQ(g_probesDeleted, 3);
    IContainerUI* c = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->GetCount(), 3);
    EXPECT_EQ(c->GetItemAt(2)->GetName(), L"after");
    delete root;
}

TEST_F(BuilderTest, TreeNodeWithoutParentBuildsNothing)
{
    CControlUI* root = Build(
        L"<Window><TreeNode name=\"t\"><Probe name=\"inside\"/></TreeNode><Control name=\"after\"/></Window>",
        &host.pm);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"after");
    EXPECT_TRUE(g_log.empty());
    EXPECT_TRUE(cb.asked.empty());
    delete root;
}

TEST_F(BuilderTest, IncludeRepeatsAndStopsOnItself)
{
    folder.Write(L"part.xml", "<Window><Control name=\"p\"/><Font id=\"9\" name=\"Part\"/></Window>");
    folder.Write(L"self.xml", "<Window><Control name=\"s\"/><Include source=\"self.xml\"/></Window>");
    folder.Write(L"main.xml",
                 "<Window><Container name=\"root\">"
                 "<Include source=\"part.xml\" count=\"3\"/><Include/><Include count=\"2\"/>"
                 "<Control name=\"mid\"/>"
                 "<Container name=\"selfhost\"><Include source=\"self.xml\"/></Container>"
                 "</Container></Window>");
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"main.xml", NULL, &cb, &host.pm);
    ASSERT_NE(root, nullptr);
    IContainerUI* c = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->GetCount(), 5);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c->GetItemAt(i)->GetName(), L"p");
    EXPECT_EQ(c->GetItemAt(3)->GetName(), L"mid");
    // The included skin's resources reach the same manager.
    EXPECT_STREQ(host.pm.GetFontInfo(9)->sFontName.GetData(), L"Part");
    IContainerUI* selfhost = static_cast<IContainerUI*>(c->GetItemAt(4)->GetInterface(L"IContainer"));
    ASSERT_NE(selfhost, nullptr);
    EXPECT_GE(selfhost->GetCount(), 2);
    EXPECT_LE(selfhost->GetCount(), 16);
    delete root;
}

TEST_F(BuilderTest, IncludeFromAResourceSkinNamesResources)
{
    // Resource 302 includes "301": in a skin from a resource, the source is a resource id of the
    // same type.
    CDialogBuilder builder;
    CControlUI* root = builder.Create(302u, L"XML", &cb, &host.pm);
    ASSERT_NE(root, nullptr);
    IContainerUI* c = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->GetCount(), 2);
    EXPECT_EQ(c->GetItemAt(0)->GetName(), L"root");
    EXPECT_EQ(c->GetItemAt(1)->GetName(), L"root");
    delete root;
}

} // namespace
