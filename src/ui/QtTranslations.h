#pragma once

// Qt's own texts (the standard buttons "Yes", "No", "Cancel", the file dialogs) in the language
// of the interface: Qt's translation files, as the system ships them, for the language that a
// language pack names.

#include <QLocale>
#include <QString>

#include <memory>

class QTranslator;

// The language named as language packs name it, in its own language ("Français") or in English
// ("French"); AnyLanguage when no language has that name.
QLocale::Language LanguageOfName(const QString& languageName);

// The two-letter code of a language named as language packs name it, in its own language
// ("Français") or in English ("French"); empty when no language has that name.
QString LanguageCode(const QString& languageName);

class TQtTranslations {
public:
    TQtTranslations();
    ~TQtTranslations();

    // Installs Qt's translation for the named language from `folder` (Qt's own translations
    // folder when empty) in place of the one installed before; English, or a language Qt has no
    // translation for, leaves Qt's English texts. Answers whether a translation is installed.
    bool Apply(const QString& languageName, const QString& folder = QString());

private:
    std::unique_ptr<QTranslator> m_Translator;
};
