// The main window's menus and the commands they run (menu items, and the dialogs they open).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include "core/Legal.h"
#include "core/ScopeInterface.h"
#include "core/Text.h"
#include "scope/ScopeType.h"
#include "ui/main/ElementDataWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/maps/IssMonitorPanel.h"
#include "ui/maps/MapWindows.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/InterfaceDialog.h"
#include "ui/telescope/Lx200ControlWindow.h"
#include "ui/telescope/TelescopePanel.h"

namespace corvane::ui {

void MainWindow::BuildMenus() {
    auto add = [this](QMenu* menu, const QString& text, int command) {
        QAction* a = menu->addAction(text);
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { RunCommand(command); });
        actions_[command] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("&Exit"), kCmdExit);
    QMenu* satellite = menuBar()->addMenu(QStringLiteral("&Satellite"));
    add(satellite, QStringLiteral("&Create View Plan TLE File"), kCmdCreateViewPlanTle);
    add(satellite, QStringLiteral("Observation Log &Report"), kCmdObservationReport);
    QMenu* telescope = menuBar()->addMenu(QStringLiteral("Telescope"));
    add(telescope, QStringLiteral("&LX200 Control"), kCmdLX200Control);
    add(telescope, QStringLiteral("&Interface  Protocol"), kCmdInterface);
    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    add(view, QStringLiteral("&Night Vision"), kCmdNightVision)->setCheckable(true);
    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    add(options, QStringLiteral("&Preferences"), kCmdPreferences);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    add(help, QStringLiteral("&Help Topics"), kCmdHelpTopics);
    add(help, QStringLiteral("&Legal"), kCmdLegal);
}

void MainWindow::RunCommand(int command) {
    switch (command) {
        case kCmdExit:
            ShutDown();
            close();
            break;
        case kCmdCreateViewPlanTle:
            plans_->OpenViewPlanTle();
            break;
        case kCmdObservationReport:
            OpenObsReport();
            break;
        case kCmdLX200Control:
            OpenLx200Control();
            break;
        case kCmdInterface:
            OpenInterfaceDialog();
            break;
        case kCmdNightVision:
            ToggleNightVision();
            break;
        case kCmdPreferences:
            OpenPreferences();
            break;
        case kCmdHelpTopics:
            OpenHelp();
            break;
        case kCmdLegal:
            ShowLegal();
            break;
        default:
            break;
    }
}

void MainWindow::ApplyInterface() {
    // 1. Stop tracking and close the serial link before anything changes (on the session's
    // thread, in this order, before the new type applies).
    StopTracking();
    if (session_->ConnectedPort() != 0) session_->Disconnect();
    // 2-3. The display name in the title; unknown codes become LX200.
    if (!IsKnownScopeCode(settings_.ScopeType)) settings_.ScopeType = "LX200";
    setWindowTitle(QString::fromStdString(
        MainWindowTitle(InterfaceTitleName(settings_.ScopeType, settings_.IndiDevice))));
    session_->SetIndiServer(IndiServer{settings_.IndiHost, settings_.IndiPort, settings_.IndiDevice});
    session_->SetScopeType(ScopeTypeFromCode(settings_.ScopeType));
    // 4. The LX200-only controls.
    const bool lx200 = settings_.ScopeType == "LX200";
    if (telescope_->raBar) {
        telescope_->raBar->setVisible(lx200);
        telescope_->decBar->setVisible(lx200);
        telescope_->lx200ControlButton->setVisible(lx200);
    }
    if (QAction* a = CommandAction(kCmdLX200Control)) a->setEnabled(lx200);
    if (lx200Control_ && !lx200) lx200Control_->close();
    // 5. The mount buttons of the interface dialog, while it is still there.
    if (interfaceDialog_) interfaceDialog_->ReadMountButtons(settings_);
}

void MainWindow::OpenInterfaceDialog() {
    InterfaceDialog dialog(settings_, this);
    interfaceDialog_ = &dialog;
    dialog.exec();
    ApplyInterface();
    interfaceDialog_ = nullptr;
}

void MainWindow::OpenPreferences() {
    PreferencesDialog dialog(settings_, this);
    dialog.exec();
    PushTrackingSettings();
}

void MainWindow::ToggleNightVision() {
    QAction* action = CommandAction(kCmdNightVision);
    const bool turningOn = !nightVision_.IsOn();
    bool ok;
    if (turningOn) {
        ok = nightVision_.Apply();
    } else {
        ok = nightVision_.Restore();
    }
    QMessageBox box(
        QMessageBox::NoIcon, QString(),
        QString::fromLatin1(
            turningOn ? (ok ? "All is okay 1 with SETSYSCOLORS" : "All is not okay 1 with SETSYSCOLORS")
                      : (ok ? "All is okay 2 with SETSYSCOLORS" : "All is not okay 2 with SETSYSCOLORS")),
        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("nightVisionMessage"));
    box.exec();
    if (action) action->setChecked(nightVision_.IsOn());
    RefreshPictures();
    maps_->Redraw();
    issPanel_->RedrawGlobe();
    update();
}

void MainWindow::ShowLegal() {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kLegalTitle),
                    QString::fromLatin1(LegalText(false).c_str()), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("legal"));
    box.exec();
}

void MainWindow::OpenHelp() {
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("cvhlp.htm"));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(this, QStringLiteral("Help"),
                             QStringLiteral("No viewer could be started for ") + path +
                                 QStringLiteral(". Open it in a web browser."));
    }
}

}  // namespace corvane::ui
