// The window with files it cannot read: a settings file or a View Plan that cannot be read is
// reported at start and left as it is at exit; a damaged View Plan is recovered and kept aside.
#include <QFile>
#include <QSpinBox>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "passes/ViewPlan.h"
#include "support/Unprivileged.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ObjectListPanel.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const QByteArray kAcceptedHeader = "; a\r\n; b\r\n; c\r\n; d\r\n;\r\n; Disclaimer accepted.\r\n";

QByteArray ReadFile(const QString& path) {
    std::string bytes;
    ReadWholeFile(path.toStdString(), bytes);
    return QByteArray::fromStdString(bytes);
}
void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Pass n: 27 April 2017, later than the test clock's now.
QByteArray Record(int n) {
    ViewPlanEntry e;
    const double aos = CivilToJulianDate(2017, 4, 27, 18 + n, 0, 7);
    e.SetAos(aos);
    e.SetLos(aos + 393.0 / 86400.0);
    e.SetField(32, 8, "00:06:33");
    e.SetField(55, 25, "OBJECT " + std::to_string(n));
    e.SetField(80, 10, std::to_string(10000 + n));
    e.SetField(90, 4, "NWSE");
    return QByteArray::fromStdString(e.Record());
}

// Answers every modal: the disclaimer with Yes, the question about replacing the settings with
// `replace`, anything else with OK. Remembers the texts and object names seen.
struct Answers {
    explicit Answers(QMessageBox::StandardButton replace = QMessageBox::No)
        : answerer([this, replace](QWidget* m) {
              names << m->objectName();
              if (m->objectName() == "disclaimer") {
                  guitest::Click(m, QMessageBox::Yes);
              } else if (m->objectName() == "replaceSettings") {
                  guitest::Click(m, replace);
              } else {
                  guitest::Click(m, QMessageBox::Ok);
              }
          }) {}
    QStringList names;
    guitest::ModalAnswerer answerer;
};

// Starts the window as a user who cannot read the files made unreadable (see Unprivileged.h);
// the exit runs as the test's own user, who could write over them.
bool InitialiseUnprivileged(MainWindow& w) {
    test::AsUnprivileged nobody;
    if (!nobody.Effective()) return false;
    return w.Initialise();
}

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-test-files-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void unreadableSettingsAreKeptUnlessTheUserChangesAndAgrees() {
        guitest::WorkingFolder folder;
        QFile::setPermissions(folder.path(),
                              QFile::permissions(folder.path()) | QFile::ReadOther | QFile::ExeOther);
        const QString path = folder.file("ConfigFile.ini");
        const QByteArray mine = kAcceptedHeader + "     TrackAdjust=120\r\n     ScopeType=LX200\r\n";
        WriteFile(path, mine);
        test::MakeUnreadable(path.toStdString());
        ManualClock clock;
        LiveState live;
        {
            Answers answers;
            MainWindow w(clock, live);
            QVERIFY(InitialiseUnprivileged(w));
            QVERIFY(answers.answerer.seen.size() >= 2);
            QVERIFY2(answers.answerer.seen[0].contains("Permission denied"),
                     qPrintable(answers.answerer.seen[0]));
            QVERIFY(answers.answerer.seen[0].contains("leaves ConfigFile.ini as it is"));
            QCOMPARE(answers.names[1], QString("disclaimer"));  // the defaults have not accepted it
            w.RunCommand(kCmdExit);
            QVERIFY(!answers.names.contains("replaceSettings"));  // nothing changed: nothing asked
        }
        QCOMPARE(ReadFile(path), mine);
        QCOMPARE(test::ModeOf(path.toStdString()), mode_t(0));

        // A setting changed: the user is asked; "No" keeps the file.
        {
            Answers answers(QMessageBox::No);
            MainWindow w(clock, live);
            QVERIFY(InitialiseUnprivileged(w));
            w.Objects()->elevationLimit->setValue(25);
            w.RunCommand(kCmdExit);
            QVERIFY(answers.names.contains("replaceSettings"));
        }
        QCOMPARE(ReadFile(path), mine);
        // "Yes" replaces it with the session's settings.
        {
            Answers answers(QMessageBox::Yes);
            MainWindow w(clock, live);
            QVERIFY(InitialiseUnprivileged(w));
            w.Objects()->elevationLimit->setValue(25);
            w.RunCommand(kCmdExit);
        }
        const Settings saved = ParseSettings(ReadFile(path).toStdString());
        QCOMPARE(QString::fromStdString(saved.ElevationLimit), QString("25"));
        QVERIFY(saved.disclaimerAccepted);
    }

    void aDamagedViewPlanIsRecoveredAndKeptAside() {
        guitest::WorkingFolder folder;
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader);
        const QByteArray damaged = "X" + Record(0) + Record(1) + Record(2);
        WriteFile(folder.file("vplan.log"), damaged);
        ManualClock clock;  // January 2000: every pass is still to come
        LiveState live;
        {
            Answers answers;
            MainWindow w(clock, live);
            QVERIFY(w.Initialise());
            QCOMPARE(answers.answerer.seen.size(), 1);
            QVERIFY2(answers.answerer.seen[0].contains("3 passes were read") &&
                         answers.answerer.seen[0].contains("kept as vplan.log.bad"),
                     qPrintable(answers.answerer.seen[0]));
            w.RunCommand(kCmdExit);
        }
        QCOMPARE(ReadFile(folder.file("vplan.log")), Record(0) + Record(1) + Record(2));
        QCOMPARE(ReadFile(folder.file("vplan.log.bad")), damaged);
    }

    void anUnreadableViewPlanIsLeftAsItIs() {
        guitest::WorkingFolder folder;
        QFile::setPermissions(folder.path(),
                              QFile::permissions(folder.path()) | QFile::ReadOther | QFile::ExeOther);
        WriteFile(folder.file("ConfigFile.ini"), kAcceptedHeader);
        const QByteArray plan = Record(0) + Record(1);
        WriteFile(folder.file("vplan.log"), plan);
        test::MakeUnreadable(folder.file("vplan.log").toStdString());
        ManualClock clock;
        LiveState live;
        {
            Answers answers;
            MainWindow w(clock, live);
            QVERIFY(InitialiseUnprivileged(w));
            QCOMPARE(answers.answerer.seen.size(), 1);
            QVERIFY2(answers.answerer.seen[0].contains("could not be read"),
                     qPrintable(answers.answerer.seen[0]));
            w.RunCommand(kCmdExit);
            QCOMPARE(answers.answerer.seen.size(), 1);  // an empty plan at exit loses nothing
        }
        QCOMPARE(ReadFile(folder.file("vplan.log")), plan);
        QCOMPARE(test::ModeOf(folder.file("vplan.log").toStdString()), mode_t(0));
    }
};

QTEST_MAIN(FilesTest)
#include "files_test.moc"
