#pragma once

// The program's sounds: a move or an incoming chat line plays a short WAV file by name. The six
// default sounds ship in the program's sounds folder; the options can name any other file.

#include <QElapsedTimer>
#include <QString>

#include <map>
#include <memory>

class QSoundEffect;

// Plays a sound file by name or path. A bare name is looked up in the program's sounds folder.
class TSoundPlayer {
public:
    virtual ~TSoundPlayer() = default;
    virtual void Play(const QString& file) = 0;
};

// The player of the program, on QSoundEffect: a new sound cuts the one still playing; a missing
// or unplayable file plays nothing and shows nothing. Each file is loaded once, on its first
// play, and kept; a file that fails to load is remembered and not tried again. Without an audio
// device it stays silent.
//
// A file is refused before loading unless it is a WAV file whose samples lie wholly inside it
// in the layout Qt's loader walks, and no larger than MaxSoundBytes (a sound is held in memory
// whole). Qt's loader waits forever for bytes a file only promises, and while any load is
// unfinished, letting go of a loaded sound blocks the program; so loaded sounds are let go of
// only when no load is in progress, and never again once a load has run past LoadTimeoutMs. At
// most MaxCachedSounds files are kept otherwise.
class TEffectPlayer : public TSoundPlayer {
public:
    static constexpr qint64 MaxSoundBytes = 16 * 1024 * 1024;
    static constexpr int MaxCachedSounds = 16;
    static constexpr qint64 LoadTimeoutMs = 10000;

    // What the player knows of a file, by the name given to Play.
    enum TState { stUnknown, stLoading, stReady, stUnplayable };

    TEffectPlayer();
    ~TEffectPlayer() override;
    void Play(const QString& file) override;
    TState State(const QString& file) const;

private:
    struct TEntry {
        std::unique_ptr<QSoundEffect> Effect;
        QElapsedTimer Since;
        bool Unplayable = false;
    };

    TEntry* Load(const QString& path);
    static bool IsUnplayable(TEntry& entry);
    bool CanLetGo() const;
    void ExpireLoads();

    // Keyed by the resolved path, so that two names of one file share the loaded sound.
    std::map<QString, TEntry> m_Sounds;
    QSoundEffect* m_Current = nullptr;
};

// The full path a sound file name stands for: absolute paths as they are, relative paths with a
// folder part against the current folder, bare names in the shipped sounds folder. Empty when
// no such file exists.
QString ResolveSoundFile(const QString& file);

// Whether Qt's WAV loader loads the file, rather than failing or waiting for bytes it does not
// hold: a little-endian RIFF WAVE file with a "fmt " chunk of plain PCM (8, 16, 24 or 32 bits,
// some channels, some rate) before a "data" chunk of whole samples that lies wholly inside the
// file. Chunks are stepped over without the pad byte after odd-sized ones, as that loader does,
// so a file that has them before its samples is refused, and so is big-endian RIFX, on which it
// stalls. Only chunk headers are read, at most 64 of them.
bool IsLoadableWave(const QString& path);
