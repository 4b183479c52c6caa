#include "HistoryImport.h"

#include "GameResult.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <optional>

namespace {

uint8_t HistoryResult(const std::string& result) {
    if (result == "1-0")
        return grWhiteWon;
    if (result == "0-1")
        return grBlackWon;
    if (result == "1/2-1/2")
        return grTied;
    return grUnfinished;
}

// The day of the Date tag ("2024.03.09"), with the Time tag's time of day when it has one;
// none when the tag gives no whole date.
std::optional<double> HistoryDate(const TPgnGameRecord& game) {
    const QDate day = QDate::fromString(QString::fromStdString(game.Tag("Date")), "yyyy.MM.dd");
    if (!day.isValid())
        return std::nullopt;
    QTime time = QTime::fromString(QString::fromStdString(game.Tag("Time")), "hh:mm:ss");
    if (!time.isValid())
        time = QTime(0, 0);
    return EncodeDate(QDateTime(day, time));
}

bool SameMoves(const TMoveList& a, const TMoveList& b) {
    if (a.Count() != b.Count())
        return false;
    for (const TMoveRecord *x = a.First(), *y = b.First(); x && y; x = x->Next, y = y->Next) {
        if (x->From != y->From || x->To != y->To
            || ((x->Flags & mrPromotion) && x->PromotionKind != y->PromotionKind))
            return false;
    }
    return true;
}

// A game of the history with the same players, result and moves, and the same date unless the
// PGN game has none (its date is then the moment of the import, different every time).
bool InHistory(const THistory& history, const std::string& white, const std::string& black,
    const double* date, uint8_t result, const TMoveList& moves) {
    for (const TGameInfo* game = history.First(); game; game = game->Next) {
        if ((!date || game->Date == *date) && game->Result == result && game->White == white
            && game->Black == black && SameMoves(game->Moves, moves))
            return true;
    }
    return false;
}

// The bytes a game takes in the history file: date, both names, both clocks, result, moves.
qint64 StoredSize(const std::string& white, const std::string& black, const TMoveList& moves) {
    return 8 + 4 + qint64(white.size()) + 4 + qint64(black.size()) + 4 + 4 + 1 + 4
        + 19 * qint64(moves.Count());
}

} // namespace

std::string DescribePgnGame(const TPgnGameRecord& game) {
    return "game " + std::to_string(game.Number) + " (" + game.Players() + ")";
}

std::string MoveCountText(size_t count) {
    return std::to_string(count) + (count == 1 ? " move" : " moves");
}

qint64 HistoryStoredSize(const THistory& history) {
    qint64 size = EmptyHistoryFileSize;
    for (const TGameInfo* game = history.First(); game; game = game->Next)
        size += StoredSize(game->White, game->Black, game->Moves);
    return size;
}

THistoryImport ImportPgnIntoHistory(THistory& history, std::string_view pgnText, qint64 historySize,
    const std::function<void(bool added, const std::string& line)>& report) {
    return ImportPgnIntoHistory(
        history,
        [pgnText](const TPgnGameReceiver& onGame) { return ReadPgnGames(pgnText, onGame); },
        historySize, report);
}

THistoryImport ImportPgnFileIntoHistory(THistory& history, const std::string& path,
    qint64 historySize, const std::function<void(bool added, const std::string& line)>& report) {
    return ImportPgnIntoHistory(
        history, [&path](const TPgnGameReceiver& onGame) { return ReadPgnFile(path, onGame); },
        historySize, report);
}

THistoryImport ImportPgnIntoHistory(THistory& history, const TPgnGameSource& read,
    qint64 historySize, const std::function<void(bool added, const std::string& line)>& report) {
    THistoryImport import;
    auto skip = [&](const std::string& why) {
        if (report)
            report(false, why);
        ++import.Skipped;
    };
    auto consider = [&](const TPgnGameRecord& game) {
        if (!game.Error.empty())
            return skip(game.Error);
        ++import.Read;
        if (!game.StartFen.empty())
            return skip(DescribePgnGame(game)
                + ": starts from a set-up position, which the history cannot hold");
        if (game.Moves.Count() == 0)
            return skip(DescribePgnGame(game) + ": no moves");
        const std::string white = PgnPlayerName(game, "White");
        const std::string black = PgnPlayerName(game, "Black");
        // A game without a whole date is dated by its import.
        const std::optional<double> tagDate = HistoryDate(game);
        const double date = tagDate ? *tagDate : EncodeDate(QDateTime::currentDateTime());
        const uint8_t result = HistoryResult(game.Result);
        if (InHistory(history, white, black, tagDate ? &date : nullptr, result, game.Moves))
            return skip(DescribePgnGame(game) + ": already in the history");
        const qint64 stored = StoredSize(white, black, game.Moves);
        if (historySize + stored >= HistoryFileLimit)
            return skip(
                DescribePgnGame(game) + ": the history file would grow past what it can read");
        if (!history.AddGame(white, black, date, PgnSeconds(game, "WhiteTime"),
                PgnSeconds(game, "BlackTime"), result, game.Moves))
            return skip(DescribePgnGame(game) + ": the history cannot hold it");
        historySize += stored;
        ++import.Added;
        if (report)
            report(true,
                DescribePgnGame(game) + ", " + game.Result + ", "
                    + MoveCountText(game.Moves.Count()));
    };
    import.FileError = read([&](const TPgnGameRecord& game) {
        consider(game);
    return true;
});
return import;
}
