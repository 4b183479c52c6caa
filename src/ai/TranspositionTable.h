#pragma once

// Values of reply-search nodes, shared between searches and between the threads of one search.
//
// A node above the last level has a value that depends only on its position, the colour to move
// and the depth left; a search stopped early at its bound knows a lower bound of it. The position
// seen by the move rules is the placement of the piece bytes (with their never-moved bits), the
// king squares the board remembers and the en passant state. An entry stores all of it exactly,
// so a probe answers only for the very same node: a collision of keys can never give a wrong
// value. Since the en passant state is part of the entry, values stay true from one search to the
// next and the table is never cleared for correctness.
//
// Entries are written and read with atomic operations under a sequence number per entry, so any
// number of threads may probe and store at once; a torn read is detected and counts as a miss.

#include "FastBoard.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class TTranspositionTable {
public:
    // The size the computer player uses.
    static constexpr size_t DefaultBytes = size_t(64) << 20;
    // Nodes with less depth left are neither stored nor probed: they are cheaper to search again
    // than to pack and compare.
    static constexpr int MinDepth = 3;
    // Shallower searches are faster without a table: they find few repeated nodes, and each
    // probe of a large table is a miss in the processor's caches.
    static constexpr int MinSearchDepth = 7;
    static constexpr int MaxDepth = 15;

    // Rounds `bytes` down to a power-of-two count of buckets, with at least one bucket. The memory
    // is taken zeroed from the system, so untouched parts use no physical memory.
    explicit TTranspositionTable(size_t bytes = DefaultBytes);
    ~TTranspositionTable();
    TTranspositionTable(const TTranspositionTable&) = delete;
    TTranspositionTable& operator=(const TTranspositionTable&) = delete;

    size_t Bytes() const { return m_BucketCount * sizeof(TBucket); }
    // Empties the table. Only while no search uses it.
    void Clear();
    // Marks the start of a search, so that replacement prefers the entries of older searches.
    void NewSearch();

    // The packed position of a node, made once per node for both the probe and the store.
    struct TNode {
        uint64_t Key = 0;
        uint64_t Occupied = 0;
        uint64_t Pieces[3] = {};
        uint64_t Meta = 0;
        bool Storable = false;
    };
    // Storable is false when the node cannot be stored: too many pieces to pack, or too deep.
    static TNode Pack(const TFastBoard& board, TPieceColour colour, int depth);

    // A node's value, or a lower bound of it: a search that stopped early at its bound knows
    // only that the value is at least this.
    struct TValue {
        int Value = 0;
        bool Exact = true;
    };
    bool Probe(const TNode& node, TValue& value) const;
    void Store(const TNode& node, TValue value);

private:
    // Words: 0 sequence (odd while written), 1 occupied squares, 2..4 piece bytes (5 bits each,
    // in square order), 5 the node's colour, depth, king squares and en passant state in the low
    // half and the value in the high half, 6 the generation that stored it; 7 is unused.
    static constexpr int EntryWords = 8;
    struct alignas(64) TEntry {
        uint64_t Words[EntryWords];
    };
    struct TBucket {
        TEntry Entries[2];
    };

    static bool Read(TEntry& entry, uint64_t words[EntryWords]);

    TBucket& BucketOf(const TNode& node) const;

    void* m_Memory = nullptr;
    TBucket* m_Buckets = nullptr;
    size_t m_BucketCount = 0;
    uint64_t m_Generation = 1;
};
