#include "FullDisk.h"
#include "Recording.h"
#include "SampleRecorder.h"
#include "ScopeMarkers.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

using namespace Recording;

namespace {

TSample MakeSample(double TimeMs, quint8 Counter, int Count, bool Missed = false) {
    TSample s;
    s.TimeMs = TimeMs;
    s.Raw = QByteArray::fromHex("0F0014") + QByteArray(17, char(0x11));
    s.Raw[1] = char(Counter);
    s.Decoded.Counts = {Count, 0};
    s.Decoded.LTAs = {1000, 0};
    s.Decoded.CountShown = s.Decoded.LTAShown = true;
    s.Decoded.Compensation = 90;
    s.Decoded.Multipliers = 0x25;
    s.Decoded.SysFlags = 0x88;
    s.Missed = Missed;
    return s;
}

const QByteArray Columns = "time_ms,counter,count,lta,delta,compensation,sens_multiplier,"
                           "comp_multiplier,Zoom,RF Noise,ATI Busy,Is CH0,Filter Halt,"
                           "Long Timer,Movement,Activation,missed,raw,marker\n";

QByteArray FileText(std::initializer_list<TSample> Samples) {
    QByteArray text = Header({});
    for (const TSample& s : Samples)
        text += Row(s);
    return text;
}

struct TRead {
    QList<TRow> rows;
    QString error;
};
TRead ReadAll(QByteArray Text) {
    QBuffer buffer(&Text);
    buffer.open(QIODevice::ReadOnly);
    TReader reader(buffer);
    TRead read;
    while (const std::optional<TRow> row = reader.Next())
        read.rows << *row;
    read.error = reader.Error();
    return read;
}

TEST(Recording, HeaderAndRows) {
    TInfo info;
    info.Application = "pxs733 1.0.1.10";
    info.Dongle = "Kelvra LK600";
    info.Serial = "S1";
    info.Firmware = "0105";
    info.Link = "I2C";
    info.Supply = "3.3 V";
    info.Stream = "Count Samples, Long Term Averages (LTA)";
    info.Start = QDateTime(QDate(2026, 12, 10), QTime(16, 30, 1, 250), Qt::UTC);
    EXPECT_EQ(Header(info), "# PXS733 recording\n"
                            "# application: pxs733 1.0.1.10\n"
                            "# dongle: Kelvra LK600\n"
                            "# serial: S1\n"
                            "# firmware: 0105\n"
                            "# link: I2C\n"
                            "# supply: 3.3 V\n"
                            "# stream: Count Samples, Long Term Averages (LTA)\n"
                            "# start: 2026-12-10T16:30:01.250Z\n" +
                                Columns);

    const QByteArray raw = "0F0714" + QByteArray(34, '1');
    TSample marked = MakeSample(1.5, 7, 990, true);
    marked.Marker = "[write] Bank 2 = 0x5A, again"; // a comma would split the column
    EXPECT_EQ(Row(marked).toStdString(), ("1.500,7,990,1000,10,90,2,5,0,0,0,1,0,0,0,1,1," + raw +
                                          ",[write] Bank 2 = 0x5A; again\n")
                                             .toStdString());
    // Values that are not streamed are empty.
    TSample bare = MakeSample(0, 7, 0);
    bare.Decoded = {};
    EXPECT_EQ(Row(bare).toStdString(),
              ("0.000,7" + QByteArray(14, ',') + ",0," + raw + ",\n").toStdString());
}

TEST(Recording, ReaderGivesBackWhatWasWritten) {
    // A gap's note is a comment line of its own before the row after the gap.
    TSample afterGap = MakeSample(0.125, 3, 991, true);
    afterGap.Note = "Dongle S1 away\nfor 2 s";
    const std::vector<TMark> marks = {{TMarkKind::Write, "Bank 2 = 0x5A"},
                                      {TMarkKind::User, "light, then | firm\ntouch"},
                                      {TMarkKind::Flag, "Touch on"}};
    afterGap.Marker = MarkColumn(marks);
    ASSERT_TRUE(Row(afterGap).startsWith("# Dongle S1 away for 2 s\n"));
    QByteArray text = FileText({MakeSample(0, 1, 990), afterGap});
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    TReader reader(buffer);
    QList<TRow> rows;
    while (const std::optional<TRow> row = reader.Next())
        rows << *row;
    EXPECT_TRUE(reader.Error().isEmpty()) << reader.Error().toStdString();
    EXPECT_EQ(reader.Comments().last(), "Dongle S1 away for 2 s");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].Line, 13);
    EXPECT_DOUBLE_EQ(rows[1].TimeMs, 0.125);
    EXPECT_EQ(rows[1].Counter, 3);
    EXPECT_TRUE(rows[1].Missed);
    // The marks come back one by one, the user's text kept readable in one CSV field.
    EXPECT_EQ(rows[1].Marker,
              "[write] Bank 2 = 0x5A | [user] light; then / firm touch | [flag] Touch on");
    const std::vector<TMark> back = FromMarkColumn(rows[1].Marker);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], marks[0]);
    EXPECT_EQ(back[1], (TMark{TMarkKind::User, "light; then / firm touch"}));
    EXPECT_EQ(back[2], marks[2]);
    EXPECT_EQ(FromMarkColumn("no kind given"),
              (std::vector<TMark>{{TMarkKind::User, "no kind given"}}));
    EXPECT_TRUE(FromMarkColumn("").empty());
    EXPECT_EQ(rows[1].Raw, MakeSample(0, 3, 0).Raw);
}

TEST(Recording, RawSampleCutsTheReportsPadding) {
    const quint8 report[8] = {0x11, 0x22, 3, 0xA, 0xB, 0xC, 0, 0}; // a 3-byte sample, padded
    const quint8 unsized[5] = {0x11, 0x22, 0, 0xA, 0xB};           // no length given
    const quint8 longer[5] = {0x11, 0x22, 200, 0xA, 0xB};          // more than came
    EXPECT_EQ(RawSample(report, 8), QByteArray::fromHex("1122030A0B0C"));
    EXPECT_EQ(RawSample(unsized, 5).size(), 5);
    EXPECT_EQ(RawSample(longer, 5).size(), 5);
    EXPECT_EQ(RawSample(report, 2).size(), 2); // shorter than the header: as it came
}

TEST(Recording, ReplayedMarksComeBackAtTheirSample) {
    using K = TMarkKind;
    TReplayMarks marks;
    marks.Add(1, "[user] first");
    marks.Add(3, "[write] Bank 2 = 0x5A | [flag] Touch on | [power] Supply 1.8 V | [user] b");
    marks.Add(4, "");
    EXPECT_EQ(marks.Next(), (std::vector<TMark>{{K::User, "first"}}));
    EXPECT_TRUE(marks.Next().empty());
    // The replaying run marks flag changes and its own power again.
    EXPECT_EQ(marks.Next(), (std::vector<TMark>{{K::Write, "Bank 2 = 0x5A"}, {K::User, "b"}}));
    // A row handed over after its sample arrived is not lost: the next sample takes it.
    marks.Add(2, "[user] late");
    EXPECT_EQ(marks.Next(), (std::vector<TMark>{{K::User, "late"}}));
    EXPECT_TRUE(marks.Next().empty());
}

TEST(Recording, BadFilesEndWithTheLineAndKeepTheRowsBefore) {
    const QByteArray good = FileText({MakeSample(0, 1, 990), MakeSample(1, 2, 990)});
    QByteArray binary(100000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7919 % 251);
    const struct Case {
        const char* name;
        QByteArray text;
        int rows;
        const char* error;
    } cases[] = {
        {"empty", "", 0, "line 1: the file is empty, not a recording"},
        {"binary", binary, 0, "line 1: not a recording of this application"},
        {"another program's CSV", "time,value\n0,1\n", 0,
         "line 1: not a recording of this application"},
        {"header only", Header({}), 0, ""},
        {"comments without the header row", "# PXS733 recording\n# a\n", 0,
         "line 3: the header row is missing"},
        {"a row of the wrong width", good + "2.000,3,990\n", 2, "line 13: 3 columns, 19 expected"},
        {"time going backwards", good + Row(MakeSample(0.5, 3, 990)), 2,
         "line 13: the time goes backwards"},
        {"broken off", good + Row(MakeSample(2, 3, 990)).left(30), 2,
         "line 13: the file breaks off in this row"},
        {"raw bytes that are no hex", good + Row(MakeSample(2, 3, 990)).replace("0F03", "0G03"), 2,
         "line 13: the raw bytes are not a sample in hexadecimal"},
        {"a line without end", good + QByteArray(200000, '1'), 2, "line 13: the line is too long"},
        // A replay would wait for ever.
        {"time jumping ahead", good + Row(MakeSample(1 + 3600001, 3, 990)), 2,
         "line 13: the time jumps ahead by more than an hour"},
        {"a first row far ahead", FileText({MakeSample(1e15, 1, 990)}), 0,
         "line 11: the time jumps ahead by more than an hour"},
        {"an hour's pause", good + Row(MakeSample(1 + 3600000, 3, 990)), 3, ""},
        // Written before the marker column: still read.
        {"without the marker column",
         QByteArray(good).replace(",marker\n", "\n").replace(",\n", "\n"), 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRead read = ReadAll(c.text);
        EXPECT_EQ(read.rows.size(), c.rows);
        EXPECT_EQ(read.error, c.error);
    }
}

// A recording far larger than what is read at once: rows made as they are asked for.
class TGeneratedRecording : public QIODevice {
public:
    explicit TGeneratedRecording(qint64 Rows) : FRows(Rows) {
        FPending = Header({});
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return FPending.size() + QIODevice::bytesAvailable(); }
    qint64 produced = 0;

protected:
    qint64 readData(char* Data, qint64 Max) override {
        while (FPending.size() < Max && produced < FRows) {
            FPending += Row(MakeSample(double(produced), quint8(produced), 990));
            ++produced;
        }
        const qint64 n = std::min<qint64>(Max, FPending.size());
        std::copy_n(FPending.constData(), n, Data);
        FPending.remove(0, n);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 FRows;
    QByteArray FPending;
};

TEST(Recording, ReaderStreamsALongRecording) {
    TGeneratedRecording device(200000);
    TReader reader(device);
    qint64 rows = 0;
    while (reader.Next())
        ++rows;
    EXPECT_EQ(rows, 200000);
    EXPECT_TRUE(reader.Error().isEmpty());
}

TEST(SampleRecorder, WritesEverySampleAfterTheHeader) {
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    TSampleRecorder recorder;
    ASSERT_TRUE(recorder.Start(path, Header({})));
    for (int i = 0; i < 10000; ++i)
        recorder.Add(MakeSample(i * 0.125, quint8(i), 990 + i % 7));
    recorder.Stop();
    EXPECT_FALSE(recorder.Failed());
    EXPECT_EQ(recorder.SamplesWritten(), 10000);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(recorder.BytesWritten(), file.size());
    TReader reader(file);
    int rows = 0;
    while (const std::optional<TRow> row = reader.Next())
        EXPECT_EQ(row->Counter, quint8(rows++));
    EXPECT_EQ(rows, 10000);
    EXPECT_TRUE(reader.Error().isEmpty());
}

TEST(SampleRecorder, ToldWhenItsFileIsDeletedOrReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    TSampleRecorder recorder;
    ASSERT_TRUE(recorder.Start(path, Header({})));
    EXPECT_FALSE(recorder.FileGone());
    ASSERT_TRUE(QFile::rename(path, dir.filePath("moved.csv")));
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)); // another file under its name
    EXPECT_TRUE(recorder.FileGone());
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(recorder.FileGone());
    recorder.Stop();
}

TEST(Recording, AReplayRefusesWhatIsNoRegularFile) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // no writer: open blocks
    for (const QString& path : {fifo, dir.path(), QStringLiteral("/dev/zero")}) {
        TReplayFile file;
        EXPECT_FALSE(file.Open(path));
        EXPECT_EQ(file.Error(), "not a regular file");
    }
    TReplayFile missing;
    EXPECT_FALSE(missing.Open(dir.filePath("missing.csv")));
    EXPECT_FALSE(missing.Error().isEmpty());
}

TEST(SampleRecorder, PlacesThatCannotBeWrittenAreRefused) {
    QTemporaryDir dir;
    for (const QString& path :
         {dir.path(), dir.filePath("no/such/folder/run.csv"), QStringLiteral("/proc/version")}) {
        SCOPED_TRACE(path.toStdString());
        TSampleRecorder recorder;
        EXPECT_FALSE(recorder.Start(path, Header({})));
        EXPECT_FALSE(recorder.Error().isEmpty());
        EXPECT_FALSE(recorder.Recording());
    }
}

TEST(SampleRecorder, AFullDiskLeavesTheCompleteRows) {
    // The disk fills up during the recording: the write that crosses it fails part way.
    TFullDisk disk;
    const QString path = disk.FilePath("full.csv");
    disk.Fill(100000);
    TSampleRecorder recorder;
    ASSERT_TRUE(recorder.Start(path, Header({})));
    for (int i = 0; i < 6000 && !recorder.Failed(); ++i) {
        recorder.Add(MakeSample(i, quint8(i), 990));
        if (i % 100 == 99) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    recorder.Stop();
    EXPECT_TRUE(recorder.Failed());
    EXPECT_EQ(recorder.Error(), disk.Reason());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), recorder.BytesWritten());
    EXPECT_LE(file.size(), 100000 + 4096);
    TReader reader(file);
    int rows = 0;
    while (reader.Next())
        ++rows;
    EXPECT_TRUE(reader.Error().isEmpty()) << reader.Error().toStdString();
    EXPECT_EQ(rows, recorder.SamplesWritten());
    EXPECT_GT(rows, 100);
}

} // namespace
