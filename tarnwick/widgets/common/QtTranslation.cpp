#include "tarnwick/widgets/common/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarnwick {

bool LoadQtGermanTranslation(QCoreApplication* application)
{
    if (!application)
        return false;
    auto* translator = new QTranslator(application);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace tarnwick
