// The "LX200 Control" window and the date/time dialog in the real main window, against the
// simulated LX200 mount.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "GuiTestSupport.h"
#include "sim/SimulatedMount.h"
#include "support/DeafPort.h"
#include "support/SteppingClock.h"
#include "ui/main/MainWindow.h"
#include "ui/telescope/DateTimeDialog.h"
#include "ui/telescope/Lx200ControlWindow.h"
#include "ui/telescope/TelescopePanel.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const MountSite kSite{45.5, -73.6, 50, -4};

bool Received(const SimulatedMount& mount, const std::string& command) {
    const auto all = mount.Commands();
    return std::find(all.begin(), all.end(), command) != all.end();
}

size_t CountOf(const SimulatedMount& mount, const std::string& command) {
    const auto all = mount.Commands();
    return static_cast<size_t>(std::count(all.begin(), all.end(), command));
}

// Commands from position `from` on.
size_t CountSince(const SimulatedMount& mount, size_t from, const std::string& command) {
    const auto all = mount.Commands();
    return static_cast<size_t>(std::count(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end(), command));
}

bool ReceivedStarting(const SimulatedMount& mount, const std::string& prefix) {
    for (const std::string& c : mount.Commands())
        if (c.rfind(prefix, 0) == 0) return true;
    return false;
}

// Virtual time that moves only when somebody waits, a millisecond of real time per wait.
struct VirtualTime {
    explicit VirtualTime(double jd) : clock(jd) {
        clock.onSleep = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    }
    test::SteppingClock clock;
};

QByteArray Config() {
    return "ScopeType=LX200\r\nComPort=1\r\nLocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
           "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\n";
}

// The main window at 22:00 on 28 April 2017 with the simulated LX200, reached through a line that
// loses the commands in `lost` (none: the mount itself), and the LX200 Control window open.
struct OpenPanel {
    explicit OpenPanel(std::vector<std::string> lost = {})
        : time(CivilToJulianDate(2017, 4, 28, 22, 0, 0)), mount(MountModel::LX200, kSite, time.clock) {
        folder.AddMapData();
        guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), Config());
        line = std::make_unique<test::DeafPort>(mount, std::move(lost));
        w = std::make_unique<MainWindow>(time.clock, live, nullptr, line.get());
        if (!w->Initialise()) return;
        w->RunCommand(kCmdLX200Control);
        panel = w->lx200Control();
    }
    guitest::WorkingFolder folder;
    VirtualTime time;
    SimulatedMount mount;
    std::unique_ptr<test::DeafPort> line;
    LiveState live;
    std::unique_ptr<MainWindow> w;
    Lx200ControlWindow* panel = nullptr;
};

}  // namespace

class Lx200ControlTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-lx200-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void thePanelReadsSearchesSlewsAndKeepsSites() {
        guitest::WorkingFolder folder;
        QVERIFY(folder.AddMapData());
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), Config()));
        VirtualTime time(CivilToJulianDate(2017, 4, 28, 22, 0, 0));
        SimulatedMount mount(MountModel::LX200, kSite, time.clock);
        LiveState live;
        MainWindow w(time.clock, live, nullptr, &mount);
        QVERIFY(w.Initialise());

        // Opening connects the mount and starts the read-out.
        w.RunCommand(kCmdLX200Control);
        Lx200ControlWindow* panel = w.lx200Control();
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->windowTitle(), QString("LX200 Control"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Telescope()->connectButton->text(), QString("Dis&connect"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(panel->telescopeRa->text().startsWith("  R.A.:  "), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(panel->telescopeDec->text().startsWith("   DEC: "), 5000);
        QVERIFY(Received(mount, ":RS#"));
        // The site of entry 1, as the mount keeps it.
        QTRY_COMPARE_WITH_TIMEOUT(panel->siteName->text(), QString("CVA"), 5000);
        QCOMPARE(panel->latitudeDegrees->currentText(), QString("+45"));
        QCOMPARE(panel->latitudeMinutes->currentText(), QString("30"));
        QCOMPARE(panel->longitudeDegrees->currentText(), QString("073"));
        QCOMPARE(panel->utcOffset->currentText(), QString("+04"));

        // Not armed: the action button searches.
        panel->better->setCurrentText("Super");
        QVERIFY(!panel->SearchArmed());
        panel->slewButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(panel->SearchArmed(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        QCOMPARE(CountOf(mount, ":Sq#"), size_t(4));  // "GD" to "Super"
        QVERIFY(Received(mount, ":Sb +20.0#"));
        QVERIFY(Received(mount, ":Sf -05.0#"));
        QVERIFY(Received(mount, ":LF#"));
        QVERIFY2(panel->objectText->text().contains("MAG"), qPrintable(panel->objectText->text()));
        QVERIFY(panel->objectRa->text().startsWith("  R.A.:  "));
        QVERIFY(panel->syncButton->isEnabled());
        // Armed: it slews.
        panel->slewButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":MS#"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        // A changed filter disarms the search.
        panel->higher->setText("10");
        QVERIFY(!panel->SearchArmed());

        // Site 3: read, changed, saved, and shown as the mount stored it.
        panel->siteEntry->setCurrentIndex(2);
        panel->ReadSite();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":GO#"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->siteName->text(), QString("CVC"), 5000);
        panel->siteName->setText("OBS");
        panel->latitudeDegrees->setCurrentText("+52");
        panel->longitudeMinutes->setCurrentText("15");
        panel->saveSiteButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":SO OBS#"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        QCOMPARE(panel->siteName->text(), QString("OBS"));
        QCOMPARE(panel->latitudeDegrees->currentText(), QString("+52"));
        QCOMPARE(panel->longitudeMinutes->currentText(), QString("15"));

        // Date and time from the computer clock.
        panel->dateTimeButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":SC 04/28/17#"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ReceivedStarting(mount, ":SL 22:"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        for (QMessageBox* b : panel->findChildren<QMessageBox*>()) QFAIL(qPrintable(b->text()));

        // The direction pad: a press moves, the release sends the combined stop.
        panel->rateCenter->setChecked(true);
        QTest::mousePress(panel->north, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":Mn#"), 5000);
        QTest::mouseRelease(panel->north, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":Qw#"), 5000);
        QVERIFY(Received(mount, ":RC#"));
        const int polls = panel->PollCount();
        QTRY_VERIFY_WITH_TIMEOUT(panel->PollCount() > polls, 3000);  // the polling goes on
        // Esc hides the window and ends the polling.
        QTest::keyClick(panel, Qt::Key_Escape);
        QVERIFY(!panel->isVisible());
        QVERIFY(!panel->PollTimer().isActive());
        w.ShutDown();
    }

    void closingEndsTheReadoutsStillQueued() {
        OpenPanel f;
        QVERIFY(f.panel);
        Lx200ControlWindow* panel = f.panel;
        SimulatedMount& mount = f.mount;
        QTRY_VERIFY_WITH_TIMEOUT(panel->PollCount() > 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        // The session is held up (as by a slow mount) while a read-out and a site read queue
        // behind it; then the window closes.
        std::atomic<bool> release{false};
        f.w->session().Post([&release](SerialLink& link) {
            while (!release.load()) link.Wait(10);
        });
        QTest::qWait(700);  // a poll comes due and waits its turn
        panel->ReadSite();
        panel->close();
        QVERIFY(!panel->PollTimer().isActive());
        const size_t atClose = mount.Commands().size();
        release.store(true);
        QTRY_VERIFY_WITH_TIMEOUT(CountSince(mount, atClose, ":W1#") == 1, 5000);  // the user's command runs
        QTest::qWait(1200);
        QCOMPARE(CountSince(mount, atClose, ":GR#"), size_t(0));
        QCOMPARE(CountSince(mount, atClose, ":GD#"), size_t(0));
        f.w->ShutDown();
    }

    void goToObjectSlewsToTheObjectLookedUp() {
        // A mount that does not keep the target's position: "#:Gr#" and "#:Gd#" go unanswered.
        OpenPanel f({"#:Gr#", "#:Gd#"});
        QVERIFY(f.panel);
        Lx200ControlWindow* panel = f.panel;
        SimulatedMount& mount = f.mount;
        test::DeafPort& line = *f.line;
        QTRY_VERIFY_WITH_TIMEOUT(panel->PollCount() > 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        panel->libraryType->setCurrentIndex(0);
        panel->libraryObject->setEditText("42");
        panel->goToButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":LM 0042#"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":MS#"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        QVERIFY2(panel->objectText->text().contains("M42"), qPrintable(panel->objectText->text()));
        QCOMPARE(panel->objectRa->text(), QString("  R.A.: N/A"));
        // The silent "#:Gr#" is asked once, "#:Gd#" never; the next look-up asks neither.
        QCOMPARE(line.Written("#:Gr#"), size_t(1));
        QCOMPARE(line.Written("#:Gd#"), size_t(0));
        panel->libraryObject->setEditText("31");
        panel->goToButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":LM 0031#"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(CountOf(mount, ":MS#"), size_t(2), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->Busy(), 5000);
        QCOMPARE(line.Written("#:Gr#"), size_t(1));
        f.w->ShutDown();
    }

    void theDateTimeDialogShiftsTheProgramClockAndSetsTheMount() {
        guitest::WorkingFolder folder;
        QVERIFY(folder.AddMapData());
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), Config()));
        VirtualTime time(CivilToJulianDate(2017, 4, 28, 22, 10, 30));
        SimulatedMount mount(MountModel::LX200, kSite, time.clock);
        LiveState live;
        MainWindow w(time.clock, live, nullptr, &mount);
        QVERIFY(w.Initialise());
        w.Telescope()->connectButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Telescope()->connectButton->text(), QString("Dis&connect"), 5000);

        // Three days ahead at the current hour and minute, "LX200" unticked: only the program
        // clock moves.
        bool tick = false;
        int chosenDay = 3;
        guitest::ModalAnswerer answer([&](QWidget* modal) {
            if (auto* d = qobject_cast<DateTimeDialog*>(modal)) {
                QCOMPARE(d->windowTitle(), QString("Adjust/Reset LX200 Date and Time"));
                QCOMPARE(d->dateList->count(), 11);
                QVERIFY(d->lx200->isEnabled());
                d->lx200->setChecked(tick);
                if (chosenDay < 0) {
                    d->resetButton->click();
                } else {
                    d->dateList->setCurrentIndex(chosenDay);
                    d->adjustButton->click();
                }
            }
        });
        const size_t sentBefore = mount.Commands().size();
        w.SetClockButton()->click();
        const double correction = time.clock.Correction();
        QVERIFY2(correction > 3.0 - 31.0 / 86400 && correction < 3.0 - 29.0 / 86400,
                 qPrintable(QString::number(correction, 'f', 8)));
        QVERIFY(w.ClockLine()->text().startsWith("(Adjusted) "));
        QTest::qWait(200);
        QCOMPARE(mount.Commands().size(), sentBefore);
        QCOMPARE(w.settings().LX200TimeAdjust, 0);

        // Reset returns to the computer clock.
        chosenDay = -1;
        w.SetClockButton()->click();
        QCOMPARE(time.clock.Correction(), 0.0);
        QVERIFY(!w.ClockLine()->text().startsWith("(Adjusted) "));

        // Ticked: the mount gets the shifted date.
        tick = true;
        chosenDay = 3;
        w.SetClockButton()->click();
        QCOMPARE(w.settings().LX200TimeAdjust, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Received(mount, ":SC 05/01/17#"), 5000);
        QVERIFY(ReceivedStarting(mount, ":SL 22:10:"));
        QTRY_VERIFY_WITH_TIMEOUT(w.session().Idle(), 10000);
        QVERIFY(w.findChildren<QMessageBox*>().isEmpty());

        // A mount that no longer answers: the message, and the correction stays.
        mount.InjectFault(MountFault::Silence);
        chosenDay = 2;
        w.SetClockButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.findChildren<QMessageBox*>().isEmpty(), 10000);
        QMessageBox* box = w.findChildren<QMessageBox*>().first();
        QCOMPARE(box->text(), QString("Unable to set LX200 Date/Time."));
        QCOMPARE(box->windowTitle(), QString("LX200 Connection Error."));
        QVERIFY(time.clock.Correction() > 1.9);
        box->close();
        w.ShutDown();
    }
};

QTEST_MAIN(Lx200ControlTest)
#include "lx200_control_test.moc"
