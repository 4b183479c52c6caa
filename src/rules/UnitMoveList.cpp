#include "UnitMoveList.h"

#include "StreamIO.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <vector>

TMoveList::~TMoveList() {
    Clear();
}

void TMoveList::Append(std::unique_ptr<TMoveRecord> record) {
    TMoveRecord* r = record.release();
    r->Prev = m_Last;
    r->Next = nullptr;
    if (m_Last)
        m_Last->Next = r;
    else
        m_First = r;
    m_Last = r;
    ++m_Count;
}

bool TMoveList::Add(uint8_t kind, TPoint from, TPoint to, int32_t score, TMoveResult flags) {
    if (m_Count == UINT16_MAX)
        return false;
    auto record = std::make_unique<TMoveRecord>();
    record->Kind = kind;
    record->From = from;
    record->To = to;
    record->Score = score;
    record->Flags = flags;
    Append(std::move(record));
    return true;
}

TMoveRecord* TMoveList::Item(uint16_t index) const {
    if (index >= m_Count)
        return nullptr;
    // Walk from the nearer end: the game's last moves are the ones asked for most.
    if (index >= m_Count / 2) {
        TMoveRecord* r = m_Last;
        for (uint16_t i = m_Count - 1; i > index; --i)
            r = r->Prev;
        return r;
    }
    TMoveRecord* r = m_First;
    for (uint16_t i = 0; i < index; ++i)
        r = r->Next;
    return r;
}

bool TMoveList::Delete(uint16_t index) {
    TMoveRecord* r = Item(index);
    if (!r)
        return false;
    if (r->Prev)
        r->Prev->Next = r->Next;
    else
        m_First = r->Next;
    if (r->Next)
        r->Next->Prev = r->Prev;
    else
        m_Last = r->Prev;
    delete r;
    --m_Count;
    return true;
}

void TMoveList::Clear() {
    TMoveRecord* r = m_First;
    while (r) {
        TMoveRecord* next = r->Next;
        delete r;
        r = next;
    }
    m_First = m_Last = nullptr;
    m_Count = 0;
}

void TMoveList::Assign(const TMoveList& source) {
    if (&source == this)
        return;
    Clear();
    for (const TMoveRecord* r = source.m_First; r; r = r->Next) {
        auto copy = std::make_unique<TMoveRecord>(*r);
        Append(std::move(copy));
    }
}

void TMoveList::SortByScore() {
    // Each pass moves the smallest remaining score (the first one met among equals) to the
    // front, so the list ends in descending order with equal scores reversed.
    TMoveRecord* start = m_First;
    for (uint16_t i = 0; i < m_Count && start; ++i) {
        TMoveRecord* smallest = start;
        for (TMoveRecord* r = start->Next; r; r = r->Next) {
            if (r->Score < smallest->Score)
                smallest = r;
        }
        TMoveRecord* nextStart = start->Next;
        if (smallest != start)
            nextStart = start;
        if (smallest != m_First) {
            smallest->Prev->Next = smallest->Next;
            if (smallest->Next)
                smallest->Next->Prev = smallest->Prev;
            else
                m_Last = smallest->Prev;
            smallest->Prev = nullptr;
            smallest->Next = m_First;
            m_First->Prev = smallest;
            m_First = smallest;
        }
        start = nextStart;
    }
}

void TMoveList::SaveToStream(std::ostream& out) const {
    WriteI32(out, m_Count);
    for (const TMoveRecord* r = m_First; r; r = r->Next) {
        WriteByte(out, r->Kind);
        WriteByte(out, r->PromotionKind);
        WriteI32(out, r->From.X);
        WriteI32(out, r->From.Y);
        WriteI32(out, r->To.X);
        WriteI32(out, r->To.Y);
        WriteByte(out, r->Flags);
    }
}

static TPoint ReadSquare(std::istream& in) {
    TPoint p;
    p.X = ReadI32(in);
    p.Y = ReadI32(in);
    if (!OnBoard(p))
        throw EStreamError("move square off the board");
    return p;
}

void TMoveList::LoadFromStream(std::istream& in, uint16_t version) {
    const uint16_t count = static_cast<uint16_t>(ReadI32(in) & 0xFFFF);
    // The records grow with the moves really read, so that a damaged count in a short stream
    // does not allocate for 65535 moves.
    std::vector<TMoveRecord> records;
    records.reserve(std::min<size_t>(count, 256));
    for (uint16_t i = 0; i < count; ++i) {
        TMoveRecord& r = records.emplace_back();
        if (version > 100) {
            r.Kind = ReadByte(in);
            r.PromotionKind = ReadByte(in);
        }
        r.From = ReadSquare(in);
        r.To = ReadSquare(in);
        r.Flags = ReadByte(in);
        // The promotion byte means nothing for other moves, so only a promotion's is checked.
        if (r.Kind > pkKing || ((r.Flags & mrPromotion) && r.PromotionKind > pkQueen))
            throw EStreamError("bad move piece kind");
    }
    Clear();
    for (const TMoveRecord& r : records)
        Append(std::make_unique<TMoveRecord>(r));
}

void WriteMoveRecordWire(std::ostream& out, const TMoveRecord& record) {
    WriteByte(out, record.Kind);
    WriteByte(out, record.PromotionKind);
    WriteU16(out, 0);
    WriteI32(out, record.From.X);
    WriteI32(out, record.From.Y);
    WriteI32(out, record.To.X);
    WriteI32(out, record.To.Y);
    WriteI32(out, record.Score);
    WriteByte(out, record.Flags);
    WriteByte(out, 0);
    WriteU16(out, 0);
    WriteI32(out, 0);
    WriteI32(out, 0);
}

TMoveRecord ReadMoveRecordWire(std::istream& in) {
    TMoveRecord r;
    r.Kind = ReadByte(in);
    r.PromotionKind = ReadByte(in);
    ReadU16(in);
    r.From.X = ReadI32(in);
    r.From.Y = ReadI32(in);
    r.To.X = ReadI32(in);
    r.To.Y = ReadI32(in);
    r.Score = ReadI32(in);
    r.Flags = ReadByte(in);
    ReadByte(in);
    ReadU16(in);
    ReadI32(in);
    ReadI32(in);
    return r;
}
