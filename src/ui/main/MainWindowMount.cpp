// The main window's mount windows: the "LX200 Control" panel and the date/time dialog of the
// "&Set" button.
#include "passes/IssMonitor.h"
#include "ui/main/MainWindow.h"
#include "ui/maps/IssMonitorPanel.h"
#include "ui/telescope/DateTimeDialog.h"
#include "ui/telescope/Lx200ControlWindow.h"
#include "ui/telescope/TelescopePanel.h"

namespace corvane::ui {

void MainWindow::OpenLx200Control() {
    // Opening stops tracking and asks for a connection when there is none; the panel's jobs
    // queue behind it on the session thread.
    telescope_->StopIfTracking();
    if (session_->ConnectedPort() == 0) telescope_->ConnectOrDisconnect();
    if (!lx200Control_) {
        lx200Control_ = new Lx200ControlWindow(*session_, clock_, this);
    }
    lx200Control_->show();
    lx200Control_->raise();
    lx200Control_->activateWindow();
    lx200Control_->Start();
}

void MainWindow::OpenDateTimeDialog() {
    DateTimeDialog dialog(clock_, settings_, *session_, this);
    if (dialog.exec() == QDialog::Accepted && issPanel_) issPanel_->Monitor().RequestSearch();
    // The clock line shows the shifted clock at once.
    DisplayPass();
}

}  // namespace corvane::ui
