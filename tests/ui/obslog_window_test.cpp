// The "Observation Log " and "Observation Reports " windows from the main window: select the
// ISS, New, a remark, Save, navigate, the unsaved-changes question, Delete; then a report over
// today. Run in a temporary working folder.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/AtomicFile.h"
#include "obslog/ObsLog.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/obslog/ObsLogWindow.h"
#include "ui/obslog/ObsReportWindow.h"
#include "ui/passes/PlanContext.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/AdjustmentPanel.h"

using namespace corvane;
using namespace corvane::ui;

namespace {
QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}
}  // namespace

class ObsLogWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-obslog-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void logAndReportFromTheMainWindow() {
        guitest::WorkingFolder folder;
        QVERIFY(
            QFile::copy(QString(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle", folder.file("cat.tle")));
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "LocationName1=Montreal\r\nLocationLatitude1=45.5\r\nLocationLongitude1=-73.6\r\n"
            "LocationAltitude1=50\r\nLocationUTCOffset1=-4\r\nScopeType=NEXSTARGPS\r\n"));
        // 28 April 2017, 08:42 local time: the ISS is crossing Montreal's sky.
        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 28, 8, 42, 0));
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.LoadElements("cat.tle", w.Elements()->elementFileStatus);
        QVERIFY(w.Elements()->observationLogButton->isHidden());
        w.SelectPlanObject(w.catalogue().Get()->FindCatalogueNumber(25544));
        QVERIFY(!w.Elements()->observationLogButton->isHidden());
        w.Adjustments()->timingOffset->setText("0.5");

        w.Elements()->observationLogButton->click();
        ObsLogWindow* log = w.obsLogWindow();
        QVERIFY(log);
        QCOMPARE(log->windowTitle(), QString("Observation Log "));
        QCOMPARE(log->positionLabel->text(), QString("0/0"));
        QVERIFY(QFile::exists(folder.file("obslog.dat")));  // created empty on opening

        // New: filled from the program's state, with the pass in progress.
        log->newButton->click();
        QCOMPARE(log->positionLabel->text(), QString("New Record"));
        QCOMPARE(log->noradEdit->text(), QString("25544"));
        QCOMPARE(log->nameEdit->text(), QString("ISS (ZARYA)"));
        QCOMPARE(log->dateBoxes[0]->currentText() + log->dateBoxes[1]->currentText() +
                     log->dateBoxes[2]->currentText(),
                 QString("2017Apr28"));
        QCOMPARE(log->timeBoxes[0]->currentText() + log->timeBoxes[1]->currentText(), QString("0842"));
        QCOMPARE(log->siteNameEdit->text(), QString("Montreal"));
        QCOMPARE(log->tleFileEdit->text(), QString("cat.tle"));
        QCOMPARE(log->timingOffsetEdit->text(), QString("0.5"));
        QCOMPARE(log->telescopeBox->currentText(), QString("Celestron NexStarGPS"));
        QCOMPARE(log->aosBoxes[0]->currentText(), QString("08"));
        QVERIFY(log->maxElevationEdit->text().toInt() > 0);
        QVERIFY(log->minRangeEdit->text().toInt() > 0);
        QVERIFY(!log->tPlusEpochEdit->text().isEmpty());
        QVERIFY(log->remarksEdit->hasFocus() || !log->isActiveWindow());
        log->remarksEdit->setPlainText("Bright, flared once.");
        log->favoriteBox->setChecked(true);
        log->saveButton->click();
        QCOMPARE(log->positionLabel->text(), QString("1/1"));
        QByteArray bytes = ReadFile(folder.file("obslog.dat"));
        QCOMPARE(bytes.size(), 822);
        QCOMPARE(bytes.mid(0, 31), QByteArray("25544 ISS (ZARYA)              "));
        QCOMPARE(bytes.mid(31, 8), QByteArray("20170428"));
        QCOMPARE(bytes.mid(222, 20), QByteArray("Bright, flared once."));
        QCOMPARE(ReadFile(folder.file("observed.dat")), QByteArray("02554411"));

        // Saving the same record again rewrites it in place; no second observed entry.
        log->favoriteBox->setChecked(false);
        log->saveButton->click();
        QCOMPARE(ReadFile(folder.file("obslog.dat")).size(), 822);
        QCOMPARE(ReadFile(folder.file("observed.dat")), QByteArray("02554410"));

        // A second observation; then navigation.
        log->newButton->click();
        log->remarksEdit->setPlainText("Second look.");
        log->saveButton->click();
        QCOMPARE(log->positionLabel->text(), QString("2/2"));
        log->firstButton->click();
        QCOMPARE(log->positionLabel->text(), QString("1/2"));
        QCOMPARE(log->remarksEdit->toPlainText(), QString("Bright, flared once."));
        QVERIFY(!log->HasUnsavedChanges());
        // A change, then "Next >": the question; No keeps the stored record.
        log->remarksEdit->setPlainText("Changed, not saved.");
        {
            guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::No); });
            log->nextButton->click();
            QCOMPARE(answer.seen, QStringList{"Save changes to current record? "});
        }
        QCOMPARE(log->positionLabel->text(), QString("2/2"));
        QCOMPARE(log->remarksEdit->toPlainText(), QString("Second look."));
        QVERIFY(!ReadFile(folder.file("obslog.dat")).contains("Changed"));
        log->previousButton->click();
        QCOMPARE(log->remarksEdit->toPlainText(), QString("Bright, flared once."));
        log->lastButton->click();
        QCOMPARE(log->positionLabel->text(), QString("2/2"));

        // Delete blanks the slot; the file keeps its length.
        log->deleteButton->click();
        QCOMPARE(log->positionLabel->text(), QString("1/1"));
        bytes = ReadFile(folder.file("obslog.dat"));
        QCOMPARE(bytes.size(), 2 * 822);
        QCOMPARE(bytes.mid(822), QByteArray(822, ' '));

        // Closing with a new record: Yes saves it, after the blank slot.
        log->newButton->click();
        log->remarksEdit->setPlainText("Saved on closing.");
        {
            guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Yes); });
            log->closeButton->click();
            QCOMPARE(answer.seen.size(), 1);
        }
        QTRY_VERIFY(!w.obsLogWindow());
        bytes = ReadFile(folder.file("obslog.dat"));
        QCOMPARE(bytes.size(), 3 * 822);
        QCOMPARE(bytes.mid(2 * 822 + 222, 17), QByteArray("Saved on closing."));

        // The report over today, opened in the viewer (a recording seam here).
        QStringList viewed;
        w.openInViewer = [&viewed](const QString& file) {
            viewed.append(file);
            return true;
        };
        QStringList dialogs;
        w.planWindows().context().saveFileName = [&](QWidget*, const QString& title, const QString& proposed,
                                                     const QString&, const QString&) {
            dialogs.append(title + "|" + proposed);
            return folder.file("report.txt");
        };
        w.RunCommand(kCmdObservationReport);
        ObsReportWindow* report = w.obsReportWindow();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QString("Observation Reports "));
        QCOMPARE(report->primaryBox->currentText(), QString("Date"));
        QCOMPARE(report->secondaryBox->currentText(), QString("Satellite Name"));
        QCOMPARE(report->satelliteBox->count(), 1);
        QCOMPARE(report->satelliteBox->itemText(0), QString("25544 ISS (ZARYA)"));
        report->viewReportCheck->setChecked(true);
        report->executeButton->click();
        QCOMPARE(dialogs, QStringList{"Save Observation Log ASC Tab Delimted File|ObsReport.txt"});
        QCOMPARE(viewed, QStringList{folder.file("report.txt")});
        QCOMPARE(w.settings().ViewObsReport, 1);
        const QByteArray text = ReadFile(folder.file("report.txt"));
        QCOMPARE(text.count("\r\n"), 2);
        QVERIFY(text.startsWith("25544\tISS (ZARYA)              \t20170428\t08:42:00\tMontreal\t"));
        QVERIFY(!text.contains("Bright"));  // remarks are not written
        // "All Dates" from 1996; a day without observations writes an empty file.
        report->allDatesButton->click();
        QCOMPARE(report->Criteria().fromDate, 19960101L);
        QCOMPARE(report->Criteria().toDate, 20170428L);
        report->SetFromDate(20170427);
        report->SetToDate(20170427);
        report->viewReportCheck->setChecked(false);
        report->executeButton->click();
        QCOMPARE(ReadFile(folder.file("report.txt")), QByteArray());
        QCOMPARE(viewed.size(), 1);

        w.RunCommand(kCmdExit);
        QCOMPARE(ReadFile(folder.file("observed.dat")), QByteArray("02554410"));
    }

    void damagedLogOpensAndIsKept() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini")));
        // One good record, one of garbage that names the object, and a short tail.
        ObsRecord good;
        good[kObsNorad] = "25544";
        good[kObsName] = "ISS (ZARYA)";
        good[kObsDate] = "20170427";
        good[kObsTime] = "21:02:07";
        good[kObsRemarks] = "Good one.";
        std::string garbage = "25544 \x01\x02\xff\x80 garbage";
        garbage.resize(822, '\x07');
        const std::string original = FormatObsRecord(good) + garbage + "tail";
        QVERIFY(WriteFileAtomically(folder.file("obslog.dat").toStdString(), original));
        ObsLogContext context;
        context.catalogueNumber = 25544;
        context.nextYear = 2018;
        auto* window = new ObsLogWindow(context);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(window->positionLabel->text(), QString("2/2"));
        QCOMPARE(window->remarksEdit->toPlainText(), QString("Good one."));
        QVERIFY(window->rawText->isHidden());
        // The garbage record (its date bytes sort first) shows its stored text as well.
        window->firstButton->click();
        QCOMPARE(window->positionLabel->text(), QString("1/2"));
        QVERIFY(!window->rawText->isHidden());
        QVERIFY(window->rawText->toPlainText().contains("garbage"));
        QVERIFY(!window->HasUnsavedChanges());
        window->close();
        delete window;
        QCOMPARE(ReadFile(folder.file("obslog.dat")), QByteArray::fromStdString(original));
    }

    void tenThousandAndOneRecordsOfOneObject() {
        guitest::WorkingFolder folder;
        ObsRecord r;
        r[kObsNorad] = "25544";
        r[kObsDate] = "20170427";
        std::string all;
        for (int i = 0; i < 10001; ++i) {
            r[kObsTime] = QString::asprintf("%02d:%02d:%02d", i / 3600, i / 60 % 60, i % 60).toStdString();
            all += FormatObsRecord(r);
        }
        QVERIFY(WriteFileAtomically(folder.file("obslog.dat").toStdString(), all));
        ObsLogContext context;
        context.catalogueNumber = 25544;
        context.nextYear = 2018;
        context.newInputs = [] {
            NewObservationInputs in;
            in.catalogueNumber = "25544";
            in.nowLocal = CivilToJulianDate(2017, 4, 28, 1, 0, 0);
            return in;
        };
        auto* window = new ObsLogWindow(context);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(window->positionLabel->text(), QString("10000/10000"));
        // A new observation is appended and listed, even beyond the index's 10000 entries.
        window->newButton->click();
        window->saveButton->click();
        QCOMPARE(window->positionLabel->text(), QString("10001/10001"));
        QCOMPARE(window->currentRecord(), 10002L);
        const QByteArray bytes = ReadFile(folder.file("obslog.dat"));
        QCOMPARE(bytes.size(), 10002 * 822);
        QVERIFY(bytes.startsWith(QByteArray::fromStdString(all)));
        window->close();
        delete window;
    }
};

QTEST_MAIN(ObsLogWindowTest)
#include "obslog_window_test.moc"
