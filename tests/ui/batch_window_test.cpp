// The "Satellite Batch Pass Predictions " window driven through its controls: a run lists the
// library's lines in catalogue order, "Add All" and the 2000-entry rule, and a run over 20000
// objects that is aborted (or whose window is closed) leaves a window that answers at once.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "GuiTestSupport.h"
#include "core/Clock.h"
#include "passes/BatchPredictions.h"
#include "passes/ViewPlan.h"
#include "ui/passes/BatchPredictionsWindow.h"
#include "ui/passes/PlanWindows.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const char* kCatalogue = CORVANE_TEST_DATA "/catalogue-2017-04-27.tle";
// 27 April 2017, 21:47 local at UTC - 4.
const double kEvening = CivilToJulianDate(2017, 4, 27, 21, 47, 0);

std::shared_ptr<const ElementCatalogue> BigCatalogue() {
    auto real = LoadElementFile(kCatalogue).catalogue;
    auto c = std::make_shared<ElementCatalogue>();
    for (int i = 0; i < 20000; ++i) {
        CatalogueEntry copy = *real->Entry(i % real->Count() + 1);
        const QByteArray number = QByteArray::number(60000 + i % 39999);
        copy.line1.replace(2, 5, number.constData());
        copy.line2.replace(2, 5, number.constData());
        c->Add(std::move(copy));
    }
    return c;
}

struct Fixture {
    explicit Fixture(std::shared_ptr<const ElementCatalogue> loaded) : clock(kEvening) {
        live.Update([](LiveValues& v) {
            v.siteLatitude = "40.0";
            v.siteLongitude = "-75.0";
            v.siteAltitude = "100";
            v.siteUtcOffset = "-4";
        });
        catalogue.Set(std::move(loaded));
        windows = std::make_unique<PlanWindows>(clock, live, settings, catalogue, &main);
        windows->context().refreshMainPlan = [this] { ++mainRefreshes; };
    }
    BatchPredictionsWindow* Open() {
        windows->OpenBatchPredictions();
        return windows->batchPredictions();
    }
    guitest::FixedClock clock;
    LiveState live;
    Settings settings;
    CatalogueStore catalogue;
    QWidget main;
    std::unique_ptr<PlanWindows> windows;
    int mainRefreshes = 0;
};

// Time for a call queued now to run: one round trip of the event loop.
qint64 RoundTripMs() {
    QElapsedTimer timer;
    timer.start();
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    while (!ran) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return timer.elapsed();
}

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items.append(list->item(i)->text());
    return items;
}

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void ListsTheLibrarysLinesInCatalogueOrder() {
        Fixture f(LoadElementFile(kCatalogue).catalogue);
        f.settings.BatchIncludeMod = f.settings.BatchIncludeHigh = 1;
        f.settings.BatchPeriod = 60;
        BatchPredictionsWindow* w = f.Open();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Satellite Batch Pass Predictions "));
        QCOMPARE(w->timeList->currentText(), QStringLiteral("21:30"));
        QCOMPARE(w->periodList->currentText(), QStringLiteral("60"));
        QVERIFY(!w->addAllButton->isEnabled());
        w->calculateButton->click();
        QCOMPARE(w->calculateButton->text(), QStringLiteral("Abort Calculating"));
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 30000);
        QCOMPARE(w->calculateButton->text(), QStringLiteral("Calculate"));
        QCOMPARE(w->statusLabel->text(), QStringLiteral("Calculated 1889 of 1889 objects."));

        BatchRequest r;
        r.catalogue = f.catalogue.Get();
        r.site = f.windows->context().CurrentSite();
        r.startLocal = CivilToJulianDate(2017, 4, 27, 21, 30, 0);
        r.options = BatchOptionsFromSettings(f.settings);
        QStringList expected;
        for (const BatchLine& l : ComputeBatch(r, 1)) expected.append(Latin1(l.line));
        QVERIFY(expected.size() > 5);
        QCOMPARE(Items(w->passList), expected);
        QVERIFY(w->addAllButton->isEnabled());
        // Five lines left: "Add All to View Plan" adds five and empties the list.
        w->passList->setCurrentRow(5);
        while (w->passList->count() > 5) w->removeButton->click();
        QCOMPARE(w->passList->count(), 5);
        w->addAllButton->click();
        QCOMPARE(f.windows->plan().Count(), size_t{5});
        QCOMPARE(w->passList->count(), 0);
        QVERIFY(!w->addAllButton->isEnabled());
        QVERIFY(f.mainRefreshes > 0);
        // Closing stores the settings.
        w->durationEdit->setText(QStringLiteral("7"));
        w->close();
        QCOMPARE(f.settings.BatchMinPass, 7);
        QCOMPARE(f.settings.BatchPeriod, 60);
    }

    void RefusesLinesBeyondTwoThousandPlanEntries() {
        Fixture f(LoadElementFile(kCatalogue).catalogue);
        f.settings.BatchIncludeMod = f.settings.BatchIncludeHigh = 1;
        BatchPredictionsWindow* w = f.Open();
        w->calculateButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 30000);
        QVERIFY(w->passList->count() >= 2);
        // A plan of 1999 entries: the first add is taken, the second refused and kept.
        ViewPlan& plan = f.windows->plan();
        const std::string first = ToLatin1(w->passList->item(0)->text());
        QVERIFY(AddBatchLine(plan, first, kEvening));
        const ViewPlanEntry filler = plan.entries[0];
        plan.entries.assign(1999, filler);
        const int before = w->passList->count();
        w->passList->setCurrentRow(0);
        w->addButton->click();
        QCOMPARE(plan.Count(), size_t{2000});
        QCOMPARE(w->passList->count(), before - 1);
        w->passList->setCurrentRow(0);
        const QString kept = w->passList->item(0)->text();
        w->addButton->click();
        QCOMPARE(plan.Count(), size_t{2000});
        QCOMPARE(w->passList->item(0)->text(), kept);
        w->close();
    }

    void AbortKeepsWhatTheRunFoundAfterThePress() {
        // One worker thread, so that the objects searched are the first ones of the catalogue.
        Fixture f(LoadElementFile(kCatalogue).catalogue);
        f.settings.BatchIncludeMod = f.settings.BatchIncludeHigh = 1;
        f.settings.BatchPeriod = 300;
        BatchPredictionsWindow* w = f.Open();
        w->SetThreads(1);
        w->calculateButton->click();
        // The worker searches while the window's events wait; then Abort, before any of its
        // reports has been shown.
        QTest::qSleep(300);
        w->calculateButton->click();
        QVERIFY(!w->Running());
        QTRY_VERIFY_WITH_TIMEOUT(w->Idle(), 10000);
        const QString status = w->statusLabel->text();
        const int searched = status.section(' ', 1, 1).toInt();
        QVERIFY2(searched > 0, qPrintable(status));
        BatchRequest r;
        r.catalogue = f.catalogue.Get();
        r.site = f.windows->context().CurrentSite();
        r.passSettings = f.windows->context().CurrentPassSettings();
        r.options = w->OptionsOnScreen();
        r.startLocal = w->StartOnScreen();
        QStringList expected;
        for (const BatchLine& l : ComputeBatch(r, 1))
            if (l.object <= searched) expected << QString::fromLatin1(l.line.c_str());
        QVERIFY(!expected.isEmpty());
        QCOMPARE(Items(w->passList), expected);
        w->close();
    }

    void CalculatesFromTheDateShownAfterMidnight() {
        // Opened at 23:50; Calculate is pressed at 00:10 the next day.
        ManualClock clock(CivilToJulianDate(2017, 4, 27, 23, 50, 0));
        LiveState live;
        live.Update([](LiveValues& v) {
            v.siteLatitude = "40.0";
            v.siteLongitude = "-75.0";
            v.siteAltitude = "100";
            v.siteUtcOffset = "-4";
        });
        Settings settings;
        settings.BatchIncludeMod = settings.BatchIncludeHigh = 1;
        CatalogueStore catalogue;
        catalogue.Set(LoadElementFile(kCatalogue).catalogue);
        QWidget main;
        PlanWindows windows(clock, live, settings, catalogue, &main);
        windows.OpenBatchPredictions();
        BatchPredictionsWindow* w = windows.batchPredictions();
        QCOMPARE(w->dateList->currentText(), QStringLiteral("Apr 27 2017"));
        QCOMPARE(w->timeList->currentText(), QStringLiteral("23:30"));
        clock.Advance(20 * 60);
        QCOMPARE(w->StartOnScreen(), CivilToJulianDate(2017, 4, 27, 23, 30, 0));
        w->calculateButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(w->Idle() && !w->Running(), 30000);
        // Every pass found starts between 23:30 and 23:58 on the date shown.
        QVERIFY(w->passList->count() > 0);
        for (const QString& line : Items(w->passList))
            QVERIFY2(line.startsWith(QStringLiteral("Apr 27 2017  23:")), qPrintable(line));
        w->close();
    }

    void AbortOverTwentyThousandObjectsAnswersAtOnce() {
        Fixture f(BigCatalogue());
        f.settings.BatchIncludeMod = f.settings.BatchIncludeHigh = 1;
        f.settings.BatchPeriod = 300;
        BatchPredictionsWindow* w = f.Open();
        w->calculateButton->click();
        // Let it get going, then abort.
        QTRY_VERIFY_WITH_TIMEOUT(!w->statusLabel->text().startsWith(QStringLiteral("Calculated 0 ")), 30000);
        QVERIFY(w->Running());
        w->calculateButton->click();
        QCOMPARE(w->calculateButton->text(), QStringLiteral("Calculate"));
        QVERIFY(!w->Running());
        // The window answers: the best of three event-loop round trips (a loaded machine may
        // hold up one of them) is under 100 ms.
        qint64 best = RoundTripMs();
        for (int i = 0; i < 2; ++i) best = std::min(best, RoundTripMs());
        QVERIFY2(best < 100, qPrintable(QString::number(best) + " ms"));
        // Once the stopped run has ended, nothing more arrives from it.
        QTRY_VERIFY_WITH_TIMEOUT(w->Idle(), 10000);
        const QString status = w->statusLabel->text();
        const int lines = w->passList->count();
        QTest::qWait(200);
        QCOMPARE(w->statusLabel->text(), status);
        QCOMPARE(w->passList->count(), lines);
        QVERIFY(!status.startsWith(QStringLiteral("Calculated 20000 ")));
        // A new run starts cleanly after the abort, and closing the window stops it.
        w->calculateButton->click();
        QVERIFY(w->Running());
        QElapsedTimer closing;
        closing.start();
        w->close();
        QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed()) + " ms"));
        QTRY_VERIFY(f.windows->batchPredictions() == nullptr);
    }
};

QTEST_MAIN(BatchWindowTest)
#include "batch_window_test.moc"
