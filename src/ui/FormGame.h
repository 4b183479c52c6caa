#pragma once

// The new-game dialog: a local game between persons and/or the computer, hosting a network game
// or joining one. It writes the players and the game kind into the controller, starts a local
// game, and remembers its entries in section "Game" of the settings file.

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QTabWidget;
class QTableWidget;
class QPushButton;
class QWidget;
class TChessGame;

class TfrmGame : public QDialog {
    Q_OBJECT

public:
    TfrmGame(TChessGame& game, QWidget* parent = nullptr);

    // Shows the dialog modally, for a new game (false) or for continuing a loaded game (true);
    // answers whether it closed with Ok.
    bool Execute(bool loadedGame);

    // Path of the settings file that keeps the remembered entries.
    QString SettingsPath;
    // Set by Ok to the state of chkListGame.
    bool GameListed = false;
    // The main window's status panel (ShowStatus n).
    std::function<void(int)> ShowStatus;

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

protected:
    void done(int result) override;

private:
    void btnOkClick();
    void cmbPlayerChange(QComboBox* combo, QLineEdit* name);
    void pgcGameChange();
    void LoadEntries();
    void SaveEntries();

    TChessGame& m_Game;
    bool m_LoadedGame = false;
};
