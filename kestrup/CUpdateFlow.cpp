#include "kestrup/CUpdateFlow.h"

#include "kestrup/CKestrupApp.h"
#include "kestrup/KestrupArguments.h"
#include "kestrup/KestrupTexts.h"
#include "kestrup/ProgramShutdown.h"
#include "kestrup/UpdateView.h"
#include "kestrup/VersionInfoDownload.h"
#include "platform/installer/PackageInstaller.h"
#include "platform/system/TextCase.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace kestrup {

namespace inst = platform::installer;

CUpdateFlow::CUpdateFlow(CKestrupApp& app, UpdateView& view)
    : m_app(app)
    , m_view(view)
{
}

void CUpdateFlow::SetDownloadTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle,
                                      std::chrono::milliseconds total)
{
    m_connectTimeout = connect;
    m_idleTimeout = idle;
    m_totalTimeout = total;
}

void CUpdateFlow::OnStartUpdate()
{
    m_view.SetStepText("Onlineupdate wird gestartet...");
    VersionInfoDownload download(m_view.StatusTarget());
    download.SetTimeouts(m_connectTimeout, m_idleTimeout, m_totalTimeout);
    std::string text;
    bool downloaded = false;
    m_view.RunBlocking([&] { downloaded = download.DownloadVersionInfo(m_app, text); }, [&] { download.Cancel(); });
    if (!downloaded)
        return;

    const std::string serverVersion = GetTextValue(text, "version=");
    // A text without a version (a login page answered with 200) names no
    // package: nothing is ended and nothing installed.
    if (serverVersion.empty()) {
        const char* text = "Die Versionsinformation des Servers enthält keine Version; es wird nichts installiert.";
        std::fprintf(stderr, "kestrup: %s\n", text);
        m_view.SetStatusText(text);
        return;
    }
    if (platform::EqualsNoCase(serverVersion, m_app.m_strVersion)) {
        m_view.ShowInformation("Die bereits installierte Version von " + m_app.m_strProgram + " " + m_app.m_strVersion
                               + " ist aktuell.\r\nEs liegt keine neue Version vor.");
        m_view.PostCommand(IDCANCEL);
        return;
    }
    m_app.m_strMsiCommandLine = GetTextValue(text, "cmdline=");
    m_app.m_strPackageSha256 = GetTextValue(text, "sha256=");
    if (!m_app.m_strProgram.empty())
        QuitProgram(m_app.m_strProgram, [this](const std::string& message) { m_view.ShowStop(message); });
    if (InstallPackage())
        m_view.PostCommand(IDOK);
}

bool CUpdateFlow::InstallPackage()
{
    std::string commandLine = m_app.m_strMsiCommandLine;
    std::string package;
    if (!m_app.m_strMsiFile.empty()) {
        package = m_app.m_strMsiFile;
        m_view.SetStatusText("Setupdatei wird geladen...");
    } else {
        package = m_app.m_strMsiDownloadUrl;
        m_view.SetStatusText("Setupdatei wird vom Server heruntergeladen...");
    }
    if (commandLine.empty())
        commandLine = kDefaultInstallerCommandLine;

    inst::InstallOptions options;
    // The installation is the folder above Kestrup's own program folder
    // (none when that folder is unknown: the installer then refuses).
    options.prefix = m_app.m_strProgramDir.empty() ? std::string() : m_app.m_strProgramDir + "..";
    options.expectedSha256 = m_app.m_strPackageSha256;
    options.agent = IDS_DEFAULT_AGENT;
    options.ownedByPackageManager = m_ownedCheck;
#ifdef KESTRUP_TEST_SEAMS
    // Test builds only: the process kills itself before the given move, as
    // a power loss or kill -9 would end it.
    if (const char* killAt = std::getenv("KESTRUP_TEST_KILL_AT_MOVE")) {
        const size_t move = std::strtoul(killAt, nullptr, 10);
        options.beforeMove = [move](size_t current) {
            if (current == move)
                ::raise(SIGKILL);
            return true;
        };
    }
#endif
    inst::PackageInstaller installer(options);

    inst::InstallObserver* observer = m_view.ShowInstallProgress([&installer] { installer.Cancel(); });
    m_view.SetBusy(true);
    inst::InstallResult result;
    m_view.RunBlocking([&] { result = installer.Install(package, commandLine, observer); }, {});
    m_view.SetBusy(false);
    m_view.HideInstallProgress();
    if (!result.text.empty())
        std::fprintf(stderr, "kestrup: %s\n", result.text.c_str());

    switch (result.code) {
    case inst::ERROR_SUCCESS:
        m_view.SetStatusText("Setup wurde abgeschlossen.");
        return true;
    case inst::ERROR_INSTALL_USEREXIT:
        m_view.PostCommand(IDCANCEL);
        return false;
    case inst::ERROR_FILE_NOT_FOUND:
        m_view.SetStatusText("Die Installationsdatei konnte nicht gefunden werden.\r\nEin Online-Update kann momentan "
                             "nicht durchgeführt werden.\r\nBitte versuchen Sie es später erneut.");
        return false;
    default:
        break;
    }
    if (result.failure == inst::InstallFailure::ChecksumMismatch) {
        m_view.SetStatusText("Die Prüfsumme der Setupdatei stimmt nicht mit der Versionsinformation überein.\r\n"
                             "Es wurde nichts installiert.\r\nBitte versuchen Sie es später erneut.");
        return false;
    }
    m_view.SetStatusText("Während der Installation ist Fehler Nr. " + std::to_string(result.code)
                         + " aufgetreten.\r\nBitte laden Sie die neue Version von " + m_app.m_strHost
                         + " herunter.\r\nEin Online-Update kann nicht durchgeführt werden.");
    return false;
}

} // namespace kestrup
