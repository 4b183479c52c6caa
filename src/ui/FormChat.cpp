#include "FormChat.h"

#include "ShortString.h"
#include "UnitChessGame.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The newest lines the conversation keeps: an opponent who floods the chat cannot make the
// window hold more than this.
constexpr int ChatLinesKept = 2000;
constexpr int FormMinimumWidth = 336;
constexpr int FormMinimumHeight = 115;
constexpr int FormWidth = 510;
constexpr int FormHeight = 200;
constexpr int Border = 4;
constexpr int ButtonWidth = 74;
// The input line ends this far from the panel's right edge, leaving room for the button.
constexpr int ButtonGap = 80 - ButtonWidth;

// The text with every line break and other control character replaced by a space.
QString OneLine(const QString& text) {
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    return line;
}

} // namespace

TfrmChat::TfrmChat(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frmChat"));
    setWindowTitle(QStringLiteral("Chat"));
    setMinimumSize(FormMinimumWidth, FormMinimumHeight);
    resize(FormWidth, FormHeight);

    rdtChat = new QTextEdit(this);
    rdtChat->setObjectName(QStringLiteral("rdtChat"));
    rdtChat->setReadOnly(true);
    rdtChat->setAcceptRichText(false);
    rdtChat->document()->setMaximumBlockCount(ChatLinesKept);
    rdtChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    edtMessage = new QLineEdit(pnlBottom);
    edtMessage->setObjectName(QStringLiteral("edtMessage"));
    edtMessage->setMaxLength(MaxLineBytes);
    btnSend = new QPushButton(QStringLiteral("Send"), pnlBottom);
    btnSend->setObjectName(QStringLiteral("btnSend"));
    btnSend->setFixedWidth(ButtonWidth);
    btnSend->setDefault(true);
    edtMessage->setEnabled(false);
    btnSend->setEnabled(false);

    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(ButtonGap);
    bottom->addWidget(edtMessage, 1);
    bottom->addWidget(btnSend);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Border, Border, Border, Border);
    layout->setSpacing(Border);
    layout->addWidget(rdtChat, 1);
    layout->addWidget(pnlBottom);

    connect(btnSend, &QPushButton::clicked, this, &TfrmChat::btnSendClick);
    connect(edtMessage, &QLineEdit::returnPressed, this, &TfrmChat::btnSendClick);
}

void TfrmChat::SetGame(TChessGame& game) {
    m_Game = &game;
    SendChat = [this](const std::string& text) {
        if (m_Game)
            m_Game->SendChat(text);
    };
    LocalName = [this] { return PlayerName(true); };
    connect(&game, &TChessGame::chatReceived, this, [this](const std::string& text) {
        AddLine(PlayerName(false), QString::fromStdString(text));
    });
    connect(&game, &TChessGame::opponentJoined, this, &TfrmChat::EnableInput);
    for (auto signal :
        { &TChessGame::networkError, &TChessGame::connectFailed, &TChessGame::disconnected })
        connect(&game, signal, this, &TfrmChat::DisableInput);
    connect(&game, &TChessGame::gameStarted, this, [this] {
        if (m_Game->GameKind == gkLocal)
            DisableInput();
    });
}

QString TfrmChat::PlayerName(bool local) const {
    if (!m_Game)
        return {};
    // The host plays the host's colour; the client the other.
    const auto host = static_cast<TPieceColour>(m_Game->HostColour);
    const TPieceColour here = m_Game->GameKind == gkClient ? Opponent(host) : host;
    return QString::fromStdString(m_Game->GetPlayer(local ? here : Opponent(here))->Name);
}

void TfrmChat::EnableInput() {
    edtMessage->setEnabled(true);
    btnSend->setEnabled(true);
}

void TfrmChat::DisableInput() {
    edtMessage->clear();
    edtMessage->setEnabled(false);
    btnSend->setEnabled(false);
}

void TfrmChat::AddLine(const QString& name, const QString& text) {
    const int selectionStart = rdtChat->textCursor().selectionStart();

    QTextCursor cursor(rdtChat->document());
    cursor.movePosition(QTextCursor::End);
    if (!rdtChat->document()->isEmpty())
        cursor.insertBlock();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    cursor.insertText(OneLine(name), bold);
    cursor.insertText(QStringLiteral(": ") + OneLine(text), plain);

    // The oldest line may have gone to make room, taking the reader's place with it.
    QTextCursor restored(rdtChat->document());
    restored.setPosition(std::min(selectionStart, rdtChat->document()->characterCount() - 1));
    rdtChat->setTextCursor(restored);
    rdtChat->verticalScrollBar()->setValue(rdtChat->verticalScrollBar()->maximum());
}

void TfrmChat::btnSendClick() {
    const QString text = edtMessage->text();
    if (text.isEmpty())
        return;
    if (SendChat) {
        const std::string line = CutUtf8(text.toStdString(), MaxLineBytes);
        SendChat(line);
        AddLine(LocalName ? LocalName() : QString(), QString::fromStdString(line));
    }
    edtMessage->clear();
}

void TfrmChat::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (edtMessage->isEnabled())
        edtMessage->setFocus();
}

void TfrmChat::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
