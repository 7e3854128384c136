#pragma once

#include "tarnwick/widgets/common/WhatsThisTexts.h"

// What's This texts of the settings pages' controls, by control id.
namespace tarnwick {

WhatsThisTable GeneralPageWhatsThis();
WhatsThisTable RedirectFromPageWhatsThis();
WhatsThisTable RedirectToPageWhatsThis();
WhatsThisTable UploadPageWhatsThis();
WhatsThisTable BackupPageWhatsThis();
WhatsThisTable AutoDialPageWhatsThis();
WhatsThisTable DnsNamePageWhatsThis();

} // namespace tarnwick
