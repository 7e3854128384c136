#pragma once

#include "tarnwick/widgets/sheet/CSettingsPage.h"

#include <memory>

namespace Ui {
class CPropPageBackupValues;
}

namespace tarnwick {

// The page "Sicherung/Programmupdate...": the backup file that OK writes,
// reading settings back from such a file, and starting the update starter.
class CPropPageBackupValues : public CSettingsPage
{
    Q_OBJECT

public:
    explicit CPropPageBackupValues(QWidget* parent = nullptr);
    ~CPropPageBackupValues() override;

    QString HelpTopic() const override { return QStringLiteral("OptionsBackupSetup.htm"); }
    void OnSetActive() override;

    // Starts kestrup from the program directory, detached; on success the
    // sheet closes as cancelled (edits dropped).
    void StartUpgrade();

protected:
    void OnInitDialog() override;

private:
    void Fill();
    void ChooseBackupFile();
    void ReadSettings();

    std::unique_ptr<Ui::CPropPageBackupValues> m_ui;
};

} // namespace tarnwick
