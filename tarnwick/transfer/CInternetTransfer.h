#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "platform/internet/CancellableGet.h"
#include "tarnwick/transfer/CTransferSession.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
struct InternetError;
} // namespace platform

namespace tarnwick {

class MessageTarget;

// The extra request headers of every GET and PUT.
extern TARNWICK_EXPORT const std::string kRequestHeaders;

// All of Tarnwick's own HTTP and FTP work (g_transfer of the design: one per
// running program, owned by its services and handed to whoever transfers), in blocking calls, one at a time:
// reading pages and what they lead to, the address service, the server's
// address, and the upload of the redirect page. Every operation uses a fresh
// session and reports failures as German texts with WM_ERROR_TEXT.
// Cancel() may be called from any thread while an operation blocks.
class TARNWICK_EXPORT CInternetTransfer
{
public:
    // A page larger than this is not a redirect page or an address answer.
    static constexpr std::size_t kMaxPageBytes = 16 * 1024 * 1024;

    CInternetTransfer();
    virtual ~CInternetTransfer();
    CInternetTransfer(const CInternetTransfer&) = delete;
    CInternetTransfer& operator=(const CInternetTransfer&) = delete;

    // Receiver of WM_ERROR_TEXT and of the sessions' WM_STATUS_TEXT.
    void SetMessageWindow(MessageTarget* window);
    // Where the referrers come from: the redirect address Tarnwick means to
    // publish (GET) and the redirect page's address (PUT). Called on the
    // transferring thread.
    void SetRedirectAddressSource(std::function<std::string()> source);
    void SetRedirectUrlSource(std::function<std::string()> source);

    // Time and speed bounds of the sessions made from now on (tests shorten them). Any thread.
    void SetLimits(const CTransferSession::Limits& limits);
    CTransferSession::Limits Limits() const;

    void Cancel(bool bCancel);
    // Certificate authorities trusted besides the system's (a PEM file; empty:
    // the system's alone), from the next operation on. Any thread.
    void SetCaFile(const std::string& caFile);
    // An operation is under way (on any thread).
    bool IsBusy() const { return m_bBusy.load() != 0; }

    // http and https addresses.
    bool GetPage(std::string& strText, const std::string& strUrl);
    // An http page whose server only answers that it lives at the same place
    // on https (a host that forces https) is read there once, and what that
    // page leads to counts.
    bool ReadRedirectTarget(std::string& strTarget, const std::string& strUrl);
    // family 4 or 6: the service is reached over that family only, and its
    // answer must be one address of it (IPv6 canonical); 0 is read as 4.
    bool ReadClientAddress(std::string& strAddress, const std::string& strUrl, int family = 0);
    // family 4 or 6: the page server's address of that family; 0: either.
    bool ReadServerAddress(std::string& strAddress, const std::string& strUrl, int family = 0);
    // bTls: FTP over explicit TLS in passive mode. Plain FTP goes active
    // first and, when the server cannot connect back, once more in passive
    // mode (said in a WM_INFO_TEXT line).
    bool UploadFtp(const std::string& strText, const std::string& strServer, const std::string& strPath,
                   const std::string& strUser, const std::string& strPassword, uint16_t nPort, bool bTls = false);
    // bTls: PUT over https.
    bool UploadHttp(const std::string& strText, const std::string& strServer, const std::string& strPath,
                    const std::string& strUser, const std::string& strPassword, uint16_t nPort, bool bTls = false);

    // The text of the last error message sent (read it on the thread that
    // ran the operation, or after it).
    const std::string& LastError() const { return m_strLastError; }
    // The server address recorded by the last GetPage.
    const std::string& ServerIp() const { return m_strServerIp; }

private:
    class BusyScope;

    bool OpenSession();
    void CloseSession();
    // The checks both uploads make before anything is sent; false (session
    // closed) when the upload must not go ahead.
    bool ReadyToUpload(const std::string& strText, const std::string& strServer, const std::string& strPath,
                       const std::string& strUser, const std::string& strPassword);
    // Reports the upload's error, if any, and closes the session; gives result.
    bool EndUpload(bool result, const platform::InternetError& error);
    void ReportError(const std::string& text);
    void ReportInfo(const std::string& text);
    std::string Referrer(const std::function<std::string()>& source) const;

    std::string m_strServerIp;
    std::string m_strLastError;
    std::atomic<int32_t> m_bCancel {0};
    std::atomic<int32_t> m_bBusy {0};
    std::atomic<MessageTarget*> m_hWndMessages {nullptr};
    // Guards m_pSession between the transferring thread and Cancel().
    mutable std::mutex m_sessionMutex;
    std::unique_ptr<CTransferSession> m_pSession;
    platform::CancellableGet m_get; // GetPage's request; cancelled with the rest
    std::function<std::string()> m_redirectAddress;
    std::function<std::string()> m_redirectUrl;
    std::string m_caFile; // guarded by m_sessionMutex
    int m_addressFamily = 0; // of the next session; set and used by the operation's thread
    CTransferSession::Limits m_limits; // guarded by m_sessionMutex
};

} // namespace tarnwick
