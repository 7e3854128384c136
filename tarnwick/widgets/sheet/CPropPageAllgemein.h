#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageAllgemein;
}

namespace tarnwick {

// The page "Allgemein": extended status messages, the client address from
// the maker's address service (with a connection test) and the interval of
// periodic redirecting.
class CPropPageAllgemein : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageAllgemein(QWidget* parent = nullptr);
    ~CPropPageAllgemein() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsAllgemein.htm"); }

    // Button 1071: asks the address service and says whether it answered.
    void TestConnection();

protected:
    void OnInitDialog() override;

private:
    void Fill();

    std::unique_ptr<Ui::CPropPageAllgemein> m_ui;
};

} // namespace tarnwick
