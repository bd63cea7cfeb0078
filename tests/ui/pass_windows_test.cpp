// The pass predictions, "Viewing Plan", View Plan TLE export and information windows, and their
// wiring into the main window, driven through their controls in a temporary working folder.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>
#include <chrono>
#include <thread>

#include "GuiTestSupport.h"
#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "passes/PassLog.h"
#include "passes/ViewPlan.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ViewPlanPanel.h"
#include "ui/passes/InformationWindow.h"
#include "ui/passes/PassPredictionsWindow.h"
#include "ui/passes/PlanWindows.h"
#include "ui/passes/ViewPlanTleWindow.h"
#include "ui/passes/ViewPlanWindow.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const char* kCatalogue = CORVANE_TEST_DATA "/catalogue-2017-04-27.tle";
// 27 April 2017, 08:00 local at UTC - 4.
const double kMorning = CivilToJulianDate(2017, 4, 27, 8, 0, 0);

// A calendar clock that stays at one instant while sleeps and the monotonic time are real. (The
// main window's tracking thread sleeps in a loop: on a ManualClock that moves the date forward
// without end.)

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// Everything a pass window needs, without a main window.
struct Fixture {
    Fixture() : clock(kMorning) {
        live.Update([](LiveValues& v) {
            v.siteName = "Home";
            v.siteLatitude = "40.0";
            v.siteLongitude = "-75.0";
            v.siteAltitude = "100";
            v.siteUtcOffset = "-4";
        });
        catalogue.Set(LoadElementFile(kCatalogue).catalogue);
        iss = catalogue.Get()->FindCatalogueNumber(25544);
        windows = std::make_unique<PlanWindows>(clock, live, settings, catalogue, &main);
        PlanContext& c = windows->context();
        c.refreshMainPlan = [this] { ++mainRefreshes; };
        c.selectObject = [this](int i) { selected.append(i); };
        c.closeSecondaryWindows = [this] { windows->CloseAll(); };
        c.elementFileName = [] { return QString(kCatalogue); };
        c.saveFileName = [this](QWidget*, const QString& title, const QString& proposed, const QString&,
                                const QString&) {
            dialogTitles.append(title + "|" + proposed);
            return answer;
        };
    }
    ManualClock clock;
    LiveState live;
    Settings settings;
    CatalogueStore catalogue;
    QWidget main;
    std::unique_ptr<PlanWindows> windows;
    int iss = 0;
    int mainRefreshes = 0;
    QList<int> selected;
    QStringList dialogTitles;
    QString answer;  // what the save-file dialog returns
};

// A plan entry line of an ISS pass of the morning (local times).
std::string IssLine(Fixture& f, int n) {
    PropagationSlot slot(kSlotBatch);
    PassSearch search(*f.catalogue.Get(), f.iss, slot, Site{40.0, -75.0, 100.0, -4.0}, PassSettings{},
                      kMorning + 4.0 / 24.0);
    return PassListLine(search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false).at(n),
                        -4.0);
}

}  // namespace

class PassWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-passwin-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void predictionsWindowStepsThroughDayWindows() {
        guitest::WorkingFolder folder;
        Fixture f;
        f.settings.MinPredictPass = 1;  // raised to 2 on opening
        f.windows->OpenPassPredictions(f.iss);
        PassPredictionsWindow* w = f.windows->passPredictions();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("Satellite Pass Predictions - ISS (ZARYA) 25544"));
        QCOMPARE(f.settings.MinPredictPass, 2);
        QCOMPARE(w->dayIndex(), 0);
        QVERIFY(!w->previousButton->isEnabled());
        QCOMPARE(w->satelliteLabel->text(), QString("Satellite: ISS (ZARYA) 25544"));
        QCOMPARE(w->fromLabel->text(), QString("From: Apr 27 2017 08:00:00"));
        QVERIFY(w->passList->count() > 0);
        QCOMPARE(w->passList->currentRow(), 0);
        QCOMPARE(w->passList->item(0)->text(), QString::fromLatin1(w->lines()[0].c_str()));
        QCOMPARE(w->conditionLabel->text(),
                 QString::fromUtf8("AOS/LOS at 0\u00B0 Elevation or point of eclipse."));

        w->nextButton->click();
        QCOMPARE(w->dayIndex(), 1);
        QVERIFY(w->previousButton->isEnabled());
        QCOMPARE(w->fromLabel->text(), QString("From: Apr 28 2017 08:00:00"));
        w->previousButton->click();
        QCOMPARE(w->dayIndex(), 0);
        QVERIFY(!w->previousButton->isEnabled());
        QCOMPARE(w->skipToList->count(), 31);
        w->SkipTo(30);
        QCOMPARE(w->dayIndex(), 30);
        QCOMPARE(w->skipToList->itemText(30), QString("May 27 2017"));
        w->SkipTo(0);
        QCOMPARE(w->dayIndex(), 0);

        // The duration field: a number below 2 becomes "02"; other text stays and counts as 0.
        w->durationEdit->setText("1");
        emit w->durationEdit->editingFinished();
        QCOMPARE(w->durationEdit->text(), QString("02"));
        w->durationEdit->setText("abc");
        emit w->durationEdit->editingFinished();
        QCOMPARE(w->durationEdit->text(), QString("abc"));
        w->durationEdit->setText("9");
        w->ComputeDayWindow();
        for (const PassRecord& p : w->passes()) QVERIFY(p.losSecond - p.aosSecond >= 540);

        // Same object again: the open window comes forward.
        f.windows->OpenPassPredictions(f.iss);
        QCOMPARE(f.windows->passPredictions(), w);

        w->excludeDaytime->setChecked(true);
        w->close();
        QCOMPARE(f.settings.ExcludeDaylightPass, 1);
        QCOMPARE(f.settings.MinPredictPass, 9);
    }

    void predictionsWindowAddsToThePlanAndCopiesWithoutTabs() {
        guitest::WorkingFolder folder;
        Fixture f;
        f.windows->OpenPassPredictions(f.iss);
        PassPredictionsWindow* w = f.windows->passPredictions();
        QVERIFY(w->passList->count() >= 2);
        w->passList->setCurrentRow(1);
        w->addButton->click();
        QCOMPARE(f.windows->plan().Count(), size_t(1));
        QCOMPARE(f.mainRefreshes, 1);
        const ViewPlanEntry& e = f.windows->plan().entries[0];
        QCOMPARE(QString::fromStdString(e.Name()), QString("ISS (ZARYA)              "));
        QCOMPARE(QString::fromStdString(e.Norad()), QString("25544     "));
        QCOMPARE(e.Duration(), w->lines()[1].substr(57, 8));
        QVERIFY(w->findChild<QMessageBox*>("alreadyPlanned") == nullptr);
        // The same pass again: added again, and the window says it was planned already.
        w->addButton->click();
        QCOMPARE(f.windows->plan().Count(), size_t(2));
        QMessageBox* twice = w->findChild<QMessageBox*>("alreadyPlanned");
        QVERIFY(twice != nullptr);
        QVERIFY(twice->text().contains("already in the View Plan"));
        twice->close();
        // Another pass of the object is not the same pass.
        w->passList->setCurrentRow(0);
        w->addButton->click();
        QCOMPARE(f.windows->plan().Count(), size_t(3));
        QTRY_VERIFY(w->findChild<QMessageBox*>("alreadyPlanned") == nullptr);

        w->copyAction->trigger();
        const QString copied = QApplication::clipboard()->text();
        QVERIFY(!copied.contains('\t'));
        QVERIFY(copied.endsWith("   25544  ISS (ZARYA)"));
        w->close();
    }

    void viewPlanWindowRemovesSelectsAndSaves() {
        guitest::WorkingFolder folder;
        Fixture f;
        for (int n : {1, 2, 3})
            AddToViewPlan(f.windows->plan(), IssLine(f, n), "ISS (ZARYA)", "25544", kMorning);
        f.settings.LogInterval = 9;
        f.windows->OpenViewPlan();
        ViewPlanWindow* w = f.windows->viewPlanWindow();
        QVERIFY(w);
        QCOMPARE(w->planList->count(), 3);
        QCOMPARE(w->intervalList->currentText(), QString("30"));
        QCOMPARE(w->headerLabel->text().size(), 140);
        QVERIFY(w->planList->item(0)->text().contains("- -\t  - -   -"));

        // Removing the last line selects the new last line.
        w->planList->setCurrentRow(2);
        w->removeButton->click();
        QCOMPARE(w->planList->count(), 2);
        QCOMPARE(w->planList->currentRow(), 1);

        // A double click selects the object but never removes the entry.
        w->removeAfterSelected->setChecked(true);
        w->planList->setCurrentRow(0);
        w->SelectSelected(false);
        QCOMPARE(f.selected, QList<int>{f.iss});
        QCOMPARE(f.windows->plan().Count(), size_t(2));
        QVERIFY(!f.windows->viewPlanWindow());  // closed, and the plan saved
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 2 * 94);

        // "Select Object" with "Remove after Selected" removes it.
        f.windows->OpenViewPlan();
        w = f.windows->viewPlanWindow();
        w->removeAfterSelected->setChecked(true);
        w->planList->setCurrentRow(0);
        w->selectButton->click();
        QCOMPARE(f.settings.RemoveAfterSelect, 1);
        QCOMPARE(f.windows->plan().Count(), size_t(1));
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 94);

        // Removing the only entry disables "Remove Object" and "Select Object".
        f.windows->OpenViewPlan();
        w = f.windows->viewPlanWindow();
        w->removeButton->click();
        QVERIFY(!w->removeButton->isEnabled());
        QVERIFY(!w->selectButton->isEnabled());
        w->intervalList->setCurrentIndex(2);
        w->close();
        QCOMPARE(f.settings.LogInterval, 3);
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 0);

        // A newly opened element file starts an empty plan.
        AddToViewPlan(f.windows->plan(), IssLine(f, 2), "ISS (ZARYA)", "25544", kMorning);
        f.windows->SaveAtExit();
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 94);
        f.windows->StartEmptyPlan();
        QVERIFY(f.windows->plan().Empty());
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 0);

        // An empty plan opens with its buttons disabled.
        f.windows->OpenViewPlan();
        w = f.windows->viewPlanWindow();
        for (QPushButton* b :
             {w->removeAllButton, w->removeButton, w->selectButton, w->passLogButton, w->printButton})
            QVERIFY(!b->isEnabled());
        w->close();
    }

    void viewPlanWindowWritesTheTextFileAndThePassLog() {
        guitest::WorkingFolder folder;
        Fixture f;
        AddToViewPlan(f.windows->plan(), IssLine(f, 1), "ISS (ZARYA)", "25544", kMorning);
        f.windows->OpenViewPlan();
        ViewPlanWindow* w = f.windows->viewPlanWindow();
        w->printToFile->setChecked(true);
        f.answer = folder.file("plan.txt");
        w->printButton->click();
        QCOMPARE(f.dialogTitles.last(), QString("View Plan Text File|vplan.txt"));
        const std::string expected =
            PlanTextFile(f.windows->plan(), f.windows->context().CurrentPlanHeader());
        QCOMPARE(ReadFile(f.answer).toStdString(), expected);

        w->intervalList->setCurrentIndex(8);  // 30 s
        f.answer = folder.file("pass.txt");
        w->passLogButton->click();
        QCOMPARE(f.dialogTitles.last(), QString("Create Pass Text Log|log25544.txt"));
        const QByteArray log = ReadFile(f.answer);
        QVERIFY(log.startsWith("Generated by Corvane   \r\nObject: ISS (ZARYA)  NORAD 25544\r\n"));
        QVERIFY(log.count("\r\n") > 6 + 5);

        // Cancelled dialog: nothing written.
        f.answer.clear();
        QFile::remove(folder.file("pass.txt"));
        w->passLogButton->click();
        QVERIFY(!QFile::exists(folder.file("pass.txt")));
        w->close();
    }

    void printingPutsSixtyThreeEntriesOnAPage() {
        guitest::WorkingFolder folder;
        Fixture f;
        const ViewPlanEntry e = *EntryFromPassLine(IssLine(f, 1), "ISS (ZARYA)", "25544");
        for (int pages : {1, 2}) {
            f.windows->plan().entries.assign(pages == 1 ? 63 : 64, e);
            ViewPlanWindow w(f.windows->context());
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            const QString pdf = folder.file(QString("plan%1.pdf").arg(pages));
            printer.setOutputFileName(pdf);
            w.PrintTo(printer);
            const QByteArray bytes = ReadFile(pdf);
            QVERIFY(bytes.startsWith("%PDF"));
            QCOMPARE(
                bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "),
                pages);
        }
    }

    void tleExportWindow() {
        guitest::WorkingFolder folder;
        Fixture f;
        f.windows->OpenViewPlanTle();
        ViewPlanTleWindow* w = f.windows->viewPlanTleWindow();
        QCOMPARE(w->status->text(), QString("Currently no objects in the Viewing Plan!!!"));
        QVERIFY(!w->createButton->isEnabled());
        w->close();

        AddToViewPlan(f.windows->plan(), IssLine(f, 1), "ISS (ZARYA)", "25544", kMorning);
        AddToViewPlan(f.windows->plan(), IssLine(f, 2), "ISS (ZARYA)", "25544", kMorning);
        f.settings.MakeTLEAddAOS = 1;
        f.windows->OpenViewPlanTle();
        w = f.windows->viewPlanTleWindow();
        QCOMPARE(w->status->text(), QString(" 2 object(s) in the Viewing Plan."));
        QVERIFY(w->addAosTime->isChecked());
        f.answer = folder.file("ViewPlan.tle");
        w->createButton->click();
        QVERIFY(f.dialogTitles.last().startsWith("Save View Plan TLE File|"));
        QVERIFY(f.dialogTitles.last().endsWith("ViewPlan"));
        const QByteArray out = ReadFile(f.answer);
        QCOMPARE(out.count("\r\n"), 6);
        QVERIFY(out.startsWith("ISS (ZARY.@"));
        QVERIFY(w->status->text().startsWith(" 2 object(s) in file: \r\n"));

        // The element file is gone: the message, and an empty output.
        f.windows->context().elementFileName = [] { return QString("missing.tle"); };
        guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        w->createButton->click();
        QCOMPARE(answer.seen, QStringList{"Could not open missing.tle"});
        QCOMPARE(ReadFile(f.answer).size(), 0);
        w->addAosTime->setChecked(false);
        w->close();
        QCOMPARE(f.settings.MakeTLEAddAOS, 0);
    }

    void mainWindowListsPassesInProgressAndSelectsTheirObject() {
        guitest::WorkingFolder folder;
        {
            QFile cfg(folder.file("ConfigFile.ini"));
            QVERIFY(cfg.open(QIODevice::WriteOnly));
            cfg.write(
                "; a\r\n; b\r\n; c\r\n; d\r\n;\r\n; Disclaimer accepted.\r\n"
                "LastLocation=1\r\nLocationName1=Home\r\nLocationLatitude1=40.0\r\n"
                "LocationLongitude1=-75.0\r\nLocationAltitude1=100\r\nLocationUTCOffset1=-4\r\n"
                "RemoveAfterSelect=1\r\n");
        }
        Fixture f;  // for the pass lines
        // A plan with one pass in progress at 09:33 local, a later one, and a damaged record.
        ViewPlan plan;
        AddToViewPlan(plan, IssLine(f, 1), "ISS (ZARYA)", "25544", kMorning);
        AddToViewPlan(plan, IssLine(f, 3), "ISS (ZARYA)", "25544", kMorning);
        std::string bytes =
            plan.entries[0].Record() + plan.entries[1].Record() + std::string(94, '\x7f') + "tail";
        WriteFileAtomically(folder.file("vplan.log").toStdString(), bytes);
        // An information record for the station.
        std::string info = "25544 ";
        info += "International Space Station";
        info.resize(61, ' ');
        info += "Crewed since 2000.";
        info.resize(2561, ' ');
        WriteFileAtomically(folder.file("info.dat").toStdString(), info);

        guitest::FixedClock clock(CivilToJulianDate(2017, 4, 27, 9, 33, 0));
        LiveState live;
        MainWindow w(clock, live);
        w.catalogue().Set(LoadElementFile(kCatalogue).catalogue);
        {
            // The damaged record is skipped and reported; the file is kept as it was.
            guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
            QVERIFY(w.Initialise());
            QCOMPARE(answer.seen.size(), 1);
            QVERIFY2(answer.seen[0].contains("2 passes were read"), qPrintable(answer.seen[0]));
        }
        QCOMPARE(ReadFile(folder.file("vplan.log.bad")), QByteArray::fromStdString(bytes));
        QCOMPARE(w.PlanList()->viewPlanList->count(), 1);
        QVERIFY(w.PlanList()->viewPlanList->item(0)->text().contains("ISS (ZARYA)"));
        QVERIFY(w.planWindows().plan().Count() == 2);

        w.PlanList()->viewPlanList->setCurrentRow(0);
        emit w.PlanList()->viewPlanList->itemClicked(w.PlanList()->viewPlanList->item(0));
        QVERIFY(!w.PlanList()->viewPlanSelect->isHidden());
        w.PlanList()->viewPlanSelect->click();
        QCOMPARE(live.Snapshot().selectedObject, w.catalogue().Get()->FindCatalogueNumber(25544));
        QVERIFY(!w.Elements()->predictPassButton->isHidden());
        QCOMPARE(w.planWindows().plan().Count(), size_t(1));  // RemoveAfterSelect
        QCOMPARE(w.PlanList()->viewPlanList->count(), 0);

        // "&Info" for the selected object.
        QVERIFY(!w.Elements()->infoButton->isHidden());
        w.Elements()->infoButton->click();
        InformationWindow* info1 = w.planWindows().informationWindow();
        QVERIFY(info1);
        QCOMPARE(info1->windowTitle(), QString("Information - International Space Station"));
        QCOMPARE(info1->text->toPlainText(), QString("Crewed since 2000."));

        // Menu command: the TLE export window.
        w.RunCommand(kCmdCreateViewPlanTle);
        QVERIFY(w.planWindows().viewPlanTleWindow());
        // "&Predict Pass" for the selected object; "&View Plan" opens the plan window.
        w.Elements()->predictPassButton->click();
        QVERIFY(w.planWindows().passPredictions());
        w.Elements()->viewPlanButton->click();
        QVERIFY(w.planWindows().viewPlanWindow());

        w.RunCommand(kCmdExit);
        QCOMPARE(ReadFile(folder.file("vplan.log")).size(), 94);
    }
};

QTEST_MAIN(PassWindowsTest)
#include "pass_windows_test.moc"
