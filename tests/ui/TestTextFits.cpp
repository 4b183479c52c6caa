// No text of the program's windows is cut, in any shipped language, whatever fonts the machine
// has: each language is applied to the real windows as the main window applies it, every window
// and every page is shown, and each label, button, tab, header, cell, list and combo box item is
// measured in its own font against the rectangle the style draws it in.

#include "BoardView.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "MoveNotation.h"
#include "UnitMessages.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A text as it is drawn: "&&" is a literal "&", any other "&" only marks the mnemonic.
QString Shown(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

int Advance(const QWidget* widget, const QString& text) {
    return widget->fontMetrics().horizontalAdvance(Shown(text));
}

// Where a window's texts do not fit, as "window/control: "text" needs N px, has M".
class TCutFinder {
public:
    explicit TCutFinder(std::string language)
        : m_Language(std::move(language)) { }

    void Check(QWidget* window) {
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            if (!widget->isVisibleTo(window) || widget->width() <= 0)
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget))
                CheckLabel(window, label);
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                CheckButton(window, button);
            else if (auto* tabs = qobject_cast<QTabBar*>(widget))
                CheckTabs(window, tabs);
            else if (auto* combo = qobject_cast<QComboBox*>(widget))
                CheckCombo(window, combo);
            else if (auto* table = qobject_cast<QTableWidget*>(widget))
                CheckTable(window, table);
            else if (auto* list = qobject_cast<QListWidget*>(widget))
                CheckList(window, list);
        }
    }

    std::vector<std::string> Cuts;

private:
    void Report(
        const QWidget* window, const QWidget* widget, const QString& text, int need, int have) {
        if (need <= have)
            return;
        Cuts.push_back(m_Language + " " + window->objectName().toStdString() + "/"
            + widget->objectName().toStdString() + ": \"" + text.toStdString() + "\" needs "
            + std::to_string(need) + " px, has " + std::to_string(have));
    }

    void CheckLabel(const QWidget* window, const QLabel* label) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
            return;
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            // A wrapped text needs its height at the label's width.
            const int need = label->heightForWidth(label->width());
            Report(window, label, label->text(), need, label->height());
            return;
        }
        const QString text = label->buddy()
            ? label->text()
            : QString(label->text()).replace(QLatin1Char('&'), QStringLiteral("&&"));
        Report(window, label, label->text(), Advance(label, text), room.width());
    }

    void CheckButton(const QWidget* window, const QAbstractButton* button) {
        if (button->text().isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QCheckBox*>(button))
            contents = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<const QRadioButton*>(button))
            contents = QStyle::SE_RadioButtonContents;
        else if (!qobject_cast<const QPushButton*>(button))
            return;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        Report(window, button, button->text(), Advance(button, button->text()), room.width());
    }

    void CheckTabs(const QWidget* window, const QTabBar* tabs) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i))
                continue;
            QStyleOptionTab option;
            option.initFrom(tabs);
            option.rect = tabs->tabRect(i);
            option.text = tabs->tabText(i);
            option.shape = tabs->shape();
            const QRect room
                = tabs->style()->subElementRect(QStyle::SE_TabBarTabText, &option, tabs);
            Report(window, tabs, tabs->tabText(i), Advance(tabs, tabs->tabText(i)), room.width());
        }
    }

    void CheckCombo(const QWidget* window, const QComboBox* combo) {
        if (combo->isEditable())
            return;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = false;
        const QRect room = combo->style()->subControlRect(
            QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            Report(window, combo, combo->itemText(i), Advance(combo, combo->itemText(i)),
                room.width());
    }

    void CheckTable(const QWidget* window, const QTableWidget* table) {
        QStyle* style = table->style();
        const int cellMargin
            = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1)
            + (table->showGrid() ? 1 : 0);
        const int headerMargin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table);
        const QHeaderView* header = table->horizontalHeader();
        for (int column = 0; column < table->columnCount(); ++column) {
            if (header->isSectionHidden(column))
                continue;
            const int width = header->sectionSize(column);
            const QTableWidgetItem* title = table->horizontalHeaderItem(column);
            // The header of the current column is drawn in bold where sections are highlighted.
            QFont headerFont = header->font();
            headerFont.setBold(header->highlightSections() && header->sectionsClickable());
            if (!header->isHidden() && title)
                Report(window, table, title->text(),
                    QFontMetrics(headerFont).horizontalAdvance(title->text()),
                    width - headerMargin);
            for (int row = 0; row < table->rowCount(); ++row) {
                const QTableWidgetItem* item = table->item(row, column);
                if (!item || item->text().isEmpty())
                    continue;
                // A cell that carries its whole text as its tooltip (a program's path, whose
                // length depends on where it is installed) is shortened on purpose.
                if (item->toolTip() == item->text())
                    continue;
                // A cell that also shows a swatch or a check box needs room for it.
                const int extra
                    = item->data(Qt::DecorationRole).isValid() ? table->iconSize().width() + 4 : 0;
                Report(window, table, item->text(),
                    table->fontMetrics().horizontalAdvance(item->text()) + extra,
                    width - cellMargin);
            }
        }
    }

    void CheckList(const QWidget* window, const QListWidget* list) {
        // The widest item, check box included, against the list's visible width.
        if (list->count() > 0)
            Report(window, list, QStringLiteral("(widest item)"), list->sizeHintForColumn(0),
                list->viewport()->width());
    }

    std::string m_Language;
};

// The widest moves each notation writes: a promotion with capture and check.
// White's header at the view's first size: the left of the name and clock, the right end of
// the word.
constexpr int HeaderTextLeft = 70;
constexpr int HeaderWordRight = 230;

TMoveRecord LongMove(bool white) {
    TMoveRecord move;
    move.Kind = pkPawn;
    move.From = white ? MakePoint(7, 7) : MakePoint(2, 2);
    move.To = white ? MakePoint(6, 8) : MakePoint(1, 1);
    move.PromotionKind = pkQueen;
    move.Flags = mrCapture | mrPromotion | mrCheck;
    return move;
}

class TextFitsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(nullptr);
        Main = std::make_unique<TfrmMain>();
        About = Main->findChild<TfrmAbout*>("frmAbout");
        Chat = Main->findChild<TfrmChat*>("frmChat");
        History = Main->findChild<TfrmHistory*>("frmHistory");
        Game = Main->findChild<TfrmGame*>("frmGame");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Options = Main->findChild<TfrmOptions*>("frmOptions");
        Main->show();
        // A game of every result, with long names, for the history's cells.
        TMoveList moves;
        for (uint8_t result = grUnfinished; result <= grTied; ++result)
            ASSERT_TRUE(Main->History().AddGame(
                "Alexandra", "Bartholomew", 38000.5, 3599, 61, result, moves));
    }
    void TearDown() override {
        Main.reset();
        // The program's own messages return to English for the tests that follow.
        Messages().RestoreDefaults();
    }

    static void Settle(QWidget* window) {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            if (window->layout())
                window->layout()->activate();
        }
    }

    // Shows the window with each page of its page controls in turn and measures its texts.
    static void CheckPages(TCutFinder& finder, QWidget* window) {
        window->show();
        Settle(window);
        const QList<QTabWidget*> pages = window->findChildren<QTabWidget*>();
        if (pages.isEmpty())
            finder.Check(window);
        for (QTabWidget* tabs : pages) {
            for (int page = 0; page < tabs->count(); ++page) {
                if (!tabs->isTabVisible(page))
                    continue;
                tabs->setCurrentIndex(page);
                Settle(window);
                finder.Check(window);
            }
            tabs->setCurrentIndex(0);
        }
    }

    void CheckLanguage(const QString& file, std::vector<std::string>& cuts) {
        ASSERT_TRUE(Main->LoadLanguage(file)) << file.toStdString();
        TCutFinder finder(file.toStdString());

        // The main window with each of its panels shown.
        for (QWidget* panel : std::initializer_list<QWidget*> {
                 Main->Board().pnlPromotion, Main->Board().pnlReady, Main->Board().pnlPaused }) {
            panel->show();
            Settle(Main.get());
            finder.Check(Main.get());
            panel->hide();
        }
        // The move entry with each of its reasons.
        TBoardWidget& board = Main->Board();
        for (QLabel* reason : { board.lblMoveNotAMove, board.lblMoveIllegal, board.lblMoveAmbiguous,
                 board.lblMovePromotion }) {
            board.pnlMove->show();
            board.ShowMoveError(reason);
            Settle(Main.get());
            finder.Check(Main.get());
            board.ShowMoveError(nullptr);
            board.pnlMove->hide();
        }

        // The header's words, right-aligned beside the clock: between a clock of an hour and the
        // header's right end, in the view's font at its first size (the room scales with it).
        {
            const TBoardView view;
            const QFontMetrics metrics(view.TextFont());
            const int room = HeaderWordRight - HeaderTextLeft
                - metrics.horizontalAdvance(QStringLiteral("59:59 "));
            for (const char* key : HeaderWords) {
                const QString word = Main->Values().Value(QString::fromLatin1(key));
                const int width = metrics.horizontalAdvance(word);
                if (width > room)
                    cuts.push_back(file.toStdString() + " header/" + key + ": \""
                        + word.toStdString() + "\" needs " + std::to_string(width) + " px, has "
                        + std::to_string(room));
            }
        }

        // The moves window in each notation, with the widest moves.
        Moves->show();
        for (int style = nsAlgebraic; style <= nsSimplified; ++style) {
            Moves->SetNotation(style, Main->Values().Value(QStringLiteral("Pieces")));
            Moves->ClearMoves();
            for (int i = 0; i < 120; ++i)
                Moves->AddMove(LongMove(i % 2 == 0), i % 2 == 0);
            Settle(Moves);
            finder.Check(Moves);
        }
        Moves->ClearMoves();
        Moves->hide();

        // The new-game dialog as the menu opens it, for a loaded game (without the page for
        // joining) and for a new game.
        for (const bool loaded : { true, false }) {
            QTimer::singleShot(0, Game, [&] {
                CheckPages(finder, Game);
                Game->reject();
            });
            Game->Execute(loaded);
        }

        for (QWidget* window : std::initializer_list<QWidget*> { About, Chat, Options, History }) {
            CheckPages(finder, window);
            window->hide();
        }
        cuts.insert(cuts.end(), finder.Cuts.begin(), finder.Cuts.end());
    }

    QTemporaryDir m_Home;
    std::unique_ptr<TfrmMain> Main;
    TfrmAbout* About = nullptr;
    TfrmChat* Chat = nullptr;
    TfrmHistory* History = nullptr;
    TfrmGame* Game = nullptr;
    TfrmMoves* Moves = nullptr;
    TfrmOptions* Options = nullptr;
};

// Every shipped language in turn, and English again at the end: a window that grew for a longer
// language still shows English whole.
TEST_F(TextFitsTest, NoTextIsCutInAnyShippedLanguage) {
    QStringList packs = QDir(QStringLiteral(WINTERMOOT_SOURCE_DIR "/resources/lang"))
                            .entryList({ QStringLiteral("*.txt") }, QDir::Files);
    ASSERT_GE(packs.size(), 4);
    packs.replaceInStrings(QStringLiteral(".txt"), QStringLiteral(".lang"));
    packs.removeAll(QStringLiteral("TolvanEn.lang"));
    packs.prepend(QStringLiteral("TolvanEn.lang"));
    packs.append(QStringLiteral("TolvanEn.lang"));
    std::vector<std::string> cuts;
    for (const QString& pack : packs)
        CheckLanguage(pack, cuts);
    std::string all;
    for (const std::string& cut : cuts)
        all += cut + "\n";
    EXPECT_TRUE(cuts.empty()) << cuts.size() << " texts are cut:\n" << all;
}

} // namespace
