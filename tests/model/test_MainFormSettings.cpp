#include "MainFormSettings.h"

#include <QFile>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A window on a desktop with one 1920 x 1080 monitor.
struct FakeWindow : TMainFormSettingsTarget {
    QRect geometry{100, 100, 1252, 700};
    bool maximized = false;
    bool hints = true, delta = false, tips = true;
    int deltaClicks = 0;

    QRect OuterGeometry() const override { return geometry; }
    bool IsMaximized() const override { return maximized; }
    bool MonitorContains(QPoint p) const override { return QRect(0, 0, 1920, 1080).contains(p); }
    QSize MonitorWorkArea(QPoint) const override { return {1920, 1040}; }
    void MoveTo(QPoint p) override { geometry.moveTopLeft(p); }
    void ResizeOuter(int w, int h) override { geometry.setSize({w, h}); }
    void Maximize() override { maximized = true; }
    bool HoverHints() const override { return hints; }
    void SetHoverHints(bool on) override { hints = on; }
    bool BaselineView() const override { return delta; }
    void SetBaselineView(bool on) override {
        deltaClicks += on != delta;
        delta = on;
    }
    bool ShowTips() const override { return tips; }
    void SetShowTips(bool on) override { tips = on; }
};

struct MainFormSettingsTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = MainFormSettings::IniFilePath(dir.path());
    TIniFile ini{path};
    FakeWindow window;

    void SetUp() override { MainFormSettings::CreateFolders(dir.path()); }
    void WriteFile(const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray FileText() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(MainFormSettingsTest, PathLiesInTheMakersFolder) {
    EXPECT_EQ(path, dir.path() + "/Kelvra/PXS733/KelvraPXS733.ini");
}

TEST_F(MainFormSettingsTest, FirstRunCreatesFileHoldingOnlyWidth) {
    window.tips = false;
    MainFormSettings::Load(ini, window);
    EXPECT_EQ(FileText(), "[MainForm]\r\nWidth=1252\r\n");
    EXPECT_TRUE(window.tips); // default of "Tips"
    EXPECT_EQ(window.geometry, QRect(100, 100, 1252, 700));
}

TEST_F(MainFormSettingsTest, SaveWritesEightKeysInOrderAndLoadRestoresThem) {
    window.geometry = QRect(30, 40, 900, 650);
    window.hints = false;
    window.delta = true;
    window.tips = false;
    MainFormSettings::Save(ini, window);
    EXPECT_EQ(FileText(), "[MainForm]\r\nWidth=900\r\nHeight=650\r\nLeft=30\r\nTop=40\r\n"
                          "State=Nor\r\nHints=0\r\nDelta=-1\r\nTips=0\r\n");

    FakeWindow fresh;
    MainFormSettings::Load(ini, fresh);
    EXPECT_EQ(fresh.geometry, QRect(30, 40, 900, 650));
    EXPECT_FALSE(fresh.hints);
    EXPECT_TRUE(fresh.delta);
    EXPECT_EQ(fresh.deltaClicks, 1);
    EXPECT_FALSE(fresh.tips);
    EXPECT_FALSE(fresh.maximized);
}

TEST_F(MainFormSettingsTest, PositionIsAppliedOnlyWhereAMonitorIs) {
    struct Case {
        const char* text;
        QRect geometry;
        bool maximized;
    };
    const Case cases[] = {
        // Maximized on an attached monitor: moved and maximized, stored size not applied.
        {"State=Max\nLeft=-8\nTop=-8\nWidth=10\nHeight=10\n", {-8, -8, 1252, 700}, true},
        // Maximized on a monitor that is gone: neither moved nor maximized.
        {"State=Max\nLeft=3000\nTop=0\n", {100, 100, 1252, 700}, false},
        // Normal on a monitor: moved and sized.
        {"State=Nor\nLeft=5\nTop=6\nWidth=800\nHeight=500\n", {5, 6, 800, 500}, false},
        // Normal off every monitor: position and size kept.
        {"State=Nor\nLeft=-500\nTop=6\nWidth=800\nHeight=500\n", {100, 100, 1252, 700}, false},
        // Anything but "Max" counts as normal.
        {"State=Minimized\nLeft=5\nTop=6\n", {5, 6, 1252, 700}, false},
        // Sizes the screen cannot show are fitted to its work area, tiny ones to a minimum,
        // and ones no window can have are not applied.
        {"State=Nor\nLeft=5\nTop=6\nWidth=2147483647\nHeight=2147483647\n",
         {5, 6, 1920, 1040},
         false},
        {"State=Nor\nLeft=5\nTop=6\nWidth=20000\nHeight=20000\n", {5, 6, 1920, 1040}, false},
        {"State=Nor\nLeft=5\nTop=6\nWidth=-2147483648\nHeight=500\n", {5, 6, 1252, 700}, false},
        {"State=Nor\nLeft=5\nTop=6\nWidth=0\nHeight=0\n", {5, 6, 1252, 700}, false},
        {"State=Nor\nLeft=5\nTop=6\nWidth=1\nHeight=1\n", {5, 6, 320, 240}, false},
        {"State=Max\nLeft=2147483647\nTop=2147483647\n", {100, 100, 1252, 700}, false},
        {"State=Nor\nLeft=-2147483648\nTop=2147483647\n", {100, 100, 1252, 700}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile(QByteArray("[MainForm]\n") + c.text + "Hints=0\n");
        FakeWindow w;
        MainFormSettings::Load(ini, w);
        EXPECT_EQ(w.geometry, c.geometry);
        EXPECT_EQ(w.maximized, c.maximized);
        EXPECT_FALSE(w.hints); // the options are applied either way
    }
}

TEST_F(MainFormSettingsTest, KeysMissingFromAnExistingFileGiveTheirDefaults) {
    WriteFile("[MainForm]\nWidth=900\n[ScopeForm]\nHints=0\nDelta=-1\nTips=0\n");
    window.hints = false;
    window.delta = true;
    window.tips = false;
    MainFormSettings::Load(ini, window);
    EXPECT_EQ(window.geometry, QRect(100, 100, 900, 700)); // position and height kept
    EXPECT_TRUE(window.hints);  // "-1"; the other section's keys are not ours
    EXPECT_FALSE(window.delta); // "0"
    EXPECT_TRUE(window.tips);   // "-1"
    EXPECT_FALSE(window.maximized);
}

TEST_F(MainFormSettingsTest, UnparsableValueRaisesAfterKeepingWhatWasApplied) {
    WriteFile("[MainForm]\nState=Nor\nLeft=5\nTop=6\nWidth=800\nHeight=500\nHints=maybe\n"
              "Delta=-1\n");
    EXPECT_THROW(MainFormSettings::Load(ini, window), EIniFileError);
    EXPECT_EQ(window.geometry, QRect(5, 6, 800, 500));
    EXPECT_FALSE(window.delta); // read after the failure, so never applied

    WriteFile("[MainForm]\nState=Nor\nLeft=5\nTop=6\nWidth=800\nHeight=500\nHints=0\nDelta=-1\n");
    MainFormSettings::Load(ini, window);
    EXPECT_FALSE(window.hints);
    EXPECT_TRUE(window.delta);
}

TEST_F(MainFormSettingsTest, FolderThatCannotBeCreatedRaises) {
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_THROW(MainFormSettings::CreateFolders(dir.filePath("file")), EIniFileError);
    EXPECT_THROW(MainFormSettings::CreateFolders(QString()), EIniFileError);
}

// A restored window lies wholly in its monitor's work area (1600x1000 less a 40-pixel panel).
TEST(FittedTopLeft, PutsTheWholeWindowInTheWorkArea) {
    const QRect area(0, 0, 1600, 960);
    const struct Case {
        QRect outer;
        QPoint expected;
    } cases[] = {
        {{100, 50, 400, 300}, {100, 50}},     // already inside
        {{1599, 999, 386, 400}, {1214, 560}}, // a few pixels showing at the corner
        {{-300, -20, 400, 300}, {0, 0}},      // off the top-left
        {{500, 100, 2000, 1200}, {0, 0}},     // larger than the area: its corner at the area's
    };
    for (const Case& c : cases)
        EXPECT_EQ(MainFormSettings::FittedTopLeft(c.outer, area), c.expected);
    EXPECT_EQ(MainFormSettings::FittedTopLeft({1900, 50, 400, 300}, {1600, 0, 1920, 1080}),
              QPoint(1900, 50)); // a second monitor's own area
}

} // namespace
