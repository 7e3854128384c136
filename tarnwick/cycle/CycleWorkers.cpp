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
