#pragma once

// The local game in progress, kept in a file of the user's data folder so that it can be
// continued after a crash or a close: written through the saved-game writer after every move,
// take-back, promotion, pause and start, removed when the game ends or is stopped, and kept when
// the program closes during the game. Network games are never kept. Main thread only.

#include <QObject>
#include <QString>

class TChessGame;

class TGameResume : public QObject {
    Q_OBJECT

public:
    // Follows the controller's events; `path` is the file the game is kept in.
    TGameResume(TChessGame& game, const QString& path, QObject* parent = nullptr);

    const QString& Path() const { return m_Path; }
    // The next stop of the game leaves the file in place: the program is closing with the game
    // still running. Holds until the next game starts.
    void KeepForNextStart() { m_KeepOnStop = true; }
    // Whether a game that can be continued was left by the last run. A file that cannot be
    // read as a game is not offered: the user is told, and it is moved aside.
    bool Pending() const;
    // Writes the game now when it is a local game playing or paused; a failed write is reported
    // once per cause, and the game goes on.
    void Save();
    // Forgets the kept game.
    void Remove();

private:
    TChessGame& m_Game;
    QString m_Path;
    bool m_KeepOnStop = false;
};
