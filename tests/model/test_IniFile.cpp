#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct IniFileTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath("settings.ini");

    void WriteRaw(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadRaw() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(IniFileTest, WritesKeysInOrderAndKeepsOtherSections) {
    WriteRaw("[ScopeForm]\r\nXRange=600\r\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("MainForm", "Width", "800"));
    ASSERT_TRUE(ini.WriteString("MainForm", "Height", "600"));
    ASSERT_TRUE(ini.WriteString("mainform", "WIDTH", "900")); // names compare case-insensitively
    EXPECT_EQ(ReadRaw(),
              "[ScopeForm]\r\nXRange=600\r\n\r\n[MainForm]\r\nWIDTH=900\r\nHeight=600\r\n");
    EXPECT_EQ(ini.ReadString("ScopeForm", "XRange", ""), "600");
    EXPECT_EQ(ini.ReadInteger("MainForm", "width", 0), 900);
    EXPECT_EQ(ini.ReadInteger("MainForm", "Missing", 42), 42);
}

TEST_F(IniFileTest, AddsKeyToTheEndOfItsSectionNotTheFile) {
    WriteRaw("[MainForm]\nWidth=1\n\n[ScopeForm]\nXRange=600\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("MainForm", "Height", "2"));
    // The file's own line ends are kept.
    EXPECT_EQ(ReadRaw(), "[MainForm]\nWidth=1\nHeight=2\n\n[ScopeForm]\nXRange=600\n");
}

TEST_F(IniFileTest, LinesItDoesNotOwnAreKeptByteForByte) {
    // Latin-1 text of another program, a line without '=', and a last line without a line end.
    const QByteArray other = "[Other]\r\nPath=C:\\Donn\xe9"
                             "es\\\xff\r\n\x01garbage\r\nTail=\xe9";
    WriteRaw(other);
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("MainForm", "Width", "900"));
    ASSERT_TRUE(ini.WriteString("MainForm", "Width", "901"));
    EXPECT_EQ(ReadRaw(), other + "\r\n\r\n[MainForm]\r\nWidth=901\r\n");
}

TEST_F(IniFileTest, AFileItWroteIsAlwaysOneItReads) {
    // An LF file just under the limit stays LF, so a rewrite does not push it over.
    const QByteArray key = "[MainForm]\nWidth=1000\n";
    QByteArray filler;
    while (filler.size() + key.size() + 32 < TIniFile::MaxFileSize)
        filler += "; filler line of another program\n";
    WriteRaw(filler + key);
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteInteger("MainForm", "Width", 1001));
    EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 0), 1001);
    // A write that would cross the limit is refused and leaves the file as it was.
    const QByteArray before = ReadRaw();
    EXPECT_FALSE(ini.WriteString("MainForm", "Note", QString(64, 'x')));
    EXPECT_EQ(ReadRaw(), before);
    EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 0), 1001);
}

TEST_F(IniFileTest, ParsesBooleansAndIntegers) {
    struct Case {
        const char* value;
        bool ok;
        bool result;
    };
    const Case cases[] = {{"-1", true, true},    {"0", true, false},     {"7", true, true},
                          {"true", true, true},  {"False", true, false}, {" 0 ", true, false},
                          {"yes", false, false}, {"", false, false},     {"1.5", false, false}};
    TIniFile ini(path);
    for (const Case& c : cases) {
        WriteRaw(QByteArray("[S]\nB=") + c.value + "\n");
        SCOPED_TRACE(c.value);
        if (c.ok)
            EXPECT_EQ(ini.ReadBool("S", "B", !c.result), c.result);
        else
            EXPECT_THROW(ini.ReadBool("S", "B", true), EIniFileError);
    }
    WriteRaw("[S]\nN=-25\nZeros=007\nBad=12px\nHex=$10\nCHex=0x10\n");
    EXPECT_EQ(ini.ReadInteger("S", "N", 0), -25);
    EXPECT_EQ(ini.ReadInteger("S", "Zeros", 0), 7); // decimal, never octal
    EXPECT_EQ(ini.ReadInteger("S", "Missing", 42), 42);
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
    EXPECT_THROW(ini.ReadInteger("S", "Bad", 0), EIniFileError);
    EXPECT_THROW(ini.ReadInteger("S", "Hex", 0), EIniFileError);
    EXPECT_THROW(ini.ReadInteger("S", "CHex", 0), EIniFileError);
}

TEST_F(IniFileTest, GarbageBinaryAndTruncatedFilesReadAsDefaults) {
    for (const QByteArray& bytes :
         {QByteArray("\x00\xff\xfe[Main\x00Form]\n=\n==\n[", 16), QByteArray("[MainForm"),
          QByteArray("Width=5\n"), QByteArray(4000, '\n')}) {
        WriteRaw(bytes);
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 11), 11);
    }
}

TEST_F(IniFileTest, UnreadableOrHugeFilesRaiseAndAreNeverOverwritten) {
    WriteRaw(QByteArray(TIniFile::MaxFileSize + 10, 'x'));
    TIniFile huge(path);
    EXPECT_THROW(huge.ReadString("MainForm", "Width", ""), EIniFileError);
    EXPECT_FALSE(huge.WriteString("MainForm", "Width", "1"));
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 10);

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    TIniFile folder(dir.filePath("folder.ini"));
    EXPECT_THROW(folder.ReadString("MainForm", "Width", ""), EIniFileError);
    EXPECT_FALSE(folder.WriteString("MainForm", "Width", "1"));

    TIniFile nowhere(dir.filePath("missing/sub/settings.ini"));
    EXPECT_FALSE(nowhere.WriteString("MainForm", "Width", "1"));
}

} // namespace
