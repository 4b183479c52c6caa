#include "FormHistory.h"

#include "FormMoves.h"
#include "GridFit.h"
#include "HistoryImport.h"
#include "MovesHost.h"
#include "StoredText.h"
#include "UnitHistory.h"
#include "UnitMessages.h"
#include "UserFiles.h"
#include "ValueList.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

constexpr int FormWidth = 565;
constexpr int FormHeight = 260;
constexpr int FormMinimumHeight = 147;
constexpr int RowHeight = 18;
constexpr int PanelHeight = 33;
constexpr int CloseMargin = 4;
constexpr int ColumnWidths[] = { 71, 116, 114, 81, 78, 111 };
constexpr int ColumnCount = 6;

const QString TextFilter = QStringLiteral("Text file (*.txt)");
const QString PgnFilter = QStringLiteral("PGN file (*.pgn)");

// The key in the main window's display texts of each result code, in code order.
const char* const ResultKeys[] = { "Res06", "Res08", "Res07", "Res10", "Res09", "Res11" };

// A save dialog offering the text and PGN forms. Choosing the other form changes the suffix of
// the name typed so far along with it.
QString ChooseExportFile(QWidget* parent, const QString& proposed, QString* selectedFilter) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({ TextFilter, PgnFilter });
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(proposed);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        const QString suffix = f == PgnFilter ? QStringLiteral("pgn") : QStringLiteral("txt");
        dialog.setDefaultSuffix(suffix);
        const QFileInfo typed(dialog.selectedFiles().value(0));
        const QString oldSuffix = typed.suffix().toLower();
        if (oldSuffix == QLatin1String("txt") || oldSuffix == QLatin1String("pgn"))
            dialog.selectFile(typed.completeBaseName() + QLatin1Char('.') + suffix);
    });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().value(0);
}

QTableWidgetItem* CellItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QString StoredName(const std::string& name) {
    return DecodeStoredText(name);
}

} // namespace

TfrmHistory::TfrmHistory(THistory& history, const TValueList& values, TfrmMoves* moves,
    TMovesHost* host, QWidget* parent)
    : QDialog(parent)
    , m_History(history)
    , m_Values(values)
    , m_Moves(moves)
    , m_Host(host) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Games history"));
    setMinimumSize(FormWidth, FormMinimumHeight);
    resize(FormWidth, FormHeight);

    stgHistory = new QTableWidget(1, ColumnCount, this);
    stgHistory->setObjectName(QStringLiteral("stgHistory"));
    stgHistory->setHorizontalHeaderLabels({ QStringLiteral("Date"), QStringLiteral("White player"),
        QStringLiteral("Black player"), QStringLiteral("White's time"),
        QStringLiteral("Black's time"), QStringLiteral("Result") });
    stgHistory->verticalHeader()->hide();
    stgHistory->verticalHeader()->setMinimumSectionSize(1);
    stgHistory->verticalHeader()->setDefaultSectionSize(RowHeight);
    stgHistory->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    stgHistory->horizontalHeader()->setMinimumSectionSize(1);
    stgHistory->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    stgHistory->horizontalHeader()->setStretchLastSection(false);
    stgHistory->horizontalHeader()->setSectionsClickable(false);
    for (int column = 0; column < ColumnCount; ++column)
        stgHistory->setColumnWidth(column, ColumnWidths[column]);
    stgHistory->setShowGrid(true);
    stgHistory->setWordWrap(false);
    stgHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    stgHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    stgHistory->setTabKeyNavigation(false);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(PanelHeight);
    btnSaveToFile = new QPushButton(QStringLiteral("Save to file"), pnlBottom);
    btnSaveToFile->setObjectName(QStringLiteral("btnSaveToFile"));
    btnSaveToFile->setGeometry(4, 4, 105, 25);
    btnSaveToFile->setAutoDefault(false);
    btnDelete = new QPushButton(QStringLiteral("Remove game"), pnlBottom);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setGeometry(116, 4, 105, 25);
    btnDelete->setAutoDefault(false);
    btnImportPgn = new QPushButton(QStringLiteral("Import PGN..."), pnlBottom);
    btnImportPgn->setObjectName(QStringLiteral("btnImportPgn"));
    btnImportPgn->setGeometry(228, 4, 105, 25);
    btnImportPgn->setAutoDefault(false);
    chkShowMoves = new QCheckBox(QStringLiteral("Show moves list"), pnlBottom);
    chkShowMoves->setObjectName(QStringLiteral("chkShowMoves"));
    chkShowMoves->setGeometry(228, 9, 205, 17);
    btnClose = new QPushButton(QStringLiteral("Close"), pnlBottom);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(FormWidth - 81 - CloseMargin, 4, 81, 25);
    btnClose->setDefault(true);
    pnlBottom->installEventFilter(this);
    FitBottomPanel();

    // The grid fills the window above the panel; the moves window, while it is taken in, sits at
    // the grid's right.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_MovesLayout = new QHBoxLayout;
    m_MovesLayout->setContentsMargins(0, 0, 0, 0);
    m_MovesLayout->setSpacing(0);
    m_MovesLayout->addWidget(stgHistory, 1);
    layout->addLayout(m_MovesLayout, 1);
    layout->addWidget(pnlBottom);

    connect(stgHistory, &QTableWidget::currentCellChanged, this,
        [this](int row, int, int previousRow, int) {
            if (!m_Refreshing && row != previousRow)
                stgHistoryClick();
        });
    // A translated header may need wider columns.
    connect(stgHistory->model(), &QAbstractItemModel::headerDataChanged, this,
        [this] { FitColumns(); });
    connect(btnSaveToFile, &QPushButton::clicked, this, &TfrmHistory::btnSaveToFileClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmHistory::btnDeleteClick);
    connect(btnImportPgn, &QPushButton::clicked, this, &TfrmHistory::btnImportPgnClick);
    connect(chkShowMoves, &QCheckBox::toggled, this, &TfrmHistory::chkShowMovesClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    ChooseSaveFile = [this](const QString& proposed, QString* selectedFilter) {
        return ChooseExportFile(this, proposed, selectedFilter);
    };

    RefreshList();
}

bool TfrmHistory::ShowHistory() {
    return exec() == QDialog::Accepted;
}

void TfrmHistory::RefreshList() {
    const int remembered = std::max(stgHistory->currentRow(), 0);
    m_Refreshing = true;
    stgHistory->clearContents();
    stgHistory->setRowCount(1);
    int row = 0;
    const QLocale& locale = m_Values.Locale();
    for (const TGameInfo* game = m_History.First(); game; game = game->Next, ++row) {
        if (row > 0)
            stgHistory->insertRow(row);
        const QDateTime date = DecodeDate(game->Date);
        const QString result = game->Result < std::size(ResultKeys)
            ? m_Values.Value(QLatin1String(ResultKeys[game->Result]))
            : QString();
        const QString cells[ColumnCount] = {
            date.isValid() ? locale.toString(date.date(), QLocale::ShortFormat) : QString(),
            StoredName(game->White),
            StoredName(game->Black),
            TimeText(game->WhiteTime),
            TimeText(game->BlackTime),
            result,
        };
        for (int column = 0; column < ColumnCount; ++column)
            stgHistory->setItem(row, column, CellItem(cells[column]));
    }
    FitColumns();
    const int rows = stgHistory->rowCount();
    SelectRow(remembered < rows ? remembered : rows - 1);
    m_Refreshing = false;
}

void TfrmHistory::FitColumns() {
    const TGridFit fit(*stgHistory);
    for (int column = 0; column < ColumnCount; ++column)
        stgHistory->setColumnWidth(column, fit.Column(column, ColumnWidths[column]));
}

int TfrmHistory::FittingWidth() const {
    int columns = 0;
    for (int column = 0; column < ColumnCount; ++column)
        columns += stgHistory->columnWidth(column);
    const int hosted = m_HostedMoves && !m_HostedMoves->isHidden() ? m_HostedMoves->width() : 0;
    return std::max(FormWidth, columns + TGridFit(*stgHistory).Chrome() + hosted);
}

void TfrmHistory::RestoreSize(int width, int height) {
    resize(width, height);
    m_SizeSettled = true;
}

bool TfrmHistory::GeometryKnown() const {
    return m_SizeSettled;
}

int TfrmHistory::SelectedPosition() const {
    const int row = stgHistory->currentRow();
    return row < 0 ? 0 : row + 1;
}

uint16_t TfrmHistory::SelectedGamePosition() const {
    const int position = SelectedPosition();
    return position <= std::numeric_limits<uint16_t>::max() ? static_cast<uint16_t>(position) : 0;
}

QString TfrmHistory::ProposedFileName(double date, const QLocale& locale) {
    const QDateTime dateTime = DecodeDate(date);
    if (!dateTime.isValid())
        return QStringLiteral("Chess game.txt");
    QString text = locale.toString(dateTime.date(), QLocale::LongFormat);
    // A long date format may hold the folder separator.
    text.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QStringLiteral("Chess game - ") + text + QStringLiteral(".txt");
}

QString TfrmHistory::TimeText(int32_t seconds) {
    const int64_t magnitude = std::llabs(static_cast<int64_t>(seconds));
    return (seconds < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 60)
        + QLatin1Char(':') + QStringLiteral("%1").arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

void TfrmHistory::done(int result) {
    if (MovesHosted || isVisible())
        FormClose();
    QDialog::done(result);
}

void TfrmHistory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmHistory::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnClose->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlBottom && event->type() == QEvent::Resize)
        pnlBottomResize();
    return QDialog::eventFilter(watched, event);
}

void TfrmHistory::FitBottomPanel() {
    // The controls keep their places and sizes of old as their smallest, side by side from the
    // left with "Close" at the right; each grows to its text, and the window to all of them.
    const int gap = 7;
    const auto fit = [](QWidget* control, int left, int top, int width, int height) {
        control->ensurePolished();
        const QSize hint = control->sizeHint();
        control->setGeometry(left, top, std::max(width, hint.width()),
            std::min(std::max(height, hint.height()), PanelHeight - top));
        return left + control->width();
    };
    int right = fit(btnSaveToFile, 4, 4, 105, 25);
    right = fit(btnDelete, right + gap, 4, 105, 25);
    // "Import PGN..." and the check box take no more than their texts, so that the panel still
    // fits the window's width of old.
    right = fit(btnImportPgn, right + gap, 4, 0, 25);
    right = fit(chkShowMoves, right + gap, 9, 0, 17);
    btnClose->ensurePolished();
    btnClose->resize(std::max(81, btnClose->sizeHint().width()), 25);
    setMinimumWidth(std::max(FormWidth, right + gap + btnClose->width() + CloseMargin));
    pnlBottomResize();
}

void TfrmHistory::FormShow() {
    FitBottomPanel();
    RefreshList();
    {
        const QSignalBlocker blocker(chkShowMoves);
        chkShowMoves->setChecked(m_Moves && !m_Moves->isHidden());
    }
    HostMoves();
    stgHistoryClick();
    // The first showing without a stored size opens wide enough for every column, as far as the
    // screen allows; from then on the window keeps the size it is given.
    if (!m_SizeSettled) {
        int width = FittingWidth();
        if (const QScreen* screen = this->screen())
            width = std::min(width, screen->availableGeometry().width());
        if (width > this->width())
            resize(width, height());
        m_SizeSettled = true;
    }
}

void TfrmHistory::FormClose() {
    if (!HistoryFile.isEmpty())
        SaveHistoryFile(m_History, HistoryFile);
    ReleaseMoves();
    // The moves window shows the current game again.
    if (m_Moves)
        m_Moves->ReloadMoves();
}

void TfrmHistory::stgHistoryClick() {
    if (!chkShowMoves->isChecked() || !m_Moves)
        return;
    if (const TGameInfo* game = m_History.GetGame(SelectedGamePosition()))
        m_Moves->LoadMoves(game->Moves);
}

void TfrmHistory::btnSaveToFileClick() {
    const uint16_t position = SelectedGamePosition();
    const TGameInfo* game = m_History.GetGame(position);
    if (!game || !ChooseSaveFile)
        return;
    QString filter;
    const QString fileName
        = ChooseSaveFile(ProposedFileName(game->Date, m_Values.Locale()), &filter);
    if (fileName.isEmpty())
        return;
    const bool pgn = filter.contains(QLatin1String("*.pgn"))
        || fileName.endsWith(QLatin1String(".pgn"), Qt::CaseInsensitive);
    const bool written
        = pgn ? m_History.ExportPgn(position, fileName) : m_History.ExportGame(position, fileName);
    if (!written)
        ShowError(emGameSaveFailed, fileName.toStdString());
}

void TfrmHistory::btnDeleteClick() {
    if (!m_History.DeleteGame(SelectedGamePosition()))
        return;
    RefreshList();
    stgHistoryClick();
}

void TfrmHistory::btnImportPgnClick() {
    const QString path = ChooseImportFile ? ChooseImportFile() : QString();
    if (path.isEmpty())
        return;
    const THistoryImport import = ImportPgnFileIntoHistory(
        m_History, QFile::encodeName(path).toStdString(), HistoryStoredSize(m_History));
    if (import.Read == 0 && import.Skipped == 0 && !import.FileError.empty()) {
        // No file that could be opened, or nothing in it read at all.
        ShowError(emPgnImportUnreadable, QDir::toNativeSeparators(path).toStdString());
        return;
    }
    if (import.Added > 0) {
        // Saved at once, as a finished game is.
        if (!HistoryFile.isEmpty())
            SaveHistoryFile(m_History, HistoryFile);
        RefreshList();
        stgHistoryClick();
    }
    ShowNoticeWith(nmPgnImported, { std::to_string(import.Added), std::to_string(import.Skipped) });
}

void TfrmHistory::chkShowMovesClick() {
    // Only an open window has the moves window to show or hide.
    if (!MovesHosted || !m_HostedMoves)
        return;
    if (!chkShowMoves->isChecked()) {
        m_HostedMoves->hide();
        layout()->activate();
        return;
    }
    HostMoves();
    stgHistoryClick();
}

void TfrmHistory::pnlBottomResize() {
    btnClose->move(pnlBottom->width() - btnClose->width() - CloseMargin, btnClose->y());
}

void TfrmHistory::HostMoves() {
    TfrmMoves* moves = m_Moves;
    if (!moves || !m_Host)
        return;
    if (!MovesHosted) {
        MovesWereDocked = m_Host && m_Host->LendMoves();
        m_MovesHeight = moves->height();
        moves->hide();
        moves->setParent(this, Qt::Widget);
        m_MovesLayout->addWidget(moves);
        m_HostedMoves = moves;
        MovesHosted = true;
    }
    if (chkShowMoves->isChecked())
        moves->show();
    // Laid out at once, so that the moves window has its place when this returns.
    layout()->invalidate();
    layout()->activate();
}

void TfrmHistory::ReleaseMoves() {
    if (!MovesHosted)
        return;
    MovesHosted = false;
    TfrmMoves* moves = m_HostedMoves;
    if (!moves)
        return;
    const bool shown = !moves->isHidden();
    m_MovesLayout->removeWidget(moves);
    moves->hide();
    m_Host->ReturnMoves(MovesWereDocked, shown, m_MovesHeight);
}

void TfrmHistory::SelectRow(int row) {
    stgHistory->setCurrentCell(row, 0);
    if (QTableWidgetItem* item = stgHistory->item(row, 0))
        stgHistory->scrollToItem(item);
}
