#include "tarnwick/settings/RedirectAddressNormalisation.h"

#include "platform/url/InternetUrl.h"
#include "tarnwick/settings/CRedirectSettings.h"

namespace tarnwick {

void NormaliseRedirectAddress(CRedirectSettings& settings)
{
    platform::InternetUrl url;
    if (!platform::ParseInternetUrl(settings.GetRedirectAddress(), url))
        return;
    settings.SetLocalServiceType(static_cast<int>(url.serviceType));
    settings.SetLocalWebObject(url.object);
    settings.SetLocalPort(url.port);
}

} // namespace tarnwick
