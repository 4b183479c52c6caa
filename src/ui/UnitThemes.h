#pragma once

// Named board colour themes: the colour text the options dialog shows for a colour, and the
// themes file "Themes.ini" in the user's config folder (sections Theme0, Theme1, ... each with a
// Name and the eleven colour keys).

#include "Settings.h"

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

// The colour text of a colour: red, green and blue in decimal, separated by commas ("255,0,0").
// A high byte is dropped first.
QString ColorToText(TColor color);
// Parses a colour text: a run of digits for red, one character skipped, a run for green, one
// character skipped, a run for blue; an empty run counts as 0 and whatever follows blue is
// ignored, so "0;128;255" reads like "0,128,255" and "" is black. A component above 255 (or a
// digit run too long for a number) is refused with none.
std::optional<TColor> TextToColor(const QString& text);

// Between a colour of the settings (0x00BBGGRR) and Qt's colour.
QColor ColorToQColor(TColor color);
TColor QColorToColor(const QColor& color);

class TValueList;

// Where TextToColor refuses a text: the display text that names the fault (Val13, Val14 or Val15
// for red, green or blue above 255, filled with the text and the component's digits), or empty
// for a colour text that is accepted.
QString ColorTextFault(const QString& text, const TValueList& values);

// The theme names of the themes file, compared without regard to letter case, are at most this
// long (the length limit of the theme combo box).
constexpr int MaxThemeName = 20;

// A theme with the colours a themes file section falls back to for each missing key.
TTheme DefaultFileTheme();

class TThemeList {
public:
    // Reads the sections Theme0, Theme1, ... until the first missing one. A missing file reads
    // as empty; a missing key, or one that is not a colour number (0 .. 0xFFFFFF), gives that
    // key's default. A file too large for a themes file (above 1 MiB) or one that cannot be read
    // is refused: the list stays empty, false is answered, and a later SaveThemes will not write
    // over that file while it is there, so the user's themes in it are not lost.
    bool LoadThemes(const QString& fileName);
    // Writes section Theme<i> for each theme, then erases Theme<n>, Theme<n+1>, ... while they
    // exist (the sections of deleted themes) and flushes the file. Answers whether it was
    // written.
    bool SaveThemes(const QString& fileName) const;
    std::vector<TTheme> Themes;

private:
    QString m_RefusedFile;
};

// The path of the user's Themes.ini in the config folder. When none exists yet, the themes
// shipped with the program are copied there first.
QString ThemesFile();
