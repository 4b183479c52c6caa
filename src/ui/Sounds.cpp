#include "Sounds.h"

#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

#include <vector>

namespace {

// Set for good once a load has run past its time: Qt's sample cache, shared by the whole
// program, then blocks for ever the release of any loaded sound.
bool LoadHung = false;

} // namespace

QString ResolveSoundFile(const QString& file) {
    if (file.isEmpty())
        return {};
    if (QDir::isAbsolutePath(file) || file.contains(QLatin1Char('/'))) {
        const QFileInfo info(file);
        return info.isFile() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
    }
    return AppPaths::FindShared(QStringLiteral("sounds/") + file);
}

bool IsLoadableWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    const auto u16 = [](const char* p) { return qFromLittleEndian<quint16>(p); };
    const auto u32 = [](const char* p) { return qFromLittleEndian<quint32>(p); };
    int sampleBytes = 0;
    qint64 at = 12;
    for (int chunks = 0; chunks < 64 && at + 8 <= size; ++chunks) {
        if (!file.seek(at))
            return false;
        const QByteArray chunk = file.read(24);
        if (chunk.size() < 8)
            return false;
        const qint64 length = u32(chunk.constData() + 4);
        if (at + 8 + length > size)
            return false;
        if (sampleBytes == 0) {
            if (chunk.startsWith("fmt ")) {
                if (length < 16)
                    return false;
                const quint16 format = u16(chunk.constData() + 8);
                const quint16 channels = u16(chunk.constData() + 10);
                const quint32 rate = u32(chunk.constData() + 12);
                const quint16 bits = u16(chunk.constData() + 22);
                if (format > 1 || channels == 0 || rate == 0
                    || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
                    return false;
                sampleBytes = bits / 8;
            }
        } else if (chunk.startsWith("data")) {
            return length > 0 && length % sampleBytes == 0;
        }
        at += 8 + length;
    }
    return false;
}

TEffectPlayer::TEffectPlayer() = default;

TEffectPlayer::~TEffectPlayer() {
    ExpireLoads();
    if (CanLetGo())
        return;
    // Deleting a loaded sound now would block until every load is done, perhaps for ever. Loaded
    // sounds are kept to the end of the program instead, in a list that stays reachable (so that
    // leak checkers do not count them); the others can go.
    static auto* const kept = new std::vector<QSoundEffect*>;
    for (auto& [path, entry] : m_Sounds)
        if (entry.Effect && entry.Effect->status() == QSoundEffect::Ready)
            kept->push_back(entry.Effect.release());
}

void TEffectPlayer::Play(const QString& file) {
    const QString path = ResolveSoundFile(file);
    if (path.isEmpty())
        return;
    ExpireLoads();
    TEntry* entry = Load(path);
    if (!entry || IsUnplayable(*entry))
        return;
    QSoundEffect* effect = entry->Effect.get();
    if (m_Current && m_Current != effect)
        m_Current->stop();
    // Stopping first makes a repeated sound start again from its beginning. A sound still
    // loading starts when it is loaded.
    effect->stop();
    effect->play();
    m_Current = effect;
}

TEffectPlayer::TState TEffectPlayer::State(const QString& file) const {
    const QString path = ResolveSoundFile(file);
    if (path.isEmpty())
        return stUnplayable;
    const auto found = m_Sounds.find(path);
    if (found == m_Sounds.end())
        return stUnknown;
    const TEntry& entry = found->second;
    if (entry.Unplayable)
        return stUnplayable;
    switch (entry.Effect->status()) {
    case QSoundEffect::Ready:
        return stReady;
    case QSoundEffect::Loading:
        return entry.Since.hasExpired(LoadTimeoutMs) ? stUnplayable : stLoading;
    default:
        return stUnplayable;
    }
}

TEffectPlayer::TEntry* TEffectPlayer::Load(const QString& path) {
    const auto found = m_Sounds.find(path);
    if (found != m_Sounds.end())
        return &found->second;
    if (static_cast<int>(m_Sounds.size()) >= MaxCachedSounds) {
        // Full, and nothing may be let go of yet: this sound is skipped for now.
        if (!CanLetGo())
            return nullptr;
        // Only the sound that may still be playing is kept; the others load again when asked.
        std::erase_if(m_Sounds, [this](const auto& item) {
            return !item.second.Effect || item.second.Effect.get() != m_Current;
        });
    }
    TEntry& entry = m_Sounds[path];
    if (QFileInfo(path).size() > MaxSoundBytes || !IsLoadableWave(path)) {
        entry.Unplayable = true;
        return &entry;
    }
    entry.Effect = std::make_unique<QSoundEffect>();
    entry.Since.start();
    entry.Effect->setSource(QUrl::fromLocalFile(path));
    return &entry;
}

// An effect in error turns to Null when asked to play, so both mean the file failed to load.
bool TEffectPlayer::IsUnplayable(TEntry& entry) {
    if (!entry.Unplayable && entry.Effect) {
        const QSoundEffect::Status status = entry.Effect->status();
        entry.Unplayable = status == QSoundEffect::Error || status == QSoundEffect::Null;
    }
    return entry.Unplayable;
}

// Whether loaded sounds may be deleted without blocking: Qt's sample cache makes the release of
// a loaded sound wait until every load in progress is done.
bool TEffectPlayer::CanLetGo() const {
    if (LoadHung)
        return false;
    for (const auto& [path, entry] : m_Sounds)
        if (entry.Effect && entry.Effect->status() == QSoundEffect::Loading)
            return false;
    return true;
}

void TEffectPlayer::ExpireLoads() {
    for (auto& [path, entry] : m_Sounds) {
        if (entry.Unplayable || !entry.Effect)
            continue;
        if (entry.Effect->status() == QSoundEffect::Loading
            && entry.Since.hasExpired(LoadTimeoutMs)) {
            entry.Unplayable = true;
            entry.Effect->stop();
            if (m_Current == entry.Effect.get())
                m_Current = nullptr;
            LoadHung = true;
        }
    }
}
