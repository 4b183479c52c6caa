#include "GameResume.h"

#include "UnitChessGame.h"
#include "UnitMessages.h"
#include "UserFiles.h"

#include <QFile>
#include <QFileInfo>

TGameResume::TGameResume(TChessGame& game, const QString& path, QObject* parent)
    : QObject(parent)
    , m_Game(game)
    , m_Path(path) {
    connect(&game, &TChessGame::gameStarted, this, [this] {
        m_KeepOnStop = false;
        Save();
    });
    // A move is kept once the turn has passed, so that the file says who moves next; a pawn
    // waiting for its piece is kept at once, with its side still to move, as "Save as" keeps it.
    connect(&game, &TChessGame::turnChanged, this, [this] { Save(); });
    connect(&game, &TChessGame::movePlayed, this, [this](TPoint, TPoint, TMoveResult flags) {
        if (flags & mrPromotion)
            Save();
    });
    connect(&game, &TChessGame::moveUndone, this, [this] { Save(); });
    connect(&game, &TChessGame::gamePaused, this, [this] { Save(); });
    // A game with a result, one the user stopped and one an engine's failure stopped are over.
    connect(&game, &TChessGame::gameEnded, this, [this] { Remove(); });
    connect(&game, &TChessGame::playerFailed, this, [this] { Remove(); });
    connect(&game, &TChessGame::gameStopped, this, [this] {
        if (!m_KeepOnStop)
            Remove();
    });
}

bool TGameResume::Pending() const {
    const QFileInfo file(m_Path);
    if (!file.exists() && !file.isSymLink())
        return false;
    if (file.isFile() && TChessGame::IsGameFile(m_Path))
        return true;
    // Told of and moved aside now, so that the next game's first save finds the name free.
    UserFiles().KeepUnreadable(m_Path, emCurrentGameUnreadable);
    UserFiles().MayWrite(m_Path);
    return false;
}

void TGameResume::Save() {
    if (m_Game.GameKind != gkLocal
        || (m_Game.GameState != gsPlaying && m_Game.GameState != gsPaused))
        return;
    SaveUserFile(m_Path, [this] { return m_Game.SaveGame(m_Path); });
}

void TGameResume::Remove() {
    const QFileInfo file(m_Path);
    if (file.isFile())
        QFile::remove(m_Path);
}
