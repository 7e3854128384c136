#include "tarnwick/cycle/CycleWorkers.h"

#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/messages/WindowMessages.h"

namespace tarnwick {

void CheckWorker(CheckJob job)
{
    MessageTarget& window = *job.window;
    std::string target;
    if (job.services->m_transfer.ReadRedirectTarget(target, job.redirectUrl))
        window.SendMessage(WM_REDIRECT_TARGET, 1, reinterpret_cast<intptr_t>(target.c_str()));
    else
        window.SendMessage(WM_REDIRECT_TARGET, 0, 0);
    window.PostMessage(WM_CHECK_DONE, 1, 0);
}

void DnsWorker(DnsJob job)
{
    MessageTarget& window = *job.window;
    const DnsUpdateState stored = DnsUpdateState::Load();
    DnsUpdateState state = stored;
    DnsStepResult result = KeepNameCurrent(job.settings, job.address, state, static_cast<int64_t>(job.now));
    // Without the stored stop or wait the next run would ask the service again.
    if (!(state == stored) && !state.save()) {
        result.lines.emplace_back("DNS-Name: Die Antwort des Aktualisierungsdienstes konnte nicht gespeichert werden.");
        result.current = false;
        result.heldBack = false;
    }
    for (const std::string& line : result.lines)
        window.SendMessage(WM_INFO_TEXT, 1, reinterpret_cast<intptr_t>(line.c_str()));
    window.PostMessage(WM_DNS_DONE, result.current ? kDnsCurrent : result.heldBack ? kDnsHeldBack : kDnsFailed, 0);
}

void UploadWorker(UploadJob job)
{
    MessageTarget& window = *job.window;
    // The page belongs to the window; copy it while this step is the only one
    // running.
    const auto* generated = reinterpret_cast<const std::string*>(window.SendMessage(WM_GENERATE_PAGE, 0, 0));
    const std::string page = generated ? *generated : std::string();
    bool ok = false;
    if (job.uploadServiceType == 1)
        ok = job.services->m_transfer.UploadFtp(page, job.server, job.path, job.userName, job.password, job.port,
                                                job.tls);
    else if (job.uploadServiceType == 3)
        ok = job.services->m_transfer.UploadHttp(page, job.server, job.path, job.userName, job.password, job.port,
                                                 job.tls);
    window.PostMessage(WM_UPLOAD_DONE, ok ? 1 : 0, 0);
}

std::string UploadPath(const std::string& uploadDir, const std::string& pageFileName)
{
    std::string path = uploadDir;
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + pageFileName;
}

} // namespace tarnwick
