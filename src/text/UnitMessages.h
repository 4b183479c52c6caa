#pragma once

// The keyed table of every error, notice and question the program shows, and the three
// operations that show them. Keys are E, M or Q followed by a number; entry 0 of each kind is the
// caption of its box. A ";" in a text marks where the caller's argument goes, and ";;" stands for
// a ";" itself. The boxes are shown through a presenter that the window layer installs. Main
// thread only.

#include <memory>
#include <string>
#include <utility>
#include <vector>

// The errors by name; each value is the number of its key ("E<number>"), which language files
// rely on, so a value never changes and a new message takes the next free number.
enum TErrorMessage : unsigned {
    emConnectFailed = 1,
    emNetworkError = 2,
    emGameListUpdateFailed = 3,
    emVersionCheckFailed = 4,
    emCannotUndoOpponentMove = 5,
    emNamesMissing = 6,
    emHostAddressMissing = 7,
    emGameListFetchFailed = 8,
    emComputerInvalidMove = 9,
    emGameLoadFailed = 10,
    emGameSaveFailed = 11,
    emHistoryPartlyRead = 12,
    emHistoryFromNewerVersion = 13,
    emUserFileSaveFailed = 14,
    emThemesUnreadable = 15,
    emEngineFailed = 16,
    emEngineNotAdded = 17,
    emCurrentGameUnreadable = 18,
    emPgnImportUnreadable = 19,
    emPgnUnreadable = 20,
    emClipboardHoldsNoGame = 21,
    emFileRefusedDuringNetworkGame = 22,
    emEngineAlreadyListed = 23,
};

// The notices by name; each value is the number of its key ("M<number>").
enum TNoticeMessage : unsigned {
    nmAlreadyLatestVersion = 1,
    nmOpponentDisconnected = 2,
    nmConnectionLost = 3,
    nmPlayerForfeited = 4,
    nmYouForfeited = 5,
    nmPlayerWon = 6,
    nmGameTied = 7,
    nmUnreadableFileKept = 8,
    nmDrawnByRepetition = 9,
    nmDrawnByFiftyMoves = 10,
    nmDrawnByInsufficientMaterial = 11,
    nmPgnImported = 12,
    nmOpponentNotReady = 13,
    nmNewVersionWithoutAddress = 14,
    nmCastlingRightsDropped = 15,
};

// The questions by name; each value is the number of its key ("Q<number>").
enum TQuestionMessage : unsigned {
    qmDownloadNewVersion = 1,
    qmQuitDuringGame = 2,
    qmAcceptOpponentUndo = 3,
    qmReplaceTheme = 4,
    qmDeleteTheme = 5,
    qmForfeitGame = 6,
    qmContinueCurrentGame = 7,
    qmLeaveGame = 8,
};

// Highest message number of each kind that the operations show.
constexpr unsigned LastError = emEngineAlreadyListed;
constexpr unsigned LastNotice = nmCastlingRightsDropped;
constexpr unsigned LastQuestion = qmLeaveGame;

// Answers of a box, as the program has always numbered them.
constexpr int idOk = 1;
constexpr int idCancel = 2;
constexpr int idYes = 6;
constexpr int idNo = 7;

enum TMessageButtons { mbOk, mbYesNo, mbYesNoCancel };

// What a box reports: an error, a notice or a question; a presenter shows each with its own icon.
enum TMessageKind { mkError, mkNotice, mkQuestion };

class TMessageTable {
public:
    // The default English texts.
    TMessageTable();

    // The text of a key; empty for a key the table does not hold.
    std::string Text(const std::string& key) const;
    bool Contains(const std::string& key) const;
    // Replaces the text of a key the table holds; an empty text, an unknown key or a text whose
    // PlaceholderCount differs from the key's MessageArguments changes nothing. Answers whether
    // the text was replaced. Language packs translate through this.
    bool Replace(const std::string& key, const std::string& text);
    void RestoreDefaults();
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return m_Entries; }

private:
    std::vector<std::pair<std::string, std::string>> m_Entries;
};

// The program's one table, filled with the defaults on first use.
TMessageTable& Messages();

// Shows one modal box. For mbOk the answer is ignored; otherwise it is idYes, idNo or idCancel.
class TMessagePresenter {
public:
    virtual ~TMessagePresenter() = default;
    virtual int Present(
        const std::string& caption, const std::string& text, TMessageButtons buttons)
        = 0;
    // The same with the kind of message; presenters that do not tell the kinds apart keep the
    // three-argument form, which this one calls.
    virtual int Present(TMessageKind kind, const std::string& caption, const std::string& text,
        TMessageButtons buttons) {
        (void)kind;
        return Present(caption, text, buttons);
    }
};

// Installs the presenter that shows the boxes and returns the one installed before; none puts
// back the standard one. With the standard presenter a box is written to standard error and a
// question is answered No (Cancel when offered), so that nothing is done that the user has not
// agreed to.
std::unique_ptr<TMessagePresenter> SetMessagePresenter(
    std::unique_ptr<TMessagePresenter> presenter);

// The number of arguments the callers of a message key give: the places for arguments in its
// default text (0, 1 or, for M12, 2); 0 for an unknown key.
int MessageArguments(const std::string& key);
// The places for arguments in a text: its ";"s, a ";;" (a ";" itself) not counted.
int PlaceholderCount(const std::string& text);

// Replaces each ";" of the text with the argument once and each ";;" with ";"; a ";" inside the
// argument stays.
std::string FillPlaceholders(const std::string& text, const std::string& argument);
// Replaces the ";"s of the text with the arguments in order (";;" with ";"); those beyond the last
// argument take the last one (none: an empty text).
std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& arguments);

// An error or a notice asked for while a box of the same key is still shown (its box waits for
// the user, and the event loop runs meanwhile) is not shown again: it joins the box on screen.

// The show operations take the number as such, so that a number read from elsewhere (a file's
// fault, a kept file's message) passes without a cast; callers name it with the enums above.

// Error E<number> with the caption E0 and an OK button; numbers outside 1..LastError, or without
// a text, show nothing.
void ShowError(unsigned number, const std::string& argument = {});
// Notice M<number> with the caption M0 and an OK button; numbers outside 1..LastNotice show
// nothing.
void ShowNotice(unsigned number, const std::string& argument = {});
// The same with one argument per ";", in order; a ";" beyond the last argument takes the last.
void ShowNoticeWith(unsigned number, const std::vector<std::string>& arguments);
// Question Q<number> with the caption Q0 and Yes/No (and Cancel when WithCancel) buttons; returns
// idYes, idNo or idCancel, or 0 without showing anything for numbers outside 1..LastQuestion or
// without a text.
int AskQuestion(unsigned number, const std::string& argument = {}, bool WithCancel = false);
