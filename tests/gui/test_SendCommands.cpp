#include "CommandTrace.h"
#include "FullDisk.h"
#include "KelvraHIDTool.h"
#include "ModalDialogs.h"
#include "SendCommandsUnit.h"
#include "SimHidAccess.h"
#include "TestDialogs.h"
#include "VirtualDongle.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

// A dongle tool on a simulated dongle, and the trace window.
struct Trace {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle = std::make_shared<TVirtualDongle>();
    TKelvraDevList list{hid};
    TKelvraHidTool tool;
    TTestDialogs dialogs;
    QTemporaryDir dir;
    TSendCommands window;

    Trace() {
        hid.Plug(dongle);
        QCoreApplication::processEvents();
        list.HidDeviceChange();
        tool.SetKelvraDevList(&list);
        dialogs.savePath = dir.filePath("trace.txt");
        window.Bind(dialogs, [] { return QString(); }, {});
    }
    void Command() {
        quint32 version = 0;
        tool.GetCTFWVersion(version);
    }
    QByteArray Saved() {
        QFile f(dialogs.savePath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }
};

} // namespace

class TestSendCommands : public QObject {
    Q_OBJECT

private slots:
    void linesShowExactly37Bytes() {
        TKvrByteArray request{};
        request[0] = 1, request[1] = 10, request[2] = 255, request[36] = 0xAB, request[37] = 0xCD;
        const QString line = CommandTrace::Line(request);
        QCOMPARE(line.size(), 111);
        QVERIFY(line.startsWith("01 0A FF 00 "));
        QVERIFY(line.endsWith("AB "));
        QCOMPARE(CommandTrace::CodeOf(line), quint8(0xFF));
        QCOMPARE(CommandTrace::CodeOf("File saved successfully"), std::nullopt);
    }

    void tracesOnlyWhileShown() {
        Trace t;
        t.Command(); // not tracing yet
        t.window.StartTracing(t.tool);
        t.Command();
        QCOMPARE(t.window.Lines().size(), 1);
        QVERIFY(t.window.Lines()[0].startsWith("00 ")); // report ID, then the message ID
        QCOMPARE(CommandTrace::CodeOf(t.window.Lines()[0]), quint8(0x09));
        t.window.OKBtn->click();
        t.Command(); // closed: nothing
        QCOMPARE(t.window.Lines().size(), 1);
        t.window.StartTracing(t.tool);
        t.Command(); // resumes below the old lines
        QCOMPARE(t.window.Lines().size(), 2);
    }

    void savesWithCrLfAndSaysSo() {
        Trace t;
        t.window.StartTracing(t.tool);
        t.Command();
        t.Command();
        t.window.Button1->click();
        const QStringList lines = t.window.Lines();
        QCOMPARE(lines.last(), QString("File saved successfully"));
        QCOMPARE(t.Saved(), (lines[0] + "\r\n" + lines[1] + "\r\n").toLatin1());

        t.window.IncludeTimesCheck->setChecked(true);
        t.window.Button1->click();
        const QList<QByteArray> saved = t.Saved().split('\n');
        QVERIFY(saved[0].contains('\t')); // the time, then the line
        QCOMPARE(saved[2], QByteArray("File saved successfully\r"));

        t.window.Button2->click(); // Clear, then save: an empty file, one line in the list
        t.window.Button1->click();
        QCOMPARE(t.Saved(), QByteArray());
        QCOMPARE(t.window.Lines(), QStringList{"File saved successfully"});

        t.dialogs.savePath = t.dir.filePath("missing/folder/trace.txt"); // cannot be written
        t.window.Button1->click();
        QCOMPARE(t.dialogs.shown.size(), 1);
        QCOMPARE(t.window.Lines().size(), 1);
        t.dialogs.savePath.clear(); // cancelled: nothing
        t.window.Button1->click();
        QCOMPARE(t.window.Lines().size(), 1);
    }

    void aFullDiskKeepsTheOldFileAndSaysWhy() {
        Trace t;
        TFullDisk disk;
        const QByteArray old(600, 'o');
        disk.Put("trace.txt", old);
        disk.Fill();
        t.window.StartTracing(t.tool);
        t.Command();
        for (const QString name : {"trace.txt", "new.txt"}) {
            t.dialogs.shown.clear();
            t.dialogs.savePath = disk.FilePath(name);
            t.window.Button1->click();
            QCOMPARE(t.dialogs.shown,
                     QStringList("Cannot write " + disk.FilePath(name) + ": " + disk.Reason()));
            QVERIFY(!t.window.Lines().contains("File saved successfully"));
        }
        QCOMPARE(disk.Read("trace.txt"), old);
        QCOMPARE(disk.Files(), QStringList("trace.txt"));
    }

    void placementSurvivesAndComesBackOnTheScreen() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("settings.ini");
        TTestDialogs dialogs;
        QEvent activate(QEvent::WindowActivate);
        {
            TSendCommands window;
            window.Bind(dialogs, [ini] { return ini; }, {});
            QCoreApplication::sendEvent(&window, &activate);
            window.resize(300, 200);
            window.move(123, 87); // Left and Top apart, so that one cannot pass for the other
        }                         // saved as the window goes
        TSendCommands again;
        again.Bind(dialogs, [ini] { return ini; }, {});
        QCoreApplication::sendEvent(&again, &activate);
        QCOMPARE(again.frameGeometry().topLeft(), QPoint(123, 87));

        // Stored at the screen's last pixel: all of the window comes back on the screen.
        const QRect area = again.screen()->availableGeometry();
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[SendComForm]\nLeft=%1\nTop=%2\n")
                       .arg(area.right())
                       .arg(area.bottom())
                       .toLatin1());
        file.close();
        TSendCommands corner;
        corner.Bind(dialogs, [ini] { return ini; }, {});
        QCoreApplication::sendEvent(&corner, &activate);
        QVERIFY(area.contains(corner.frameGeometry()));
    }

    void filterNarrowsToOneCommandCode() {
        Trace t;
        t.window.StartTracing(t.tool);
        t.Command();          // 0x09
        t.tool.SetLED(lcRed); // another code
        t.window.FilterEdit->setText("09");
        int shown = 0;
        for (int i = 0; i < t.window.ListBox1->topLevelItemCount(); ++i)
            shown += !t.window.ListBox1->topLevelItem(i)->isHidden();
        QCOMPARE(shown, 1);
        t.window.FilterEdit->clear();
        QVERIFY(!t.window.ListBox1->topLevelItem(1)->isHidden());

        // The filter is hexadecimal, for the lines there and for those that come.
        t.window.FilterEdit->setText("C1"); // SetLED
        t.Command();
        QCOMPARE(t.window.ListBox1->topLevelItem(0)->isHidden(), true);
        QCOMPARE(t.window.ListBox1->topLevelItem(1)->isHidden(), false);
        QCOMPARE(t.window.ListBox1->topLevelItem(2)->isHidden(), true);
    }

    void buttonsFollowTheList() {
        Trace t;
        t.window.show();
        t.window.resize(300, 300);
        QCoreApplication::processEvents();
        const QRect list = t.window.ListBox1->geometry();
        QCOMPARE(t.window.Button1->x(), list.left());
        QCOMPARE(t.window.OKBtn->geometry().right(), list.right());
        QCOMPARE(t.window.Button1->y(), list.bottom() + 1 + 5);
        QCOMPARE(TSendCommands::CentredLeft(100, 205, 90), 100 + 52 - 45);
        QCOMPARE(t.window.Button2->x(),
                 TSendCommands::CentredLeft(t.window.Button1->geometry().right() + 1,
                                            t.window.OKBtn->x(), t.window.Button2->width()));
    }
};

QTEST_MAIN(TestSendCommands)
#include "test_SendCommands.moc"
