// Whole-file writes: a write that works replaces the file and leaves nothing else; a write that
// fails, for whatever reason, leaves the old file as it was and no temporary file.

#include "AtomicFile.h"
#include "LanguagePack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AtomicFileTest : public testing::Test {
protected:
    QString Path(const QString& name) const { return m_Dir.filePath(name); }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    void WriteOld(const QString& name) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(Old), Old.size());
    }
    QStringList Entries() const {
        return QDir(m_Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_Dir;
    const QByteArray Old = "old contents\n";
};

TEST_F(AtomicFileTest, AWriteReplacesTheFileAndLeavesNothingElse) {
    WriteOld("a.dat");
    const QByteArray bytes("new\0bytes\r\n", 11);
    QString error = "untouched";
    ASSERT_TRUE(WriteFileAtomically(Path("a.dat"), bytes, &error));
    EXPECT_EQ(Read(Path("a.dat")), bytes);
    EXPECT_EQ(error, "untouched") << "no reason is given for a write that worked";
    ASSERT_TRUE(WriteFileAtomically(Path("b.dat"), std::string("from a string")));
    EXPECT_EQ(Read(Path("b.dat")), "from a string");
    ASSERT_TRUE(WriteFileAtomically(Path("a.dat"), QByteArray()));
    EXPECT_EQ(Read(Path("a.dat")), QByteArray());
    EXPECT_EQ(Entries(), (QStringList { "a.dat", "b.dat" }));
}

TEST_F(AtomicFileTest, AFolderThatCannotHoldTheFileFailsWithAReason) {
    WriteOld("plain");
    for (const QString& target : { Path("missing/a.dat"), Path("plain/a.dat"), Path("") }) {
        QString error;
        EXPECT_FALSE(WriteFileAtomically(target, QByteArray("x"), &error)) << target.toStdString();
        EXPECT_FALSE(error.isEmpty()) << target.toStdString();
    }
    EXPECT_EQ(Read(Path("plain")), Old);
    EXPECT_EQ(Entries(), QStringList { "plain" });
}

TEST_F(AtomicFileTest, AFolderInThePlaceOfTheFileIsLeftAsItWas) {
    ASSERT_TRUE(QDir(m_Dir.path()).mkdir("taken"));
    WriteOld("taken/inside");
    EXPECT_FALSE(WriteFileAtomically(Path("taken"), QByteArray("x")));
    EXPECT_EQ(Read(Path("taken/inside")), Old);
    EXPECT_EQ(Entries(), QStringList { "taken" });
}

// A disk that fills up during the write is a short write: the save fails instead of putting a
// cut-short file in place. The limit on file sizes stands in for the full disk, in a child
// process so that the limit does not reach the test itself.
TEST_F(AtomicFileTest, ADiskThatFillsUpLeavesTheOldFile) {
    WriteOld("a.dat");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 512, 512 };
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(WriteFileAtomically(Path("a.dat"), QByteArray(4096, 'x')) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(Read(Path("a.dat")), Old);
    EXPECT_EQ(Entries(), QStringList { "a.dat" });
}

// The language pack writes through the same helper: no ".tmp" file of its own any more, and a
// name that would be written under another name is refused.
TEST_F(AtomicFileTest, TheLanguagePackLeavesOnlyItsFile) {
    TLangPack pack;
    pack.AddText("Main", "Title", "Wintermoot");
    ASSERT_TRUE(pack.SaveToFile(Path("one.lang").toStdString()));
    EXPECT_FALSE(pack.SaveToFile(Path("missing/one.lang").toStdString()));
    EXPECT_FALSE(pack.SaveToFile(m_Dir.path().toStdString() + "/bad\xFF.lang"));
    EXPECT_EQ(Entries(), QStringList { "one.lang" });
}

} // namespace
