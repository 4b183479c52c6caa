// The chat window through its real widgets: sending with Enter and the button, the lines shown,
// the limits of a line, and the input's states.

#include "FormChat.h"
#include "UnitChessGame.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

class ChatWindowTest : public testing::Test {
protected:
    void SetUp() override {
        Form.SendChat = [this](const std::string& text) { Sent.push_back(text); };
        Form.LocalName = [] { return QStringLiteral("Alice"); };
    }

    void Type(const QString& text) { QTest::keyClicks(Form.edtMessage, text); }
    void Enter() { QTest::keyClick(Form.edtMessage, Qt::Key_Return); }
    QString Shown() const { return Form.rdtChat->toPlainText(); }
    // Whether the character at the given position of the conversation is bold.
    bool BoldAt(int position) const {
        QTextCursor cursor(Form.rdtChat->document());
        cursor.setPosition(position + 1);
        return cursor.charFormat().fontWeight() == QFont::Bold;
    }

    TfrmChat Form;
    std::vector<std::string> Sent;
};

TEST_F(ChatWindowTest, StartsWithTheInputDisabledAndLaysOutTheBottomPanel) {
    EXPECT_FALSE(Form.edtMessage->isEnabled());
    EXPECT_FALSE(Form.btnSend->isEnabled());
    Form.resize(400, 150);
    Form.show();
    QCoreApplication::processEvents();
    const int panel = Form.pnlBottom->width();
    EXPECT_EQ(Form.btnSend->geometry().left(), panel - 74);
    EXPECT_EQ(Form.btnSend->width(), 74);
    EXPECT_EQ(Form.edtMessage->width(), panel - 80);
    EXPECT_LT(Form.rdtChat->geometry().bottom(), Form.pnlBottom->geometry().top());
}

TEST_F(ChatWindowTest, EnterAndTheButtonSendTheLineAndShowItUnderTheLocalName) {
    Form.EnableInput();
    Type(QStringLiteral("hello"));
    Enter();
    Type(QStringLiteral("again"));
    QTest::mouseClick(Form.btnSend, Qt::LeftButton);
    EXPECT_EQ(Sent, (std::vector<std::string> { "hello", "again" }));
    EXPECT_EQ(Shown(), QStringLiteral("Alice: hello\nAlice: again"));
    EXPECT_TRUE(Form.edtMessage->text().isEmpty());
}

TEST_F(ChatWindowTest, AnEmptyLineDoesNothingAndInALocalGameNothingIsSentOrShown) {
    Form.EnableInput();
    Enter();
    QTest::mouseClick(Form.btnSend, Qt::LeftButton);
    EXPECT_TRUE(Sent.empty());
    EXPECT_TRUE(Form.rdtChat->document()->isEmpty());

    Form.SendChat = nullptr;
    Type(QStringLiteral("nobody hears this"));
    Enter();
    EXPECT_TRUE(Form.rdtChat->document()->isEmpty());
    EXPECT_TRUE(Form.edtMessage->text().isEmpty());
}

TEST_F(ChatWindowTest, TheNameIsBoldAndTheTextIsNeverReadAsMarkup) {
    Form.AddLine(QStringLiteral("Bob"), QStringLiteral("<b>hi</b> &amp; <img src=x>"));
    EXPECT_EQ(Shown(), QStringLiteral("Bob: <b>hi</b> &amp; <img src=x>"));
    EXPECT_TRUE(BoldAt(0));
    EXPECT_TRUE(BoldAt(2));
    for (int position = 3; position < Shown().size(); ++position)
        EXPECT_FALSE(BoldAt(position)) << position;
    // A name that looks like markup is shown as it is too.
    Form.AddLine(QStringLiteral("<i>Eve</i>"), QStringLiteral("x"));
    EXPECT_EQ(Form.rdtChat->document()->lastBlock().text(), QStringLiteral("<i>Eve</i>: x"));
}

TEST_F(ChatWindowTest, AReceivedLineBreakCannotForgeAnotherLine) {
    Form.AddLine(QStringLiteral("Bob"), QStringLiteral("hi\nAlice: I resign\r\x2028ok"));
    EXPECT_EQ(Form.rdtChat->document()->blockCount(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("Bob: hi Alice: I resign  ok"));
}

TEST_F(ChatWindowTest, ALongLineCannotBeTypedAndIsSentWithinTheLimitInBytes) {
    Form.EnableInput();
    Type(QString(300, QLatin1Char('a')));
    EXPECT_EQ(Form.edtMessage->text().size(), 255);
    Enter();
    ASSERT_EQ(Sent.size(), 1u);
    EXPECT_EQ(Sent[0], std::string(255, 'a'));

    // 200 two-byte characters fit the input but not the message: the line is cut at a character
    // boundary, and the line shown is the line sent.
    Form.edtMessage->setText(QString(200, QChar(0xE9)));
    Enter();
    ASSERT_EQ(Sent.size(), 2u);
    EXPECT_EQ(Sent[1].size(), 254u);
    QStringDecoder utf8(QStringConverter::Utf8);
    [[maybe_unused]] const QString decoded = utf8(Sent[1]);
    EXPECT_FALSE(utf8.hasError());
    EXPECT_EQ(Form.rdtChat->document()->lastBlock().text(),
        QStringLiteral("Alice: ") + QString(127, QChar(0xE9)));
}

TEST_F(ChatWindowTest, DisablingTheInputEmptiesItAndKeepsTheConversation) {
    Form.EnableInput();
    Type(QStringLiteral("sent"));
    Enter();
    Form.AddLine(QStringLiteral("Bob"), QStringLiteral("bye"));
    Type(QStringLiteral("half a line"));
    Form.DisableInput();
    EXPECT_TRUE(Form.edtMessage->text().isEmpty());
    EXPECT_FALSE(Form.edtMessage->isEnabled());
    EXPECT_FALSE(Form.btnSend->isEnabled());
    EXPECT_EQ(Shown(), QStringLiteral("Alice: sent\nBob: bye"));
}

TEST_F(ChatWindowTest, ANewLineScrollsToTheBottomAndKeepsTheReadersPlace) {
    Form.resize(340, 120);
    Form.show();
    for (int i = 0; i < 30; ++i)
        Form.AddLine(QStringLiteral("Bob"), QString::number(i));
    QTextCursor cursor(Form.rdtChat->document());
    cursor.setPosition(5);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    Form.rdtChat->setTextCursor(cursor);
    Form.rdtChat->verticalScrollBar()->setValue(0);

    Form.AddLine(QStringLiteral("Bob"), QStringLiteral("last"));
    QScrollBar* bar = Form.rdtChat->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Form.rdtChat->textCursor().selectionStart(), 5);
    EXPECT_FALSE(Form.rdtChat->textCursor().hasSelection());
}

TEST_F(ChatWindowTest, AFloodKeepsOnlyTheNewestLines) {
    for (int i = 1; i <= 2100; ++i)
        Form.AddLine(QStringLiteral("Mallory"), QString::number(i));
    const QStringList lines = Shown().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2000);
    EXPECT_EQ(lines.front(), QStringLiteral("Mallory: 101"));
    EXPECT_EQ(lines.back(), QStringLiteral("Mallory: 2100"));
    EXPECT_TRUE(BoldAt(lines.join(QLatin1Char('\n')).lastIndexOf(QStringLiteral("Mallory"))));
}

TEST_F(ChatWindowTest, ShowingFocusesAnEnabledInputAndEscapeHides) {
    Form.show();
    EXPECT_NE(Form.focusWidget(), Form.edtMessage);
    Form.hide();
    Form.EnableInput();
    Form.show();
    EXPECT_EQ(Form.focusWidget(), Form.edtMessage);
    QTest::keyClick(Form.edtMessage, Qt::Key_Escape);
    EXPECT_TRUE(Form.isHidden());
}

// The chat window given the controller: the opponent's lines under the opponent's name, and the
// input open exactly while an opponent is there.
TEST(FollowingChatWindowTest, ShowsTheOpponentsLinesAndOpensItsInputWhileAnOpponentIsThere) {
    TChessGame game;
    game.WhitePlayer.Name = "Hal";
    game.BlackPlayer.Name = "Cleo";
    game.HostColour = pcWhite;
    game.GameKind = gkClient;
    TfrmChat form;
    form.SetGame(game);
    emit game.chatReceived("hello");
    EXPECT_EQ(form.rdtChat->toPlainText(), QStringLiteral("Hal: hello"));
    EXPECT_EQ(form.LocalName(), QStringLiteral("Cleo"));

    for (auto closing :
        { &TChessGame::networkError, &TChessGame::connectFailed, &TChessGame::disconnected }) {
        emit game.opponentJoined();
        EXPECT_TRUE(form.edtMessage->isEnabled());
        EXPECT_TRUE(form.btnSend->isEnabled());
        form.edtMessage->setText(QStringLiteral("half a line"));
        emit(game.*closing)();
        EXPECT_FALSE(form.edtMessage->isEnabled());
        EXPECT_FALSE(form.btnSend->isEnabled());
        EXPECT_TRUE(form.edtMessage->text().isEmpty());
    }
    // A network game starting keeps the input; a local one closes it.
    emit game.opponentJoined();
    emit game.gameStarted();
    EXPECT_TRUE(form.edtMessage->isEnabled());
    game.GameKind = gkLocal;
    emit game.gameStarted();
    EXPECT_FALSE(form.edtMessage->isEnabled());
    EXPECT_EQ(form.rdtChat->toPlainText(), QStringLiteral("Hal: hello"));
}

} // namespace
