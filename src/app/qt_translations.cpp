#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace pressory::app {

QStringList qtTranslationFolders() {
    return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QString installQtTranslations(QCoreApplication& app) {
    static const QString kCatalogue = QStringLiteral("qtbase_ja");
    for (const QString& folder : qtTranslationFolders()) {
        auto* translator = new QTranslator(&app);
        if (translator->load(kCatalogue, folder) && QCoreApplication::installTranslator(translator))
            return translator->filePath();
        delete translator;
    }
    return {};
}

}  // namespace pressory::app
