#include "AboutDialogUnit.h"
#include "HintTipsUnit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestHintsAndAbout : public QObject {
    Q_OBJECT

private slots:
    void tipsGoRoundWithTheirHeadlines() {
        THintTipsForm tips;
        QCOMPARE(tips.CountLabel->text(), QString("1 / 4"));
        QCOMPARE(tips.InfoLabel->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(tips.InfoLabel->font().pointSize(), 9);
        tips.PrevButton->click(); // 1 wraps to 4
        QCOMPARE(tips.CountLabel->text(), QString("4 / 4"));
        QVERIFY(tips.InfoLabel->text().isEmpty());
        QVERIFY(tips.InfoLabel2->text().startsWith("Enable 'Baseline View'"));
        tips.NextButton->click(); // 4 wraps to 1
        tips.NextButton->click();
        QCOMPARE(tips.CountLabel->text(), QString("2 / 4"));
        QCOMPARE(tips.InfoLabel->font().pointSize(), 8);
        QVERIFY(tips.InfoLabel->palette().color(QPalette::WindowText) != QColor(Qt::red));
        QVERIFY(tips.InfoLabel2->text().contains("right.  Drag")); // two spaces
        tips.PrevButton->click();
        QCOMPARE(tips.InfoLabel->palette().color(QPalette::WindowText), QColor(Qt::red));
    }

    void theCheckBoxSetsTheStartUpFlag() {
        bool showTips = true;
        THintTipsForm tips;
        tips.Bind(showTips);
        tips.show();
        QVERIFY(!tips.NeverShowCheck->isChecked()); // the opposite of the flag
        tips.NeverShowCheck->click();
        QVERIFY(tips.NeverShowCheck->font().bold());
        QTest::keyClick(&tips, Qt::Key_Escape); // closes as Close does
        QVERIFY(!showTips);
        QVERIFY(!tips.isVisible());
        tips.show();
        QVERIFY(tips.NeverShowCheck->isChecked());
        tips.CloseButton->click();
        QVERIFY(!showTips);
    }

    void aboutShowsTheVersionAndOpensTheSite() {
        TAboutDialog about;
        QList<QUrl> opened;
        about.OpenUrl = [&](const QUrl& url) { opened << url; };
        about.SetVersion("1.0.1.10");
        QCOMPARE(about.InfoLabel->text(),
                 QString("PXS733 GUI \nVersion 1.0.1.10\nCopyright (c) Kelvra Ltd"));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(about.SiteLabel, &enter);
        QCOMPARE(about.SiteLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(about.SiteLabel->font().underline());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(about.SiteLabel, &leave);
        QVERIFY(!about.SiteLabel->font().underline());
        QMouseEvent click(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(about.SiteLabel, &click);
        QCoreApplication::sendEvent(about.LogoImage, &click);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0].host(), QString("www.kelvra.example"));
    }

    void aboutNamesTheLicences() {
        TAboutDialog about;
        about.show();
        QVERIFY(!about.LicencesText->isVisible());
        about.LicencesButton->click();
        QVERIFY(about.LicencesText->isVisible());
        const QString text = about.LicencesText->toPlainText();
        for (const char* name : {"GNU General Public License as published by the Free Software "
                                 "Foundation, either version 3",
                                 "Qt 6", "QCustomPlot 2.1", "hidapi", "libudev"})
            QVERIFY2(text.contains(name), name);
        QVERIFY(about.LicencesText->height() > 100);
        about.LicencesButton->click();
        QVERIFY(!about.LicencesText->isVisible());
    }
};

QTEST_MAIN(TestHintsAndAbout)
#include "test_HintsAndAbout.moc"
