#pragma once

#include "tarnwick/widgets/common/WhatsThisTexts.h"

#include <QWidget>

class QLineEdit;

namespace tarnwick {

class CPropSheetRedirectProperties;
class CRedirectSettings;
class CycleServices;

// What every page of the settings sheet shares: the pointer to the sheet's
// settings copy, the m_bInitialized guard that keeps the filling of the
// controls from counting as a change, OK enabled exactly while the copy is
// modified, and the page's help topic for F1, the context menu and Help.
class CSettingsPage : public QWidget
{
    Q_OBJECT

public:
    explicit CSettingsPage(QWidget* parent = nullptr);

    // Stores the pointer and clears m_bInitialized.
    void SetSettings(CRedirectSettings* settings);
    void SetSheet(CPropSheetRedirectProperties* sheet) { m_sheet = sheet; }

    // The sheet calls these: initialisation once when the tab is first
    // shown, activation each time it is shown, acceptance at OK for each
    // page that was shown (false keeps the sheet open).
    void Create();
    bool IsCreated() const { return m_created; }
    virtual void OnSetActive() { }
    virtual bool OnApply() { return true; }

    virtual QString HelpTopic() const = 0;
    void ShowHelp();

protected:
    virtual void OnInitDialog() = 0;
    // The texts of the page's What's This table on its controls.
    void ApplyPageWhatsThis(WhatsThisTable table);
    // Enables the sheet's OK button exactly while the copy is modified.
    void UpdateModified();
    // Lets only digits into a field (typed or pasted).
    static void MakeDigitsOnly(QLineEdit* field);
    // Makes this page the sheet's current tab (a refusing page does).
    void ActivateSelf();
    CPropSheetRedirectProperties* Sheet() const { return m_sheet; }
    // The running program's transfer object and dial-up functions.
    CycleServices& Services() const;
    void contextMenuEvent(QContextMenuEvent* event) override;

    bool m_bInitialized = false;
    CRedirectSettings* m_pSettings = nullptr;

private:
    CPropSheetRedirectProperties* m_sheet = nullptr;
    bool m_created = false;
};

} // namespace tarnwick
