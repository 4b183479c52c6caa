#include "Docking.h"

#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

// The height a chat window docked into a main window of the given outer height may keep: when
// the screen is too short for both, as much as the screen leaves, but never below its minimum.
int FitDockedChatHeight(int chatHeight, int minimumHeight, int mainHeight, int screenHeight) {
    if (screenHeight < mainHeight + chatHeight)
        chatHeight = screenHeight - mainHeight;
    return std::max(chatHeight, minimumHeight);
}

// The main window's style without separators between the dock areas and the board: a docked
// window adjoins the board directly and cannot be resized by dragging.
class TDockLayoutStyle : public QProxyStyle {
public:
    int pixelMetric(
        PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_DockWidgetSeparatorExtent)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QDockWidget* MakeDock(QMainWindow& main, const char* name, const QString& title) {
    auto* dock = new QDockWidget(title, &main);
    dock->setObjectName(QString::fromLatin1(name));
    // Never shown before it holds a window, and never floated, moved or closed by hand.
    dock->hide();
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    return dock;
}

// The frame a window manager adds around a floating window: taken from the window when it has
// one, else from the main window.
QSize FrameExtra(const QWidget& window, const QWidget& main) {
    const QSize own = window.frameGeometry().size() - window.size();
    if (window.isWindow() && !own.isEmpty())
        return own;
    return main.frameGeometry().size() - main.size();
}

// Makes the window a floating tool window again whose outer rectangle is `outer`.
void Float(QWidget& window, QMainWindow& main, const QRect& outer) {
    const QSize extra = FrameExtra(window, main);
    window.setParent(&main, Qt::Tool);
    window.move(outer.topLeft());
    window.resize(outer.size() - extra);
}

} // namespace

TDocking::TDocking(QMainWindow& main)
    : m_Main(main) { }

void TDocking::SetWindows(QWidget* chat, QWidget* moves) {
    m_Chat = chat;
    m_Moves = moves;
}

void TDocking::Prepare() {
    if (m_ChatDock)
        return;
    auto* style = new TDockLayoutStyle;
    style->setParent(&m_Main);
    m_Main.setStyle(style);
    // The main window's own context menu would only list the docks.
    m_Main.setContextMenuPolicy(Qt::PreventContextMenu);
    m_Main.setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    m_Main.setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
    m_Main.setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
    m_Main.setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
    m_ChatDock = MakeDock(m_Main, "dckChat", QStringLiteral("Chat"));
    m_MovesDock = MakeDock(m_Main, "dckMoves", QStringLiteral("Moves"));
}

bool TDocking::Holds(const QDockWidget* dock, const QWidget* window) const {
    return dock && window && window->parentWidget() == dock;
}

void TDocking::Dock(QDockWidget* dock, QWidget* window, Qt::DockWidgetArea area) {
    const bool shown = !window->isHidden();
    m_Changing = true;
    dock->setWidget(window);
    window->setVisible(shown);
    m_Changing = false;
    window->installEventFilter(this);
    PlaceDock(dock, area);
}

// Moves the dock to the area; it stays shown when its window is.
void TDocking::PlaceDock(QDockWidget* dock, Qt::DockWidgetArea area) {
    if (m_Main.dockWidgetArea(dock) != area) {
        if (m_Main.dockWidgetArea(dock) != Qt::NoDockWidgetArea)
            m_Main.removeDockWidget(dock);
        m_Main.addDockWidget(area, dock);
    }
    dock->setVisible(dock->widget() && !dock->widget()->isHidden());
}

// Takes the window out of the dock and floats it at the outer rectangle, shown as it was.
void TDocking::Undock(QDockWidget* dock, QWidget* window, const QRect& outer) {
    const bool shown = !window->isHidden();
    m_Changing = true;
    window->removeEventFilter(this);
    Float(*window, m_Main, outer);
    m_Main.removeDockWidget(dock);
    window->setVisible(shown);
    m_Changing = false;
}

void TDocking::SetShown(QDockWidget* dock, QWidget* window, bool shown) {
    const QSize room = BoardRoom();
    m_Changing = true;
    window->setVisible(shown);
    dock->setVisible(shown);
    m_Changing = false;
    FitMainWindow(room);
}

QSize TDocking::BoardRoom() const {
    return m_Main.centralWidget()->size();
}

void TDocking::FitMainWindow(QSize room) {
    const bool chatShown = Holds(m_ChatDock, m_Chat) && !m_Chat->isHidden();
    const bool movesShown = Holds(m_MovesDock, m_Moves) && !m_Moves->isHidden();
    const QSize docks(movesShown ? m_MovesWidth : 0, chatShown ? m_ChatHeight : 0);
    const auto menuHeight = [this](int width) {
        const QWidget* menu = m_Main.menuWidget();
        if (!menu || menu->isHidden())
            return 0;
        return menu->hasHeightForWidth() ? menu->heightForWidth(width) : menu->sizeHint().height();
    };
    // The board keeps the room it had before the change and the window grows or shrinks by the
    // docked windows; its smallest size is the board's smallest with them. A maximised window
    // keeps its size and the board takes what is left.
    QWidget* board = m_Main.centralWidget();
    const QSize least = board->minimumSizeHint().expandedTo(board->minimumSize());
    const QSize area = room.expandedTo(least);
    const int width = area.width() + docks.width();
    m_Main.setMinimumSize(least.width() + docks.width(),
        menuHeight(least.width() + docks.width()) + least.height() + docks.height());
    const bool maximized = m_Main.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    if (maximized) {
        m_Main.layout()->invalidate();
        m_Main.layout()->activate();
        return;
    }
    // The board's room is held while the layout settles, so that the docks take the rest; the
    // layout keeps their sizes after.
    const QSize boardMinimum = board->minimumSize();
    const QSize boardMaximum = board->maximumSize();
    board->setFixedSize(area);
    m_Main.resize(width, menuHeight(width) + area.height() + docks.height());
    m_Main.layout()->invalidate();
    m_Main.layout()->activate();
    // The layout keeps the docks' sizes as they are now, so that what the board lets go of
    // later (a larger window) goes to the board again.
    QList<QDockWidget*> across, down;
    QList<int> widths, heights;
    for (QDockWidget* dock : { m_ChatDock, m_MovesDock }) {
        if (!dock || dock->isHidden())
            continue;
        const Qt::DockWidgetArea area = m_Main.dockWidgetArea(dock);
        if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea) {
            down.append(dock);
            heights.append(dock->height());
        } else if (area != Qt::NoDockWidgetArea) {
            across.append(dock);
            widths.append(dock->width());
        }
    }
    if (!down.isEmpty())
        m_Main.resizeDocks(down, heights, Qt::Vertical);
    if (!across.isEmpty())
        m_Main.resizeDocks(across, widths, Qt::Horizontal);
    board->setMinimumSize(boardMinimum);
    board->setMaximumSize(boardMaximum);
    m_Main.layout()->activate();
}

// A docked window shown or hidden directly (Escape in the chat, a close request) takes its dock
// along and gives the main window its room back.
bool TDocking::eventFilter(QObject* watched, QEvent* event) {
    // The moves window has a fixed width, which grows when a language needs wider columns; the
    // main window then makes room for the new width.
    if (event->type() == QEvent::Resize && watched == m_Moves.data() && Holds(m_MovesDock, m_Moves)
        && m_Moves->width() != m_MovesWidth && m_Moves->minimumWidth() == m_Moves->maximumWidth()) {
        m_MovesWidth = m_Moves->width();
        FitMainWindow(BoardRoom());
        return false;
    }
    if (m_Changing
        || (event->type() != QEvent::ShowToParent && event->type() != QEvent::HideToParent))
        return false;
    for (QDockWidget* dock : { m_ChatDock, m_MovesDock }) {
        if (dock->widget() != watched)
            continue;
        const bool shown = event->type() == QEvent::ShowToParent;
        if (dock->isHidden() == shown) {
            const QSize room = BoardRoom();
            m_Changing = true;
            dock->setVisible(shown);
            m_Changing = false;
            FitMainWindow(room);
        }
    }
    return false;
}

void TDocking::ShowChat() {
    if (!m_Chat || !m_Chat->isHidden())
        return;
    Prepare();
    if (Holds(m_ChatDock, m_Chat)) {
        SetShown(m_ChatDock, m_Chat, true);
        return;
    }
    m_Chat->show();
    m_Chat->raise();
}

void TDocking::HideChat() {
    if (!m_Chat || m_Chat->isHidden())
        return;
    Prepare();
    if (Holds(m_ChatDock, m_Chat))
        SetShown(m_ChatDock, m_Chat, false);
    else
        m_Chat->hide();
}

void TDocking::ShowMoves() {
    if (!m_Moves || !m_Moves->isHidden())
        return;
    Prepare();
    if (Holds(m_MovesDock, m_Moves)) {
        SetShown(m_MovesDock, m_Moves, true);
        return;
    }
    const bool place = std::exchange(m_PlaceMovesBeside, false);
    if (place)
        m_Moves->move(BesideMain(*m_Moves));
    m_Moves->show();
    m_Moves->raise();
    // A window manager may place a window that it maps on its own; asked again once the window
    // is up, it moves it.
    if (place) {
        QTimer::singleShot(0, m_Moves, [this] {
            if (m_Moves && m_Moves->isVisible() && !Holds(m_MovesDock, m_Moves))
                m_Moves->move(BesideMain(*m_Moves));
        });
    }
}

QPoint TDocking::BesideMain(const QWidget& window) const {
    const QRect main = m_Main.frameGeometry();
    // The window's frame is not known before it is first shown: the main window's stands in.
    QSize outer = window.frameGeometry().size();
    if (outer == window.size())
        outer += main.size() - m_Main.size();
    const QScreen* screen = m_Main.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect(main.topLeft(), outer);
    int left = main.left() + main.width();
    if (left + outer.width() > room.left() + room.width())
        left = main.left() - outer.width();
    if (left < room.left())
        left = std::max(room.left(), room.left() + room.width() - outer.width());
    const int top
        = std::max(room.top(), std::min(main.top(), room.top() + room.height() - outer.height()));
    return { left, top };
}

void TDocking::HideMoves() {
    if (!m_Moves || m_Moves->isHidden())
        return;
    Prepare();
    if (Holds(m_MovesDock, m_Moves))
        SetShown(m_MovesDock, m_Moves, false);
    else
        m_Moves->hide();
}

void TDocking::DockChat() {
    if (!m_Chat)
        return;
    const QSize room = BoardRoom();
    Prepare();
    const Qt::DockWidgetArea area
        = ChatAlign == 1 ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea;
    if (!Holds(m_ChatDock, m_Chat)) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int screenHeight = screen ? screen->availableGeometry().height() : INT_MAX;
        m_ChatHeight = FitDockedChatHeight(m_Chat->height(), m_Chat->minimumHeight(),
            m_Main.frameGeometry().height(), screenHeight);
        m_Chat->resize(m_Chat->width(), m_ChatHeight);
        Dock(m_ChatDock, m_Chat, area);
    } else {
        PlaceDock(m_ChatDock, area);
    }
    m_ChatDocked = true;
    FitMainWindow(room);
}

void TDocking::UndockChat() {
    if (!m_Chat)
        return;
    const QSize room = BoardRoom();
    Prepare();
    if (Holds(m_ChatDock, m_Chat)) {
        const QRect main = m_Main.frameGeometry();
        const QSize extra = FrameExtra(*m_Chat, m_Main);
        const int height = m_ChatHeight + extra.height();
        const QRect outer = ChatAlign == 1
            ? QRect(main.left(), main.top() - height, m_Chat->width() + extra.width(), height)
            : QRect(main.left(), main.bottom() + 1 - height, main.width(), height);
        Undock(m_ChatDock, m_Chat, outer);
    }
    m_ChatDocked = false;
    FitMainWindow(room);
}

void TDocking::DockMoves() {
    if (!m_Moves)
        return;
    m_PlaceMovesBeside = false;
    const QSize room = BoardRoom();
    Prepare();
    const Qt::DockWidgetArea area
        = MovesAlign == 3 ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea;
    if (!Holds(m_MovesDock, m_Moves)) {
        m_MovesWidth = m_Moves->width();
        Dock(m_MovesDock, m_Moves, area);
    } else {
        PlaceDock(m_MovesDock, area);
    }
    m_MovesDocked = true;
    FitMainWindow(room);
}

void TDocking::UndockMoves() {
    if (!m_Moves)
        return;
    m_PlaceMovesBeside = false;
    const QSize room = BoardRoom();
    Prepare();
    if (Holds(m_MovesDock, m_Moves)) {
        const QRect main = m_Main.frameGeometry();
        const QSize extra = FrameExtra(*m_Moves, m_Main);
        const int width = m_MovesWidth + extra.width();
        const QRect outer = MovesAlign == 3
            ? QRect(main.left() - width, main.top(), width, m_Moves->height() + extra.height())
            : QRect(main.right() + 1 - width, main.top(), width, main.height());
        Undock(m_MovesDock, m_Moves, outer);
    }
    m_MovesDocked = false;
    FitMainWindow(room);
}

bool TDocking::LendMoves() {
    if (!m_MovesDocked)
        return false;
    HideMoves();
    UndockMoves();
    return true;
}

void TDocking::ReturnMoves(bool docked, bool shown, int height) {
    if (!m_Moves)
        return;
    m_Moves->setParent(&m_Main, Qt::Tool);
    if (docked) {
        DockMoves();
        if (shown)
            ShowMoves();
        return;
    }
    // Floating just left of the main window with its own height, or just right of it with the
    // main window's height.
    const QRect main = m_Main.frameGeometry();
    const QSize extra = main.size() - m_Main.size();
    const int width = m_Moves->width() + extra.width();
    const QRect outer = MovesAlign == 3
        ? QRect(main.left() - width, main.top(), width, height + extra.height())
        : QRect(main.left() + main.width(), main.top(), width, main.height());
    m_Moves->move(outer.topLeft());
    m_Moves->resize(outer.size() - extra);
    if (shown) {
        m_Moves->show();
        m_Moves->raise();
    }
}
