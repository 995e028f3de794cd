// Delegates (a function and the object to call it on) and the event sources built from them.
#pragma once
#include "UIDefs.h"
#include "UIBase.h"

namespace Veneer {

class VENEER_API CDelegateBase
{
public:
    CDelegateBase(void* pObject, void* pFn);
    CDelegateBase(const CDelegateBase& rhs);
    virtual ~CDelegateBase();

    bool Equals(const CDelegateBase& rhs) const;
    bool operator()(void* param);

    // A new heap copy of the concrete delegate.
    virtual CDelegateBase* Copy() const = 0;

    // Calls the target with param; false asks the caller to stop.
    virtual bool Invoke(void* param) = 0;

    void* GetObj() const { return m_pObject; }
    void* GetFn() const { return m_pFn; }

private:
    void* m_pObject;
    void* m_pFn;
};

// An ordered list of delegates called as a whole. Holds copies of the delegates it is given.
class VENEER_API CDelegateList
{
public:
    CDelegateList();
    ~CDelegateList();

    // The list owns its copies: copying the list would share them, so it is refused.
    CDelegateList(const CDelegateList&) = delete;
    CDelegateList& operator=(const CDelegateList&) = delete;

    operator bool() const;
    void operator+=(const CDelegateBase& d);
    bool operator()(void* param);

protected:
    CUIPtrArray m_aDelegates;
};

} // namespace Veneer
