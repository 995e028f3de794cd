// What the paint manager's three source files share (UIManager.cpp, UIManagerInput.cpp,
// UIManagerTree.cpp); private to them.
#pragma once
#include "UIBase.h"

namespace Veneer {
namespace manager_detail {

// Buckets of every string map the paint manager creates.
const int kMapBuckets = 83;

// Calls fn for every entry of a listener list, in order, on a snapshot: a callee may add or
// remove entries; removed ones are not called any more, added ones only from the next round.
template <class T, class Fn>
inline void ForEachListener(const CUIPtrArray& list, Fn fn)
{
    CUIPtrArray snapshot(list);
    for (int i = 0; i < snapshot.GetSize(); ++i) {
        T* p = static_cast<T*>(snapshot[i]);
        if (p == NULL || list.Find(p) < 0) continue;
        if (!fn(p)) break;
    }
}

} // namespace manager_detail
} // namespace Veneer
