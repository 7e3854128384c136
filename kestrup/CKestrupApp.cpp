#include "kestrup/CKestrupApp.h"

#include "kestrup/KestrupArguments.h"
#include "platform/system/TextCase.h"

namespace kestrup {

void CKestrupApp::Init(const std::string& commandLine, const std::string& programDir, const std::string& host)
{
    m_strCommandLine = commandLine;
    m_strProgramDir = programDir;
    m_strHost = host;
    m_strProgram = GetArgument(commandLine, "pr=");
    m_bQuitOnly = platform::FoldCase(commandLine).find("/quitonly") != std::string::npos;
    if (m_bQuitOnly)
        return;
    m_strVersion = GetArgument(commandLine, "v=");
    m_strMsiFile = CompleteMsiFile(GetArgument(commandLine, "msifile="), m_strProgramDir);
    m_strMsiDownloadUrl = CompleteMsiDownloadUrl(GetArgument(commandLine, "msidlfile="), m_strHost);
}

} // namespace kestrup
