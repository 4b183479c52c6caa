#pragma once

// The new-game dialog: a local game between persons, the built-in computer and/or UCI engines,
// hosting a network game or joining one. It writes the players and the game kind into the
// controller, starts a local game, and remembers its entries in section "Game" of the settings
// file.

#include "EngineCatalog.h"
#include "UnitChessPiece.h"
#include "ValueList.h"

#include <QDialog>

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTabWidget;
class QTableWidget;
class QPushButton;
class QSettings;
class QSpinBox;
class QWidget;
class TChessGame;

class TfrmGame : public QDialog {
    Q_OBJECT

public:
    TfrmGame(TChessGame& game, QWidget* parent = nullptr);

    // Shows the dialog modally, for a new game (false) or for continuing a loaded game (true);
    // answers whether it closed with Ok.
    bool Execute(bool loadedGame);

    // Path of the settings file that keeps the remembered entries; when empty nothing is
    // remembered.
    QString SettingsPath;
    // The display texts, whose "Name01" and "Name02" ("White", "Black") name a side whose
    // person is not known; the English names when none are given.
    const TValueList* Values = nullptr;
    // Set by Ok to the state of chkListGame.
    bool GameListed = false;
    // The engines the player combos offer after the person and the built-in levels; read each
    // time the dialog is shown.
    std::function<TEngineCatalog()> EngineList;
    // What plays a side that Ok gave to an engine: the entry and the limit of each move (a time
    // when MoveTimeMs > 0, else a depth).
    struct TEngineSide {
        TEngineEntry Engine;
        int MoveTimeMs = 0;
        int Depth = 0;
    };
    // The engine Ok chose for a side of the local game; none for a person or the built-in
    // computer, and for every side of a network game.
    const std::optional<TEngineSide>& EngineSide(TPieceColour colour) const;
    void SetEngineSides(const std::array<std::optional<TEngineSide>, 2>& sides) {
        m_EngineSides = sides;
    }
    const std::array<std::optional<TEngineSide>, 2>& EngineSides() const { return m_EngineSides; }

    // The main window's status panel (ShowStatus n).
    std::function<void(TStatusText)> ShowStatus;

    // Network play. Connect opens the game through the controller: an empty address hosts, any
    // other joins that host; it answers whether the connection could be opened.
    std::function<bool(const QString& address)> Connect;
    // The games listed on the game-list server, one "name|address" line each; none on failure.
    std::function<std::optional<QStringList>()> FetchHostedGames;
    // This computer's address as the game-list server sees it; empty when unknown.
    std::function<QString()> FetchPublicAddress;
    // Lists the hosted game on the game-list server under the host's name, or removes it.
    std::function<void(const QString& name)> PublishGame;
    std::function<void()> RemoveGame;
    // Called by Ok, once the entries are checked and before anything changes, while a game is
    // playing or paused: answers whether that game was left. When it was not, the dialog closes
    // as Cancel does and the game goes on.
    std::function<bool()> LeaveGame;

    QTabWidget* pgcGame = nullptr;
    QWidget* tbsLocal = nullptr;
    QWidget* tbsClient = nullptr;
    QWidget* tbsHost = nullptr;
    QComboBox* cmbWhitePlayer = nullptr;
    QComboBox* cmbBlackPlayer = nullptr;
    QLineEdit* edtWhitePlayerName = nullptr;
    QLineEdit* edtBlackPlayerName = nullptr;
    QLineEdit* edtClientName = nullptr;
    QTableWidget* stgHosts = nullptr;
    QCheckBox* chkHostIp = nullptr;
    QLineEdit* edtHostIp = nullptr;
    QLineEdit* edtHostName = nullptr;
    QComboBox* cmbHostColor = nullptr;
    QCheckBox* chkListGame = nullptr;
    QListWidget* lstIpAddresses = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QMenu* popHosts = nullptr;
    QAction* popHosts_Refresh = nullptr;
    QMenu* popAddresses = nullptr;
    QAction* popAddresses_Copy = nullptr;
    QLabel* lblWhitePlayer = nullptr;
    QLabel* lblWhitePlayerName = nullptr;
    QLabel* lblBlackPlayer = nullptr;
    QLabel* lblBlackPlayerName = nullptr;
    // The measured strength of the built-in levels, under the players.
    QLabel* lblStrength = nullptr;
    // The limit of each move of an engine side: "Seconds per move" or "Depth", and the number.
    QLabel* lblWhiteLimit = nullptr;
    QComboBox* cmbWhiteLimit = nullptr;
    QSpinBox* spnWhiteLimit = nullptr;
    QLabel* lblBlackLimit = nullptr;
    QComboBox* cmbBlackLimit = nullptr;
    QSpinBox* spnBlackLimit = nullptr;
    QLabel* lblClientName = nullptr;
    QLabel* lblHosts = nullptr;
    QLabel* lblHostName = nullptr;
    QLabel* lblHostColor = nullptr;
    QLabel* lblIpAddresses = nullptr;
    // The line under the hosted games that says the list could not be fetched, with its button
    // to try again; shown only after a failed fetch.
    QWidget* pnlHostsFailed = nullptr;
    QLabel* lblHostsFailed = nullptr;
    QPushButton* btnRefreshHosts = nullptr;

    // The first non-loopback IPv4 address of this computer's network interfaces; empty when it
    // has none.
    static QString LocalAddress();

protected:
    void done(int result) override;

private:
    // Leaves a game that is playing or paused through LeaveGame; false when it goes on.
    bool LeaveRunningGame();
    void btnOkClick();
    void cmbPlayerChange(QComboBox* combo, QLineEdit* name);
    void pgcGameChange();
    void LoadEntries();
    void SaveEntries();
    // The name offered for a person playing that side: the last one a person used there, else
    // the side's name.
    QString PersonName(int colour) const;
    // Keeps the names just used by persons, per side and the last of all, and writes them to the
    // settings file (in either mode of the dialog).
    void RememberNames(const QString& white, const QString& black, const QString& last);
    void SaveNames(QSettings& ini) const;

    void OkLocal();
    void OkHost();
    void OkClient();
    // Fills the controls from the players and the host colour of the loaded game.
    void FillFromGame();
    void UpdateNameBoxes();
    // Offers the engines of the list after the built-in players.
    void ListEngines();
    // The engine a player combo has chosen; none for the person and the built-in levels.
    const TEngineEntry* ChosenEngine(const QComboBox* combo) const;
    void SelectEngine(QComboBox* combo, const QString& name);
    void cmbLimitChange(QComboBox* kind, QSpinBox* number);
    // Fetches the hosted games. A failure is shown in the page; a fetch the user asked for also
    // reports it in a box.
    void RefreshHosts(bool asked);
    void RefillAddresses();
    void popAddresses_CopyClick();
    // Removes the game hosted before from the game list, when the controller was hosting.
    void RemovePreviousGame();

    TChessGame& m_Game;
    TEngineCatalog m_Engines;
    std::array<std::optional<TEngineSide>, 2> m_EngineSides;
    bool m_LoadedGame = false;
    // The last names persons used: per side (white, black), and on any page.
    std::array<QString, 2> m_PersonNames;
    QString m_LastName;
    // Set while Execute prepares the controls, so that the page-change action runs only once.
    bool m_Preparing = false;
};
