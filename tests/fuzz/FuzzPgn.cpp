// PGN text from other programs. Whatever it holds, every game read must replay move for move
// from its start position as it was recorded, its tags must be clean UTF-8, an error must name
// its game, and a game read whole from the initial position must come back the same through our
// own PGN writer.

#include "FuzzSupport.h"

#include "Pgn.h"
#include "PgnFileReader.h"

#include <string>

namespace {

bool CleanUtf8(const std::string& text) {
    if (PgnTextToUtf8(text) != text)
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

// Replays the recorded moves on a fresh board; each must be legal and give the recorded flags.
void CheckReplay(const TPgnGameRecord& game) {
    TChessBoard board;
    if (!game.SetUpStart(board))
        FuzzFail("the start position of a game read does not set up: " + game.StartFen);
    TPieceColour side = game.StartSide;
    int ply = 0;
    for (const TMoveRecord* m = game.Moves.First(); m; m = m->Next, ++ply) {
        const TPiece* piece = board.PieceAt(m->From);
        if (!piece || piece->Colour != side || !board.IsLegalMove(m->From, m->To))
            FuzzFail("game " + std::to_string(game.Number) + ": recorded move "
                + std::to_string(ply + 1) + " is not legal");
        TMoveResult flags = board.MovePiece(m->From, m->To, true);
        if (m->Kind != board.PieceAt(m->To)->Kind)
            FuzzFail("a recorded kind differs from the piece that moved");
        if (flags & mrPromotion) {
            if (m->PromotionKind < pkRook || m->PromotionKind > pkQueen)
                FuzzFail("a promotion without its piece");
            flags = (flags & ~mrGameOver) | board.Promote(m->To, m->PromotionKind);
        }
        if (flags != m->Flags)
            FuzzFail("recorded flags differ from the board's");
        side = Opponent(side);
    }
}

bool SameMoves(const TMoveList& a, const TMoveList& b) {
    if (a.Count() != b.Count())
        return false;
    for (const TMoveRecord *x = a.First(), *y = b.First(); x && y; x = x->Next, y = y->Next) {
        if (x->Kind != y->Kind || x->PromotionKind != y->PromotionKind || x->From != y->From
            || x->To != y->To || x->Flags != y->Flags)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int exported = 0;
    ReadPgnGames(text, [&](const TPgnGameRecord& game) {
        for (const auto& [name, value] : game.Tags) {
            if (!CleanUtf8(value))
                FuzzFail("a tag value is not clean UTF-8");
            if (name.empty())
                FuzzFail("a tag without a name");
        }
        if (!game.Error.empty() && game.Error.rfind("game " + std::to_string(game.Number), 0) != 0)
            FuzzFail("an error that does not name its game: " + game.Error);
        CheckReplay(game);

        // Our own writer, read back: the same moves, no error. A few games an input suffice.
        if (game.Error.empty() && game.StartFen.empty() && exported++ < 4) {
            TGameInfo info;
            info.Moves.Assign(game.Moves);
            const std::string pgn = GamePgn(info);
            const TPgnFile again = ReadPgnText(pgn);
            if (again.Games.size() != 1 || !again.Games[0].Error.empty()
                || !SameMoves(again.Games[0].Moves, game.Moves))
                FuzzFail("our own PGN of a game read does not read back the same:\n" + pgn);
        }
        return true;
    });
    return 0;
}
