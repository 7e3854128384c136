#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/dns/DnsNameKeeper.h"
#include "tarnwick/messages/MessageTarget.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace tarnwick {

// What the check step needs, copied when it starts.
class CycleServices;

struct TARNWICK_EXPORT CheckJob
{
    std::shared_ptr<CycleServices> services; // the transfer object
    std::string redirectUrl;
    std::shared_ptr<MessageTarget> window;
};

// What the upload step needs, copied when it starts.
struct TARNWICK_EXPORT UploadJob
{
    std::shared_ptr<CycleServices> services; // the transfer object
    int uploadServiceType = 0;
    std::string server;
    std::string path; // UploadDir with "/" between it and the page's file name
    std::string userName;
    std::string password;
    uint16_t port = 0;
    bool tls = false; // FTP over TLS or PUT over https
    std::shared_ptr<MessageTarget> window;
};

// What the DNS step needs, copied when it starts.
struct TARNWICK_EXPORT DnsJob
{
    std::shared_ptr<CycleServices> services; // kept alive while the step runs
    DnsNameSettings settings;
    std::string address; // the address the cycle found
    std::time_t now = 0;
    std::shared_ptr<MessageTarget> window;
};

// How the DNS step ended (WM_DNS_DONE's wParam).
enum DnsStepEnd : uintptr_t { kDnsFailed = 0, kDnsCurrent = 1, kDnsHeldBack = 2 };

// Keeps the DNS name current with the state the update service left in the
// settings store, saves that state, sends the step's status lines
// (WM_INFO_TEXT) and ends with WM_DNS_DONE (posted).
TARNWICK_EXPORT void DnsWorker(DnsJob job);

// Reads where the published page leads (WM_REDIRECT_TARGET, sent) and ends
// with WM_CHECK_DONE (posted), also when the page could not be read.
TARNWICK_EXPORT void CheckWorker(CheckJob job);

// Asks the window for the page (WM_GENERATE_PAGE, sent; generated on the
// user-interface thread), stores it by FTP or HTTP PUT and ends with
// WM_UPLOAD_DONE (posted, wParam 1 on success).
TARNWICK_EXPORT void UploadWorker(UploadJob job);

// UploadDir, a "/" when it does not end in one, then the page's file name.
TARNWICK_EXPORT std::string UploadPath(const std::string& uploadDir, const std::string& pageFileName);

} // namespace tarnwick
