#include "tarnwick/settings/SettingsMerge.h"

#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/SettingsFieldTable.h"

#include <cstdlib>

namespace tarnwick {

void MergeStoredSettings(CRedirectSettings& live, const CRedirectSettings& base, const CRedirectSettings& stored)
{
    CRedirectSettings merged(stored);
    merged.SetModified(0);
    for (const SettingsField& field : SettingsFields()) {
        if (field.registryLoad == 0)
            continue; // written but never read back (LocalServerName): the stored record knows nothing of it
        const std::string own = field.get(live);
        if (own == field.get(base) || own == field.get(merged))
            continue;
        if (field.setText)
            field.setText(merged, own);
        else if (field.setNumber)
            field.setNumber(merged, static_cast<int>(std::strtol(own.c_str(), nullptr, 10)));
    }
    const bool ownAddress = live.GetLocalServerName() != base.GetLocalServerName();
    const int modified = merged.GetModified();
    merged.SetLocalServerName(live.GetLocalServerName());
    merged.SetModified(modified || ownAddress ? 1 : 0);
    live.CopyFrom(&merged);
}

} // namespace tarnwick
