// Start-up, exit, the disclaimer gate, menus and the window title, in a temporary working folder.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "orbit/ElementDownload.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/main/SitePanel.h"
#include "ui/main/ViewPlanPanel.h"
#include "ui/telescope/TelescopePanel.h"

using namespace corvane;
using namespace corvane::ui;

namespace {
QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}
void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
const QByteArray kAcceptedHeader = "; a\r\n; b\r\n; c\r\n; d\r\n;\r\n; Disclaimer accepted.\r\n";
}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-test-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void decliningTheDisclaimerWritesSettingsWithoutAcceptanceAndEnds() {
        guitest::WorkingFolder folder;
        ManualClock clock;
        LiveState live;
        {
            guitest::ModalAnswerer answer([](QWidget* w) { guitest::Click(w, QMessageBox::No); });
            MainWindow w(clock, live);
            QVERIFY(!w.Initialise());
            QCOMPARE(answer.seen.size(), 1);
            QVERIFY(answer.seen[0].endsWith("Click YES to agree with terms or NO to cancel"));
            // A first start names the ways to get an element file.
            QCOMPARE(w.Elements()->elementFileStatus->text(),
                     QString("  No file loaded. Get visual.txt with \"Download TLE\",\n  or \"Open TLE\" the "
                             "sample sample-2017-04-27.tle."));
        }
        const QByteArray written = ReadFile(folder.file("ConfigFile.ini"));
        QVERIFY(!written.isEmpty());
        const Settings s = ParseSettings(written.toStdString());
        QVERIFY(!s.disclaimerAccepted);
        QCOMPARE(QString::fromStdString(s.ScopeType), QString("LX200GPS"));

        // The next start asks again; accepting it lets the run go on and records the acceptance.
        guitest::ModalAnswerer answer([](QWidget* w) { guitest::Click(w, QMessageBox::Yes); });
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QCOMPARE(answer.seen.size(), 1);
        w.RunCommand(kCmdExit);
        QVERIFY(w.IsShutDown());
        QVERIFY(ParseSettings(ReadFile(folder.file("ConfigFile.ini")).toStdString()).disclaimerAccepted);
    }

    void titleAndMenusAfterStartUp() {
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader);
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QCOMPARE(w.windowTitle(), QString("Corvane v2.6.1") + QString(14, ' ') + "Meade LX200GPS");

        QStringList menus;
        for (QAction* m : w.menuBar()->actions()) {
            QString line = m->text() + ":";
            for (QAction* a : m->menu()->actions())
                line += " " + a->text() + "=" + QString::number(a->data().toInt());
            menus << line;
        }
        const QStringList expected = {
            "&File: &Exit=40009",
            "&Satellite: &Create View Plan TLE File=40016 Observation Log &Report=40017",
            "Telescope: &LX200 Control=40008 &Interface  Protocol=40015",
            "View: &Night Vision=40006",
            "Options: &Preferences=40012",
            "Help: &Help Topics=40005 &Legal=40013",
        };
        QCOMPARE(menus, expected);
        // Not LX200: the LX200-only controls are away.
        QVERIFY(!w.CommandAction(kCmdLX200Control)->isEnabled());
        QVERIFY(w.Telescope()->lx200ControlButton->isHidden());
        // Buttons that need an object are hidden until one is selected.
        QVERIFY(w.Elements()->predictPassButton->isHidden());
        QVERIFY(w.Elements()->tleDataButton->isHidden());
        QVERIFY(!w.PlanList()->issMonitorButton->isHidden());
        QCOMPARE(w.PlanList()->issMonitorButton->text(), QString("ISS Monitor >>"));
        w.ShutDown();
    }

    void messySettingsAreWrittenBackCorrectedInOrderAtExit() {
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader +
                                                     "  scopetype = lx200 ; my telescope\r\n"
                                                     "trackinglimit = 120\n"
                                                     "TrackingLimit=95\n"
                                                     "lastlocation=2\n"
                                                     "LocationName2 = Back garden\n"
                                                     "locationlatitude2=51.5\n"
                                                     "LocationLongitude2=-0.12\n"
                                                     "LocationAltitude2=35\n"
                                                     "LocationUTCOffset2=0\n"
                                                     "direction=ne\n"
                                                     "ObjAlt=MOD\n"
                                                     "TrackMethod=LEAP\n"
                                                     "BatchMinPass=1\n"
                                                     "CoarseTimingIncr=0\n"
                                                     "LXRateChangeDelay=5\n"
                                                     "AOSElevation=7.6\n"
                                                     "DegChar=223\n"
                                                     "ComPort=3\n"
                                                     "SunOnly=1\n"
                                                     "TimingOffset= -0.25 \n"
                                                     "garbage line without equals\n");
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QCOMPARE(w.windowTitle(), QString("Corvane v2.6.1") + QString(14, ' ') + "Meade LX200");
        QVERIFY(!w.Telescope()->lx200ControlButton->isHidden());
        QVERIFY(w.CommandAction(kCmdLX200Control)->isEnabled());
        QCOMPARE(w.Sites()->siteName->text(), QString("Back garden"));
        QVERIFY(w.Sites()->siteButtons[2]->isChecked());
        QCOMPARE(w.live().Snapshot().siteLatitude, std::string("51.5"));
        w.RunCommand(kCmdExit);

        const QByteArray written = ReadFile(folder.file("ConfigFile.ini"));
        const QByteArray golden = ReadFile(QString(CORVANE_TEST_DATA) + "/config-corrected.ini");
        QVERIFY(!golden.isEmpty());
        QCOMPARE(written, golden);
    }

    void geminiShowsItsNameAndNoCheckedInterface() {
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader + "ScopeType=GEMINI\r\n");
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QVERIFY(w.windowTitle().endsWith(QString(14, ' ') + "Gemini"));
        bool sawDialog = false;
        guitest::ModalAnswerer answer([&sawDialog](QWidget* modal) {
            if (modal->windowTitle() == "Telescope Interface") {
                sawDialog = true;
                bool anyChecked = false;
                for (auto* b : modal->findChildren<QRadioButton*>())
                    if (b->isChecked() && b->text() != "Alt-Az" && b->text() != "EQ N" &&
                        b->text() != "EQ S" && b->text() != "Polar")
                        anyChecked = true;
                QVERIFY(!anyChecked);
                for (auto* p : modal->findChildren<QPushButton*>())
                    if (p->text() == "Cancel") p->click();
            }
        });
        w.RunCommand(kCmdInterface);
        QVERIFY(sawDialog);
        QVERIFY(w.windowTitle().endsWith("Gemini"));
        QCOMPARE(QString::fromStdString(w.settings().ScopeType), QString("GEMINI"));
        w.ShutDown();
    }

    void viewPlanTimerPausesWhileTrackingWhenAsked() {
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"),
                  kAcceptedHeader + "CalcVPWhenTracking=1\r\nScopeType=LOGFILE\r\n");
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        const int start = w.viewPlanRefreshCount();
        w.Telescope()->trackButton->click();  // the Log File engine, with no object: it only waits
        QTRY_VERIFY(w.session().TrackingActive());
        w.OnViewPlanTimer();
        QCOMPARE(w.viewPlanRefreshCount(), start);
        w.Telescope()->trackButton->click();
        QTRY_VERIFY(!w.session().TrackingActive());
        QTRY_VERIFY(w.viewPlanRefreshCount() > start);  // the stop refreshes the plan
        const int afterStop = w.viewPlanRefreshCount();
        w.OnViewPlanTimer();
        QCOMPARE(w.viewPlanRefreshCount(), afterStop + 1);
        w.ShutDown();
    }

    void configuredElementFileIsLoadedAtStartAndAMissingOneIsSkipped() {
        guitest::WorkingFolder folder;
        QVERIFY(
            QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader + "ElementsFile=cat.tle\r\n");
        ManualClock clock;
        LiveState live;
        {
            MainWindow w(clock, live);
            QVERIFY(w.Initialise());
            QCOMPARE(w.Elements()->elementFileStatus->text(), QString("1889 total."));
            QCOMPARE(w.Elements()->elementFileName->text(), QString("cat.tle"));
            QCOMPARE(w.catalogue().Get()->Count(), 1889);
            QVERIFY(clock.SleptMilliseconds() >= 4000);  // the loading window's two pauses
            w.RunCommand(kCmdExit);
        }
        QCOMPARE(QString::fromStdString(
                     LoadSettingsFile(folder.file("ConfigFile.ini").toStdString()).ElementsFile),
                 QString("cat.tle"));

        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader + "ElementsFile=gone.tle\r\n");
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QCOMPARE(w.Elements()->elementFileStatus->text(),
                 QString::fromStdString(NoElementFileText("gone.tle")));
        QCOMPARE(w.catalogue().Get()->Count(), 0);

        // Loading a file that cannot be opened says so and leaves an empty catalogue.
        guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        w.LoadElements(folder.file("nowhere/x.tle"), w.Elements()->elementFileStatus);
        QCOMPARE(answer.seen.size(), 1);
        QCOMPARE(answer.seen[0], "Could not open " + folder.file("nowhere/x.tle"));
        QCOMPARE(w.Elements()->elementFileStatus->text(), QString("No objects."));
        QVERIFY(w.Elements()->elementFileName->text().isEmpty());

        // The element data of the ISS (the later of its two copies).
        w.LoadElements(folder.file("cat.tle"), w.Elements()->elementFileStatus);
        const int iss = w.catalogue().Get()->IssIndex();
        QVERIFY(iss > 0);
        live.Update([iss](LiveValues& v) { v.selectedObject = iss; });
        w.ShowElementData();
        QWidget* data = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->windowTitle().startsWith("TLE Data for ") && t->isVisible()) data = t;
        QVERIFY(data);
        QCOMPARE(data->windowTitle().trimmed(), QString("TLE Data for ISS (ZARYA)"));
        QStringList texts;
        for (QLabel* l : data->findChildren<QLabel*>()) texts << l->text();
        QVERIFY(texts.contains("NORAD Number        "));
        QVERIFY(texts.contains("25544"));
        QVERIFY(texts.contains("Revolution Number at Epoch"));
        w.ShutDown();
    }

    void secondCopyBringsTheFirstForwardAndExitsWithZero() {
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
        // clang 14's ThreadSanitizer runtime aborts in a child that QProcess starts from a process
        // with threads (a CHECK in its fork handling); the plain and address runs cover this.
        QSKIP("QProcess children abort under this ThreadSanitizer runtime");
#endif
#endif
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader);
        const QString program = QString(CORVANE_BIN_DIR) + "/src/corvane";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("CORVANE_INSTANCE_NAME",
                   "corvane-test-second-" + QString::number(QCoreApplication::applicationPid()));
        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(folder.path());
        first.start(program, {});
        QVERIFY(first.waitForStarted(10000));
        // Give the first copy time to start listening.
        QTest::qWait(1500);
        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(folder.path());
        second.start(program, {});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        if (!first.waitForFinished(5000)) first.kill();
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
