#include "tarnwick/cycle/AddressWorker.h"

#include "corvanecom/IVELTCorvane.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/internet/InternetCheckConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/messages/ThreadMessages.h"
#include "platform/system/Ipv6AddressList.h"
#include "platform/url/InternetUrl.h"
#include "platform/url/IpAddressText.h"
#include "tarnwick/cycle/ComFailureText.h"
#include "tarnwick/cycle/CorvaneActivation.h"
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/CycleTexts.h"
#include "tarnwick/messages/WindowMessages.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <optional>

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

std::string Formatted(const char* format, const std::string& value)
{
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

// The published address from the one found: with an interface identifier,
// that identifier on the found address's /64 prefix. Empty after an error line.
std::string WithInterfaceId(const std::string& found, const std::string& interfaceId, MessageTarget& window)
{
    if (interfaceId.empty())
        return found;
    const std::optional<std::string> joined = platform::JoinPrefixWithInterfaceId(found, interfaceId);
    if (!joined)
        SendText(window, WM_ERROR_TEXT, Formatted(cycle_texts::kBadInterfaceId, interfaceId));
    return joined.value_or("");
}

bool FindAddressesWithService(const AddressJob& job, MessageTarget& window)
{
    SendText(window, WM_INFO_TEXT, cycle_texts::kFetchingClientAddress);
    const int family = job.addressFamily == 6 ? 6 : 4;
    bool found = false;
    std::string local;
    if (job.services->m_transfer.ReadClientAddress(local, job.clientIpUrl, family)) {
        if (family == 6)
            local = WithInterfaceId(local, job.ipv6InterfaceId, window);
        if (!local.empty()) {
            SendAddress(window, 0, local);
            found = true;
        }
    }
    std::string remote;
    if (job.services->m_transfer.ReadServerAddress(remote, job.redirectUrl, family))
        SendAddress(window, 1, remote);
    return found;
}

// url with its host replaced by the host's first address of family (IPv6 in
// brackets); none after an error line when the host has no such address.
std::optional<std::string> UrlForFamily(const std::string& url, int family, MessageTarget& window)
{
    platform::InternetUrl parts;
    if (!platform::ParseInternetUrl(url, parts) || parts.server.empty())
        return url; // the component reports what is wrong with it
    addrinfo hints {};
    hints.ai_family = family == 6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    char text[INET6_ADDRSTRLEN] = {};
    bool resolved = getaddrinfo(parts.server.c_str(), nullptr, &hints, &result) == 0 && result;
    if (resolved) {
        const void* address = family == 6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(result->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr);
        resolved = inet_ntop(hints.ai_family, address, text, sizeof text) != nullptr;
    }
    if (result)
        freeaddrinfo(result);
    if (!resolved) {
        SendText(window, WM_ERROR_TEXT,
                 Formatted(family == 6 ? cycle_texts::kNoIpv6Server : cycle_texts::kNoIpv4Server, parts.server));
        return std::nullopt;
    }
    const std::string host = family == 6 ? "[" + std::string(text) + "]" : std::string(text);
    return parts.scheme + "://" + host + ":" + std::to_string(parts.port) + parts.object;
}

} // namespace

bool FindAddressesWithComponent(const std::string& pageUrl, MessageTarget& window, int family,
                                const std::string& interfaceId)
{
    std::string url = pageUrl;
    if (family == 6) {
        const std::optional<std::string> literal = UrlForFamily(pageUrl, 6, window);
        if (!literal)
            return false;
        url = *literal;
    }
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
                std::string local = platform::com::BstrToAnsi(socketAddress);
                if (family == 6) {
                    const std::optional<std::string> stable
                        = platform::ChooseStableAddress(local, platform::ListIpv6Addresses());
                    if (!stable)
                        SendText(window, WM_ERROR_TEXT, Formatted(cycle_texts::kNoStableIpv6, local));
                    local = stable ? WithInterfaceId(*stable, interfaceId, window) : std::string();
                } else if (!local.empty() && local.find(':') != std::string::npos) {
                    // A host name without an IPv4 address was reached over IPv6.
                    platform::InternetUrl parts;
                    platform::ParseInternetUrl(url, parts);
                    SendText(window, WM_ERROR_TEXT, Formatted(cycle_texts::kNoIpv4Server, parts.server));
                    local.clear();
                }
                if (!local.empty()) {
                    SendAddress(window, 0, local);
                    SendAddress(window, 1, platform::com::BstrToAnsi(peerAddress));
                    found = true;
                }
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
        found = FindAddressesWithComponent(job.testUrl.empty() ? job.redirectUrl : job.testUrl, window,
                                           job.addressFamily, job.ipv6InterfaceId);
    }
    window.PostMessage(WM_ADDRESSES_DONE, found ? 1 : 0, 0);
}

} // namespace tarnwick
