#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace tavix {

Translations::Translations(const QLocale& locale) {
    // Qt's own texts (standard buttons, the colour dialog, the menus of text fields) come from the
    // system's Qt translations, where the distribution has them installed.
    install(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // Ours are compiled into the binary, so a build runs translated from wherever it lies.
    m_translatesTavix = install(locale, QStringLiteral("tavix"), QStringLiteral(":/i18n"));
}

bool Translations::install(const QLocale& locale, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) {
        return false;
    }
    // A translator takes itself off the application when it is destroyed.
    QCoreApplication::installTranslator(translator.get());
    m_translators.push_back(std::move(translator));
    return true;
}

} // namespace tavix
