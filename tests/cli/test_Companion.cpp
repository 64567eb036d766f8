#include "Companion.h"
#include "FullDisk.h"
#include "SimFixture.h"
#include "VirtualPXS733.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct TResult {
    int Code = -1;
    QByteArray Out;
    QString Err;
};

// The companion on a simulated HID access with one PXS733 dongle, run in this process.
struct CompanionTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualPXS733> ic = std::make_shared<TVirtualPXS733>();
    std::shared_ptr<TVirtualDongle> dongle = Plug("SIM000001");
    QTemporaryDir folder;

    std::shared_ptr<TVirtualDongle> Plug(const QString& Serial) {
        TVirtualDongleConfig config;
        config.Serial = Serial;
        config.SampleRate = 1000;
        auto plugged = std::make_shared<TVirtualDongle>(config, ic);
        hid.Plug(plugged);
        return plugged;
    }

    TResult Run(const QStringList& Args) {
        QCommandLineParser parser;
        AddCompanionOptions(parser);
        EXPECT_TRUE(parser.parse(QStringList("pxs733-cli") + Args))
            << parser.errorText().toStdString();
        const QString outPath = folder.filePath("out"), errPath = folder.filePath("err");
        const int out = ::open(QFile::encodeName(outPath), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(QFile::encodeName(errPath), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        TResult result;
        result.Code = RunCompanion(parser, hid, out, err);
        ::close(out);
        ::close(err);
        QFile o(outPath), e(errPath);
        o.open(QIODevice::ReadOnly);
        e.open(QIODevice::ReadOnly);
        result.Out = o.readAll();
        result.Err = QString::fromUtf8(e.readAll()).trimmed();
        return result;
    }
};

// Rows of a CSV output without its comment lines and header.
QList<QByteArray> Rows(const QByteArray& Csv) {
    QList<QByteArray> rows;
    for (const QByteArray& line : Csv.split('\n'))
        if (!line.isEmpty() && !line.startsWith('#') && !line.startsWith("time_ms")) rows << line;
    return rows;
}

TEST_F(CompanionTest, BadInputGetsOneLineAndItsExitCode) {
    const auto second = Plug("SIM000002");
    struct Case {
        QStringList args;
        int code;
        const char* says;
    } const cases[] = {
        {{}, 2, "no command given"},
        {{"fly"}, 2, "unknown command: fly"},
        {{"version"}, 2, "2 dongles present: choose one with --serial (SIM000001, SIM000002)"},
        {{"--serial", "NOPE", "version"}, 3, "no dongle with serial NOPE"},
        {{"--serial", "SIM000001", "write", "0x1FF", "0x100"}, 2, "0x1FF is not a hexadecimal"},
        {{"--serial", "SIM000001", "write", "10"}, 2, "write takes ADDR VALUE"},
        {{"--serial", "SIM000001", "read", "F0", "17"}, 2, "COUNT 17 is not a number from 1 to 16"},
        {{"--serial", "SIM000001", "power", "up"}, 2, "power takes on or off"},
        {{"--serial", "SIM000001", "stream", "--seconds", "-1"}, 2, "--seconds is a number"},
        {{"--serial", "SIM000001", "stream", "--samples", "0"}, 2, "--samples is a number"},
        {{"--serial", "SIM000001", "stream", "--format", "xml"}, 2, "--format is csv or jsonl"},
        {{"--serial", "SIM000001", "stream", "--reconnect", "0"}, 2, "--reconnect is a number"},
        {{"--serial", "SIM000001", "stream", "--reconnect", "601"}, 2, "--reconnect is a number"},
        {{"--voltage", "5", "version"}, 2, "--voltage is 3.3 or 1.8, not 5"},
        {{"--serial", "SIM000001", "snr", "--channel", "2"}, 2, "--channel is 0 or 1, not 2"},
        {{"--serial", "SIM000001", "snr", "--pass", "12"},
         2,
         "The PASS level must not be above the GOOD level."},
        {{"--serial", "SIM000001", "snr", "--threshold", "0"},
         2,
         "The touch threshold must be a count from 1 to 65535."},
        {{"--serial", "SIM000001", "snr", "--samples", "99"}, 2, "--samples is a number from"},
        {{"--link", "spi", "version"}, 2, "--link is 1wire or i2c, not spi"},
    };
    for (const Case& c : cases) {
        const TResult r = Run(c.args);
        EXPECT_EQ(r.Code, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains(c.says)) << r.Err.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 0) << r.Err.toStdString();
        EXPECT_TRUE(r.Out.isEmpty());
    }
    // A serial that two dongles share picks neither.
    const auto twin = Plug("SIM000002");
    const TResult twins = Run({"--serial", "SIM000002", "version"});
    EXPECT_EQ(twins.Code, 3);
    EXPECT_EQ(twins.Err,
              "pxs733-cli: 2 dongles have serial SIM000002: leave one of them plugged in");
    hid.Unplug(twin);
    hid.Unplug(dongle);
    hid.Unplug(second);
    EXPECT_EQ(Run({"version"}).Code, 3);
    EXPECT_EQ(Run({"list"}).Code, 3);
}

TEST_F(CompanionTest, EveryCommandRunsOnTheSimulator) {
    const QStringList i2c{"--link", "i2c"};
    EXPECT_EQ(Run({"list"}).Out, "model,serial,firmware,open,reason\n"
                                 "Kelvra LK600,SIM000001,0105,yes,\n");
    EXPECT_EQ(Run(i2c + QStringList{"power", "on"}).Code, 0);
    EXPECT_TRUE(ic->Powered());
    EXPECT_EQ(Run(i2c + QStringList{"version"}).Out, "0B 03\n");
    // The IC stays powered between commands, so a write is read back by the next one.
    EXPECT_EQ(Run(i2c + QStringList{"write", "0x20", "5a"}).Code, 0);
    EXPECT_EQ(Run(i2c + QStringList{"read", "1F", "2"}).Out, "1F 00\n20 5A\n");
    EXPECT_EQ(Run(i2c + QStringList{"indirect", "write", "53", "0C"}).Code, 0);
    EXPECT_EQ(Run(i2c + QStringList{"indirect", "read", "53"}).Out, "0C\n");
    EXPECT_EQ(Run(i2c + QStringList{"strap", "write", "01", "02", "03", "04"}).Code, 0);
    EXPECT_EQ(Run(i2c + QStringList{"strap", "read"}).Out, "01 02 03 04\n");
    EXPECT_EQ(Run({"banks", "write", "5A", "00", "24", "03"}).Code, 0);
    EXPECT_EQ(ic->Banks()[0], 0x5A);
    EXPECT_TRUE(ic->Powered()); // left powered with the banks in force
    EXPECT_EQ(Run({"banks", "read"}).Out.split(' ').size(), 5);
    EXPECT_EQ(Run({"power", "off"}).Code, 0);
    EXPECT_FALSE(ic->Powered());
    EXPECT_EQ(Run({"power", "off"}).Code, 0); // already off
}

TEST_F(CompanionTest, StreamWritesRowsAndMarksGaps) {
    const TResult csv = Run({"stream", "--samples", "200"});
    EXPECT_EQ(csv.Code, 0) << csv.Err.toStdString();
    EXPECT_TRUE(csv.Out.startsWith("# PXS733 recording\n"));
    const QList<QByteArray> rows = Rows(csv.Out);
    ASSERT_EQ(rows.size(), 200);
    for (const QByteArray& row : rows) {
        ASSERT_EQ(row.count(','), 18) << row.toStdString();
        // The raw bytes: the three header bytes and the sample, whose length byte 2 gives.
        const QByteArray raw = QByteArray::fromHex(row.split(',')[17]);
        ASSERT_GT(raw.size(), 3);
        EXPECT_EQ(raw.size(), 3 + quint8(raw[2])) << row.toStdString();
    }
    EXPECT_FALSE(ic->Powered()); // the stream ends as Stop ends a run
    // The run's marks: the power-on with the first row, the power-off after the last one.
    EXPECT_TRUE(rows[0].endsWith(",[power] Power on")) << rows[0].toStdString();
    EXPECT_TRUE(csv.Out.endsWith("\n# Marked after the last sample: [power] Power off\n"));

    const TResult json = Run({"stream", "--samples", "2", "--format", "jsonl"});
    const QList<QByteArray> objects = json.Out.trimmed().split('\n');
    ASSERT_EQ(objects.size(), 3) << json.Out.toStdString();
    for (const QByteArray& line : objects)
        ASSERT_TRUE(QJsonDocument::fromJson(line).isObject()) << line.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(objects[0])["marker"], "[power] Power on");
    EXPECT_EQ(QJsonDocument::fromJson(objects[1])["marker"], QJsonValue::Null);
    EXPECT_EQ(QJsonDocument::fromJson(objects[2])["note"],
              "Marked after the last sample: [power] Power off");

    ChangeFaults(*dongle, [](TDongleFaults& f) { f.DropShare = 0.2; });
    const TResult gaps = Run({"stream", "--samples", "200"});
    EXPECT_EQ(gaps.Code, 4);
    const QList<QByteArray> gapRows = Rows(gaps.Out);
    EXPECT_EQ(gapRows.size(), 200);
    EXPECT_TRUE(std::any_of(gapRows.begin(), gapRows.end(),
                            [](const QByteArray& r) { return r.split(',')[16] == "1"; }));
}

TEST_F(CompanionTest, StreamEndsCleanly) {
    // Unplugged mid-stream: exit 3, what came is kept.
    QTimer::singleShot(300, [this] { hid.Unplug(dongle); });
    const TResult unplugged = Run({"stream"});
    EXPECT_EQ(unplugged.Code, 3);
    EXPECT_TRUE(unplugged.Err.contains("the dongle went away")) << unplugged.Err.toStdString();
    EXPECT_GT(Rows(unplugged.Out).size(), 50);
    dongle = Plug("SIM000001");

    // SIGTERM stops it with every sample written.
    QTimer::singleShot(300, [] { std::raise(SIGTERM); });
    const TResult stopped = Run({"stream"});
    EXPECT_EQ(stopped.Code, 0);
    EXPECT_GT(Rows(stopped.Out).size(), 50);
    EXPECT_TRUE(stopped.Out.endsWith('\n'));

    // A full disk: the reason, exit 1.
    TFullDisk disk;
    disk.Fill();
    const TResult full = Run({"stream", "--seconds", "1", "--output", disk.FilePath("s.csv")});
    EXPECT_EQ(full.Code, 1);
    EXPECT_TRUE(full.Err.contains("cannot write " + disk.FilePath("s.csv")))
        << full.Err.toStdString();
}

TEST_F(CompanionTest, StreamWithReconnectGoesOnThroughAReplug) {
    const auto replug = [this](int BackAfterMs) {
        QTimer::singleShot(300, [this, BackAfterMs] {
            hid.Unplug(dongle);
            if (BackAfterMs >= 0) QTimer::singleShot(BackAfterMs, [this] { hid.Plug(dongle); });
        });
    };
    // Back in time: the same output goes on, the gap marked; data was missed (exit 4).
    for (const char* format : {"csv", "jsonl"}) {
        replug(200);
        const TResult back =
            Run({"stream", "--seconds", "2", "--reconnect", "5", "--format", format});
        EXPECT_EQ(back.Code, 4) << back.Err.toStdString();
        const QList<QByteArray> lines = back.Out.split('\n');
        const auto found = std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) {
            return l.contains("Dongle SIM000001 away from ");
        });
        ASSERT_NE(found, lines.end()) << format;
        const qsizetype note = found - lines.begin();
        ASSERT_GT(note, 20) << format;
        if (QByteArray(format) == "csv") {
            EXPECT_TRUE(lines[note].startsWith("# "));
            EXPECT_EQ(lines[note + 1].split(',')[16], "1");
        } else {
            EXPECT_TRUE(lines[note].contains("\"missed\":1,")) << lines[note].toStdString();
        }
        EXPECT_GT(lines.size() - note, 50) << format; // streaming went on after it
    }
    // Not back in time: exit 3, what came is kept.
    replug(-1);
    const TResult gone = Run({"stream", "--reconnect", "1"});
    EXPECT_EQ(gone.Code, 3);
    EXPECT_TRUE(gone.Err.contains("did not return within 1 s")) << gone.Err.toStdString();
    EXPECT_GT(Rows(gone.Out).size(), 50);
}

TEST_F(CompanionTest, SnrMeasuresAScriptedTouch) {
    ic->SetEventPeriod(0);
    // No touch comes: it gives up after --seconds.
    const TResult untouched = Run({"snr", "--samples", "100", "--seconds", "1"});
    EXPECT_EQ(untouched.Code, 1);
    EXPECT_TRUE(untouched.Err.contains("invalid capture: no complete capture within 1 s"))
        << untouched.Err.toStdString();

    // Touched once the untouched capture (100 samples at 1000 per second) is done.
    QTimer::singleShot(1500, [this] {
        dongle->WithIC([](TSimIC& IC) { static_cast<TVirtualPXS733&>(IC).Touch(4, 100); });
    });
    const TResult snr = Run({"snr", "--samples", "100", "--threshold", "30"});
    ASSERT_EQ(snr.Code, 0) << snr.Err.toStdString();
    QMap<QByteArray, QByteArray> figures;
    for (const QByteArray& line : snr.Out.trimmed().split('\n'))
        figures[line.left(line.indexOf(':'))] = line.mid(line.indexOf(':') + 2);
    EXPECT_TRUE(QList<QByteArray>({"FAIL", "PASS", "GOOD"}).contains(figures["verdict"]));
    EXPECT_GT(figures["signal"].toDouble(), 40);
    EXPECT_TRUE(figures.contains("margin_out"));
    EXPECT_EQ(figures["samples"], "100");
    EXPECT_TRUE(snr.Err.contains("touch the sensor now")) << snr.Err.toStdString();
}

TEST_F(CompanionTest, AClosedPipeEndsTheStreamQuietly) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    std::signal(SIGPIPE, SIG_IGN);
    QCommandLineParser parser;
    AddCompanionOptions(parser);
    ASSERT_TRUE(parser.parse({"pxs733-cli", "stream", "--seconds", "5"}));
    const int err = ::open(QFile::encodeName(folder.filePath("err")), O_WRONLY | O_CREAT, 0600);
    EXPECT_EQ(RunCompanion(parser, hid, fds[1], err), 0);
    ::close(fds[1]);
    ::close(err);
    EXPECT_FALSE(ic->Powered());
}

} // namespace
