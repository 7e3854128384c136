#include "tarnwick/program/CRedirectApp.h"

#include "platform/registry/Registry.h"
#include "platform/system/ProgramDirectory.h"
#include "tarnwick/program/AutostartEntry.h"
#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/settings/ProductKey.h"
#include "tarnwick/settings/SettingsMerge.h"

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

CRedirectApp::CRedirectApp() = default;

CRedirectApp::~CRedirectApp() = default;

void CRedirectApp::InitApplication()
{
    m_strClientIpUrl = resources::LoadString(resources::IDS_CLIENT_IP_URL);
    m_strVersion = resources::LoadString(resources::IDS_VERSION);
    m_strTitle = resources::LoadString(resources::IDS_TITLE);
    m_strProgramDir = platform::ProgramDirectory();
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        const std::string full(path, static_cast<size_t>(length));
        m_strProgramFile = full.substr(full.rfind('/') + 1);
    }
    if (m_strProgramFile.empty())
        m_strProgramFile = "tarnwick";
}

void CRedirectApp::LoadFirstInstanceState()
{
    EnsureProductKey();
    m_settings.LoadFromRegistry(resources::kProductKeyPath);
    m_storedSettings = m_settings;
    m_hiveStamp = CurrentHiveStamp();
    std::string error;
    if (!EnsureComponentRegistered(m_strProgramDir, &error))
        std::fprintf(stderr, "tarnwick: VELT-Corvane-Komponente nicht registriert: %s\n", error.c_str());
}

void CRedirectApp::SaveSettings(bool withBackup)
{
    // Merge and write in one locked transaction, so that nothing another
    // process stores in between is overwritten with this instance's older copy.
    const auto result = CRedirectSettings::EditStoredSettings(
        resources::kProductKeyPath, false, [this](CRedirectSettings& stored) -> std::vector<const SettingsField*> {
            MergeStoredSettings(m_settings, m_storedSettings, stored);
            if (!m_settings.GetModified())
                return {};
            stored = m_settings;
            return CRedirectSettings::AllFields();
        });
    if (withBackup)
        m_settings.SaveToBackupFile(m_settings.GetBackupFile());
    // Unless nothing could be written: the changes stay pending for the next save.
    if (result == CRedirectSettings::StoreResult::Saved) {
        m_settings.SetModified(0);
        m_storedSettings = m_settings;
        m_hiveStamp = CurrentHiveStamp();
    }
}

bool CRedirectApp::AdoptStoredSettings()
{
    const HiveStamp now = CurrentHiveStamp();
    if (now == m_hiveStamp)
        return false;
    CRedirectSettings stored;
    if (!stored.LoadFromRegistry(resources::kProductKeyPath))
        return false;
    MergeStoredSettings(m_settings, m_storedSettings, stored);
    m_storedSettings = stored;
    m_hiveStamp = now;
    return true;
}

CRedirectApp::HiveStamp CRedirectApp::CurrentHiveStamp()
{
    HiveStamp stamp;
    struct stat info
    {
    };
    if (::stat(platform::registry::HivePath(platform::registry::Root::CurrentUser).c_str(), &info) == 0) {
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    }
    return stamp;
}

bool CRedirectApp::WriteAutostartEntry() const
{
    return tarnwick::WriteAutostartEntry(m_strProgramDir, m_strProgramFile);
}

bool CRedirectApp::DeleteAutostartEntry() const
{
    return tarnwick::DeleteAutostartEntry();
}

platform::RemoteWindow CRedirectApp::FindRunningInstance(std::string_view title)
{
    return platform::RemoteWindow::Find(title);
}

} // namespace tarnwick
