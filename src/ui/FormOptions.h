#pragma once

// The options dialog: every setting of the main window but the game server, on six pages
// (game, board colours and themes, piece set, sounds, docking of the tool windows, engines). It
// reads the settings each time it is shown and writes them back only on Apply or Ok, then tells the
// main window, which applies them. It also owns the list of saved themes, read when it is created
// and written when it goes.

#include "EngineProbe.h"
#include "Settings.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTableWidget;
class QWidget;
class TColorPicker;
class TThemeEditor;
class TChessGame;
class TDocking;
class TValueList;

class TfrmOptions : public QDialog {
    Q_OBJECT

public:
    // Edits the settings, the controller's search depth, the docking of the tool windows and,
    // with the display texts, the saved themes, which it reads here; all four outlive the dialog.
    TfrmOptions(TSettings& settings, TChessGame& game, TValueList& values, TDocking& docking,
        QWidget* parent = nullptr);
    // Writes the saved themes.
    ~TfrmOptions() override;

    // Shows the dialog modally, filled from the settings; true when it was closed with Ok.
    bool ShowOptions();

    // Plays a sound file for the preview; set by the main window.
    std::function<void(const QString& file)> PlaySoundFile;
    // Asks for a sound file, starting from the current name; empty when cancelled. Tests
    // replace it.
    std::function<QString(const QString& current)> ChooseSoundFile;
    // Asks for an engine program; empty when cancelled. Set by the main window from its seams.
    std::function<QString()> ChooseEngineFile;

    // Writes the controls to the settings and has them applied. A colour text of the theme grid
    // that is not a colour stops it before anything changes (its message is shown by the grid);
    // answers whether the settings were applied.
    bool btnApplyClick();

    // The language file of each item of cmbLanguages, without folder.
    QStringList LanguageFiles;
    // The working copy of the six sound file names, kept per slot while the dialog is open.
    std::array<QString, SoundSlots> SoundFiles;
    // The engine list being edited, written to the settings by Apply.
    const TEngineCatalog& EditedEngines() const { return m_Engines; }
    // Asks programs for their name and options; its time limit may be shortened by tests.
    TEngineProbe* EngineProbe = nullptr;
    // What imgPieces shows.
    const QImage& PreviewImage() const { return m_Preview; }

    QTabWidget* pgcOptions = nullptr;
    QWidget* tbsGame = nullptr;
    QWidget* tbsBoard = nullptr;
    QWidget* tbsPieces = nullptr;
    QWidget* tbsSounds = nullptr;
    QWidget* tbsWindows = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;

    QCheckBox* chkAutoUpdate = nullptr;
    QCheckBox* chkLearnMode = nullptr;
    QCheckBox* chkLastMove = nullptr;
    QCheckBox* chkLastMoveFrom = nullptr;
    QCheckBox* chkDeclareDraws = nullptr;
    QLabel* lblLanguage = nullptr;
    QComboBox* cmbLanguages = nullptr;
    QLabel* lblNotation = nullptr;
    QComboBox* cmbNotation = nullptr;
    QLabel* lblSearchDepth = nullptr;
    QComboBox* cmbSearchDepth = nullptr;
    QFrame* pnlSearchDepthInfo = nullptr;
    QLabel* lblSearchDepthInfo = nullptr;

    // cmbThemes, btnSaveTheme, btnDelTheme and vlsColors live in the theme editor.
    QLabel* lblTheme = nullptr;
    TThemeEditor* Themes = nullptr;
    QLabel* lblBoardStyle = nullptr;
    QComboBox* cmbBoardStyle = nullptr;

    QLabel* lblChessSet = nullptr;
    QListWidget* lstChessSet = nullptr;
    QLabel* lblPieceStyle = nullptr;
    QComboBox* cmbPieceStyle = nullptr;
    QCheckBox* chkSmoothPieces = nullptr;
    QLabel* lblWhitePieces = nullptr;
    TColorPicker* clpWhitePieces = nullptr;
    QLabel* lblBlackPieces = nullptr;
    TColorPicker* clpBlackPieces = nullptr;
    QLabel* imgPieces = nullptr;
    // The colour dialog both pickers run; it keeps the last colour chosen with either.
    QColorDialog* ColorDialog = nullptr;

    QListWidget* clsSounds = nullptr;
    QLabel* lblSoundFile = nullptr;
    QLineEdit* edtSoundFile = nullptr;
    QPushButton* btnBrowse = nullptr;
    QPushButton* btnPreview = nullptr;

    QCheckBox* chkDockChat = nullptr;
    QLabel* lbChatPosition = nullptr;
    QComboBox* cmbChatAlign = nullptr;
    QCheckBox* chkDockMoves = nullptr;
    QLabel* lblMovesPosition = nullptr;
    QComboBox* cmbMovesAlign = nullptr;

    QWidget* tbsEngines = nullptr;
    QTableWidget* stgEngines = nullptr;
    QPushButton* btnAddEngine = nullptr;
    QPushButton* btnRemoveEngine = nullptr;
    QLabel* lblEngineName = nullptr;
    QLineEdit* edtEngineName = nullptr;
    QLabel* lblEngineArguments = nullptr;
    QLineEdit* edtEngineArguments = nullptr;
    QLabel* lblEngineOptions = nullptr;
    // The selected engine's options, one editor each (its property "uciOption" holds the
    // option's name), made from what the engine announces.
    QScrollArea* sbxEngineOptions = nullptr;
    QWidget* pnlEngineOptions = nullptr;
    // Shown while the selected engine is asked for its options, and when it did not answer.
    QLabel* lblEngineReading = nullptr;
    QLabel* lblEngineUnreadable = nullptr;

signals:
    // The settings were written from the controls: the language, the notation and the piece set
    // are to be applied now, and the settings saved. The docking follows.
    void settingsApplied();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateGamePage();
    void CreateBoardPage(TValueList& values);
    void CreatePiecesPage();
    void CreateSoundsPage();
    void CreateWindowsPage();
    void CreateEnginesPage();

    void FormShow();
    void ListLanguages();
    void btnOkClick();
    void cmbPieceStyleSelect();
    void clsSoundsClick();
    void edtSoundFileChange();
    void btnBrowseClick();
    void btnPreviewClick();
    void DrawPreview();
    void TickSounds();
    void FillEngines(int selected);
    void stgEnginesSelect();
    void btnAddEngineClick();
    void btnRemoveEngineClick();
    void edtEngineNameChange();
    void edtEngineArgumentsChange();
    void EngineProbed(const TEngineInfo& info);
    void EngineProbeFailed(const QString& cause);
    // Makes the editors of the selected engine's options, or asks the engine for them.
    void ShowEngineOptions();
    void SetEngineOption(const TUciOption& option, const QString& value);
    TEngineEntry* SelectedEngine();
    // An entry that runs the same program with the same arguments as one before it; none when
    // every entry differs.
    const TEngineEntry* DuplicateEngine() const;

    TSettings& m_Settings;
    TChessGame& m_Game;
    TDocking& m_Docking;
    QImage m_Preview;
    TEngineCatalog m_Engines;
    // What each engine program announced, by command, while the dialog lives.
    std::map<QString, TEngineInfo> m_Announced;
    // The program the probe under way is adding; empty when it reads the selected engine.
    QString m_Adding;
    QString m_Describing;
};
