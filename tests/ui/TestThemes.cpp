// Board colour themes: colour texts, the themes file, the theme controls of the options dialog
// and the colour picker, through the real widgets on the offscreen platform.

#include "AppPaths.h"
#include "ColorPicker.h"
#include "RecordingPresenter.h"
#include "ThemeEditor.h"
#include "UnitMessages.h"
#include "UnitThemes.h"
#include "ValueList.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QStringList Sections(const QString& path) {
    return QSettings(path, QSettings::IniFormat).childGroups();
}

class ThemeEditorTest : public testing::Test {
protected:
    void SetUp() override {
        WriteText(m_File,
            "[Theme0]\nName=Wood\nBoard=1\n"
            "[Theme1]\nName=Slate\nBoard=2\n"
            "[Theme2]\nName=Sea\nBoard=3\n");
        m_Editor.LoadThemes(m_File);
    }
    void TearDown() override { SetMessagePresenter(nullptr); }

    // Answers every question with a set answer and keeps what was asked.
    void Answer(int answer) {
        m_Answer = answer;
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(m_Asked, m_Answer));
    }
    void TypeName(const QString& name) { m_Editor.cmbThemes->setEditText(name); }
    void SetCell(int row, const QString& text) { m_Editor.vlsColors->item(row, 1)->setText(text); }
    QString Cell(int row) const { return m_Editor.vlsColors->item(row, 1)->text(); }

    QTemporaryDir m_Folder;
    QString m_File = m_Folder.filePath(QStringLiteral("Themes.ini"));
    TValueList m_Values;
    TThemeEditor m_Editor { m_Values };
    std::vector<std::string> m_Asked;
    int m_Answer = idNo;
};

} // namespace

TEST(ColorText, ConvertsBothWaysAndRefusesComponentsAbove255) {
    EXPECT_EQ(ColorToText(16763562), QStringLiteral("170,202,255"));
    EXPECT_EQ(TextToColor(QStringLiteral("170,202,255")), TColor(16763562));
    EXPECT_EQ(ColorToText(0), QStringLiteral("0,0,0"));
    EXPECT_EQ(ColorToText(0xFF0000FF), QStringLiteral("255,0,0"));

    const struct {
        const char* Text;
        TColor Color;
    } accepted[] = {
        { "255,0,0", 0x0000FF },
        { "0;128;255", 0xFF8000 },
        { "", 0 },
        { "7", 7 },
        { "12,,5", 12 + 5 * 65536 },
        { "1,2,3 and more", 0x030201 },
        { "007,0,0", 7 },
    };
    for (const auto& entry : accepted)
        EXPECT_EQ(TextToColor(QString::fromLatin1(entry.Text)), entry.Color) << entry.Text;

    for (const char* refused :
        { "256,0,0", "0,300,0", "0,0,1000", "99999999999999999999999,0,0" }) {
        EXPECT_FALSE(TextToColor(QString::fromLatin1(refused))) << refused;
        EXPECT_FALSE(ColorTextFault(QString::fromLatin1(refused), TValueList()).isEmpty())
            << refused;
    }
    EXPECT_TRUE(ColorTextFault(QStringLiteral("1,2,3"), TValueList()).isEmpty());
}

TEST(ThemesFile, ReadsUntilTheFirstGapAndSavingKeepsSectionsPastIt) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Themes.ini"));
    WriteText(path,
        "[Theme0]\nName=First\nBoard=255\nText=not a number\nPlayer=16777216\n"
        "[Theme1]\nName=Second\n"
        "[Theme3]\nName=Fourth\n");
    TThemeList list;
    ASSERT_TRUE(list.LoadThemes(path));
    ASSERT_EQ(list.Themes.size(), 2u);
    EXPECT_EQ(list.Themes[0].Name, QStringLiteral("First"));
    EXPECT_EQ(list.Themes[0].Board, 255u);
    // Missing, non-numeric and out-of-range keys all take the file defaults.
    const TTheme defaults = DefaultFileTheme();
    EXPECT_EQ(list.Themes[0].Text, TColor(8145710));
    EXPECT_EQ(list.Themes[0].Player, TColor(16756608));
    EXPECT_EQ(list.Themes[1].Board, defaults.Board);
    EXPECT_EQ(defaults.Board, TColor(16763562));
    EXPECT_EQ(defaults.LastMove, TColor(12566463));

    ASSERT_TRUE(list.SaveThemes(path));
    const QStringList sections = Sections(path);
    EXPECT_TRUE(sections.contains(QStringLiteral("Theme0")));
    EXPECT_TRUE(sections.contains(QStringLiteral("Theme1")));
    EXPECT_FALSE(sections.contains(QStringLiteral("Theme2")));
    EXPECT_TRUE(sections.contains(QStringLiteral("Theme3")));

    TThemeList again;
    ASSERT_TRUE(again.LoadThemes(path));
    EXPECT_EQ(again.Themes, list.Themes);
}

TEST(ThemesFile, MissingFileIsEmptyAndOversizedFileIsNeverOverwritten) {
    QTemporaryDir folder;
    TThemeList list;
    EXPECT_TRUE(list.LoadThemes(folder.filePath(QStringLiteral("none.ini"))));
    EXPECT_TRUE(list.Themes.empty());

    const QString path = folder.filePath(QStringLiteral("Themes.ini"));
    const QByteArray huge = "[Theme0]\nName=Kept\n" + QByteArray(2 * 1024 * 1024, ';');
    WriteText(path, huge);
    EXPECT_FALSE(list.LoadThemes(path));
    EXPECT_TRUE(list.Themes.empty());
    EXPECT_FALSE(list.SaveThemes(path));
    EXPECT_EQ(QFileInfo(path).size(), huge.size());
}

// The largest file the reader takes, packed with sections: each section used to be looked for
// in the whole list of sections, which held the program up for seconds.
TEST(ThemesFile, AFileOfTensOfThousandsOfSectionsLoadsThemAll) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Themes.ini"));
    QByteArray text;
    int sections = 0;
    while (text.size() < 1000 * 1000)
        text += "[Theme" + QByteArray::number(sections++) + "]\nName=\n";
    WriteText(path, text);
    TThemeList list;
    ASSERT_TRUE(list.LoadThemes(path));
    EXPECT_EQ(list.Themes.size(), size_t(sections));
}

TEST(ThemesFile, NamesWithCommasAndNonAsciiLettersSurviveSaving) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Themes.ini"));
    TThemeList list;
    TTheme theme;
    theme.Name = QStringLiteral("Bois, clair é");
    list.Themes.push_back(theme);
    ASSERT_TRUE(list.SaveThemes(path));
    TThemeList again;
    ASSERT_TRUE(again.LoadThemes(path));
    ASSERT_EQ(again.Themes.size(), 1u);
    EXPECT_EQ(again.Themes[0], theme);
}

TEST(ThemesFile, ShippedThemesAreCopiedToAnEmptyConfigFolderAndStayReadable) {
    const QString user = AppPaths::ConfigDir() + QStringLiteral("/Themes.ini");
    QFile::remove(user);
    const QString shipped = AppPaths::FindShared(QStringLiteral("Themes.ini"));
    ASSERT_FALSE(shipped.isEmpty());

    EXPECT_EQ(ThemesFile(), user);
    ASSERT_TRUE(QFileInfo(user).isFile());
    EXPECT_TRUE(QFileInfo(user).isWritable());
    TThemeList list;
    ASSERT_TRUE(list.LoadThemes(user));
    ASSERT_GE(list.Themes.size(), 3u);

    // The user's own file is never replaced by the shipped one.
    list.Themes.pop_back();
    ASSERT_TRUE(list.SaveThemes(user));
    ThemesFile();
    TThemeList again;
    again.LoadThemes(user);
    EXPECT_EQ(again.Themes.size(), list.Themes.size());

    // The names and the board headers' text stay readable on the background and the current
    // player's mark (contrast of 4.5 or more).
    const auto luminance = [](TColor color) {
        double sum = 0;
        const double weights[] = { 0.2126, 0.7152, 0.0722 };
        for (int i = 0; i < 3; ++i) {
            const double c = ((color >> (8 * i)) & 0xFF) / 255.0;
            sum += weights[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const auto contrast = [&](TColor a, TColor b) {
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    TThemeList shippedList;
    ASSERT_TRUE(shippedList.LoadThemes(shipped));
    for (const TTheme& theme : shippedList.Themes) {
        EXPECT_FALSE(theme.Name.isEmpty());
        EXPECT_LE(theme.Name.size(), MaxThemeName);
        EXPECT_GE(contrast(theme.Text, theme.Board), 4.5) << theme.Name.toStdString();
        EXPECT_GE(contrast(theme.Text, theme.Player), 4.5) << theme.Name.toStdString();
    }
}

TEST_F(ThemeEditorTest, LoadsNamesShowsAPickedThemeAndSelectsTheCurrentIgnoringCase) {
    ASSERT_EQ(m_Editor.cmbThemes->count(), 3);
    EXPECT_EQ(m_Editor.cmbThemes->itemText(1), QStringLiteral("Slate"));
    EXPECT_EQ(m_Editor.vlsColors->rowCount(), 11);
    EXPECT_EQ(m_Editor.vlsColors->item(0, 0)->text(), QStringLiteral("Background color"));
    EXPECT_EQ(m_Editor.vlsColors->item(10, 0)->text(), QStringLiteral("Last move color"));
    EXPECT_EQ(m_Editor.cmbThemes->lineEdit()->maxLength(), 20);

    m_Editor.cmbThemesSelect(2);
    EXPECT_EQ(Cell(0), QStringLiteral("3,0,0"));
    EXPECT_EQ(Cell(1), ColorToText(16756608));

    TTheme current;
    current.Name = QStringLiteral("SLATE");
    current.Board = 0x010203;
    m_Editor.SelectCurrent(current);
    EXPECT_EQ(m_Editor.cmbThemes->currentIndex(), 1);
    EXPECT_EQ(m_Editor.ThemeName(), QStringLiteral("SLATE"));
    EXPECT_EQ(Cell(0), QStringLiteral("3,2,1"));

    current.Name = QStringLiteral("Unsaved");
    m_Editor.SelectCurrent(current);
    EXPECT_EQ(m_Editor.cmbThemes->currentIndex(), -1);
    EXPECT_EQ(m_Editor.ThemeName(), QStringLiteral("Unsaved"));

    m_Values.SetValue(QStringLiteral("Val01"), QStringLiteral("Fond"));
    m_Editor.RefillAfterLanguage(current);
    EXPECT_EQ(m_Editor.vlsColors->item(0, 0)->text(), QStringLiteral("Fond"));
}

// The message under the grid comes from the display texts, so a language pack reaches it; each
// ";" takes the cell's text and then the digits of the component that is too large.
TEST_F(ThemeEditorTest, TheColourFaultIsTheTranslatedTextOfItsComponent) {
    m_Editor.show();
    m_Values.SetValue(QStringLiteral("Val04"), QStringLiteral("Texte"));
    m_Values.SetValue(QStringLiteral("Val14"), QStringLiteral("« ; » : vert (;) > 255"));
    m_Editor.RefreshCaptions();
    SetCell(3, QStringLiteral("1;300;2"));
    EXPECT_EQ(
        m_Editor.lblColorError->text(), QStringLiteral("Texte: « 1;300;2 » : vert (300) > 255"));
    EXPECT_EQ(ColorTextFault(QStringLiteral("0,0,999"), m_Values),
        QStringLiteral("\"0,0,999\" is not a colour: blue (999) is above 255. Each of red, green "
                       "and blue must be 0 to 255, as in 255,128,0."));
}

TEST_F(ThemeEditorTest, SavingANewNameAddsAThemeAndAnExistingOneAsksFirst) {
    Answer(idNo);
    TypeName(QString());
    m_Editor.btnSaveThemeClick();
    EXPECT_TRUE(m_Asked.empty());
    EXPECT_EQ(m_Editor.ThemeList.Themes.size(), 3u);

    SetCell(0, QStringLiteral("10,20,30"));
    TypeName(QStringLiteral("Night"));
    m_Editor.btnSaveThemeClick();
    EXPECT_TRUE(m_Asked.empty());
    ASSERT_EQ(m_Editor.ThemeList.Themes.size(), 4u);
    EXPECT_EQ(m_Editor.cmbThemes->itemText(3), QStringLiteral("Night"));
    EXPECT_EQ(m_Editor.ThemeList.Themes[3].Name, QStringLiteral("Night"));
    EXPECT_EQ(m_Editor.ThemeList.Themes[3].Board, TColor(10 + 20 * 256 + 30 * 65536));

    // Only the letter case differs: asked, and No keeps the saved theme.
    SetCell(0, QStringLiteral("1,1,1"));
    TypeName(QStringLiteral("wOOD"));
    m_Editor.btnSaveThemeClick();
    ASSERT_EQ(m_Asked.size(), 1u);
    EXPECT_NE(m_Asked[0].find("wOOD"), std::string::npos);
    EXPECT_EQ(m_Editor.ThemeList.Themes[0].Board, 1u);
    EXPECT_EQ(m_Editor.ThemeList.Themes[0].Name, QStringLiteral("Wood"));

    Answer(idYes);
    TypeName(QStringLiteral("wOOD"));
    m_Editor.btnSaveThemeClick();
    EXPECT_EQ(m_Editor.ThemeList.Themes.size(), 4u);
    EXPECT_EQ(m_Editor.ThemeList.Themes[0].Board, TColor(0x010101));
    EXPECT_EQ(m_Editor.ThemeList.Themes[0].Name, QStringLiteral("wOOD"));
    EXPECT_EQ(m_Editor.cmbThemes->itemText(0), QStringLiteral("Wood"));
}

TEST_F(ThemeEditorTest, DeletingAsksAndTheFileLosesTheLastSection) {
    Answer(idYes);
    m_Editor.cmbThemes->setCurrentIndex(-1);
    m_Editor.btnDelThemeClick();
    EXPECT_TRUE(m_Asked.empty());

    Answer(idNo);
    m_Editor.cmbThemes->setCurrentIndex(1);
    m_Editor.btnDelThemeClick();
    ASSERT_EQ(m_Asked.size(), 1u);
    EXPECT_NE(m_Asked[0].find("Slate"), std::string::npos);
    EXPECT_EQ(m_Editor.ThemeList.Themes.size(), 3u);

    Answer(idYes);
    m_Editor.cmbThemes->setCurrentIndex(1);
    m_Editor.btnDelThemeClick();
    ASSERT_EQ(m_Editor.ThemeList.Themes.size(), 2u);
    EXPECT_EQ(m_Editor.cmbThemes->count(), 2);
    EXPECT_EQ(m_Editor.cmbThemes->itemText(1), QStringLiteral("Sea"));

    m_Editor.SaveThemes(m_File);
    const QStringList sections = Sections(m_File);
    EXPECT_EQ(sections.size(), 2);
    EXPECT_FALSE(sections.contains(QStringLiteral("Theme2")));
    EXPECT_EQ(QSettings(m_File, QSettings::IniFormat).value(QStringLiteral("Theme1/Name")),
        QStringLiteral("Sea"));
}

TEST_F(ThemeEditorTest, ATextAbove255IsMarkedExplainedAndNeverStored) {
    m_Editor.show();
    Answer(idYes);
    SetCell(3, QStringLiteral("300,0,0"));
    EXPECT_TRUE(m_Editor.lblColorError->isVisible());
    EXPECT_TRUE(m_Editor.lblColorError->text().contains(QStringLiteral("Text color")));
    EXPECT_TRUE(m_Editor.lblColorError->text().contains(QStringLiteral("255")));
    EXPECT_FALSE(m_Editor.ReadTheme(TTheme {}));

    TypeName(QStringLiteral("Wood"));
    m_Editor.btnSaveThemeClick();
    TypeName(QStringLiteral("Broken"));
    m_Editor.btnSaveThemeClick();
    EXPECT_TRUE(m_Asked.empty());
    EXPECT_EQ(m_Editor.ThemeList.Themes.size(), 3u);
    EXPECT_EQ(m_Editor.ThemeList.Themes[0].Board, 1u);

    // Painting a refused cell's swatch is harmless.
    m_Editor.vlsColors->grab();

    SetCell(3, QStringLiteral("30,0,0"));
    EXPECT_FALSE(m_Editor.lblColorError->isVisible());
    TTheme base;
    base.Name = QStringLiteral("Untouched");
    const auto read = m_Editor.ReadTheme(base);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Name, QStringLiteral("Untouched"));
    EXPECT_EQ(read->Text, 30u);
}

TEST_F(ThemeEditorTest, TheEditButtonPicksAColourAndClearsTheThemeName) {
    m_Editor.cmbThemes->setCurrentIndex(0);
    SetCell(4, QStringLiteral("1,2,3"));
    QColor offered;
    m_Editor.ChooseColor = [&](QColor initial) -> std::optional<QColor> {
        offered = initial;
        return std::nullopt;
    };
    m_Editor.vlsColorsEditButtonClick(4);
    EXPECT_EQ(offered, QColor(1, 2, 3));
    EXPECT_EQ(Cell(4), QStringLiteral("1,2,3"));
    EXPECT_EQ(m_Editor.ThemeName(), QStringLiteral("Wood"));

    m_Editor.ChooseColor = [](QColor) -> std::optional<QColor> { return QColor(200, 100, 50); };
    m_Editor.vlsColorsEditButtonClick(4);
    EXPECT_EQ(Cell(4), QStringLiteral("200,100,50"));
    EXPECT_EQ(m_Editor.ThemeName(), QString());
    EXPECT_EQ(m_Editor.cmbThemes->currentIndex(), -1);

    // Through the button of the cell's editor: a typed text is taken first, then replaced.
    m_Editor.show();
    QTableWidget* grid = m_Editor.vlsColors;
    grid->setCurrentCell(6, 1);
    auto* button = grid->findChild<QToolButton*>(QStringLiteral("btnEditColor"));
    ASSERT_NE(button, nullptr);
    auto* edit = button->parentWidget()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("9,8,7"));
    m_Editor.ChooseColor = [&](QColor initial) -> std::optional<QColor> {
        offered = initial;
        return QColor(0, 0, 255);
    };
    QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(offered, QColor(9, 8, 7));
    EXPECT_EQ(Cell(6), QStringLiteral("0,0,255"));
}

TEST(ColorPicker, OpensTheDialogOnClickEnterAndSpaceAndEmitsTheColour) {
    TColorPicker picker;
    EXPECT_EQ(picker.size(), QSize(25, 25));
    EXPECT_EQ(picker.focusPolicy(), Qt::StrongFocus);
    picker.SetColor(0xFFFFFF);
    picker.show();

    int opened = 0;
    std::optional<QColor> answer = QColor(255, 0, 0);
    picker.ChooseColor = [&](QColor) {
        ++opened;
        return answer;
    };
    std::vector<TColor> changes;
    int clicks = 0;
    QObject::connect(&picker, &TColorPicker::colorChanged, [&](TColor c) { changes.push_back(c); });
    QObject::connect(&picker, &TColorPicker::clicked, [&] { ++clicks; });

    QTest::mouseClick(&picker, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(picker.Color(), 0x0000FFu);
    EXPECT_EQ(changes, std::vector<TColor> { 0x0000FF });
    EXPECT_EQ(clicks, 1);

    answer = QColor(0, 255, 0);
    QTest::keyClick(&picker, Qt::Key_Return);
    EXPECT_EQ(picker.Color(), 0x00FF00u);
    answer = QColor(0, 0, 255);
    QTest::keyClick(&picker, Qt::Key_Space);
    EXPECT_EQ(picker.Color(), 0xFF0000u);
    EXPECT_EQ(opened, 3);

    // Cancelled: the click still fires, the colour stays.
    answer = std::nullopt;
    QTest::keyClick(&picker, Qt::Key_Enter);
    EXPECT_EQ(opened, 4);
    EXPECT_EQ(clicks, 4);
    EXPECT_EQ(changes.size(), 3u);

    QTest::keyClick(&picker, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&picker, Qt::Key_A);
    EXPECT_EQ(opened, 4);
}

// The control painted at one image pixel per widget pixel, whatever the screen's scale.
QImage Painted(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

TEST(ColorPicker, PaintsLoweredOuterAndRaisedInnerBevelsAroundTheColour) {
    TColorPicker picker;
    picker.SetColor(0x00FF00);
    const QImage image = Painted(picker);
    const QPalette& colours = picker.palette();
    const QRgb shadow = colours.color(QPalette::Dark).rgb();
    const QRgb light = colours.color(QPalette::Light).rgb();
    // Outer lowered: shadow at the top left, light at the bottom right; inner raised: reversed.
    EXPECT_EQ(image.pixel(0, 0), shadow);
    EXPECT_EQ(image.pixel(24, 24), light);
    EXPECT_EQ(image.pixel(1, 1), light);
    EXPECT_EQ(image.pixel(23, 23), shadow);
    EXPECT_EQ(picker.ColorRect(), QRect(2, 2, 21, 21));
    EXPECT_EQ(image.pixel(2, 2), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(12, 12), qRgb(0, 255, 0));

    picker.SetBevelOuter(TColorPicker::bvNone);
    picker.SetBorderWidth(2);
    EXPECT_EQ(picker.ColorRect(), QRect(3, 3, 19, 19));
    const QImage framed = Painted(picker);
    EXPECT_EQ(framed.pixel(0, 0), colours.color(QPalette::Button).rgb());
    EXPECT_EQ(framed.pixel(2, 2), light);
    EXPECT_EQ(framed.pixel(3, 3), qRgb(0, 255, 0));
}
