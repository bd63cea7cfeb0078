// The telescope controls of the main window: connection failures reach the user as messages,
// and the Log File interface tracks the selected object into its position log.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "scope/SerialLink.h"
#include "ui/MainWindow.h"

using namespace corvane;
using namespace corvane::ui;


class TelescopeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME", QByteArray("corvane-telescope-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void aPortThatCannotBeOpenedIsReportedAndNothingTracks() {
        guitest::WorkingFolder folder;
        qputenv("CORVANE_COM3", folder.file("no-such-device").toLocal8Bit());
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), "ScopeType=LX200\r\nComPort=3\r\n"));
        SystemClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QVERIFY(w.comDevice->text().contains("no-such-device"));
        w.connectButton->click();
        QTRY_VERIFY(QApplication::activeModalWidget() || !w.findChildren<QMessageBox*>().isEmpty());
        QStringList texts;
        for (QMessageBox* b : w.findChildren<QMessageBox*>()) texts << b->text();
        QVERIFY(texts.contains("Unable To Initialize Serial Port"));
        QCOMPARE(w.session().ConnectedPort(), 0);
        QCOMPARE(w.connectButton->text(), QString("&Connect"));
        for (QMessageBox* b : w.findChildren<QMessageBox*>()) b->close();
        qunsetenv("CORVANE_COM3");
        w.ShutDown();
    }

    void logFileInterfaceTracksTheSelectedObjectIntoItsLog() {
        guitest::WorkingFolder folder;
        QVERIFY(QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
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
        w.trackButton->click();
        QTRY_COMPARE(w.trackButton->text(), QString("Stop Tracking"));
        QVERIFY(!w.connectButton->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.file("log25544.txt")), 5000);
        QTest::qWait(300);
        w.trackButton->click();
        QTRY_COMPARE(w.trackButton->text(), QString("Start Tracking"));
        QTRY_VERIFY(w.connectButton->isEnabled());
        QCOMPARE(w.raStatus->text(), QString("R.A. Tracking Stopped"));
        QFile log(folder.file("log25544.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.size() > 0);

        // Changing the interface while tracking stops tracking first.
        w.trackButton->click();
        QTRY_VERIFY(w.session().TrackingOn());
        w.settings().ScopeType = "LX200";
        w.ApplyInterface();
        QVERIFY(!w.session().TrackingOn());
        QVERIFY(w.windowTitle().endsWith("Meade LX200"));
        QTRY_COMPARE(w.trackButton->text(), QString("Start Tracking"));

        // Quitting while tracking stops it before the settings are written.
        w.settings().ScopeType = "LOGFILE";
        w.ApplyInterface();
        w.trackButton->click();
        QTRY_VERIFY(w.session().TrackingOn());
        w.RunCommand(kCmdExit);
        QVERIFY(!w.session().TrackingOn());
        QVERIFY(!w.session().TrackingActive());
        QCOMPARE(QString::fromStdString(LoadSettingsFile(folder.file("ConfigFile.ini").toStdString()).ScopeType),
                 QString("LOGFILE"));
    }
};

QTEST_MAIN(TelescopeTest)
#include "telescope_test.moc"
