#pragma once

#include "tarnwick/widgets/window/SettingsSheetOpener.h"

#include <memory>

namespace tarnwick {

class CRedirectApp;
class CycleServices;

// Opens CPropSheetRedirectProperties with what it needs of the application object.
class PropertySheetOpener final : public SettingsSheetOpener
{
public:
    PropertySheetOpener(const CRedirectApp& app, std::shared_ptr<CycleServices> services)
        : m_app(app)
        , m_services(std::move(services))
    {
    }

    bool Run(QWidget* parent, const QString& title, int page, const CRedirectSettings& settings,
             CRedirectSettings& result) override;

private:
    const CRedirectApp& m_app;
    std::shared_ptr<CycleServices> m_services;
};

} // namespace tarnwick
