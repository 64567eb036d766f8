#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// A copy of the guarded helper program, started with the given arguments.
std::unique_ptr<QProcess> Start(const QStringList& Arguments,
                                const QString& Program = GUARD_COPY_EXECUTABLE) {
    auto copy = std::make_unique<QProcess>();
    copy->start(Program, Arguments);
    return copy;
}

// Waits for a copy's answer line ("admitted" or "refused").
QString Answer(QProcess& Copy) {
    while (!Copy.canReadLine())
        if (!Copy.waitForReadyRead(5000)) return "no answer";
    return QString::fromLatin1(Copy.readLine()).trimmed();
}

} // namespace

class TestInstanceGuard : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;

private slots:
    void init() { qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8()); }

    void secondCopyIsRefusedAndRaisesTheFirst() {
        auto first = Start({"5000"});
        QCOMPARE(Answer(*first), QString("admitted"));
        auto second = Start({"5000"});
        QCOMPARE(Answer(*second), QString("refused"));
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 3);
        QCOMPARE(Answer(*first), QString("raised"));
        first->kill();
        first->waitForFinished();
    }

    void anotherFolderIsAnotherProgram() {
        QTemporaryDir other;
        const QString copyPath = other.filePath("Guard Copy\\with blank");
        QVERIFY(QFile::copy(GUARD_COPY_EXECUTABLE, copyPath));
        QFile::setPermissions(copyPath, QFile::ReadOwner | QFile::ExeOwner);
        auto first = Start({"3000"});
        auto elsewhere = Start({"3000"}, copyPath);
        QCOMPARE(Answer(*first), QString("admitted"));
        QCOMPARE(Answer(*elsewhere), QString("admitted"));
        for (auto* copy : {first.get(), elsewhere.get()}) {
            copy->kill();
            copy->waitForFinished();
        }
    }

    void maxInstancesAndEnabled() {
        auto a = Start({"--max", "2", "5000"});
        QCOMPARE(Answer(*a), QString("admitted"));
        auto b = Start({"--max", "2", "5000"});
        QCOMPARE(Answer(*b), QString("admitted"));
        auto c = Start({"--max", "2", "5000"});
        QCOMPARE(Answer(*c), QString("refused"));
        QCOMPARE(Answer(*b), QString("raised")); // the copy that registered last
        auto unguarded = Start({"--disabled", "500"});
        QCOMPARE(Answer(*unguarded), QString("admitted"));
        for (auto* copy : {a.get(), b.get(), unguarded.get()}) {
            copy->kill();
            copy->waitForFinished();
        }
    }

    void aKilledCopyDoesNotLockOthersOut() {
        auto first = Start({"10000"});
        QCOMPARE(Answer(*first), QString("admitted"));
        first->kill(); // SIGKILL: no counting out
        first->waitForFinished();
        auto next = Start({"500"});
        QCOMPARE(Answer(*next), QString("admitted"));
        next->waitForFinished();
    }

    void tenSimultaneousStartsLeaveOne() {
        std::vector<std::unique_ptr<QProcess>> copies;
        for (int i = 0; i < 10; ++i)
            copies.push_back(Start({"3000"}));
        int admitted = 0;
        for (auto& copy : copies)
            admitted += Answer(*copy) == "admitted";
        QCOMPARE(admitted, 1);
        for (auto& copy : copies) {
            copy->kill();
            copy->waitForFinished();
        }
    }
};

QTEST_MAIN(TestInstanceGuard)
#include "test_InstanceGuard.moc"
