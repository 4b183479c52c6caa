// Qt's own texts (the message boxes' standard buttons) follow the interface language: the main
// window installs Qt's translation for the language of the pack it applies, from Qt's
// translations folder, and takes it back for English.

#include "FormMain.h"
#include "QtTranslations.h"
#include "UnitMessages.h"

#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TQtTextCase {
    const char* Name;
    const char* Pack;
    const char* Code;
    const char* Yes;
    const char* No;
    const char* Cancel;
};

void PrintTo(const TQtTextCase& c, std::ostream* out) {
    *out << c.Name;
}

class QtTranslationsTest : public testing::TestWithParam<TQtTextCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        Main = std::make_unique<TfrmMain>();
    }
    void TearDown() override {
        Main.reset();
        Messages().RestoreDefaults();
    }

    // The standard buttons' texts of a message box made now.
    static QStringList ButtonTexts() {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return { box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
            box.button(QMessageBox::Cancel)->text() };
    }

    QTemporaryDir m_Home;
    std::unique_ptr<TfrmMain> Main;
};

TEST_P(QtTranslationsTest, TheStandardButtonsSpeakTheInterfaceLanguage) {
    const TQtTextCase& c = GetParam();
    const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath)
        + QStringLiteral("/qtbase_%1.qm").arg(QLatin1String(c.Code));
    if (*c.Code && !QFile::exists(qm))
        GTEST_SKIP() << qm.toStdString() << " is not installed (Debian: qt6-translations-l10n)";
    const QStringList english = ButtonTexts();
    ASSERT_TRUE(Main->LoadLanguage(QString::fromLatin1(c.Pack)));
    EXPECT_EQ(ButtonTexts(),
        QStringList(
            { QString::fromUtf8(c.Yes), QString::fromUtf8(c.No), QString::fromUtf8(c.Cancel) }));
    // English again takes Qt's translation back.
    ASSERT_TRUE(Main->LoadLanguage(QStringLiteral("TolvanEn.lang")));
    EXPECT_EQ(ButtonTexts(), english);
}

INSTANTIATE_TEST_SUITE_P(Packs, QtTranslationsTest,
    testing::Values(TQtTextCase { "French", "TolvanFr.lang", "fr", "&Oui", "&Non", "Annuler" },
        TQtTextCase { "German", "TolvanDe.lang", "de", "&Ja", "&Nein", "Abbrechen" },
        TQtTextCase { "Spanish", "TolvanEs.lang", "es", "&Sí", "&No", "Cancelar" },
        TQtTextCase { "English", "TolvanEn.lang", "", "&Yes", "&No", "Cancel" }),
    [](const testing::TestParamInfo<TQtTextCase>& info) { return std::string(info.param.Name); });

TEST(QtTranslations, ALanguageIsKnownByItsOwnNameOrItsEnglishOne) {
    EXPECT_EQ(LanguageCode(QStringLiteral("Français")), QStringLiteral("fr"));
    EXPECT_EQ(LanguageCode(QStringLiteral("deutsch")), QStringLiteral("de"));
    EXPECT_EQ(LanguageCode(QStringLiteral("Español")), QStringLiteral("es"));
    EXPECT_EQ(LanguageCode(QStringLiteral("English")), QStringLiteral("en"));
    EXPECT_EQ(LanguageCode(QStringLiteral("Italian")), QStringLiteral("it"));
    EXPECT_EQ(LanguageCode(QStringLiteral("Klingon")), QString());
    EXPECT_EQ(LanguageCode(QString()), QString());
}

} // namespace
