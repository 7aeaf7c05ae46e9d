// Start-up shared by vexilo and vexilo-cad: text-only requests, translations, version.
#include "desktop/start_up.h"

#include "common/ui_text.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace vexilo::desktop {

QString version() {
    return QStringLiteral(VEXILO_VERSION);
}

bool asksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            return false;
        }
        for (const char* option : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(arg, option) == 0) {
                return true;
            }
        }
    }
    return false;
}

namespace {

std::string translateCoreText(const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
}

// Loads `name`_<language>.qm from `folder` for the system's UI languages and installs it.
void installCatalogue(QCoreApplication& application, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(), name, QStringLiteral("_"), folder)) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace

void installTranslations(QCoreApplication& application) {
    installCatalogue(application, QStringLiteral("qt"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    installCatalogue(application, QStringLiteral("vexilo"), QStringLiteral(":/i18n"));
    setTextTranslator(&translateCoreText);
}

} // namespace vexilo::desktop
