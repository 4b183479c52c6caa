#include "RecordingPresenter.h"
#include "UnitMessages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Messages().RestoreDefaults();
        Answer(idYes);
    }
    void TearDown() override {
        SetMessagePresenter(nullptr);
        Messages().RestoreDefaults();
    }
    void Answer(int answer) {
        m_Answer = answer;
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Shown, m_Answer));
    }

    std::vector<TShownBox> Shown;
    int m_Answer = idYes;
};

TEST_F(MessagesTest, NumbersOutsideEachRangeShowNothing) {
    ShowError(0);
    ShowError(LastError + 1);
    ShowNotice(0);
    ShowNotice(LastNotice + 1);
    EXPECT_EQ(AskQuestion(0), 0);
    EXPECT_EQ(AskQuestion(LastQuestion + 1), 0);
    EXPECT_TRUE(Shown.empty());
}

TEST_F(MessagesTest, EachKindUsesItsCaptionAndButtons) {
    ShowError(5);
    ShowNotice(7);
    EXPECT_EQ(AskQuestion(2), idYes);
    AskQuestion(2, "", true);
    ASSERT_EQ(Shown.size(), 4u);
    EXPECT_EQ(Shown[0].Caption, "Error");
    EXPECT_EQ(Shown[0].Text, "You cannot undo one of your opponent's moves!");
    EXPECT_EQ(Shown[0].Buttons, mbOk);
    EXPECT_EQ(Shown[1].Caption, "Message");
    EXPECT_EQ(Shown[1].Text, "The game is tied!");
    EXPECT_EQ(Shown[2].Caption, "Question");
    EXPECT_EQ(Shown[2].Buttons, mbYesNo);
    EXPECT_EQ(Shown[3].Buttons, mbYesNoCancel);
    EXPECT_EQ(Shown[0].Kind, mkError);
    EXPECT_EQ(Shown[1].Kind, mkNotice);
    EXPECT_EQ(Shown[2].Kind, mkQuestion);
}

TEST_F(MessagesTest, AQuestionReturnsThePresentersAnswer) {
    Answer(idCancel);
    EXPECT_EQ(AskQuestion(1, "", true), idCancel);
    Answer(idNo);
    EXPECT_EQ(AskQuestion(3), idNo);
}

TEST_F(MessagesTest, ThePlaceholderTakesTheArgument) {
    ShowNotice(4, "Anna");
    AskQuestion(4, "Autumn");
    ShowError(9, "e2-e4");
    ASSERT_EQ(Shown.size(), 3u);
    EXPECT_EQ(Shown[0].Text, "Anna has forfeited the game.");
    EXPECT_EQ(Shown[1].Text, "A theme named \"Autumn\" already exists, do you want to replace it?");
    EXPECT_EQ(Shown[2].Text, "The computer has attempted an invalid move: e2-e4!");
}

TEST_F(MessagesTest, ASemicolonInTheArgumentIsInsertedOnceAndStays) {
    ShowNotice(6, "Bo;b");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text, "Bo;b has won the game!");
    EXPECT_EQ(FillPlaceholders("; and ;", ";x"), ";x and ;x");
}

TEST_F(MessagesTest, AnEmptyArgumentRemovesThePlaceholder) {
    ShowNotice(6);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text, " has won the game!");
}

TEST_F(MessagesTest, DefaultTextsKeepTheirOwnSpelling) {
    EXPECT_EQ(
        Messages().Text("E2"), "An error occurred on the network! The connection was terminated.");
    EXPECT_EQ(Messages().Text("E8"), "Cannot retrieve the games list from the server!");
    EXPECT_EQ(Messages().Text("Q1"),
        "A new version of Wintermoot is available! Do you want to download it now?");
    EXPECT_EQ(Messages().Text("M2"), "Your opponent disconnected from the game.");
}

TEST_F(MessagesTest, EveryKeyOfTheTableHasADefault) {
    size_t keys = 0;
    for (const char kind : { 'E', 'M', 'Q' }) {
        const unsigned last = kind == 'E' ? LastError : kind == 'M' ? LastNotice : LastQuestion;
        for (unsigned n = 0; n <= last; ++n) {
            const std::string key = kind + std::to_string(n);
            EXPECT_FALSE(Messages().Text(key).empty()) << key;
            ++keys;
        }
    }
    EXPECT_EQ(Messages().Entries().size(), keys);
}

TEST_F(MessagesTest, ANumberBeyondTheLastShowsNothing) {
    ShowError(LastError + 1);
    EXPECT_EQ(AskQuestion(LastQuestion + 1), 0);
    EXPECT_TRUE(Shown.empty());
    ShowError(emFileRefusedDuringNetworkGame, "game.wtg");
    ASSERT_EQ(Shown.size(), 1u);
}

TEST_F(MessagesTest, SeveralArgumentsFillThePlaceholdersInOrder) {
    EXPECT_EQ(FillPlaceholders("added ;, skipped ;", std::vector<std::string> { "2", "1" }),
        "added 2, skipped 1");
    // A placeholder beyond the arguments takes the last one; a ";" inside an argument stays.
    EXPECT_EQ(FillPlaceholders("; ; ;", std::vector<std::string> { "a;", "b" }), "a; b b");
    EXPECT_EQ(FillPlaceholders("x;y", std::vector<std::string> {}), "xy");
}

TEST_F(MessagesTest, LoadAndSaveFailuresNameTheFile) {
    ShowError(10, "/tmp/a.wtg");
    ShowError(11, "/tmp/b.wtg");
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].Text, "Could not load the game from /tmp/a.wtg.");
    EXPECT_EQ(Shown[1].Text, "Could not save the game to /tmp/b.wtg.");
}

TEST_F(MessagesTest, ATranslationReplacesOnlyKnownKeysWithNonEmptyTexts) {
    EXPECT_TRUE(Messages().Replace("E1", "Keine Verbindung!"));
    EXPECT_FALSE(Messages().Replace("E99", "nothing"));
    EXPECT_FALSE(Messages().Replace("E2", ""));
    ShowError(1);
    ShowError(2);
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].Caption, "Error");
    EXPECT_EQ(Shown[0].Text, "Keine Verbindung!");
    EXPECT_EQ(Shown[1].Text, "An error occurred on the network! The connection was terminated.");
    EXPECT_FALSE(Messages().Contains("E99"));
}

// Boxes asked for while another is on screen (the presenter's box is still open): one of the same
// error joins it; another message is shown.
TEST_F(MessagesTest, AnOkBoxOfTheSameKeyJoinsTheBoxOnScreen) {
    std::vector<TShownBox> boxes;
    const int answer = idNo;
    auto presenter = std::make_unique<TRecordingPresenter>(boxes, answer);
    int depth = 0;
    presenter->OnShown = [&](const TShownBox&) {
        if (++depth > 1)
            return;
        // While the first box is open: a flood of the same error, then others.
        for (int i = 0; i < 1000; ++i)
            ShowError(emGameLoadFailed, "file " + std::to_string(i));
        ShowError(emPgnUnreadable, "other");
        ShowNotice(nmGameTied);
    };
    SetMessagePresenter(std::move(presenter));
    ShowError(emGameLoadFailed, "first");
    std::vector<std::string> texts;
    for (const TShownBox& box : boxes)
        texts.push_back(box.Text);
    EXPECT_EQ(texts,
        (std::vector<std::string> { "Could not load the game from first.",
            Messages().Text("E20").replace(Messages().Text("E20").find(';'), 1, "other"),
            Messages().Text("M7") }));
    // Once the box is closed, the same error is shown again.
    boxes.clear();
    ShowError(emGameLoadFailed, "later");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Could not load the game from later.");
}

TEST_F(MessagesTest, WithoutAPresenterAQuestionIsNotAgreedTo) {
    SetMessagePresenter(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(AskQuestion(2), idNo);
    EXPECT_EQ(AskQuestion(2, "", true), idCancel);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("Question: A game is in progress"), std::string::npos);
}

// Each name must stay on the message it says: a constant moved to another number would show
// the wrong box with no compile error.
std::string Key(char kind, unsigned number) {
    std::string key(1, kind);
    key += std::to_string(number);
    return key;
}

struct TNamedMessage {
    const char* Name;
    char Kind;
    unsigned Number;
    const char* Fragment;
    friend void PrintTo(const TNamedMessage& row, std::ostream* os) { *os << row.Name; }
};

class MessageNamesTest : public ::testing::TestWithParam<TNamedMessage> { };

TEST_P(MessageNamesTest, TheConstantShowsItsOwnText) {
    const TNamedMessage& named = GetParam();
    const std::string key = Key(named.Kind, named.Number);
    EXPECT_NE(TMessageTable().Text(key).find(named.Fragment), std::string::npos) << key;
}

INSTANTIATE_TEST_SUITE_P(Messages, MessageNamesTest,
    ::testing::Values(TNamedMessage { "ConnectFailed", 'E', emConnectFailed, "Cannot connect" },
        TNamedMessage { "NetworkError", 'E', emNetworkError, "error occurred on the network" },
        TNamedMessage { "GameListUpdateFailed", 'E', emGameListUpdateFailed, "add/remove" },
        TNamedMessage { "VersionCheckFailed", 'E', emVersionCheckFailed, "version information" },
        TNamedMessage { "CannotUndoOpponentMove", 'E', emCannotUndoOpponentMove, "cannot undo" },
        TNamedMessage { "NamesMissing", 'E', emNamesMissing, "enter your name" },
        TNamedMessage { "HostAddressMissing", 'E', emHostAddressMissing, "IP address" },
        TNamedMessage { "GameListFetchFailed", 'E', emGameListFetchFailed, "games list" },
        TNamedMessage { "ComputerInvalidMove", 'E', emComputerInvalidMove, "invalid move" },
        TNamedMessage { "GameLoadFailed", 'E', emGameLoadFailed, "Could not load the game" },
        TNamedMessage { "GameSaveFailed", 'E', emGameSaveFailed, "Could not save the game" },
        TNamedMessage { "HistoryPartlyRead", 'E', emHistoryPartlyRead, "read completely" },
        TNamedMessage {
            "HistoryFromNewerVersion", 'E', emHistoryFromNewerVersion, "newer version" },
        TNamedMessage { "UserFileSaveFailed", 'E', emUserFileSaveFailed, "Check that its folder" },
        TNamedMessage { "ThemesUnreadable", 'E', emThemesUnreadable, "themes file" },
        TNamedMessage { "EngineFailed", 'E', emEngineFailed, "chess engine stopped playing" },
        TNamedMessage { "EngineNotAdded", 'E', emEngineNotAdded, "Could not add the chess engine" },
        TNamedMessage { "PgnUnreadable", 'E', emPgnUnreadable, "no game that can be read" },
        TNamedMessage {
            "ClipboardHoldsNoGame", 'E', emClipboardHoldsNoGame, "neither a position (FEN)" },
        TNamedMessage {
            "CurrentGameUnreadable", 'E', emCurrentGameUnreadable, "cannot be continued" },
        TNamedMessage { "PgnImportUnreadable", 'E', emPgnImportUnreadable, "the PGN file" },
        TNamedMessage { "FileRefusedDuringNetworkGame", 'E', emFileRefusedDuringNetworkGame,
            "network game is open" },
        TNamedMessage { "EngineAlreadyListed", 'E', emEngineAlreadyListed, "already in the list" },
        TNamedMessage {
            "AlreadyLatestVersion", 'M', nmAlreadyLatestVersion, "already have the latest" },
        TNamedMessage {
            "OpponentDisconnected", 'M', nmOpponentDisconnected, "opponent disconnected" },
        TNamedMessage { "ConnectionLost", 'M', nmConnectionLost, "connection to the game" },
        TNamedMessage { "PlayerForfeited", 'M', nmPlayerForfeited, "; has forfeited" },
        TNamedMessage { "YouForfeited", 'M', nmYouForfeited, "You have forfeited" },
        TNamedMessage { "PlayerWon", 'M', nmPlayerWon, "has won" },
        TNamedMessage { "GameTied", 'M', nmGameTied, "tied" },
        TNamedMessage { "UnreadableFileKept", 'M', nmUnreadableFileKept, "was kept as" },
        TNamedMessage { "DrawnByRepetition", 'M', nmDrawnByRepetition, "three times" },
        TNamedMessage { "DrawnByFiftyMoves", 'M', nmDrawnByFiftyMoves, "fifty moves" },
        TNamedMessage {
            "DrawnByInsufficientMaterial", 'M', nmDrawnByInsufficientMaterial, "enough material" },
        TNamedMessage { "PgnImported", 'M', nmPgnImported, "Games added to the history" },
        TNamedMessage {
            "OpponentNotReady", 'M', nmOpponentNotReady, "in time and was disconnected" },
        TNamedMessage {
            "NewVersionWithoutAddress", 'M', nmNewVersionWithoutAddress, "no address to download" },
        TNamedMessage { "CastlingRightsDropped", 'M', nmCastlingRightsDropped, "castling rights" },
        TNamedMessage { "DownloadNewVersion", 'Q', qmDownloadNewVersion, "download it now" },
        TNamedMessage { "QuitDuringGame", 'Q', qmQuitDuringGame, "really want to quit" },
        TNamedMessage { "AcceptOpponentUndo", 'Q', qmAcceptOpponentUndo, "wishes to undo" },
        TNamedMessage { "ReplaceTheme", 'Q', qmReplaceTheme, "replace it" },
        TNamedMessage { "DeleteTheme", 'Q', qmDeleteTheme, "delete the theme" },
        TNamedMessage { "ForfeitGame", 'Q', qmForfeitGame, "forfeit the game?" },
        TNamedMessage {
            "ContinueCurrentGame", 'Q', qmContinueCurrentGame, "Do you want to continue it?" }),
    [](const ::testing::TestParamInfo<TNamedMessage>& info) { return info.param.Name; });

TEST(MessageNames, TheLastOfEachKindIsItsHighestName) {
    EXPECT_EQ(LastError, unsigned(emEngineAlreadyListed));
    EXPECT_EQ(LastNotice, unsigned(nmCastlingRightsDropped));
    EXPECT_EQ(LastQuestion, unsigned(qmLeaveGame));
    EXPECT_TRUE(TMessageTable().Contains(Key('E', LastError)));
    EXPECT_FALSE(TMessageTable().Contains(Key('E', LastError + 1)));
    EXPECT_FALSE(TMessageTable().Contains(Key('M', LastNotice + 1)));
    EXPECT_FALSE(TMessageTable().Contains(Key('Q', LastQuestion + 1)));
}

// Every text, shipped or translated, has exactly as many places for arguments as its callers
// give, so that no ";" of the text itself can take an argument's place. The callers give these.
TEST_F(MessagesTest, EachMessageTakesTheArgumentsItsCallersGive) {
    EXPECT_EQ(MessageArguments("E16"), 1);
    EXPECT_EQ(MessageArguments("M12"), 2);
    EXPECT_EQ(MessageArguments("M4"), 1);
    EXPECT_EQ(MessageArguments("E1"), 0);
    EXPECT_EQ(MessageArguments("E0"), 0);
    EXPECT_EQ(MessageArguments("E99"), 0);
}

TEST_F(MessagesTest, TheEngineFailureNamesTheEngineOnceInItsSentence) {
    ShowError(emEngineFailed, "Stockfish 15.1: crashed");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text,
        "The chess engine stopped playing: Stockfish 15.1: crashed. The game was stopped. Its "
        "moves stay on the board, and it can still be saved.");
}

TEST_F(MessagesTest, ADoubledSemicolonIsASemicolonItself) {
    EXPECT_EQ(PlaceholderCount("Stopped;; ; moves"), 1);
    EXPECT_EQ(FillPlaceholders("Stopped;; ; moves", "its"), "Stopped; its moves");
    EXPECT_EQ(FillPlaceholders("a;;b ;", std::vector<std::string> { "x" }), "a;b x");
    ASSERT_TRUE(Messages().Replace("E16", "Engine ; failed;; the game stopped."));
    ShowError(emEngineFailed, "Fish");
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text, "Engine Fish failed; the game stopped.");
}

// A translation written before the rule, with a ";" of its own where an argument goes, is left
// out: the default text is shown whole rather than the translation garbled.
TEST_F(MessagesTest, ATranslationWithTheWrongNumberOfPlacesIsNotTaken) {
    const std::string before = Messages().Text("E16");
    EXPECT_FALSE(Messages().Replace("E16",
        "The chess engine stopped playing: ;. The game was stopped; its moves stay on the board."));
    EXPECT_FALSE(Messages().Replace("E1", "Keine Verbindung; nie!"));
    EXPECT_FALSE(Messages().Replace("M12", "Added: ;."));
    EXPECT_EQ(Messages().Text("E16"), before);
    EXPECT_TRUE(Messages().Replace("M12", "Ajoutées : ;. Ignorées : ;."));
}

struct TLanguageRow {
    const char* Name;
    const char* File;
    friend void PrintTo(const TLanguageRow& row, std::ostream* os) { *os << row.Name; }
};

// The [messages] section of a language source: key=text lines, UTF-8.
std::map<std::string, std::string> SourceMessages(const std::string& path) {
    std::map<std::string, std::string> texts;
    std::ifstream in(path);
    std::string line;
    bool inMessages = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inMessages = line == "[messages]";
            continue;
        }
        const size_t equals = line.find('=');
        if (inMessages && equals != std::string::npos && line[0] != '#')
            texts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return texts;
}

class ShippedLanguage : public testing::TestWithParam<TLanguageRow> {
protected:
    void TearDown() override { Messages().RestoreDefaults(); }
};

TEST_P(ShippedLanguage, EveryMessageHasAPlaceForEachArgumentOfItsCallers) {
    const std::map<std::string, std::string> texts
        = SourceMessages(std::string(WINTERMOOT_SOURCE_DIR) + "/resources/lang/" + GetParam().File);
    ASSERT_FALSE(texts.empty()) << GetParam().File;
    for (const auto& [key, text] : Messages().Entries()) {
        const auto found = texts.find(key);
        ASSERT_NE(found, texts.end()) << key;
        EXPECT_EQ(PlaceholderCount(found->second), MessageArguments(key))
            << key << ": " << found->second;
        EXPECT_TRUE(Messages().Replace(key, found->second)) << key;
    }
    // The engine's name and cause, which hold a ":" and digits, appear once and whole.
    const std::string filled = FillPlaceholders(Messages().Text("E16"), "Stockfish 15.1: crashed");
    EXPECT_EQ(filled.find(';'), std::string::npos) << filled;
    const size_t at = filled.find("Stockfish 15.1: crashed");
    ASSERT_NE(at, std::string::npos) << filled;
    EXPECT_EQ(filled.find("Stockfish", at + 1), std::string::npos) << filled;
}

INSTANTIATE_TEST_SUITE_P(Sources, ShippedLanguage,
    testing::Values(TLanguageRow { "English", "TolvanEn.txt" },
        TLanguageRow { "French", "TolvanFr.txt" }, TLanguageRow { "German", "TolvanDe.txt" },
        TLanguageRow { "Spanish", "TolvanEs.txt" }),
    [](const testing::TestParamInfo<TLanguageRow>& info) { return std::string(info.param.Name); });

} // namespace
