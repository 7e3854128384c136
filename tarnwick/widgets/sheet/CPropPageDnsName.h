#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

class QLineEdit;

namespace Ui {
class CPropPageDnsName;
}

namespace tarnwick {

struct PublishedNameReport;

// The page "DNS-Name...": keeps a host name's address record current through
// an update service or the name's own DNS server, beside or instead of the
// redirect page; "Jetzt prüfen" shows what the name resolves to now.
class CPropPageDnsName : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageDnsName(QWidget* parent = nullptr);
    ~CPropPageDnsName() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsDnsName.htm"); }
    void OnSetActive() override;
    bool OnApply() override;

protected:
    void OnInitDialog() override;

private:
    void Fill();
    // Only the fields of the chosen kind take input; "aus" leaves all off.
    void EnableByKind();
    void OnKindChosen(int index);
    // Each text field hands its text to its setter (once the page is filled).
    void OnTextChanged(QLineEdit* field, void (CRedirectSettings::*setter)(std::string_view));
    // The first field whose value the command line would refuse too: its box, its focus.
    bool CheckValues();
    bool Refuse(QLineEdit* field, const std::string& text);
    void CheckNow();
    void OnChecked(const PublishedNameReport& report);

    std::unique_ptr<Ui::CPropPageDnsName> m_ui;
    bool m_bChecking = false;
};

} // namespace tarnwick
