// The options dialog through its real widgets: showing fills the controls from the settings,
// Apply writes them back, saves the settings file and applies them to the main window, Cancel
// forgets what was changed. The dialog runs modally; the test's actions run inside its loop.

#include "AppPaths.h"
#include "ColorPicker.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "MoveNotation.h"
#include "RecordingPresenter.h"
#include "Sounds.h"
#include "ThemeEditor.h"
#include "UnitMessages.h"
#include "UnitThemes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class RecordingPlayer : public TSoundPlayer {
public:
    void Play(const QString& file) override { Played << file; }
    QStringList Played;
};

TPoint At(const char* square) {
    return MakePoint(square[0] - 'a' + 1, square[1] - '0');
}

// Whether a pixel of the area (in logical pixels; the image may be drawn at a higher ratio) has
// the colour.
bool HasColour(const QImage& image, const QRect& logical, QRgb colour) {
    const qreal ratio = image.devicePixelRatio();
    const QRect area = QRect(QPoint(int(logical.left() * ratio), int(logical.top() * ratio)),
        QSize(int(logical.width() * ratio), int(logical.height() * ratio)))
                           .intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

class OptionsDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        m_Previous = SetMessagePresenter(std::make_unique<TRecordingPresenter>(Shown));
        Main = std::make_unique<TfrmMain>();
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Chat = Main->findChild<TfrmChat*>("frmChat");
        auto player = std::make_unique<RecordingPlayer>();
        Player = player.get();
        Main->SetSoundPlayer(std::move(player));
        Dialog = Main->findChild<TfrmOptions*>("frmOptions");
        // The main window applies the language file of the settings once they are written.
        QObject::connect(Dialog, &TfrmOptions::settingsApplied, Dialog,
            [this] { Languages << Main->Settings().LanguageFile; });
        Dialog->ChooseSoundFile = [this](const QString&) { return Chosen; };
    }

    void TearDown() override {
        Main.reset();
        SetMessagePresenter(std::move(m_Previous));
    }

    // Runs the dialog with the actions inside its modal loop; a dialog still open after them is
    // cancelled, so that a test never hangs. Answers ShowOptions' result.
    bool Run(const std::function<void()>& actions) {
        QTimer::singleShot(0, Dialog, [this, actions] {
            actions();
            if (Dialog->isVisible())
                Dialog->reject();
        });
        return Dialog->ShowOptions();
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void SelectSound(int slot) { Dialog->clsSounds->setCurrentRow(slot); }

    QTemporaryDir m_Home;
    std::unique_ptr<TMessagePresenter> m_Previous;
    std::vector<std::string> Shown;
    std::unique_ptr<TfrmMain> Main;
    TfrmMoves* Moves = nullptr;
    TfrmChat* Chat = nullptr;
    RecordingPlayer* Player = nullptr;
    TfrmOptions* Dialog = nullptr;
    QStringList Languages;
    QString Chosen;
};

TEST_F(OptionsDialogTest, FormPagesAndControls) {
    EXPECT_EQ(Dialog->objectName(), "frmOptions");
    EXPECT_EQ(Dialog->windowTitle(), "Options");
    ASSERT_EQ(Dialog->pgcOptions->count(), 6);
    const QStringList tabs { "Game", "Board", "Pieces", "Sounds", "Windows", "Engines" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Dialog->pgcOptions->tabText(i), tabs[i]);
    EXPECT_EQ(Dialog->pgcOptions->currentWidget(), Dialog->tbsGame);
    EXPECT_TRUE(Dialog->btnOk->isDefault());
    for (const char* name :
        { "chkAutoUpdate", "cmbLanguages", "cmbSearchDepth", "lblSearchDepthInfo", "cmbThemes",
            "vlsColors", "btnSaveTheme", "btnDelTheme", "cmbBoardStyle", "lstChessSet",
            "clpWhitePieces", "chkSmoothPieces", "imgPieces", "clsSounds", "edtSoundFile",
            "btnBrowse", "btnPreview", "chkDockChat", "lbChatPosition", "cmbChatAlign",
            "cmbMovesAlign", "stgEngines", "btnAddEngine", "btnRemoveEngine", "edtEngineName",
            "edtEngineArguments", "pnlEngineOptions", "btnApply" })
        EXPECT_NE(Dialog->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(Dialog->cmbSearchDepth->count(), 7);
    EXPECT_EQ(Dialog->cmbSearchDepth->itemText(0), "2");
    EXPECT_EQ(Dialog->lstChessSet->count(), PieceSetCount);
    EXPECT_EQ(Dialog->lstChessSet->item(0)->text(), PieceSetNames().value(0));
    ASSERT_EQ(Dialog->clsSounds->count(), SoundSlots);
    EXPECT_EQ(Dialog->clsSounds->item(5)->text(), "Message is received");
    EXPECT_EQ(Dialog->imgPieces->size(), QSize(300, 100));
}

TEST_F(OptionsDialogTest, ShowingFillsTheControlsFromTheSettings) {
    TSettings& s = Main->Settings();
    s.AutoUpdate = false;
    s.LearnMode = true;
    s.ShowLastMove = false;
    s.Notation = 1;
    s.Enhanced = true;
    s.ChessSet = 7;
    s.PieceStyle = 0;
    s.WhiteColor = 0x0000FF;
    s.BlackColor = 0x00FF00;
    s.SoundOn = { true, false, true, false, true, false };
    s.SoundFile[0] = QStringLiteral("first.wav");
    s.LanguageFile = QStringLiteral("NoSuchLanguage.lang");
    Main->Game().SetSearchDepth(5);
    Main->Docking().ChatAlign = 1;
    Main->Docking().MovesAlign = 3;
    Run([&] {
        EXPECT_FALSE(Dialog->chkAutoUpdate->isChecked());
        EXPECT_TRUE(Dialog->chkLearnMode->isChecked());
        EXPECT_FALSE(Dialog->chkLastMove->isChecked());
        EXPECT_EQ(Dialog->cmbLanguages->currentIndex(), -1) << "the file is not listed";
        EXPECT_EQ(Dialog->cmbNotation->currentIndex(), 1);
        EXPECT_EQ(Dialog->cmbSearchDepth->currentIndex(), 3);
        EXPECT_EQ(Dialog->cmbSearchDepth->currentText(), "5");
        EXPECT_EQ(Dialog->cmbBoardStyle->currentIndex(), 1);
        EXPECT_EQ(Dialog->lstChessSet->currentRow(), 6);
        EXPECT_EQ(Dialog->cmbPieceStyle->currentIndex(), 0);
        EXPECT_FALSE(Dialog->clpWhitePieces->isEnabled());
        EXPECT_FALSE(Dialog->lblBlackPieces->isEnabled());
        EXPECT_EQ(Dialog->clpWhitePieces->Color(), 0x0000FFu);
        EXPECT_EQ(Dialog->clpBlackPieces->Color(), 0x00FF00u);
        for (int i = 0; i < SoundSlots; ++i)
            EXPECT_EQ(Dialog->clsSounds->item(i)->checkState() == Qt::Checked, s.SoundOn[i]) << i;
        EXPECT_EQ(Dialog->clsSounds->currentRow(), 0);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "first.wav");
        EXPECT_FALSE(Dialog->chkDockChat->isChecked());
        EXPECT_EQ(Dialog->cmbChatAlign->currentIndex(), 1) << "top";
        EXPECT_EQ(Dialog->cmbMovesAlign->currentIndex(), 0) << "left";
    });
}

TEST_F(OptionsDialogTest, ApplyWritesTheSettingsAndSavesTheFile) {
    const QString unlisted = QStringLiteral("NoSuchLanguage.lang");
    Main->Settings().LanguageFile = unlisted;
    Run([&] {
        Dialog->chkAutoUpdate->setChecked(false);
        Dialog->chkLearnMode->setChecked(false);
        Dialog->cmbNotation->setCurrentIndex(0);
        Dialog->cmbSearchDepth->setCurrentIndex(6);
        Dialog->cmbBoardStyle->setCurrentIndex(1);
        Dialog->lstChessSet->setCurrentRow(11);
        Dialog->cmbPieceStyle->setCurrentIndex(1);
        Dialog->clpWhitePieces->SetColor(0x123456);
        Dialog->clpBlackPieces->SetColor(0x654321);
        Dialog->clsSounds->item(3)->setCheckState(Qt::Unchecked);
        Click(Dialog->btnApply);
        EXPECT_TRUE(Dialog->isVisible()) << "Apply leaves the dialog open";
    });
    const TSettings& s = Main->Settings();
    EXPECT_FALSE(s.AutoUpdate);
    EXPECT_FALSE(s.LearnMode);
    EXPECT_TRUE(s.ShowLastMove);
    EXPECT_EQ(s.LanguageFile, unlisted) << "no language selected keeps the file";
    EXPECT_EQ(s.Notation, 0);
    EXPECT_EQ(Main->Game().SearchDepth(), 8);
    EXPECT_TRUE(s.Enhanced);
    EXPECT_EQ(s.ChessSet, 12);
    EXPECT_EQ(Main->View().Pieces.ChessSet(), 12);
    EXPECT_EQ(s.PieceStyle, 1);
    EXPECT_EQ(s.WhiteColor, 0x123456u);
    EXPECT_EQ(s.BlackColor, 0x654321u);
    EXPECT_FALSE(s.SoundOn[3]);
    EXPECT_TRUE(s.SoundOn[2]);
    EXPECT_EQ(Languages, QStringList { unlisted }) << "the language is applied again";
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()), s) << "the file holds every setting";
}

TEST_F(OptionsDialogTest, TheLanguageIsFoundByFileNameIgnoringCase) {
    // A file without a readable header is listed under its name.
    QFile file(QDir(AppPaths::DataDir()).filePath(QStringLiteral("Zzlingo.lang")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Main->Settings().LanguageFile = QStringLiteral("ZZLINGO.lang");
    Run([&] {
        const int index = Dialog->LanguageFiles.indexOf(QStringLiteral("Zzlingo.lang"));
        ASSERT_GE(index, 0);
        EXPECT_EQ(Dialog->cmbLanguages->count(), Dialog->LanguageFiles.size());
        EXPECT_EQ(Dialog->cmbLanguages->currentIndex(), index);
        EXPECT_EQ(Dialog->cmbLanguages->currentText(), "Zzlingo");
        Click(Dialog->btnApply);
    });
    EXPECT_EQ(Main->Settings().LanguageFile, "Zzlingo.lang");
    EXPECT_EQ(Languages, QStringList { "Zzlingo.lang" });
}

TEST_F(OptionsDialogTest, OkAppliesAndCancelForgets) {
    EXPECT_FALSE(Run([&] {
        Dialog->chkLastMove->setChecked(false);
        Dialog->reject();
    }));
    EXPECT_TRUE(Main->Settings().ShowLastMove);
    EXPECT_FALSE(QFile::exists(AppPaths::SettingsFile())) << "nothing saved";
    EXPECT_TRUE(Run([&] {
        EXPECT_TRUE(Dialog->chkLastMove->isChecked()) << "showing again reloads the settings";
        Dialog->chkLastMove->setChecked(false);
        Click(Dialog->btnOk);
    }));
    EXPECT_FALSE(Main->Settings().ShowLastMove);
    EXPECT_FALSE(LoadSettings(AppPaths::SettingsFile()).ShowLastMove);
}

TEST_F(OptionsDialogTest, ARefusedColourTextStoresNothing) {
    const TSettings before = Main->Settings();
    const int depth = Main->Game().SearchDepth();
    Run([&] {
        Dialog->chkAutoUpdate->setChecked(false);
        Dialog->cmbSearchDepth->setCurrentIndex(6);
        Dialog->Themes->vlsColors->item(4, 1)->setText(QStringLiteral("300,0,0"));
        Click(Dialog->btnApply);
        Click(Dialog->btnOk);
        EXPECT_TRUE(Dialog->isVisible()) << "Ok stays open";
        EXPECT_TRUE(Languages.isEmpty());
    });
    EXPECT_EQ(Main->Settings(), before);
    EXPECT_EQ(Main->Game().SearchDepth(), depth);
    EXPECT_FALSE(QFile::exists(AppPaths::SettingsFile()));
}

TEST_F(OptionsDialogTest, ApplyTakesTheThemeNameAndColoursOfTheBoardPage) {
    Run([&] {
        Dialog->Themes->vlsColors->item(4, 1)->setText(QStringLiteral("1,2,3"));
        Dialog->Themes->cmbThemes->setEditText(QStringLiteral("Mine"));
        Click(Dialog->btnApply);
    });
    EXPECT_EQ(Main->Settings().Theme.Name, "Mine");
    EXPECT_EQ(Main->Settings().Theme.Whites, 0x030201u);
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()).Theme, Main->Settings().Theme);
}

TEST_F(OptionsDialogTest, ApplyRewritesTheMovesWindowInTheNewNotation) {
    Main->Game().Moves.Add(pkPawn, At("e2"), At("e4"), 0, 0);
    Main->Game().Moves.Add(pkKnight, At("g8"), At("f6"), 0, 0);
    Main->Settings().Notation = 2;
    Run([&] {
        Dialog->cmbNotation->setCurrentIndex(0);
        Click(Dialog->btnApply);
    });
    ASSERT_EQ(Moves->RowCount(), 1);
    EXPECT_EQ(Moves->Cell(1, 1), "Pe4");
    EXPECT_EQ(Moves->Cell(1, 2), "Nf6");
}

TEST_F(OptionsDialogTest, StandardNotationAndBothSquaresOfTheLastMoveAreApplied) {
    TChessGame& game = Main->Game();
    game.WhitePlayer = TPlayer { 2, true, "Ann", false, 0, 0 };
    game.BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
    game.StartGame();
    game.PlayMove(At("g1"), At("f3"));
    game.PlayMove(At("b8"), At("c6"));
    game.PlayMove(At("b1"), At("c3"));
    game.PlayMove(At("c6"), At("e5"));
    game.PlayMove(At("c3"), At("e4"));
    Main->Settings().ShowLastMove = false;
    Run([&] {
        EXPECT_EQ(Dialog->cmbNotation->count(), 4);
        EXPECT_FALSE(Dialog->chkLastMoveFrom->isChecked());
        EXPECT_FALSE(Dialog->chkLastMoveFrom->isEnabled()) << "it goes with the last move";
        Dialog->chkLastMove->setChecked(true);
        EXPECT_TRUE(Dialog->chkLastMoveFrom->isEnabled());
        Dialog->chkLastMoveFrom->setChecked(true);
        Dialog->cmbNotation->setCurrentIndex(nsStandard);
        Click(Dialog->btnApply);
    });
    game.PlayMove(At("e5"), At("g4"));
    game.PlayMove(At("e4"), At("g5"));
    game.PlayMove(At("g4"), At("e5"));
    EXPECT_EQ(Main->Settings().Notation, nsStandard);
    EXPECT_TRUE(Main->Settings().ShowLastMoveFrom);
    EXPECT_EQ(Moves->Cell(3, 1), "Ne4");
    // Both white knights reach g5: the one that moves is named by its file.
    EXPECT_EQ(Moves->Cell(4, 1), "Neg5");
    EXPECT_EQ(Moves->Cell(4, 2), "Ne5");
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()), Main->Settings());
    game.StopGame();
}

TEST_F(OptionsDialogTest, ColoredStyleEnablesThePickersAndTintsThePreview) {
    const QRect top(0, 0, 300, 50);
    const QRect bottom(0, 50, 300, 50);
    Main->Settings().WhiteColor = 0x0000FF;
    Main->Settings().BlackColor = 0x00FF00;
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    Run([&] {
        Dialog->cmbPieceStyle->setCurrentIndex(1);
        for (QWidget* w : std::initializer_list<QWidget*> { Dialog->lblWhitePieces,
                 Dialog->clpWhitePieces, Dialog->lblBlackPieces, Dialog->clpBlackPieces })
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        const QImage coloured = Dialog->PreviewImage();
        EXPECT_TRUE(HasColour(coloured, top, red));
        EXPECT_FALSE(HasColour(coloured, bottom, red));
        EXPECT_TRUE(HasColour(coloured, bottom, green));
        EXPECT_FALSE(HasColour(coloured, top, green));

        Dialog->clpBlackPieces->SetColor(0xFF0000);
        EXPECT_TRUE(HasColour(Dialog->PreviewImage(), bottom, qRgb(0, 0, 255)))
            << "a picker's colour redraws the preview";

        Dialog->cmbPieceStyle->setCurrentIndex(0);
        EXPECT_FALSE(Dialog->clpWhitePieces->isEnabled());
        EXPECT_FALSE(Dialog->lblBlackPieces->isEnabled());
        const QImage classic = Dialog->PreviewImage();
        EXPECT_FALSE(HasColour(classic, top, red));
        EXPECT_TRUE(HasColour(classic, top, qRgb(255, 255, 255)));
        EXPECT_TRUE(HasColour(classic, bottom, qRgb(0, 0, 0)));

        const QImage before = Dialog->PreviewImage();
        Dialog->lstChessSet->setCurrentRow((Dialog->lstChessSet->currentRow() + 1) % 20);
        EXPECT_NE(Dialog->PreviewImage(), before) << "another set redraws the preview";
    });
}

TEST_F(OptionsDialogTest, SmoothPiecesRedrawThePreviewAndReachTheBoardOnOk) {
    EXPECT_FALSE(Main->View().Pieces.Smooth());
    EXPECT_TRUE(Run([&] {
        EXPECT_FALSE(Dialog->chkSmoothPieces->isChecked()) << "off by default";
        const QImage oneBit = Dialog->PreviewImage();
        Dialog->chkSmoothPieces->setChecked(true);
        EXPECT_NE(Dialog->PreviewImage(), oneBit);
        Dialog->chkSmoothPieces->setChecked(false);
        EXPECT_EQ(Dialog->PreviewImage(), oneBit);
        Dialog->chkSmoothPieces->setChecked(true);
        Click(Dialog->btnOk);
    }));
    EXPECT_TRUE(Main->Settings().SmoothPieces);
    EXPECT_TRUE(LoadSettings(AppPaths::SettingsFile()).SmoothPieces);
    EXPECT_TRUE(Main->View().Pieces.Smooth());
    EXPECT_TRUE(Run([&] {
        EXPECT_TRUE(Dialog->chkSmoothPieces->isChecked());
        Dialog->chkSmoothPieces->setChecked(false);
        Click(Dialog->btnOk);
    }));
    EXPECT_FALSE(Main->View().Pieces.Smooth());
}

TEST_F(OptionsDialogTest, SoundFilesAreKeptPerSlotUntilCancel) {
    Run([&] {
        SelectSound(2);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "chord.wav");
        Dialog->edtSoundFile->setText(QStringLiteral("mine.wav"));
        SelectSound(4);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "ding.wav");
        SelectSound(2);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "mine.wav");

        Chosen = QStringLiteral("/tmp/chosen.wav");
        SelectSound(5);
        Click(Dialog->btnBrowse);
        EXPECT_EQ(Dialog->edtSoundFile->text(), Chosen);
        Chosen.clear();
        Click(Dialog->btnBrowse);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "/tmp/chosen.wav") << "a cancelled Browse";
        Click(Dialog->btnPreview);
        EXPECT_EQ(Player->Played, QStringList { "/tmp/chosen.wav" });
    });
    EXPECT_EQ(Main->Settings().SoundFile[2], "chord.wav") << "Cancel discards the change";
    Run([&] {
        SelectSound(2);
        EXPECT_EQ(Dialog->edtSoundFile->text(), "chord.wav");
        SelectSound(5);
        Dialog->edtSoundFile->setText(QStringLiteral("other.wav"));
        Click(Dialog->btnOk);
    });
    EXPECT_EQ(Main->Settings().SoundFile[5], "other.wav");
    EXPECT_EQ(Main->Settings().SoundFile[2], "chord.wav");
}

TEST_F(OptionsDialogTest, ATranslationOfTheSoundListKeepsTheTicks) {
    Main->Settings().SoundOn = { false, true, false, true, true, false };
    // A translation that renames the sounds and, as a list's translation may, loses the ticks.
    QObject::connect(Dialog, &TfrmOptions::settingsApplied, Dialog, [this] {
        for (int i = 0; i < Dialog->clsSounds->count(); ++i) {
            Dialog->clsSounds->item(i)->setText(QStringLiteral("Klang %1").arg(i));
            Dialog->clsSounds->item(i)->setCheckState(Qt::Unchecked);
        }
    });
    Run([&] {
        Dialog->clsSounds->item(0)->setCheckState(Qt::Checked);
        Click(Dialog->btnApply);
        EXPECT_EQ(Dialog->clsSounds->item(0)->text(), "Klang 0");
        const std::array<bool, SoundSlots> expected { true, true, false, true, true, false };
        for (int i = 0; i < SoundSlots; ++i)
            EXPECT_EQ(Dialog->clsSounds->item(i)->checkState() == Qt::Checked, expected[i]) << i;
    });
}

TEST_F(OptionsDialogTest, ApplyDocksAndUndocksTheToolWindows) {
    Main->show();
    Main->Docking().ShowChat();
    Main->Docking().ShowMoves();
    Main->Docking().DockChat();
    ASSERT_TRUE(Main->Docking().ChatDocked());
    Run([&] {
        EXPECT_TRUE(Dialog->chkDockChat->isChecked());
        Dialog->chkDockChat->setChecked(false);
        Dialog->cmbChatAlign->setCurrentIndex(1);
        Dialog->chkDockMoves->setChecked(true);
        Dialog->cmbMovesAlign->setCurrentIndex(1);
        Click(Dialog->btnOk);
    });
    EXPECT_FALSE(Main->Docking().ChatDocked());
    EXPECT_TRUE(Chat->isWindow()) << "the chat floats";
    EXPECT_EQ(Main->Docking().ChatAlign, 1);
    EXPECT_TRUE(Main->Docking().MovesDocked());
    EXPECT_FALSE(Moves->isWindow());
    EXPECT_EQ(Main->Docking().MovesAlign, 4);
    Run([&] {
        Dialog->cmbMovesAlign->setCurrentIndex(0);
        Click(Dialog->btnApply);
    });
    EXPECT_EQ(Main->Docking().MovesAlign, 3);
    EXPECT_EQ(Main->Board().x(), Moves->width()) << "the moves window moved to the left";
}

TEST_F(OptionsDialogTest, TheThemesAreReadAtCreationAndWrittenAtDestruction) {
    const QString file = ThemesFile();
    {
        QSettings ini(file, QSettings::IniFormat);
        ini.clear();
        ini.setValue(QStringLiteral("Theme0/Name"), QStringLiteral("Dusk"));
        ini.setValue(QStringLiteral("Theme0/Board"), 1234);
    }
    auto dialog = std::make_unique<TfrmOptions>(
        Main->Settings(), Main->Game(), Main->Values(), Main->Docking());
    ASSERT_EQ(dialog->Themes->cmbThemes->count(), 1);
    EXPECT_EQ(dialog->Themes->cmbThemes->itemText(0), "Dusk");
    QFile::remove(file);
    dialog.reset();
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Theme0/Name")).toString(), "Dusk");
    EXPECT_EQ(ini.value(QStringLiteral("Theme0/Board")).toInt(), 1234);
}

} // namespace
