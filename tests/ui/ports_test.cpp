// Output ports: a worker thread posts to the GUI thread and never touches a widget itself.
#include <QLabel>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "ui/common/GuiPost.h"

using corvane::ui::PostToGui;

class PortsTest : public QObject {
    Q_OBJECT
private slots:
    void postedCallsRunOnTheGuiThreadInOrder() {
        QLabel label;
        QStringList seen;
        QThread* gui = QThread::currentThread();
        std::atomic<bool> allOnGui{true};
        std::thread worker([&] {
            for (int i = 0; i < 50; ++i)
                PostToGui(&label, [&, i] {
                    if (QThread::currentThread() != gui) allOnGui = false;
                    seen << QString::number(i);
                    label.setText(QString::number(i));
                });
        });
        worker.join();
        QTRY_COMPARE(seen.size(), 50);
        QVERIFY(allOnGui);
        QCOMPARE(seen.first(), QString("0"));
        QCOMPARE(seen.last(), QString("49"));
        QCOMPARE(label.text(), QString("49"));
    }

    void callsForAWindowThatIsGoneAreDropped() {
        auto* label = new QLabel;
        std::atomic<int> ran{0};
        std::thread worker([&] { PostToGui(label, [&] { ++ran; }); });
        worker.join();
        delete label;  // before the event loop runs the posted call
        QTest::qWait(50);
        QCOMPARE(ran.load(), 0);
    }

    // A window closed by one message (its receiver deleted) must not receive the next ones,
    // while calls for other receivers go on in order.
    void aWindowDeletedByAnEarlierCallGetsNoLaterCalls() {
        auto* closing = new QLabel;
        QLabel staying;
        QStringList seen;
        std::thread worker([&] {
            PostToGui(closing, [&seen, closing] {
                seen << "close";
                delete closing;
            });
            PostToGui(closing, [&seen] { seen << "after close"; });
            PostToGui(&staying, [&seen] { seen << "other window"; });
        });
        worker.join();
        QTRY_COMPARE(seen.size(), 2);
        QTest::qWait(20);
        QCOMPARE(seen, (QStringList{"close", "other window"}));
    }
};

QTEST_MAIN(PortsTest)
#include "ports_test.moc"
