#include "tarnwick/cycle/AddressWorker.h"

#include "corvanecom/IVELTCorvane.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/internet/InternetCheckConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/messages/ThreadMessages.h"
#include "tarnwick/cycle/ComFailureText.h"
#include "tarnwick/cycle/CorvaneActivation.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/CycleTexts.h"
#include "tarnwick/messages/WindowMessages.h"

namespace tarnwick {

namespace {

void SendText(MessageTarget& window, uint32_t message, const std::string& text)
{
    window.SendMessage(message, 1, reinterpret_cast<intptr_t>(text.c_str()));
}

void SendAddress(MessageTarget& window, uintptr_t which, const std::string& address)
{
    window.SendMessage(WM_ADDRESS_FOUND, which, reinterpret_cast<intptr_t>(address.c_str()));
}

// False when the dial was needed and did not bring a connection up.
bool DialWhenNeeded(const AddressJob& job)
{
    if (job.autoDial != 1)
        return true;
    platform::InternetError error;
    if (platform::InternetCheckConnection(job.redirectUrl, platform::FLAG_ICC_FORCE_CONNECTION, error)
        || job.dial.entryName.empty())
        return true;
    const DialSessionFactory factory
        = job.dialSessions ? job.dialSessions : DefaultDialSessionFactory(job.services->m_rasFunctions);
    std::unique_ptr<DialSession> session = factory(job.dialStatus);
    if (session && session->Run(job.dial) == kDialOk)
        return true; // the connection stays up; nothing in the cycle hangs it up
    if (session)
        session->HangUp();
    return false;
}

bool FindAddressesWithService(const AddressJob& job, MessageTarget& window)
{
    SendText(window, WM_INFO_TEXT, cycle_texts::kFetchingClientAddress);
    bool found = false;
    std::string local;
    if (job.services->m_transfer.ReadClientAddress(local, job.clientIpUrl)) {
        SendAddress(window, 0, local);
        found = true;
    }
    std::string remote;
    if (job.services->m_transfer.ReadServerAddress(remote, job.redirectUrl))
        SendAddress(window, 1, remote);
    return found;
}

} // namespace

bool FindAddressesWithComponent(const std::string& url, MessageTarget& window)
{
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init)) {
        SendText(window, WM_ERROR_TEXT, cycle_texts::kComponentInitFailed);
        return false;
    }
    SetErrorInfo(0,
                 nullptr); // a text left from earlier must not describe this run

    bool found = false;
    IVELTCorvane* corvane = nullptr;
    HRESULT hr = CreateVeltCorvane(&corvane);

    if (SUCCEEDED(hr)) {
        BSTR bstrUrl = platform::com::AnsiToBstr(url);
        LONG ok = 0;
        hr = bstrUrl ? corvane->TestConnect(bstrUrl, &ok) : E_OUTOFMEMORY;
        SysFreeString(bstrUrl);
        if (SUCCEEDED(hr) && ok) {
            BSTR socketAddress = nullptr;
            BSTR peerAddress = nullptr;
            hr = corvane->get_SocketAddress(&socketAddress);
            if (SUCCEEDED(hr))
                hr = corvane->get_PeerAddress(&peerAddress);
            if (SUCCEEDED(hr)) {
                SendAddress(window, 0, platform::com::BstrToAnsi(socketAddress));
                SendAddress(window, 1, platform::com::BstrToAnsi(peerAddress));
                found = true;
            }
            SysFreeString(socketAddress);
            SysFreeString(peerAddress);
        }
    }
    if (FAILED(hr))
        SendText(window, WM_ERROR_TEXT, ComFailureText(hr));
    if (corvane)
        corvane->Release();
    CoUninitialize();
    return found;
}

void AddressWorker(AddressJob job)
{
    if (job.thread)
        job.thread->Publish(platform::GetCurrentThreadId());
    MessageTarget& window = *job.window;

    bool found = false;
    if (!DialWhenNeeded(job)) {
        SendText(window, WM_ERROR_TEXT, cycle_texts::kDialFailed);
    } else if (job.clientIpByServer == 1) {
        found = FindAddressesWithService(job, window);
    } else {
        found = FindAddressesWithComponent(job.testUrl.empty() ? job.redirectUrl : job.testUrl, window);
    }
    window.PostMessage(WM_ADDRESSES_DONE, found ? 1 : 0, 0);
}

} // namespace tarnwick
