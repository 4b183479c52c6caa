#include "UnitMessages.h"

#include <algorithm>
#include <iostream>
#include <set>

namespace {

const std::pair<const char*, const char*> DefaultMessages[] = {
    { "E0", "Error" },
    { "E1", "Cannot connect to the remote game!" },
    { "E2", "An error occurred on the network! The connection was terminated." },
    { "E3", "Could not add/remove the game in the list on the server!" },
    { "E4", "Could not access the game's version information on the server!" },
    { "E5", "You cannot undo one of your opponent's moves!" },
    { "E6", "You must enter your name(s)!" },
    { "E7", "You must enter the IP address of the host computer to connect to!" },
    { "E8", "Cannot retrieve the games list from the server!" },
    { "E9", "The computer has attempted an invalid move: ;!" },
    { "M0", "Message" },
    { "M1", "You already have the latest version of Wintermoot, no update is necessary." },
    { "M2", "Your opponent disconnected from the game." },
    { "M3", "The connection to the game has been lost." },
    { "M4", "; has forfeited the game." },
    { "M5", "You have forfeited the game." },
    { "M6", "; has won the game!" },
    { "M7", "The game is tied!" },
    { "Q0", "Question" },
    { "Q1", "A new version of Wintermoot is available! Do you want to download it now?" },
    { "Q2", "A game is in progress, do you really want to quit?" },
    { "Q3", "Your opponent wishes to undo the last move, do you accept?" },
    { "Q4", "A theme named \";\" already exists, do you want to replace it?" },
    { "Q5", "Do you really want to delete the theme named \";\"?" },
    { "Q6", "Do you really want to forfeit the game?" },
    { "E10", "Could not load the game from ;." },
    { "E11", "Could not save the game to ;." },
    { "E12",
        "The games history \";\" could not be read completely. The games that could be read are "
        "shown. Before the history is saved again, the file will be kept under another name." },
    { "E13",
        "The games history \";\" was written by a newer version of Wintermoot. It is left "
        "unchanged, and the games played now will not be kept." },
    { "E14",
        "Could not save \";\". Check that its folder exists and can be written. The program goes "
        "on without it." },
    { "E15",
        "The themes file \";\" could not be read. The shipped themes are offered instead. The "
        "file will be kept under another name before the themes are saved." },
    { "M8", "The file that could not be read was kept as \";\"." },
    { "M9", "The game is drawn: the same position has come up three times." },
    { "M10", "The game is drawn: fifty moves have been played without a capture or a pawn move." },
    { "M11", "The game is drawn: neither side has enough material left to checkmate." },
    { "E16",
        "The chess engine stopped playing: ;. The game was stopped. Its moves stay on the board, "
        "and it can still be saved." },
    { "E17", "Could not add the chess engine: ;. Only a program that speaks UCI can be added." },
    { "E18",
        "The game in progress \";\" could not be read and cannot be continued. The file will be "
        "kept under another name." },
    { "E19", "Could not read the PGN file \";\". Nothing was imported." },
    { "M12", "Games added to the history: ;. Games skipped: ;." },
    { "Q7",
        "A game was still in progress when Wintermoot last closed. Do you want to continue it?" },
    { "E20", "Could not open ;: the file cannot be read or holds no game that can be read." },
    { "E21", "The clipboard holds neither a position (FEN) nor a game (PGN)." },
    { "Q8", "A game is in progress. Do you want to stop it without a result and start another?" },
    { "E22",
        "A network game is open, so \";\" was not opened. Open it with \"Load...\" once the "
        "network game has ended." },
    { "M13",
        "Your opponent did not press \"I'm ready!\" in time and was disconnected. Your game "
        "waits for another player." },
    { "M14",
        "Version ; of Wintermoot is available, but the server gives no address to download it "
        "from. Look for it on the project's web site." },
    { "E23", "The program \";\" is already in the list of engines with the same arguments." },
    { "M15",
        "The position's castling rights \";\" cannot be: the king or the rook is not on its "
        "square. The game opens without them." },
};

class TStandardErrorPresenter : public TMessagePresenter {
public:
    int Present(
        const std::string& caption, const std::string& text, TMessageButtons buttons) override {
        std::cerr << caption << ": " << text << '\n';
        switch (buttons) {
        case mbOk:
            return idOk;
        case mbYesNo:
            return idNo;
        case mbYesNoCancel:
            return idCancel;
        }
        return idCancel;
    }
};

std::unique_ptr<TMessagePresenter>& Presenter() {
    static std::unique_ptr<TMessagePresenter> presenter
        = std::make_unique<TStandardErrorPresenter>();
    return presenter;
}

// The keys of the boxes with only OK that are on screen now (each box runs until it is closed).
std::set<std::string>& OkBoxesShown() {
    static std::set<std::string> keys;
    return keys;
}

int Show(char kind, unsigned number, unsigned last, const std::vector<std::string>& arguments,
    TMessageKind messageKind, TMessageButtons buttons) {
    const std::string prefix(1, kind);
    const std::string key = prefix + std::to_string(number);
    if (number < 1 || number > last || !Messages().Contains(key))
        return 0;
    // An error or notice asked for while a box of the same key is shown joins that box: a flood
    // of failed requests is one box, not a queue of them.
    if (buttons == mbOk && !OkBoxesShown().insert(key).second)
        return idOk;
    struct TShownKey {
        const std::string* Key;
        ~TShownKey() {
            if (Key)
                OkBoxesShown().erase(*Key);
        }
    } shown { buttons == mbOk ? &key : nullptr };
    const std::string caption = Messages().Text(prefix + "0");
    const std::string text = FillPlaceholders(Messages().Text(key), arguments);
    return Presenter()->Present(messageKind, caption, text, buttons);
}

int Show(char kind, unsigned number, unsigned last, const std::string& argument,
    TMessageKind messageKind, TMessageButtons buttons) {
    return Show(kind, number, last, std::vector<std::string> { argument }, messageKind, buttons);
}

} // namespace

TMessageTable::TMessageTable() {
    RestoreDefaults();
}

std::string TMessageTable::Text(const std::string& key) const {
    const auto it = std::find_if(
        m_Entries.begin(), m_Entries.end(), [&](const auto& e) { return e.first == key; });
    return it == m_Entries.end() ? std::string() : it->second;
}

bool TMessageTable::Contains(const std::string& key) const {
    return std::any_of(
        m_Entries.begin(), m_Entries.end(), [&](const auto& e) { return e.first == key; });
}

int MessageArguments(const std::string& key) {
    // The default texts are written with their callers: each has a place for every argument.
    for (const auto& [name, text] : DefaultMessages) {
        if (key == name)
            return PlaceholderCount(text);
    }
    return 0;
}

int PlaceholderCount(const std::string& text) {
    int count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';')
            continue;
        if (i + 1 < text.size() && text[i + 1] == ';')
            ++i;
        else
            ++count;
    }
    return count;
}

bool TMessageTable::Replace(const std::string& key, const std::string& text) {
    // A text with more or fewer places for arguments than its callers give (such as an older
    // translation with a ";" of its own) would show garbled: the default stays.
    if (text.empty() || PlaceholderCount(text) != MessageArguments(key))
        return false;
    const auto it = std::find_if(
        m_Entries.begin(), m_Entries.end(), [&](const auto& e) { return e.first == key; });
    if (it == m_Entries.end())
        return false;
    it->second = text;
    return true;
}

void TMessageTable::RestoreDefaults() {
    m_Entries.clear();
    for (const auto& [key, text] : DefaultMessages)
        m_Entries.emplace_back(key, text);
}

TMessageTable& Messages() {
    static TMessageTable table;
    return table;
}

std::unique_ptr<TMessagePresenter> SetMessagePresenter(
    std::unique_ptr<TMessagePresenter> presenter) {
    if (!presenter)
        presenter = std::make_unique<TStandardErrorPresenter>();
    std::swap(Presenter(), presenter);
    return presenter;
}

std::string FillPlaceholders(const std::string& text, const std::string& argument) {
    std::string result;
    result.reserve(text.size() + argument.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';')
            result += text[i];
        else if (i + 1 < text.size() && text[i + 1] == ';')
            result += text[i++];
        else
            result += argument;
    }
    return result;
}

std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& arguments) {
    std::string result;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';') {
            result += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == ';') {
            result += text[i++];
        } else if (!arguments.empty()) {
            result += arguments[std::min(next, arguments.size() - 1)];
            ++next;
        }
    }
    return result;
}

void ShowNoticeWith(unsigned number, const std::vector<std::string>& arguments) {
    Show('M', number, LastNotice, arguments, mkNotice, mbOk);
}

void ShowError(unsigned number, const std::string& argument) {
    Show('E', number, LastError, argument, mkError, mbOk);
}

void ShowNotice(unsigned number, const std::string& argument) {
    Show('M', number, LastNotice, argument, mkNotice, mbOk);
}

int AskQuestion(unsigned number, const std::string& argument, bool WithCancel) {
    return Show(
        'Q', number, LastQuestion, argument, mkQuestion, WithCancel ? mbYesNoCancel : mbYesNo);
}
