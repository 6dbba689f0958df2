#include "ui/platform/qt_translations.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace sorvin {

QTranslator* QtTranslations::install(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qt_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    application.installTranslator(translator);
    return translator;
}

} // namespace sorvin
