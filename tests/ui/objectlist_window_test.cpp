// The object list, its filters and the position panel as the main window shows them.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "ui/MainWindow.h"

using namespace corvane;
using namespace corvane::ui;

class ObjectListWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME", QByteArray("corvane-objlist-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void filteredListSelectionAndPanel() {
        guitest::WorkingFolder folder;
        QVERIFY(QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "LocationName1=Montreal\r\nLocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
            "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\nObjVis=VISIBLE\r\nTimingOffset=abc\r\n"));
        // 28 April 2017, 08:40 local time: the ISS is crossing Montreal's sky.
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.LoadElements("cat.tle", w.elementFileStatus);
        QVERIFY(w.listStatus->text().endsWith(" object(s) available."));
        const int aboveHorizon = w.objectList->count();
        QVERIFY(aboveHorizon > 0 && aboveHorizon < 1889);

        // The hidden catalogue position stays out of sight and selects the object.
        int issRow = -1;
        for (int i = 0; i < w.objectList->count(); ++i) {
            QVERIFY(!w.objectList->itemText(i).contains("~~"));
            if (w.objectList->itemText(i).startsWith("*** ISS (ZARYA)")) issRow = i;
        }
        QVERIFY(issRow >= 0);
        w.alignmentAdjust->setText("2.5");
        QVERIFY(w.predictPassButton->isHidden());
        w.SelectObjectFromList(issRow);
        QCOMPARE(live.Snapshot().selectedObject, w.catalogue().Get()->IssIndex());
        QCOMPARE(w.alignmentAdjust->text(), QString("0"));  // ResetAlignment is on by default
        QVERIFY(!w.predictPassButton->isHidden());
        QVERIFY(!w.tleDataButton->isHidden());

        // Two passes: the second one knows whether the object climbs.
        w.DisplayPass();
        QCOMPARE(w.panelFields["Satellite Name:"]->text().trimmed(), QString("ISS (ZARYA)"));
        QCOMPARE(w.panelFields["NORAD No.:"]->text(), QString("25544"));
        QVERIFY(w.panelFields["Azimuth:"]->text().endsWith(QString::fromUtf8(" \u00B0")));
        QVERIFY(!w.directionLine->text().contains("Ascending") && !w.directionLine->text().contains("Descending"));
        QVERIFY(w.clockLine->text().startsWith("Apr 28 2017  08:42:00"));
        w.DisplayPass();
        QVERIFY(w.directionLine->text().endsWith(", Ascending") || w.directionLine->text().endsWith(", Descending"));
        for (QLineEdit* box : w.panelFields) QVERIFY(!box->text().contains("nan", Qt::CaseInsensitive));

        // "Geostationary Only" clears "Ascending Only" when the list is built.
        w.ascendingOnly->setChecked(true);
        w.geostationaryOnly->setChecked(true);
        w.visAll->setChecked(true);
        w.refreshListButton->click();
        QVERIFY(!w.ascendingOnly->isChecked());
        const int geostationary = w.objectList->count();
        QVERIFY(geostationary > 0 && geostationary < aboveHorizon + 1889);

        // "R&eset Filters" clears them and leaves the list alone.
        w.resetFiltersButton->click();
        QVERIFY(!w.geostationaryOnly->isChecked());
        QVERIFY(w.visAll->isChecked());
        QCOMPARE(w.objectList->count(), geostationary);

        // Typed text that is no entry selects nothing.
        w.objectList->setEditText("not an object");
        w.SelectObjectFromList(-1);
        QCOMPARE(live.Snapshot().selectedObject, 0);
        QVERIFY(w.predictPassButton->isHidden());
        w.RunCommand(kCmdExit);
        QVERIFY(QFile::exists(folder.file("observed.dat")));  // written at exit
    }
};

QTEST_MAIN(ObjectListWindowTest)
#include "objectlist_window_test.moc"
