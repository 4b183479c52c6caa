#pragma once

// The chat window: the conversation of the two players of a network game and an input line with
// a "Send" button. It floats as a tool window or sits inside the main window when docked. Given
// the controller, it shows the opponent's lines and opens its input while an opponent is there.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class QLineEdit;
class QPushButton;
class QTextEdit;
class TChessGame;

class TfrmChat : public QWidget {
    Q_OBJECT

public:
    // The longest line sent, in bytes of UTF-8: the limit of the message that carries it.
    static constexpr int MaxLineBytes = 255;

    explicit TfrmChat(QWidget* parent = nullptr);

    // Follows the controller from now on: its received lines are added under the opponent's
    // name, lines typed here are sent through it under the local player's name, and the input is
    // enabled when an opponent joins and disabled when the link fails or closes or a local game
    // starts. The controller outlives this window.
    void SetGame(TChessGame& game);

    // The input is enabled while an opponent is connected; disabling it also empties it and
    // keeps the conversation.
    void EnableInput();
    void DisableInput();
    // Appends "name: text" as a new line, the name in bold. Both are shown as plain text, never
    // read as markup, and line breaks in them become spaces, so a received line cannot pose as
    // several lines or as a line of the other player.
    void AddLine(const QString& name, const QString& text);

    // Sends the line; unset in a local game, where nothing is sent or shown.
    std::function<void(const std::string& text)> SendChat;
    // The name of the player at this machine, shown before the lines sent from here.
    std::function<QString()> LocalName;

    QTextEdit* rdtChat = nullptr;
    QWidget* pnlBottom = nullptr;
    QLineEdit* edtMessage = nullptr;
    QPushButton* btnSend = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void btnSendClick();
    // The name of the player at this machine, or of the one across the link.
    QString PlayerName(bool local) const;

    QPointer<TChessGame> m_Game;
};
