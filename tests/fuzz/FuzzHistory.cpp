// The history file. Whatever it holds, the games read are exported as text and PGN; a file that
// loads must save and load back to the same games, and a second save must give the same bytes.

#include "FuzzSupport.h"

#include "GameExport.h"
#include "Pgn.h"
#include "UnitHistory.h"

#include <cstring>
#include <string>

namespace {

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

bool SameGame(const TGameInfo& a, const TGameInfo& b) {
    return std::memcmp(&a.Date, &b.Date, sizeof a.Date) == 0 && a.White == b.White
        && a.Black == b.Black && a.WhiteTime == b.WhiteTime && a.BlackTime == b.BlackTime
        && a.Result == b.Result && SameMoves(a.Moves, b.Moves);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("input.dat");
    WriteScratch(path, data, size);
    THistory history;
    bool damaged = false;
    const bool loaded = history.LoadFromFile(path, &damaged);

    // A damaged file keeps the games before the damage, and those are shown and exported too.
    for (const TGameInfo* game = history.First(); game; game = game->Next) {
        GameExportText(*game);
        GamePgn(*game);
    }
    if (!loaded)
        return 0;

    const QString saved = ScratchPath("saved.dat");
    if (!history.SaveToFile(saved))
        FuzzFail("a loaded history could not be saved");
    THistory reloaded;
    if (!reloaded.LoadFromFile(saved))
        FuzzFail("a saved history does not load");
    if (reloaded.Count() != history.Count())
        FuzzFail("a saved history loads with another number of games");
    for (const TGameInfo *a = history.First(), *b = reloaded.First(); a && b;
         a = a->Next, b = b->Next) {
        if (!SameGame(*a, *b))
            FuzzFail("a saved history loads with another game");
    }
    const QString savedAgain = ScratchPath("saved-again.dat");
    if (!reloaded.SaveToFile(savedAgain) || ReadScratch(savedAgain) != ReadScratch(saved))
        FuzzFail("saving a reloaded history gives other bytes");
    return 0;
}
