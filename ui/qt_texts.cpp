#include "ui/qt_texts.h"

#include "text/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

QtTexts::~QtTexts()
{
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
}

bool QtTexts::use(UiLanguage language)
{
    if (installed_) {
        QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
    }
    const char* code = languageInfo(language).code;
    // Qt's texts are English already.
    if (QLatin1String(code) == QLatin1String("en"))
        return true;
    const QString name = QStringLiteral("qtbase_") + QLatin1String(code);
    const QStringList folders = {
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    for (const QString& folder : folders) {
        if (translator_.load(name, folder)) {
            installed_ = QCoreApplication::installTranslator(&translator_);
            return installed_;
        }
    }
    return false;
}
