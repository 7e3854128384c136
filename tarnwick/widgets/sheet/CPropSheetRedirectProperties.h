#pragma once

#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/widgets/sheet/SheetEnvironment.h"

#include <QDialog>

#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace tarnwick {

class CPropPageAllgemein;
class CPropPageAutoDial;
class CPropPageBackupValues;
class CPropPageDnsName;
class CPropPageRedirectFrom;
class CPropPageRedirectTo;
class CPropPageUpload;
class CSettingsPage;

// The modal settings sheet: the pages as tabs, OK / Abbrechen / Hilfe, no
// Apply. It edits its own copy of the settings record; OK is enabled exactly
// while the copy is modified, and OK asks each page that was shown, in tab
// order, whether it accepts; a refusing page keeps the sheet open on itself.
class CPropSheetRedirectProperties : public QDialog
{
    Q_OBJECT

public:
    // Tab indexes: 0 general, 1 redirect-from, 2 redirect-to, 3 upload, 4 backup, 5 auto-dial, 6 DNS name.
    enum Page { kGeneral = 0, kRedirectFrom, kRedirectTo, kUpload, kBackup, kAutoDial, kDnsName };

    CPropSheetRedirectProperties(const QString& title, QWidget* parent, int startPage, SheetEnvironment environment);
    ~CPropSheetRedirectProperties() override;

    // Copies the record (Modified included) and points every page at the copy.
    void SetSettings(const CRedirectSettings& settings);
    CRedirectSettings& Settings() { return m_settings; }
    const SheetEnvironment& Environment() const { return m_environment; }

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CSettingsPage* GetPage(int index) const;
    int GetActiveIndex() const;
    void SetActivePage(int index);
    void SetActivePage(CSettingsPage* page);

    void EnableOk(bool enable);
    QPushButton* OkButton() const { return m_ok; }

    // Closes the sheet as if Abbrechen were pressed, once the caller has returned.
    void PostCancel();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Activate(int index);

    SheetEnvironment m_environment;
    CRedirectSettings m_settings;
    CPropPageAllgemein* m_general = nullptr;
    CPropPageAutoDial* m_autoDial = nullptr;
    CPropPageRedirectFrom* m_redirectFrom = nullptr;
    CPropPageRedirectTo* m_redirectTo = nullptr;
    CPropPageUpload* m_upload = nullptr;
    CPropPageBackupValues* m_backup = nullptr;
    CPropPageDnsName* m_dnsName = nullptr;
    std::vector<CSettingsPage*> m_pages; // in tab order
    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QPushButton* m_ok = nullptr;
    int m_startPage = 0;
    bool m_shown = false;
};

} // namespace tarnwick
