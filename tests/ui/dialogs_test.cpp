// Preferences, telescope interface, night vision and the legal notice, driven through the window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

#include "GuiTestSupport.h"
#include "core/Settings.h"
#include "ui/common/NightVision.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/SitePanel.h"
#include "ui/telescope/AdjustmentPanel.h"
#include "ui/telescope/InterfaceDialog.h"
#include "ui/telescope/TelescopePanel.h"

using namespace corvane;
using namespace corvane::ui;

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qputenv("CORVANE_INSTANCE_NAME",
                QByteArray("corvane-dialogs-") + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void preferencesShowStoredValuesAndHoldRangesOnSave() {
        Settings s;
        s.CoarseTimingIncr = 3;   // not in the list: "1.0"
        s.FineTimingIncr = 0.12;  // "0.10"
        s.AlignmentIncr = 0.5;
        s.TrackingLimit = 45;
        s.TrackingLimitEnable = 1;
        s.LimitElevation = 0;
        PreferencesDialog d(s);
        QCOMPARE(d.coarse->currentText(), QString("1.0"));
        QCOMPARE(d.fine->currentText(), QString("0.10"));
        QCOMPARE(d.alignment->currentText(), QString(".5"));
        QCOMPARE(d.trackingLimit->value(), 45);
        QVERIFY(d.trackingLimitEnable->isChecked());
        QVERIFY(d.limitDeclination->isChecked());
        QVERIFY(d.cancelButton->isDefault());
        d.trackingFactor->setValue(300);
        d.saveButton->click();
        QCOMPARE(s.CoarseTimingIncr, 1.0);
        QCOMPARE(s.FineTimingIncr, 0.1);
        QCOMPARE(s.TrackAdjust, 300);
        QCOMPARE(s.LimitElevation, 0);
    }

    void resetToDefaultsThenCancelChangesNothing() {
        Settings s;
        s.TrackAdjust = 12;
        s.ResetAlignment = 0;
        s.FineTimingIncr = 0.5;
        const std::string before = FormatSettings(s);
        PreferencesDialog d(s);
        d.resetButton->click();
        QCOMPARE(d.trackingFactor->value(), 80);
        QCOMPARE(d.fine->currentText(), QString("0.15"));
        QCOMPARE(d.alignment->currentText(), QString(".1"));
        QVERIFY(d.resetAlignment->isChecked());
        d.cancelButton->click();
        QCOMPARE(FormatSettings(s), before);
    }

    void choosingAnInterfaceRetitlesTheWindowAndHidesLx200Controls() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), "ScopeType=LX200\r\n"));
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QVERIFY(!w.Telescope()->lx200ControlButton->isHidden());

        QString noteSeen;
        bool polarVisible = false;
        guitest::ModalAnswerer answer([&](QWidget* modal) {
            auto* d = qobject_cast<InterfaceDialog*>(modal);
            if (!d) return;
            // Clicking an entry changes the note and the mount buttons at once.
            for (auto* b : d->interfaceButtons)
                if (b->text() == "Meade LX200GPS") b->click();
            polarVisible = !d->lgpsPolar->isHidden();
            d->lgpsPolar->click();
            for (auto* b : d->interfaceButtons)
                if (b->text() == "Celestron CGE Continuous Tracking") b->click();
            noteSeen = d->note->toPlainText();
            d->okButton->click();
        });
        w.RunCommand(kCmdInterface);
        QVERIFY(polarVisible);
        QVERIFY(
            noteSeen.startsWith(" Use this setting for continuous tracking with Celestron CGE telescopes."));
        QCOMPARE(w.windowTitle(), QString("Corvane v2.6.1") + QString(14, ' ') + "Celestron CGE");
        QVERIFY(w.Telescope()->lx200ControlButton->isHidden());
        QVERIFY(!w.CommandAction(kCmdLX200Control)->isEnabled());
        QCOMPARE(w.settings().LGPSMount, 2);  // the mount buttons are read when the dialog closes

        // Cancel keeps the interface, and the interface is applied again.
        guitest::ModalAnswerer cancel([](QWidget* modal) {
            if (auto* d = qobject_cast<InterfaceDialog*>(modal)) {
                d->interfaceButtons.front()->click();
                d->cancelButton->click();
            }
        });
        w.RunCommand(kCmdInterface);
        QCOMPARE(QString::fromStdString(w.settings().ScopeType), QString("CGE"));
        w.ShutDown();
    }

    // "INDI Server" shows the server fields; OK stores them and the title names the device.
    void indiServerFieldsAreShownStoredAndNamedInTheTitle() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"), "ScopeType=LX200\r\n"));
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        bool hiddenFirst = false, shownAfter = false, predictiveFirst = true;
        QString defaults;
        guitest::ModalAnswerer answer([&](QWidget* modal) {
            auto* d = qobject_cast<InterfaceDialog*>(modal);
            if (!d) return;
            hiddenFirst = d->indiBox->isHidden();
            for (auto* b : d->interfaceButtons)
                if (b->text() == "INDI Server") b->click();
            shownAfter = !d->indiBox->isHidden();
            defaults = d->indiHost->text() + ":" + QString::number(d->indiPort->value()) + " " +
                       d->indiDevice->text();
            d->indiHost->setText(" scope.local ");
            d->indiPort->setValue(7625);
            d->indiDevice->setText("EQMod Mount");
            predictiveFirst = d->predictive->isChecked();
            d->predictive->setChecked(true);
            d->okButton->click();
        });
        w.RunCommand(kCmdInterface);
        QVERIFY(hiddenFirst);
        QVERIFY(shownAfter);
        QCOMPARE(defaults, QString("localhost:7624 Telescope Simulator"));
        QCOMPARE(QString::fromStdString(w.settings().ScopeType), QString("INDI"));
        QCOMPARE(QString::fromStdString(w.settings().IndiHost), QString("scope.local"));
        QCOMPARE(w.settings().IndiPort, 7625);
        QCOMPARE(QString::fromStdString(w.settings().IndiDevice), QString("EQMod Mount"));
        // "Predictive tracking" starts off and is stored with the interface.
        QVERIFY(!predictiveFirst);
        QCOMPARE(w.settings().PredictiveTracking, 1);
        QCOMPARE(w.windowTitle(), QString("Corvane v2.6.1") + QString(14, ' ') + "INDI: EQMod Mount");
        w.ShutDown();
    }

    void nightVisionTurnsRedAndComesBackAtExit() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini")));
        ManualClock clock;
        LiveState live;
        const QColor normalWindow = QApplication::palette().color(QPalette::Window);
        guitest::ModalAnswerer answer([](QWidget* w) { guitest::Click(w, QMessageBox::Ok); });
        {
            MainWindow w(clock, live);
            QVERIFY(w.Initialise());
            QAction* nv = w.CommandAction(kCmdNightVision);
            w.RunCommand(kCmdNightVision);
            QVERIFY(nv->isChecked());
            QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(0, 0, 0));
            QCOMPARE(QApplication::palette().color(QPalette::WindowText), QColor(168, 0, 0));
            QCOMPARE(w.Sites()->siteName->palette().color(QPalette::Base), QColor(0, 0, 0));
            w.RunCommand(kCmdNightVision);
            QVERIFY(!nv->isChecked());
            QCOMPARE(QApplication::palette().color(QPalette::Window), normalWindow);
            w.RunCommand(kCmdNightVision);
            w.RunCommand(kCmdExit);
        }
        QCOMPARE(QApplication::palette().color(QPalette::Window), normalWindow);
        const QStringList expected = {"All is okay 1 with SETSYSCOLORS", "All is okay 2 with SETSYSCOLORS",
                                      "All is okay 1 with SETSYSCOLORS", "All is okay 2 with SETSYSCOLORS"};
        QCOMPARE(answer.seen, expected);
    }

    void legalFromTheMenuHasOnlyOk() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini")));
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        QString title;
        int buttons = 0;
        guitest::ModalAnswerer answer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            title = box->windowTitle();
            buttons = box->buttons().size();
            guitest::Click(modal, QMessageBox::Ok);
        });
        w.RunCommand(kCmdLegal);
        QCOMPARE(title, QString("Corvane  -  Legal Information"));
        QCOMPARE(buttons, 1);
        QVERIFY(answer.seen[0].startsWith("Corvane \n\n"));
        QVERIFY(answer.seen[0].contains("\n\nDisclaimer of warranty\n\n"));
        QVERIFY(!answer.seen[0].contains("Click YES"));
        w.ShutDown();
    }

    void adjustmentButtonsStepAndRoundAndTreatTextAsZero() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(
            folder.file("ConfigFile.ini"),
            "CoarseTimingIncr=1.5\r\nFineTimingIncr=0.07\r\nAlignmentIncr=0.2\r\n"));
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.Adjustments()->timingOffset->setText("abc");
        w.Adjustments()->timingButtons[3]->click();  // + coarse
        QCOMPARE(w.Adjustments()->timingOffset->text(), QString("1.5"));
        w.Adjustments()->timingButtons[1]->click();  // - fine
        w.Adjustments()->timingButtons[1]->click();
        QCOMPARE(w.Adjustments()->timingOffset->text(), QString("1.36"));
        QCOMPARE(live.Snapshot().timingOffsetText, std::string("1.36"));
        w.Adjustments()->alignmentAdjust->setText("0.05");
        w.Adjustments()->alignmentMinus->click();
        QCOMPARE(w.Adjustments()->alignmentAdjust->text(), QString("-0.2"));
        w.ShutDown();
    }

    void siteButtonsKeepWhatWasTyped() {
        guitest::WorkingFolder folder;
        QVERIFY(guitest::WriteAcceptedSettings(folder.file("ConfigFile.ini"),
                                               "LocationName2=Hill\r\nLocationLatitude2=47.1\r\n"));
        ManualClock clock;
        LiveState live;
        MainWindow w(clock, live);
        QVERIFY(w.Initialise());
        w.Sites()->siteName->setText("Home");
        w.Sites()->siteLatitude->setText("45.25");
        w.Sites()->siteButtons[2]->click();
        QCOMPARE(w.Sites()->siteName->text(), QString("Hill"));
        QCOMPARE(live.Snapshot().siteLatitude, std::string("47.1"));
        w.Sites()->siteButtons[1]->click();
        QCOMPARE(w.Sites()->siteName->text(), QString("Home"));
        QCOMPARE(w.Sites()->siteLatitude->text(), QString("45.25"));
        w.Sites()->siteButtons[2]->click();
        w.RunCommand(kCmdExit);
        const Settings s = LoadSettingsFile(folder.file("ConfigFile.ini").toStdString());
        QCOMPARE(s.LastLocation, 2);
        QCOMPARE(QString::fromStdString(s.sites[1].name), QString("Home"));
        QCOMPARE(QString::fromStdString(s.sites[2].latitude), QString("47.1"));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
