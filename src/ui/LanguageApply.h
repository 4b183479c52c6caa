#pragma once

// Applying a language pack to the windows, the display texts and the message table, and finding
// the language files. A pack only replaces texts: what it does not hold keeps its current text.

#include "LanguagePack.h"

#include <QList>
#include <QLocale>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>

class QWidget;
class TMessageTable;
class TValueList;

// Applies the section named by the form's objectName to the form and the named widgets, actions
// and menus inside it. The pair keyed by the form's own name sets the window title, even when
// empty; other pairs with an empty text change nothing. Labels, buttons, check boxes and group
// boxes take their text; a QTabWidget's page takes its tab title by the page's objectName; actions
// take their text and menus their title. Combo and list boxes take ";"-separated items and keep
// the selected index when it still exists (item data and check marks stay with their index);
// tables take ";"-separated horizontal header labels from column 0 on. Other forms embedded in
// this one (a docked window) are left to their own sections.
void TranslateForm(const TLangPack& pack, QWidget* form);
// Sets each entry of the list whose name has a non-empty text in the section; adds nothing.
void TranslateList(const TLangPack& pack, const std::string& section, TValueList& values);
// The same for the message table, from the section "messages".
void TranslateMessages(const TLangPack& pack, TMessageTable& messages);

// The locale of a language pack's language, found by its name as the pack gives it (in the
// language itself, "Français", or in English, "French"): the system's locale when the system
// speaks that language (its own date formats), else the language's main locale. The system's
// locale for a name Qt does not know; English keeps a system locale of "C".
QLocale LocaleOfLanguage(const QString& languageName);

// The folders language files are looked up in, most specific first: the user's data folder, then
// the folders of the shipped data.
QStringList LanguageFolders();
// The full path of a LanguageFile setting: a relative name against LanguageFolders(), an absolute
// path as it is; empty when no such file exists.
QString ResolveLanguageFile(const QString& name);
// Every *.lang file of LanguageFolders() as (language name, bare file name), each file name once
// (the most specific folder wins), sorted by file name within a folder. A file whose header
// cannot be read is listed under its file name without the extension.
QList<QPair<QString, QString>> ListLanguages();
