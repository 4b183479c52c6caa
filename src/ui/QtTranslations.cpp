#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QLocale::Language LanguageOfName(const QString& languageName) {
    const QString name = languageName.trimmed();
    if (name.isEmpty())
        return QLocale::AnyLanguage;
    const QList<QLocale> locales
        = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale& locale : locales) {
        if (locale.language() == QLocale::C)
            continue;
        if (locale.nativeLanguageName().compare(name, Qt::CaseInsensitive) == 0
            || QLocale::languageToString(locale.language()).compare(name, Qt::CaseInsensitive) == 0)
            return locale.language();
    }
    return QLocale::AnyLanguage;
}

QString LanguageCode(const QString& languageName) {
    const QLocale::Language language = LanguageOfName(languageName);
    if (language == QLocale::AnyLanguage)
        return {};
    return QLocale::languageToCode(language, QLocale::ISO639Part1);
}

TQtTranslations::TQtTranslations() = default;

TQtTranslations::~TQtTranslations() {
    if (m_Translator)
        QCoreApplication::removeTranslator(m_Translator.get());
}

bool TQtTranslations::Apply(const QString& languageName, const QString& folder) {
    if (m_Translator) {
        QCoreApplication::removeTranslator(m_Translator.get());
        m_Translator.reset();
    }
    const QString code = LanguageCode(languageName);
    if (code.isEmpty() || code == QLatin1String("en"))
        return false;
    auto translator = std::make_unique<QTranslator>();
    const QString from
        = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!translator->load(QStringLiteral("qtbase_") + code, from))
        return false;
    QCoreApplication::installTranslator(translator.get());
    m_Translator = std::move(translator);
    return true;
}
