// The window layout: positions and sizes of the windows, kept in the layout store between runs.

#include "AppPaths.h"
#include "FormMain.h"
#include "FormMoves.h"

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
        for (auto [name, field] : { std::pair { "ChatLeft", &m_Chat.Left },
                 { "ChatTop", &m_Chat.Top }, { "ChatHeight", &m_Chat.Height },
                 { "ChatWidth", &m_Chat.Width }, { "ChatAlign", &m_Chat.Align } })
            if (!read(name, [field](int v) { *field = v; }))
                return false;
        if (!read("ChatDocked", [this](int v) { m_Chat.Docked = v != 0; }))
            return false;
        if (!read("ChatVisible", [this](int v) { m_Chat.Visible = v != 0; }))
            return false;
        if (!read("MovesLeft", [this](int v) { frmMoves->move(v, frmMoves->y()); }))
            return false;
        if (!read("MovesTop", [this](int v) { frmMoves->move(frmMoves->x(), v); }))
            return false;
        if (!read("MovesHeight", [this](int v) { frmMoves->resize(frmMoves->width(), v); }))
            return false;
        if (!read("MovesAlign", [this](int v) { MovesAlign = static_cast<uint8_t>(v); }))
            return false;
        if (!read("MovesDocked", [this](int v) { MovesDocked = v != 0; }))
            return false;
        if (!read("MovesVisible", [this](int v) {
                if (v)
                    Menu_View_Moves->trigger();
            }))
            return false;
        for (auto [name, field] : { std::pair { "HistoryLeft", &m_History.Left },
                 { "HistoryTop", &m_History.Top }, { "HistoryHeight", &m_History.Height },
                 { "HistoryWidth", &m_History.Width } })
            if (!read(name, [field](int v) { *field = v; }))
                return false;
        return true;
    };
    if (!frmMoves || all())
        return;
    move(0, 0);
    if (frmMoves)
        frmMoves->move(560, 0);
}

void TfrmMain::SaveLayout() {
    auto store = AppPaths::LayoutStore();
    auto write = [&](const char* name, int value) { store->setValue(QString::fromLatin1(name), value); };
    write("FormLeft", x());
    write("FormTop", y());
    write("ChatLeft", m_Chat.Left);
    write("ChatTop", m_Chat.Top);
    write("ChatHeight", m_Chat.Height);
    write("ChatWidth", m_Chat.Width);
    write("ChatDocked", m_Chat.Docked);
    write("ChatAlign", m_Chat.Align);
    write("ChatVisible", m_Chat.Visible);
    if (frmMoves) {
        write("MovesLeft", frmMoves->x());
        write("MovesTop", frmMoves->y());
        write("MovesHeight", frmMoves->height());
        write("MovesDocked", MovesDocked);
        write("MovesAlign", MovesAlign);
        write("MovesVisible", frmMoves->isVisible());
    }
    write("HistoryLeft", m_History.Left);
    write("HistoryTop", m_History.Top);
    write("HistoryHeight", m_History.Height);
    write("HistoryWidth", m_History.Width);
    store->sync();
}
