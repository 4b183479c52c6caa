#include "LanguageApply.h"

#include "AppPaths.h"
#include "QtTranslations.h"
#include "UnitMessages.h"
#include "ValueList.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSet>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>

namespace {

// The items of a ";"-separated text. A final ";" ends the last item rather than starting an
// empty one, as a line break would.
QStringList SplitItems(const QString& text) {
    QStringList items = text.split(QLatin1Char(';'));
    if (items.size() > 1 && items.back().isEmpty())
        items.removeLast();
    return items;
}

// True for a widget that is a window of its own embedded in another (a docked tool window):
// its controls belong to its own section.
bool IsOtherForm(const QObject* object, const QObject* form) {
    return object != form && object->isWidgetType()
        && object->objectName().startsWith(QLatin1String("frm"));
}

void TranslateCombo(QComboBox* combo, const QStringList& items) {
    const QSignalBlocker blocker(combo);
    const int selected = combo->currentIndex();
    const int kept = std::min(combo->count(), static_cast<int>(items.size()));
    for (int i = 0; i < kept; ++i)
        combo->setItemText(i, items[i]);
    while (combo->count() > items.size())
        combo->removeItem(combo->count() - 1);
    for (int i = kept; i < items.size(); ++i)
        combo->addItem(items[i]);
    combo->setCurrentIndex(selected < combo->count() ? selected : -1);
}

void TranslateListBox(QListWidget* list, const QStringList& items) {
    const QSignalBlocker blocker(list);
    const int selected = list->currentRow();
    const int kept = std::min(list->count(), static_cast<int>(items.size()));
    for (int i = 0; i < kept; ++i)
        list->item(i)->setText(items[i]);
    while (list->count() > items.size())
        delete list->takeItem(list->count() - 1);
    for (int i = kept; i < items.size(); ++i) {
        auto* item = new QListWidgetItem(items[i], list);
        // New items of a check list are check items like the others.
        if (list->count() > 1) {
            item->setFlags(list->item(0)->flags());
            if (item->flags() & Qt::ItemIsUserCheckable)
                item->setCheckState(Qt::Unchecked);
        }
    }
    if (selected < list->count())
        list->setCurrentRow(selected);
    else
        list->setCurrentRow(-1);
}

void TranslateHeader(QTableWidget* table, const QStringList& labels) {
    const int count = std::min(table->columnCount(), static_cast<int>(labels.size()));
    for (int column = 0; column < count; ++column) {
        if (QTableWidgetItem* item = table->horizontalHeaderItem(column))
            item->setText(labels[column]);
        else
            table->setHorizontalHeaderItem(column, new QTableWidgetItem(labels[column]));
    }
}

// Applies one pair to one named object, by its kind; anything not listed keeps its text.
void TranslateObject(QObject* object, const QString& text) {
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
        if (!combo->isEditable()) {
            TranslateCombo(combo, SplitItems(text));
            // Its width follows the new items, not the ones it was first shown with.
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        }
    } else if (auto* list = qobject_cast<QListWidget*>(object)) {
        TranslateListBox(list, SplitItems(text));
    } else if (auto* table = qobject_cast<QTableWidget*>(object)) {
        TranslateHeader(table, SplitItems(text));
    }
}

// Every named object of the form, the form's own controls only, in creation order.
void CollectObjects(QObject* parent, const QObject* form, QList<QObject*>& found) {
    for (QObject* child : parent->children()) {
        if (IsOtherForm(child, form))
            continue;
        if (!child->objectName().isEmpty())
            found << child;
        CollectObjects(child, form, found);
    }
}

} // namespace

void TranslateForm(const TLangPack& pack, QWidget* form) {
    if (!form)
        return;
    const std::string section = form->objectName().toStdString();
    if (!pack.FindSection(section))
        return;
    if (const TLangText* caption = pack.FindText(section, section))
        form->setWindowTitle(QString::fromStdString(caption->Text));

    QList<QObject*> objects;
    CollectObjects(form, form, objects);
    for (QObject* object : objects) {
        const TLangText* pair = pack.FindText(section, object->objectName().toStdString());
        if (pair && !pair->Text.empty())
            TranslateObject(object, QString::fromStdString(pair->Text));
    }
    // Tab titles belong to the tab widget but are keyed by the page's name.
    for (QTabWidget* tabs : form->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) {
            const QWidget* page = tabs->widget(i);
            const TLangText* pair = pack.FindText(section, page->objectName().toStdString());
            if (pair && !pair->Text.empty())
                tabs->setTabText(i, QString::fromStdString(pair->Text));
        }
        // A hidden tab bar only marks its tabs for a new layout; the window's layout must learn
        // the new sizes too, so that the window grows to the longer titles when it is shown.
        tabs->tabBar()->updateGeometry();
        tabs->updateGeometry();
    }
}

void TranslateList(const TLangPack& pack, const std::string& section, TValueList& values) {
    if (!pack.FindSection(section))
        return;
    for (const QString& entry : values.Strings()) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const TLangText* pair = pack.FindText(section, name.toStdString());
        if (pair && !pair->Text.empty())
            values.SetValue(name, QString::fromStdString(pair->Text));
    }
}

void TranslateMessages(const TLangPack& pack, TMessageTable& messages) {
    const TLangSect* section = pack.FindSection("messages");
    if (!section)
        return;
    // Keys are taken from a copy: replacing a text must not disturb the walk.
    const auto entries = messages.Entries();
    for (const auto& entry : entries) {
        if (const TLangText* pair = pack.FindText("messages", entry.first))
            messages.Replace(entry.first, pair->Text);
    }
}

QLocale LocaleOfLanguage(const QString& languageName) {
    const QLocale system = QLocale::system();
    const QLocale::Language language = LanguageOfName(languageName);
    if (language == QLocale::AnyLanguage || system.language() == language
        || (system.language() == QLocale::C && language == QLocale::English))
        return system;
    return QLocale(language);
}

QStringList LanguageFolders() {
    QStringList folders;
    folders << AppPaths::DataDir() << AppPaths::ShareDirs();
    folders.removeDuplicates();
    return folders;
}

QString ResolveLanguageFile(const QString& name) {
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name))
        return QFileInfo(name).isFile() ? name : QString();
    for (const QString& folder : LanguageFolders()) {
        const QString candidate = QDir(folder).filePath(name);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

QList<QPair<QString, QString>> ListLanguages() {
    QList<QPair<QString, QString>> languages;
    QSet<QString> seen;
    for (const QString& folder : LanguageFolders()) {
        const QFileInfoList files = QDir(folder).entryInfoList(
            { QStringLiteral("*.lang") }, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& file : files) {
            if (seen.contains(file.fileName()))
                continue;
            seen.insert(file.fileName());
            TLangPack pack;
            const bool read = pack.ReadHeader(file.filePath().toStdString());
            const QString name = read && !pack.LanguageName.empty()
                ? QString::fromStdString(pack.LanguageName)
                : file.completeBaseName();
            languages.append({ name, file.fileName() });
        }
    }
    return languages;
}
