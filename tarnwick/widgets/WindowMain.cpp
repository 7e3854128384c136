// The window module's entries: window mode opens this library at run time
// (see tarnwick/program/WindowModule.h), so nothing else maps Qt Widgets.
#include "tarnwick/cycle/CycleServices.h"
#include "tarnwick/cycle/RedirectCycle.h"
#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/program/ProgramSession.h"
#include "tarnwick/program/WindowModule.h"
#include "tarnwick/widgets/common/QtTranslation.h"
#include "tarnwick/widgets/dialdialog/CDialProgressDlg.h"
#include "tarnwick/widgets/sheet/PropertySheetOpener.h"
#include "tarnwick/widgets/window/CRedirectMainDlg.h"

#include "platform/system/DisplayEnvironment.h"
#include "platform/window/TitleWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int
TarnwickWindowMain(tarnwick::CRedirectApp* program, platform::TitleWindow* title, bool pending, int argc, char** argv)
{
    if (!platform::HasDisplay()) {
        std::fprintf(stderr,
                     "tarnwick: Kein Bildschirm gefunden. Ohne Fenster: \"tarnwick --headless\" "
                     "(periodisch) oder \"tarnwick --once\" (ein Durchlauf).\n");
        return 1;
    }
    static int s_argc = argc; // QApplication keeps a reference for its whole life
    QApplication application(s_argc, argv);
    // The window hides into the notification area and message boxes come and go: neither ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    tarnwick::LoadQtGermanTranslation(&application);

    tarnwick::CRedirectApp& app = *program;
    int code = 0;
    {
        const std::unique_ptr<tarnwick::ProgramSession> session = tarnwick::StartProgramSession(app, *title);
        app.m_bPending = pending;
        tarnwick::CRedirectMainDlg window(*session);
        const std::shared_ptr<tarnwick::CycleServices> services = session->Services();
        services->LoadDialUp(); // the auto-dial page lists the provider's entries
        tarnwick::PropertySheetOpener sheetOpener(app, services);
        window.SetSettingsSheetOpener(&sheetOpener);
        // A cycle's dial shows its progress dialog over the main window.
        window.Cycle().SetDialDialog([&window, services](const tarnwick::DialRequest& request,
                                                         std::shared_ptr<tarnwick::DialProgress>& progress) {
            return tarnwick::RunDialProgressDialog(&window, services->m_rasFunctions, request, progress);
        });
        QObject::connect(&window, &tarnwick::CRedirectMainDlg::programEnded, &application,
                         [](int exitCode) { QCoreApplication::exit(exitCode); });
        window.Start();
        code = QApplication::exec();
    }
    title->Release();
    if (tarnwick::RedirectCycle::RunningWorkers() > 0) {
        // A worker still blocks in the network: end without tearing down what it might still use.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

extern "C" __attribute__((visibility("default"))) int TarnwickWindowlessNote(int argc, char** argv)
{
    static int s_argc = argc;
    QApplication application(s_argc, argv);
    tarnwick::LoadQtGermanTranslation(&application);
    QMessageBox::information(nullptr, QString::fromUtf8(tarnwick::kWindowlessNoteCaption),
                             QString::fromUtf8(tarnwick::kWindowlessNoteText));
    return 0;
}
