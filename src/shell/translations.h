#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

namespace tavix {

/// The translations of Tavix and of Qt itself for one locale, installed on the application for as
/// long as this object lives. A locale without translations leaves the English texts.
/// Main thread only; make it before the first window, whose texts are set when it is built.
class Translations {
public:
    explicit Translations(const QLocale& locale);

    /// Whether Tavix's own texts are translated (Qt's may be even when they are not).
    bool translatesTavix() const { return m_translatesTavix; }

private:
    bool install(const QLocale& locale, const QString& name, const QString& folder);

    std::vector<std::unique_ptr<QTranslator>> m_translators;
    bool m_translatesTavix = false;
};

} // namespace tavix
