#include "AboutDialogUnit.h"
#include "HintTipsUnit.h"
#include "MainUnit.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "SimulatedApplication.h"
#include "StreamSetupUnit.h"
#include "TestDialogs.h"

#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

// The windows' layout on the screen the tests run on (also run at a scale factor).
class TestLayout : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void everyWindowOpensInsideTheWorkArea() {
        Application app;
        TPXS733MainForm& f = *app.form;
        f.show();
        f.ScopeButtonClick();
        app.windows->SendCommands->show();
        app.windows->StreamSetupForm->show();
        app.windows->AboutDialog->show();
        app.windows->HintTipsForm->show();
        const QRect area = f.screen()->availableGeometry();
        for (QWidget* window :
             std::initializer_list<QWidget*>{&f, app.windows->ScopeForm, app.windows->SendCommands,
                                             app.windows->StreamSetupForm, app.windows->AboutDialog,
                                             app.windows->HintTipsForm}) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QVERIFY2(area.contains(window->frameGeometry()),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside %6x%7")
                                    .arg(window->objectName())
                                    .arg(window->frameGeometry().x())
                                    .arg(window->frameGeometry().y())
                                    .arg(window->frameGeometry().width())
                                    .arg(window->frameGeometry().height())
                                    .arg(area.width())
                                    .arg(area.height())));
        }
    }

    void valuesCaptionsAndLampsNeverOverlap() {
        Application app;
        TPXS733MainForm& f = *app.form;
        f.show();
        for (const QSize size : {QSize(1252, 719), QSize(1366, 768), QSize(1600, 900),
                                 QSize(1920, 1080), QSize(2560, 1440)}) {
            f.resize(size);
            QTest::qWait(50); // the labels follow the bars after a resize
            QList<QLabel*> labels;
            for (QWidget* panel : {f.ChannelPanel, f.CMTPanel})
                for (QLabel* label : panel->findChildren<QLabel*>())
                    if ((label->isVisibleTo(&f) && !label->text().isEmpty()) ||
                        label == f.ActivationImage || label == f.MovementImage)
                        labels << label;
            for (int i = 0; i < labels.size(); ++i)
                for (int j = i + 1; j < labels.size(); ++j) {
                    const QRect a(labels[i]->mapTo(&f, QPoint()), labels[i]->size());
                    const QRect b(labels[j]->mapTo(&f, QPoint()), labels[j]->size());
                    QVERIFY2(!a.intersects(b),
                             qPrintable(QStringLiteral("%1x%2: '%3' and '%4'")
                                            .arg(size.width())
                                            .arg(size.height())
                                            .arg(labels[i]->objectName() + labels[i]->text())
                                            .arg(labels[j]->objectName() + labels[j]->text())));
                }
        }
    }
};

QTEST_MAIN(TestLayout)
#include "test_Layout.moc"
