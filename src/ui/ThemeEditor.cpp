#include "ThemeEditor.h"

#include "AppPaths.h"
#include "UnitMessages.h"
#include "UserFiles.h"
#include "ValueList.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The theme fields in grid row order, with the value list key of each row's caption.
struct TColorRow {
    const char* CaptionKey;
    TColor TTheme::*Field;
};

constexpr TColorRow ColorRowFields[TThemeEditor::ColorRows] = {
    { "Val01", &TTheme::Board },
    { "Val02", &TTheme::Player },
    { "Val03", &TTheme::Border },
    { "Val04", &TTheme::Text },
    { "Val05", &TTheme::Whites },
    { "Val06", &TTheme::Blacks },
    { "Val07", &TTheme::Hover },
    { "Val08", &TTheme::Selected },
    { "Val09", &TTheme::GoodMove },
    { "Val10", &TTheme::BadMove },
    { "Val11", &TTheme::LastMove },
};

constexpr int CaptionColumn = 0;
constexpr int ValueColumn = 1;
constexpr int SwatchSize = 16;
constexpr int RowHeight = 19;
// Item data of a value cell: the message of a text that is not a colour.
constexpr int FaultRole = Qt::UserRole + 1;

const QColor FaultBackground(255, 224, 224);
const QColor FaultText(176, 0, 0);

// Draws the grid's cells itself: the text at 2, 2 on the grid's colour, the colour swatch at the
// right end of each caption, and a text that is not a colour marked in red. The editor of a value
// cell is a line edit with a button that opens the colour dialog.
class TColorGridDelegate : public QStyledItemDelegate {
public:
    TColorGridDelegate(TThemeEditor* editor, QTableWidget* grid)
        : QStyledItemDelegate(grid)
        , m_Editor(editor)
        , m_Grid(grid) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override {
        const QRect cell = option.rect;
        const QString fault = index.column() == ValueColumn
            ? index.data(FaultRole).toString()
            : index.siblingAtColumn(ValueColumn).data(FaultRole).toString();
        const QColor base = m_Grid->palette().color(QPalette::Base);
        painter->save();
        painter->fillRect(
            cell, index.column() == ValueColumn && !fault.isEmpty() ? FaultBackground : base);
        painter->setFont(m_Grid->font());
        painter->setPen(index.column() == ValueColumn && !fault.isEmpty()
                ? FaultText
                : m_Grid->palette().color(QPalette::Text));
        const QRect textRect = cell.adjusted(2, 2, index.column() == CaptionColumn ? -20 : -2, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
            index.data(Qt::DisplayRole).toString());

        if (index.column() == CaptionColumn) {
            const QString value = index.siblingAtColumn(ValueColumn).data().toString();
            const QRect swatch(
                cell.right() + 1 - 17, cell.top() + 1, SwatchSize - 1, SwatchSize - 1);
            painter->setPen(Qt::black);
            if (!fault.isEmpty()) {
                // No colour to show: a crossed swatch.
                painter->setBrush(base);
                painter->drawRect(swatch);
                painter->setPen(FaultText);
                painter->drawLine(swatch.topLeft(), swatch.bottomRight());
                painter->drawLine(swatch.topRight(), swatch.bottomLeft());
            } else {
                painter->setBrush(value.isEmpty() ? base : ColorToQColor(*TextToColor(value)));
                painter->drawRect(swatch);
            }
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(m_Grid->palette().color(QPalette::Highlight), 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(cell.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        if (index.column() != ValueColumn)
            return nullptr;
        auto* box = new QWidget(parent);
        box->setAutoFillBackground(true);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* edit = new QLineEdit(box);
        edit->setObjectName(QStringLiteral("edtColor"));
        edit->setFrame(false);
        auto* button = new QToolButton(box);
        button->setObjectName(QStringLiteral("btnEditColor"));
        button->setText(QStringLiteral("..."));
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(edit, 1);
        layout->addWidget(button);
        box->setFocusProxy(edit);

        auto* self = const_cast<TColorGridDelegate*>(this);
        const QPersistentModelIndex cell(index);
        QPointer<TThemeEditor> owner(m_Editor);
        QObject::connect(button, &QToolButton::clicked, box, [self, box, cell, owner] {
            // The typed text first goes to the cell, so the dialog starts from it and the
            // chosen colour is not overwritten when the editor closes.
            emit self->commitData(box);
            emit self->closeEditor(box, QAbstractItemDelegate::NoHint);
            if (owner && cell.isValid())
                owner->vlsColorsEditButtonClick(cell.row());
        });
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* edit = editor->findChild<QLineEdit*>())
            edit->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(
        QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* edit = editor->findChild<QLineEdit*>())
            model->setData(index, edit->text(), Qt::EditRole);
    }

    void updateEditorGeometry(
        QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override {
        editor->setGeometry(option.rect);
    }

private:
    TThemeEditor* m_Editor;
    QTableWidget* m_Grid;
};

} // namespace

TThemeEditor::TThemeEditor(TValueList& values, QWidget* parent)
    : QWidget(parent)
    , m_Values(values) {
    cmbThemes = new QComboBox(this);
    cmbThemes->setObjectName(QStringLiteral("cmbThemes"));
    cmbThemes->setEditable(true);
    cmbThemes->setInsertPolicy(QComboBox::NoInsert);
    cmbThemes->lineEdit()->setMaxLength(MaxThemeName);
    cmbThemes->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    btnSaveTheme = new QPushButton(tr("Save"), this);
    btnSaveTheme->setObjectName(QStringLiteral("btnSaveTheme"));
    btnSaveTheme->setAutoDefault(false);
    btnDelTheme = new QPushButton(tr("Delete"), this);
    btnDelTheme->setObjectName(QStringLiteral("btnDelTheme"));
    btnDelTheme->setAutoDefault(false);

    vlsColors = new QTableWidget(ColorRows, 2, this);
    vlsColors->setObjectName(QStringLiteral("vlsColors"));
    vlsColors->horizontalHeader()->hide();
    vlsColors->verticalHeader()->hide();
    vlsColors->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    vlsColors->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    vlsColors->verticalHeader()->setDefaultSectionSize(RowHeight);
    vlsColors->setSelectionMode(QAbstractItemView::SingleSelection);
    vlsColors->setSelectionBehavior(QAbstractItemView::SelectItems);
    vlsColors->setTabKeyNavigation(false);
    vlsColors->setItemDelegate(new TColorGridDelegate(this, vlsColors));
    for (int row = 0; row < ColorRows; ++row) {
        auto* caption = new QTableWidgetItem;
        caption->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        vlsColors->setItem(row, CaptionColumn, caption);
        auto* value = new QTableWidgetItem;
        value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        vlsColors->setItem(row, ValueColumn, value);
    }
    RefreshCaptions();
    ShowTheme(TTheme {});
    vlsColors->setCurrentCell(0, ValueColumn);
    // Set after the first current cell, so that the editor opens only when the user moves on.
    vlsColors->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked
        | QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);

    lblColorError = new QLabel(this);
    lblColorError->setObjectName(QStringLiteral("lblColorError"));
    lblColorError->setWordWrap(true);
    QPalette warning = lblColorError->palette();
    warning.setColor(QPalette::WindowText, FaultText);
    lblColorError->setPalette(warning);
    lblColorError->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(cmbThemes, 1);
    top->addWidget(btnSaveTheme);
    top->addWidget(btnDelTheme);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(vlsColors, 1);
    layout->addWidget(lblColorError);

    connect(cmbThemes, &QComboBox::activated, this, &TThemeEditor::cmbThemesSelect);
    connect(btnSaveTheme, &QPushButton::clicked, this, &TThemeEditor::btnSaveThemeClick);
    connect(btnDelTheme, &QPushButton::clicked, this, &TThemeEditor::btnDelThemeClick);
    connect(vlsColors, &QTableWidget::itemChanged, this, &TThemeEditor::vlsColorsStringsChange);
}

void TThemeEditor::LoadThemes(const QString& fileName) {
    const QFileInfo file(fileName);
    const bool missing = !file.exists() && !file.isSymLink();
    if (!ThemeList.LoadThemes(fileName) || missing) {
        // The shipped themes stand in for a file that is not there (it could not be copied) or
        // could not be read; an unreadable one is kept until it has been moved aside.
        TThemeList shipped;
        shipped.LoadThemes(AppPaths::FindShared(QStringLiteral("Themes.ini")));
        ThemeList.Themes = shipped.Themes;
        if (!missing)
            UserFiles().KeepUnreadable(fileName, emThemesUnreadable);
    }
    cmbThemes->clear();
    for (const TTheme& theme : ThemeList.Themes)
        cmbThemes->addItem(theme.Name);
    cmbThemes->setCurrentIndex(-1);
}

void TThemeEditor::SaveThemes(const QString& fileName) const {
    SaveUserFile(fileName, [&] { return ThemeList.SaveThemes(fileName); });
}

void TThemeEditor::RefreshCaptions() {
    for (int row = 0; row < ColorRows; ++row)
        vlsColors->item(row, CaptionColumn)
            ->setText(m_Values.Value(QLatin1String(ColorRowFields[row].CaptionKey)));
}

void TThemeEditor::ShowTheme(const TTheme& theme) {
    RefreshCaptions();
    for (int row = 0; row < ColorRows; ++row)
        vlsColors->item(row, ValueColumn)->setText(ColorToText(theme.*ColorRowFields[row].Field));
}

QString TThemeEditor::CellText(int row) const {
    return vlsColors->item(row, ValueColumn)->text();
}

std::optional<TTheme> TThemeEditor::ReadTheme(const TTheme& base) const {
    // A cell still being edited holds the newest text.
    if (QWidget* editor = vlsColors->indexWidget(vlsColors->currentIndex()))
        if (auto* edit = editor->findChild<QLineEdit*>())
            vlsColors->currentItem()->setText(edit->text());
    TTheme theme = base;
    std::optional<int> refused;
    for (int row = 0; row < ColorRows; ++row) {
        const std::optional<TColor> color = TextToColor(CellText(row));
        if (!color) {
            if (!refused)
                refused = row;
            continue;
        }
        theme.*ColorRowFields[row].Field = *color;
    }
    if (refused) {
        vlsColorsStringsChange();
        lblColorError->show();
        return std::nullopt;
    }
    return theme;
}

void TThemeEditor::vlsColorsStringsChange() const {
    QString message;
    const QSignalBlocker quiet(vlsColors);
    for (int row = 0; row < ColorRows; ++row) {
        QTableWidgetItem* item = vlsColors->item(row, ValueColumn);
        if (!item)
            continue;
        const QString fault = ColorTextFault(item->text(), m_Values);
        item->setData(FaultRole, fault.isEmpty() ? QVariant() : QVariant(fault));
        item->setToolTip(fault);
        if (!fault.isEmpty() && message.isEmpty())
            message = vlsColors->item(row, CaptionColumn)->text() + QStringLiteral(": ") + fault;
    }
    lblColorError->setText(message);
    lblColorError->setVisible(!message.isEmpty());
    vlsColors->viewport()->update();
}

void TThemeEditor::SelectCurrent(const TTheme& current) {
    int found = -1;
    for (int i = 0; i < cmbThemes->count(); ++i)
        if (cmbThemes->itemText(i).compare(current.Name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    cmbThemes->setCurrentIndex(found);
    cmbThemes->setEditText(current.Name);
    ShowTheme(current);
}

QString TThemeEditor::ThemeName() const {
    return cmbThemes->currentText();
}

void TThemeEditor::RefillAfterLanguage(const TTheme& current) {
    // The grid shows what was just applied; a saved theme selected in the combo box may differ
    // from it when a cell was typed into.
    ShowTheme(current);
}

void TThemeEditor::cmbThemesSelect(int index) {
    if (index >= 0 && size_t(index) < ThemeList.Themes.size())
        ShowTheme(ThemeList.Themes[size_t(index)]);
}

void TThemeEditor::btnSaveThemeClick() {
    const QString name = cmbThemes->currentText();
    if (name.isEmpty())
        return;
    const std::optional<TTheme> read = ReadTheme(TTheme {});
    if (!read)
        return;
    int found = -1;
    for (int i = 0; i < cmbThemes->count(); ++i)
        if (cmbThemes->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    if (found >= 0 && size_t(found) < ThemeList.Themes.size()) {
        if (AskQuestion(qmReplaceTheme, name.toStdString()) != idYes)
            return;
    } else {
        cmbThemes->addItem(name);
        ThemeList.Themes.push_back(TTheme {});
        found = int(ThemeList.Themes.size()) - 1;
    }
    TTheme& target = ThemeList.Themes[size_t(found)];
    target = *read;
    target.Name = name;
    cmbThemes->setCurrentIndex(found);
    cmbThemes->setEditText(name);
}

void TThemeEditor::btnDelThemeClick() {
    const int index = cmbThemes->currentIndex();
    if (index < 0 || size_t(index) >= ThemeList.Themes.size())
        return;
    // The question names the theme that is deleted, even when other text was typed meanwhile.
    if (AskQuestion(qmDeleteTheme, cmbThemes->itemText(index).toStdString()) != idYes)
        return;
    ThemeList.Themes.erase(ThemeList.Themes.begin() + index);
    cmbThemes->removeItem(index);
    cmbThemes->setCurrentIndex(-1);
}

void TThemeEditor::vlsColorsEditButtonClick(int row) {
    if (row < 0 || row >= ColorRows)
        return;
    const QString text = CellText(row);
    const std::optional<TColor> start = TextToColor(text);
    if (!start)
        vlsColorsStringsChange();
    const QColor initial = ColorToQColor(start.value_or(0));
    std::optional<QColor> chosen;
    if (ChooseColor) {
        chosen = ChooseColor(initial);
    } else {
        const QColor picked = QColorDialog::getColor(initial, window());
        if (picked.isValid())
            chosen = picked;
    }
    if (!chosen || !chosen->isValid())
        return;
    vlsColors->item(row, ValueColumn)->setText(ColorToText(QColorToColor(*chosen)));
    cmbThemes->setCurrentIndex(-1);
    cmbThemes->clearEditText();
}
