// Showing, hiding and docking the chat and moves windows.
//
// A floating window is a tool window of its own. A docked one is the content of a dock widget of
// the main window: the chat at the top or bottom, spanning the width, and the moves window at the
// left or right, spanning the height below or above a docked chat. The main window has a fixed
// size, recomputed after every change so that the board panel keeps its 510 x 510 pixels and the
// window grows by the docked windows that are shown. Whether a window is shown is its own state
// (isHidden); the dock that holds it follows it, whoever shows or hides it.

#include "FormChat.h"
#include "FormMain.h"
#include "FormMoves.h"

#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>

#include <algorithm>
#include <climits>

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

// The docking state of the main window, a child of it: the two dock widgets and the sizes the
// docked windows keep.
class TDocking : public QObject {
    Q_OBJECT

public:
    explicit TDocking(TfrmMain& main)
        : QObject(&main)
        , m_Main(main) {
        setObjectName(QStringLiteral("Docking"));
        auto* style = new TDockLayoutStyle;
        style->setParent(this);
        main.setStyle(style);
        // The main window's own context menu would only list the docks.
        main.setContextMenuPolicy(Qt::PreventContextMenu);
        main.setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
        main.setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
        main.setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
        main.setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
        ChatDock = MakeDock(main, "dckChat", QStringLiteral("Chat"));
        MovesDock = MakeDock(main, "dckMoves", QStringLiteral("Moves"));
    }

    static TDocking& Of(TfrmMain& main) {
        auto* docking = main.findChild<TDocking*>(QString(), Qt::FindDirectChildrenOnly);
        return docking ? *docking : *new TDocking(main);
    }

    bool Holds(const QDockWidget* dock, const QWidget* window) const {
        return window && window->parentWidget() == dock;
    }

    // Puts the window into the dock at the given area, shown as it was.
    void Dock(QDockWidget* dock, QWidget* window, Qt::DockWidgetArea area) {
        const bool shown = !window->isHidden();
        m_Changing = true;
        dock->setWidget(window);
        window->setVisible(shown);
        m_Changing = false;
        window->installEventFilter(this);
        PlaceDock(dock, area);
    }

    // Moves the dock to the area; it stays shown when its window is.
    void PlaceDock(QDockWidget* dock, Qt::DockWidgetArea area) {
        if (m_Main.dockWidgetArea(dock) != area) {
            if (m_Main.dockWidgetArea(dock) != Qt::NoDockWidgetArea)
                m_Main.removeDockWidget(dock);
            m_Main.addDockWidget(area, dock);
        }
        dock->setVisible(dock->widget() && !dock->widget()->isHidden());
    }

    // Takes the window out of the dock and floats it at the outer rectangle, shown as it was.
    void Undock(QDockWidget* dock, QWidget* window, const QRect& outer) {
        const bool shown = !window->isHidden();
        m_Changing = true;
        window->removeEventFilter(this);
        Float(*window, m_Main, outer);
        m_Main.removeDockWidget(dock);
        window->setVisible(shown);
        m_Changing = false;
    }

    void SetShown(QDockWidget* dock, QWidget* window, bool shown) {
        m_Changing = true;
        window->setVisible(shown);
        dock->setVisible(shown);
        m_Changing = false;
        FitMainWindow();
    }

    // Sizes the main window to the board plus the docked windows that are shown, and lays it out
    // at once so that the board's place is right when this returns.
    void FitMainWindow() {
        const bool chatShown = Holds(ChatDock, m_Main.frmChat) && !m_Main.frmChat->isHidden();
        const bool movesShown = Holds(MovesDock, m_Main.frmMoves) && !m_Main.frmMoves->isHidden();
        const int width = m_Main.centralWidget()->width() + (movesShown ? MovesWidth : 0);
        const int height = m_Main.centralWidget()->height() + (chatShown ? ChatHeight : 0);
        int menuHeight = 0;
        if (QWidget* menu = m_Main.menuWidget(); menu && !menu->isHidden())
            menuHeight = menu->hasHeightForWidth() ? menu->heightForWidth(width)
                                                   : menu->sizeHint().height();
        m_Main.setFixedSize(width, menuHeight + height);
        m_Main.layout()->invalidate();
        m_Main.layout()->activate();
    }

    QDockWidget* ChatDock = nullptr;
    QDockWidget* MovesDock = nullptr;
    // The height of the docked chat window and the width of the docked moves window.
    int ChatHeight = 0;
    int MovesWidth = 0;

protected:
    // A docked window shown or hidden directly (Escape in the chat, a close request) takes its
    // dock along and gives the main window its room back.
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The moves window has a fixed width, which grows when a language needs wider columns;
        // the main window then makes room for the new width.
        if (event->type() == QEvent::Resize && watched == m_Main.frmMoves
            && Holds(MovesDock, m_Main.frmMoves) && m_Main.frmMoves->width() != MovesWidth
            && m_Main.frmMoves->minimumWidth() == m_Main.frmMoves->maximumWidth()) {
            MovesWidth = m_Main.frmMoves->width();
            FitMainWindow();
            return false;
        }
        if (m_Changing
            || (event->type() != QEvent::ShowToParent && event->type() != QEvent::HideToParent))
            return false;
        for (QDockWidget* dock : { ChatDock, MovesDock }) {
            if (dock->widget() != watched)
                continue;
            const bool shown = event->type() == QEvent::ShowToParent;
            if (dock->isHidden() == shown) {
                m_Changing = true;
                dock->setVisible(shown);
                m_Changing = false;
                FitMainWindow();
            }
        }
        return false;
    }

private:
    TfrmMain& m_Main;
    bool m_Changing = false;
};

} // namespace

void TfrmMain::ShowChat() {
    if (!frmChat || !frmChat->isHidden())
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.ChatDock, frmChat)) {
        docking.SetShown(docking.ChatDock, frmChat, true);
        return;
    }
    frmChat->show();
    frmChat->raise();
}

void TfrmMain::HideChat() {
    if (!frmChat || frmChat->isHidden())
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.ChatDock, frmChat))
        docking.SetShown(docking.ChatDock, frmChat, false);
    else
        frmChat->hide();
}

void TfrmMain::ShowMoves() {
    if (!frmMoves || !frmMoves->isHidden())
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.MovesDock, frmMoves)) {
        docking.SetShown(docking.MovesDock, frmMoves, true);
        return;
    }
    frmMoves->show();
    frmMoves->raise();
}

void TfrmMain::HideMoves() {
    if (!frmMoves || frmMoves->isHidden())
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.MovesDock, frmMoves))
        docking.SetShown(docking.MovesDock, frmMoves, false);
    else
        frmMoves->hide();
}

void TfrmMain::DockChat() {
    if (!frmChat)
        return;
    TDocking& docking = TDocking::Of(*this);
    // Anything but the top is the bottom.
    const Qt::DockWidgetArea area
        = ChatAlign == 1 ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea;
    if (!docking.Holds(docking.ChatDock, frmChat)) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int screenHeight = screen ? screen->availableGeometry().height() : INT_MAX;
        docking.ChatHeight = FitDockedChatHeight(
            frmChat->height(), frmChat->minimumHeight(), frameGeometry().height(), screenHeight);
        frmChat->resize(frmChat->width(), docking.ChatHeight);
        docking.Dock(docking.ChatDock, frmChat, area);
    } else {
        docking.PlaceDock(docking.ChatDock, area);
    }
    ChatDocked = true;
    docking.FitMainWindow();
}

void TfrmMain::UndockChat() {
    if (!frmChat)
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.ChatDock, frmChat)) {
        const QRect main = frameGeometry();
        const QSize extra = FrameExtra(*frmChat, *this);
        const int height = docking.ChatHeight + extra.height();
        const QRect outer = ChatAlign == 1
            ? QRect(main.left(), main.top() - height, frmChat->width() + extra.width(), height)
            : QRect(main.left(), main.bottom() + 1 - height, main.width(), height);
        docking.Undock(docking.ChatDock, frmChat, outer);
    }
    ChatDocked = false;
    docking.FitMainWindow();
}

void TfrmMain::DockMoves() {
    if (!frmMoves)
        return;
    TDocking& docking = TDocking::Of(*this);
    // Anything but the left is the right.
    const Qt::DockWidgetArea area
        = MovesAlign == 3 ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea;
    if (!docking.Holds(docking.MovesDock, frmMoves)) {
        docking.MovesWidth = frmMoves->width();
        docking.Dock(docking.MovesDock, frmMoves, area);
    } else {
        docking.PlaceDock(docking.MovesDock, area);
    }
    MovesDocked = true;
    docking.FitMainWindow();
}

void TfrmMain::UndockMoves() {
    if (!frmMoves)
        return;
    TDocking& docking = TDocking::Of(*this);
    if (docking.Holds(docking.MovesDock, frmMoves)) {
        const QRect main = frameGeometry();
        const QSize extra = FrameExtra(*frmMoves, *this);
        const int width = docking.MovesWidth + extra.width();
        const QRect outer = MovesAlign == 3
            ? QRect(main.left() - width, main.top(), width, frmMoves->height() + extra.height())
            : QRect(main.right() + 1 - width, main.top(), width, main.height());
        docking.Undock(docking.MovesDock, frmMoves, outer);
    }
    MovesDocked = false;
    docking.FitMainWindow();
}

#include "FormMainDock.moc"
