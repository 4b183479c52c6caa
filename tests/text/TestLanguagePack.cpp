// The language file reader and writer: the file layout byte for byte, refusal of damaged and
// hostile files, lookups, and the langtool's compile/decompile round trip.

#include "LanguagePack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Builds the bytes of a language file.
class TBytes {
public:
    TBytes& U16(uint16_t v) {
        Data += static_cast<char>(v & 0xFF);
        Data += static_cast<char>(v >> 8);
        return *this;
    }
    TBytes& I32(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            Data += static_cast<char>((u >> (8 * i)) & 0xFF);
        return *this;
    }
    TBytes& Text(const std::string& text) {
        I32(static_cast<int32_t>(text.size()));
        Data += text;
        return *this;
    }
    TBytes& Magic(uint16_t version = 200) { return Text("LanguageFile").U16(version); }
    std::string Data;
};

class LanguagePackTest : public testing::Test {
protected:
    void SetUp() override {
        m_Dir = fs::temp_directory_path()
            / ("wm_lang_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_"
                + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_Dir);
    }
    void TearDown() override { fs::remove_all(m_Dir); }

    std::string Write(const std::string& bytes, const std::string& name = "test.lang") {
        const std::string path = (m_Dir / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
        return path;
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Path(const std::string& name) { return (m_Dir / name).string(); }

    // A file with two sections, the second holding two pairs.
    static std::string SampleFile() {
        return TBytes()
            .Magic()
            .Text("Français")
            .U16(7)
            .U16(2)
            .Text("frmMain")
            .U16(1)
            .Text("btnReady")
            .Text("Prêt")
            .Text("values")
            .U16(2)
            .Text("Pieces")
            .Text("PCTFDR")
            .Text("Res01")
            .Text("")
            .Data;
    }

    fs::path m_Dir;
};

TEST_F(LanguagePackTest, SmallestFileWithMagicIs26BytesAndLoadsWithoutSections) {
    const std::string bytes = TBytes().Magic().Text("").U16(0).U16(0).Data;
    ASSERT_EQ(bytes.size(), 26u);
    TLangPack pack;
    pack.LanguageName = "stale";
    ASSERT_TRUE(pack.LoadFromFile(Write(bytes)));
    EXPECT_EQ(pack.LanguageName, "");
    EXPECT_TRUE(pack.Sections().empty());

    // The writer produces exactly these bytes for an empty pack.
    TLangPack empty;
    ASSERT_TRUE(empty.SaveToFile(Path("empty.lang")));
    EXPECT_EQ(Read(Path("empty.lang")), bytes);
}

TEST_F(LanguagePackTest, ReadsSectionsPairsAndHeaderInFileOrder) {
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromFile(Write(SampleFile())));
    EXPECT_EQ(pack.LanguageName, "Français");
    EXPECT_EQ(pack.HeaderWord, 7);
    ASSERT_EQ(pack.Sections().size(), 2u);
    EXPECT_EQ(pack.Sections()[0].Name, "frmMain");
    EXPECT_EQ(pack.Sections()[1].Texts[1].Key, "Res01");
    EXPECT_EQ(pack.FindText("values", "Pieces")->Text, "PCTFDR");
    EXPECT_EQ(pack.FindText("values", "Res01")->Text, "");

    // The writer gives back the same bytes.
    ASSERT_TRUE(pack.SaveToFile(Path("copy.lang")));
    EXPECT_EQ(Read(Path("copy.lang")), SampleFile());
}

TEST_F(LanguagePackTest, OnlyVersion200IsRead) {
    for (const uint16_t version : { 199, 201, 0, 65535 }) {
        TLangPack pack;
        EXPECT_FALSE(pack.LoadFromFile(Write(TBytes().Magic(version).Text("x").U16(0).U16(0).Data)))
            << version;
        EXPECT_FALSE(pack.ReadHeader(Write(TBytes().Magic(version).Text("x").U16(0).U16(0).Data)))
            << version;
    }
}

TEST_F(LanguagePackTest, FileWithoutMagicIsReadFromItsFirstByte) {
    const std::string bytes = TBytes()
                                  .Text("Deutsch")
                                  .U16(3)
                                  .U16(1)
                                  .Text("frmChat")
                                  .U16(1)
                                  .Text("btnSend")
                                  .Text("Senden")
                                  .Data;
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromFile(Write(bytes)));
    EXPECT_EQ(pack.LanguageName, "Deutsch");
    EXPECT_EQ(pack.HeaderWord, 3);
    EXPECT_EQ(pack.FindText("frmChat", "btnSend")->Text, "Senden");
}

TEST_F(LanguagePackTest, EveryTruncationIsRefusedAndLeavesThePackEmpty) {
    const std::string full = SampleFile();
    for (size_t length = 0; length < full.size(); ++length) {
        TLangPack pack;
        pack.AddText("old", "k", "v");
        EXPECT_FALSE(pack.LoadFromFile(Write(full.substr(0, length)))) << length;
        EXPECT_TRUE(pack.Sections().empty()) << length;
        EXPECT_EQ(pack.LanguageName, "") << length;
    }
}

TEST_F(LanguagePackTest, HostileLengthsAndCountsAreRefused) {
    const std::string hostile[] = {
        // Negative and huge text lengths.
        TBytes().Magic().I32(-1).Data,
        TBytes().Magic().I32(INT32_MAX).Data,
        TBytes().I32(INT32_MIN).U16(0).U16(0).Data,
        TBytes().Magic().Text("x").U16(0).U16(1).I32(0x7FFFFFF0).Data,
        // Counts far beyond what the data holds.
        TBytes().Magic().Text("x").U16(0).U16(65535).Text("s").U16(0).Data,
        TBytes().Magic().Text("x").U16(0).U16(1).Text("s").U16(65535).Text("k").Text("v").Data,
        TBytes().Magic().Text("x").U16(0).U16(1).Text("s").U16(1).Text("k").I32(-5).Data,
    };
    for (const std::string& bytes : hostile) {
        TLangPack pack;
        EXPECT_FALSE(pack.LoadFromFile(Write(bytes)));
        EXPECT_TRUE(pack.Sections().empty());
    }
}

TEST_F(LanguagePackTest, MissingFilesFoldersAndOversizedFilesAreRefused) {
    TLangPack pack;
    EXPECT_FALSE(pack.LoadFromFile(Path("missing.lang")));
    EXPECT_FALSE(pack.LoadFromFile(m_Dir.string()));
    EXPECT_FALSE(pack.ReadHeader(Path("missing.lang")));
    std::string big
        = TBytes().Magic().Text(std::string(TLangPack::MaxFileSize, 'a')).U16(0).U16(0).Data;
    EXPECT_FALSE(pack.LoadFromFile(Write(big)));
}

TEST_F(LanguagePackTest, SingleByteTextIsReadAsWindows1252) {
    const std::string bytes = TBytes()
                                  .Magic()
                                  .Text("Fran\xE7"
                                        "ais")
                                  .U16(0)
                                  .U16(0)
                                  .Data;
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromFile(Write(bytes)));
    EXPECT_EQ(pack.LanguageName, "Français");
}

TEST_F(LanguagePackTest, ReadHeaderReadsNameAndWordOnlyAndKeepsThemOnFailure) {
    TLangPack pack;
    ASSERT_TRUE(pack.ReadHeader(Write(SampleFile())));
    EXPECT_EQ(pack.LanguageName, "Français");
    EXPECT_EQ(pack.HeaderWord, 7);
    EXPECT_TRUE(pack.Sections().empty());
    // A header that ends early changes nothing; the sections are never needed.
    EXPECT_FALSE(pack.ReadHeader(Write(TBytes().Magic().Text("Español").Data)));
    EXPECT_EQ(pack.LanguageName, "Français");
    EXPECT_TRUE(pack.ReadHeader(Write(TBytes().Magic().Text("Español").U16(1).U16(9).Data)));
    EXPECT_EQ(pack.LanguageName, "Español");
}

TEST_F(LanguagePackTest, LookupsAreExactAndFindTheFirstMatch) {
    TLangPack pack;
    pack.AddText("frmMain", "btnReady", "first");
    pack.AddText("frmMain", "btnReady", "second");
    pack.AddText("frmMain", "", "empty key");
    pack.AddText("", "key", "empty section");
    EXPECT_EQ(pack.FindText("frmMain", "btnReady")->Text, "first");
    EXPECT_EQ(pack.FindText("frmmain", "btnReady"), nullptr);
    EXPECT_EQ(pack.FindText("frmMain", "btnready"), nullptr);
    EXPECT_EQ(pack.FindSection("FRMMAIN"), nullptr);
    EXPECT_EQ(pack.FindText("frmMain", ""), nullptr);
    EXPECT_EQ(pack.FindSection(""), nullptr);
    EXPECT_EQ(pack.FindText("", "key"), nullptr);
    pack.Clear();
    EXPECT_EQ(pack.FindSection("frmMain"), nullptr);
    EXPECT_EQ(pack.HeaderWord, 0);
}

// The langtool, run as a program.
class LangToolTest : public LanguagePackTest {
protected:
    int Run(const std::string& arguments) {
        const std::string command = std::string("\"") + WINTERMOOT_LANGTOOL + "\" " + arguments
            + " 2>\"" + Path("stderr.txt") + "\"";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Errors() { return Read(Path("stderr.txt")); }
    std::string Quoted(const std::string& name) {
        std::string quoted(1, '"');
        quoted += Path(name);
        quoted += '"';
        return quoted;
    }
};

TEST_F(LangToolTest, CompileDecompileRoundTripIsExact) {
    Write("# comment\n"
          "language=Español\r\n"
          "word=513\n"
          "\n"
          "[frmMain]\n"
          "btnReady=¡Estoy listo! \n"
          "lblTwoLines=one\\ntwo\\\\three\n"
          "a\\=b=c=d\n"
          "\\#hash=x\n"
          "\\[open=y\n"
          "=empty key\n"
          "empty text=\n"
          "[empty]\n"
          "[messages]\n"
          "M4=; a abandonné la partie.\n",
        "source.txt");
    ASSERT_EQ(Run("compile " + Quoted("source.txt") + " " + Quoted("one.lang")), 0) << Errors();
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromFile(Path("one.lang")));
    EXPECT_EQ(pack.LanguageName, "Español");
    EXPECT_EQ(pack.HeaderWord, 513);
    EXPECT_EQ(pack.FindText("frmMain", "btnReady")->Text, "¡Estoy listo! ");
    EXPECT_EQ(pack.FindText("frmMain", "lblTwoLines")->Text, "one\ntwo\\three");
    EXPECT_EQ(pack.FindText("frmMain", "a=b")->Text, "c=d");
    EXPECT_EQ(pack.FindText("frmMain", "#hash")->Text, "x");
    EXPECT_EQ(pack.FindText("frmMain", "[open")->Text, "y");
    EXPECT_EQ(pack.Sections()[0].Texts[5].Key, "");
    ASSERT_NE(pack.FindSection("empty"), nullptr);
    EXPECT_TRUE(pack.FindSection("empty")->Texts.empty());

    ASSERT_EQ(Run("decompile " + Quoted("one.lang") + " " + Quoted("back.txt")), 0) << Errors();
    ASSERT_EQ(Run("compile " + Quoted("back.txt") + " " + Quoted("two.lang")), 0) << Errors();
    EXPECT_EQ(Read(Path("one.lang")), Read(Path("two.lang")));
    ASSERT_EQ(Run("decompile " + Quoted("two.lang") + " " + Quoted("again.txt")), 0);
    EXPECT_EQ(Read(Path("back.txt")), Read(Path("again.txt")));
}

TEST_F(LangToolTest, ErrorsNameTheLineAndExitWithStatus2) {
    const std::pair<std::string, std::string> bad[] = {
        { "language=x\n[s]\nno separator\n", ":3:" },
        { "language=x\nword=70000\n", ":2:" },
        { "language=x\nstray=1\n", ":2:" },
        { "[s]\nk=bad \\q escape\n", ":2:" },
        { "[s]\nk=\xFF\xFE\n", ":2:" },
        { "[unclosed\n", ":1:" },
    };
    for (const auto& [source, where] : bad) {
        Write(source, "bad.txt");
        EXPECT_EQ(Run("compile " + Quoted("bad.txt") + " " + Quoted("bad.lang")), 2) << source;
        EXPECT_NE(Errors().find(where), std::string::npos) << source << Errors();
        EXPECT_FALSE(fs::exists(Path("bad.lang"))) << source;
    }
    Write("not a language file", "junk.lang");
    EXPECT_EQ(Run("decompile " + Quoted("junk.lang") + " " + Quoted("junk.txt")), 2);
    EXPECT_EQ(Run("frobnicate"), 2);
}

} // namespace
