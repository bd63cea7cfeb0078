// The telescope controls of the main window: connection failures reach the user as messages,
// and the Log File interface tracks the selected object into its position log.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "sim/SimulatedMount.h"
#include "support/SteppingClock.h"
#include "ui/main/MainWindow.h"
#include "ui/telescope/TelescopePanel.h"

using namespace corvane;
using namespace corvane::ui;

class TelescopeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-telescope-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void aPortThatCannotBeOpenedIsReportedAndNothingTracks() {
        guitest::WorkingFolder folder;
        QVERIFY(folder.AddMapData());
        qputenv("CORVANE_COM3", folder.file("no-such-device").toLocal8Bit());
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
                                               "ScopeType=LX200\r\nComPort=3\r\n"));
        SystemClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QVERIFY(w.Telescope()->comDevice->text().contains("no-such-device"));
        w.Telescope()->connectButton->click();
        QTRY_VERIFY(QApplication::activeModalWidget() || !w.findChildren<QMessageBox*>().isEmpty());
        QStringList texts;
        for (QMessageBox* b : w.findChildren<QMessageBox*>()) texts << b->text();
        QVERIFY(texts.contains("Unable To Initialize Serial Port"));
        QCOMPARE(w.session().ConnectedPort(), 0);
        QCOMPARE(w.Telescope()->connectButton->text(), QString("&Connect"));
        for (QMessageBox* b : w.findChildren<QMessageBox*>()) b->close();
        qunsetenv("CORVANE_COM3");
        w.ShutDown();
    }

    void logFileInterfaceTracksTheSelectedObjectIntoItsLog() {
        guitest::WorkingFolder folder;
        QVERIFY(
            QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "ScopeType=LOGFILE\r\nElementsFile=cat.tle\r\nLocationLatitude1=45.5\r\n"
            "LocationLongitude1=-73.6\r\nLocationAltitude1=50\r\nLocationUTCOffset1=-4\r\n"));
        // 28 April 2017, 08:42 local time: the ISS is high over Montreal, so tracking goes on.
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QVERIFY(w.windowTitle().endsWith("Log File"));
        const int iss = w.catalogue().Get()->IssIndex();
        live.Update([iss](LiveValues& v) { v.selectedObject = iss; });
        w.Telescope()->trackButton->click();
        QTRY_COMPARE(w.Telescope()->trackButton->text(), QString("Stop Tracking"));
        QVERIFY(!w.Telescope()->connectButton->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.file("log25544.txt")), 5000);
        QTest::qWait(300);
        w.Telescope()->trackButton->click();
        QTRY_COMPARE(w.Telescope()->trackButton->text(), QString("Start Tracking"));
        QTRY_VERIFY(w.Telescope()->connectButton->isEnabled());
        QCOMPARE(w.Telescope()->raStatus->text(), QString("R.A. Tracking Stopped"));
        QFile log(folder.file("log25544.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.size() > 0);

        // Changing the interface while tracking stops tracking first.
        w.Telescope()->trackButton->click();
        QTRY_VERIFY(w.session().TrackingOn());
        w.settings().ScopeType = "LX200";
        w.ApplyInterface();
        QVERIFY(!w.session().TrackingOn());
        QVERIFY(w.windowTitle().endsWith("Meade LX200"));
        QTRY_COMPARE(w.Telescope()->trackButton->text(), QString("Start Tracking"));

        // Quitting while tracking stops it before the settings are written.
        w.settings().ScopeType = "LOGFILE";
        w.ApplyInterface();
        w.Telescope()->trackButton->click();
        QTRY_VERIFY(w.session().TrackingOn());
        w.RunCommand(kCmdExit);
        QVERIFY(!w.session().TrackingOn());
        QVERIFY(!w.session().TrackingActive());
        QCOMPARE(
            QString::fromStdString(LoadSettingsFile(folder.file("ConfigFile.ini").toStdString()).ScopeType),
            QString("LOGFILE"));
    }

    void aSilentMountNeitherFreezesTheWindowNorHoldsUpExit() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
                                               "ScopeType=LX200\r\nComPort=1\r\n"));
        SystemClock clock;
        SimulatedMount mount(MountModel::LX200, MountSite{45.5, -73.6, 50, -4}, clock);
        mount.InjectFault(MountFault::Silence);
        LiveState live;
        MainWindow w(clock, live, nullptr, &mount);
        QVERIFY(w.Initialise());
        w.Telescope()->connectButton->click();
        // Identifying a mount that never answers takes seconds; meanwhile the window lives on.
        QTRY_VERIFY_WITH_TIMEOUT(w.Telescope()->connectProgress, 2000);
        const QString before = w.ClockLine()->text();
        QTRY_VERIFY_WITH_TIMEOUT(w.ClockLine()->text() != before, 2500);
        QVERIFY(w.Telescope()->connectProgress);  // still identifying
        QElapsedTimer exit;
        exit.start();
        w.RunCommand(kCmdExit);
        QVERIFY2(exit.elapsed() < 2000, qPrintable(QString::number(exit.elapsed())));
        qInfo("Exit while identifying a silent mount took %lld ms", static_cast<long long>(exit.elapsed()));
        QCOMPARE(w.session().ConnectedPort(), 0);
        QVERIFY(!mount.IsOpen());
    }

    void theRealWindowTracksTheIssWithTheSimulatedMount() {
        guitest::WorkingFolder folder;
        QVERIFY(
            QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(folder.AddMapData());
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "ScopeType=LX200\r\nComPort=1\r\nElementsFile=cat.tle\r\nLocationLatitude1=45.5\r\n"
            "LocationLongitude1=-73.6\r\nLocationAltitude1=50\r\nLocationUTCOffset1=-4\r\n"));
        // Virtual time that moves only when somebody waits, a millisecond of real time per wait.
        test::SteppingClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        clock.onSleep = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
        SimulatedMount mount(MountModel::LX200, MountSite{45.5, -73.6, 50, -4}, clock);
        LiveState live;
        MainWindow w(clock, live, nullptr, &mount);
        QVERIFY(w.Initialise());
        w.Telescope()->connectButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Telescope()->connectButton->text(), QString("Dis&connect"), 5000);
        QVERIFY(!w.Telescope()->comPort->isEnabled());
        const int iss = w.catalogue().Get()->IssIndex();
        live.Update([iss](LiveValues& v) { v.selectedObject = iss; });
        w.Telescope()->trackButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.Telescope()->raStatus->text().startsWith("R.A. Tracking to "), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(mount.Commands().size() > 6, 5000);
        w.Telescope()->trackButton->click();  // Stop
        QTRY_COMPARE_WITH_TIMEOUT(w.Telescope()->raStatus->text(), QString("R.A. Tracking Stopped"), 3000);
        QTRY_COMPARE(w.Telescope()->trackButton->text(), QString("Start Tracking"));
        const auto commands = mount.Commands();
        QCOMPARE(QString::fromStdString(commands.back()), QString(":Qw#"));
        QVERIFY(!mount.State().slewing);
        w.Telescope()->connectButton->click();  // Disconnect
        QTRY_COMPARE_WITH_TIMEOUT(w.Telescope()->connectButton->text(), QString("&Connect"), 3000);
        QVERIFY(w.Telescope()->comPort->isEnabled());
        QVERIFY(!mount.IsOpen());
        for (QMessageBox* b : w.findChildren<QMessageBox*>()) QFAIL(qPrintable(b->text()));
        w.ShutDown();
    }
};

QTEST_MAIN(TelescopeTest)
#include "telescope_test.moc"
