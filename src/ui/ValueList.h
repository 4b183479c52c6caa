#pragma once

// The main window's display texts: an ordered list of name=text entries that several windows
// read by name and that a language pack may replace.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The status panel's texts by name; each value is the number of its entry ("Stat0<number>").
enum TStatusText : int {
    stConnecting = 1,
    stWaitingForOpponentAnswer = 2,
    stWaitingForPlayer = 3,
    stOpponentPromoting = 4,
    stEngineStopped = 5,
};

class TValueList {
public:
    // The default entries, in their fixed order.
    TValueList();

    // The text of a name; empty for a name the list does not hold.
    QString Value(const QString& name) const;
    // Replaces the text of a name the list holds; answers whether it did.
    bool SetValue(const QString& name, const QString& text);
    // The text of a name with its ";" placeholders filled in order: the first takes the first
    // argument, the second the second, and any further one the last argument. A ";" inside an
    // argument stays.
    QString Format(const QString& name, const QStringList& arguments) const;
    int Count() const { return static_cast<int>(m_Entries.size()); }
    // Every entry as "name=text", in order.
    QStringList Strings() const;

    // The locale of the interface language, in which the windows write dates and times; the
    // system's until a language is applied.
    const QLocale& Locale() const { return m_Locale; }
    void SetLocale(const QLocale& locale) { m_Locale = locale; }

private:
    std::vector<std::pair<QString, QString>> m_Entries;
    QLocale m_Locale = QLocale::system();
};
