#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageAllgemein;
}

namespace tarnwick {

// The page "Allgemein": extended status messages, the client address from
// the maker's address service (its host, with a connection test) and the
// interval of periodic redirecting.
class CPropPageAllgemein : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageAllgemein(QWidget* parent = nullptr);
    ~CPropPageAllgemein() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsAllgemein.htm"); }

    // Button 1071: asks the address service and says whether it answered
    // (the host typed in 1075, when it is well-formed).
    void TestConnection();
    void OnConnectionTested(bool reached);
    // The sheet's OK, once every page took its values: stores the host of
    // 1075 when it was edited (empty = the built-in host). False when it
    // could not be stored (said in a message).
    bool StoreServiceHost();
    bool OnApply() override;

protected:
    void OnInitDialog() override;

private:
    void Fill();
    // The typed host without surrounding blanks.
    std::string TypedServiceHost() const;

    std::unique_ptr<Ui::CPropPageAllgemein> m_ui;
    bool m_bServiceHostEdited = false; // the host is not part of the record: the page keeps it until OK
    bool m_bTesting = false; // a connection test runs
};

} // namespace tarnwick
