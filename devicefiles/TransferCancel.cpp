#include "devicefiles/TransferCancel.h"

#include "streamio/IoStream.h"

#include <exception>

namespace
{
thread_local CTransferCancel* t_current = nullptr;
}

CTransferCancel::CTransferCancel() : m_token(Platform::CancelToken::Create())
{
}

void CTransferCancel::Cancel()
{
    m_token.Cancel();
}

void CTransferCancel::CutLink()
{
    std::lock_guard guard(m_linkLock);
    if (!m_link)
        return;
    try
    {
        m_link->CancelPending();
    }
    catch (const std::exception&)
    {
        // A link that cannot be opened again fails the request all the same.
    }
}

void CTransferCancel::SetLink(StreamIO::CIoStream* link)
{
    std::lock_guard guard(m_linkLock);
    m_link = link;
}

CTransferCancel* CTransferCancel::Current()
{
    return t_current;
}

CTransferCancel::Scope::Scope(CTransferCancel& transfer) : m_previous(t_current)
{
    t_current = &transfer;
}

CTransferCancel::Scope::~Scope()
{
    t_current = m_previous;
}
