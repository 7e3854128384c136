#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageAutoDial;
}

namespace tarnwick {

struct RasFunctionTable;

// The page "Anwahl...": automatic dialling on or off, the dial-up entry a
// cycle dials when the server cannot be reached, its user name and
// password, and a test of the whole chain (dial, then reach the server).
class CPropPageAutoDial : public CSettingsPage
{
    Q_OBJECT

public:
    // The fixed first list item: no entry of its own, the platform dials.
    static constexpr const char* kStandardConnectionItem
        = "nur MS IE-Standardverbindung (Voraussetzung: automatische Anwahl aktiviert)";

    explicit CPropPageAutoDial(QWidget* parent = nullptr);
    ~CPropPageAutoDial() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsAutodial.htm"); }
    void OnSetActive() override;

    void UpdateControls();
    // The fixed item plus the provider's entries; true when the list holds an item.
    bool FillEntryList();
    void OnAutoDial(bool checked);
    void OnSelectConnection(int index);
    // Button 1062: dial the chosen entry and check the server afterwards.
    void OnTestDial();

protected:
    void OnInitDialog() override;

private:
    void EnableCredentials(bool enable);
    const RasFunctionTable& RasFunctions() const;

    std::unique_ptr<Ui::CPropPageAutoDial> m_ui;
    bool m_bJustFilled = false;
};

} // namespace tarnwick
