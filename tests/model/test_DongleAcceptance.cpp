#include "DongleAcceptance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace DongleAcceptance;

namespace {

void Write(const QString& Path, const QByteArray& Bytes) {
    QDir().mkpath(QFileInfo(Path).path());
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Bytes);
}

TEST(DongleAcceptance, FirmwareAgainstTheModelsMinimum) {
    struct Case {
        const char* name;
        quint16 product;
        quint32 version;
        qint32 minimum;
        bool current;
    };
    const Case cases[] = {
        {"LK600 at its minimum", LK600, 0x0105, 0x0105, true},
        {"LK600 below", LK600, 0x0104, 0x0105, false},
        {"RM800: only the low byte counts", RM800, 0x0203, 3, true},
        {"RM800: a larger whole version is still below", RM800, 0x0203, 4, false},
        {"compared unsigned", LK620, 0x80000000, 0x7FFFFFFF, true},
        {"a minimum of FFFFFFFF refuses everything", LK610, 0x7FFFFFFF, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FirmwareCurrent(c.product, c.version, c.minimum), c.current);
    }
    const TMinVer minVer{1, 2, 3, 4, 5};
    EXPECT_EQ(MinimumFor(LK610, minVer), 5);
    EXPECT_EQ(MinimumFor(LK510, minVer), std::nullopt);
    EXPECT_EQ(MinimumFor(0x0109, minVer), std::nullopt);
    EXPECT_TRUE(IsCompatible(0x01FF));
    EXPECT_FALSE(IsCompatible(0x0201));
    EXPECT_TRUE(Fixed3V3(MV800));
    EXPECT_FALSE(Fixed3V3(LK620));
}

TEST(DongleAcceptance, MinimumVersionFiles) {
    struct Case {
        const char* name;
        QByteArray text;
        bool ok;
        TMinVer read;
    };
    const Case cases[] = {
        {"all keys, either case",
         "[CT]\nLK600=105\nMV800=1a0\nRM800=3\nLK620=0FFF\nLK610=7\n",
         true,
         {0x105, 0x1A0, 3, 0xFFF, 7}},
        {"missing keys count 0", "[CT]\nRM800=4\n", true, {0, 0, 4, 0, 0}},
        {"empty file", "", true, {}},
        {"binary", QByteArray("\x00\xff[CT]\x00\nLK600", 13), true, {}},
        {"a bad value stops the reading",
         "[CT]\nLK600=105\nMV800=1g\nRM800=3\n",
         false,
         {0x105, 0, 0, 0, 0}},
        {"an empty value is no number", "[CT]\nLK600=\n", false, {}},
        {"huge", QByteArray(TIniFile::MaxFileSize + 1, 'x'), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Write(dir.filePath("minver.ini"), c.text);
        TMinVer read;
        EXPECT_EQ(ReadMinVer(TIniFile(dir.filePath("minver.ini")), read), c.ok);
        EXPECT_EQ(read.LK600, c.read.LK600);
        EXPECT_EQ(read.MV800, c.read.MV800);
        EXPECT_EQ(read.RM800, c.read.RM800);
        EXPECT_EQ(read.LK620, c.read.LK620);
        EXPECT_EQ(read.LK610, c.read.LK610);
    }
}

TEST(DongleAcceptance, DescriptionOfTheDongle) {
    EXPECT_EQ(Description(true, 0x0105, 0x2150, 0x0104, "S"), "Firmware Version : 01.05");
    EXPECT_EQ(Description(false, 0x12345, 0x2150, 0x0102, "SIM1"),
              "Firmware Version : 12.34\rVendor ID : 2150\rProduct ID : 0102\r"
              "Serial Number : SIM1");
    EXPECT_EQ(Description(true, std::nullopt, 0, 0, ""), "Firmware Version : unknown");
}

TEST(DongleAcceptance, UpdaterIsFoundUserFolderFirst) {
    QTemporaryDir user, system, install;
    const QStringList folders{user.path(), system.path()};
    EXPECT_FALSE(FindUpdaterEntry(folders).Found);

    Write(system.filePath("Kelvra/Upflare.ini"),
          "[Kelvra_Upflare]\nInstall_Dir=" + install.path().toUtf8() + "\n");
    Write(user.filePath("Kelvra/Upflare.ini"), "[Other]\nInstall_Dir=/nowhere\n");
    TUpdaterEntry entry = FindUpdaterEntry(folders);
    EXPECT_TRUE(entry.Found); // the user's file has no entry of the updater
    EXPECT_EQ(entry.InstallDir, install.path());

    Write(user.filePath("Kelvra/Upflare.ini"), "[Kelvra_Upflare]\nInstall_Dir=/nowhere\n");
    EXPECT_EQ(FindUpdaterEntry(folders).InstallDir, "/nowhere");
    EXPECT_TRUE(UpdaterProgram("/nowhere").isEmpty());

    // The program must be there and executable.
    const QString program = install.filePath("Kelvra Upflare");
    EXPECT_TRUE(UpdaterProgram(install.path()).isEmpty());
    Write(program, "#!/bin/sh\n");
    EXPECT_TRUE(UpdaterProgram(install.path()).isEmpty());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(UpdaterProgram(install.path()), program);

    Write(user.filePath("Kelvra/Upflare.ini"), QByteArray(TIniFile::MaxFileSize + 1, '['));
    EXPECT_TRUE(FindUpdaterEntry(folders).ReadFailed);
}

} // namespace
