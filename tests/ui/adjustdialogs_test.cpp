// "Tracking Adjustments with Mouse", "Find Timing Offset" and "Joystick Adjust", driven through
// their windows with a virtual pointer and a virtual joystick.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "core/Settings.h"
#include "passes/Adjustments.h"
#include "ui/telescope/FindTimingDialog.h"
#include "ui/telescope/Joystick.h"
#include "ui/telescope/MouseAdjustDialog.h"

using namespace corvane;
using namespace corvane::ui;

class AdjustDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void mouseWindowAdjustsWithThePointerAndKeys() {
        Settings s;
        s.TimingMouseAdjust = 4;  // finest
        s.AlignmentMouseAdjust = 0;
        AdjustmentBoxes boxes;
        boxes.timing = "1";
        boxes.alignment = "0";
        MouseAdjustDialog d(boxes, s);
        QPoint pointer(0, 0);
        d.pointerPos = [&] { return pointer; };
        d.setPointerPos = [&](QPoint p) { pointer = p; };
        d.show();
        QCOMPARE(d.windowTitle(), QString("Tracking Adjustments with Mouse"));
        QCOMPARE(d.helpLine->text(),
                 QString("Right-Click or [End] key to Start and Stop Move mouse or arrow keys to adjust"));
        QCOMPARE(d.timingCaption->text(), QString("[PgDn]  Timing Offset Sensitivity    [PgUp]"));
        QCOMPARE(d.alignmentCaption->text(), QString("Alignment Adjustment Sensitivity"));
        QCOMPARE(d.timingSlider->value(), 0);
        QCOMPARE(d.alignmentSlider->value(), 4);
        QCOMPARE(d.timer().interval(), 60);
        QVERIFY(d.timer().isActive());

        // End starts: controls hidden, cross cursor, pointer on the reference point.
        QTest::keyClick(&d, Qt::Key_End);
        QVERIFY(d.logic().Active());
        QVERIFY(!d.timingSlider->isVisible());
        QVERIFY(!d.closeButton->isVisible());
        QCOMPARE(pointer, QPoint(214, 188));
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::CrossCursor);

        pointer = QPoint(214 - 90, 188 + 2);
        d.Tick();
        QCOMPARE(QString::fromStdString(boxes.timing), QString("1.25"));
        QCOMPARE(QString::fromStdString(boxes.alignment), QString("-0.5"));
        // Arrow keys move the pointer, the pointer stays inside the area.
        QTest::keyClick(&d, Qt::Key_Right);
        d.Tick();
        QCOMPARE(pointer, QPoint(214 - 85, 190));
        pointer = QPoint(-40, 900);
        d.Tick();
        QCOMPARE(pointer, QPoint(13, 32 + 311));
        // Page Down at "Fine" keeps the timing slider, moves the alignment slider, re-bases.
        QTest::keyClick(&d, Qt::Key_PageDown);
        d.Tick();
        QCOMPARE(d.timingSlider->value(), 0);
        QCOMPARE(d.alignmentSlider->value(), 3);
        QCOMPARE(pointer, QPoint(214, 188));

        // A right click stops; Escape then restores the opening values.
        QTest::mouseClick(&d, Qt::RightButton, {}, QPoint(100, 100));
        QVERIFY(!d.logic().Active());
        QVERIFY(d.timingSlider->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(d.isVisible());  // Escape does not close the window
        d.Tick();
        QCOMPARE(QString::fromStdString(boxes.timing), QString("1"));
        QCOMPARE(QString::fromStdString(boxes.alignment), QString("0"));

        // "Close" keeps the sensitivities (4 minus the slider positions).
        d.closeButton->click();
        QVERIFY(!d.isVisible());
        QVERIFY(!d.timer().isActive());
        QCOMPARE(s.TimingMouseAdjust, 4);
        QCOMPARE(s.AlignmentMouseAdjust, 1);
    }

    void mouseWindowClosedWhileAdjustingRestoresTheCursor() {
        Settings s;
        AdjustmentBoxes boxes;
        MouseAdjustDialog d(boxes, s);
        QPoint pointer;
        d.pointerPos = [&] { return pointer; };
        d.setPointerPos = [&](QPoint p) { pointer = p; };
        d.show();
        d.ToggleActive();
        QVERIFY(QApplication::overrideCursor() != nullptr);
        d.close();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!d.timer().isActive());
        QCOMPARE(s.TimingMouseAdjust, 0);  // the close box keeps nothing
    }

    void findTimingWindowSweepsAndStores() {
        Settings s;
        s.TestTimingStart = -2;
        s.TestTimingEnd = 2;
        s.TestTimingIncrement = 0.5;
        s.TestTimingIncrementFrequency = 4;
        AdjustmentBoxes boxes;
        {
            FindTimingDialog d(boxes, s);
            d.show();
            QCOMPARE(d.windowTitle(), QString("Find Timing Offset"));
            QVERIFY(
                d.explanation->text().startsWith("The Find Timing Offset Function is designed primarily"));
            QVERIFY(d.explanation->text().endsWith("press the space bar or click the 'Stop' button."));
            QCOMPARE(d.startList->count(), 21);
            QCOMPARE(d.startList->currentText(), QString("-2"));
            QCOMPARE(d.endList->currentText(), QString("2"));
            QCOMPARE(d.incrementList->currentText(), QString("0.5"));
            QCOMPARE(d.frequencyList->currentText(), QString("4"));
            QVERIFY(!d.stopButton->isVisible());

            d.startButton->click();
            QCOMPARE(QString::fromStdString(boxes.timing), QString("-2"));
            QVERIFY(d.stopButton->isVisible());
            QCOMPARE(d.focusWidget(), static_cast<QWidget*>(d.stopButton));
            QCOMPARE(d.timer().interval(), 4000);
            d.Tick();
            d.Tick();
            QCOMPARE(QString::fromStdString(boxes.timing), QString("-1"));
            // The space bar presses "Stop"; the box keeps the value.
            QTest::keyClick(d.stopButton, Qt::Key_Space);
            QVERIFY(!d.stopButton->isVisible());
            QVERIFY(!d.timer().isActive());
            QCOMPARE(QString::fromStdString(boxes.timing), QString("-1"));

            // Without "Loop" the sweep ends by itself one tick after the end value.
            d.incrementList->setCurrentText("2.0");
            d.startButton->click();
            d.Tick();
            d.Tick();
            QCOMPARE(QString::fromStdString(boxes.timing), QString("2"));
            d.Tick();
            QVERIFY(!d.sweep().Running());
            QVERIFY(!d.stopButton->isVisible());

            d.startList->setCurrentText("-5");
            d.frequencyList->setCurrentText("12");
            d.startButton->click();
            d.closeButton->click();
            QVERIFY(!d.timer().isActive());
            QCOMPARE(s.TestTimingStart, -5);
            QCOMPARE(s.TestTimingIncrement, 2.0);
            QCOMPARE(s.TestTimingIncrementFrequency, 12.0);
        }
        // Stored values that no entry matches select nothing.
        s.TestTimingStart = 15;
        s.TestTimingIncrement = 0.7;
        FindTimingDialog again(boxes, s);
        QCOMPARE(again.startList->currentText(), QString());
        QCOMPARE(again.incrementList->currentText(), QString());
        again.startButton->click();  // the empty increment reads as 0: no sweep
        QVERIFY(!again.sweep().Running());
        QCOMPARE(QString::fromStdString(boxes.timing), QString("0"));
    }

    void joystickAdjustPollsEvery250ms() {
        Settings s;
        AdjustmentBoxes boxes;
        int clicks = 0;
        JoystickAdjuster adjuster(boxes, s, [&] { ++clicks; });
        adjuster.source = [] { return std::optional<JoystickReport>({65535, 0, true}); };
        QVERIFY(adjuster.Start());
        adjuster.Poll();
        adjuster.Poll();
        QCOMPARE(QString::fromStdString(boxes.timing), QString("0.2"));
        QCOMPARE(clicks, 1);
        adjuster.Stop();
        QVERIFY(!adjuster.Running());

        // Without a joystick capture fails and nothing runs.
        Joystick none;
        if (!none.Open()) {
            JoystickAdjuster real(boxes, s, {});
            QVERIFY(!real.Start());
            QVERIFY(!real.Running());
        }
    }
};

QTEST_MAIN(AdjustDialogsTest)
#include "adjustdialogs_test.moc"
