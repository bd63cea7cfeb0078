// The "Download TLE File" window in the main window, running the shipped visual.sh against local
// servers through CORVANE_TLE_URL: a success loads the new file and empties the View Plan; a 404
// and a cancelled download end with the error message, keep the catalogue in memory and the
// previous file on disk, and the window answers while the script runs.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Clock.h"
#include "passes/ViewPlan.h"
#include "support/LocalHttp.h"
#include "ui/main/DownloadWindow.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/passes/PlanWindows.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const char* kCatalogue = CORVANE_TEST_DATA "/catalogue-2017-04-27.tle";

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray Sets(int count) {
    const QList<QByteArray> lines = ReadFile(kCatalogue).split('\n');
    QByteArray out;
    for (int i = 0; i < count * 3 && i < lines.size(); ++i) out += lines[i] + "\n";
    return out;
}

// A started main window in the folder with the sample catalogue loaded, a plan entry in
// "vplan.log", the shipped visual.sh and a previous visual.txt.
struct Started {
    Started() : clock(CivilToJulianDate(2017, 4, 27, 12, 0, 0)) {
        guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
                                       "ElementsFile=none.tle\r\nMaxTLEDownloadTime=2\r\n");
        QFile::copy(QStringLiteral(CORVANE_SOURCE_DIR "/data/visual.sh"), folder.file("visual.sh"));
        folder.AddMapData();
        WriteFile(folder.file("visual.txt"), Sets(2));
        QDir().mkdir(folder.file("site"));
        WriteFile(folder.file("site/gp.php"), Sets(30));
        window = std::make_unique<MainWindow>(clock, live);
        window->Initialise();
        window->LoadElements(QString::fromLatin1(kCatalogue), window->Elements()->elementFileStatus);
        ViewPlanEntry entry;
        entry.SetAos(CivilToJulianDate(2017, 4, 28, 12, 0, 0));
        entry.SetLos(CivilToJulianDate(2017, 4, 28, 12, 5, 0));
        window->planWindows().plan().entries.push_back(entry);
        SaveViewPlan(window->planWindows().plan(), "vplan.log", clock.JulianDateNow());
    }
    ~Started() {
        window->ShutDown();
        qunsetenv("CORVANE_TLE_URL");
    }
    DownloadWindow* Open() {
        window->OpenDownloadWindow();
        return window->downloadWindow();
    }
    guitest::WorkingFolder folder;
    guitest::FixedClock clock;
    LiveState live;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

class DownloadWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-dl-test-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void successLoadsTheFileAndEmptiesThePlan() {
        Started s;
        httptest::PythonServer server(s.folder.file("site").toStdString());
        QVERIFY(server.Running());
        qputenv("CORVANE_TLE_URL", QByteArray::fromStdString(server.Url()));
        DownloadWindow* w = s.Open();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Download TLE File"));
        QCOMPARE(w->setButtons[1]->text(), QStringLiteral("visual.txt"));
        QCOMPARE(w->setButtons[7]->text(), QStringLiteral("user-defined.txt"));
        QVERIFY(w->setButtons[1]->isChecked());
        QVERIFY(w->explanation->text().endsWith(QStringLiteral("retreive this data!")));
        QCOMPARE(s.window->planWindows().plan().Count(), size_t{1});
        w->downloadButton->click();
        QVERIFY(w->Running());
        QTRY_VERIFY_WITH_TIMEOUT(s.window->downloadWindow() == nullptr, 20000);
        QCOMPARE(s.window->catalogue().Get()->Count(), 30);
        QCOMPARE(s.window->Elements()->elementFileName->text(), QStringLiteral("visual.txt"));
        QCOMPARE(ReadFile(s.folder.file("visual.txt")), Sets(30));
        QCOMPARE(s.window->planWindows().plan().Count(), size_t{0});
        QCOMPARE(ReadFile(s.folder.file("vplan.log")).size(), 0);
        QCOMPARE(s.window->settings().DefaultTLE, 1);
    }

    void notFoundKeepsCatalogueAndFile() {
        Started s;
        httptest::PythonServer server(s.folder.file("site").toStdString());
        QVERIFY(server.Running());
        qputenv("CORVANE_TLE_URL", QByteArray::fromStdString(server.Url() + "/moved"));
        DownloadWindow* w = s.Open();
        guitest::ModalAnswerer answer([](QWidget* m) {
            QCOMPARE(m->windowTitle(), QStringLiteral("Download Error"));
            guitest::Click(m, QMessageBox::Ok);
        });
        w->downloadButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(answer.seen.size() == 1, 20000);
        QCOMPARE(answer.seen[0], QStringLiteral("Error Downloading TLE File"));
        QTRY_VERIFY(!w->Running());
        QVERIFY(s.window->downloadWindow() == w);  // the window stays open
        QCOMPARE(s.window->catalogue().Get()->Count(), 1889);
        QCOMPARE(ReadFile(s.folder.file("visual.txt")), Sets(2));
        QCOMPARE(s.window->planWindows().plan().Count(), size_t{1});
        w->close();
    }

    void cancelStopsTheScriptAndKeepsEverything() {
        Started s;
        httptest::RawServer silent("", 0, false);
        qputenv("CORVANE_TLE_URL", QByteArray::fromStdString(silent.Url()));
        DownloadWindow* w = s.Open();
        w->setButtons[1]->setChecked(true);
        guitest::ModalAnswerer answer([](QWidget* m) { guitest::Click(m, QMessageBox::Ok); });
        w->downloadButton->click();
        QVERIFY(w->cancelButton->isEnabled());
        QTest::qWait(300);
        // The window answers while the script waits on the server.
        QElapsedTimer timer;
        timer.start();
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        QTRY_VERIFY(ran);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(w->Running());
        w->cancelButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(answer.seen.size() == 1, 10000);
        QCOMPARE(answer.seen[0], QStringLiteral("Error Downloading TLE File"));
        QCOMPARE(s.window->catalogue().Get()->Count(), 1889);
        QCOMPARE(ReadFile(s.folder.file("visual.txt")), Sets(2));
        QVERIFY(!QFile::exists(s.folder.file("visual.txt.previous")));
        w->close();
    }
};

QTEST_MAIN(DownloadWindowTest)
#include "download_window_test.moc"
