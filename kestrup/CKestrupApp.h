#pragma once

#include <string>
#include <vector>

namespace kestrup {

// Kestrup's application fields, read from the command line.
class CKestrupApp
{
public:
    // commandLine: the arguments joined (JoinArguments); programDir: the
    // folder of Kestrup's program file with its trailing "/"; host: the
    // maker's update server.
    void Init(const std::string& commandLine, const std::string& programDir, const std::string& host);

    // "/quitonly" anywhere in the command line, in any letter case.
    bool QuitOnly() const { return m_bQuitOnly; }

    std::string m_strCommandLine;
    std::string m_strVersion;
    std::string m_strMsiCommandLine;
    std::string m_strProgram;
    std::string m_strMsiFile;
    std::string m_strMsiDownloadUrl;
    std::string m_strProgramDir;
    // Expected SHA-256 of the package, from the version text's "sha256=".
    std::string m_strPackageSha256;
    std::string m_strHost;

private:
    bool m_bQuitOnly = false;
};

} // namespace kestrup
