#include "PgnGame.h"

#include "Fen.h"
#include "Player.h"
#include "StreamIO.h"
#include "UnitChessGame.h"

#include <sstream>
#include <vector>

namespace {

// The FEN `position` (as SaveFen writes it) with the move counters of `text`, when it has both.
std::string WithCountersOf(const std::string& position, const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> fields;
    for (std::string field; in >> field;)
        fields.push_back(field);
    if (fields.size() != 6)
        return position;
    size_t end = 0;
    for (int spaces = 0; spaces < 4 && end != std::string::npos; ++spaces)
        end = position.find(' ', end + (spaces > 0 ? 1 : 0));
    return end == std::string::npos ? position
                                    : position.substr(0, end) + " " + fields[4] + " " + fields[5];
}

} // namespace

TPieceColour ReplayPgnGame(const TPgnGameRecord& game, TChessBoard& board) {
    game.SetUpStart(board);
    TPieceColour side = game.StartSide;
    for (const TMoveRecord* m = game.Moves.First(); m; m = m->Next) {
        board.MovePiece(m->From, m->To, false);
        if (m->Flags & mrPromotion)
            board.Promote(m->To, m->PromotionKind);
        side = Opponent(side);
    }
    return side;
}

bool LoadPgnGame(const TPgnGameRecord& record, TChessGame& game) {
    TChessBoard board;
    if (!record.SetUpStart(board))
        return false;
    const TPieceColour turn = ReplayPgnGame(record, board);
    TPlayer white { 0, true, PgnPlayerName(record, "White") };
    TPlayer black { 0, true, PgnPlayerName(record, "Black") };
    white.Time = PgnSeconds(record, "WhiteTime");
    black.Time = PgnSeconds(record, "BlackTime");
    (turn == pcWhite ? white : black).Status = PlayerStatus(board, turn);

    // The game goes in as the body of a saved game, so it passes the same checks and leaves the
    // controller in the same state as a loaded file.
    std::ostringstream body;
    board.SaveToStream(body);
    record.Moves.SaveToStream(body);
    WritePlayer(body, white);
    WritePlayer(body, black);
    WriteByte(body, turn);
    std::istringstream in(body.str());
    game.StopGame();
    try {
        game.ReadGame(in, TChessGame::FileVersion);
    } catch (const std::exception&) {
        return false;
    }
    game.GameLoaded = true;
    return true;
}

bool PgnRecordFromFen(const std::string& fen, TPgnGameRecord& record, std::string& error) {
    TChessBoard board;
    std::string dropped;
    try {
        record.StartSide = LoadFenDroppingCastling(board, fen, dropped);
    } catch (const EFenError& e) {
        error = e.what();
        return false;
    }
    record.StartFen = fen;
    record.DroppedCastling = dropped;
    record.Warning.clear();
    if (!dropped.empty()) {
        record.StartFen = WithCountersOf(SaveFen(board, record.StartSide), fen);
        record.Warning = DroppedCastlingWarning(dropped);
    }
    record.Moves.Clear();
    // Assigned by count: GCC 12 reports a false overlap (-Wrestrict) for the literal here.
    record.Result.assign(1, '*');
    return true;
}
