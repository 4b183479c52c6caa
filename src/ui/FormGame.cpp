#include "FormGame.h"

#include "Settings.h"
#include "ShortString.h"
#include "UnitChessGame.h"
#include "UnitMessages.h"
#include "UserFiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QNetworkInterface>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <tuple>

namespace {

const char* const PlayerKinds[]
    = { "Human", "Computer novice", "Computer skilled", "Computer expert" };
constexpr int PlayerKindCount = 4;
constexpr int HostColorCount = 2;
// The limits of an engine's move: seconds per move (index 0) or a depth (index 1).
constexpr int LimitKindCount = 2;
constexpr int MaxMoveSeconds = 3600;
constexpr int MaxEngineDepth = 99;
constexpr int DefaultMoveSeconds = 2;

// Sets a player's kind from a player combo box index: 0 is a person, whose level stays as it
// was; 1 .. 3 are the computer from novice (level 2) to expert (level 0); an engine (4 on) is
// kept as a computer of level 0, so that a saved game needs nothing new.
void ApplyKind(TPlayer& player, int index) {
    player.Human = index <= 0;
    if (index > 0)
        player.Level = static_cast<uint16_t>(PlayerKindCount - 1 - std::min(index, 3));
}

int KindIndex(const TPlayer& player) {
    if (player.Human)
        return 0;
    return PlayerKindCount - 1 - std::min<int>(player.Level, 2);
}

std::string StoredName(const QString& text) {
    return CutUtf8(text.toUtf8().toStdString(), ShortStringMax);
}

// A remembered combo box index; anything that is not a number in range gives the first item.
int ReadIndex(const QVariant& stored, int count) {
    bool ok = false;
    const int value = stored.toString().trimmed().toInt(&ok);
    return ok && value >= 0 && value < count ? value : 0;
}

// Booleans are kept as 1 and 0; "true" and "false" are read as well.
bool ReadBool(const QVariant& stored, bool fallback) {
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("1") || text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("0") || text == QLatin1String("false"))
        return false;
    return fallback;
}

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// An address by which another machine could reach this one: a valid address that is not the
// unspecified one ("0.0.0.0"), a loopback, broadcast or multicast address.
bool UsableAddress(const QString& text) {
    QHostAddress address;
    if (!address.setAddress(text.trimmed()))
        return false;
    return address != QHostAddress(QHostAddress::AnyIPv4)
        && address != QHostAddress(QHostAddress::AnyIPv6) && !address.isLoopback()
        && !address.isBroadcast() && !address.isMulticast();
}

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* NamedLabel(const char* name, const QString& text, QWidget* buddy) {
    auto* label = Named(new QLabel(text), name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TfrmGame::TfrmGame(TChessGame& game, QWidget* parent)
    : QDialog(parent)
    , m_Game(game) {
    setObjectName(QStringLiteral("frmGame"));
    setWindowTitle(tr("Game"));

    pgcGame = Named(new QTabWidget(this), "pgcGame");
    pgcGame->setUsesScrollButtons(false);

    // Local game.
    tbsLocal = Named(new QWidget, "tbsLocal");
    cmbWhitePlayer = Named(new QComboBox, "cmbWhitePlayer");
    cmbBlackPlayer = Named(new QComboBox, "cmbBlackPlayer");
    for (QComboBox* combo : { cmbWhitePlayer, cmbBlackPlayer }) {
        for (const char* kind : PlayerKinds)
            combo->addItem(tr(kind));
    }
    edtWhitePlayerName = Named(new QLineEdit, "edtWhitePlayerName");
    edtBlackPlayerName = Named(new QLineEdit, "edtBlackPlayerName");
    lblWhitePlayer = NamedLabel("lblWhitePlayer", tr("White player:"), cmbWhitePlayer);
    lblWhitePlayerName = NamedLabel("lblWhitePlayerName", tr("Name:"), edtWhitePlayerName);
    lblBlackPlayer = NamedLabel("lblBlackPlayer", tr("Black player:"), cmbBlackPlayer);
    lblBlackPlayerName = NamedLabel("lblBlackPlayerName", tr("Name:"), edtBlackPlayerName);

    cmbWhiteLimit = Named(new QComboBox, "cmbWhiteLimit");
    cmbBlackLimit = Named(new QComboBox, "cmbBlackLimit");
    spnWhiteLimit = Named(new QSpinBox, "spnWhiteLimit");
    spnBlackLimit = Named(new QSpinBox, "spnBlackLimit");
    for (QComboBox* combo : { cmbWhiteLimit, cmbBlackLimit })
        combo->addItems({ tr("Seconds per move"), tr("Depth") });
    for (QSpinBox* spin : { spnWhiteLimit, spnBlackLimit })
        spin->setRange(1, MaxMoveSeconds);
    lblWhiteLimit = NamedLabel("lblWhiteLimit", tr("Limit:"), cmbWhiteLimit);
    lblBlackLimit = NamedLabel("lblBlackLimit", tr("Limit:"), cmbBlackLimit);
    auto* whiteLimit = new QHBoxLayout;
    whiteLimit->addWidget(cmbWhiteLimit, 1);
    whiteLimit->addWidget(spnWhiteLimit);
    auto* blackLimit = new QHBoxLayout;
    blackLimit->addWidget(cmbBlackLimit, 1);
    blackLimit->addWidget(spnBlackLimit);

    auto* localLayout = new QGridLayout(tbsLocal);
    localLayout->setColumnStretch(1, 1);
    localLayout->addWidget(lblWhitePlayer, 0, 0);
    localLayout->addWidget(cmbWhitePlayer, 0, 1);
    localLayout->addWidget(lblWhitePlayerName, 1, 0);
    localLayout->addWidget(edtWhitePlayerName, 1, 1);
    localLayout->addWidget(lblWhiteLimit, 2, 0);
    localLayout->addLayout(whiteLimit, 2, 1);
    localLayout->setRowMinimumHeight(3, 16);
    localLayout->addWidget(lblBlackPlayer, 4, 0);
    localLayout->addWidget(cmbBlackPlayer, 4, 1);
    localLayout->addWidget(lblBlackPlayerName, 5, 0);
    localLayout->addWidget(edtBlackPlayerName, 5, 1);
    localLayout->addWidget(lblBlackLimit, 6, 0);
    localLayout->addLayout(blackLimit, 6, 1);
    localLayout->setRowStretch(7, 1);
    // How strong the built-in levels play, from matches against a reference engine.
    lblStrength = Named(new QLabel(tr("Measured against Stockfish 15.1 at its lowest setting "
                                      "(Elo, 40 games each): expert about 1030 / 990 / 1030 at "
                                      "search depth 3 / 5 / 8; skilled and novice below 1000.")),
        "lblStrength");
    lblStrength->setWordWrap(true);
    localLayout->addWidget(lblStrength, 8, 0, 1, 2);

    // Joining a hosted game.
    tbsClient = Named(new QWidget, "tbsClient");
    edtClientName = Named(new QLineEdit, "edtClientName");
    lblClientName = NamedLabel("lblClientName", tr("Your name:"), edtClientName);
    stgHosts = Named(new QTableWidget(1, 2), "stgHosts");
    stgHosts->horizontalHeader()->hide();
    stgHosts->verticalHeader()->hide();
    stgHosts->setColumnWidth(0, 229);
    stgHosts->setColumnWidth(1, 107);
    stgHosts->horizontalHeader()->setStretchLastSection(true);
    stgHosts->setSelectionBehavior(QAbstractItemView::SelectRows);
    stgHosts->setSelectionMode(QAbstractItemView::SingleSelection);
    stgHosts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgHosts->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    stgHosts->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stgHosts->setWordWrap(false);
    stgHosts->setMinimumWidth(
        229 + 107 + stgHosts->verticalScrollBar()->sizeHint().width() + 2 * stgHosts->frameWidth());
    lblHosts = NamedLabel("lblHosts", tr("Games on the server:"), stgHosts);
    popHosts = Named(new QMenu(this), "popHosts");
    popHosts_Refresh = Named(popHosts->addAction(tr("&Refresh")), "popHosts_Refresh");
    popHosts_Refresh->setShortcut(QKeySequence(Qt::Key_F5));
    popHosts_Refresh->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    stgHosts->addAction(popHosts_Refresh);
    stgHosts->setContextMenuPolicy(Qt::CustomContextMenu);
    pnlHostsFailed = Named(new QWidget, "pnlHostsFailed");
    lblHostsFailed = Named(
        new QLabel(tr("Could not get the list of games from the server.")), "lblHostsFailed");
    lblHostsFailed->setWordWrap(true);
    btnRefreshHosts = Named(new QPushButton(tr("&Refresh")), "btnRefreshHosts");
    auto* failedRow = new QHBoxLayout(pnlHostsFailed);
    failedRow->setContentsMargins(0, 0, 0, 0);
    failedRow->addWidget(lblHostsFailed, 1);
    failedRow->addWidget(btnRefreshHosts);
    pnlHostsFailed->hide();
    chkHostIp = Named(new QCheckBox(tr("Connect to a specific IP address:")), "chkHostIp");
    edtHostIp = Named(new QLineEdit, "edtHostIp");
    edtHostIp->setEnabled(false);

    auto* clientLayout = new QVBoxLayout(tbsClient);
    auto* clientForm = new QFormLayout;
    clientForm->addRow(lblClientName, edtClientName);
    clientLayout->addLayout(clientForm);
    clientLayout->addWidget(lblHosts);
    clientLayout->addWidget(stgHosts, 1);
    clientLayout->addWidget(pnlHostsFailed);
    auto* ipRow = new QHBoxLayout;
    ipRow->addWidget(chkHostIp);
    ipRow->addWidget(edtHostIp, 1);
    clientLayout->addLayout(ipRow);

    // Hosting a game.
    tbsHost = Named(new QWidget, "tbsHost");
    edtHostName = Named(new QLineEdit, "edtHostName");
    lblHostName = NamedLabel("lblHostName", tr("Your name:"), edtHostName);
    cmbHostColor = Named(new QComboBox, "cmbHostColor");
    cmbHostColor->addItem(tr("White player"));
    cmbHostColor->addItem(tr("Black player"));
    lblHostColor = NamedLabel("lblHostColor", tr("Play as:"), cmbHostColor);
    chkListGame
        = Named(new QCheckBox(tr("List my game on the server (public game).")), "chkListGame");
    chkListGame->setChecked(true);
    lstIpAddresses = Named(new QListWidget, "lstIpAddresses");
    lblIpAddresses = NamedLabel("lblIpAddresses", tr("Your IP addresses:"), lstIpAddresses);
    popAddresses = Named(new QMenu(this), "popAddresses");
    popAddresses_Copy = Named(popAddresses->addAction(tr("&Copy")), "popAddresses_Copy");
    popAddresses_Copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    popAddresses_Copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    lstIpAddresses->addAction(popAddresses_Copy);
    lstIpAddresses->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* hostLayout = new QVBoxLayout(tbsHost);
    auto* hostForm = new QFormLayout;
    hostForm->addRow(lblHostName, edtHostName);
    hostForm->addRow(lblHostColor, cmbHostColor);
    hostLayout->addLayout(hostForm);
    hostLayout->addWidget(chkListGame);
    hostLayout->addSpacing(6);
    hostLayout->addWidget(lblIpAddresses);
    hostLayout->addWidget(lstIpAddresses, 1);

    pgcGame->addTab(tbsLocal, tr("Play a local game"));
    pgcGame->addTab(tbsClient, tr("Join an online game"));
    pgcGame->addTab(tbsHost, tr("Host an online game"));
    pgcGame->setCurrentWidget(tbsLocal);

    btnOk = Named(new QPushButton(tr("Ok")), "btnOk");
    btnOk->setDefault(true);
    btnCancel = Named(new QPushButton(tr("Cancel")), "btnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pgcGame, 1);
    layout->addLayout(buttons);

    connect(cmbWhitePlayer, &QComboBox::currentIndexChanged, this,
        [this] { cmbPlayerChange(cmbWhitePlayer, edtWhitePlayerName); });
    connect(cmbBlackPlayer, &QComboBox::currentIndexChanged, this,
        [this] { cmbPlayerChange(cmbBlackPlayer, edtBlackPlayerName); });
    connect(cmbWhiteLimit, &QComboBox::currentIndexChanged, this,
        [this] { cmbLimitChange(cmbWhiteLimit, spnWhiteLimit); });
    connect(cmbBlackLimit, &QComboBox::currentIndexChanged, this,
        [this] { cmbLimitChange(cmbBlackLimit, spnBlackLimit); });
    connect(chkHostIp, &QCheckBox::toggled, edtHostIp, &QWidget::setEnabled);
    connect(pgcGame, &QTabWidget::currentChanged, this, [this] {
        if (!m_Preparing)
            pgcGameChange();
    });
    connect(popHosts_Refresh, &QAction::triggered, this, [this] { RefreshHosts(true); });
    connect(btnRefreshHosts, &QPushButton::clicked, this, [this] { RefreshHosts(true); });
    connect(stgHosts, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { popHosts->popup(stgHosts->viewport()->mapToGlobal(pos)); });
    connect(popAddresses_Copy, &QAction::triggered, this, &TfrmGame::popAddresses_CopyClick);
    connect(lstIpAddresses, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popAddresses->popup(lstIpAddresses->viewport()->mapToGlobal(pos));
    });
    connect(btnOk, &QPushButton::clicked, this, &TfrmGame::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmGame::Execute(bool loadedGame) {
    m_LoadedGame = loadedGame;
    m_Preparing = true;
    ListEngines();
    LoadEntries();
    if (loadedGame && pgcGame->currentWidget() == tbsClient)
        pgcGame->setCurrentWidget(tbsLocal);
    pgcGame->setTabVisible(pgcGame->indexOf(tbsClient), !loadedGame);
    if (loadedGame)
        FillFromGame();
    UpdateNameBoxes();
    m_Preparing = false;
    pgcGameChange();
    return exec() == QDialog::Accepted;
}

void TfrmGame::done(int result) {
    if (!m_LoadedGame)
        SaveEntries();
    QDialog::done(result);
}

void TfrmGame::LoadEntries() {
    // Without a settings file every entry takes its default.
    std::unique_ptr<QSettings> ini;
    if (!SettingsPath.isEmpty() && MayOpenIni(SettingsPath))
        ini = std::make_unique<QSettings>(SettingsPath, QSettings::IniFormat);
    const auto value = [&ini](const char* key) {
        return ini ? ini->value(QStringLiteral("Game/") + QLatin1String(key)) : QVariant();
    };
    edtWhitePlayerName->setText(value("WhitePlayerName").toString());
    cmbWhitePlayer->setCurrentIndex(ReadIndex(value("WhitePlayerType"), PlayerKindCount));
    SelectEngine(cmbWhitePlayer, value("WhiteEngine").toString());
    edtBlackPlayerName->setText(value("BlackPlayerName").toString());
    cmbBlackPlayer->setCurrentIndex(ReadIndex(value("BlackPlayerType"), PlayerKindCount));
    SelectEngine(cmbBlackPlayer, value("BlackEngine").toString());
    for (auto [kind, number, kindKey, numberKey] :
        { std::tuple { cmbWhiteLimit, spnWhiteLimit, "WhiteLimitKind", "WhiteLimit" },
            std::tuple { cmbBlackLimit, spnBlackLimit, "BlackLimitKind", "BlackLimit" } }) {
        kind->setCurrentIndex(ReadIndex(value(kindKey), LimitKindCount));
        cmbLimitChange(kind, number);
        bool ok = false;
        const int stored = value(numberKey).toString().trimmed().toInt(&ok);
        number->setValue(ok ? stored : DefaultMoveSeconds);
    }
    edtClientName->setText(value("ClientName").toString());
    edtHostIp->setText(value("HostIp").toString());
    edtHostName->setText(value("HostName").toString());
    cmbHostColor->setCurrentIndex(ReadIndex(value("HostColor"), HostColorCount));
    chkListGame->setChecked(ReadBool(value("ListGame"), true));

    m_PersonNames = { value("WhitePersonName").toString(), value("BlackPersonName").toString() };
    m_LastName = value("LastName").toString();

    // A computer player always carries a name, so that a file edited by hand cannot leave an
    // empty name in a box the user cannot type into; a person is offered the name last used.
    for (auto [colour, combo, name] :
        { std::tuple { int(pcWhite), cmbWhitePlayer, edtWhitePlayerName },
            std::tuple { int(pcBlack), cmbBlackPlayer, edtBlackPlayerName } }) {
        if (!name->text().isEmpty())
            continue;
        name->setText(combo->currentIndex() > 0 ? combo->currentText() : PersonName(colour));
    }
    // The network pages start with the name a person used last, on whichever page.
    for (QLineEdit* name : { edtHostName, edtClientName })
        if (!m_LastName.isEmpty())
            name->setText(m_LastName);
}

QString TfrmGame::PersonName(int colour) const {
    const int side = colour == pcBlack ? pcBlack : pcWhite;
    if (!m_PersonNames[side].isEmpty())
        return m_PersonNames[side];
    const QString key = side == pcWhite ? QStringLiteral("Name01") : QStringLiteral("Name02");
    const QString text = Values ? Values->Value(key) : QString();
    if (!text.isEmpty())
        return text;
    return side == pcWhite ? QStringLiteral("White") : QStringLiteral("Black");
}

void TfrmGame::RememberNames(const QString& white, const QString& black, const QString& last) {
    if (!white.isEmpty())
        m_PersonNames[pcWhite] = white;
    if (!black.isEmpty())
        m_PersonNames[pcBlack] = black;
    if (!last.isEmpty())
        m_LastName = last;
    // A loaded game's dialog remembers nothing else, but the names it was played under.
    if (!m_LoadedGame || SettingsPath.isEmpty() || !MayOpenIni(SettingsPath))
        return;
    QSettings ini(SettingsPath, QSettings::IniFormat);
    SaveNames(ini);
    SaveUserFile(SettingsPath, [&] {
        ini.sync();
        return ini.status() != QSettings::AccessError;
    });
}

void TfrmGame::SaveNames(QSettings& ini) const {
    ini.setValue(QStringLiteral("Game/WhitePersonName"), m_PersonNames[pcWhite]);
    ini.setValue(QStringLiteral("Game/BlackPersonName"), m_PersonNames[pcBlack]);
    ini.setValue(QStringLiteral("Game/LastName"), m_LastName);
}

void TfrmGame::SaveEntries() {
    if (SettingsPath.isEmpty() || !MayOpenIni(SettingsPath))
        return;
    QSettings ini(SettingsPath, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Game"));
    ini.setValue(QStringLiteral("WhitePlayerName"), edtWhitePlayerName->text());
    // An engine is remembered by its name: its place in the combo follows the engine list.
    for (auto [combo, typeKey, engineKey] :
        { std::tuple { cmbWhitePlayer, "WhitePlayerType", "WhiteEngine" },
            std::tuple { cmbBlackPlayer, "BlackPlayerType", "BlackEngine" } }) {
        const TEngineEntry* engine = ChosenEngine(combo);
        ini.setValue(QLatin1String(typeKey), engine ? PlayerKindCount : combo->currentIndex());
        ini.setValue(QLatin1String(engineKey), engine ? engine->Name : QString());
    }
    ini.setValue(QStringLiteral("BlackPlayerName"), edtBlackPlayerName->text());
    ini.setValue(QStringLiteral("WhiteLimitKind"), cmbWhiteLimit->currentIndex());
    ini.setValue(QStringLiteral("WhiteLimit"), spnWhiteLimit->value());
    ini.setValue(QStringLiteral("BlackLimitKind"), cmbBlackLimit->currentIndex());
    ini.setValue(QStringLiteral("BlackLimit"), spnBlackLimit->value());
    ini.setValue(QStringLiteral("ClientName"), edtClientName->text());
    ini.setValue(QStringLiteral("HostIp"), edtHostIp->text());
    ini.setValue(QStringLiteral("HostName"), edtHostName->text());
    ini.setValue(QStringLiteral("HostColor"), cmbHostColor->currentIndex());
    ini.setValue(QStringLiteral("ListGame"), chkListGame->isChecked() ? 1 : 0);
    ini.endGroup();
    SaveNames(ini);
    SaveUserFile(SettingsPath, [&] {
        ini.sync();
        return ini.status() != QSettings::AccessError;
    });
}

void TfrmGame::FillFromGame() {
    const TPlayer& white = m_Game.WhitePlayer;
    const TPlayer& black = m_Game.BlackPlayer;
    cmbWhitePlayer->setCurrentIndex(KindIndex(white));
    cmbBlackPlayer->setCurrentIndex(KindIndex(black));
    // A game without names (a PGN game of unknown players, a pasted position) offers the names
    // persons used last, or the sides' names.
    const auto name = [this](const TPlayer& player, int colour) {
        if (!player.Name.empty())
            return QString::fromStdString(player.Name);
        return player.Human ? PersonName(colour) : QString();
    };
    edtWhitePlayerName->setText(name(white, pcWhite));
    edtBlackPlayerName->setText(name(black, pcBlack));
    // A saved game keeps an engine side as a computer player under the name it was given. So a
    // computer side whose name equals the name of an engine in the list is given to that engine;
    // any other computer side is the built-in computer, as it was saved.
    for (auto [player, combo] :
        { std::pair { &white, cmbWhitePlayer }, std::pair { &black, cmbBlackPlayer } }) {
        if (!player->Human)
            SelectEngine(combo, QString::fromStdString(player->Name));
    }
    const int hostColour = m_Game.HostColour == pcBlack ? pcBlack : pcWhite;
    edtHostName->setText(name(*m_Game.GetPlayer(hostColour), hostColour));
    cmbHostColor->setCurrentIndex(hostColour);
}

const std::optional<TfrmGame::TEngineSide>& TfrmGame::EngineSide(TPieceColour colour) const {
    return m_EngineSides[colour == pcBlack ? pcBlack : pcWhite];
}

void TfrmGame::ListEngines() {
    m_Engines = EngineList ? EngineList() : TEngineCatalog();
    for (QComboBox* combo : { cmbWhitePlayer, cmbBlackPlayer }) {
        while (combo->count() > PlayerKindCount)
            combo->removeItem(combo->count() - 1);
        for (const TEngineEntry& engine : m_Engines.Entries)
            combo->addItem(engine.Name);
    }
}

const TEngineEntry* TfrmGame::ChosenEngine(const QComboBox* combo) const {
    const int engine = combo->currentIndex() - PlayerKindCount;
    return engine >= 0 && engine < int(m_Engines.Entries.size())
        ? &m_Engines.Entries[size_t(engine)]
        : nullptr;
}

void TfrmGame::SelectEngine(QComboBox* combo, const QString& name) {
    if (name.isEmpty())
        return;
    for (size_t i = 0; i < m_Engines.Entries.size(); ++i) {
        if (m_Engines.Entries[i].Name == name) {
            combo->setCurrentIndex(PlayerKindCount + int(i));
            return;
        }
    }
}

void TfrmGame::UpdateNameBoxes() {
    for (auto [combo, name, kind, number, label] :
        { std::tuple {
              cmbWhitePlayer, edtWhitePlayerName, cmbWhiteLimit, spnWhiteLimit, lblWhiteLimit },
            std::tuple { cmbBlackPlayer, edtBlackPlayerName, cmbBlackLimit, spnBlackLimit,
                lblBlackLimit } }) {
        const bool engine = ChosenEngine(combo) != nullptr;
        name->setEnabled(combo->currentIndex() == 0 || engine);
        for (QWidget* control : { static_cast<QWidget*>(label), static_cast<QWidget*>(kind),
                 static_cast<QWidget*>(number) })
            control->setEnabled(engine);
    }
}

// A person's name is typed in; the built-in computer is named after its level; an engine's
// name is proposed and may be changed.
void TfrmGame::cmbPlayerChange(QComboBox* combo, QLineEdit* name) {
    if (m_Preparing)
        return;
    const bool human = combo->currentIndex() == 0;
    if (human)
        name->setText(PersonName(combo == cmbBlackPlayer ? pcBlack : pcWhite));
    else
        name->setText(combo->currentText());
    UpdateNameBoxes();
}

void TfrmGame::cmbLimitChange(QComboBox* kind, QSpinBox* number) {
    const bool depth = kind->currentIndex() == 1;
    number->setRange(1, depth ? MaxEngineDepth : MaxMoveSeconds);
}

void TfrmGame::pgcGameChange() {
    if (pgcGame->currentWidget() == tbsClient)
        RefreshHosts(false);
    else if (pgcGame->currentWidget() == tbsHost)
        RefillAddresses();
}

void TfrmGame::RefreshHosts(bool asked) {
    if (!FetchHostedGames) {
        pnlHostsFailed->hide();
        stgHosts->clearContents();
        stgHosts->setRowCount(1);
        return;
    }
    std::optional<QStringList> lines;
    {
        BusyCursor busy;
        lines = FetchHostedGames();
    }
    pnlHostsFailed->setVisible(!lines);
    if (!lines) {
        // Opening the page says it in the page only; a box would stop the user at every opening
        // while no server answers.
        if (asked)
            ShowError(emGameListFetchFailed);
        return;
    }
    stgHosts->clearContents();
    stgHosts->setRowCount(0);
    for (const QString& line : *lines) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        const QString name = bar < 0 ? line : line.left(bar);
        const QString address = bar < 0 ? QString() : line.mid(bar + 1).trimmed();
        const int row = stgHosts->rowCount();
        stgHosts->insertRow(row);
        stgHosts->setItem(row, 0, new QTableWidgetItem(name));
        stgHosts->setItem(row, 1, new QTableWidgetItem(address));
    }
    if (stgHosts->rowCount() == 0)
        stgHosts->setRowCount(1);
    stgHosts->selectRow(0);
}

QString TfrmGame::LocalAddress() {
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return {};
}

void TfrmGame::RefillAddresses() {
    BusyCursor busy;
    lstIpAddresses->clear();
    // Only addresses an opponent could connect to are offered: not the "0.0.0.0" of a failed
    // request, nor a loopback address the server saw from this machine.
    const QString local = LocalAddress();
    if (UsableAddress(local))
        lstIpAddresses->addItem(local);
    if (FetchPublicAddress) {
        const QString external = FetchPublicAddress().trimmed();
        if (UsableAddress(external) && external != local)
            lstIpAddresses->addItem(external);
    }
}

void TfrmGame::popAddresses_CopyClick() {
    if (const QListWidgetItem* item = lstIpAddresses->currentItem())
        QApplication::clipboard()->setText(item->text());
}

bool TfrmGame::LeaveRunningGame() {
    if (m_Game.GameState != gsPlaying && m_Game.GameState != gsPaused)
        return true;
    if (!LeaveGame || LeaveGame())
        return true;
    reject();
    return false;
}

void TfrmGame::RemovePreviousGame() {
    if (m_Game.GameKind == gkHost && RemoveGame)
        RemoveGame();
}

// Every page checks its entries before anything changes, so that a refused Ok leaves the
// controller and GameListed as they were.
void TfrmGame::btnOkClick() {
    if (pgcGame->currentWidget() == tbsHost)
        OkHost();
    else if (pgcGame->currentWidget() == tbsClient)
        OkClient();
    else
        OkLocal();
}

void TfrmGame::OkLocal() {
    if (edtWhitePlayerName->text().isEmpty() || edtBlackPlayerName->text().isEmpty()) {
        ShowError(emNamesMissing);
        return;
    }
    if (!LeaveRunningGame())
        return;
    GameListed = chkListGame->isChecked();
    for (auto [colour, combo, kind, number] :
        { std::tuple { pcWhite, cmbWhitePlayer, cmbWhiteLimit, spnWhiteLimit },
            std::tuple { pcBlack, cmbBlackPlayer, cmbBlackLimit, spnBlackLimit } }) {
        m_EngineSides[colour].reset();
        if (const TEngineEntry* engine = ChosenEngine(combo)) {
            TEngineSide side;
            side.Engine = *engine;
            if (kind->currentIndex() == 1)
                side.Depth = number->value();
            else
                side.MoveTimeMs = number->value() * 1000;
            m_EngineSides[colour] = side;
        }
    }
    ApplyKind(m_Game.WhitePlayer, cmbWhitePlayer->currentIndex());
    ApplyKind(m_Game.BlackPlayer, cmbBlackPlayer->currentIndex());
    m_Game.WhitePlayer.Name = StoredName(edtWhitePlayerName->text());
    m_Game.BlackPlayer.Name = StoredName(edtBlackPlayerName->text());
    const QString white = m_Game.WhitePlayer.Human ? edtWhitePlayerName->text() : QString();
    const QString black = m_Game.BlackPlayer.Human ? edtBlackPlayerName->text() : QString();
    RememberNames(white, black, white.isEmpty() ? black : white);
    RemovePreviousGame();
    // A link left open by a network game would end this game when its peer leaves.
    m_Game.CloseLink();
    m_Game.GameKind = gkLocal;
    m_Game.StartGame();
    accept();
}

// Until the network layer sets Connect, hosting and joining fail as a refused connection
// would: the players and the game kind are set as for a real attempt, then E2 or E1 is shown
// and the dialog closes.
void TfrmGame::OkHost() {
    const QString name = edtHostName->text();
    if (name.isEmpty()) {
        ShowError(emNamesMissing);
        return;
    }
    if (!LeaveRunningGame())
        return;
    GameListed = chkListGame->isChecked();
    m_EngineSides = {};
    const int colour = cmbHostColor->currentIndex() == pcBlack ? pcBlack : pcWhite;
    m_Game.WhitePlayer.Human = true;
    m_Game.BlackPlayer.Human = true;
    m_Game.GetPlayer(colour)->Name = StoredName(name);
    m_Game.GetPlayer(1 - colour)->Name.clear();
    RememberNames(QString(), QString(), name);
    RemovePreviousGame();
    m_Game.GameKind = gkHost;
    m_Game.HostColour = static_cast<uint8_t>(colour);
    if (Connect && Connect(QString())) {
        if (ShowStatus)
            ShowStatus(stWaitingForPlayer);
        if (chkListGame->isChecked() && PublishGame)
            PublishGame(name);
    } else {
        // Nothing listens, so nothing was listed that a later game would have to take off.
        GameListed = false;
        ShowError(emNetworkError);
    }
    accept();
}

void TfrmGame::OkClient() {
    const QString name = edtClientName->text();
    if (name.isEmpty()) {
        ShowError(emNamesMissing);
        return;
    }
    QString address;
    if (chkHostIp->isChecked()) {
        address = edtHostIp->text().trimmed();
        if (address.isEmpty()) {
            ShowError(emHostAddressMissing);
            return;
        }
    } else if (const QTableWidgetItem* item = stgHosts->item(stgHosts->currentRow(), 1)) {
        address = item->text().trimmed();
    }
    if (!LeaveRunningGame())
        return;
    GameListed = chkListGame->isChecked();
    m_EngineSides = {};
    m_Game.WhitePlayer.Human = true;
    m_Game.BlackPlayer.Human = true;
    m_Game.WhitePlayer.Name.clear();
    m_Game.BlackPlayer.Name = StoredName(name);
    RememberNames(QString(), QString(), name);
    RemovePreviousGame();
    m_Game.GameKind = gkClient;
    // An empty address (no game chosen) is handed on; the connection refuses it.
    if (Connect && Connect(address)) {
        if (ShowStatus)
            ShowStatus(stConnecting);
    } else {
        ShowError(emConnectFailed);
    }
    accept();
}
