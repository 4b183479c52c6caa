#include "UnitHistory.h"

#include "AtomicFile.h"
#include "GameExport.h"
#include "Pgn.h"
#include "RegularFile.h"
#include "StoredText.h"
#include "StreamIO.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>

namespace {

// Day counts of 1 January 0001 and 1 January 10000: the range of dates a record can hold.
constexpr double MinDays = -693593;
constexpr double MaxDays = 2958466;
constexpr qint64 MillisecondsPerDay = 86400000;
const QDate Epoch(1899, 12, 30);

// A history is read into memory whole; a file larger than this is not a history.
constexpr qint64 MaxFileSize = qint64(1) << 30;
constexpr size_t MagicLength = 15;
constexpr size_t HeaderTextSize = 4 + MagicLength;
// A file without the magic has no version; its moves are read with the 17-byte layout.
constexpr uint16_t HeaderlessVersion = 100;

bool StartsWithMagic(const std::string& bytes) {
    return StartsWithTextItem(bytes, THistory::Magic);
}

// The bytes are the start of the header, cut short before the magic text ends: a history
// written in part.
bool IsHeaderPrefix(const std::string& bytes) {
    if (bytes.empty() || bytes.size() >= HeaderTextSize)
        return false;
    const std::string header = std::string("\x0f\0\0\0", 4) + THistory::Magic;
    return header.compare(0, bytes.size(), bytes) == 0;
}

void WriteDate(std::ostream& out, double date) {
    uint64_t bits = 0;
    std::memcpy(&bits, &date, sizeof bits);
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = uint8_t(bits >> (8 * i));
    WriteBytes(out, bytes, 8);
}

double ReadDate(std::istream& in) {
    uint8_t bytes[8];
    ReadBytes(in, bytes, 8);
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(bytes[i]) << (8 * i);
    double date = 0;
    std::memcpy(&date, &bits, sizeof date);
    return date;
}

// Reads the game entries of a file held in memory, appending each game only once it has been
// read whole. Lengths and counts are checked against the bytes left before anything is
// allocated for them.
class THistoryReader {
public:
    THistoryReader(const std::string& bytes, uint16_t version, size_t start)
        : m_In(bytes)
        , m_Size(bytes.size())
        , m_Version(version) {
        m_In.seekg(std::streamoff(start));
    }

    int32_t ReadCount() { return ReadI32(m_In); }

    std::unique_ptr<TGameInfo> ReadGame() {
        auto game = std::make_unique<TGameInfo>();
        game->Date = ReadDate(m_In);
        game->White = DecodeStoredText(ReadText(m_In, Left())).toStdString();
        game->Black = DecodeStoredText(ReadText(m_In, Left())).toStdString();
        game->WhiteTime = ReadI32(m_In);
        game->BlackTime = ReadI32(m_In);
        game->Result = ReadByte(m_In);

        const std::streamoff movesAt = m_In.tellg();
        const size_t moveCount = size_t(ReadI32(m_In)) & 0xFFFF;
        const size_t moveSize = m_Version > 100 ? 19 : 17;
        if (moveCount * moveSize > size_t(Left()))
            throw EStreamError("move count larger than the data");
        m_In.seekg(movesAt);
        game->Moves.LoadFromStream(m_In, m_Version);
        return game;
    }

private:
    int32_t Left() {
        const std::streamoff at = m_In.tellg();
        if (at < 0)
            throw EStreamError("unreadable position");
        return int32_t(std::min<size_t>(m_Size - size_t(at), INT32_MAX));
    }

    std::istringstream m_In;
    size_t m_Size;
    uint16_t m_Version;
};

} // namespace

double EncodeDate(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0;
    const QDateTime local = dateTime.toLocalTime();
    const double days = double(Epoch.daysTo(local.date()));
    const double fraction = double(local.time().msecsSinceStartOfDay()) / MillisecondsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime DecodeDate(double days) {
    if (!std::isfinite(days) || days < MinDays || days >= MaxDays)
        return {};
    const double whole = std::trunc(days);
    qint64 milliseconds = std::llround(std::fabs(days - whole) * MillisecondsPerDay);
    milliseconds = std::min(milliseconds, MillisecondsPerDay - 1);
    const QDate date = Epoch.addDays(qint64(whole));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(milliseconds));
    const QDateTime local(date, time, Qt::LocalTime);
    if (local.isValid() || !date.isValid())
        return local;
    // A reading in the hour the local clock skips (spring forward) has no local time: it keeps
    // its reading, at the offset in force the day before.
    const QDateTime dayBefore(date.addDays(-1), time, Qt::LocalTime);
    return QDateTime(
        date, time, Qt::OffsetFromUTC, dayBefore.isValid() ? dayBefore.offsetFromUtc() : 0);
}

THistory::THistory() = default;

THistory::~THistory() {
    Clear();
}

void THistory::Append(TGameInfo* game) {
    game->Prev = m_Last;
    game->Next = nullptr;
    if (m_Last)
        m_Last->Next = game;
    else
        m_First = game;
    m_Last = game;
    ++m_Count;
}

bool THistory::AddGame(const std::string& white, const std::string& black, double date,
    int32_t whiteTime, int32_t blackTime, uint8_t result, const TMoveList& moves) {
    if (m_Count == INT32_MAX)
        return false;
    // A move the reader would refuse would make the saved file end at this game.
    for (const TMoveRecord* r = moves.First(); r; r = r->Next) {
        if (!OnBoard(r->From) || !OnBoard(r->To) || r->Kind > pkKing
            || ((r->Flags & mrPromotion) && r->PromotionKind > pkQueen))
            return false;
    }
    auto game = std::make_unique<TGameInfo>();
    game->Date = date;
    game->White = white;
    game->Black = black;
    game->WhiteTime = whiteTime;
    game->BlackTime = blackTime;
    game->Result = result;
    game->Moves.Assign(moves);
    Append(game.release());
    return true;
}

TGameInfo* THistory::GetGame(uint16_t position) const {
    if (position == 0 || position > m_Count)
        return nullptr;
    TGameInfo* game = m_First;
    for (uint16_t i = 1; i < position; ++i)
        game = game->Next;
    return game;
}

bool THistory::DeleteGame(uint16_t position) {
    TGameInfo* game = GetGame(position);
    if (!game)
        return false;
    if (game->Prev)
        game->Prev->Next = game->Next;
    else
        m_First = game->Next;
    if (game->Next)
        game->Next->Prev = game->Prev;
    else
        m_Last = game->Prev;
    delete game;
    --m_Count;
    return true;
}

void THistory::Clear() {
    TGameInfo* game = m_First;
    while (game) {
        TGameInfo* next = game->Next;
        delete game;
        game = next;
    }
    m_First = m_Last = nullptr;
    m_Count = 0;
}

bool THistory::SaveToFile(const QString& fileName) const {
    std::ostringstream out;
    WriteText(out, Magic);
    WriteU16(out, FileVersion);
    WriteI32(out, m_Count);
    for (const TGameInfo* game = m_First; game; game = game->Next) {
        WriteDate(out, game->Date);
        WriteText(out, game->White);
        WriteText(out, game->Black);
        WriteI32(out, game->WhiteTime);
        WriteI32(out, game->BlackTime);
        WriteByte(out, game->Result);
        game->Moves.SaveToStream(out);
    }
    return WriteFileAtomically(fileName, out.str());
}

bool THistory::LoadFromFile(const QString& fileName) {
    return LoadFromFile(fileName, nullptr);
}

bool THistory::LoadFromFile(const QString& fileName, bool* damaged) {
    const THistoryLoad status = Load(fileName);
    if (damaged)
        *damaged = status == hlDamaged || status == hlNotHistory;
    return status == hlLoaded;
}

THistoryLoad THistory::Load(const QString& fileName) {
    Clear();
    const TFileCheck check = CheckFileToRead(QFile::encodeName(fileName).toStdString());
    if (check == TFileCheck::Missing)
        return hlMissing;
    QFile file(fileName);
    if (check != TFileCheck::Regular || !file.open(QIODevice::ReadOnly))
        return hlUnreadable;
    if (file.size() > MaxFileSize)
        return hlNotHistory;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return hlUnreadable;
    const std::string bytes(data.constData(), size_t(data.size()));

    uint16_t version = HeaderlessVersion;
    size_t start = 0;
    const bool headed = StartsWithMagic(bytes);
    if (headed) {
        if (bytes.size() < HeaderTextSize + 2)
            return hlDamaged;
        version
            = uint16_t(uint8_t(bytes[HeaderTextSize]) | uint8_t(bytes[HeaderTextSize + 1]) << 8);
        if (version < MinFileVersion)
            return hlOldVersion;
        if (version > FileVersion)
            return hlNewerVersion;
        start = HeaderTextSize + 2;
    } else if (bytes.empty()) {
        return hlNotHistory;
    } else if (IsHeaderPrefix(bytes)) {
        return hlDamaged;
    }

    THistoryReader reader(bytes, version, start);
    try {
        const int32_t count = reader.ReadCount();
        // No game entry can be empty, so a count the data cannot hold ends at the first game
        // that breaks off; a negative count is no history this program wrote.
        if (count < 0)
            return headed ? hlDamaged : hlNotHistory;
        // A headerless file with no games is exactly its count.
        if (!headed && count == 0 && bytes.size() != 4)
            return hlNotHistory;
        for (int32_t i = 0; i < count; ++i)
            Append(reader.ReadGame().release());
    } catch (const std::exception&) {
        // Without the header, bytes whose first game does not read are not a history.
        return headed || m_Count > 0 ? hlDamaged : hlNotHistory;
    }
    return hlLoaded;
}

bool THistory::ExportGame(uint16_t position, const QString& fileName) const {
    const TGameInfo* game = GetGame(position);
    return game && WriteFileAtomically(fileName, GameExportText(*game));
}

bool THistory::ExportPgn(uint16_t position, const QString& fileName) const {
    const TGameInfo* game = GetGame(position);
    return game && WriteFileAtomically(fileName, GamePgn(*game));
}

bool THistory::ExportAllPgn(const QString& fileName) const {
    std::string text;
    for (const TGameInfo* game = m_First; game; game = game->Next) {
        if (!text.empty())
            text += '\n';
        text += GamePgn(*game);
    }
    return WriteFileAtomically(fileName, text);
}
