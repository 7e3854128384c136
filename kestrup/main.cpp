#include "kestrup/CKestrupApp.h"
#include "kestrup/CKestrupDlg.h"
#include "kestrup/KestrupArguments.h"
#include "kestrup/KestrupTexts.h"
#include "kestrup/KestrupUsage.h"
#include "kestrup/ProgramShutdown.h"
#include "platform/installer/InstallJournal.h"
#include "platform/system/DisplayEnvironment.h"
#include "platform/system/ProgramDirectory.h"
#include "tarnwick/resources/ServiceHost.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void LoadGermanQtTexts(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto text = kestrup::InfoOptionText(args)) {
        std::fputs(text->c_str(), stdout);
        return 0;
    }
    // A file size limit makes writes fail with EFBIG, which the installer
    // reports and rolls back, instead of ending the process on the spot.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string programDir = platform::ProgramDirectory();
    if (!programDir.empty()) {
        const std::string report = platform::installer::RecoverInterruptedInstall(programDir + "..");
        if (!report.empty())
            std::fprintf(stderr, "%s: %s\n", kestrup::kAppName, report.c_str());
    }
    kestrup::CKestrupApp kestrupApp;
    kestrupApp.Init(kestrup::JoinArguments(args), programDir, tarnwick::resources::ServiceHost());

    if (kestrupApp.QuitOnly()) {
        // No window; a message only when the program cannot be ended. Without
        // a display (a server with a headless Tarnwick) it goes to standard error.
        std::unique_ptr<QApplication> app;
        const bool ended = kestrup::QuitProgram(kestrupApp.m_strProgram, [&](const std::string& message) {
            if (!platform::HasDisplay()) {
                std::fprintf(stderr, "%s: %s\n", kestrup::kAppName, message.c_str());
                return;
            }
            if (!app) {
                app = std::make_unique<QApplication>(argc, argv);
                LoadGermanQtTexts(*app);
            }
            QMessageBox::critical(nullptr, QString::fromUtf8(kestrup::kAppName), kestrup::DisplayText(message));
        });
        return ended ? 0 : 1;
    }

    QApplication app(argc, argv);
    LoadGermanQtTexts(app);
    kestrup::CKestrupDlg dialog(kestrupApp);
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
