#pragma once

class QString;
class QWidget;

namespace tarnwick {

class CRedirectSettings;

// How the main window shows the settings sheet, which lives in a library
// above the window library: the window module hands an opener to the window.
class SettingsSheetOpener
{
public:
    // Shows the sheet modally over parent on the tab, editing a copy of
    // settings; true, with the edited copy in result, when confirmed with OK.
    virtual bool Run(QWidget* parent, const QString& title, int page, const CRedirectSettings& settings,
                     CRedirectSettings& result)
        = 0;

protected:
    ~SettingsSheetOpener() = default;
};

} // namespace tarnwick
