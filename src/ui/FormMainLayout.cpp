// The window layout: positions and sizes of the windows, kept in the layout store between runs.

#include "AppPaths.h"
#include "FormChat.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "MainMenu.h"
#include "UserFiles.h"

#include <QSettings>

#include <optional>

namespace {

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

void TfrmMain::LoadLayout() {
    auto store = AppPaths::LayoutStore();
    // Values are applied one at a time, in order; the first missing one ends the reading, and
    // the main window and the moves window then take their first-run places.
    auto read = [&](const char* name, auto apply) {
        const std::optional<int> value = ReadInt(*store, name);
        if (value)
            apply(*value);
        return value.has_value();
    };
    auto all = [&] {
        if (!read("FormLeft", [this](int v) { move(v, y()); }))
            return false;
        if (!read("FormTop", [this](int v) { move(x(), v); }))
            return false;
        // The chat window takes its place and size before it docks: docking keeps its height.
        if (!read("ChatLeft", [this](int v) { m_Chat.Left = v; }))
            return false;
        if (!read("ChatTop", [this](int v) { m_Chat.Top = v; }))
            return false;
        if (!read("ChatHeight", [this](int v) { m_Chat.Height = v; }))
            return false;
        if (!read("ChatWidth", [this](int v) { m_Chat.Width = v; }))
            return false;
        if (frmChat) {
            frmChat->move(m_Chat.Left, m_Chat.Top);
            frmChat->resize(m_Chat.Width, m_Chat.Height);
        }
        if (!read("ChatAlign", [this](int v) { m_Docking.ChatAlign = static_cast<uint8_t>(v); }))
            return false;
        if (!read("ChatDocked", [this](int v) {
                if (v && frmChat)
                    m_Docking.DockChat();
            }))
            return false;
        if (!read("ChatVisible", [this](int v) {
                if (v && frmChat)
                    m_Menu->Menu_View_Chat->trigger();
            }))
            return false;
        if (!read("MovesLeft", [this](int v) { frmMoves->move(v, frmMoves->y()); }))
            return false;
        if (!read("MovesTop", [this](int v) { frmMoves->move(frmMoves->x(), v); }))
            return false;
        if (!read("MovesHeight", [this](int v) { frmMoves->resize(frmMoves->width(), v); }))
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
                    m_Menu->Menu_View_Moves->trigger();
            }))
            return false;
        // The history window's frame position and its client size.
        if (!read("HistoryLeft", [this](int v) {
                m_History.Left = v;
                if (frmHistory)
                    frmHistory->move(v, frmHistory->y());
            }))
            return false;
        if (!read("HistoryTop", [this](int v) {
                m_History.Top = v;
                if (frmHistory)
                    frmHistory->move(frmHistory->x(), v);
            }))
            return false;
        if (!read("HistoryHeight", [this](int v) {
                m_History.Height = v;
                if (frmHistory)
                    frmHistory->resize(frmHistory->width(), v);
            }))
            return false;
        return read("HistoryWidth", [this](int v) {
            m_History.Width = v;
            m_History.Known = true;
            if (frmHistory)
                frmHistory->RestoreSize(v, frmHistory->height());
        });
    };
    if (!frmMoves || all())
        return;
    move(0, 0);
    if (frmMoves)
        frmMoves->move(560, 0);
}

void TfrmMain::SaveLayout() {
    auto store = AppPaths::LayoutStore();
    auto write
        = [&](const char* name, int value) { store->setValue(QString::fromLatin1(name), value); };
    write("FormLeft", x());
    write("FormTop", y());
    if (frmChat) {
        m_Chat.Left = frmChat->x();
        m_Chat.Top = frmChat->y();
        m_Chat.Height = frmChat->height();
        m_Chat.Width = frmChat->width();
    }
    write("ChatLeft", m_Chat.Left);
    write("ChatTop", m_Chat.Top);
    write("ChatHeight", m_Chat.Height);
    write("ChatWidth", m_Chat.Width);
    write("ChatDocked", m_Docking.ChatDocked());
    write("ChatAlign", m_Docking.ChatAlign);
    write("ChatVisible", frmChat && frmChat->isVisible());
    if (frmMoves) {
        write("MovesLeft", frmMoves->x());
        write("MovesTop", frmMoves->y());
        write("MovesHeight", frmMoves->height());
        write("MovesDocked", m_Docking.MovesDocked());
        write("MovesAlign", m_Docking.MovesAlign);
        write("MovesVisible", frmMoves->isVisible());
    }
    if (frmHistory && frmHistory->GeometryKnown()) {
        m_History = { frmHistory->x(), frmHistory->y(), frmHistory->height(), frmHistory->width() };
        m_History.Known = true;
    }
    if (m_History.Known) {
        write("HistoryLeft", m_History.Left);
        write("HistoryTop", m_History.Top);
        write("HistoryHeight", m_History.Height);
        write("HistoryWidth", m_History.Width);
    } else {
        // A history window never shown and never restored has no place yet: the next run opens
        // it as a first run does. These are the last values read, so nothing after them is lost.
        for (const char* name : { "HistoryLeft", "HistoryTop", "HistoryHeight", "HistoryWidth" })
            store->remove(QString::fromLatin1(name));
    }
    SaveUserFile(store->fileName(), [&] {
        store->sync();
        return store->status() != QSettings::AccessError;
    });
}
