#pragma once

class QCoreApplication;

namespace tarnwick {

// Installs Qt's German translation (message box buttons, file dialogs, What's
// This) on the application whatever the user's locale: the program speaks
// German; the default locale becomes German too (dates and sizes). False
// when the translation is not installed; Qt's texts stay English then.
bool LoadQtGermanTranslation(QCoreApplication* application);

} // namespace tarnwick
