// The layout store on plain windows: what one run saves, the next reads back, docking included.

#include "AppPaths.h"
#include "Docking.h"
#include "LayoutStore.h"

#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A main window with a board-sized centre, its chat and moves windows, docking and layout.
struct TWindows {
    TWindows() {
        auto* board = new QWidget;
        board->setFixedSize(510, 510);
        Main.setCentralWidget(board);
        Docking.SetWindows(Chat, Moves);
        Layout.SetWindows(Chat, Moves, nullptr);
        Moves->setFixedWidth(170);
        Main.show();
    }
    QMainWindow Main;
    QWidget* Chat = new QWidget(&Main, Qt::Tool);
    QWidget* Moves = new QWidget(&Main, Qt::Tool);
    TDocking Docking { Main };
    TLayoutStore Layout { Main, Docking };
};

// A run that never placed the history window stores no place for it; the next run still takes
// every other value, rather than putting the main and moves windows at their first-run places.
TEST(LayoutStoreTest, WhatOneRunSavesTheNextReadsBackWithoutAHistoryPlace) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    {
        TWindows first;
        first.Main.move(40, 30);
        first.Chat->move(5, 6);
        first.Chat->resize(300, 120);
        first.Moves->move(700, 10);
        first.Moves->resize(170, 420);
        first.Docking.MovesAlign = 3;
        first.Docking.DockMoves();
        first.Docking.ShowMoves();
        first.Layout.Save();
    }
    {
        auto store = AppPaths::LayoutStore();
        const std::pair<const char*, int> expected[] = { { "FormLeft", 40 }, { "FormTop", 30 },
            { "ChatLeft", 5 }, { "ChatTop", 6 }, { "ChatHeight", 120 }, { "ChatWidth", 300 },
            { "ChatDocked", 0 }, { "ChatAlign", 2 }, { "ChatVisible", 0 }, { "MovesDocked", 1 },
            { "MovesAlign", 3 }, { "MovesVisible", 1 } };
        for (const auto& [name, value] : expected)
            EXPECT_EQ(store->value(QString::fromLatin1(name)).toInt(), value) << name;
        // A history window never placed leaves no place behind.
        EXPECT_FALSE(store->contains(QStringLiteral("HistoryLeft")));
    }

    TWindows second;
    second.Layout.Load();
    EXPECT_EQ(second.Main.pos(), QPoint(40, 30));
    EXPECT_EQ(second.Chat->geometry(), QRect(5, 6, 300, 120));
    EXPECT_TRUE(second.Chat->isHidden());
    EXPECT_FALSE(second.Docking.ChatDocked());
    EXPECT_TRUE(second.Docking.MovesDocked());
    EXPECT_EQ(second.Docking.MovesAlign, 3);
    EXPECT_TRUE(second.Moves->isVisible());
    EXPECT_EQ(second.Main.centralWidget()->pos().x(), 170) << "docked at the left";
}

// The main window's size and maximised state come back; without them, or with a damaged size,
// the window keeps the size it has.
TEST(LayoutStoreTest, TheWindowsSizeAndMaximisedStateComeBack) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    {
        TWindows first;
        first.Main.setMinimumSize(510, 510);
        first.Main.resize(900, 700);
        first.Layout.Save();
        auto store = AppPaths::LayoutStore();
        EXPECT_EQ(store->value(QStringLiteral("FormWidth")).toInt(), 900);
        EXPECT_EQ(store->value(QStringLiteral("FormHeight")).toInt(), 700);
        EXPECT_EQ(store->value(QStringLiteral("FormMaximized")).toInt(), 0);
    }
    {
        TWindows second;
        second.Main.setMinimumSize(510, 510);
        second.Layout.Load();
        EXPECT_EQ(second.Main.size(), QSize(900, 700));
        EXPECT_FALSE(second.Main.windowState() & Qt::WindowMaximized);
    }
    const std::pair<QVariant, QVariant> damaged[] = { { QStringLiteral("wide"), 700 }, { 300, 700 },
        { 900, -5 }, { 900, 100000 }, { QVariant(), 700 } };
    for (const auto& [width, height] : damaged) {
        {
            auto store = AppPaths::LayoutStore();
            store->setValue(QStringLiteral("FormWidth"), width);
            store->setValue(QStringLiteral("FormHeight"), height);
            if (!width.isValid())
                store->remove(QStringLiteral("FormWidth"));
            store->setValue(QStringLiteral("FormMaximized"), 1);
        }
        TWindows third;
        third.Main.setMinimumSize(510, 510);
        const QSize before = third.Main.size();
        third.Layout.Load();
        EXPECT_EQ(third.Main.size(), before) << width.toString().toStdString();
        EXPECT_TRUE(third.Main.windowState() & Qt::WindowMaximized);
    }
}

} // namespace
