#include "tarnwick/core/ProgramStart.h"

#include "tarnwick/core/CRedirectApp.h"
#include "tarnwick/core/HeadlessRunner.h"
#include "tarnwick/core/RedirectCycle.h"
#include "tarnwick/core/SingleInstance.h"
#include "tarnwick/core/StartWords.h"
#include "tarnwick/messages/WindowMessages.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tarnwick {

namespace {

WindowProgram g_windowProgram = nullptr;

int Usage(const char* message)
{
    std::fprintf(stderr, "tarnwick: %s\n", message);
    return 2;
}

int StartFailed(const std::string& error)
{
    std::fprintf(stderr, "tarnwick: Tarnwick konnte nicht gestartet werden: %s\n", error.c_str());
    return kExitStartFailed;
}

// A second plain start: the running instance comes to the front and gets the
// command. A command that did not arrive is said, and the exit code shows it.
int ForwardToRunningInstance(platform::RemoteWindow& running, const StartWords& words)
{
    bool sent = running.BringToFront();
    if (words.quit)
        sent = running.PostMessage(WM_QUIT, 0, 0) && sent;
    else if (words.execNow)
        sent = running.PostMessage(WM_EXECUTE_NOW, 0, 0) && sent;
    if (sent && running.Confirm())
        return 0;
    std::fprintf(stderr, "tarnwick: Die laufende Tarnwick-Instanz hat die Nachricht nicht rechtzeitig angenommen.\n");
    return kExitStartFailed;
}

int RunWindowless(int argc, char** argv, HeadlessRunner::Mode mode)
{
    // A reader of the status lines that goes away (a closed pipe) must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    CRedirectApp app;
    app.InitApplication();
    SingleInstance instance;
    std::string error;
    switch (instance.Start(app.m_strTitle, &error)) {
    case SingleInstance::Result::Running:
        std::fprintf(stderr,
                     mode == HeadlessRunner::Mode::Once ? "tarnwick: Tarnwick läuft bereits; ein zweiter "
                                                          "Durchlauf wird nicht gestartet.\n"
                                                        : "tarnwick: Tarnwick läuft bereits.\n");
        return kExitAlreadyRunning;
    case SingleInstance::Result::Failed:
        return StartFailed(error);
    case SingleInstance::Result::First:
        break;
    }
    app.LoadFirstInstanceState();
    int code = 0;
    {
        HeadlessRunner runner(app, instance.Title(), mode);
        code = runner.Run();
    }
    instance.Title().Release();
    if (RedirectCycle::RunningWorkers() > 0) {
        // A worker still blocks in the network: end without tearing down
        // what it might still use.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

} // namespace

void SetWindowProgram(WindowProgram program)
{
    g_windowProgram = program;
}

bool IsStartOption(const std::string& argument)
{
    return argument == "--headless" || argument == "--once";
}

int RunTarnwick(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (!IsStartOption(arg))
            continue;
        if (args.size() != 1)
            return Usage("--headless und --once werden allein angegeben.");
        return RunWindowless(argc, argv, arg == "--once" ? HeadlessRunner::Mode::Once : HeadlessRunner::Mode::Periodic);
    }

    const StartWords words = ParseStartWords(JoinCommandLine(argc, argv));
    CRedirectApp app;
    app.InitApplication();
    SingleInstance instance;
    std::string error;
    switch (instance.Start(app.m_strTitle, &error)) {
    case SingleInstance::Result::Running:
        return ForwardToRunningInstance(instance.Running(), words);
    case SingleInstance::Result::Failed:
        return StartFailed(error);
    case SingleInstance::Result::First:
        break;
    }
    if (!g_windowProgram) {
        return Usage("Der Fensterbetrieb ist in dieser Ausgabe nicht enthalten. "
                     "Ohne Fenster: \"tarnwick --headless\" (periodisch) oder "
                     "\"tarnwick --once\" (ein Durchlauf).");
    }
    app.LoadFirstInstanceState();
    app.m_bPending = words.pending;
    return g_windowProgram(app, instance, argc, argv);
}

} // namespace tarnwick
