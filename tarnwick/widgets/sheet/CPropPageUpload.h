#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageUpload;
}

namespace tarnwick {

// The page "Hochladen...": the page template, the upload's protocol (and
// whether it runs over TLS), server, port and directory, the user name and the
// password with its confirmation.
class CPropPageUpload : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageUpload(QWidget* parent = nullptr);
    ~CPropPageUpload() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsUpload.htm"); }
    void OnSetActive() override;
    bool OnApply() override;

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill();
    // The confirmation against the stored password; a mismatch says so.
    bool CheckPassword();
    void ChooseTemplate();
    void OnProtocolChosen(int index);
    void OnTlsChosen(bool checked);
    // Each text field hands its text to its setter (once the page is filled).
    void OnTextChanged(QLineEdit* field, void (CRedirectSettings::*setter)(std::string_view));

    std::unique_ptr<Ui::CPropPageUpload> m_ui;
};

} // namespace tarnwick
