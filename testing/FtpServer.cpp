#include "testing/FtpServer.h"

#include "testing/FreeTcpPort.h"

#include <chrono>
#include <stdexcept>

#ifndef VELT_TESTING_DIR
#error "VELT_TESTING_DIR must name the folder of the test-support sources"
#endif

namespace velt::testing {

FtpServer::FtpServer(std::string user, std::string password)
    : FtpServer(Options {}, std::move(user), std::move(password))
{
}

FtpServer::FtpServer(Options options, std::string user, std::string password)
    : m_user(std::move(user))
    , m_password(std::move(password))
    , m_options(std::move(options))
{
    std::filesystem::create_directories(home());
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (start())
            return;
    }
    throw std::runtime_error("FTP server did not start:\n" + logs());
}

FtpServer::~FtpServer()
{
    stop();
}

bool FtpServer::start()
{
    m_port = FreeTcpPort();
    std::vector<std::string> command {"/usr/bin/python3", VELT_TESTING_DIR "/ftp_server.py",
                                      "--port",           std::to_string(m_port),
                                      "--user",           m_user,
                                      "--password",       m_password,
                                      "--home",           home().string(),
                                      "--active",         m_options.active,
                                      "--host",           m_options.allAddresses ? "::" : "127.0.0.1"};
    if (!m_options.certificate.empty())
        command.insert(command.end(), {"--cert", m_options.certificate, "--key", m_options.key});
    m_process = std::make_unique<ChildProcess>(command, m_dir.file("ftp.log"));
    return m_process->waitForPort(m_port, std::chrono::seconds(15));
}

std::string FtpServer::url(const std::string& path) const
{
    return "ftp://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string FtpServer::readFile(const std::string& relativePath) const
{
    return ReadTextFile((home() / relativePath).string());
}

std::string FtpServer::logs() const
{
    return "--- FTP server log ---\n" + ReadTextFile(m_dir.file("ftp.log"));
}

void FtpServer::stop()
{
    if (m_process)
        m_process->stop();
}

} // namespace velt::testing
