#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageRedirectTo;
}

namespace tarnwick {

// The page "Umleitung nach...": protocol, subdirectory and port of the local
// server that the redirect page leads to, the resulting redirect address and
// the test whether a server answers there (on request, after changes while
// "lokalen Server prüfen" is ticked, and always at OK).
class CPropPageRedirectTo : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageRedirectTo(QWidget* parent = nullptr);
    ~CPropPageRedirectTo() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsRedirectTo.htm"); }
    void OnSetActive() override;
    bool OnApply() override;

    // The local server test; without forced only when 1038 is ticked.
    bool TestLocalServer(bool forced);
    // How many tests have run to the component (for tests of the page).
    int TestsRun() const { return m_testsRun; }

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill();
    void RefreshRedirectAddress();
    void OnProtocolChosen(int index);
    void OnPortChanged(const QString& text);
    void OnFamilyChosen(int index);
    void OnInterfaceIdChanged(const QString& text);
    void BrowserTest();

    std::unique_ptr<Ui::CPropPageRedirectTo> m_ui;
    int m_testsRun = 0;
};

} // namespace tarnwick
