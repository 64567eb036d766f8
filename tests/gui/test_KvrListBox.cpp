#include "KvrListBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

class TestKvrListBox : public QObject {
    Q_OBJECT

    // A list configured as the main window's message list.
    static void Configure(TKvrListBox& list) {
        list.ItemsPrefix = " ";
        list.MouseOverColor = QColor(0xE9, 0xE9, 0xE9);
        list.SelectedColor = QColor(0xD7, 0xEB, 0xFF);
        list.SetItemHeight(13);
        list.resize(200, 80);
    }

private slots:
    void itemsCarryTheirKindAndPrefixAndColours() {
        TKvrListBox list;
        Configure(list);
        QCOMPARE(list.KvrAddItem("ready", aInfo), 0);
        QCOMPARE(list.KvrAddItem("failed", aError), 1);
        QCOMPARE(list.item(0)->text(), QString(" ready"));
        QCOMPARE(list.item(1)->text(), QString(" failed"));
        QCOMPARE(list.ItemType(0), aInfo);
        QCOMPARE(list.ItemType(1), aError);
        QCOMPARE(list.ItemTextColor(0), QColor(0x00, 0x80, 0x00));
        QCOMPARE(list.ItemBackground(0, false), QColor(0xF0, 0xFF, 0xF0));
        QCOMPARE(list.ItemTextColor(1), QColor(0xFF, 0x00, 0x00));
        QCOMPARE(list.ItemBackground(1, false), QColor(0xFF, 0xF0, 0xF0));
        // A selected error line: selection colour behind the error text colour.
        QCOMPARE(list.ItemBackground(1, true), QColor(0xD7, 0xEB, 0xFF));
    }

    void paintsKindSelectionAndHoverColours() {
        TKvrListBox list;
        Configure(list);
        list.KvrAddItem("a", aInfo);
        list.KvrAddItem("b", aError);
        list.KvrAddItem("c", aError);
        list.KvrSetItemIndex(2);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto pixelOfRow = [&list](int row) {
            const QRect r = list.visualItemRect(list.item(row));
            return list.viewport()->grab().toImage().pixelColor(r.right() - 2, r.center().y());
        };
        QCOMPARE(pixelOfRow(0), QColor(0xF0, 0xFF, 0xF0));
        QCOMPARE(pixelOfRow(1), QColor(0xFF, 0xF0, 0xF0));
        QCOMPARE(pixelOfRow(2), QColor(0xD7, 0xEB, 0xFF));

        const QPoint overFirst = list.visualItemRect(list.item(0)).center();
        QTest::mouseMove(list.viewport(), overFirst);
        QTRY_COMPARE(list.MouseOverIndex(), 0);
        QCOMPARE(pixelOfRow(0), QColor(0xE9, 0xE9, 0xE9));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&list, &leave);
        QCOMPARE(list.MouseOverIndex(), -1);
        QCOMPARE(pixelOfRow(0), QColor(0xF0, 0xFF, 0xF0));
    }

    void notificationsFireAfterTheItemIsInTheList() {
        TKvrListBox list;
        int countSeen = -1, infos = 0;
        list.OnErrorItem = [&](TKvrListBox* sender) { countSeen = sender->count(); };
        list.OnInfoItem = [&](TKvrListBox*) { ++infos; };
        list.KvrAddItem("x", aError);
        QCOMPARE(countSeen, 1);
        QCOMPARE(infos, 0);
    }

    void addStringsPrefixesEachLineOnceAndNotifiesOnce() {
        TKvrListBox list;
        Configure(list);
        int errors = 0;
        list.OnErrorItem = [&](TKvrListBox*) { ++errors; };
        list.KvrAddItem("first", aInfo);
        QVERIFY(list.KvrAddStrings({"a", "b", "c"}, aError));
        QCOMPARE(list.count(), 4);
        QCOMPARE(list.item(0)->text(), QString(" first"));
        for (int i = 1; i < 4; ++i) {
            QVERIFY(list.item(i)->text().startsWith(" "));
            QVERIFY(!list.item(i)->text().startsWith("  "));
            QCOMPARE(list.ItemType(i), aError);
        }
        QCOMPARE(errors, 1);

        QVERIFY(list.KvrAddStrings({}, aError));
        QCOMPARE(list.count(), 4);
        QCOMPARE(errors, 2);
    }

    void setItemIndexChecksItsRange() {
        TKvrListBox list;
        list.KvrAddStrings({"a", "b"}, aInfo);
        QVERIFY(list.KvrSetItemIndex(1));
        QCOMPARE(list.currentRow(), 1);
        QVERIFY(!list.KvrSetItemIndex(2));
        QVERIFY(!list.KvrSetItemIndex(-2));
        QCOMPARE(list.currentRow(), 1);
        QVERIFY(list.KvrSetItemIndex(-1));
        QVERIFY(list.selectedItems().isEmpty());
    }

    void deleteOutsideTheListRaisesAndChangesNothing() {
        TKvrListBox list;
        list.KvrAddItem("a", aInfo);
        list.KvrAddItem("b", aError);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.KvrDelete(2));
        QCOMPARE(list.count(), 2);
        list.KvrDelete(0);
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.ItemType(0), aError); // kinds stay in step with the items
    }

    void horizontalExtentFitsTheWidestItem() {
        TKvrListBox list;
        Configure(list);
        list.show();
        const QFontMetrics metrics(list.font());
        auto extentOf = [&](const QString& text) {
            return metrics.horizontalAdvance(" " + text) + 5;
        };
        list.KvrAddItem(QString(200, 'W'), aInfo);
        list.KvrAddItem("narrow", aInfo); // a narrower line keeps the widest extent
        QCOMPARE(list.HorizontalExtent(), extentOf(QString(200, 'W')));
        QVERIFY(list.HorizontalExtent() > list.viewport()->width());
        QTRY_VERIFY(list.horizontalScrollBar()->maximum() > 0);
        list.KvrDelete(0); // removing the widest measures the rest again
        QCOMPARE(list.HorizontalExtent(), extentOf("narrow"));
        list.KvrAddStrings({"mid line", QString(60, 'M')}, aInfo);
        QCOMPARE(list.HorizontalExtent(), extentOf(QString(60, 'M')));
        list.KvrClear();
        QCOMPARE(list.HorizontalExtent(), 5);
        QTRY_COMPARE(list.horizontalScrollBar()->maximum(), 0);
    }

    void timedLinesCanBeReadWholeCopiedAndSaved() {
        TKvrListBox list;
        list.ShowTimes = true;
        list.ItemsPrefix = " ";
        list.setSelectionMode(QAbstractItemView::ExtendedSelection);
        list.resize(120, 80);
        const QString wide = "A line much wider than the list that shows it, told in full";
        list.KvrAddItem("First", aInfo);
        list.KvrAddItem(wide, aError);
        QCOMPARE(list.item(1)->text(), " " + wide); // the stored text has no time
        QCOMPARE(list.item(1)->toolTip(), wide);
        const QRegularExpression line(R"(^\d\d:\d\d:\d\d (.*)$)");
        const QStringList all = list.LinesText(false).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(all.size(), 2);
        QCOMPARE(line.match(all[1]).captured(1), wide);
        // The time is drawn before the text, and the scroll range makes room for it.
        QVERIFY(list.HorizontalExtent() >
                QFontMetrics(list.font()).horizontalAdvance(" " + wide) +
                    QFontMetrics(list.font()).horizontalAdvance("00:00:00"));

        list.item(1)->setSelected(true);
        QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(line.match(QGuiApplication::clipboard()->text().trimmed()).hasMatch());
        QCOMPARE(line.match(QGuiApplication::clipboard()->text().trimmed()).captured(1), wide);
    }

    void autoScrollKeepsTheNewestItemInView() {
        TKvrListBox list;
        Configure(list);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (int i = 0; i < 100; ++i)
            list.KvrAddItem(QString::number(i), aInfo);
        // The burst is scrolled to once the event loop runs.
        QTRY_VERIFY(list.viewport()->rect().contains(list.visualItemRect(list.item(99))));
    }

    void everyAddedLineNotifiesOnceAfterItIsIn() {
        TKvrListBox list;
        QStringList seen;
        list.OnInfoItem = [&](TKvrListBox* l) {
            seen << "info:" + l->item(l->count() - 1)->text();
        };
        list.OnErrorItem = [&](TKvrListBox* l) {
            seen << "error:" + l->item(l->count() - 1)->text();
        };
        list.KvrAddItem("a", aInfo);
        list.KvrAddItem("b", aError);
        list.KvrAddStrings({"c", "d"}, aInfo); // one notification for the whole block
        QCOMPARE(seen, QStringList({"info:a", "error:b", "info:d"}));
    }
};

QTEST_MAIN(TestKvrListBox)
#include "test_KvrListBox.moc"
