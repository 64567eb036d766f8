#include "KvrLabelUnit.h"
#include "NumberLabel.h"
#include "ToolTipManager.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestAngledLabelAndBalloons : public QObject {
    Q_OBJECT

    // Shows the tip of the widget as the pointer resting on it would.
    static void Hover(QWidget* Widget) {
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(Widget, &enter);
    }

    struct Fixture {
        QWidget window;
        QPushButton* button = new QPushButton("Start", &window);
        QComboBox* combo = new QComboBox(&window);
        TToolTipManager manager;
        QStringList shown;

        Fixture() {
            combo->setEditable(true);
            // Away from the pointer's place, which the window's own enter events follow.
            window.resize(300, 200);
            button->move(100, 100);
            combo->move(100, 140);
            manager.ShowPause = 1;
            manager.ReshowPause = 1;
            manager.OnShow = [this](TToolTipManager*, TToolTipItem* item) {
                shown << item->Title + "/" + item->Description;
            };
            window.show();
        }
    };

    // The label drawn into an image at a device pixel ratio, over white.
    static QImage Drawn(QLabel& Label, qreal Ratio) {
        QImage image((QSizeF(Label.size()) * Ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(Ratio);
        image.fill(Qt::white);
        Label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

private slots:
    void numberLabelLooksAsALabelDoes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<QString>("state"); // live, disabled or indented
        QTest::addColumn<qreal>("ratio");
        const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("count") << "1023" << left << 9 << "live" << 1.0;
        QTest::newRow("negative delta") << "-57" << left << 9 << "live" << 1.0;
        QTest::newRow("every character") << "+0123456789.-" << left << 9 << "live" << 1.0;
        QTest::newRow("right aligned")
            << "65535" << int(Qt::AlignRight | Qt::AlignVCenter) << 9 << "live" << 1.0;
        QTest::newRow("centred, at the top")
            << "-1" << int(Qt::AlignHCenter | Qt::AlignTop) << 11 << "live" << 1.0;
        QTest::newRow("at the bottom")
            << "7" << int(Qt::AlignLeft | Qt::AlignBottom) << 8 << "live" << 1.0;
        QTest::newRow("scaled by 1.25") << "-600" << left << 9 << "live" << 1.25;
        QTest::newRow("scaled by 2") << "1600" << left << 9 << "live" << 2.0;
        QTest::newRow("other text") << "n/a" << left << 9 << "live" << 1.0;
        QTest::newRow("disabled") << "1023" << left << 9 << "disabled" << 1.0;
        QTest::newRow("indented") << "1023" << left << 9 << "indented" << 1.0;
        QTest::newRow("empty") << "" << left << 9 << "live" << 1.0;
    }
    void numberLabelLooksAsALabelDoes() {
        QFETCH(QString, text);
        QFETCH(int, alignment);
        QFETCH(int, pointSize);
        QFETCH(QString, state);
        QFETCH(qreal, ratio);
        QLabel plain;
        TNumberLabel number;
        for (QLabel* label : {&plain, static_cast<QLabel*>(&number)}) {
            label->setTextFormat(Qt::PlainText);
            label->setFont(QFont("DejaVu Sans", pointSize));
            label->setAlignment(Qt::Alignment(alignment));
            label->setText(text);
            label->setEnabled(state != "disabled");
            label->setIndent(state == "indented" ? 5 : -1);
            label->resize(70, 23);
        }
        const QImage expected = Drawn(plain, ratio);
        QCOMPARE(Drawn(number, ratio), expected);
        // A new font is looked up anew.
        plain.setFont(QFont("DejaVu Sans", pointSize + 3));
        number.setFont(QFont("DejaVu Sans", pointSize + 3));
        QCOMPARE(Drawn(number, ratio), Drawn(plain, ratio));
    }

    void angledCaptionRunsUpFromTheBottomLeftCorner() {
        QWidget background;
        background.setAutoFillBackground(true);
        QPalette p = background.palette();
        p.setColor(QPalette::Window, Qt::yellow);
        background.setPalette(p);
        background.resize(40, 80);
        TKvrLabel label("HALT THR0", &background);
        label.setGeometry(0, 0, 17, 64);
        QFont f("DejaVu Sans", 8);
        f.setBold(true);
        label.setFont(f);
        label.SetAngledText(true);
        QCOMPARE(label.Angle(), 90);

        const QImage image = background.grab(QRect(0, 0, 17, 64)).toImage();
        const QFontMetrics metrics(f);
        const int run = metrics.horizontalAdvance("HALT THR0");
        QRect ink;
        bool background_seen = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == QColor(Qt::yellow)) {
                    background_seen = true;
                    continue;
                }
                ink |= QRect(x, y, 1, 1);
            }
        QVERIFY(background_seen); // transparent: the parent's colour shows through
        QVERIFY(!ink.isEmpty());
        // Upwards from the bottom edge, glyphs right of the left edge, one line wide.
        QVERIFY2(ink.bottom() >= 64 - 3, qPrintable(QString::number(ink.bottom())));
        QVERIFY(ink.top() >= 64 - run - 1);
        QVERIFY(ink.left() >= 0 && ink.right() <= metrics.height());
        QVERIFY(ink.height() > ink.width()); // it runs vertically

        // Not angled: paints as a plain label, text across.
        label.SetAngledText(false);
        label.setGeometry(0, 0, 80, 20);
        background.resize(100, 80);
        const QImage plain = background.grab(QRect(0, 0, 80, 20)).toImage();
        QRect plainInk;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                if (plain.pixelColor(x, y) != QColor(Qt::yellow)) plainInk |= QRect(x, y, 1, 1);
        QVERIFY(plainInk.width() > plainInk.height());
    }

    void hintsSplitIntoTitleAndText() {
        struct Case {
            QString hint, presetTitle, title, text;
        };
        const Case cases[] = {
            {"Start|Start streaming", "", "Start", "Start streaming"},
            {"Start streaming", "", "", "Start streaming"},
            {"a|b|c", "", "a", "b|c"},
            {"Start|Start streaming", "Kept", "Kept", "Start streaming"},
            {"", "", "", ""},
        };
        for (const Case& c : cases) {
            Fixture f;
            f.button->setToolTip(c.hint);
            TToolTipItem& item = f.manager.ToolTips.Add();
            item.Title = c.presetTitle;
            item.SetControl(f.button);
            QCOMPARE(item.Title, c.title);
            QCOMPARE(item.Description, c.text);
        }
    }

    void tipShowsWithItsTextsAndHidesOnLeave() {
        Fixture f;
        TToolTipItem& item = f.manager.ToolTips.Add();
        item.IconType = ttiInformation;
        item.Color = QColor(1, 2, 3);
        item.SetControl(f.button);
        item.Title = "Start Streaming (F1)";
        item.Description = "Start Streaming the PXS733";
        f.manager.RebuildToolTips();

        Hover(f.button);
        QTRY_COMPARE(f.manager.VisibleToolTip(), &item);
        QVERIFY(f.manager.Balloon().isVisible());
        QCOMPARE(f.manager.Balloon().Title(), QString("Start Streaming (F1)"));
        QCOMPARE(f.manager.Balloon().Background(), QColor(1, 2, 3));
        QCOMPARE(f.manager.Balloon().Foreground(), f.manager.DefaultTextColor);
        QVERIFY(f.manager.Balloon().width() <= f.button->screen()->geometry().width() / 3);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(f.button, &leave);
        QCOMPARE(f.manager.VisibleToolTip(), nullptr);
        QVERIFY(!f.manager.Balloon().isVisible());
    }

    void anEmptiedTextShowsNoTip() {
        Fixture f;
        f.button->setToolTip("Start|Start streaming");
        f.manager.ToolTips.Add().SetControl(f.button);
        f.manager.OnBeforeShow = [](TToolTipManager*, TToolTipItem* item) {
            item->Title.clear();
            item->Description.clear();
        };
        f.manager.RebuildToolTips();
        Hover(f.button);
        QTest::qWait(20);
        QVERIFY(f.shown.isEmpty());
        QCOMPARE(f.manager.VisibleToolTip(), nullptr);
    }

    void disablingRemovesTheTipsAndEnablingBringsThemBack() {
        Fixture f;
        f.button->setToolTip("Start|Start streaming");
        f.manager.ToolTips.Add().SetControl(f.button);
        f.manager.RebuildToolTips();
        Hover(f.button);
        QTRY_COMPARE(f.shown.size(), 1);

        f.manager.SetEnabled(false); // the tip that is up goes at once
        QCOMPARE(f.manager.VisibleToolTip(), nullptr);
        Hover(f.button);
        QTest::qWait(20);
        QCOMPARE(f.shown.size(), 1);

        f.manager.SetEnabled(true);
        Hover(f.button);
        QTRY_COMPARE(f.shown.size(), 2);
    }

    void aComboBoxInnerEditShowsTheComboBoxTip() {
        Fixture f;
        f.combo->setToolTip("Supply|Supply voltage of the IC");
        f.manager.ToolTips.Add().SetControl(f.button);
        TToolTipItem& comboItem = f.manager.ToolTips.Add();
        comboItem.SetControl(f.combo);
        f.manager.RebuildToolTips();
        QCOMPARE(f.manager.ToolTips.FindToolTip(f.combo->lineEdit()), &comboItem);
        Hover(f.combo->lineEdit());
        QTRY_COMPARE(f.shown, QStringList{"Supply/Supply voltage of the IC"});
    }

    void aDestroyedControlLeavesItsItemWithoutOne() {
        Fixture f;
        f.button->setToolTip("Start|Start streaming");
        TToolTipItem& item = f.manager.ToolTips.Add();
        item.SetControl(f.button);
        f.manager.RebuildToolTips();
        int hidden = 0;
        f.manager.OnHide = [&](TToolTipManager*, TToolTipItem*) { ++hidden; };
        Hover(f.button);
        QTRY_COMPARE(f.manager.VisibleToolTip(), &item);

        delete f.button; // while its balloon is up
        QCOMPARE(item.Control(), nullptr);
        QCOMPARE(f.manager.VisibleToolTip(), nullptr);
        QCOMPARE(hidden, 1);
        f.manager.RebuildToolTips(); // and nothing dangles
        QCOMPARE(f.manager.ToolTips.FindToolTip(&f.window), nullptr);
    }
};

QTEST_MAIN(TestAngledLabelAndBalloons)
#include "test_AngledLabelAndBalloons.moc"
