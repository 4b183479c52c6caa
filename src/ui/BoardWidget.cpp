// The board area: its panels, the mouse input, the promotion choice and the drawing of the view.

#include "BoardWidget.h"

#include "BoardGeometry.h"
#include "MoveInput.h"
#include "Settings.h"
#include "UciEngineAgent.h"
#include "UnitChessGame.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int TimerInterval = 30;

bool IsSquare(TPoint p) {
    return p.X >= 1 && p.X <= 8 && p.Y >= 1 && p.Y <= 8;
}

QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    panel->hide();
    return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// A font grown by the view's scale.
QFont ScaledFont(QFont font, double scale) {
    if (font.pixelSize() > 0)
        font.setPixelSize(qRound(font.pixelSize() * scale));
    else
        font.setPointSizeF(font.pointSizeF() * scale);
    return font;
}

// Shows a panel above the others on the board.
void ShowOnTop(QWidget* panel) {
    panel->show();
    panel->raise();
}

} // namespace

TBoardPaintBox::TBoardPaintBox(TBoardWidget& owner, QWidget* parent)
    : QWidget(parent)
    , m_Owner(owner) {
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TBoardPaintBox::paintEvent(QPaintEvent* event) {
    // A paint of part of the view (under a panel that was hidden) may bring a new frame; the rest
    // of the view must follow, since the timer will find nothing new to show.
    if (m_Owner.DrawBoard() && !m_Owner.DrawnRegion().subtracted(event->region()).isEmpty())
        update(m_Owner.DrawnRegion());
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_Owner.Buffer());
}

void TBoardPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.HideCursor();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
    m_Owner.pbBoardMouseDown(event->button(), p.x(), p.y());
}

void TBoardPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
}

void TBoardPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
    m_Owner.pbBoardMouseUp(event->button(), p.x(), p.y());
}

void TBoardPaintBox::leaveEvent(QEvent*) {
    // A mouse that left the view is over no square.
    m_Owner.HoverSquare = { -1, -1 };
}

TPromotionImage::TPromotionImage(uint8_t kind, QWidget* parent)
    : QLabel(parent)
    , m_Kind(kind) {
    setCursor(Qt::PointingHandCursor);
}

void TPromotionImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

TBoardWidget::TBoardWidget(const TChessGame& game, TBoardView& view, const TSettings& settings,
    const TValueList& values, QWidget* parent)
    : QFrame(parent)
    , m_Game(game)
    , m_View(view)
    , m_Settings(settings)
    , m_Values(values) {
    setObjectName(QStringLiteral("pnlBoard"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(2);
    setMinimumSize(BoardGeometry::ViewSize + 4, BoardGeometry::ViewSize + 4);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    resize(minimumSize());
    pbBoard = new TBoardPaintBox(*this, this);
    pbBoard->setObjectName(QStringLiteral("pbBoard"));
    pbBoard->setGeometry(2, 2, BoardGeometry::ViewSize, BoardGeometry::ViewSize);
    // The board takes the keyboard: arrows, Space and Enter for the cursor, typing for the entry.
    setFocusPolicy(Qt::StrongFocus);
    CreatePanels();
    CreateMoveEntry();
    m_PanelFont = font();
    m_ButtonFont = btnReady->font();
    m_PausedFont = lblPaused->font();
    FitPanels();

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(TimerInterval);
    connect(Timer, &QTimer::timeout, this, &TBoardWidget::TimerTimer);
    Timer->start();
}

void TBoardWidget::CreatePanels() {
    pnlPromotion = MakePanel(this, "pnlPromotion", QRect(74, 220, 324, 108));
    lblPromote = MakeLabel(pnlPromotion, "lblPromote", QStringLiteral("Your pawn is promoted!"));
    lblPromote2
        = MakeLabel(pnlPromotion, "lblPromote2", QStringLiteral("Please choose a new piece :"));
    lblPromote->setGeometry(0, 8, 324, 16);
    lblPromote2->setGeometry(0, 26, 324, 16);
    lblPromote->setAlignment(Qt::AlignHCenter);
    lblPromote2->setAlignment(Qt::AlignHCenter);
    const std::pair<TPromotionImage**, std::pair<const char*, int>> images[] = {
        { &imgPromoteRook, { "imgPromoteRook", 38 } },
        { &imgPromoteKnight, { "imgPromoteKnight", 102 } },
        { &imgPromoteBishop, { "imgPromoteBishop", 166 } },
        { &imgPromoteQueen, { "imgPromoteQueen", 230 } },
    };
    uint8_t kind = pkRook;
    for (const auto& [image, place] : images) {
        *image = new TPromotionImage(kind++, pnlPromotion);
        (*image)->setObjectName(QString::fromLatin1(place.first));
        (*image)->setGeometry(place.second, 48, 50, 50);
        TPromotionImage* sender = *image;
        connect(
            sender, &TPromotionImage::clicked, this, [this, sender] { imgPromotesClick(sender); });
    }

    pnlStatus = MakePanel(this, "pnlStatus", QRect(20, 248, 432, 52));
    lblStatus = MakeLabel(pnlStatus, "lblStatus", QString());
    lblStatus->setGeometry(2, 2, 428, 48);
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setWordWrap(true);

    pnlReady = MakePanel(this, "pnlReady", QRect(74, 239, 324, 70));
    lblReady = MakeLabel(pnlReady, "lblReady",
        QStringLiteral("Click on the button below when you are ready to start."));
    lblReady->setGeometry(0, 8, 324, 16);
    lblReady->setAlignment(Qt::AlignHCenter);
    btnReady = new QPushButton(QStringLiteral("I'm ready!"), pnlReady);
    btnReady->setObjectName(QStringLiteral("btnReady"));
    btnReady->setGeometry(94, 32, 137, 25);
    QFont bold = btnReady->font();
    bold.setBold(true);
    btnReady->setFont(bold);
    connect(btnReady, &QPushButton::clicked, this, [this] {
        emit readyClicked();
        pnlReady->hide();
    });

    pnlPaused = MakePanel(this, "pnlPaused", QRect(182, 255, 108, 38));
    lblPaused = MakeLabel(pnlPaused, "lblPaused", QStringLiteral("Paused"));
    lblPaused->setGeometry(2, 2, 104, 34);
    lblPaused->setAlignment(Qt::AlignCenter);
    QFont pausedFont = lblPaused->font();
    pausedFont.setBold(true);
    pausedFont.setPixelSize(13);
    lblPaused->setFont(pausedFont);
}

void TBoardWidget::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (!pbBoard)
        return;
    const int frame = BoardGeometry::ViewSize + 4;
    const int outer = std::max(std::min(width(), height()), frame);
    const QRect square((width() - outer) / 2, (height() - outer) / 2, outer, outer);
    setFrameRect(square);
    const int side = outer - 4;
    pbBoard->setGeometry(square.left() + 2, square.top() + 2, side, side);
    const TBoardLayout layout = TBoardLayout::ForSize(side);
    if (layout == m_Layout) {
        FitPanels();
        return;
    }
    m_Layout = layout;
    ApplyLayout();
}

void TBoardWidget::ApplyLayout() {
    const double scale = m_Layout.Scale();
    for (QWidget* panel : { pnlPromotion, pnlStatus, pnlReady, pnlPaused, pnlMove, pnlMoveReason })
        panel->setFont(ScaledFont(m_PanelFont, scale));
    btnReady->setFont(ScaledFont(m_ButtonFont, scale));
    lblPaused->setFont(ScaledFont(m_PausedFont, scale));
    FitPanels();
    if (pnlPromotion->isVisible())
        ShowPromotion();
    Redraw();
    pbBoard->update();
}

void TBoardWidget::FitPanels() {
    // Each panel keeps its place of old as its centre and its size as its smallest size, both
    // scaled with the view; it grows for longer texts up to the board's width, beyond which a
    // text wraps.
    const TBoardLayout& l = m_Layout;
    const auto S = [&l](int length) { return l.Scaled(length); };
    const QPoint centre(2 + S(234), 2 + S(272));
    const QRect square = Square();
    const int widest = square.width() - 8;
    // Measured in the fonts they are drawn with, which the style settles when it polishes them.
    for (QWidget* widget : std::initializer_list<QWidget*> {
             pnlPromotion, lblPromote, lblPromote2, pnlReady, lblReady, btnReady, lblPaused })
        widget->ensurePolished();
    const auto textWidth
        = [](const QLabel* label) { return label->fontMetrics().horizontalAdvance(label->text()); };
    const auto place = [&](QFrame* panel, int panelWidth, int panelHeight) {
        const int left
            = std::clamp(centre.x() - panelWidth / 2, 4, square.width() - 4 - panelWidth);
        const int top
            = std::clamp(centre.y() - panelHeight / 2, 4, square.height() - 4 - panelHeight);
        panel->setGeometry(square.left() + left, square.top() + top, panelWidth, panelHeight);
    };
    // Lays a centred label out at the top, wrapped when it is wider than the panel; answers the
    // label's bottom.
    const auto layLabel = [&S](QLabel* label, int top, int labelWidth) {
        label->setWordWrap(label->fontMetrics().horizontalAdvance(label->text()) > labelWidth);
        const int labelHeight = label->wordWrap() ? label->heightForWidth(labelWidth)
                                                  : std::max(S(16), label->sizeHint().height());
        label->setGeometry(0, top, labelWidth, labelHeight);
        return top + labelHeight;
    };
    const int frame = 2 * pnlPromotion->frameWidth() + 4;

    const int smallest = S(324);
    int panelWidth = std::clamp(
        std::max({ smallest, textWidth(lblPromote) + frame, textWidth(lblPromote2) + frame }),
        smallest, widest);
    int bottom = layLabel(lblPromote, S(8), panelWidth);
    bottom = layLabel(lblPromote2, bottom + S(2), panelWidth) + S(6);
    const int shift = (panelWidth - smallest) / 2;
    const int piece = l.PieceSize;
    const std::pair<TPromotionImage*, int> images[] = { { imgPromoteRook, 38 },
        { imgPromoteKnight, 102 }, { imgPromoteBishop, 166 }, { imgPromoteQueen, 230 } };
    for (const auto& [image, left] : images)
        image->setGeometry(S(left) + shift, bottom, piece, piece);
    place(pnlPromotion, panelWidth, bottom + piece + S(10));

    const int buttonWidth = std::max(S(137), btnReady->sizeHint().width());
    const int buttonHeight = S(25);
    panelWidth = std::clamp(
        std::max({ smallest, textWidth(lblReady) + frame, buttonWidth + frame }), smallest, widest);
    bottom = layLabel(lblReady, S(8), panelWidth) + S(8);
    btnReady->setGeometry((panelWidth - buttonWidth + 1) / 2, bottom, buttonWidth, buttonHeight);
    place(pnlReady, panelWidth, bottom + buttonHeight + S(13));

    panelWidth = std::clamp(textWidth(lblPaused) + frame + 4, S(108), widest);
    const int pausedHeight = std::max(S(38), lblPaused->sizeHint().height() + 4);
    lblPaused->setGeometry(2, 2, panelWidth - 4, pausedHeight - 4);
    place(pnlPaused, panelWidth, pausedHeight);

    const int statusWidth = std::min(S(432), widest);
    const int statusHeight = S(52);
    lblStatus->setGeometry(2, 2, statusWidth - 4, statusHeight - 4);
    place(pnlStatus, statusWidth, statusHeight);
    if (pnlMove)
        FitMoveEntry();
}

void TBoardWidget::ShowStatus(TStatusText text, const QString& note) {
    QString shown = m_Values.Value(QStringLiteral("Stat0") + QString::number(text));
    if (!note.isEmpty())
        shown += QLatin1Char('\n') + note;
    lblStatus->setText(shown);
    pnlReady->hide();
    ShowOnTop(pnlStatus);
}

void TBoardWidget::HideStatus() {
    pnlStatus->hide();
}

void TBoardWidget::ShowReady() {
    ShowOnTop(pnlReady);
}

void TBoardWidget::HideReady() {
    pnlReady->hide();
}

void TBoardWidget::ShowPaused() {
    ShowOnTop(pnlPaused);
}

void TBoardWidget::HidePaused() {
    pnlPaused->hide();
}

bool TBoardWidget::InputAllowed() const {
    if (m_Game.GameState != gsPlaying)
        return false;
    switch (m_Game.GameKind) {
    case gkLocal:
        return m_Game.GetPlayer(m_Game.Turn)->Human;
    case gkHost:
        return m_Game.Turn == m_Game.HostColour;
    case gkClient:
        return m_Game.Turn != m_Game.HostColour;
    }
    return false;
}

void TBoardWidget::pbBoardMouseMove(int x, int y) {
    HoverSquare = m_Layout.SquareAt(x, y, Switched);
    MousePos = { x, y };
}

void TBoardWidget::pbBoardMouseDown(Qt::MouseButton, int x, int y) {
    if (!IsSquare(HoverSquare) || !InputAllowed())
        return;
    if (HeldSquare == HoverSquare) {
        ClearHeldSquare();
        return;
    }
    if (IsSquare(HeldSquare))
        return;
    const TPiece* piece = m_Game.Board.PieceAt(HoverSquare);
    if (!piece || piece->Colour != m_Game.Turn)
        return;
    HeldSquare = HoverSquare;
    const TPoint origin = m_Layout.SquareOrigin(HeldSquare, Switched);
    GrabOffset = { x - origin.X, y - origin.Y };
    SetGrabCursor(true);
}

void TBoardWidget::pbBoardMouseUp(Qt::MouseButton, int, int) {
    if (!IsSquare(HoverSquare) || !IsSquare(HeldSquare) || HoverSquare == HeldSquare)
        return;
    // A refused move keeps the piece held; a played one clears it through the move's event.
    emit moveRequested(HeldSquare, HoverSquare);
    SetGrabCursor(false);
}

void TBoardWidget::ClearHeldSquare() {
    HeldSquare = {};
    SetGrabCursor(false);
}

void TBoardWidget::SetGrabCursor(bool grab) {
    if (grab == m_GrabCursor)
        return;
    m_GrabCursor = grab;
    if (grab)
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TBoardWidget::ShowPromotion() {
    if (!InputAllowed()) {
        ShowStatus(stOpponentPromoting);
        return;
    }
    const uint8_t colour = m_Game.Turn;
    for (TPromotionImage* image :
        { imgPromoteRook, imgPromoteKnight, imgPromoteBishop, imgPromoteQueen }) {
        const int size = m_Layout.PieceSize;
        const qreal ratio = image->devicePixelRatioF();
        const int side = qRound(size * ratio);
        QImage canvas(side, side, QImage::Format_RGB32);
        canvas.setDevicePixelRatio(ratio);
        canvas.fill(palette().color(QPalette::Button));
        QPainter painter(&canvas);
        m_View.Pieces.DrawPiece(painter, QRect(0, 0, size, size), colour, image->Kind());
        painter.end();
        image->setPixmap(QPixmap::fromImage(canvas));
    }
    ShowOnTop(pnlPromotion);
}

void TBoardWidget::HidePromotion() {
    pnlPromotion->hide();
}

void TBoardWidget::imgPromotesClick(TPromotionImage* sender) {
    emit promotionChosen(sender->Kind());
    pnlPromotion->hide();
}

TBoardSnapshot TBoardWidget::MakeSnapshot() {
    TBoardSnapshot snapshot;
    snapshot.HoverSquare = HoverSquare;
    snapshot.HeldSquare = HeldSquare;
    snapshot.MousePos = MousePos;
    snapshot.GrabOffset = GrabOffset;
    // The keyboard's square cursor belongs to a game under way; it does not stay over a result.
    if (m_Game.GameState == gsPlaying || m_Game.GameState == gsPaused)
        snapshot.CursorSquare = CursorSquare;
    snapshot.Theme = m_Settings.Theme;
    snapshot.Enhanced = m_Settings.Enhanced;
    snapshot.LearnMode = m_Settings.LearnMode;
    snapshot.ShowLastMove = m_Settings.ShowLastMove;
    snapshot.ShowLastMoveFrom = m_Settings.ShowLastMoveFrom;
    snapshot.Switched = Switched;
    for (size_t i = 0; i < snapshot.Words.size(); ++i)
        snapshot.Words[i] = m_Values.Value(QString::fromLatin1(HeaderWords[i]));
    SnapshotGame(m_Game, m_Scratch, snapshot);
    // The side the computer plays shows how far its search has come.
    const TChessAI& ai = m_Game.ComputerPlayer();
    if (m_Game.GameState == gsPlaying && !m_Game.GetPlayer(m_Game.Turn)->Human && ai.IsThinking()) {
        snapshot.Players[m_Game.Turn].Activity = QStringLiteral("%1 %2/%3")
                                                     .arg(m_Values.Value(QStringLiteral("Val12")))
                                                     .arg(ai.ProgressDone())
                                                     .arg(ai.ProgressTotal());
    }
    // An engine's side shows the depth and score of its last report while it searches; the
    // score is in pawns from the engine's side, or "#N" for a mate in N moves ("#-N" when the
    // engine is mated).
    const auto* engine = qobject_cast<const TUciEngineAgent*>(m_Game.Agent(m_Game.Turn));
    if (engine && m_Game.GameState == gsPlaying && engine->IsSearching()
        && engine->LastDepth() > 0) {
        QString text
            = m_Values.Format(QStringLiteral("Val16"), { QString::number(engine->LastDepth()) });
        if (const std::optional<int> score = engine->LastScore())
            text += QStringLiteral("  %1%2")
                        .arg(*score < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                        .arg(QString::number(std::abs(*score) / 100.0, 'f', 2));
        else if (const std::optional<int> mate = engine->LastMate())
            text += QStringLiteral("  #%1").arg(*mate);
        snapshot.Players[m_Game.Turn].Activity = text;
    }
    return snapshot;
}

bool TBoardWidget::DrawBoard() {
    const qreal ratio = pbBoard->devicePixelRatioF();
    const int side = m_Layout.ViewSize;
    TBoardSnapshot snapshot = MakeSnapshot();
    const bool sameBuffer
        = m_Buffer.devicePixelRatio() == ratio && m_Buffer.width() == qRound(side * ratio);
    if (m_HasDrawn && snapshot == m_Drawn && sameBuffer)
        return false;
    // Only what changed since the last frame is drawn again.
    m_DrawnRegion = m_View.DrawBoard(
        snapshot, m_Buffer, ratio, side, m_HasDrawn && sameBuffer ? &m_Drawn : nullptr);
    m_Drawn = std::move(snapshot);
    m_HasDrawn = true;
    return true;
}

void TBoardWidget::TimerTimer() {
    // The view is drawn from the current state at every tick; the screen is only touched when
    // something it shows has changed.
    if (pnlMove->isVisible() && !InputAllowed())
        CloseMoveEntry();
    // A move taken back while the entry is open gives the turn to the other side.
    if (pnlMove->isVisible() && m_Game.Turn != m_EntrySide)
        FitMoveEntry();
    if (DrawBoard())
        pbBoard->update(m_DrawnRegion);
}

void TBoardWidget::CreateMoveEntry() {
    // Over the header of the side that is not to move, whose clock stands still while the
    // person to move types; the mover's own name, clock and check word stay in sight. A refused
    // text's reason shows in a panel of its own just below the entry.
    pnlMove = MakePanel(this, "pnlMove", QRect(242, 4, 260, 48));
    lblMove = MakeLabel(pnlMove, "lblMove", QStringLiteral("Your move:"));
    edtMove = new QLineEdit(pnlMove);
    edtMove->setObjectName(QStringLiteral("edtMove"));
    edtMove->setMaxLength(16);
    edtMove->installEventFilter(this);
    connect(edtMove, &QLineEdit::returnPressed, this, [this] { EnterMove(); });
    connect(edtMove, &QLineEdit::textEdited, this, [this] { ShowMoveError(nullptr); });
    pnlMoveReason = MakePanel(this, "pnlMoveReason", QRect(242, 54, 260, 30));
    const std::pair<QLabel**, std::pair<const char*, const char*>> reasons[] = {
        { &lblMoveNotAMove,
            { "lblMoveNotAMove", "Not a move. Type e.g. Nf3, O-O, e8=Q or g1f3." } },
        { &lblMoveIllegal, { "lblMoveIllegal", "That move is not legal here." } },
        { &lblMoveAmbiguous,
            { "lblMoveAmbiguous", "Several pieces can make that move: add the file or rank." } },
        { &lblMovePromotion, { "lblMovePromotion", "Name the new piece, e.g. e8=Q." } },
    };
    for (const auto& [label, texts] : reasons) {
        *label = MakeLabel(pnlMoveReason, texts.first, QString::fromLatin1(texts.second));
        (*label)->setWordWrap(true);
        (*label)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QPalette red = (*label)->palette();
        red.setColor(QPalette::WindowText, Qt::red);
        (*label)->setPalette(red);
        (*label)->hide();
    }
    setTabOrder(this, edtMove);
}

void TBoardWidget::FitMoveEntry() {
    // The view's headers split at the same place whichever way the board is turned: white's on
    // the left, black's on the right. The entry takes the half of the side not to move, taller
    // when the fonts need it. The edit keeps room for the longest move text; a label too long
    // for the rest is drawn smaller. The reason panel has the entry's width and the height of
    // the shown reason wrapped to it.
    for (QWidget* widget :
        std::initializer_list<QWidget*> { pnlMove, lblMove, edtMove, pnlMoveReason })
        widget->ensurePolished();
    const TBoardLayout& l = m_Layout;
    const auto S = [&l](int length) { return l.Scaled(length); };
    m_EntrySide = m_Game.Turn;
    const int middle = S(238);
    const int left = m_EntrySide == pcWhite ? middle + S(2) : S(4);
    const int right = m_EntrySide == pcWhite ? l.ViewSize - S(4) : middle - S(2);
    const QPoint view = pbBoard->geometry().topLeft();
    const int frame = pnlMove->frameWidth();
    const int editHeight = edtMove->sizeHint().height();
    pnlMove->setGeometry(view.x() + left, view.y() + S(4), right - left,
        std::max(S(48), editHeight + 8 + 2 * frame));
    const int inner = pnlMove->width() - 2 * frame;
    const int height = pnlMove->height() - 2 * frame;
    const int gap = S(6);

    // The edit's own margins and frame, as its size hint counts them around 17 "x".
    const QFontMetrics editMetrics = edtMove->fontMetrics();
    const int editMargins
        = edtMove->sizeHint().width() - 17 * editMetrics.horizontalAdvance(QLatin1Char('x'));
    const int editWidth
        = std::min(editMetrics.horizontalAdvance(QStringLiteral("Qa1xh8=Q+")) + editMargins + 2,
            inner - 2 * gap);
    const int labelRoom = std::max(inner - editWidth - 3 * gap, 0);
    QFont labelFont = pnlMove->font();
    const auto labelWidth = [this](const QFont& font) {
        return QFontMetrics(font).horizontalAdvance(lblMove->text()) + 2;
    };
    // Down to half the panel's size; below that the edit gives up some of its room.
    const bool pixels = labelFont.pixelSize() > 0;
    const qreal fullSize = pixels ? labelFont.pixelSize() : labelFont.pointSizeF();
    for (qreal size = fullSize; labelWidth(labelFont) > labelRoom && size > fullSize / 2;) {
        size = std::max(fullSize / 2, size * 0.95);
        if (pixels)
            labelFont.setPixelSize(std::max(1, int(size)));
        else
            labelFont.setPointSizeF(size);
    }
    lblMove->setFont(labelFont);
    const int labelWidthNow = std::min(labelWidth(labelFont), inner - 2 * gap);
    lblMove->setGeometry(frame + gap, frame, labelWidthNow, height);
    const int editLeft = frame + gap + labelWidthNow + gap;
    edtMove->setGeometry(editLeft, frame + (height - editHeight) / 2,
        std::max(std::min(editWidth, inner + frame - gap - editLeft), 0), editHeight);

    const int reasonFrame = pnlMoveReason->frameWidth();
    const int reasonWidth = pnlMove->width() - 2 * reasonFrame - 2 * gap;
    int reasonHeight = 0;
    for (QLabel* reason : { lblMoveNotAMove, lblMoveIllegal, lblMoveAmbiguous, lblMovePromotion }) {
        const int needed = reason->heightForWidth(reasonWidth);
        reason->setGeometry(reasonFrame + gap, reasonFrame + S(3), reasonWidth, needed);
        if (!reason->isHidden())
            reasonHeight = needed;
    }
    pnlMoveReason->setGeometry(pnlMove->x(), pnlMove->geometry().bottom() + 1 + S(2),
        pnlMove->width(), reasonHeight + 2 * reasonFrame + 2 * S(3));
}

void TBoardWidget::ShowMoveError(QLabel* why) {
    for (QLabel* reason : { lblMoveNotAMove, lblMoveIllegal, lblMoveAmbiguous, lblMovePromotion })
        reason->setVisible(reason == why);
    if (!why) {
        pnlMoveReason->hide();
        return;
    }
    FitMoveEntry();
    ShowOnTop(pnlMoveReason);
}

void TBoardWidget::OpenMoveEntry(const QString& text) {
    if (!InputAllowed() || pnlPromotion->isVisible())
        return;
    ClearHeldSquare();
    ShowMoveError(nullptr);
    FitMoveEntry();
    edtMove->setText(text);
    ShowOnTop(pnlMove);
    edtMove->setFocus(Qt::OtherFocusReason);
}

void TBoardWidget::CloseMoveEntry() {
    // The entry's window need not be the active one (a test, a dialog over it).
    const bool hadFocus = window()->focusWidget() == edtMove;
    pnlMove->hide();
    edtMove->clear();
    ShowMoveError(nullptr);
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
}

bool TBoardWidget::EnterMove() {
    if (!InputAllowed()) {
        CloseMoveEntry();
        return false;
    }
    m_Scratch.Assign(m_Game.Board);
    const TMoveInputResult result = ReadMoveInput(m_Scratch, TPieceColour(m_Game.Turn),
        edtMove->text().trimmed().toStdString(),
        m_Values.Value(QStringLiteral("Pieces")).toStdString());
    QLabel* why = nullptr;
    switch (result.Error) {
    case miNone:
        break;
    case miNotAMove:
        why = lblMoveNotAMove;
        break;
    case miAmbiguous:
        why = lblMoveAmbiguous;
        break;
    case miPromotionMissing:
        why = lblMovePromotion;
        break;
    case miCastlingIllegal:
    case miNoLegalMove:
    case miNotAPromotion:
        why = lblMoveIllegal;
        break;
    }
    if (why) {
        ShowMoveError(why);
        edtMove->selectAll();
        return false;
    }
    CloseMoveEntry();
    setFocus(Qt::OtherFocusReason);
    emit moveRequested(result.Move.From, result.Move.To);
    // The move's event has offered the choice of the piece; the entry named it already.
    if (result.Move.Promotion && pnlPromotion->isVisible()) {
        for (TPromotionImage* image :
            { imgPromoteRook, imgPromoteKnight, imgPromoteBishop, imgPromoteQueen }) {
            if (image->Kind() == result.Move.Promotion)
                imgPromotesClick(image);
        }
    }
    return true;
}

bool TBoardWidget::ChoosePromotionByLetter(const QString& letter) {
    if (!pnlPromotion->isVisible() || !InputAllowed())
        return false;
    const uint8_t kind = PromotionOfLetter(
        letter.toStdString(), m_Values.Value(QStringLiteral("Pieces")).toStdString());
    for (TPromotionImage* image :
        { imgPromoteRook, imgPromoteKnight, imgPromoteBishop, imgPromoteQueen }) {
        if (kind && image->Kind() == kind) {
            imgPromotesClick(image);
            return true;
        }
    }
    return false;
}

void TBoardWidget::MoveCursor(int right, int up) {
    if (!IsSquare(CursorSquare)) {
        CursorSquare = { 5, m_Game.Turn == pcWhite ? 2 : 7 };
    } else {
        const int sign = Switched ? -1 : 1;
        CursorSquare.X = std::clamp(CursorSquare.X + sign * right, 1, 8);
        CursorSquare.Y = std::clamp(CursorSquare.Y + sign * up, 1, 8);
    }
    // A held piece follows the cursor, and learn mode judges the square under it.
    if (IsSquare(HeldSquare)) {
        const TPoint origin = m_Layout.SquareOrigin(CursorSquare, Switched);
        pbBoardMouseMove(origin.X + m_Layout.SquareSize / 2, origin.Y + m_Layout.SquareSize / 2);
    }
}

void TBoardWidget::ClickAtCursor() {
    if (!IsSquare(CursorSquare))
        return;
    const TPoint origin = m_Layout.SquareOrigin(CursorSquare, Switched);
    const int x = origin.X + m_Layout.SquareSize / 2;
    const int y = origin.Y + m_Layout.SquareSize / 2;
    pbBoardMouseMove(x, y);
    pbBoardMouseDown(Qt::LeftButton, x, y);
    pbBoardMouseUp(Qt::LeftButton, x, y);
    // The mouse is not there: with no piece held, no square is shown under it.
    if (!IsSquare(HeldSquare))
        HoverSquare = { -1, -1 };
}

void TBoardWidget::HideCursor() {
    CursorSquare = {};
}

void TBoardWidget::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        MoveCursor(-1, 0);
        return;
    case Qt::Key_Right:
        MoveCursor(1, 0);
        return;
    case Qt::Key_Up:
        MoveCursor(0, 1);
        return;
    case Qt::Key_Down:
        MoveCursor(0, -1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // On the promotion choice Enter takes the queen, the piece nearly always wanted.
        if (pnlPromotion->isVisible()) {
            if (InputAllowed())
                imgPromotesClick(imgPromoteQueen);
            return;
        }
        ClickAtCursor();
        return;
    case Qt::Key_Space:
        if (!pnlPromotion->isVisible())
            ClickAtCursor();
        return;
    case Qt::Key_Escape:
        if (IsSquare(HeldSquare)) {
            ClearHeldSquare();
            return;
        }
        break;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (pnlPromotion->isVisible()) {
            if (ChoosePromotionByLetter(text))
                return;
        } else if (text[0].isLetterOrNumber() && InputAllowed()) {
            OpenMoveEntry(text);
            return;
        }
    }
    QFrame::keyPressEvent(event);
}

bool TBoardWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtMove && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CloseMoveEntry();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
