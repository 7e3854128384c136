#pragma once

#include "platform/installer/PackageInstaller.h"

#include <QDialog>

#include <functional>

namespace Ui {
class CInstallProgressDlg;
}

namespace kestrup {

// The installer's reduced user interface: what the installation does, a
// progress bar and "Abbrechen". Observer calls arrive from the installing
// thread and are shown on the user-interface thread.
class CInstallProgressDlg : public QDialog, public platform::installer::InstallObserver
{
public:
    CInstallProgressDlg(std::function<void()> cancel, QWidget* parent = nullptr);
    ~CInstallProgressDlg() override;

    void OnStage(platform::installer::InstallStage stage) override;
    void OnInternetStatus(uint32_t code, const std::string& info) override;
    void OnDownloadProgress(uint64_t received, uint64_t total) override;

    void reject() override;

private:
    void Show(const QString& text);

    Ui::CInstallProgressDlg* m_ui;
    std::function<void()> m_cancel;
};

} // namespace kestrup
