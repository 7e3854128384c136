#include "tarnwick/cycle/LocalServerTest.h"

#include "corvanecom/IVELTCorvane.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/system/SystemMessage.h"
#include "tarnwick/cycle/ComFailureText.h"
#include "tarnwick/cycle/CorvaneActivation.h"
#include "tarnwick/settings/CRedirectSettings.h"

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace tarnwick {

namespace {

// The component's own time limit for the connection, in seconds.
constexpr long kTimeoutInSec = 1;
// How long the window waits at most: the component's limit does not cover
// resolving a host name or loading the component.
constexpr auto kWindowBound = std::chrono::milliseconds(1900);
constexpr uint32_t kWsaTimedOut = 10060;

std::string Format(const char* format, const std::string& server, int port, const std::string& detail = {})
{
    const int size = std::snprintf(nullptr, 0, format, server.c_str(), port, detail.c_str());
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, server.c_str(), port, detail.c_str());
    return text;
}

LocalServerTestResult RunComponentTest(const CRedirectSettings& settings)
{
    LocalServerTestResult result;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        result.statusText = "Fehler! VELT-Corvane-Komponente konnte nicht initialisiert werden.";
        return result;
    }
    SetErrorInfo(0, nullptr); // a description left from earlier must not explain this test

    const std::string& server = settings.GetLocalServerName();
    const int port = settings.GetLocalPort();
    const std::string url
        = CRedirectSettings::ComposeUrl(settings.GetLocalServiceType(), server, port, settings.GetLocalWebObject());
    IVELTCorvane* corvane = nullptr;
    HRESULT hr = CreateVeltCorvane(&corvane);
    if (SUCCEEDED(hr)) {
        corvane->put_TimeoutInSec(kTimeoutInSec);
        BSTR bstrUrl = platform::com::AnsiToBstr(url);
        LONG ok = 0;
        hr = bstrUrl ? corvane->TestConnect(bstrUrl, &ok) : E_OUTOFMEMORY;
        SysFreeString(bstrUrl);
        if (SUCCEEDED(hr) && ok) {
            result.ok = true;
            result.statusText = Format("Server %s auf Port %d ist betriebsbereit.", server, port);
        }
    }
    if (FAILED(hr))
        result.statusText
            = Format("Server %s auf Port %d ist nicht erreichbar!\r\n%s", server, port, ComFailureText(hr));
    if (corvane)
        corvane->Release();
    CoUninitialize();
    return result;
}

} // namespace

LocalServerTestResult TestLocalServerConnection(const CRedirectSettings& settings)
{
    // The component lives and dies on a thread of its own, so that the
    // window can stop waiting for it; a late answer is dropped with it.
    std::packaged_task<LocalServerTestResult(CRedirectSettings)> task(RunComponentTest);
    std::future<LocalServerTestResult> answer = task.get_future();
    std::thread(std::move(task), settings).detach();
    if (answer.wait_for(kWindowBound) == std::future_status::ready)
        return answer.get();
    std::string reason = platform::FormatSystemMessage(kWsaTimedOut);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    LocalServerTestResult result;
    result.statusText = Format("Server %s auf Port %d ist nicht erreichbar!\r\n%s", settings.GetLocalServerName(),
                               settings.GetLocalPort(), reason);
    return result;
}

} // namespace tarnwick
