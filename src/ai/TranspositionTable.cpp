#include "TranspositionTable.h"

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int SequenceWord = 0;
constexpr int OccupiedWord = 1;
constexpr int PiecesWord = 2;
constexpr int MetaWord = 5;
constexpr int GenerationWord = 6;
constexpr int PieceBits = 5;
constexpr int MaxPieces = 3 * 64 / PieceBits;
constexpr uint64_t MetaMask = 0x3FFFFFFFull;
constexpr uint64_t LowerBoundBit = uint64_t(1) << 30;

std::atomic_ref<uint64_t> Word(uint64_t& word) {
    return std::atomic_ref<uint64_t>(word);
}

bool SameNode(const uint64_t* words, const TTranspositionTable::TNode& node) {
    return words[OccupiedWord] == node.Occupied && (words[MetaWord] & MetaMask) == node.Meta
        && words[PiecesWord] == node.Pieces[0] && words[PiecesWord + 1] == node.Pieces[1]
        && words[PiecesWord + 2] == node.Pieces[2];
}

int DepthOf(uint64_t meta) {
    return int((meta >> 1) & 15);
}

} // namespace

TTranspositionTable::TTranspositionTable(size_t bytes) {
    m_BucketCount = std::bit_floor(std::max<size_t>(1, bytes / sizeof(TBucket)));
    // Zeroed memory from the system: pages are handed out as the search first touches them, so
    // a table that is never filled costs little memory.
    m_Memory = std::calloc(1, m_BucketCount * sizeof(TBucket) + alignof(TBucket));
    if (!m_Memory)
        throw std::bad_alloc();
    const auto address = reinterpret_cast<uintptr_t>(m_Memory);
    const uintptr_t aligned = (address + alignof(TBucket) - 1) & ~uintptr_t(alignof(TBucket) - 1);
    m_Buckets = reinterpret_cast<TBucket*>(aligned);
}

TTranspositionTable::~TTranspositionTable() {
    std::free(m_Memory);
}

void TTranspositionTable::Clear() {
    std::memset(static_cast<void*>(m_Buckets), 0, m_BucketCount * sizeof(TBucket));
}

void TTranspositionTable::NewSearch() {
    ++m_Generation;
}

TTranspositionTable::TNode TTranspositionTable::Pack(
    const TFastBoard& board, TPieceColour colour, int depth) {
    TNode node;
    node.Occupied = board.Occupied();
    if (depth < 1 || depth > MaxDepth || std::popcount(node.Occupied) > MaxPieces)
        return node;
    int bit = 0;
    for (uint64_t rest = node.Occupied; rest; rest &= rest - 1, bit += PieceBits) {
        const uint64_t piece = board.At(std::countr_zero(rest)) & 31;
        node.Pieces[bit / 64] |= piece << (bit % 64);
        // A code that straddles two words continues in the next one.
        if (bit % 64 > 64 - PieceBits)
            node.Pieces[bit / 64 + 1] |= piece >> (64 - bit % 64);
    }
    const auto kingCode = [&](TPieceColour c) {
        const int king = board.KingSquare(c);
        return uint64_t(king == TFastBoard::NoSquare ? 64 : king);
    };
    node.Meta = uint64_t(colour) | uint64_t(depth) << 1 | kingCode(pcWhite) << 5
        | kingCode(pcBlack) << 12 | uint64_t(board.EnPassantContext()) << 19;
    node.Key = board.Key() ^ (node.Meta * 0x9E3779B97F4A7C15ull);
    node.Storable = true;
    return node;
}

TTranspositionTable::TBucket& TTranspositionTable::BucketOf(const TNode& node) const {
    const uint64_t mixed = node.Key * 0xD6E8FEB86659FD93ull;
    return m_Buckets[(mixed ^ (mixed >> 32)) & (m_BucketCount - 1)];
}

bool TTranspositionTable::Read(TEntry& entry, uint64_t words[EntryWords]) {
    const uint64_t sequence = Word(entry.Words[SequenceWord]).load(std::memory_order_acquire);
    if (sequence & 1)
        return false;
    for (int i = 1; i < EntryWords; ++i)
        words[i] = Word(entry.Words[i]).load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    return Word(entry.Words[SequenceWord]).load(std::memory_order_relaxed) == sequence;
}

bool TTranspositionTable::Probe(const TNode& node, TValue& value) const {
    if (!node.Storable)
        return false;
    for (TEntry& entry : BucketOf(node).Entries) {
        // The occupied squares reject nearly every other position before a full read.
        if (Word(entry.Words[OccupiedWord]).load(std::memory_order_relaxed) != node.Occupied)
            continue;
        uint64_t words[EntryWords];
        if (!Read(entry, words))
            continue;
        if (SameNode(words, node)) {
            value.Value = int32_t(uint32_t(words[MetaWord] >> 32));
            value.Exact = !(words[MetaWord] & LowerBoundBit);
            return true;
        }
    }
    return false;
}

void TTranspositionTable::Store(const TNode& node, TValue value) {
    if (!node.Storable)
        return;
    TBucket& bucket = BucketOf(node);
    // The victim: the entry holding the same node, else an empty one, else one from an older
    // search, else the shallower one unless both are deeper than the node.
    TEntry* victim = &bucket.Entries[1];
    int victimRank = MaxDepth + 1;
    for (TEntry& entry : bucket.Entries) {
        uint64_t words[EntryWords] = {};
        if (Read(entry, words) && SameNode(words, node)) {
            victim = &entry;
            break;
        }
        const int depth = DepthOf(words[MetaWord]);
        const int rank = depth == 0 ? -1 : (words[GenerationWord] != m_Generation ? 0 : depth);
        if (rank < victimRank && rank <= DepthOf(node.Meta)) {
            victim = &entry;
            victimRank = rank;
        }
    }
    uint64_t sequence = Word(victim->Words[SequenceWord]).load(std::memory_order_relaxed);
    // Another thread writing this entry keeps it; the value is simply not stored.
    if ((sequence & 1)
        || !Word(victim->Words[SequenceWord])
                .compare_exchange_strong(sequence, sequence + 1, std::memory_order_acquire))
        return;
    std::atomic_thread_fence(std::memory_order_release);
    Word(victim->Words[OccupiedWord]).store(node.Occupied, std::memory_order_relaxed);
    for (int i = 0; i < 3; ++i)
        Word(victim->Words[PiecesWord + i]).store(node.Pieces[i], std::memory_order_relaxed);
    Word(victim->Words[MetaWord])
        .store(
            node.Meta | (value.Exact ? 0 : LowerBoundBit) | uint64_t(uint32_t(value.Value)) << 32,
            std::memory_order_relaxed);
    Word(victim->Words[GenerationWord]).store(m_Generation, std::memory_order_relaxed);
    Word(victim->Words[SequenceWord]).store(sequence + 2, std::memory_order_release);
}
