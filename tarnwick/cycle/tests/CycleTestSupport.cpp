#include "tarnwick/cycle/tests/CycleTestSupport.h"

#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <thread>

namespace tarnwick::test {

void EnsureQtApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tarnwick_core_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration)
{
    PumpUntil([] { return false; }, duration);
}

bool IsStampedStatusLine(std::string_view line)
{
    constexpr std::string_view shape = "00.00.0000 00:00 - ";
    if (line.size() <= shape.size() || line.find('\r') != std::string_view::npos)
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == '0' ? !digit : line[i] != shape[i])
            return false;
    }
    return true;
}

std::string BuildProgramDirectory()
{
    const std::string program = TARNWICK_PROGRAM;
    return program.substr(0, program.rfind('/') + 1);
}

std::vector<std::string> RecordingView::Texts() const
{
    std::vector<std::string> texts;
    for (const std::string& line : lines) {
        const size_t separator = line.find(" - ");
        texts.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
    }
    return texts;
}

std::string RecordingView::Joined() const
{
    std::string joined;
    for (const std::string& text : Texts())
        joined += text + "\n";
    return joined;
}

std::string StoredLocalServerName()
{
    namespace reg = platform::registry;
    reg::HKEY key = nullptr;
    std::string value;
    if (reg::RegOpenKey(reg::Root::CurrentUser, "Software\\VELT\\Tarnwick", reg::Access::Read, &key) == reg::kSuccess) {
        reg::RegQueryString(key, "LocalServerName", &value);
        reg::RegCloseKey(key);
    }
    return value;
}

} // namespace tarnwick::test
