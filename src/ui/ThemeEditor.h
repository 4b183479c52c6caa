#pragma once

// The theme controls of the options dialog's Board page: the combo box of the saved theme names
// with its Save and Delete buttons, and the grid of the eleven board colours, each row a caption,
// a colour swatch and the colour text with a button that opens the colour dialog. Holds the theme
// list, loaded when the options dialog is created and written when it is destroyed.

#include "Settings.h"
#include "UnitThemes.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TValueList;

class TThemeEditor : public QWidget {
    Q_OBJECT
public:
    static constexpr int ColorRows = 11;

    TThemeEditor(TValueList& values, QWidget* parent = nullptr);

    TThemeList ThemeList;
    // Reads the themes file into the list and the combo box. A file that is missing or cannot be
    // read gives the shipped themes instead; an unreadable one is told of, and moved aside
    // before the themes are saved over it.
    void LoadThemes(const QString& fileName);
    // Writes the list; a failed save is reported.
    void SaveThemes(const QString& fileName) const;
    // Fills the grid: captions from the value list, the theme's eleven colours as colour text.
    void ShowTheme(const TTheme& theme);
    // The eleven value cells as the colours of a copy of the base (its name untouched). None
    // when a cell holds a text that is not a colour: that cell is marked, the message below the
    // grid says why, and nothing is stored.
    std::optional<TTheme> ReadTheme(const TTheme& base) const;
    // When the options dialog is shown: selects the saved theme of the current theme's name
    // (ignoring letter case; none if there is none), shows the name as the combo box's text and
    // the current theme's colours in the grid.
    void SelectCurrent(const TTheme& current);
    // The text of the combo box: the name the current theme takes on Apply.
    QString ThemeName() const;
    // After Apply has loaded the language again: captions in the new language and the applied
    // theme's colours.
    void RefillAfterLanguage(const TTheme& current);
    // The row captions again from the value list.
    void RefreshCaptions();

    // A theme picked in the combo box is shown in the grid.
    void cmbThemesSelect(int index);
    // Saves the grid under the combo box's text, asking before it replaces a saved theme.
    void btnSaveThemeClick();
    // Deletes the selected saved theme once the user agrees.
    void btnDelThemeClick();
    // Picks the colour of a grid row with the colour dialog; a chosen colour clears the theme
    // name, since the colours no longer belong to a saved theme.
    void vlsColorsEditButtonClick(int row);

    QComboBox* cmbThemes;
    QPushButton* btnSaveTheme;
    QPushButton* btnDelTheme;
    QTableWidget* vlsColors;
    // Shows why a value cell is not a colour; hidden while every cell is one.
    QLabel* lblColorError;

    // Replaces the colour dialog, for tests: called with the row's colour, answers the chosen
    // colour or none when cancelled.
    std::function<std::optional<QColor>(QColor)> ChooseColor;

private:
    // Marks the cells that are not colours and shows the message of the first.
    void vlsColorsStringsChange() const;
    QString CellText(int row) const;

    TValueList& m_Values;
};
