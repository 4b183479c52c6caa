#include "FormMoves.h"

#include "GridFit.h"
#include "MoveNotation.h"
#include "Pgn.h"
#include "Settings.h"
#include "UnitChessGame.h"
#include "UnitMoveList.h"
#include "ValueList.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int FormWidth = 170;
constexpr int FormMinimumHeight = 100;
constexpr int FormHeight = 400;
constexpr int RowHeight = 18;
constexpr int NumberColumn = 0;
constexpr int WhiteColumn = 1;
constexpr int BlackColumn = 2;
// The smallest column widths; the columns grow when the font needs more.
constexpr int ColumnWidths[] = { 18, 55, 55 };

// The character of the set that is widest in the font.
QChar Widest(const QFontMetrics& metrics, const QString& set) {
    QChar widest = set.isEmpty() ? QLatin1Char(' ') : set.front();
    for (const QChar c : set)
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest))
            widest = c;
    return widest;
}

// The widest text a move can have in any notation style with these piece letters, built from the
// widest file letter, rank digit and piece letter of the font.
int WidestMove(const QFontMetrics& metrics, const QString& pieces) {
    const QString file = Widest(metrics, QStringLiteral("abcdefgh"));
    const QString rank = Widest(metrics, QStringLiteral("12345678"));
    const QString letter = Widest(metrics, pieces.isEmpty() ? QStringLiteral("P") : pieces);
    const QString square = file + rank;
    const QString texts[] = {
        letter + QLatin1Char('x') + square + QLatin1Char('=') + letter + QLatin1Char('#'),
        square + QLatin1Char('x') + square + QLatin1Char('=') + letter + QLatin1Char('+'),
        square + QLatin1Char('-') + square,
        letter + square + QLatin1Char('x') + square + QLatin1Char('#'),
        QStringLiteral("O-O-O"),
    };
    int width = 0;
    for (const QString& text : texts)
        width = std::max(width, metrics.horizontalAdvance(text));
    return width;
}

} // namespace

TfrmMoves::TfrmMoves(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frmMoves"));
    setWindowTitle(QStringLiteral("Moves"));
    setMinimumHeight(FormMinimumHeight);
    resize(FormWidth, FormHeight);

    stgMoves = new QTableWidget(1, 3, this);
    stgMoves->setObjectName(QStringLiteral("stgMoves"));
    stgMoves->setHorizontalHeaderLabels(
        { QString(), QStringLiteral("White"), QStringLiteral("Black") });
    stgMoves->verticalHeader()->hide();
    stgMoves->verticalHeader()->setMinimumSectionSize(1);
    stgMoves->verticalHeader()->setDefaultSectionSize(RowHeight);
    stgMoves->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    stgMoves->horizontalHeader()->setMinimumSectionSize(1);
    stgMoves->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    stgMoves->horizontalHeader()->setStretchLastSection(false);
    stgMoves->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stgMoves->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    stgMoves->setTextElideMode(Qt::ElideNone);
    stgMoves->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgMoves->setSelectionMode(QAbstractItemView::SingleSelection);
    stgMoves->setSelectionBehavior(QAbstractItemView::SelectItems);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stgMoves);

    // A translated header or other piece letters may need wider columns.
    connect(
        stgMoves->model(), &QAbstractItemModel::headerDataChanged, this, [this] { FitColumns(); });
    FitColumns();
    ClearMoves();
}

void TfrmMoves::FitColumns() {
    const TGridFit fit(*stgMoves);
    const int number = std::max(
        { ColumnWidths[NumberColumn], fit.Header(NumberColumn), fit.Cell(QStringLiteral("888")) });
    const int move = std::max({ ColumnWidths[WhiteColumn], fit.Header(WhiteColumn),
        fit.Header(BlackColumn), fit.Cell(WidestMove(fit.Cells(), m_Pieces)) });
    stgMoves->setColumnWidth(NumberColumn, number);
    stgMoves->setColumnWidth(WhiteColumn, move);
    stgMoves->setColumnWidth(BlackColumn, move);
    // The window is as wide as its three columns beside the scroll bar, and at least its width
    // of old.
    setFixedWidth(std::max(FormWidth, number + 2 * move + fit.Chrome()));
}

void TfrmMoves::SetNotation(int style, const QString& pieces) {
    m_Notation = style;
    m_Pieces = pieces;
    FitColumns();
}

void TfrmMoves::SetGame(TChessGame& game, const TSettings& settings, const TValueList& values) {
    m_Game = &game;
    m_Settings = &settings;
    m_Values = &values;
    connect(&game, &TChessGame::gameStarted, this, [this] {
        // A continued game lists the moves it was saved with; a new game starts from an empty
        // list.
        ApplyNotation();
        ReloadMoves();
    });
    // A network opponent's arrival brings the game to be played: a new one, or the host's.
    connect(&game, &TChessGame::opponentJoined, this, [this] { ReloadMoves(); });
    connect(&game, &TChessGame::movePlayed, this,
        [this](TPoint, TPoint, TMoveResult flags) { GameMovePlayed(flags); });
    connect(&game, &TChessGame::promoted, this, [this] { ListLastMove(); });
    connect(&game, &TChessGame::moveUndone, this, [this] { GameMoveUndone(); });
    ApplyNotation();
}

void TfrmMoves::ApplyNotation() {
    if (m_Settings && m_Values)
        SetNotation(m_Settings->Notation, m_Values->Value(QStringLiteral("Pieces")));
}

void TfrmMoves::SetGameStart(int moveNumber, bool blackFirst) {
    m_GameFirstNumber = std::max(1, moveNumber);
    m_GameBlackFirst = blackFirst;
}

void TfrmMoves::ReloadMoves() {
    if (!m_Game)
        return;
    m_FirstNumber = m_GameFirstNumber;
    m_BlackFirst = m_GameBlackFirst;
    const TMoveList& moves = m_Game->Moves;
    m_ListedMoves = moves.Count();
    // A move whose promotion piece is still to be chosen is listed once the piece is known.
    if (m_Game->PromotionPending())
        --m_ListedMoves;
    // The SAN of a game from a set-up position is found from the board it has come to.
    LoadMoves(moves,
        m_Notation == nsStandard ? SanOfLastMoves(m_Game->Board, moves, 0)
                                 : std::vector<std::string>());
    if (m_ListedMoves < moves.Count())
        UndoLastMove(IsWhiteMove(m_ListedMoves));
}

void TfrmMoves::ListLastMove() {
    const TMoveRecord* last = m_Game ? m_Game->Moves.Last() : nullptr;
    if (!last)
        return;
    const int count = m_Game->Moves.Count();
    if (m_ListedMoves >= count)
        return;
    std::vector<std::string> san;
    if (m_Notation == nsStandard)
        san = SanOfLastMoves(m_Game->Board, m_Game->Moves, uint16_t(count - 1));
    AddText(MoveCellText(*last, san.empty() ? nullptr : &san.front()), IsWhiteMove(count - 1));
    m_ListedMoves = count;
}

void TfrmMoves::GameMovePlayed(uint8_t flags) {
    // A person's promotion is listed once its piece is chosen; the computer's was completed, and
    // listed, before this event.
    if (flags & mrPromotion)
        return;
    const TMoveRecord* last = m_Game->Moves.Last();
    if (last && !(last->Flags & mrPromotion))
        ListLastMove();
}

void TfrmMoves::GameMoveUndone() {
    const int remaining = m_Game->Moves.Count();
    while (m_ListedMoves > remaining) {
        --m_ListedMoves;
        UndoLastMove(IsWhiteMove(m_ListedMoves));
    }
}

QString TfrmMoves::MoveCellText(const TMoveRecord& move, const std::string* san) const {
    if (m_Notation != nsStandard)
        return QString::fromStdString(MoveText(move, m_Notation, m_Pieces.toStdString()));
    if (san)
        return QString::fromStdString(*san);
    return QString::fromStdString(MoveText(move, nsAlgebraic, DefaultPieceLetters));
}

void TfrmMoves::AddMove(const TMoveRecord& move, bool white) {
    AddText(MoveCellText(move, nullptr), white);
}

void TfrmMoves::AddText(const QString& text, bool white) {
    int last = stgMoves->rowCount() - 1;
    int column = BlackColumn;
    if (white) {
        if (!CellText(last, NumberColumn).isEmpty()) {
            stgMoves->insertRow(++last);
            stgMoves->setRowHeight(last, RowHeight);
        }
        SetCellText(last, NumberColumn, QString::number(m_FirstNumber + last));
        SetCellText(last, WhiteColumn, text);
        SetCellText(last, BlackColumn, QString());
        column = WhiteColumn;
    } else {
        SetCellText(last, BlackColumn, text);
    }
    SelectLastRow(column);
}

void TfrmMoves::LoadMoves(const TMoveList& moves) {
    m_FirstNumber = 1;
    m_BlackFirst = false;
    LoadMoves(moves, m_Notation == nsStandard ? SanMoves(moves) : std::vector<std::string>());
}

void TfrmMoves::LoadMoves(const TMoveList& moves, const std::vector<std::string>& sans) {
    EmptyGrid();
    size_t index = 0;
    for (const TMoveRecord* move = moves.First(); move; move = move->Next, ++index)
        AddText(MoveCellText(*move, index < sans.size() ? &sans[index] : nullptr),
            IsWhiteMove(int(index)));
    if (!moves.First())
        SelectLastRow(WhiteColumn);
}

void TfrmMoves::UndoLastMove(bool white) {
    const int last = stgMoves->rowCount() - 1;
    if (white) {
        if (last == 0) {
            for (int column = 0; column < 3; ++column)
                SetCellText(0, column, QString());
        } else {
            stgMoves->removeRow(last);
        }
        SelectLastRow(BlackColumn);
    } else {
        SetCellText(last, BlackColumn, QString());
        SelectLastRow(WhiteColumn);
    }
}

void TfrmMoves::ClearMoves() {
    m_FirstNumber = 1;
    m_BlackFirst = false;
    EmptyGrid();
    SelectLastRow(WhiteColumn);
}

QString TfrmMoves::Cell(int row, int column) const {
    if (row < 1 || row > stgMoves->rowCount() || column < 0 || column > 2)
        return {};
    return CellText(row - 1, column);
}

int TfrmMoves::RowCount() const {
    return stgMoves->rowCount();
}

void TfrmMoves::EmptyGrid() {
    stgMoves->clearContents();
    stgMoves->setRowCount(1);
    stgMoves->setRowHeight(0, RowHeight);
    // Black's first move stands beside White's move made before the list begins.
    if (m_BlackFirst) {
        SetCellText(0, NumberColumn, QString::number(m_FirstNumber));
        SetCellText(0, WhiteColumn, QStringLiteral("..."));
    }
}

QString TfrmMoves::CellText(int tableRow, int column) const {
    const QTableWidgetItem* item = stgMoves->item(tableRow, column);
    return item ? item->text() : QString();
}

void TfrmMoves::SetCellText(int tableRow, int column, const QString& text) {
    QTableWidgetItem* item = stgMoves->item(tableRow, column);
    if (!item) {
        if (text.isEmpty())
            return;
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        stgMoves->setItem(tableRow, column, item);
    }
    item->setText(text);
}

void TfrmMoves::SelectLastRow(int column) {
    const int last = stgMoves->rowCount() - 1;
    stgMoves->setCurrentCell(last, column);
    if (QTableWidgetItem* item = stgMoves->item(last, column))
        stgMoves->scrollToItem(item);
    else
        stgMoves->scrollToBottom();
}
