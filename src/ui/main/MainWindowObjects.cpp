// The main window's objects: loading an element file, the "TLE Data" window, building the
// object list and choosing an entry, the selected object of the View Plan, and the View Plan list
// with its timer.
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
#include <QTimerEvent>
#include <QUrl>

#include "core/Legal.h"
#include "core/ScopeInterface.h"
#include "core/Text.h"
#include "scope/ScopeType.h"
#include "ui/common/Widgets.h"
#include "ui/main/DownloadWindow.h"
#include "ui/main/ElementDataWindow.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ObjectListPanel.h"
#include "ui/main/PositionPanel.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/SitePanel.h"
#include "ui/main/ViewPlanPanel.h"
#include "ui/maps/IssMonitorPanel.h"
#include "ui/obslog/ObsLogWindow.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/AdjustmentPanel.h"
#include "ui/telescope/InterfaceDialog.h"

namespace corvane::ui {

void MainWindow::WaitPainted(int milliseconds) {
    // Waits on the program clock while keeping the windows painted.
    const double end = clock_.MonotonicSeconds() + milliseconds / 1000.0;
    while (clock_.MonotonicSeconds() < end) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const double left = end - clock_.MonotonicSeconds();
        clock_.Sleep(static_cast<int>(std::min(50.0, std::max(1.0, left * 1000.0))));
    }
}

void MainWindow::KeepSecondary(QWidget* window) { secondaryWindows_.append(QPointer<QWidget>(window)); }

void MainWindow::CloseSecondaryWindows() {
    for (const QPointer<QWidget>& w : secondaryWindows_)
        if (w) w->close();
    secondaryWindows_.clear();
    if (plans_) plans_->CloseAll();
}

namespace {
// Shows the loader's progress in a label and in the main window's status field at once.
class LabelLoadObserver : public LoadObserver {
public:
    LabelLoadObserver(QWidget* parent, QLabel* status, QLabel* mainStatus)
        : parent_(parent), status_(status), mainStatus_(mainStatus) {}
    void Status(const std::string& text) override {
        for (QLabel* l : {status_, mainStatus_}) {
            if (!l) continue;
            l->setText(QString::fromLatin1(text.c_str()));
            l->repaint();
        }
    }
    void OpenFailed(const std::string& message, const std::string& title) override {
        QMessageBox::critical(parent_, QString::fromLatin1(title.c_str()),
                              QString::fromLocal8Bit(message.c_str()));
    }

private:
    QWidget* parent_;
    QLabel* status_;
    QLabel* mainStatus_;
};
}  // namespace

void MainWindow::LoadElements(const QString& fileName, QLabel* status) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CloseSecondaryWindows();
    // A load replaces the catalogue under every reader: tracking stops first, so that no engine
    // goes on with an object index of the old catalogue.
    StopTracking();
    live_.Update([](LiveValues& v) { v.selectedObject = 0; });
    elements_->elementFileName->clear();
    LabelLoadObserver observer(this, status, elements_->elementFileStatus);
    const LoadResult result = LoadElementFile(fileName.toLocal8Bit().toStdString(), &observer);
    catalogue_.Set(result.catalogue);
    if (status) status->setText(QString::fromLatin1(result.status.c_str()));
    elements_->elementFileStatus->setText(QString::fromLatin1(result.status.c_str()));
    elements_->elementFileName->setText(QString::fromLocal8Bit(result.fileName.c_str()));
    elements_->ShowObjectButtons(false);
    elements_->tleDataButton->setVisible(false);
    elements_->infoButton->setVisible(false);
    RebuildObjectList();
    QApplication::restoreOverrideCursor();
}

void MainWindow::OpenTle() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Satellite Element File"), QDir::currentPath(),
        QStringLiteral(
            "Element Files *.tle *.txt (*.tle *.TLE *.txt *.TXT);;OMM Files *.csv *.xml (*.csv *.CSV *.xml "
            "*.XML);;All files (*)"));
    if (file.isEmpty()) return;
    // Files in the working folder are remembered by name, others by their full path.
    const QString relative = QDir::current().relativeFilePath(file);
    LoadElements(relative.contains('/') ? file : relative, elements_->elementFileStatus);
    // A newly opened element file starts with an empty View Plan ("vplan.log" deleted).
    plans_->StartEmptyPlan();
    RefreshViewPlan();
}

void MainWindow::OpenDownloadWindow() {
    if (DownloadWindow* open = downloadWindow()) {
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    download_ = new DownloadWindow(
        settings_, clock_, [this](const std::string& file) { LoadDownloadedFile(file); }, this);
    download_->show();
}

DownloadWindow* MainWindow::downloadWindow() const {
    return download_ && download_->isVisible() ? download_.data() : nullptr;
}

void MainWindow::LoadDownloadedFile(const std::string& elementFile) {
    LoadElements(Latin1(elementFile), elements_->elementFileStatus);
    // A downloaded element file starts with an empty View Plan ("vplan.log" deleted).
    plans_->StartEmptyPlan();
    RefreshViewPlan();
    // The object-dependent commands follow the selection (none after a load).
    elements_->ShowObjectButtons(live_.Snapshot().selectedObject != 0);
}

void MainWindow::ShowElementData() {
    const int index = live_.Snapshot().selectedObject;
    const auto catalogue = catalogue_.Get();
    const CatalogueEntry* entry = catalogue->Entry(index);
    if (!entry) return;
    const QString name = QString::fromLatin1(entry->name.substr(0, 24).c_str());
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const double jd = UtcNow(clock_, site) + LeadingNumber(v.timingOffsetText) / 86400.0;
    const std::string age =
        ElementAgeNote(ElementAgeDays(ConvertElementText("", entry->line1, entry->line2), jd));
    auto* window = new ElementDataWindow(name, entry->line1, entry->line2, this, Latin1(age));
    KeepSecondary(window);
    window->show();
}

void MainWindow::RebuildObjectList() {
    // After a load: the old catalogue's heights mean nothing any more.
    altitudeCache_.Invalidate();
    BuildObjectList();
}

// ---------------------------------------------------------------------------------------------
// Object list and position panel

void MainWindow::BuildObjectList() {
    settings_.NoradSort = objects_->listByNorad->isChecked() ? 1 : 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const double jd = ObjectListInstant(clock_, site, LeadingNumber(v.timingOffsetText));
    const auto catalogue = catalogue_.Get();
    const ObjectListResult result =
        corvane::BuildObjectList(*catalogue, objects_->Filters(), site, jd, observed_, altitudeCache_,
                                 [this](const std::string& text) {
                                     objects_->listStatus->setText(QString::fromLatin1(text.c_str()));
                                     objects_->listStatus->repaint();
                                 });
    objects_->ShowEntries(result);
    QApplication::restoreOverrideCursor();
}

void MainWindow::SelectObjectFromList(int row) {
    // The whole entry text, hidden "~~<index>" included, is kept with the item.
    const std::string entry = objects_->EntryText(row);
    const ObjectSelection sel =
        corvane::SelectObjectFromList(entry, catalogue_.Get()->Count(), settings_.ResetAlignment == 1);
    objects_->objectList->setEditText(row >= 0 ? objects_->objectList->itemText(row) : Latin1(sel.shownText));
    StopTracking();
    live_.Update([&sel](LiveValues& v) { v.selectedObject = sel.selectedObject; });
    CloseSecondaryWindows();
    if (sel.resetAlignment) adjustments_->alignmentAdjust->setText(QStringLiteral("0"));
    elements_->tleDataButton->setVisible(sel.showTleDataButton && sel.selectedObject != 0);
    elements_->ShowObjectButtons(sel.showObjectButtons);
}

void MainWindow::SizeForIssMonitor() {
    const bool open = settings_.ISSMonitor != 0;
    issPanel_->setVisible(open);
    planList_->issMonitorButton->setText(open ? QStringLiteral("<< Close Monitor")
                                              : QStringLiteral("ISS Monitor >>"));
    const QSize wanted = DialogUnits(open ? 535 : 425, 275);
    adjustSize();
    resize(std::max(wanted.width(), minimumSizeHint().width()),
           std::max(wanted.height(), minimumSizeHint().height()));
}

void MainWindow::ToggleIssMonitor() {
    settings_.ISSMonitor = settings_.ISSMonitor ? 0 : 1;
    SizeForIssMonitor();
}

void MainWindow::RefreshViewPlan() {
    // RefreshMainViewPlan; counted so that its timer and the "no refresh while tracking"
    // preference can be checked.
    if (settings_.CalcVPWhenTracking != 0 && session_->TrackingActive()) return;
    ++viewPlanRefreshes_;
    if (planList_->viewPlanList)
        plans_->RefreshMainViewPlan(planList_->viewPlanList, planList_->viewPlanSelect);
}

void MainWindow::SelectPlanObject(int index) {
    StopTracking();
    // The log window shows one object's records.
    if (obsLog_) obsLog_->close();
    live_.Update([index](LiveValues& v) { v.selectedObject = index; });
    if (objects_->objectList && objects_->objectList->count() > 0) objects_->objectList->setCurrentIndex(0);
    elements_->ShowObjectButtons(index != 0);
    elements_->tleDataButton->setVisible(index != 0);
    const bool info = index != 0 && plans_->UpdateInfo(index);
    elements_->infoButton->setVisible(info);
    elements_->infoButton->setEnabled(info);
    if (settings_.ResetAlignment == 1) adjustments_->alignmentAdjust->setText(QStringLiteral("0"));
}

void MainWindow::OnViewPlanTimer() {
    if (!(settings_.CalcVPWhenTracking != 0 && session_->TrackingActive())) RefreshViewPlan();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == viewPlanTimer_) {
        OnViewPlanTimer();
        return;
    }
    QMainWindow::timerEvent(event);
}

}  // namespace corvane::ui
