#pragma once
#include "platform/core/CancelToken.h"

#include <mutex>

namespace StreamIO
{
class CIoStream;
}

// How the UI thread stops a tester request that runs on a transfer's worker (see
// TesterTransfer.h): the cancel token the device carries while the request runs, and the
// link the request waits on, whose pending wait Cancel cuts short.
//
// The transfer and its worker share one object. The worker marks itself with a Scope
// around each request; the tester connection looks up Current() when it lends its device
// to a request and registers the device's link here for as long as it holds the device.
// Cancel may come from any thread at any time; it fires the token for good.
class CTransferCancel
{
public:
    CTransferCancel();
    CTransferCancel(const CTransferCancel&) = delete;
    CTransferCancel& operator=(const CTransferCancel&) = delete;

    const Platform::CancelToken& Token() const { return m_token; }
    bool IsCancelled() const { return m_token.IsCancelled(); }
    // Fires the token: the device's waits end with it and its later exchanges fail.
    void Cancel();
    // Ends the pending wait of the registered link from outside, for a link whose waits
    // do not watch the token; called again, it cuts a wait that began after the last call.
    void CutLink();
    // The link the calling request waits on (null: none any more). The link must stay
    // open while it is registered.
    void SetLink(StreamIO::CIoStream* link);

    // The transfer whose request runs on the calling thread, or null.
    static CTransferCancel* Current();

    // Marks the calling thread as running a request of the transfer.
    class Scope
    {
    public:
        explicit Scope(CTransferCancel& transfer);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CTransferCancel* m_previous;
    };

private:
    Platform::CancelToken m_token;
    std::mutex m_linkLock;
    StreamIO::CIoStream* m_link = nullptr;
};
