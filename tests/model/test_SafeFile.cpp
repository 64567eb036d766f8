#include "FullDisk.h"
#include "IniFile.h"
#include "MainFormSettings.h"
#include "SafeFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& Path) {
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(SafeFile, ReplacesAFileKeepingItsPermissionsAndLinks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    EXPECT_EQ(SafeFile::Write(path, "first"), "");
    EXPECT_EQ(ReadAll(path), "first");

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path, dir.filePath("link.txt")));
    EXPECT_EQ(SafeFile::Write(dir.filePath("link.txt"), "second"), "");
    EXPECT_TRUE(QFileInfo(dir.filePath("link.txt")).isSymLink());
    EXPECT_EQ(ReadAll(path), "second");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    EXPECT_EQ(SafeFile::Write(dir.path(), "x"), QString::fromLocal8Bit(std::strerror(EISDIR)));
    EXPECT_EQ(SafeFile::Write(dir.filePath("no/such/folder.txt"), "x"),
              QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"link.txt", "trace.txt"}));
}

// On a full disk every writer fails with the system's reason, leaves the old file byte for
// byte and no temporary file behind; a new name is not created at all.
TEST(SafeFile, AFullDiskLeavesTheOldFile) {
    TFullDisk disk;
    const QByteArray old(600, 'o');
    disk.Put("old.csv", old);
    disk.Put("settings.ini", "[MainForm]\r\nWidth=800\r\n\r\n[Other]\r\nKept=1\r\n");
    disk.Fill();

    EXPECT_EQ(SafeFile::Write(disk.FilePath("old.csv"), "short"), disk.Reason());
    EXPECT_EQ(SafeFile::Write(disk.FilePath("new.csv"), "short"), disk.Reason());
    EXPECT_EQ(SafeFile::Write(disk.FilePath("large.csv"), QByteArray(1 << 20, 'x')), disk.Reason());
    EXPECT_EQ(disk.Read("old.csv"), old);

    // The settings: the first key that fails ends the save with its reason.
    TIniFile ini(disk.FilePath("settings.ini"));
    EXPECT_FALSE(ini.WriteInteger("MainForm", "Width", 900));
    EXPECT_EQ(ini.WriteError(), disk.Reason());
    EXPECT_EQ(disk.Read("settings.ini"), "[MainForm]\r\nWidth=800\r\n\r\n[Other]\r\nKept=1\r\n");
    EXPECT_EQ(disk.Files(), QStringList({"old.csv", "settings.ini"}));
}

} // namespace
