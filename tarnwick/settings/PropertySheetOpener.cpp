#include "tarnwick/settings/PropertySheetOpener.h"

#include "tarnwick/core/CRedirectApp.h"
#include "tarnwick/settings/CPropSheetRedirectProperties.h"

namespace tarnwick {

bool PropertySheetOpener::Run(QWidget* parent, const QString& title, int page, const CRedirectSettings& settings,
                              CRedirectSettings& result)
{
    CPropSheetRedirectProperties sheet(
        title, parent, page,
        SheetEnvironment {m_app.m_strClientIpUrl, m_app.m_strProgramDir, m_app.m_strTitle, m_app.m_strVersion});
    sheet.SetSettings(settings);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    result.CopyFrom(&sheet.Settings());
    return true;
}

} // namespace tarnwick
