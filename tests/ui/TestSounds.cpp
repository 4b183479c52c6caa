// The sound player and the six shipped sounds. The tests run without an audio device: playing
// there must be silent and harmless. Nothing here listens to a sound.

#include "Sounds.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <set>

namespace {

const char* const ShippedSounds[]
    = { "chimes.wav", "notify.wav", "chord.wav", "tada.wav", "ding.wav", "ringout.wav" };

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the event loop until the player has made up its mind about the file, or 5 s pass.
TEffectPlayer::TState Settled(const TEffectPlayer& player, const QString& file) {
    const QDeadlineTimer deadline(5000);
    while (player.State(file) == TEffectPlayer::stLoading && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return player.State(file);
}

TEST(ResolveSoundFile, BareNamesAreShippedSoundsAndPathsAreFiles) {
    const QString shipped = ResolveSoundFile(QStringLiteral("chimes.wav"));
    EXPECT_TRUE(shipped.endsWith(QStringLiteral("/sounds/chimes.wav"))) << shipped.toStdString();
    EXPECT_TRUE(QFileInfo(shipped).isFile());

    QTemporaryDir folder;
    const QString own = folder.filePath(QStringLiteral("sub/own.wav"));
    WriteFile(own, "RIFF");
    WriteFile(folder.filePath(QStringLiteral("mine.wav")), "RIFF");
    EXPECT_EQ(ResolveSoundFile(own), QFileInfo(own).absoluteFilePath());
    const QString saved = QDir::currentPath();
    QDir::setCurrent(folder.path());
    const QString relative = ResolveSoundFile(QStringLiteral("./sub/own.wav"));
    // A bare name never comes from the current folder.
    const QString bare = ResolveSoundFile(QStringLiteral("mine.wav"));
    QDir::setCurrent(saved);
    EXPECT_EQ(relative, QFileInfo(own).absoluteFilePath());
    EXPECT_TRUE(bare.isEmpty());

    for (const QString& missing : { QString(), QStringLiteral("no-such-sound.wav"),
             folder.filePath(QStringLiteral("gone.wav")), folder.path(), QStringLiteral("..") })
        EXPECT_TRUE(ResolveSoundFile(missing).isEmpty()) << missing.toStdString();
}

TEST(EffectPlayer, MissingOrOversizedFilePlaysNothing) {
    QTemporaryDir folder;
    const QString huge = folder.filePath(QStringLiteral("huge.wav"));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(TEffectPlayer::MaxSoundBytes + 1));
    file.close();
    TEffectPlayer player;
    for (const QString& name : { QString(), QStringLiteral("no-such-sound.wav"), huge }) {
        player.Play(name);
        EXPECT_EQ(player.State(name), TEffectPlayer::stUnplayable) << name.toStdString();
    }
}

QByteArray U16(uint16_t v) {
    const char bytes[2] = { static_cast<char>(v & 0xff), static_cast<char>(v >> 8) };
    return QByteArray(bytes, 2);
}

QByteArray U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16));
}

QByteArray Chunk(const char* id, const QByteArray& body) {
    const QByteArray chunk = QByteArray(id, 4) + U32(static_cast<uint32_t>(body.size())) + body;
    return body.size() % 2 ? chunk + '\0' : chunk;
}

QByteArray Format(uint16_t format, uint16_t channels, uint16_t bits) {
    const uint16_t frame = static_cast<uint16_t>(channels * bits / 8);
    return U16(format) + U16(channels) + U32(22050) + U32(22050 * frame) + U16(frame) + U16(bits);
}

QByteArray Riff(const QByteArray& chunks, const char* id = "RIFF") {
    return QByteArray(id, 4) + U32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks;
}

// 4000 bytes of a quiet tone.
QByteArray Samples() {
    QByteArray bytes;
    for (int i = 0; i < 2000; ++i)
        bytes += U16(static_cast<uint16_t>(static_cast<int16_t>(3000 * std::sin(i * 0.2))));
    return bytes;
}

QByteArray Pcm(uint16_t format = 1, uint16_t channels = 1, uint16_t bits = 16,
    const QByteArray& before = {}, const QByteArray& samples = Samples()) {
    return Riff(Chunk("fmt ", Format(format, channels, bits)) + before + Chunk("data", samples));
}

// A file, and whether Qt's loader finishes on it.
struct TWaveCase {
    const char* Name;
    std::function<QByteArray()> Bytes;
    bool Loadable;
    friend void PrintTo(const TWaveCase& row, std::ostream* os) { *os << row.Name; }
};

class LoadableWave : public testing::TestWithParam<TWaveCase> { };

// A file the check lets through must load; one it refuses is unplayable at once and never
// reaches the loader, which would wait for ever and then block the program on the next release.
TEST_P(LoadableWave, PlayerHandsOverOnlyFilesTheLoaderFinishes) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("case.wav"));
    WriteFile(path, GetParam().Bytes());
    EXPECT_EQ(IsLoadableWave(path), GetParam().Loadable);
    TEffectPlayer player;
    player.Play(path);
    if (GetParam().Loadable) {
        EXPECT_EQ(Settled(player, path), TEffectPlayer::stReady);
    } else {
        EXPECT_EQ(player.State(path), TEffectPlayer::stUnplayable);
        player.Play(path);
        EXPECT_EQ(player.State(path), TEffectPlayer::stUnplayable);
    }
}

QByteArray Garbage() {
    QByteArray bytes(4000, '\0');
    uint32_t x = 12345;
    for (char& c : bytes)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Sounds, LoadableWave,
    testing::Values(TWaveCase { "PlainPcm", [] { return Pcm(); }, true },
        TWaveCase { "EightBitStereoLoads", [] { return Pcm(1, 2, 8); }, true },
        TWaveCase { "EvenChunkBeforeSamplesLoads",
            [] { return Pcm(1, 1, 16, Chunk("LIST", "INFOabcd")); }, true },
        TWaveCase { "OddChunkBeforeSamplesStallsTheLoader",
            [] { return Pcm(1, 1, 16, Chunk("LIST", "INFOabcde")); }, false },
        TWaveCase { "DataSizeBeyondTheFile",
            [] { return Riff(Chunk("fmt ", Format(1, 1, 16)) + "data" + U32(0x7ffffff0)); },
            false },
        TWaveCase { "TruncatedSamples", [] { return Pcm().left(3000); }, false },
        TWaveCase {
            "HalfASampleAtTheEnd", [] { return Pcm(1, 1, 16, {}, Samples() + 'x'); }, false },
        TWaveCase { "NoDataChunk", [] { return Riff(Chunk("fmt ", Format(1, 1, 16))); }, false },
        TWaveCase { "ShortFormatChunk",
            [] { return Riff(Chunk("fmt ", Format(1, 1, 16).left(14)) + Chunk("data", "ab")); },
            false },
        TWaveCase { "FloatSamples", [] { return Pcm(3, 1, 32); }, false },
        TWaveCase { "BigEndianRifxStallsTheLoader",
            [] { return Riff(Chunk("fmt ", Format(1, 1, 16)) + Chunk("data", "ab"), "RIFX"); },
            false },
        TWaveCase { "EmptyFile", [] { return QByteArray(); }, false },
        TWaveCase { "RandomBytes", Garbage, false }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(EffectPlayer, ShippedSoundLoadsOnceUnderEitherName) {
    {
        TEffectPlayer player;
        EXPECT_EQ(player.State(QStringLiteral("chimes.wav")), TEffectPlayer::stUnknown);
        player.Play(QStringLiteral("chimes.wav"));
        EXPECT_EQ(Settled(player, QStringLiteral("chimes.wav")), TEffectPlayer::stReady);
        EXPECT_EQ(
            player.State(ResolveSoundFile(QStringLiteral("chimes.wav"))), TEffectPlayer::stReady);
        // Each new sound cuts the one before; the player then goes while sounds are still
        // loading.
        for (const char* name : ShippedSounds)
            player.Play(QString::fromLatin1(name));
    }
    // Qt's loader finishes the loads it had begun and frees what it made for them.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Letting go of a loaded sound blocks while any load is in progress, so a full player only makes
// room once every load is done; until then a new file is skipped.
TEST(EffectPlayer, KeepsABoundedNumberOfSoundsAndMakesRoomOnlyWhenNothingLoads) {
    QTemporaryDir folder;
    TEffectPlayer player;
    const auto copy = [&](int i) { return folder.filePath(QStringLiteral("c%1.wav").arg(i)); };
    const int last = TEffectPlayer::MaxCachedSounds;
    for (int i = 0; i <= last; ++i) {
        WriteFile(copy(i), Pcm());
        player.Play(copy(i));
    }
    if (player.State(copy(last - 1)) == TEffectPlayer::stLoading) {
        EXPECT_EQ(player.State(copy(last)), TEffectPlayer::stUnknown);
    }
    for (int i = 0; i < last; ++i)
        ASSERT_EQ(Settled(player, copy(i)), TEffectPlayer::stReady);
    player.Play(copy(last));
    EXPECT_EQ(player.State(copy(0)), TEffectPlayer::stUnknown);
    EXPECT_EQ(Settled(player, copy(last)), TEffectPlayer::stReady);
}

uint32_t ReadU32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int Sample(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

class ShippedSound : public testing::TestWithParam<const char*> { };

// Read the way a strict player would: every chunk inside the file, PCM 16-bit mono.
TEST_P(ShippedSound, IsShortCleanPcm) {
    const QString name = QString::fromLatin1(GetParam());
    const QByteArray b = ReadFile(ResolveSoundFile(name));
    ASSERT_FALSE(b.isEmpty()) << "not in the program's sounds folder";
    EXPECT_EQ(b, ReadFile(QStringLiteral(WINTERMOOT_SOURCE_DIR "/resources/sounds/") + name));
    EXPECT_LT(b.size(), 100 * 1024);
    ASSERT_TRUE(b.startsWith("RIFF") && b.mid(8, 4) == "WAVE");
    ASSERT_EQ(ReadU32(b, 4) + 8, static_cast<uint32_t>(b.size()));
    QByteArray format, data;
    for (qsizetype at = 12; at + 8 <= b.size();) {
        const qsizetype size = ReadU32(b, at + 4);
        ASSERT_LE(at + 8 + size, b.size()) << "chunk runs past the end";
        if (b.mid(at, 4) == "fmt ")
            format = b.mid(at, 8 + size);
        else if (b.mid(at, 4) == "data")
            data = b.mid(at, 8 + size);
        at += 8 + size + (size & 1);
    }
    ASSERT_GE(format.size(), 24);
    const uint32_t rate = ReadU32(format, 12);
    EXPECT_EQ(ReadU32(format, 8), 1u | 1u << 16) << "not PCM mono";
    EXPECT_EQ(ReadU32(format, 20), 2u | 16u << 16) << "not 16-bit";
    EXPECT_TRUE(rate == 22050 || rate == 44100) << rate;
    EXPECT_EQ(ReadU32(format, 16), rate * 2) << "byte rate";
    ASSERT_GT(data.size(), 8);
    const qsizetype samples = (data.size() - 8) / 2;
    EXPECT_GE(samples, rate / 5);
    EXPECT_LT(samples, rate * 3 / 2);

    int peak = 0;
    for (qsizetype i = 0; i < samples; ++i)
        peak = std::max(peak, std::abs(Sample(data, 8 + 2 * i)));
    EXPECT_LT(peak, 32000) << "clipped or at full scale";
    EXPECT_GT(peak, 3000) << "too quiet to hear";
    // Faded in and out, so that neither end clicks.
    EXPECT_LT(std::abs(Sample(data, 8)), 500);
    EXPECT_LT(std::abs(Sample(data, data.size() - 2)), 500);
}

INSTANTIATE_TEST_SUITE_P(
    Sounds, ShippedSound, testing::ValuesIn(ShippedSounds), [](const auto& info) {
        const std::string name = info.param;
        return name.substr(0, name.find('.'));
    });

TEST(ShippedSounds, AreSixDifferentSounds) {
    std::set<QByteArray> sounds;
    for (const char* name : ShippedSounds)
        sounds.insert(ReadFile(ResolveSoundFile(QString::fromLatin1(name))));
    EXPECT_EQ(sounds.size(), std::size(ShippedSounds));
}

} // namespace
