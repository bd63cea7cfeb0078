// The object list, its filters and the position panel as the main window shows them.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "ui/main/ElementDataWindow.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ObjectListPanel.h"
#include "ui/main/PositionPanel.h"
#include "ui/telescope/AdjustmentPanel.h"

using namespace corvane;
using namespace corvane::ui;

class ObjectListWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-objlist-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void filteredListSelectionAndPanel() {
        guitest::WorkingFolder folder;
        QVERIFY(
            QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "LocationName1=Montreal\r\nLocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
            "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\nObjVis=VISIBLE\r\nTimingOffset=abc\r\n"));
        // 28 April 2017, 08:40 local time: the ISS is crossing Montreal's sky.
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.LoadElements("cat.tle", w.Elements()->elementFileStatus);
        QVERIFY(w.Objects()->listStatus->text().endsWith(" object(s) available."));
        const int aboveHorizon = w.Objects()->objectList->count();
        QVERIFY(aboveHorizon > 0 && aboveHorizon < 1889);

        // The hidden catalogue position stays out of sight and selects the object.
        int issRow = -1;
        for (int i = 0; i < w.Objects()->objectList->count(); ++i) {
            QVERIFY(!w.Objects()->objectList->itemText(i).contains("~~"));
            if (w.Objects()->objectList->itemText(i).startsWith("*** ISS (ZARYA)")) issRow = i;
        }
        QVERIFY(issRow >= 0);
        w.Adjustments()->alignmentAdjust->setText("2.5");
        QVERIFY(w.Elements()->predictPassButton->isHidden());
        w.SelectObjectFromList(issRow);
        QCOMPARE(live.Snapshot().selectedObject, w.catalogue().Get()->IssIndex());
        QCOMPARE(w.Adjustments()->alignmentAdjust->text(), QString("0"));  // ResetAlignment is on by default
        QVERIFY(!w.Elements()->predictPassButton->isHidden());
        QVERIFY(!w.Elements()->tleDataButton->isHidden());

        // Two passes: the second one knows whether the object climbs.
        w.DisplayPass();
        QCOMPARE(w.Position()->panelFields["Satellite Name:"]->text().trimmed(), QString("ISS (ZARYA)"));
        QCOMPARE(w.Position()->panelFields["NORAD No.:"]->text(), QString("25544"));
        QVERIFY(w.Position()->panelFields["Azimuth:"]->text().endsWith(QString::fromUtf8(" \u00B0")));
        QVERIFY(!w.Position()->directionLine->text().contains("Ascending") &&
                !w.Position()->directionLine->text().contains("Descending"));
        QVERIFY(w.ClockLine()->text().startsWith("Apr 28 2017  08:42:00"));
        w.DisplayPass();
        QVERIFY(w.Position()->directionLine->text().endsWith(", Ascending") ||
                w.Position()->directionLine->text().endsWith(", Descending"));
        for (QLineEdit* box : w.Position()->panelFields)
            QVERIFY(!box->text().contains("nan", Qt::CaseInsensitive));

        // "Geostationary Only" clears "Ascending Only" when the list is built.
        w.Objects()->ascendingOnly->setChecked(true);
        w.Objects()->geostationaryOnly->setChecked(true);
        w.Objects()->visAll->setChecked(true);
        w.Objects()->refreshListButton->click();
        QVERIFY(!w.Objects()->ascendingOnly->isChecked());
        const int geostationary = w.Objects()->objectList->count();
        QVERIFY(geostationary > 0 && geostationary < aboveHorizon + 1889);

        // "R&eset Filters" clears them and leaves the list alone.
        w.Objects()->resetFiltersButton->click();
        QVERIFY(!w.Objects()->geostationaryOnly->isChecked());
        QVERIFY(w.Objects()->visAll->isChecked());
        QCOMPARE(w.Objects()->objectList->count(), geostationary);

        // Typed text that is no entry selects nothing.
        w.Objects()->objectList->setEditText("not an object");
        w.SelectObjectFromList(-1);
        QCOMPARE(live.Snapshot().selectedObject, 0);
        QVERIFY(w.Elements()->predictPassButton->isHidden());
        w.RunCommand(kCmdExit);
        QVERIFY(QFile::exists(folder.file("observed.dat")));  // written at exit
    }

    // An element file nine years old whose name holds an escape sequence, then a file of random
    // bytes: the panel and the "TLE Data" window flag the age and show the decay, names show a
    // replacement character, and the open path says that no element set was found.
    void staleElementsControlCharactersAndFilesWithoutElementSets() {
        guitest::WorkingFolder folder;
        WriteBytes(folder.file("old.tle"),
                   "ISS\x1B[31m (ZARYA)\r\n"
                   "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\r\n"
                   "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\r\n");
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
                                               "LocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
                                               "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\n"));
        ManualClock clock(CivilToJulianDate(2026, 4, 30, 20, 0, 0));  // local: 1 May 2026 00:00 UTC
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.LoadElements("old.tle", w.Elements()->elementFileStatus);
        QCOMPARE(w.Objects()->objectList->count(), 1);
        const QString entry = w.Objects()->objectList->itemText(0);
        QVERIFY(!entry.contains(QChar(0x1B)));
        QVERIFY(entry.startsWith(QString("ISS") + QChar(0xFFFD) + "[31m"));
        w.SelectObjectFromList(0);
        w.DisplayPass();
        QCOMPARE(w.Position()->directionLine->text(),
                 QString("No position: orbit decayed\nElements are 3290 days old"));
        QVERIFY(w.Position()->panelFields["Range:"]->text().isEmpty());
        QVERIFY(
            w.Position()->panelFields["Satellite Name:"]->text().startsWith(QString("ISS") + QChar(0xFFFD)));

        w.ShowElementData();
        ElementDataWindow* data = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<ElementDataWindow*>(t); d && d->isVisible()) data = d;
        QVERIFY(data);
        QVERIFY(!data->windowTitle().contains(QChar(0x1B)));
        QVERIFY(data->windowTitle().contains(QChar(0xFFFD)));
        QVERIFY(!data->ageLabel->isHidden());
        QCOMPARE(data->ageLabel->text(), QString("Elements are 3290 days old"));
        data->close();

        // Within 30 days of the epoch there is no flag.
        clock.Set(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        w.DisplayPass();
        QVERIFY(!w.Position()->directionLine->text().contains("Elements are"));
        w.ShowElementData();
        data = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<ElementDataWindow*>(t); d && d->isVisible()) data = d;
        QVERIFY(data);
        QVERIFY(data->ageLabel->isHidden());
        data->close();

        QByteArray garbage(4000, '\0');
        quint32 seed = 20170427;
        for (char& c : garbage) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        WriteBytes(folder.file("random.tle"), garbage);
        guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        w.LoadElements("random.tle", w.Elements()->elementFileStatus);
        QCOMPARE(answer.seen, QStringList{"No element sets found in random.tle"});
        QCOMPARE(w.Elements()->elementFileStatus->text(), QString("No objects."));
        QCOMPARE(w.Objects()->objectList->count(), 0);
        w.ShutDown();
    }

private:
    static void WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
};

QTEST_MAIN(ObjectListWindowTest)
#include "objectlist_window_test.moc"
