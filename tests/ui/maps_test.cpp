// The world map, the View Plan map, the sky view and the ISS monitor panel, in a temporary
// working folder. With CORVANE_SCREENSHOT_DIR set, each picture is also saved there as PNG.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "orbit/ElementCatalogue.h"
#include "passes/ViewPlan.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/maps/IssMonitorPanel.h"
#include "ui/maps/MapCanvas.h"
#include "ui/maps/MapWindows.h"
#include "ui/maps/SkyViewWindow.h"
#include "ui/maps/ViewPlanMapWindow.h"
#include "ui/maps/WorldMapWindow.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/DateTimeDialog.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

void Save(const QImage& image, const QString& name) {
    const QByteArray dir = qgetenv("CORVANE_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}
void SaveWindow(QWidget* w, const QString& name) {
    const QByteArray dir = qgetenv("CORVANE_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

// How many pixels of a colour there are in a rectangle.
int Count(const QImage& image, const QRect& area, QRgb colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

// How many pixels brighter than `level` (grey text is drawn with smoothed edges).
int CountBright(const QImage& image, const QRect& area, int level) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += qGray(image.pixel(x, y)) > level;
    return n;
}

// A started main window at Montreal, 28 April 2017 08:42 local time, while the ISS crosses the
// sky, with the station selected.
struct MapsFixture {
    guitest::WorkingFolder folder;
    guitest::FixedClock clock;
    LiveState live;
    std::unique_ptr<MainWindow> w;
    explicit MapsFixture(bool withMap = true, const QByteArray& extra = {}, double localJd = 0.0)
        : clock(localJd != 0.0 ? localJd : CivilToJulianDate(2017, 4, 28, 8, 42, 0)) {
        QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle"));
        if (withMap) QFile::copy(QString(CORVANE_SOURCE_DIR) + "/data/map4.dat", folder.file("map4.dat"));
        guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "LocationName1=Montreal\r\nLocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
            "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\n" +
                extra);
        w = std::make_unique<MainWindow>(clock, live);
        w->Initialise();
        w->LoadElements("cat.tle", w->Elements()->elementFileStatus);
        w->SelectPlanObject(w->catalogue().Get()->IssIndex());
    }
};

}  // namespace

class MapsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-maps-test-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void missingMapFileIsReportedAndTheMapsRefuseToOpen() {
        MapsFixture f(false);
        auto* box = f.w->findChild<QMessageBox*>("mapMissing");
        QVERIFY(box);
        QCOMPARE(box->text(), QString("Map4.dat is missing! World maps will not be displayed."));
        QCOMPARE(box->windowTitle(), QString("File Error"));
        box->close();
        guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        f.w->Elements()->worldMapButton->click();
        f.w->Maps().OpenViewPlanMap();
        QCOMPARE(answer.seen,
                 QStringList({"Map4.dat is missing or corrupted!", "Map4.dat is missing or corrupted!"}));
        QVERIFY(!f.w->Maps().worldMapWindow);
        QVERIFY(!f.w->Maps().viewPlanMapWindow);
        // The sky view needs no map data.
        f.w->Elements()->skyMapButton->click();
        QVERIFY(f.w->Maps().skyViewWindow);
    }

    void worldMapFlatZoomedAndOrthographic() {
        MapsFixture f(true, "WorldMap=1\r\nZoomMap=0\r\n");
        guitest::ModalAnswerer ok([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        QVERIFY(!f.w->findChild<QMessageBox*>("mapMissing"));
        f.w->Elements()->worldMapButton->click();
        WorldMapWindow* m = f.w->Maps().worldMapWindow;
        QVERIFY(m);
        QCOMPARE(m->windowTitle(), QString("World Map ISS (ZARYA)"));
        QVERIFY(m->titleField->text().startsWith("ISS (ZARYA)  NORAD: 25544   Apr 28 2017 08:42:"));
        QCOMPARE(m->redrawTimer.interval(), 10000);
        QCOMPARE(m->projectionButton->text(), QString("Orthographic Map"));
        QCOMPARE(m->zoomButton->text(), QString("Zoom In"));
        QVERIFY(m->position.ok);
        // The station over Montreal's sky: its marker (white) near its flat-map point.
        QImage flat = m->Render();
        Save(flat, "worldmap-flat");
        SaveWindow(m, "worldmap-flat-window");
        const maps::MapPoint p = maps::FlatMapPoint(m->position.latitude, m->position.longitude);
        QVERIFY(Count(flat, QRect(p.x - 5, p.y - 6, 11, 13), qRgb(255, 255, 255)) >= 8);
        // Coastlines in green and the footprint in red somewhere on the map.
        QVERIFY(Count(flat, QRect(13, 13, 612, 306), qRgb(0, 255, 0)) > 2000);
        QVERIFY(Count(flat, QRect(13, 13, 612, 306), qRgb(255, 0, 0)) > 100);

        m->zoomButton->click();
        QCOMPARE(f.w->settings().ZoomMap, 1);
        QCOMPARE(m->zoomButton->text(), QString("Zoom Out"));
        QCOMPARE(m->quarter, 1);  // north-west
        const QImage zoomed = m->Render();
        Save(zoomed, "worldmap-zoomed");
        const maps::MapPoint z = maps::FlatMapPoint(m->position.latitude, m->position.longitude, true, 1);
        QVERIFY(z.visible);
        QVERIFY(Count(zoomed, QRect(z.x - 5, z.y - 6, 11, 13), qRgb(255, 255, 255)) >= 8);

        m->projectionButton->click();
        QCOMPARE(f.w->settings().WorldMap, 0);
        QCOMPARE(m->projectionButton->text(), QString("World Map"));
        QVERIFY(!m->zoomButton->isEnabled());
        const QImage globe = m->Render();
        Save(globe, "worldmap-orthographic");
        QCOMPARE(globe.pixel(3, 3) & 0xFFFFFF, qRgb(0, 0, 0) & 0xFFFFFF);          // background
        QVERIFY(Count(globe, QRect(60, 30, 360, 350), qRgb(0, 0, 255)) > 40000);   // globe disc
        QVERIFY(Count(globe, QRect(232, 195, 17, 21), qRgb(255, 255, 255)) >= 8);  // marker at the centre

        // Night vision: the disc turns black, the outlines dark red.
        f.w->RunCommand(kCmdNightVision);
        const QImage night = m->Render();
        Save(night, "worldmap-orthographic-night");
        QCOMPARE(Count(night, QRect(60, 30, 360, 350), qRgb(0, 0, 255)), 0);
        QVERIFY(Count(night, QRect(0, 0, 490, 410), qRgb(168, 0, 0)) > 1000);
        m->projectionButton->click();
        Save(m->Render(), "worldmap-zoomed-night");
        f.w->RunCommand(kCmdNightVision);
        m->close();
    }

    void flatMapAtNightKeepsTrackFootprintAndSiteApart() {
        MapsFixture f(true, "WorldMap=1\r\nZoomMap=0\r\n");
        guitest::ModalAnswerer ok([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        f.w->RunCommand(kCmdNightVision);
        f.w->Elements()->worldMapButton->click();
        WorldMapWindow* m = f.w->Maps().worldMapWindow;
        QVERIFY(m && m->position.ok);
        const QImage night = m->Render();
        Save(night, "worldmap-flat-night");
        const QRect map(13, 13, 612, 306);
        // Only red at night: no green or blue in any pixel.
        for (int y = map.top(); y <= map.bottom(); ++y)
            for (int x = map.left(); x <= map.right(); ++x)
                QVERIFY(qGreen(night.pixel(x, y)) == 0 && qBlue(night.pixel(x, y)) == 0);
        // The outlines at 168, the footprint at 220 and the track at full red, each plentiful.
        QVERIFY(Count(night, map, qRgb(168, 0, 0)) > 1000);
        QVERIFY(Count(night, map, qRgb(220, 0, 0)) > 100);
        QVERIFY(Count(night, map, qRgb(255, 0, 0)) > 300);
        // The object's cross, in full red and wider than the track.
        const maps::MapPoint p = maps::FlatMapPoint(m->position.latitude, m->position.longitude);
        QVERIFY(Count(night, QRect(p.x - 6, p.y - 7, 13, 15), qRgb(255, 0, 0)) >= 20);
        // The observer's site (Montreal) is marked.
        const maps::MapPoint site = maps::FlatMapPoint(45.5, -73.6);
        QVERIFY(Count(night, QRect(site.x - 5, site.y - 5, 11, 11), qRgb(255, 0, 0)) >= 10);
        f.w->RunCommand(kCmdNightVision);
        const QImage day = m->Render();
        QVERIFY(Count(day, QRect(site.x - 5, site.y - 5, 11, 11), qRgb(0, 255, 255)) >= 10);
        m->close();
    }

    void skyViewKeepsTheConstellationSetting() {
        MapsFixture f(true, "DrawConLines=0\r\n");
        f.w->Elements()->skyMapButton->click();
        SkyViewWindow* s = f.w->Maps().skyViewWindow;
        QVERIFY(s);
        QVERIFY(!s->drawConstellations->isChecked());
        QVERIFY(s->chart().constellations.empty());
        s->drawConstellations->setChecked(true);
        QCOMPARE(f.w->settings().DrawConLines, 1);
        QVERIFY(!s->chart().constellations.empty());
        s->close();
        f.w->Elements()->skyMapButton->click();
        QVERIFY(f.w->Maps().skyViewWindow->drawConstellations->isChecked());
    }

    void skyViewChartAndTexts() {
        MapsFixture f;
        guitest::ModalAnswerer ok([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        f.w->Elements()->skyMapButton->click();
        SkyViewWindow* s = f.w->Maps().skyViewWindow;
        QVERIFY(s);
        QCOMPARE(s->windowTitle(), QString("Sky View "));
        QCOMPARE(s->redrawTimer.interval(), 10000);
        QVERIFY(s->drawConstellations->isChecked());
        QVERIFY(!s->chart().objectBelowHorizon);  // the station is up
        QVERIFY(s->chart().marker.has_value());
        QVERIFY(!s->chart().constellations.empty());
        const QImage chart = s->Render();
        Save(chart, "skyview");
        SaveWindow(s, "skyview-window");
        // The horizon circle's rim at the top, and the compass letter N near (235, 10).
        QVERIFY(Count(chart, QRect(238, 4, 5, 4), qRgb(160, 160, 160)) > 0);
        for (const QPoint letter : {QPoint(235, 10), QPoint(235, 385), QPoint(50, 200), QPoint(420, 200)})
            QVERIFY(CountBright(chart, QRect(letter, QSize(10, 16)), 150) > 3);
        // The object's marker.
        const auto at = s->chart().marker->at;
        QVERIFY(Count(chart, QRect(at.x - 6, at.y - 6, 13, 13),
                      s->chart().marker->sunlit ? qRgb(255, 255, 255) : qRgb(128, 128, 128)) >= 10);
        s->drawConstellations->setChecked(false);
        QVERIFY(s->chart().constellations.empty());
        Save(s->Render(), "skyview-noconstellations");
        f.w->RunCommand(kCmdNightVision);
        const QImage night = s->Render();
        Save(night, "skyview-night");
        QCOMPARE(Count(night, QRect(0, 0, 480, 410), qRgb(255, 255, 255)), 0);
        f.w->RunCommand(kCmdNightVision);

        // 14:06 local (18:06 UTC): between two passes, the station is below the horizon for the
        // whole 50 minutes.
        f.w->Maps().OpenSkyView(CivilToJulianDate(2017, 4, 28, 18, 6, 0));
        SkyViewWindow* later = f.w->Maps().skyViewWindow;
        QVERIFY(later && later != s);
        QVERIFY(later->chart().objectBelowHorizon);
        QVERIFY(later->chart().path.empty());
        QVERIFY(!later->chart().marker.has_value());
        Save(later->Render(), "skyview-below");
    }

    void viewPlanMapMarkersClickSelectAndRemove() {
        MapsFixture f;
        // A pass of the station in progress, and one of an object that is not loaded.
        ViewPlan& plan = f.w->planWindows().plan();
        const double now = f.clock.JulianDateNow();
        for (const char* norad : {"25544", "25544", "99999"}) {
            ViewPlanEntry e;
            e.SetAos(now - 0.003);
            e.SetLos(now + 0.004);
            e.SetField(55, 25, "ISS (ZARYA)");
            e.SetField(80, 10, norad);
            plan.entries.push_back(e);
        }
        f.w->Maps().OpenViewPlanMap();
        ViewPlanMapWindow* m = f.w->Maps().viewPlanMapWindow;
        QVERIFY(m);
        QCOMPARE(m->windowTitle(), QString("View Plan Map "));
        QCOMPARE(f.w->settings().ShowViewPlanMap, 1);
        QCOMPARE(
            m->prompt->text(),
            QString("Click on an object to display details and refresh position or double-click to select."));
        QVERIFY(!m->selectButton->isEnabled() && !m->removeButton->isEnabled());
        QCOMPARE(m->markers().size(), size_t(2));
        const QImage picture = m->Render();
        Save(picture, "viewplanmap");
        SaveWindow(m, "viewplanmap-window");
        const auto& marker = m->markers()[0];
        QVERIFY(Count(picture, QRect(marker.x - 5, marker.y - 6, 11, 13), qRgb(255, 255, 255)) +
                    Count(picture, QRect(marker.x - 5, marker.y - 6, 11, 13), qRgb(160, 160, 160)) >=
                8);

        // A click beside the marker picks it; a click far away does not.
        m->ClickAt(QPointF(marker.x + 40, marker.y));
        QVERIFY(!m->selectButton->isEnabled());
        m->ClickAt(QPointF(marker.x + 3, marker.y - 4));
        QVERIFY(m->selectButton->isEnabled() && m->removeButton->isEnabled());
        QCOMPARE(m->details[0]->text(), QString("NORAD:    25544"));
        QVERIFY(m->details[8]->text().contains(", "));
        Save(m->Render(), "viewplanmap-clicked");
        {
            guitest::ModalAnswerer ok([](QWidget* b) { guitest::Click(b, QMessageBox::Ok); });
            f.w->RunCommand(kCmdNightVision);
            const QImage night = m->Render();
            Save(night, "viewplanmap-night");
            QCOMPARE(Count(night, QRect(60, 30, 360, 350), qRgb(0, 0, 255)), 0);
            f.w->RunCommand(kCmdNightVision);
        }

        // Remove Object: both entries of the station go; the unknown object's stays.
        m->RemoveClicked();
        QCOMPARE(plan.Count(), size_t(1));
        QVERIFY(m->markers().empty());
        m->close();
        QVERIFY(QFile::exists(f.folder.file("vplan.log")));
    }

    void viewPlanMapDoubleClickSelects() {
        MapsFixture f;
        f.w->SelectPlanObject(0);
        ViewPlan& plan = f.w->planWindows().plan();
        const double now = f.clock.JulianDateNow();
        ViewPlanEntry e;
        e.SetAos(now - 0.003);
        e.SetLos(now + 0.004);
        e.SetField(55, 25, "ISS (ZARYA)");
        e.SetField(80, 10, "25544");
        plan.entries.push_back(e);
        f.w->Maps().OpenViewPlanMap();
        QPointer<ViewPlanMapWindow> m = f.w->Maps().viewPlanMapWindow.data();
        m->removeAfterSelected->setChecked(true);
        QCOMPARE(m->markers().size(), size_t(1));
        m->DoubleClickAt(QPointF(m->markers()[0].x, m->markers()[0].y));
        QCOMPARE(f.live.Snapshot().selectedObject, f.w->catalogue().Get()->FindCatalogueNumber(25544));
        QCOMPARE(plan.Count(), size_t(0));
        QTRY_VERIFY(!m);
    }

    void issMonitorPanelShowsTheStation() {
        // Sydney, 28 April 2017 18:45 local time: a night pass of the station (by elevation alone).
        MapsFixture f(true,
                      "LocationName1=Sydney\r\nLocationLatitude1=-35\r\nLocationLongitude1=150\r\n"
                      "LocationAltitude1=100\r\nLocationUTCOffset1=10\r\nIgnoreEclipse=1\r\nISSMonitor=1\r\n"
                      "ScopeType=LOGFILE\r\n",
                      CivilToJulianDate(2017, 4, 28, 18, 45, 0));
        IssMonitorPanel* p = f.w->IssPanel();
        QVERIFY(p->isVisibleTo(f.w.get()));
        QTRY_VERIFY_WITH_TIMEOUT(p->fields.value("Latitude:")->text().endsWith(QString::fromUtf8(" ° N")),
                                 5000);
        QVERIFY(p->fields.value("Azimuth:")->text().endsWith(QString::fromUtf8(" °")));
        QVERIFY(p->fields.value("Range:")->text().endsWith(" km"));
        QVERIFY(p->fields.value("R.A.:")->text().contains(" hr "));
        QTRY_COMPARE_WITH_TIMEOUT(p->fields.value("AOS:")->text(), QString("Currently Visible"), 5000);
        QVERIFY(p->fields.value("LOS:")->text().contains(" m "));
        QVERIFY(p->fields.value("Duration:")->text().startsWith("00 hr "));
        const QImage globe = p->RenderGlobe();
        Save(globe, "issmonitor-globe");
        SaveWindow(f.w.get(), "issmonitor-mainwindow");
        QVERIFY(Count(globe, QRect(0, 0, globe.width(), globe.height()), qRgb(0, 0, 255)) > 2000);
        {
            guitest::ModalAnswerer ok([](QWidget* b) { guitest::Click(b, QMessageBox::Ok); });
            f.w->RunCommand(kCmdNightVision);
            const QImage night = p->RenderGlobe();
            Save(night, "issmonitor-globe-night");
            SaveWindow(f.w.get(), "issmonitor-mainwindow-night");
            QCOMPARE(Count(night, QRect(0, 0, night.width(), night.height()), qRgb(0, 0, 255)), 0);
            f.w->RunCommand(kCmdNightVision);
        }

        // The alert: asked once on the window thread; "No" leaves tracking alone.
        int asked = 0;
        f.w->IssPanel()->confirmAlert = [&asked] {
            ++asked;
            return false;
        };
        p->alertWhenVisible->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(asked, 1, 5000);
        QVERIFY(!p->alertWhenVisible->isChecked());
        QTest::qWait(400);
        QCOMPARE(asked, 1);
        QVERIFY(!f.w->session().TrackingOn());

        // "Yes" selects the station and starts tracking it (here into the Log File interface).
        f.w->SelectPlanObject(0);
        f.w->IssPanel()->confirmAlert = [&asked] {
            ++asked;
            return true;
        };
        p->alertWhenVisible->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 5000);
        QCOMPARE(f.live.Snapshot().selectedObject, f.w->catalogue().Get()->IssIndex());
        QTRY_VERIFY_WITH_TIMEOUT(f.w->session().TrackingOn(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(f.folder.file("log25544.txt")), 5000);
        f.w->RunCommand(kCmdExit);
        QVERIFY(!f.w->session().TrackingOn());
    }

    void issMonitorFollowsTheClockSetThroughSet() {
        // Sydney at noon: the station is not up. "Set" moves the program clock to 18:45, during
        // a night pass, and the panel follows.
        MapsFixture f(true,
                      "LocationName1=Sydney\r\nLocationLatitude1=-35\r\nLocationLongitude1=150\r\n"
                      "LocationAltitude1=100\r\nLocationUTCOffset1=10\r\nIgnoreEclipse=1\r\nISSMonitor=1\r\n"
                      "ScopeType=LOGFILE\r\n",
                      CivilToJulianDate(2017, 4, 28, 12, 0, 0));
        IssMonitorPanel* p = f.w->IssPanel();
        QTRY_VERIFY_WITH_TIMEOUT(p->fields.value("Elevation:")->text().startsWith('-'), 5000);
        QVERIFY(p->fields.value("AOS:")->text().contains(" hr "));
        guitest::ModalAnswerer answer([](QWidget* modal) {
            if (auto* d = qobject_cast<DateTimeDialog*>(modal)) {
                d->dateList->setCurrentIndex(0);
                d->hours->setCurrentText("18");
                d->minutes->setCurrentText("45");
                d->adjustButton->click();
            }
        });
        f.w->SetClockButton()->click();
        QVERIFY(f.w->ClockLine()->text().startsWith("(Adjusted) "));
        QTRY_COMPARE_WITH_TIMEOUT(p->fields.value("AOS:")->text(), QString("Currently Visible"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!p->fields.value("Elevation:")->text().startsWith('-'), 5000);
        QVERIFY(p->fields.value("Elevation:")->text().endsWith(QString::fromUtf8(" °")));
        QVERIFY(p->fields.value("Latitude:")->text().endsWith(QString::fromUtf8(" ° N")));
        QVERIFY(p->fields.value("LOS:")->text().contains(" m "));
        QVERIFY(p->fields.value("Max. Elev.:")->text().contains(" at "));
        SaveWindow(f.w.get(), "issmonitor-adjusted");

        // Nine years on, the elements no longer place the station: the fields say why.
        f.clock.SetCorrection(f.clock.Correction() + 9 * 365.25);
        QTRY_COMPARE_WITH_TIMEOUT(p->fields.value("Latitude:")->text(), QString("NO POSITION:"), 5000);
        QVERIFY(!p->fields.value("Longitude:")->text().isEmpty());
        QVERIFY(p->fields.value("Altitude:")->text().startsWith("TLE "));
        QVERIFY(p->fields.value("Altitude:")->text().endsWith(" days old"));
        QCOMPARE(p->fields.value("Azimuth:")->text(), QString());
        SaveWindow(p, "issmonitor-noposition");
        f.w->RunCommand(kCmdExit);
    }

    void issMonitorWithoutTheStation() {
        guitest::WorkingFolder folder;
        guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), "ISSMonitor=1\r\n");
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        w.Initialise();
        IssMonitorPanel* p = w.IssPanel();
        QTRY_COMPARE_WITH_TIMEOUT(p->fields.value("Latitude:")->text(), QString("ISS NOT"), 5000);
        QCOMPARE(p->fields.value("Longitude:")->text(), QString("FOUND IN"));
        QCOMPARE(p->fields.value("Altitude:")->text(), QString("CURRENT TLE"));
        QCOMPARE(p->fields.value("R.A.:")->text(), QString("FILE LOADED."));
        QCOMPARE(p->fields.value("Azimuth:")->text(), QString());
        SaveWindow(p, "issmonitor-nostation");
        w.RunCommand(kCmdExit);
    }
};

QTEST_MAIN(MapsTest)
#include "maps_test.moc"
