#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageRedirectFrom;
}

namespace tarnwick {

// The page "Umleitung von...": the fixed address of the redirect page,
// which must name the page's file, and a button that opens it in the browser.
class CPropPageRedirectFrom : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageRedirectFrom(QWidget* parent = nullptr);
    ~CPropPageRedirectFrom() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsRedirectFrom.htm"); }
    void OnSetActive() override;
    bool OnApply() override;

protected:
    void OnInitDialog() override;

private:
    void Fill();
    void BrowserTest();

    std::unique_ptr<Ui::CPropPageRedirectFrom> m_ui;
};

} // namespace tarnwick
