// Language packs applied to the program's real windows, the display texts and the messages;
// finding and listing language files; and the coverage of every shipped pack.

#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHelp.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "LanguageApply.h"
#include "UnitMessages.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace {

// Every window of the program, created and linked as the program does, in the order the main
// window translates them. A window added to the program is added here (one line in the
// constructor) and is then checked by the coverage tests below.
class TProgramForms {
public:
    TProgramForms() {
        Main = std::make_unique<TfrmMain>();
        About = Main->findChild<TfrmAbout*>("frmAbout");
        Chat = Main->findChild<TfrmChat*>("frmChat");
        History = Main->findChild<TfrmHistory*>("frmHistory");
        Game = Main->findChild<TfrmGame*>("frmGame");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Options = Main->findChild<TfrmOptions*>("frmOptions");
        Forms = { About, Chat, History, Game, Main.get(), Moves, Options,
            Main->findChild<TfrmHelp*>("frmHelp") };
    }

    std::unique_ptr<TfrmMain> Main;
    TfrmAbout* About = nullptr;
    TfrmChat* Chat = nullptr;
    TfrmHistory* History = nullptr;
    TfrmGame* Game = nullptr;
    TfrmOptions* Options = nullptr;
    TfrmMoves* Moves = nullptr;
    std::vector<QWidget*> Forms;
};

// What the main window does with a loaded pack.
void ApplyEverywhere(const TLangPack& pack, TProgramForms& forms, TMessageTable& messages) {
    for (QWidget* form : forms.Forms)
        TranslateForm(pack, form);
    TranslateList(pack, "values", forms.Main->Values());
    TranslateMessages(pack, messages);
}

// The shipped packs, compiled into the binary folder from resources/lang/*.txt.
QStringList ShippedPacks() {
    const QStringList sources = QDir(QStringLiteral(WINTERMOOT_SOURCE_DIR "/resources/lang"))
                                    .entryList({ QStringLiteral("*.txt") }, QDir::Files);
    QStringList packs;
    for (const QString& source : sources)
        packs << QString(source).replace(QStringLiteral(".txt"), QStringLiteral(".lang"));
    return packs;
}

TLangPack LoadShipped(const QString& name) {
    TLangPack pack;
    const QString path = ResolveLanguageFile(name);
    EXPECT_FALSE(path.isEmpty()) << name.toStdString();
    EXPECT_TRUE(pack.LoadFromFile(path.toStdString())) << name.toStdString();
    return pack;
}

// Lists and data whose items come from elsewhere (files, the piece sets, numbers) rather than
// from the texts of the program.
const std::set<std::string> DataControls
    = { "cmbLanguages", "cmbThemes", "lstChessSet", "cmbSearchDepth", "lstIpAddresses" };

// The texts of a form that a pack must hold: key → number of ";"-separated items it needs
// (1 for a caption).
std::map<std::string, int> TranslatableTexts(QWidget* form) {
    std::map<std::string, int> texts;
    texts[form->objectName().toStdString()] = 1;
    const QList<QObject*> objects = form->findChildren<QObject*>();
    for (QObject* object : objects) {
        // Controls of another window embedded in this one belong to that window.
        bool embedded = false;
        for (QObject* up = object; up && up != form; up = up->parent())
            embedded = embedded || up->objectName().startsWith(QLatin1String("frm"));
        const std::string name = object->objectName().toStdString();
        if (embedded || name.empty() || DataControls.count(name))
            continue;
        if (auto* action = qobject_cast<QAction*>(object)) {
            if (!action->isSeparator() && !action->text().isEmpty())
                texts[name] = 1;
        } else if (auto* menu = qobject_cast<QMenu*>(object)) {
            if (!menu->title().isEmpty())
                texts[name] = 1;
        } else if (auto* label = qobject_cast<QLabel*>(object)) {
            if (!label->text().isEmpty() && label->textFormat() != Qt::RichText)
                texts[name] = 1;
        } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
            if (!button->text().isEmpty())
                texts[name] = 1;
        } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
            if (!group->title().isEmpty())
                texts[name] = 1;
        } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts[tabs->widget(i)->objectName().toStdString()] = 1;
        } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
            if (!combo->isEditable() && combo->count() > 0)
                texts[name] = combo->count();
        } else if (auto* list = qobject_cast<QListWidget*>(object)) {
            if (list->count() > 0)
                texts[name] = list->count();
        } else if (auto* table = qobject_cast<QTableWidget*>(object)) {
            if (!table->horizontalHeader()->isHidden())
                texts[name] = table->columnCount();
        }
    }
    return texts;
}

int ItemCount(const std::string& text) {
    return static_cast<int>(QString::fromStdString(text).split(QLatin1Char(';')).size());
}

class LanguageApplyTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        Forms = std::make_unique<TProgramForms>();
    }
    void TearDown() override { Forms.reset(); }

    QTemporaryDir m_Home;
    std::unique_ptr<TProgramForms> Forms;
};

TEST_F(LanguageApplyTest, CaptionsMenusTabsAndListsOfTheWindowsAreTranslated) {
    TLangPack pack;
    pack.AddText("frmMain", "frmMain", "Wintermoot (fr)");
    pack.AddText("frmMain", "Menu_Game", "&Partie");
    pack.AddText("frmMain", "Menu_Game_New", "&Jouer...");
    pack.AddText("frmMain", "btnReady", "");
    pack.AddText("frmMain", "lblpaused", "Wrong case");
    pack.AddText("frmGame", "frmGame", "Partie");
    pack.AddText("frmGame", "tbsClient", "Rejoindre");
    pack.AddText("frmGame", "cmbWhitePlayer", "Humain;Débutant;Confirmé;Expert");
    pack.AddText("frmGame", "cmbHostColor", "Blancs");
    pack.AddText("frmGame", "chkListGame", "Publier");
    pack.AddText("frmHistory", "stgHistory", "Date;Blancs;Noirs;Temps B;Temps N;Résultat");
    pack.AddText("frmMoves", "stgMoves", ";Blancs;Noirs");

    TfrmGame& game = *Forms->Game;
    game.cmbWhitePlayer->setCurrentIndex(2);
    game.edtWhitePlayerName->setText(QStringLiteral("Deep Thought"));
    game.cmbHostColor->setCurrentIndex(1);
    TMessageTable messages;
    ApplyEverywhere(pack, *Forms, messages);

    TfrmMain& main = *Forms->Main;
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Wintermoot (fr)"));
    EXPECT_EQ(main.findChild<QMenu*>("Menu_Game")->title(), QStringLiteral("&Partie"));
    EXPECT_EQ(main.findChild<QAction*>("Menu_Game_New")->text(), QStringLiteral("&Jouer..."));
    EXPECT_EQ(main.Board().btnReady->text(), QStringLiteral("I'm ready!"));
    EXPECT_EQ(main.Board().lblPaused->text(), QStringLiteral("Paused"));

    EXPECT_EQ(game.windowTitle(), QStringLiteral("Partie"));
    EXPECT_EQ(
        game.pgcGame->tabText(game.pgcGame->indexOf(game.tbsClient)), QStringLiteral("Rejoindre"));
    EXPECT_EQ(game.pgcGame->tabText(game.pgcGame->indexOf(game.tbsLocal)),
        QStringLiteral("Play a local game"));
    ASSERT_EQ(game.cmbWhitePlayer->count(), 4);
    EXPECT_EQ(game.cmbWhitePlayer->currentIndex(), 2);
    EXPECT_EQ(game.cmbWhitePlayer->currentText(), QStringLiteral("Confirmé"));
    // The name box follows only a choice of the user, not a translation.
    EXPECT_EQ(game.edtWhitePlayerName->text(), QStringLiteral("Deep Thought"));
    // Fewer items than the selected index leaves nothing selected.
    EXPECT_EQ(game.cmbHostColor->count(), 1);
    EXPECT_EQ(game.cmbHostColor->currentIndex(), -1);

    QTableWidget* history = Forms->History->stgHistory;
    ASSERT_EQ(history->columnCount(), 6);
    EXPECT_EQ(history->horizontalHeaderItem(1)->text(), QStringLiteral("Blancs"));
    EXPECT_EQ(history->horizontalHeaderItem(5)->text(), QStringLiteral("Résultat"));
    QTableWidget* moves = Forms->Moves->stgMoves;
    EXPECT_EQ(moves->horizontalHeaderItem(0)->text(), QString());
    EXPECT_EQ(moves->horizontalHeaderItem(2)->text(), QStringLiteral("Noirs"));
}

TEST_F(LanguageApplyTest, EmptyCaptionClearsTitleAndEmbeddedWindowsKeepTheirOwnSection) {
    TLangPack pack;
    pack.AddText("frmChat", "frmChat", "");
    pack.AddText("frmChat", "btnSend", "");
    // The moves window is a child of the main window; only its own section reaches it.
    pack.AddText("frmMain", "stgMoves", "X;Y;Z");
    pack.AddText("frmMain", "frmMoves", "Coups");
    TranslateForm(pack, Forms->Chat);
    TranslateForm(pack, Forms->Main.get());
    EXPECT_EQ(Forms->Chat->windowTitle(), QString());
    EXPECT_EQ(Forms->Chat->btnSend->text(), QStringLiteral("Send"));
    EXPECT_EQ(Forms->Moves->stgMoves->horizontalHeaderItem(1)->text(), QStringLiteral("White"));
    EXPECT_EQ(Forms->Moves->windowTitle(), QStringLiteral("Moves"));
    TranslateForm(pack, nullptr);
}

TEST_F(LanguageApplyTest, CheckListKeepsItsTicksAndSelection) {
    QWidget form;
    form.setObjectName(QStringLiteral("frmTest"));
    auto* list = new QListWidget(&form);
    list->setObjectName(QStringLiteral("clsSounds"));
    for (const char* text : { "Moved", "Captured", "Check" }) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    list->item(1)->setCheckState(Qt::Checked);
    list->setCurrentRow(2);
    TLangPack pack;
    pack.AddText("frmTest", "clsSounds", "Déplacée;Prise;Échec;Mat");
    TranslateForm(pack, &form);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Prise"));
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(3)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->currentRow(), 2);
    // A final ";" ends the last item instead of adding an empty one.
    pack.Clear();
    pack.AddText("frmTest", "clsSounds", "a;b;");
    TranslateForm(pack, &form);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), -1);
}

TEST_F(LanguageApplyTest, ValuesAndMessagesAreReplacedByKeyWithoutAddingEntries) {
    TLangPack pack;
    pack.AddText("values", "Pieces", "PCTFDR");
    pack.AddText("values", "Res01", "");
    pack.AddText("values", "Res99", "Invented");
    pack.AddText("messages", "E0", "Erreur");
    pack.AddText("messages", "E1", "Connexion impossible !");
    pack.AddText("messages", "M0", "");
    pack.AddText("messages", "E99", "Invented");
    TValueList& values = Forms->Main->Values();
    TMessageTable messages;
    const int count = values.Count();
    const size_t entries = messages.Entries().size();
    ApplyEverywhere(pack, *Forms, messages);
    EXPECT_EQ(values.Value(QStringLiteral("Pieces")), QStringLiteral("PCTFDR"));
    EXPECT_EQ(values.Value(QStringLiteral("Res01")), QStringLiteral("Not ready!"));
    EXPECT_EQ(values.Count(), count);
    EXPECT_EQ(messages.Text("E0"), "Erreur");
    EXPECT_EQ(messages.Text("E1"), "Connexion impossible !");
    EXPECT_EQ(messages.Text("M0"), "Message");
    EXPECT_FALSE(messages.Contains("E99"));
    EXPECT_EQ(messages.Entries().size(), entries);
}

TEST_F(LanguageApplyTest, ShippedFrenchPackTranslatesTheProgram) {
    const TLangPack pack = LoadShipped(QStringLiteral("TolvanFr.lang"));
    EXPECT_EQ(pack.LanguageName, "Français");
    TMessageTable messages;
    ApplyEverywhere(pack, *Forms, messages);
    EXPECT_EQ(Forms->Main->findChild<QMenu*>("Menu_Game")->title(), QStringLiteral("&Partie"));
    EXPECT_EQ(Forms->Main->Values().Value(QStringLiteral("Pieces")), QStringLiteral("PCTFDR"));
    EXPECT_EQ(
        Forms->History->stgHistory->horizontalHeaderItem(5)->text(), QStringLiteral("Résultat"));
    EXPECT_EQ(messages.Text("E0"), "Erreur");
    EXPECT_EQ(FillPlaceholders(messages.Text("M4"), "Alice"), "Alice a abandonné la partie.");
}

TEST_F(LanguageApplyTest, LanguageFilesAreFoundInTheUserFolderFirstThenTheShippedOnes) {
    const QString data = LanguageFolders().value(0);
    ASSERT_EQ(QDir(data).canonicalPath(), QDir(m_Home.path()).canonicalPath());
    const QString shipped = ResolveLanguageFile(QStringLiteral("TolvanEn.lang"));
    ASSERT_FALSE(shipped.isEmpty());
    EXPECT_FALSE(shipped.startsWith(data));

    // A user's own copy under the same name wins and is listed once, by its own name.
    TLangPack own;
    own.LanguageName = "Mine";
    ASSERT_TRUE(own.SaveToFile((data + QStringLiteral("/TolvanEn.lang")).toStdString()));
    QFile broken(data + QStringLiteral("/Broken.lang"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xFF\xFF");
    broken.close();
    EXPECT_EQ(ResolveLanguageFile(QStringLiteral("TolvanEn.lang")),
        data + QStringLiteral("/TolvanEn.lang"));
    EXPECT_EQ(ResolveLanguageFile(shipped), shipped);
    EXPECT_EQ(ResolveLanguageFile(QStringLiteral("Missing.lang")), QString());
    EXPECT_EQ(ResolveLanguageFile(QString()), QString());

    std::map<QString, QString> names;
    int english = 0;
    for (const auto& [name, file] : ListLanguages()) {
        names[file] = name;
        english += file == QStringLiteral("TolvanEn.lang");
    }
    EXPECT_EQ(english, 1);
    EXPECT_EQ(names[QStringLiteral("TolvanEn.lang")], QStringLiteral("Mine"));
    EXPECT_EQ(names[QStringLiteral("Broken.lang")], QStringLiteral("Broken"));
    EXPECT_EQ(names[QStringLiteral("TolvanDe.lang")], QStringLiteral("Deutsch"));
}

TEST_F(LanguageApplyTest, EveryShippedPackCoversEveryWindowValueAndMessage) {
    const QStringList packs = ShippedPacks();
    ASSERT_TRUE(packs.contains(QStringLiteral("TolvanEn.lang")));
    ASSERT_GE(packs.size(), 4);
    const TValueList defaults;
    const TMessageTable messages;
    for (const QString& name : packs) {
        SCOPED_TRACE(name.toStdString());
        const TLangPack pack = LoadShipped(name);
        for (QWidget* form : Forms->Forms) {
            const std::string section = form->objectName().toStdString();
            for (const auto& [key, items] : TranslatableTexts(form)) {
                const TLangText* pair = pack.FindText(section, key);
                ASSERT_NE(pair, nullptr) << section << "/" << key;
                EXPECT_FALSE(pair->Text.empty() && key != section) << section << "/" << key;
                if (items > 1) {
                    EXPECT_EQ(ItemCount(pair->Text), items) << section << "/" << key;
                }
            }
            // And no key names a control the window does not have.
            const auto texts = TranslatableTexts(form);
            for (const TLangText& pair : pack.FindSection(section)->Texts)
                EXPECT_TRUE(texts.count(pair.Key)) << section << "/" << pair.Key;
        }
        for (const QString& entry : defaults.Strings()) {
            const std::string key = entry.section(QLatin1Char('='), 0, 0).toStdString();
            const TLangText* pair = pack.FindText("values", key);
            ASSERT_NE(pair, nullptr) << key;
            EXPECT_FALSE(pair->Text.empty()) << key;
        }
        EXPECT_EQ(QString::fromStdString(pack.FindText("values", "Pieces")->Text).size(), 6);
        for (const auto& [key, english] : messages.Entries()) {
            const TLangText* pair = pack.FindText("messages", key);
            ASSERT_NE(pair, nullptr) << key;
            EXPECT_FALSE(pair->Text.empty()) << key;
            EXPECT_EQ(std::count(pair->Text.begin(), pair->Text.end(), ';'),
                std::count(english.begin(), english.end(), ';'))
                << key;
        }
    }
}

// Windows not yet created by the tests above (a dialog still being built) are checked through
// the English pack: every other pack holds the same sections and keys, with as many list items.
TEST_F(LanguageApplyTest, EveryShippedPackHoldsTheKeysOfTheEnglishOne) {
    const TLangPack english = LoadShipped(QStringLiteral("TolvanEn.lang"));
    ASSERT_NE(english.FindSection("frmOptions"), nullptr);
    for (const QString& name : ShippedPacks()) {
        SCOPED_TRACE(name.toStdString());
        const TLangPack pack = LoadShipped(name);
        ASSERT_EQ(pack.Sections().size(), english.Sections().size());
        for (const TLangSect& section : english.Sections()) {
            const TLangSect* other = pack.FindSection(section.Name);
            ASSERT_NE(other, nullptr) << section.Name;
            EXPECT_EQ(other->Texts.size(), section.Texts.size()) << section.Name;
            for (const TLangText& pair : section.Texts) {
                const TLangText* translated = pack.FindText(section.Name, pair.Key);
                ASSERT_NE(translated, nullptr) << section.Name << "/" << pair.Key;
                if (section.Name.rfind("frm", 0) == 0) {
                    EXPECT_EQ(ItemCount(translated->Text), ItemCount(pair.Text))
                        << section.Name << "/" << pair.Key;
                }
            }
        }
    }
}

} // namespace
