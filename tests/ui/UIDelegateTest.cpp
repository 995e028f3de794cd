#include <gtest/gtest.h>
#include "UIDelegate.h"
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// A recording target: each call appends its tag to a log and answers a preset result.
struct Target {
    std::vector<std::string>* log;
    std::string tag;
    bool result;
    void* lastParam = nullptr;
};

bool Record(Target* t, void* param)
{
    t->lastParam = param;
    t->log->push_back(t->tag);
    return t->result;
}
bool RecordToo(Target* t, void* param) { return Record(t, param); }

int g_live = 0;  // delegates alive, to watch the list's ownership

class TestDelegate : public CDelegateBase {
public:
    typedef bool (*Fn)(Target*, void*);
    TestDelegate(Target* t, Fn fn) : CDelegateBase(t, reinterpret_cast<void*>(fn)), m_fn(fn) { g_live++; }
    TestDelegate(const TestDelegate& rhs) : CDelegateBase(rhs), m_fn(rhs.m_fn) { g_live++; }
    ~TestDelegate() override { g_live--; }
    CDelegateBase* Copy() const override { return new TestDelegate(*this); }
    bool Invoke(void* param) override { return m_fn(static_cast<Target*>(GetObj()), param); }

private:
    Fn m_fn;
};

} // namespace

TEST(UIDelegate, EqualsAndCall)
{
    std::vector<std::string> log;
    Target a{&log, "a", true}, b{&log, "b", false};
    TestDelegate da(&a, Record), da2(&a, Record), db(&b, Record), daToo(&a, RecordToo);
    EXPECT_TRUE(da.Equals(da2));
    EXPECT_FALSE(da.Equals(db));
    EXPECT_FALSE(da.Equals(daToo));
    int param = 0;
    EXPECT_TRUE(da(&param));
    EXPECT_EQ(&param, a.lastParam);
    EXPECT_FALSE(db(nullptr));
    TestDelegate copy(da);
    EXPECT_TRUE(copy.Equals(da));
}

TEST(UIDelegate, ListAddsEachDelegateOnce)
{
    std::vector<std::string> log;
    Target a{&log, "a", true}, b{&log, "b", true};
    CDelegateList list;
    EXPECT_FALSE(list);
    list += TestDelegate(&a, Record);
    list += TestDelegate(&a, Record);        // same object and function: kept once
    list += TestDelegate(&b, Record);        // same function, other object: added
    list += TestDelegate(&a, RecordToo);     // same object, other function: added
    EXPECT_TRUE(list);
    EXPECT_TRUE(list(nullptr));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "a"}), log);
}

TEST(UIDelegate, ListStopsAtFirstFalse)
{
    struct { bool results[3]; bool want; std::vector<std::string> calls; } cases[] = {
        {{true, false, true}, false, {"1", "2"}},
        {{false, true, true}, false, {"1"}},
        {{true, true, true}, true, {"1", "2", "3"}},
        {{true, true, false}, false, {"1", "2", "3"}},
    };
    for (auto& c : cases) {
        std::vector<std::string> log;
        Target t1{&log, "1", c.results[0]}, t2{&log, "2", c.results[1]}, t3{&log, "3", c.results[2]};
        CDelegateList list;
        list += TestDelegate(&t1, Record);
        list += TestDelegate(&t2, Record);
        list += TestDelegate(&t3, Record);
        int param = 7;
        EXPECT_EQ(c.want, list(&param));
        EXPECT_EQ(c.calls, log);
        EXPECT_EQ(&param, t1.lastParam);
    }
}

TEST(UIDelegate, EmptyListReturnsTrue)
{
    CDelegateList list;
    EXPECT_FALSE(static_cast<bool>(list));
    EXPECT_TRUE(list(nullptr));
}

TEST(UIDelegate, ListOwnsItsCopiesOnly)
{
    std::vector<std::string> log;
    Target a{&log, "a", true}, b{&log, "b", true};
    g_live = 0;
    {
        TestDelegate da(&a, Record), db(&b, Record);
        EXPECT_EQ(2, g_live);
        {
            CDelegateList list;
            list += da;
            list += db;
            list += da;
            EXPECT_EQ(4, g_live);  // two copies in the list
        }
        EXPECT_EQ(2, g_live);      // the list deleted its copies, not the originals
        EXPECT_TRUE(da(nullptr));
    }
    EXPECT_EQ(0, g_live);
    static_assert(!std::is_copy_constructible<CDelegateList>::value, "list copies are refused");
}
