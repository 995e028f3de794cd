#include "UIDelegate.h"

namespace Veneer {

CDelegateBase::CDelegateBase(void* pObject, void* pFn) : m_pObject(pObject), m_pFn(pFn)
{
}

CDelegateBase::CDelegateBase(const CDelegateBase& rhs) : m_pObject(rhs.m_pObject), m_pFn(rhs.m_pFn)
{
}

CDelegateBase::~CDelegateBase()
{
}

bool CDelegateBase::Equals(const CDelegateBase& rhs) const
{
    return m_pObject == rhs.m_pObject && m_pFn == rhs.m_pFn;
}

bool CDelegateBase::operator()(void* param)
{
    return Invoke(param);
}

CDelegateList::CDelegateList()
{
}

CDelegateList::~CDelegateList()
{
    for (int i = 0; i < m_aDelegates.GetSize(); i++) {
        CDelegateBase* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        delete pObject;
    }
    m_aDelegates.Empty();
}

CDelegateList::operator bool() const
{
    return !m_aDelegates.IsEmpty();
}

void CDelegateList::operator+=(const CDelegateBase& d)
{
    for (int i = 0; i < m_aDelegates.GetSize(); i++) {
        CDelegateBase* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != NULL && pObject->Equals(d))
            return;
    }
    CDelegateBase* pCopy = d.Copy();
    if (pCopy != NULL && !m_aDelegates.Add(pCopy))
        delete pCopy;
}

bool CDelegateList::operator()(void* param)
{
    // By index: a delegate may add to the list while it runs.
    for (int i = 0; i < m_aDelegates.GetSize(); i++) {
        CDelegateBase* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != NULL && !(*pObject)(param))
            return false;
    }
    return true;
}

} // namespace Veneer
