#include "UnitChessBoard.h"

#include "StreamIO.h"

#include <istream>
#include <ostream>
#include <string>

void CheckSquare(int32_t x, int32_t y) {
    if (x < 1 || x > 8 || y < 1 || y > 8)
        throw ERangeError(
            "square (" + std::to_string(x) + "," + std::to_string(y) + ") is off the board");
}

TChessBoard::TChessBoard() {
    Reset();
}

TChessBoard::~TChessBoard() {
    Clear();
}

void TChessBoard::Clear() {
    for (auto& slot : m_Squares)
        slot.reset();
    for (auto& slot : m_CapturedByWhite)
        slot.reset();
    for (auto& slot : m_CapturedByBlack)
        slot.reset();
    m_CapturedByWhiteCount = 0;
    m_CapturedByBlackCount = 0;
    m_History.clear();
    Modified = false;
}

void TChessBoard::Reset() {
    Clear();
    static constexpr TPieceKind backRank[8]
        = { pkRook, pkKnight, pkBishop, pkQueen, pkKing, pkBishop, pkKnight, pkRook };
    for (int x = 1; x <= 8; ++x) {
        PutPiece(x, 7, std::make_unique<TPiece>(pkPawn, pcBlack));
        PutPiece(x, 8, std::make_unique<TPiece>(backRank[x - 1], pcBlack));
    }
    for (int x = 1; x <= 8; ++x) {
        PutPiece(x, 2, std::make_unique<TPiece>(pkPawn, pcWhite));
        PutPiece(x, 1, std::make_unique<TPiece>(backRank[x - 1], pcWhite));
    }
    Modified = false;
}

static void CopySlot(std::unique_ptr<TPiece>& target, const std::unique_ptr<TPiece>& source) {
    if (!source) {
        target.reset();
        return;
    }
    if (!target)
        target = std::make_unique<TPiece>(source->Kind, source->Colour);
    target->Assign(*source);
}

void TChessBoard::Assign(const TChessBoard& source) {
    if (&source == this)
        return;
    for (size_t i = 0; i < m_Squares.size(); ++i)
        CopySlot(m_Squares[i], source.m_Squares[i]);
    for (int i = 0; i < MaxCaptured; ++i) {
        CopySlot(m_CapturedByWhite[i], source.m_CapturedByWhite[i]);
        CopySlot(m_CapturedByBlack[i], source.m_CapturedByBlack[i]);
    }
    m_CapturedByWhiteCount = source.m_CapturedByWhiteCount;
    m_CapturedByBlackCount = source.m_CapturedByBlackCount;
    WhiteKing = source.WhiteKing;
    BlackKing = source.BlackKing;
    EnPassant = source.EnPassant;
    LastMoveTo = source.LastMoveTo;
    m_History = source.m_History;
    Modified = false;
}

const TPiece* TChessBoard::PieceAt(int32_t x, int32_t y) const {
    CheckSquare(x, y);
    return Slot(x, y).get();
}

TPiece* TChessBoard::PieceAt(int32_t x, int32_t y) {
    CheckSquare(x, y);
    return Slot(x, y).get();
}

bool TChessBoard::PutPiece(int32_t x, int32_t y, std::unique_ptr<TPiece>&& piece) {
    if (!piece)
        return false;
    CheckSquare(x, y);
    if (piece->Kind == pkKing)
        (piece->Colour == pcWhite ? WhiteKing : BlackKing) = MakePoint(x, y);
    Slot(x, y) = std::move(piece);
    Modified = true;
    return true;
}

std::unique_ptr<TPiece> TChessBoard::TakePiece(int32_t x, int32_t y) {
    CheckSquare(x, y);
    auto& slot = Slot(x, y);
    if (!slot)
        return nullptr;
    Modified = true;
    return std::move(slot);
}

bool TChessBoard::AddCaptured(std::unique_ptr<TPiece>& piece) {
    if (!piece)
        return false;
    Modified = true;
    const bool white = piece->Colour == pcWhite;
    auto& list = white ? m_CapturedByBlack : m_CapturedByWhite;
    int32_t& count = white ? m_CapturedByBlackCount : m_CapturedByWhiteCount;
    if (count >= MaxCaptured)
        return false;
    list[count++] = std::move(piece);
    return true;
}

std::unique_ptr<TPiece> TChessBoard::PopCaptured(TPieceColour capturingSide) {
    Modified = true;
    auto& list = capturingSide == pcWhite ? m_CapturedByWhite : m_CapturedByBlack;
    int32_t& count = capturingSide == pcWhite ? m_CapturedByWhiteCount : m_CapturedByBlackCount;
    if (count <= 0)
        return nullptr;
    return std::move(list[--count]);
}

const TPiece* TChessBoard::Captured(TPieceColour capturingSide, int slot) const {
    if (slot < 1 || slot > CapturedCount(capturingSide))
        return nullptr;
    const auto& list = capturingSide == pcWhite ? m_CapturedByWhite : m_CapturedByBlack;
    return list[slot - 1].get();
}

int TChessBoard::CapturedCount(TPieceColour capturingSide) const {
    return capturingSide == pcWhite ? m_CapturedByWhiteCount : m_CapturedByBlackCount;
}

static void SaveSlot(std::ostream& out, const std::unique_ptr<TPiece>& slot) {
    WriteByte(out, slot ? 1 : 0);
    if (slot)
        slot->SaveToStream(out);
}

static void SavePoint(std::ostream& out, TPoint p) {
    WriteI32(out, p.X);
    WriteI32(out, p.Y);
}

void TChessBoard::SaveToStream(std::ostream& out) const {
    for (const auto& slot : m_Squares)
        SaveSlot(out, slot);
    for (const auto& slot : m_CapturedByWhite)
        SaveSlot(out, slot);
    for (const auto& slot : m_CapturedByBlack)
        SaveSlot(out, slot);
    WriteI32(out, m_CapturedByWhiteCount);
    WriteI32(out, m_CapturedByBlackCount);
    SavePoint(out, WhiteKing);
    SavePoint(out, BlackKing);
    WriteByte(out, EnPassant ? 1 : 0);
    SavePoint(out, LastMoveTo);
}

static std::unique_ptr<TPiece> LoadSlot(std::istream& in) {
    const uint8_t present = ReadByte(in);
    if (present > 1)
        throw EStreamError("bad presence byte");
    if (!present)
        return nullptr;
    auto piece = std::make_unique<TPiece>(pkPawn, pcWhite);
    piece->LoadFromStream(in);
    return piece;
}

static TPoint LoadPoint(std::istream& in) {
    TPoint p;
    p.X = ReadI32(in);
    p.Y = ReadI32(in);
    return p;
}

static void CheckCapturedList(
    const std::array<std::unique_ptr<TPiece>, TChessBoard::MaxCaptured>& list, int32_t count,
    TPieceColour takenColour) {
    if (count < 0 || count > TChessBoard::MaxCaptured)
        throw EStreamError("bad captured count");
    for (int i = 0; i < TChessBoard::MaxCaptured; ++i) {
        const auto& slot = list[i];
        if ((i < count) != bool(slot))
            throw EStreamError("captured list does not match its count");
        if (slot && (slot->Colour != takenColour || slot->Kind == pkKing))
            throw EStreamError("bad captured piece");
    }
}

void TChessBoard::LoadFromStream(std::istream& in) {
    std::array<TPieceSlot, 64> squares;
    std::array<TPieceSlot, MaxCaptured> byWhite;
    std::array<TPieceSlot, MaxCaptured> byBlack;
    for (auto& slot : squares)
        slot = LoadSlot(in);
    for (auto& slot : byWhite)
        slot = LoadSlot(in);
    for (auto& slot : byBlack)
        slot = LoadSlot(in);
    const int32_t byWhiteCount = ReadI32(in);
    const int32_t byBlackCount = ReadI32(in);
    const TPoint whiteKing = LoadPoint(in);
    const TPoint blackKing = LoadPoint(in);
    const uint8_t enPassant = ReadByte(in);
    const TPoint lastMoveTo = LoadPoint(in);

    CheckCapturedList(byWhite, byWhiteCount, pcBlack);
    CheckCapturedList(byBlack, byBlackCount, pcWhite);
    // A side never has more than its sixteen pieces; more would overflow the captured list it
    // feeds, and a capture that cannot be stored could not be taken back.
    int pieces[2] = { byBlackCount, byWhiteCount };
    for (const auto& slot : squares) {
        if (slot)
            ++pieces[slot->Colour];
    }
    if (pieces[pcWhite] > MaxCaptured + 1 || pieces[pcBlack] > MaxCaptured + 1)
        throw EStreamError("more than 16 pieces of one colour");
    int kings[2] = { 0, 0 };
    TPoint kingSquares[2];
    for (int i = 0; i < 64; ++i) {
        if (squares[i] && squares[i]->Kind == pkKing) {
            ++kings[squares[i]->Colour];
            kingSquares[squares[i]->Colour] = MakePoint(i / 8 + 1, i % 8 + 1);
        }
    }
    if (kings[pcWhite] != 1 || kings[pcBlack] != 1)
        throw EStreamError("the board must hold exactly one king of each colour");
    if (kingSquares[pcWhite] != whiteKing || kingSquares[pcBlack] != blackKing)
        throw EStreamError("king squares do not match the kings on the board");
    if (enPassant > 1)
        throw EStreamError("bad en passant flag");
    if (!(OnBoard(lastMoveTo) || lastMoveTo == TPoint {}) || (enPassant && !OnBoard(lastMoveTo)))
        throw EStreamError("bad last move square");
    // A double step taken back by a program that kept the flag leaves it set with no pawn on
    // LastMoveTo; such a flag would let a pawn move diagonally without taking anything.
    const TPiece* doubleStepper
        = enPassant ? squares[(lastMoveTo.X - 1) * 8 + (lastMoveTo.Y - 1)].get() : nullptr;
    const bool enPassantStands = doubleStepper && doubleStepper->Kind == pkPawn
        && lastMoveTo.Y == (doubleStepper->Colour == pcWhite ? 4 : 5);

    m_Squares = std::move(squares);
    m_CapturedByWhite = std::move(byWhite);
    m_CapturedByBlack = std::move(byBlack);
    m_CapturedByWhiteCount = byWhiteCount;
    m_CapturedByBlackCount = byBlackCount;
    WhiteKing = whiteKing;
    BlackKing = blackKing;
    EnPassant = enPassantStands;
    LastMoveTo = lastMoveTo;
    m_History.clear();
    Modified = false;
}
