#include "ValueList.h"

#include <algorithm>

TValueList::TValueList()
    : m_Entries {
        { "Pieces", "PNRBQK" },
        { "Res01", "Not ready!" },
        { "Res02", "Ready!" },
        { "Res03", "Check!" },
        { "Res04", "Checkmate!" },
        { "Res05", "Stalemate!" },
        { "Res06", "Unfinished" },
        { "Res07", "Black won" },
        { "Res08", "White won" },
        { "Res09", "Black forfeited" },
        { "Res10", "White forfeited" },
        { "Res11", "Draw" },
        { "Res12", "Repetition!" },
        { "Res13", "50-move rule!" },
        { "Res14", "No mate possible!" },
        { "Stat01", "Connecting to game..." },
        { "Stat02", "Waiting for your opponent's response..." },
        { "Stat03", "Waiting for a player to connect..." },
        { "Stat04", "Your opponent's pawn is promoted! Please wait..." },
        { "Stat05", "The engine stopped playing." },
        { "Val01", "Background color" },
        { "Val02", "Current player color" },
        { "Val03", "Border color" },
        { "Val04", "Text color" },
        { "Val05", "White case color" },
        { "Val06", "Black case color" },
        { "Val07", "Current case color" },
        { "Val08", "Selected case color" },
        { "Val09", "Valid move color" },
        { "Val10", "Invalid move color" },
        { "Val11", "Last move color" },
        { "Val12", "Thinking..." },
        { "Val13",
            "\";\" is not a colour: red (;) is above 255. Each of red, green and blue must be "
            "0 to 255, as in 255,128,0." },
        { "Val14",
            "\";\" is not a colour: green (;) is above 255. Each of red, green and blue must "
            "be 0 to 255, as in 255,128,0." },
        { "Val15",
            "\";\" is not a colour: blue (;) is above 255. Each of red, green and blue must "
            "be 0 to 255, as in 255,128,0." },
        { "Val16", "depth ;" },
        { "Name01", "White" },
        { "Name02", "Black" },
        { "Prog01", "Reading \";\"..." },
    } { }

QString TValueList::Value(const QString& name) const {
    for (const auto& [key, text] : m_Entries)
        if (key == name)
            return text;
    return {};
}

bool TValueList::SetValue(const QString& name, const QString& text) {
    for (auto& [key, value] : m_Entries) {
        if (key == name) {
            value = text;
            return true;
        }
    }
    return false;
}

QString TValueList::Format(const QString& name, const QStringList& arguments) const {
    const QString text = Value(name);
    QString result;
    qsizetype used = 0;
    for (const QChar c : text) {
        if (c != QLatin1Char(';')) {
            result += c;
            continue;
        }
        if (!arguments.isEmpty())
            result += arguments.at(std::min(used, arguments.size() - 1));
        ++used;
    }
    return result;
}

QStringList TValueList::Strings() const {
    QStringList list;
    for (const auto& [key, text] : m_Entries)
        list << key + '=' + text;
    return list;
}
