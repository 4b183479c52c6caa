#pragma once

// The ordered list of move records: the moves of a game, a history entry's moves, or the
// computer player's candidate moves.

#include "UnitChessPiece.h"

#include <cstdint>
#include <iosfwd>
#include <memory>

struct TMoveRecord {
    uint8_t Kind = 0; // kind of the piece that moved, as it stood right after the move
    uint8_t PromotionKind = 0; // 1..4, meaningful only when Flags holds mrPromotion
    TPoint From;
    TPoint To;
    int32_t Score = 0;
    TMoveResult Flags = 0;
    TMoveRecord* Prev = nullptr;
    TMoveRecord* Next = nullptr;
};

// Size of a record as it travels in network move messages.
constexpr size_t MoveRecordWireSize = 36;
void WriteMoveRecordWire(std::ostream& out, const TMoveRecord& record);
// Reads the 36-byte wire form; the link fields are read and ignored.
TMoveRecord ReadMoveRecordWire(std::istream& in);

class TMoveList {
public:
    TMoveList() = default;
    ~TMoveList();
    TMoveList(const TMoveList&) = delete;
    TMoveList& operator=(const TMoveList&) = delete;

    // Appends a record (PromotionKind 0). False when the list already holds 65535 records.
    bool Add(uint8_t kind, TPoint from, TPoint to, int32_t score, TMoveResult flags);
    TMoveRecord* Item(uint16_t index) const;
    bool Delete(uint16_t index);
    void Clear();
    void Assign(const TMoveList& source);
    // Descending score; records with equal scores end in the reverse of their previous order.
    void SortByScore();

    // Reads a move-list section of the given file version (19-byte moves above 100, 17-byte
    // moves otherwise). Throws EStreamError on a short stream or a square outside 1..8, leaving
    // the list unchanged.
    void LoadFromStream(std::istream& in, uint16_t version);
    void SaveToStream(std::ostream& out) const;

    TMoveRecord* First() const { return m_First; }
    TMoveRecord* Last() const { return m_Last; }
    uint16_t Count() const { return m_Count; }

private:
    void Append(std::unique_ptr<TMoveRecord> record);

    TMoveRecord* m_First = nullptr;
    TMoveRecord* m_Last = nullptr;
    uint16_t m_Count = 0;
};
