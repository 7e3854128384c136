#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace kestrup {

class CKestrupApp;
class UpdateView;

// The order of the update steps: version text, comparison, ending the
// program, installation; and what each outcome shows.
class CUpdateFlow
{
public:
    CUpdateFlow(CKestrupApp& app, UpdateView& view);

    // WM_START_UPDATE.
    void OnStartUpdate();
    // Installs m_strMsiFile, else m_strMsiDownloadUrl; true on success.
    bool InstallPackage();

    // Test seams: time limits of the version download, and the package
    // manager check of the installation (the system's by default).
    void SetDownloadTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle,
                             std::chrono::milliseconds total = std::chrono::milliseconds(120000));
    void SetOwnershipCheck(std::function<bool(const std::string& prefix)> check) { m_ownedCheck = std::move(check); }

private:
    CKestrupApp& m_app;
    UpdateView& m_view;
    std::chrono::milliseconds m_connectTimeout {30000};
    std::chrono::milliseconds m_idleTimeout {30000};
    std::chrono::milliseconds m_totalTimeout {120000};
    std::function<bool(const std::string&)> m_ownedCheck;
};

} // namespace kestrup
