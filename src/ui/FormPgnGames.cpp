#include "FormPgnGames.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text == "?" ? std::string() : text);
}

// "2024.04.01" as it is; the unknown fields at the end of "2024.??.??" dropped.
QString DateText(const std::string& tag) {
    QString date = Text(tag);
    while (date.endsWith(QStringLiteral("??")))
        date.chop(date.size() > 2 && date.at(date.size() - 3) == u'.' ? 3 : 2);
    return date;
}

} // namespace

TPgnGameSummary TPgnGameSummary::Of(const TPgnGameRecord& game) {
    TPgnGameSummary summary;
    summary.Number = game.Number;
    summary.White = Text(game.Tag("White"));
    summary.Black = Text(game.Tag("Black"));
    summary.Result = QString::fromStdString(game.Result);
    summary.Date = DateText(game.Tag("Date"));
    summary.Event = Text(game.Tag("Event"));
    if (summary.Event.isEmpty()) {
        QStringList opening;
        for (const char* tag : { "ECO", "Opening", "Variation" })
            if (const QString text = Text(game.Tag(tag)); !text.isEmpty())
                opening << text;
        summary.Event = opening.join(QStringLiteral(" "));
    }
    summary.Moves = (game.Moves.Count() + 1) / 2;
    summary.Error = QString::fromStdString(game.Error);
    summary.Warning = QString::fromStdString(game.Warning);
    return summary;
}

TfrmPgnGames::TfrmPgnGames(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmPgnGames"));
    setWindowTitle(QStringLiteral("Choose a game"));
    resize(640, 320);

    lblPgnGames
        = new QLabel(QStringLiteral("The file holds several games. Choose the one to open:"), this);
    lblPgnGames->setObjectName(QStringLiteral("lblPgnGames"));
    lblPgnGames->setWordWrap(true);

    stgPgnGames = new QTableWidget(0, ColumnCount, this);
    stgPgnGames->setObjectName(QStringLiteral("stgPgnGames"));
    stgPgnGames->setHorizontalHeaderLabels({ QStringLiteral("White"), QStringLiteral("Black"),
        QStringLiteral("Result"), QStringLiteral("Date"), QStringLiteral("Event"),
        QStringLiteral("Moves"), QStringLiteral("Error") });
    stgPgnGames->verticalHeader()->hide();
    stgPgnGames->horizontalHeader()->setStretchLastSection(true);
    stgPgnGames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgPgnGames->setSelectionBehavior(QAbstractItemView::SelectRows);
    stgPgnGames->setSelectionMode(QAbstractItemView::SingleSelection);
    stgPgnGames->setWordWrap(false);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPgnGames);
    layout->addWidget(stgPgnGames, 1);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(
        stgPgnGames, &QTableWidget::itemSelectionChanged, this, &TfrmPgnGames::SelectionChanged);
    connect(stgPgnGames, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (stgPgnGames->item(row, colWhite)->flags() & Qt::ItemIsSelectable)
            accept();
    });
}

void TfrmPgnGames::Fill(const std::vector<TPgnGameSummary>& games) {
    stgPgnGames->clearContents();
    stgPgnGames->setRowCount(int(games.size()));
    int first = -1;
    for (int row = 0; row < int(games.size()); ++row) {
        const TPgnGameSummary& game = games[size_t(row)];
        const bool readable = game.Error.isEmpty();
        const QString cells[ColumnCount] = { game.White, game.Black, game.Result, game.Date,
            game.Event, QString::number(game.Moves), readable ? game.Warning : game.Error };
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            // A game that could not be read whole is listed, but cannot be chosen.
            if (!readable) {
                item->setFlags(Qt::NoItemFlags);
                item->setToolTip(game.Error);
            } else if (!game.Warning.isEmpty()) {
                item->setToolTip(game.Warning);
            }
            stgPgnGames->setItem(row, column, item);
        }
        if (readable && first < 0)
            first = row;
    }
    stgPgnGames->resizeColumnsToContents();
    // Long event or opening names would push the moves off the list.
    constexpr int widest = 260;
    if (stgPgnGames->columnWidth(colEvent) > widest)
        stgPgnGames->setColumnWidth(colEvent, widest);
    if (first >= 0)
        stgPgnGames->selectRow(first);
    SelectionChanged();
}

void TfrmPgnGames::SelectionChanged() {
    btnOk->setEnabled(!stgPgnGames->selectionModel()->selectedRows().isEmpty());
}

int TfrmPgnGames::Choose(const std::vector<TPgnGameSummary>& games) {
    Fill(games);
    if (exec() != QDialog::Accepted)
        return -1;
    const QModelIndexList rows = stgPgnGames->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    const int row = rows.first().row();
    return row < int(games.size()) && games[size_t(row)].Error.isEmpty() ? row : -1;
}
