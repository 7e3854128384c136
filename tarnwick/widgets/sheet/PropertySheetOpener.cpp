#include "tarnwick/widgets/sheet/PropertySheetOpener.h"

#include "tarnwick/program/CRedirectApp.h"
#include "tarnwick/widgets/sheet/CPropSheetRedirectProperties.h"

namespace tarnwick {

bool PropertySheetOpener::Run(QWidget* parent, const QString& title, int page, const CRedirectSettings& settings,
                              CRedirectSettings& result)
{
    CPropSheetRedirectProperties sheet(title, parent, page,
                                       SheetEnvironment {m_app.m_strClientIpUrl, m_app.m_strProgramDir,
                                                         m_app.m_strTitle, m_app.m_strVersion, m_services});
    sheet.SetSettings(settings);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    result.CopyFrom(&sheet.Settings());
    return true;
}

} // namespace tarnwick
