#include "LayoutStore.h"

#include "AppPaths.h"
#include "Docking.h"
#include "FormHistory.h"
#include "UserFiles.h"

#include <QSettings>

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

// The largest width or height a stored window size may have.
constexpr int MaxWindowSide = 16384;

const char* const HistoryValues[]
    = { "HistoryLeft", "HistoryTop", "HistoryHeight", "HistoryWidth" };

// A stored 32-bit integer, or none when the value is missing or not a number.
std::optional<int> ReadInt(QSettings& store, const char* name) {
    const QVariant value = store.value(QString::fromLatin1(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(number);
}

} // namespace

TLayoutStore::TLayoutStore(QWidget& main, TDocking& docking)
    : m_Main(main)
    , m_Docking(docking) { }

void TLayoutStore::SetWindows(QWidget* chat, QWidget* moves, TfrmHistory* history) {
    m_Chat = chat;
    m_Moves = moves;
    m_History = history;
}

void TLayoutStore::Load() {
    if (m_Moves && !LoadValues()) {
        m_Main.move(0, 0);
        // Where the main window ends up is the window manager's choice; the moves window opens
        // beside it when first shown.
        m_Docking.PlaceMovesBesideMain();
    }
    LoadSize();
}

void TLayoutStore::LoadSize() {
    auto store = AppPaths::LayoutStore();
    if (!store)
        return;
    const std::optional<int> width = ReadInt(*store, "FormWidth");
    const std::optional<int> height = ReadInt(*store, "FormHeight");
    // A size below the window's smallest or beyond any screen is damaged: the window keeps the
    // size it has.
    const auto fits = [](const std::optional<int>& value, int least) {
        return value && *value >= least && *value <= MaxWindowSide;
    };
    if (fits(width, m_Main.minimumWidth()) && fits(height, m_Main.minimumHeight()))
        m_Main.resize(*width, *height);
    if (ReadInt(*store, "FormMaximized").value_or(0) == 1)
        m_Main.setWindowState(m_Main.windowState() | Qt::WindowMaximized);
}

bool TLayoutStore::LoadValues() {
    auto store = AppPaths::LayoutStore();
    if (!store)
        return false;
    auto read = [&](const char* name, auto apply) {
        const std::optional<int> value = ReadInt(*store, name);
        if (value)
            apply(*value);
        return value.has_value();
    };
    QWidget& main = m_Main;
    if (!read("FormLeft", [&](int v) { main.move(v, main.y()); }))
        return false;
    if (!read("FormTop", [&](int v) { main.move(main.x(), v); }))
        return false;
    // The chat window takes its place and size before it docks: docking keeps its height.
    if (!read("ChatLeft", [this](int v) { m_ChatGeometry.Left = v; }))
        return false;
    if (!read("ChatTop", [this](int v) { m_ChatGeometry.Top = v; }))
        return false;
    if (!read("ChatHeight", [this](int v) { m_ChatGeometry.Height = v; }))
        return false;
    if (!read("ChatWidth", [this](int v) { m_ChatGeometry.Width = v; }))
        return false;
    if (m_Chat) {
        m_Chat->move(m_ChatGeometry.Left, m_ChatGeometry.Top);
        m_Chat->resize(m_ChatGeometry.Width, m_ChatGeometry.Height);
    }
    if (!read("ChatAlign", [this](int v) { m_Docking.ChatAlign = static_cast<uint8_t>(v); }))
        return false;
    if (!read("ChatDocked", [this](int v) {
            if (v && m_Chat)
                m_Docking.DockChat();
        }))
        return false;
    if (!read("ChatVisible", [this](int v) {
            if (v && m_Chat)
                m_Docking.ShowChat();
        }))
        return false;
    QWidget& moves = *m_Moves;
    if (!read("MovesLeft", [&](int v) { moves.move(v, moves.y()); }))
        return false;
    if (!read("MovesTop", [&](int v) { moves.move(moves.x(), v); }))
        return false;
    if (!read("MovesHeight", [&](int v) { moves.resize(moves.width(), v); }))
        return false;
    if (!read("MovesAlign", [this](int v) { m_Docking.MovesAlign = static_cast<uint8_t>(v); }))
        return false;
    if (!read("MovesDocked", [this](int v) {
            if (v)
                m_Docking.DockMoves();
        }))
        return false;
    if (!read("MovesVisible", [this](int v) {
            if (v)
                m_Docking.ShowMoves();
        }))
        return false;
    // A history window that never had a place stores none (see Save); the layout is whole
    // without it, and the history window keeps the place of its form.
    if (std::none_of(std::begin(HistoryValues), std::end(HistoryValues),
            [&](const char* name) { return store->contains(QString::fromLatin1(name)); }))
        return true;
    // The history window's frame position and its client size.
    if (!read("HistoryLeft", [this](int v) {
            m_HistoryGeometry.Left = v;
            if (m_History)
                m_History->move(v, m_History->y());
        }))
        return false;
    if (!read("HistoryTop", [this](int v) {
            m_HistoryGeometry.Top = v;
            if (m_History)
                m_History->move(m_History->x(), v);
        }))
        return false;
    if (!read("HistoryHeight", [this](int v) {
            m_HistoryGeometry.Height = v;
            if (m_History)
                m_History->resize(m_History->width(), v);
        }))
        return false;
    return read("HistoryWidth", [this](int v) {
        m_HistoryGeometry.Width = v;
        m_HistoryGeometry.Known = true;
        if (m_History)
            m_History->RestoreSize(v, m_History->height());
    });
}

void TLayoutStore::Save() {
    auto store = AppPaths::LayoutStore();
    if (!store)
        return;
    auto write
        = [&](const char* name, int value) { store->setValue(QString::fromLatin1(name), value); };
    write("FormLeft", m_Main.x());
    write("FormTop", m_Main.y());
    // A maximised window keeps the size it returns to.
    const bool maximized = m_Main.isMaximized();
    const QSize size = maximized ? m_Main.normalGeometry().size() : m_Main.size();
    if (!size.isEmpty()) {
        write("FormWidth", size.width());
        write("FormHeight", size.height());
    }
    write("FormMaximized", maximized ? 1 : 0);
    if (m_Chat) {
        m_ChatGeometry.Left = m_Chat->x();
        m_ChatGeometry.Top = m_Chat->y();
        m_ChatGeometry.Height = m_Chat->height();
        m_ChatGeometry.Width = m_Chat->width();
    }
    write("ChatLeft", m_ChatGeometry.Left);
    write("ChatTop", m_ChatGeometry.Top);
    write("ChatHeight", m_ChatGeometry.Height);
    write("ChatWidth", m_ChatGeometry.Width);
    write("ChatDocked", m_Docking.ChatDocked());
    write("ChatAlign", m_Docking.ChatAlign);
    write("ChatVisible", m_Chat && m_Chat->isVisible());
    if (m_Moves) {
        write("MovesLeft", m_Moves->x());
        write("MovesTop", m_Moves->y());
        write("MovesHeight", m_Moves->height());
        write("MovesDocked", m_Docking.MovesDocked());
        write("MovesAlign", m_Docking.MovesAlign);
        write("MovesVisible", m_Moves->isVisible());
    }
    if (m_History && m_History->GeometryKnown()) {
        m_HistoryGeometry
            = { m_History->x(), m_History->y(), m_History->height(), m_History->width() };
        m_HistoryGeometry.Known = true;
    }
    if (m_HistoryGeometry.Known) {
        write("HistoryLeft", m_HistoryGeometry.Left);
        write("HistoryTop", m_HistoryGeometry.Top);
        write("HistoryHeight", m_HistoryGeometry.Height);
        write("HistoryWidth", m_HistoryGeometry.Width);
    } else {
        // A history window never shown and never restored has no place yet: the next run opens
        // it as a first run does. These are the last values read, so nothing after them is lost.
        for (const char* name : HistoryValues)
            store->remove(QString::fromLatin1(name));
    }
    SaveUserFile(store->fileName(), [&] {
        store->sync();
        return store->status() != QSettings::AccessError;
    });
}
