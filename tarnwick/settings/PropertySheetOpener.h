#pragma once

#include "tarnwick/window/SettingsSheetOpener.h"

namespace tarnwick {

class CRedirectApp;

// Opens CPropSheetRedirectProperties with what it needs of the application object.
class PropertySheetOpener final : public SettingsSheetOpener
{
public:
    explicit PropertySheetOpener(const CRedirectApp& app)
        : m_app(app)
    {
    }

    bool Run(QWidget* parent, const QString& title, int page, const CRedirectSettings& settings,
             CRedirectSettings& result) override;

private:
    const CRedirectApp& m_app;
};

} // namespace tarnwick
