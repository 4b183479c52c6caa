#include "FormOptions.h"

#include "BoardView.h"
#include "ColorPicker.h"
#include "Docking.h"
#include "LanguageApply.h"
#include "Sounds.h"
#include "ThemeEditor.h"
#include "UnitChessGame.h"
#include "UnitMessages.h"
#include "UnitThemes.h"
#include "ValueList.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr int PreviewWidth = 300;
constexpr int PreviewHeight = 100;
constexpr int PickerSize = 20;

// Docking sides of the main window.
constexpr uint8_t AlignTop = 1;
constexpr uint8_t AlignBottom = 2;
constexpr uint8_t AlignLeft = 3;
constexpr uint8_t AlignRight = 4;

const char* const SoundNames[SoundSlots] = { "Piece is moved", "Piece is captured", "King is check",
    "King is checkmate", "King is stalemate", "Message is received" };

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* NamedLabel(const char* name, const QString& text, QWidget* buddy) {
    auto* label = Named(new QLabel(text), name);
    label->setBuddy(buddy);
    return label;
}

QComboBox* NamedList(const char* name, const QStringList& items) {
    auto* combo = Named(new QComboBox, name);
    combo->addItems(items);
    return combo;
}

// The engines page shows this many rows, and is this many average characters wide.
constexpr int VisibleEngineRows = 5;
constexpr int VisibleEngineColumns = 72;

// Whether the entry runs the same program with the same arguments. A program is the same file
// whatever path names it.
bool SameEngine(const TEngineEntry& entry, const QString& command, const QStringList& arguments) {
    if (entry.Arguments != arguments)
        return false;
    if (entry.Command == command)
        return true;
    const QString a = QFileInfo(entry.Command).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(command).canonicalFilePath();
}

// Selects an item when the index names one, and none otherwise.
void SelectIndex(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

} // namespace

TfrmOptions::TfrmOptions(
    TSettings& settings, TChessGame& game, TValueList& values, TDocking& docking, QWidget* parent)
    : QDialog(parent)
    , m_Settings(settings)
    , m_Game(game)
    , m_Docking(docking) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    pgcOptions = Named(new QTabWidget(this), "pgcOptions");
    pgcOptions->setUsesScrollButtons(false);
    CreateGamePage();
    CreateBoardPage(values);
    CreatePiecesPage();
    CreateSoundsPage();
    CreateWindowsPage();
    CreateEnginesPage();
    pgcOptions->setCurrentWidget(tbsGame);

    btnOk = Named(new QPushButton(QStringLiteral("Ok")), "btnOk");
    btnOk->setDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");
    btnApply = Named(new QPushButton(QStringLiteral("Apply")), "btnApply");
    for (QPushButton* button : { btnCancel, btnApply })
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnApply);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pgcOptions, 1);
    layout->addLayout(buttons);
    // A fixed border: the dialog keeps the size its contents ask for, also after a translation.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOk, &QPushButton::clicked, this, &TfrmOptions::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });

    ChooseSoundFile = [this](const QString& current) {
        QFileDialog dialog(this);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QStringLiteral("System audio file (*.wav)"));
        dialog.setDefaultSuffix(QStringLiteral("wav"));
        const QString resolved = ResolveSoundFile(current);
        if (!resolved.isEmpty())
            dialog.selectFile(resolved);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    Themes->LoadThemes(ThemesFile());
    clsSounds->setCurrentRow(0);
}

TfrmOptions::~TfrmOptions() {
    Themes->SaveThemes(ThemesFile());
}

void TfrmOptions::CreateGamePage() {
    tbsGame = Named(new QWidget, "tbsGame");
    chkAutoUpdate = Named(
        new QCheckBox(QStringLiteral("Look for a new version on startup.")), "chkAutoUpdate");
    chkLearnMode = Named(
        new QCheckBox(QStringLiteral("Enable learning mode (shows valid moves).")), "chkLearnMode");
    chkLastMove = Named(new QCheckBox(QStringLiteral("Show the last piece moved.")), "chkLastMove");
    chkLastMoveFrom = Named(
        new QCheckBox(QStringLiteral("Mark both squares of the last move.")), "chkLastMoveFrom");
    // The origin is marked only beside the target.
    connect(chkLastMove, &QCheckBox::toggled, chkLastMoveFrom, &QWidget::setEnabled);
    chkDeclareDraws = Named(new QCheckBox(QStringLiteral("Declare draws: threefold repetition, "
                                                         "fifty moves, insufficient material")),
        "chkDeclareDraws");
    cmbLanguages = Named(new QComboBox, "cmbLanguages");
    lblLanguage = NamedLabel("lblLanguage", QStringLiteral("Language:"), cmbLanguages);
    cmbNotation = NamedList("cmbNotation",
        { QStringLiteral("Algebraic"), QStringLiteral("Mixed"), QStringLiteral("Simplified"),
            QStringLiteral("Standard (SAN)") });
    lblNotation = NamedLabel("lblNotation", QStringLiteral("Move list notation:"), cmbNotation);
    QStringList depths;
    for (int depth = MinSearchDepth; depth <= MaxSearchDepth; ++depth)
        depths << QString::number(depth);
    cmbSearchDepth = NamedList("cmbSearchDepth", depths);
    lblSearchDepth
        = NamedLabel("lblSearchDepth", QStringLiteral("Computer search depth:"), cmbSearchDepth);
    pnlSearchDepthInfo = Named(new QFrame, "pnlSearchDepthInfo");
    pnlSearchDepthInfo->setFrameShape(QFrame::StyledPanel);
    pnlSearchDepthInfo->setFrameShadow(QFrame::Sunken);
    lblSearchDepthInfo = Named(new QLabel(QStringLiteral("Increasing the search depth will make "
                                                         "the computer plan more moves ahead but "
                                                         "will slow down the game.")),
        "lblSearchDepthInfo");
    lblSearchDepthInfo->setWordWrap(true);
    auto* infoLayout = new QVBoxLayout(pnlSearchDepthInfo);
    infoLayout->addWidget(lblSearchDepthInfo);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(lblLanguage, 0, 0);
    grid->addWidget(cmbLanguages, 0, 1);
    grid->addWidget(lblNotation, 1, 0);
    grid->addWidget(cmbNotation, 1, 1);
    grid->addWidget(lblSearchDepth, 2, 0);
    grid->addWidget(cmbSearchDepth, 2, 1);

    auto* layout = new QVBoxLayout(tbsGame);
    layout->addWidget(chkAutoUpdate);
    layout->addWidget(chkLearnMode);
    layout->addWidget(chkLastMove);
    auto* lastMoveFrom = new QHBoxLayout;
    lastMoveFrom->addSpacing(20);
    lastMoveFrom->addWidget(chkLastMoveFrom);
    layout->addLayout(lastMoveFrom);
    layout->addWidget(chkDeclareDraws);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addWidget(pnlSearchDepthInfo);
    layout->addStretch();
    pgcOptions->addTab(tbsGame, QStringLiteral("Game"));
}

void TfrmOptions::CreateBoardPage(TValueList& values) {
    tbsBoard = Named(new QWidget, "tbsBoard");
    Themes = Named(new TThemeEditor(values), "Themes");
    lblTheme = NamedLabel("lblTheme", QStringLiteral("Theme:"), Themes->cmbThemes);
    // Tall enough for all eleven colours without scrolling.
    QTableWidget* colours = Themes->vlsColors;
    colours->setMinimumHeight(colours->verticalHeader()->length() + 2 * colours->frameWidth());
    cmbBoardStyle
        = NamedList("cmbBoardStyle", { QStringLiteral("Traditional"), QStringLiteral("Enhanced") });
    lblBoardStyle = NamedLabel("lblBoardStyle", QStringLiteral("Style:"), cmbBoardStyle);

    auto* style = new QHBoxLayout;
    style->addWidget(lblBoardStyle);
    style->addWidget(cmbBoardStyle, 1);
    auto* layout = new QVBoxLayout(tbsBoard);
    layout->addWidget(lblTheme);
    layout->addWidget(Themes, 1);
    layout->addLayout(style);
    pgcOptions->addTab(tbsBoard, QStringLiteral("Board"));
}

void TfrmOptions::CreatePiecesPage() {
    tbsPieces = Named(new QWidget, "tbsPieces");
    lstChessSet = Named(new QListWidget, "lstChessSet");
    lstChessSet->addItems(PieceSetNames());
    lstChessSet->setSelectionMode(QAbstractItemView::SingleSelection);
    lblChessSet = NamedLabel("lblChessSet", QStringLiteral("Chess set:"), lstChessSet);
    cmbPieceStyle
        = NamedList("cmbPieceStyle", { QStringLiteral("Classic"), QStringLiteral("Colored") });
    lblPieceStyle = NamedLabel("lblPieceStyle", QStringLiteral("Style:"), cmbPieceStyle);
    chkSmoothPieces = Named(new QCheckBox(QStringLiteral("Smooth pieces")), "chkSmoothPieces");
    clpWhitePieces = Named(new TColorPicker, "clpWhitePieces");
    clpBlackPieces = Named(new TColorPicker, "clpBlackPieces");
    ColorDialog = Named(new QColorDialog(this), "ColorDialog");
    ColorDialog->setOption(QColorDialog::DontUseNativeDialog);
    for (TColorPicker* picker : { clpWhitePieces, clpBlackPieces }) {
        picker->setFixedSize(PickerSize, PickerSize);
        picker->SetColor(0xFFFFFF);
        picker->SetColorDialog(ColorDialog);
    }
    lblWhitePieces = NamedLabel("lblWhitePieces", QStringLiteral("White pieces:"), clpWhitePieces);
    lblBlackPieces = NamedLabel("lblBlackPieces", QStringLiteral("Black pieces:"), clpBlackPieces);
    imgPieces = Named(new QLabel, "imgPieces");
    imgPieces->setFixedSize(PreviewWidth, PreviewHeight);

    auto* options = new QGridLayout;
    options->addWidget(lblPieceStyle, 0, 0);
    options->addWidget(cmbPieceStyle, 0, 1);
    options->addWidget(lblWhitePieces, 1, 0);
    options->addWidget(clpWhitePieces, 1, 1, Qt::AlignLeft);
    options->addWidget(lblBlackPieces, 2, 0);
    options->addWidget(clpBlackPieces, 2, 1, Qt::AlignLeft);
    options->addWidget(chkSmoothPieces, 3, 0, 1, 2);
    options->setRowStretch(4, 1);
    auto* sets = new QVBoxLayout;
    sets->addWidget(lblChessSet);
    sets->addWidget(lstChessSet, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(sets, 1);
    top->addLayout(options);

    auto* layout = new QVBoxLayout(tbsPieces);
    layout->addLayout(top, 1);
    layout->addWidget(imgPieces, 0, Qt::AlignHCenter);
    pgcOptions->addTab(tbsPieces, QStringLiteral("Pieces"));

    connect(lstChessSet, &QListWidget::currentRowChanged, this, &TfrmOptions::DrawPreview);
    connect(
        cmbPieceStyle, &QComboBox::currentIndexChanged, this, &TfrmOptions::cmbPieceStyleSelect);
    connect(chkSmoothPieces, &QCheckBox::toggled, this, &TfrmOptions::DrawPreview);
    connect(clpWhitePieces, &TColorPicker::colorChanged, this, &TfrmOptions::DrawPreview);
    connect(clpBlackPieces, &TColorPicker::colorChanged, this, &TfrmOptions::DrawPreview);
}

void TfrmOptions::CreateSoundsPage() {
    tbsSounds = Named(new QWidget, "tbsSounds");
    clsSounds = Named(new QListWidget, "clsSounds");
    for (const char* name : SoundNames) {
        auto* item = new QListWidgetItem(QString::fromLatin1(name), clsSounds);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    edtSoundFile = Named(new QLineEdit, "edtSoundFile");
    lblSoundFile = NamedLabel("lblSoundFile", QStringLiteral("File name:"), edtSoundFile);
    btnBrowse = Named(new QPushButton(QStringLiteral("Browse...")), "btnBrowse");
    btnPreview = Named(new QPushButton(QStringLiteral("Preview")), "btnPreview");
    for (QPushButton* button : { btnBrowse, btnPreview })
        button->setAutoDefault(false);

    auto* file = new QHBoxLayout;
    file->addWidget(lblSoundFile);
    file->addWidget(edtSoundFile, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnBrowse);
    buttons->addWidget(btnPreview);
    auto* layout = new QVBoxLayout(tbsSounds);
    layout->addWidget(clsSounds, 1);
    layout->addLayout(file);
    layout->addLayout(buttons);
    pgcOptions->addTab(tbsSounds, QStringLiteral("Sounds"));

    connect(clsSounds, &QListWidget::currentRowChanged, this, &TfrmOptions::clsSoundsClick);
    connect(edtSoundFile, &QLineEdit::textChanged, this, &TfrmOptions::edtSoundFileChange);
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmOptions::btnBrowseClick);
    connect(btnPreview, &QPushButton::clicked, this, &TfrmOptions::btnPreviewClick);
}

void TfrmOptions::CreateWindowsPage() {
    tbsWindows = Named(new QWidget, "tbsWindows");
    chkDockChat
        = Named(new QCheckBox(QStringLiteral("Dock the chat window inside the main window.")),
            "chkDockChat");
    cmbChatAlign = NamedList("cmbChatAlign", { QStringLiteral("Bottom"), QStringLiteral("Top") });
    lbChatPosition = NamedLabel("lbChatPosition", QStringLiteral("Position:"), cmbChatAlign);
    chkDockMoves
        = Named(new QCheckBox(QStringLiteral("Dock the move list inside the main window.")),
            "chkDockMoves");
    cmbMovesAlign = NamedList("cmbMovesAlign", { QStringLiteral("Left"), QStringLiteral("Right") });
    lblMovesPosition = NamedLabel("lblMovesPosition", QStringLiteral("Position:"), cmbMovesAlign);

    const int indent = 20;
    auto* grid = new QGridLayout(tbsWindows);
    grid->setColumnMinimumWidth(0, indent);
    grid->setColumnStretch(3, 1);
    grid->addWidget(chkDockChat, 0, 0, 1, 4);
    grid->addWidget(lbChatPosition, 1, 1);
    grid->addWidget(cmbChatAlign, 1, 2);
    grid->setRowMinimumHeight(2, 12);
    grid->addWidget(chkDockMoves, 3, 0, 1, 4);
    grid->addWidget(lblMovesPosition, 4, 1);
    grid->addWidget(cmbMovesAlign, 4, 2);
    grid->setRowStretch(5, 1);
    pgcOptions->addTab(tbsWindows, QStringLiteral("Windows"));
}

void TfrmOptions::CreateEnginesPage() {
    tbsEngines = Named(new QWidget, "tbsEngines");
    stgEngines = Named(new QTableWidget(0, 2), "stgEngines");
    stgEngines->setHorizontalHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Command") });
    stgEngines->verticalHeader()->hide();
    // The name takes what it needs and the command the rest; a path longer than that loses its
    // middle, never its program's name, and shows whole as the cell's tip.
    stgEngines->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    stgEngines->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    stgEngines->setTextElideMode(Qt::ElideMiddle);
    stgEngines->setSelectionBehavior(QAbstractItemView::SelectRows);
    stgEngines->setSelectionMode(QAbstractItemView::SingleSelection);
    stgEngines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgEngines->setWordWrap(false);
    // Room for five engines, and for a name and a command of common length side by side, in
    // the dialog's font whatever its size.
    const QFontMetrics metrics = stgEngines->fontMetrics();
    stgEngines->setMinimumWidth(metrics.averageCharWidth() * VisibleEngineColumns);
    stgEngines->setFixedHeight(stgEngines->horizontalHeader()->sizeHint().height()
        + VisibleEngineRows * stgEngines->verticalHeader()->defaultSectionSize()
        + 2 * stgEngines->frameWidth());
    btnAddEngine = Named(new QPushButton(QStringLiteral("Add...")), "btnAddEngine");
    btnRemoveEngine = Named(new QPushButton(QStringLiteral("Remove")), "btnRemoveEngine");
    for (QPushButton* button : { btnAddEngine, btnRemoveEngine })
        button->setAutoDefault(false);
    edtEngineName = Named(new QLineEdit, "edtEngineName");
    lblEngineName = NamedLabel("lblEngineName", QStringLiteral("Name:"), edtEngineName);
    edtEngineArguments = Named(new QLineEdit, "edtEngineArguments");
    lblEngineArguments
        = NamedLabel("lblEngineArguments", QStringLiteral("Arguments:"), edtEngineArguments);
    pnlEngineOptions = Named(new QWidget, "pnlEngineOptions");
    new QFormLayout(pnlEngineOptions);
    sbxEngineOptions = Named(new QScrollArea, "sbxEngineOptions");
    sbxEngineOptions->setWidget(pnlEngineOptions);
    sbxEngineOptions->setWidgetResizable(true);
    sbxEngineOptions->setFixedHeight(150);
    lblEngineOptions
        = NamedLabel("lblEngineOptions", QStringLiteral("Engine options:"), sbxEngineOptions);
    lblEngineReading = Named(
        new QLabel(QStringLiteral("Asking the engine for its options...")), "lblEngineReading");
    lblEngineUnreadable = Named(
        new QLabel(QStringLiteral("The engine did not answer; its options cannot be shown.")),
        "lblEngineUnreadable");
    for (QLabel* label : { lblEngineReading, lblEngineUnreadable }) {
        label->setWordWrap(true);
        label->hide();
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnAddEngine);
    buttons->addWidget(btnRemoveEngine);
    buttons->addStretch();
    auto* list = new QHBoxLayout;
    list->addWidget(stgEngines, 1);
    list->addLayout(buttons);
    auto* fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    fields->addWidget(lblEngineName, 0, 0);
    fields->addWidget(edtEngineName, 0, 1);
    fields->addWidget(lblEngineArguments, 1, 0);
    fields->addWidget(edtEngineArguments, 1, 1);
    auto* layout = new QVBoxLayout(tbsEngines);
    layout->addLayout(list);
    layout->addLayout(fields);
    layout->addWidget(lblEngineOptions);
    layout->addWidget(sbxEngineOptions, 1);
    layout->addWidget(lblEngineReading);
    layout->addWidget(lblEngineUnreadable);
    pgcOptions->addTab(tbsEngines, QStringLiteral("Engines"));

    EngineProbe = Named(new TEngineProbe(this), "EngineProbe");
    connect(EngineProbe, &TEngineProbe::finished, this, &TfrmOptions::EngineProbed);
    connect(EngineProbe, &TEngineProbe::failed, this, &TfrmOptions::EngineProbeFailed);
    connect(stgEngines, &QTableWidget::itemSelectionChanged, this, &TfrmOptions::stgEnginesSelect);
    connect(pgcOptions, &QTabWidget::currentChanged, this, [this] {
        if (pgcOptions->currentWidget() == tbsEngines)
            ShowEngineOptions();
    });
    connect(btnAddEngine, &QPushButton::clicked, this, &TfrmOptions::btnAddEngineClick);
    connect(btnRemoveEngine, &QPushButton::clicked, this, &TfrmOptions::btnRemoveEngineClick);
    connect(edtEngineName, &QLineEdit::textEdited, this, &TfrmOptions::edtEngineNameChange);
    connect(
        edtEngineArguments, &QLineEdit::textEdited, this, &TfrmOptions::edtEngineArgumentsChange);
}

TEngineEntry* TfrmOptions::SelectedEngine() {
    const int row = stgEngines->currentRow();
    if (row < 0 || row >= int(m_Engines.Entries.size())
        || !stgEngines->selectionModel()->hasSelection())
        return nullptr;
    return &m_Engines.Entries[size_t(row)];
}

void TfrmOptions::FillEngines(int selected) {
    {
        const QSignalBlocker blocker(stgEngines);
        stgEngines->clearContents();
        stgEngines->setRowCount(int(m_Engines.Entries.size()));
        for (int row = 0; row < stgEngines->rowCount(); ++row) {
            const TEngineEntry& entry = m_Engines.Entries[size_t(row)];
            stgEngines->setItem(row, 0, new QTableWidgetItem(entry.Name));
            auto* command = new QTableWidgetItem(entry.Command);
            command->setToolTip(entry.Command);
            stgEngines->setItem(row, 1, command);
        }
        stgEngines->clearSelection();
        if (selected >= 0 && selected < stgEngines->rowCount())
            stgEngines->selectRow(selected);
    }
    stgEnginesSelect();
}

void TfrmOptions::stgEnginesSelect() {
    const TEngineEntry* entry = SelectedEngine();
    for (QWidget* control : { static_cast<QWidget*>(edtEngineName),
             static_cast<QWidget*>(edtEngineArguments), static_cast<QWidget*>(btnRemoveEngine) })
        control->setEnabled(entry != nullptr);
    edtEngineName->setText(entry ? entry->Name : QString());
    edtEngineArguments->setText(entry ? JoinArguments(entry->Arguments) : QString());
    ShowEngineOptions();
}

void TfrmOptions::edtEngineNameChange() {
    if (TEngineEntry* entry = SelectedEngine()) {
        entry->Name = edtEngineName->text().trimmed();
        stgEngines->item(stgEngines->currentRow(), 0)->setText(entry->Name);
    }
}

void TfrmOptions::edtEngineArgumentsChange() {
    if (TEngineEntry* entry = SelectedEngine())
        entry->Arguments = SplitArguments(edtEngineArguments->text());
}

const TEngineEntry* TfrmOptions::DuplicateEngine() const {
    for (size_t i = 0; i < m_Engines.Entries.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (SameEngine(m_Engines.Entries[i], m_Engines.Entries[j].Command,
                    m_Engines.Entries[j].Arguments))
                return &m_Engines.Entries[i];
        }
    }
    return nullptr;
}

void TfrmOptions::btnAddEngineClick() {
    const QString file = ChooseEngineFile ? ChooseEngineFile() : QString();
    if (file.isEmpty())
        return;
    // An engine added anew has no arguments: the same program without arguments is refused
    // before it is asked anything.
    for (const TEngineEntry& entry : m_Engines.Entries) {
        if (SameEngine(entry, file, {})) {
            ShowError(emEngineAlreadyListed, file.toStdString());
            return;
        }
    }
    m_Adding = file;
    m_Describing.clear();
    btnAddEngine->setEnabled(false);
    EngineProbe->Start(file);
}

void TfrmOptions::btnRemoveEngineClick() {
    const int row = stgEngines->currentRow();
    if (!SelectedEngine())
        return;
    m_Engines.Entries.erase(m_Engines.Entries.begin() + row);
    FillEngines(std::min(row, int(m_Engines.Entries.size()) - 1));
}

void TfrmOptions::EngineProbed(const TEngineInfo& info) {
    if (!m_Adding.isEmpty()) {
        const QString file = std::exchange(m_Adding, QString());
        btnAddEngine->setEnabled(true);
        m_Announced[file] = info;
        TEngineEntry entry;
        entry.Name = info.Name.isEmpty() ? QFileInfo(file).fileName() : info.Name;
        entry.Command = file;
        m_Engines.Entries.push_back(entry);
        FillEngines(int(m_Engines.Entries.size()) - 1);
        return;
    }
    m_Announced[std::exchange(m_Describing, QString())] = info;
    ShowEngineOptions();
}

void TfrmOptions::EngineProbeFailed(const QString& cause) {
    if (!m_Adding.isEmpty()) {
        const QString file = std::exchange(m_Adding, QString());
        btnAddEngine->setEnabled(true);
        ShowError(emEngineNotAdded, (file + QStringLiteral(" ") + cause).toStdString());
        ShowEngineOptions();
        return;
    }
    m_Describing.clear();
    lblEngineReading->hide();
    lblEngineUnreadable->show();
}

void TfrmOptions::ShowEngineOptions() {
    QLayout* form = pnlEngineOptions->layout();
    while (form->count() > 0) {
        QLayoutItem* item = form->takeAt(0);
        delete item->widget();
        delete item;
    }
    lblEngineReading->hide();
    lblEngineUnreadable->hide();
    const TEngineEntry* entry = SelectedEngine();
    if (!entry)
        return;
    const auto known = m_Announced.find(entry->Command);
    if (known == m_Announced.end()) {
        // Asked once per program while the dialog is open, and only once its page is shown; an
        // Add under way goes first.
        if (pgcOptions->currentWidget() != tbsEngines)
            return;
        lblEngineReading->show();
        if (m_Adding.isEmpty() && m_Describing != entry->Command) {
            m_Describing = entry->Command;
            EngineProbe->Start(entry->Command, entry->Arguments);
        }
        return;
    }
    auto* rows = static_cast<QFormLayout*>(form);
    for (const TUciOption& option : known->second.Options) {
        QString value = option.Default;
        for (const auto& [name, stored] : entry->Options) {
            if (name == option.Name)
                value = stored;
        }
        QWidget* editor = nullptr;
        switch (option.Type) {
        case TUciOption::Button:
            continue;
        case TUciOption::Spin: {
            auto* spin = new QSpinBox;
            spin->setRange(option.Min, option.Max);
            spin->setValue(value.toInt());
            connect(spin, &QSpinBox::valueChanged, this,
                [this, option](int number) { SetEngineOption(option, QString::number(number)); });
            editor = spin;
            break;
        }
        case TUciOption::Check: {
            auto* check = new QCheckBox;
            check->setChecked(value == QLatin1String("true"));
            connect(check, &QCheckBox::toggled, this, [this, option](bool on) {
                SetEngineOption(option, on ? QStringLiteral("true") : QStringLiteral("false"));
            });
            editor = check;
            break;
        }
        case TUciOption::Combo: {
            auto* combo = new QComboBox;
            combo->addItems(option.Vars);
            combo->setCurrentIndex(std::max<int>(0, int(option.Vars.indexOf(value))));
            connect(combo, &QComboBox::currentTextChanged, this,
                [this, option](const QString& text) { SetEngineOption(option, text); });
            editor = combo;
            break;
        }
        case TUciOption::String: {
            auto* line = new QLineEdit(value);
            connect(line, &QLineEdit::textEdited, this,
                [this, option](const QString& text) { SetEngineOption(option, text); });
            editor = line;
            break;
        }
        }
        editor->setProperty("uciOption", option.Name);
        rows->addRow(option.Name + QLatin1Char(':'), editor);
    }
}

// Only a value that differs from the engine's default is kept, so that an engine's own defaults
// still hold after an update of the engine.
void TfrmOptions::SetEngineOption(const TUciOption& option, const QString& value) {
    TEngineEntry* entry = SelectedEngine();
    if (!entry)
        return;
    auto& options = entry->Options;
    const auto found = std::find_if(options.begin(), options.end(),
        [&](const QPair<QString, QString>& pair) { return pair.first == option.Name; });
    if (value == option.Default) {
        if (found != options.end())
            options.erase(found);
    } else if (found != options.end()) {
        found->second = value;
    } else {
        options.append({ option.Name, value });
    }
}

bool TfrmOptions::ShowOptions() {
    return exec() == QDialog::Accepted;
}

void TfrmOptions::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TfrmOptions::ListLanguages() {
    cmbLanguages->clear();
    LanguageFiles.clear();
    for (const auto& [name, file] : ::ListLanguages()) {
        cmbLanguages->addItem(name);
        LanguageFiles << file;
    }
}

void TfrmOptions::FormShow() {
    const TSettings& settings = m_Settings;
    ListLanguages();
    chkAutoUpdate->setChecked(settings.AutoUpdate);
    chkLearnMode->setChecked(settings.LearnMode);
    chkLastMove->setChecked(settings.ShowLastMove);
    chkLastMoveFrom->setChecked(settings.ShowLastMoveFrom);
    chkLastMoveFrom->setEnabled(settings.ShowLastMove);
    chkDeclareDraws->setChecked(settings.DeclareDraws);
    int language = -1;
    for (int i = 0; i < LanguageFiles.size(); ++i) {
        if (LanguageFiles[i].compare(settings.LanguageFile, Qt::CaseInsensitive) == 0) {
            language = i;
            break;
        }
    }
    cmbLanguages->setCurrentIndex(language);
    SelectIndex(cmbNotation, settings.Notation);
    SelectIndex(cmbSearchDepth, m_Game.SearchDepth() - MinSearchDepth);

    Themes->SelectCurrent(settings.Theme);
    cmbBoardStyle->setCurrentIndex(settings.Enhanced ? 1 : 0);
    Themes->ShowTheme(settings.Theme);

    const int set = settings.ChessSet - 1;
    lstChessSet->setCurrentRow(set >= 0 && set < lstChessSet->count() ? set : -1);
    SelectIndex(cmbPieceStyle, settings.PieceStyle);
    chkSmoothPieces->setChecked(settings.SmoothPieces);
    cmbPieceStyleSelect();
    clpWhitePieces->SetColor(settings.WhiteColor);
    clpBlackPieces->SetColor(settings.BlackColor);

    for (int i = 0; i < SoundSlots; ++i)
        SoundFiles[i] = settings.SoundFile[i];
    TickSounds();
    clsSoundsClick();

    chkDockChat->setChecked(m_Docking.ChatDocked());
    cmbChatAlign->setCurrentIndex(m_Docking.ChatAlign == AlignTop ? 1 : 0);
    chkDockMoves->setChecked(m_Docking.MovesDocked());
    cmbMovesAlign->setCurrentIndex(m_Docking.MovesAlign == AlignRight ? 1 : 0);
    DrawPreview();

    m_Engines = settings.Engines.value_or(TEngineCatalog());
    FillEngines(m_Engines.Entries.empty() ? -1 : 0);
}

void TfrmOptions::TickSounds() {
    const TSettings& settings = m_Settings;
    for (int i = 0; i < SoundSlots && i < clsSounds->count(); ++i)
        clsSounds->item(i)->setCheckState(settings.SoundOn[i] ? Qt::Checked : Qt::Unchecked);
}

// The colour texts are checked first, so that a refused one leaves every setting as it was
// and the dialog open for the correction. A control with nothing selected keeps its setting.
bool TfrmOptions::btnApplyClick() {
    TSettings& settings = m_Settings;
    std::optional<TTheme> theme = Themes->ReadTheme(settings.Theme);
    if (!theme)
        return false;
    // Arguments edited into another entry's are refused the same way as an Add of it.
    if (const TEngineEntry* twin = DuplicateEngine()) {
        pgcOptions->setCurrentWidget(tbsEngines);
        FillEngines(int(twin - m_Engines.Entries.data()));
        ShowError(emEngineAlreadyListed, twin->Command.toStdString());
        return false;
    }

    settings.AutoUpdate = chkAutoUpdate->isChecked();
    settings.LearnMode = chkLearnMode->isChecked();
    settings.ShowLastMove = chkLastMove->isChecked();
    settings.ShowLastMoveFrom = chkLastMoveFrom->isChecked();
    settings.DeclareDraws = chkDeclareDraws->isChecked();
    m_Game.DeclareDraws = settings.DeclareDraws;
    const int language = cmbLanguages->currentIndex();
    if (language >= 0 && language < LanguageFiles.size())
        settings.LanguageFile = LanguageFiles[language];
    if (cmbNotation->currentIndex() >= 0)
        settings.Notation = static_cast<uint8_t>(cmbNotation->currentIndex());
    if (cmbSearchDepth->currentIndex() >= 0) {
        settings.SearchDepth = cmbSearchDepth->currentIndex() + MinSearchDepth;
        m_Game.SetSearchDepth(settings.SearchDepth);
    }
    settings.Enhanced = cmbBoardStyle->currentIndex() == 1;
    theme->Name = Themes->ThemeName();
    settings.Theme = *theme;
    if (cmbPieceStyle->currentIndex() >= 0)
        settings.PieceStyle = static_cast<uint8_t>(cmbPieceStyle->currentIndex());
    settings.SmoothPieces = chkSmoothPieces->isChecked();
    settings.WhiteColor = clpWhitePieces->Color();
    settings.BlackColor = clpBlackPieces->Color();
    for (int i = 0; i < SoundSlots && i < clsSounds->count(); ++i) {
        settings.SoundOn[i] = clsSounds->item(i)->checkState() == Qt::Checked;
        settings.SoundFile[i] = SoundFiles[i];
    }

    if (lstChessSet->currentRow() >= 0)
        settings.ChessSet = lstChessSet->currentRow() + 1;
    settings.Engines = m_Engines;

    emit settingsApplied();

    m_Docking.ChatAlign = cmbChatAlign->currentIndex() == 1 ? AlignTop : AlignBottom;
    if (chkDockChat->isChecked())
        m_Docking.DockChat();
    else
        m_Docking.UndockChat();
    m_Docking.MovesAlign = cmbMovesAlign->currentIndex() == 1 ? AlignRight : AlignLeft;
    if (chkDockMoves->isChecked())
        m_Docking.DockMoves();
    else
        m_Docking.UndockMoves();
    // The theme names and the sound names may have changed language.
    Themes->RefillAfterLanguage(settings.Theme);
    TickSounds();

    if (isVisible()) {
        activateWindow();
        raise();
    }
    return true;
}

void TfrmOptions::btnOkClick() {
    if (btnApplyClick())
        accept();
}

void TfrmOptions::cmbPieceStyleSelect() {
    const bool coloured = cmbPieceStyle->currentIndex() == 1;
    for (QWidget* control :
        { static_cast<QWidget*>(lblWhitePieces), static_cast<QWidget*>(clpWhitePieces),
            static_cast<QWidget*>(lblBlackPieces), static_cast<QWidget*>(clpBlackPieces) })
        control->setEnabled(coloured);
    DrawPreview();
}

void TfrmOptions::clsSoundsClick() {
    const int index = clsSounds->currentRow();
    if (index >= 0 && index < SoundSlots)
        edtSoundFile->setText(SoundFiles[index]);
}

void TfrmOptions::edtSoundFileChange() {
    const int index = clsSounds->currentRow();
    if (index >= 0 && index < SoundSlots)
        SoundFiles[index] = edtSoundFile->text();
}

void TfrmOptions::btnBrowseClick() {
    if (!ChooseSoundFile)
        return;
    const QString file = ChooseSoundFile(edtSoundFile->text());
    if (!file.isEmpty())
        edtSoundFile->setText(file);
}

void TfrmOptions::btnPreviewClick() {
    if (PlaySoundFile)
        PlaySoundFile(edtSoundFile->text());
}

// The six pieces of each army with their masks (AND) and drawings (XOR), White's on the top row
// and Black's below, each on alternating light and dark squares of the board's colours, so that
// the preview shows the pieces as the board will.
void TfrmOptions::DrawPreview() {
    const TTheme& theme = m_Settings.Theme;
    // At the screen's pixel ratio, so that smooth pieces stay sharp on a high-density screen.
    const qreal ratio = imgPieces->devicePixelRatioF();
    m_Preview
        = QImage(qRound(PreviewWidth * ratio), qRound(PreviewHeight * ratio), QImage::Format_RGB32);
    m_Preview.setDevicePixelRatio(ratio);
    constexpr int Cell = PreviewHeight / 2;
    {
        QPainter painter(&m_Preview);
        for (int row = 0; row < 2; ++row) {
            for (int kind = pkPawn; kind <= pkKing; ++kind) {
                const bool light = (row + kind) % 2 == 0;
                painter.fillRect(kind * Cell, row * Cell, Cell, Cell,
                    ToQColor(light ? theme.Whites : theme.Blacks));
            }
        }
        TPieceImages pieces;
        const uint8_t style = cmbPieceStyle->currentIndex() == 1 ? 1 : 0;
        if (pieces.LoadChessSet(lstChessSet->currentRow() + 1, style, clpWhitePieces->Color(),
                clpBlackPieces->Color(), theme.Board, chkSmoothPieces->isChecked())) {
            for (int kind = pkPawn; kind <= pkKing; ++kind) {
                pieces.DrawPiece(painter, kind * Cell, 0, pcWhite, static_cast<uint8_t>(kind));
                pieces.DrawPiece(painter, kind * Cell, Cell, pcBlack, static_cast<uint8_t>(kind));
            }
        }
    }
    imgPieces->setPixmap(QPixmap::fromImage(m_Preview));
}
