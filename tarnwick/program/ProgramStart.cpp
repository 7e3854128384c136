#include "tarnwick/program/ProgramStart.h"

#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/HeadlessRunner.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/program/SingleInstance.h"
#include "tarnwick/program/StartWords.h"
#include "tarnwick/program/WindowModule.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace tarnwick {

namespace {

int StartFailed(const std::string& error)
{
    std::fprintf(stderr, "tarnwick: Tarnwick konnte nicht gestartet werden: %s\n", error.c_str());
    return kExitStartFailed;
}

// The window module, or null with the reason in error. It stays loaded for
// the rest of the process.
void* OpenWindowModule(const std::string& programDirectory, std::string* error)
{
    for (const std::string& path : WindowModuleCandidates(programDirectory)) {
        if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return module;
        const char* reason = ::dlerror();
        // A module that is there but does not load is worth naming; a missing one is only the next try.
        if (reason && std::string(reason).find("No such file") == std::string::npos) {
            *error = reason;
            return nullptr;
        }
    }
    *error = "Der Fensterbetrieb ist in dieser Ausgabe nicht enthalten. Ohne Fenster: \"tarnwick --headless\" "
             "(periodisch) oder \"tarnwick --once\" (ein Durchlauf).";
    return nullptr;
}

// A desktop start while the windowless instance runs: nothing to bring to the front, so say where it is.
int ShowWindowlessNote(const std::string& programDirectory, int argc, char** argv)
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    std::string error;
    if (set("DISPLAY") || set("WAYLAND_DISPLAY")) {
        if (void* module = OpenWindowModule(programDirectory, &error)) {
            if (auto note = reinterpret_cast<TarnwickWindowlessNoteFn>(::dlsym(module, kWindowlessNoteSymbol)))
                return note(argc, argv);
        }
    }
    std::fprintf(stderr, "tarnwick: %s\n", kWindowlessNoteText);
    return 0;
}

// A later plain start: the running instance comes to the front and gets the
// command. A command that did not arrive is said, and the exit code shows it.
int ForwardToRunningInstance(platform::RemoteWindow& running, const StartWords& words, const CRedirectApp& app,
                             int argc, char** argv)
{
    bool sent = running.BringToFront();
    if (words.quit)
        sent = running.PostMessage(WM_QUIT, 0, 0) && sent;
    else if (words.execNow)
        sent = running.PostMessage(WM_EXECUTE_NOW, 0, 0) && sent;
    else if (!words.pending && platform::RemoteWindow::Find(WindowlessMarkerTitle(app.m_strTitle)))
        return ShowWindowlessNote(app.m_strProgramDir, argc, argv);
    if (sent && running.Confirm())
        return 0;
    std::fprintf(stderr, "tarnwick: Die laufende Tarnwick-Instanz hat die Nachricht nicht rechtzeitig angenommen.\n");
    return kExitStartFailed;
}

} // namespace

int RunWindowless(int argc, char** argv, bool once)
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
                     once ? "tarnwick: Tarnwick läuft bereits; ein zweiter Durchlauf wird nicht gestartet.\n"
                          : "tarnwick: Tarnwick läuft bereits.\n");
        return kExitAlreadyRunning;
    case SingleInstance::Result::Failed:
        return StartFailed(error);
    case SingleInstance::Result::First:
        break;
    }
    platform::TitleWindow marker;
    if (!once)
        marker.Claim(WindowlessMarkerTitle(app.m_strTitle));
    int code = 0;
    {
        const std::unique_ptr<ProgramSession> session = StartProgramSession(app, instance.Title());
        HeadlessRunner runner(*session, once ? HeadlessRunner::Mode::Once : HeadlessRunner::Mode::Periodic);
        code = runner.Run();
    }
    instance.Title().Release();
    marker.Release();
    if (RedirectCycle::RunningWorkers() > 0) {
        // A worker still blocks in the network: end without tearing down what it might still use.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

int RunWindowProgram(int argc, char** argv)
{
    const StartWords words = ParseStartWords(JoinCommandLine(argc, argv));
    CRedirectApp app;
    app.InitApplication();
    SingleInstance instance;
    std::string error;
    switch (instance.Start(app.m_strTitle, &error)) {
    case SingleInstance::Result::Running:
        return ForwardToRunningInstance(instance.Running(), words, app, argc, argv);
    case SingleInstance::Result::Failed:
        return StartFailed(error);
    case SingleInstance::Result::First:
        break;
    }
    void* module = OpenWindowModule(app.m_strProgramDir, &error);
    auto windowMain = module ? reinterpret_cast<TarnwickWindowMainFn>(::dlsym(module, kWindowMainSymbol)) : nullptr;
    if (!windowMain) {
        std::fprintf(stderr, "tarnwick: %s\n", error.empty() ? "Das Fenstermodul ist unvollständig." : error.c_str());
        return kExitStartFailed;
    }
    // The module shares this process's logic library: it runs the window over this application object.
    return windowMain(&app, &instance.Title(), words.pending, argc, argv);
}

} // namespace tarnwick
