#pragma once

// The options dialog: every setting of the main window but the game server, on five pages
// (game, board colours and themes, piece set, sounds, docking of the tool windows). It reads the
// settings each time it is shown and writes them back only on Apply or Ok, then tells the main
// window, which applies them. It also owns the list of saved themes, read when it is created and
// written when it goes.

#include "Settings.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
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

    // Writes the controls to the settings and has them applied. A colour text of the theme grid
    // that is not a colour stops it before anything changes (its message is shown by the grid);
    // answers whether the settings were applied.
    bool btnApplyClick();

    // The language file of each item of cmbLanguages, without folder.
    QStringList LanguageFiles;
    // The working copy of the six sound file names, kept per slot while the dialog is open.
    std::array<QString, SoundSlots> SoundFiles;
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

    TSettings& m_Settings;
    TChessGame& m_Game;
    TDocking& m_Docking;
    QImage m_Preview;
};
