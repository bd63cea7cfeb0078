// The main window's observation log: the "Observation Log " window of the selected object, with
// what "New" fills in from the program's state, the observed list after a save, and the
// "Observation Reports " window.
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

#include "core/Text.h"
#include "obslog/NewObservation.h"
#include "passes/PassPredictions.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/obslog/ObsLogWindow.h"
#include "ui/obslog/ObsReportWindow.h"
#include "ui/passes/PlanContext.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/AdjustmentPanel.h"

namespace corvane::ui {

namespace {
template <typename W>
W* OpenOrNull(const QPointer<W>& w) {
    return (w && w->isVisible()) ? w.data() : nullptr;
}
}  // namespace

ObsLogWindow* MainWindow::obsLogWindow() const { return OpenOrNull(obsLog_); }
ObsReportWindow* MainWindow::obsReportWindow() const { return OpenOrNull(obsReport_); }

void MainWindow::ObservationSaved(long catalogueNumber, bool favourite) {
    observed_.MarkObserved(catalogueNumber);
    observed_.SetFavourite(catalogueNumber, favourite);
    // DEPARTURE: the observed list is written at once, not only at exit, so that a crash or a
    // power cut after a save does not lose the object's observed and favourite marks.
    if (observedUnreadable_) return;
    std::string error;
    if (!observed_.Save(kObservedFileName, &error))
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QStringLiteral("The observed list could not be saved (") +
                                 QString::fromLocal8Bit(error.c_str()) + QStringLiteral(")."));
}

void MainWindow::OpenObslog() {
    const int selected = live_.Snapshot().selectedObject;
    const auto catalogue = catalogue_.Get();
    if (catalogue->Entry(selected) == nullptr) return;
    const ObjectIdentity identity = IdentityOf(*catalogue, selected);
    const long number = static_cast<long>(LeadingNumber(identity.number));
    if (ObsLogWindow* open = obsLogWindow()) {
        if (open->catalogueNumber() == number) {
            open->raise();
            open->activateWindow();
            return;
        }
        open->close();
    }
    ObsLogContext context;
    context.catalogueNumber = number;
    context.nextYear = std::stoi(ObsDateText(clock_.JulianDateNow()).substr(0, 4)) + 1;
    context.isFavourite = [this](long n) { return observed_.IsFavourite(n); };
    context.markObserved = [this](long n, bool favourite) { ObservationSaved(n, favourite); };
    context.newInputs = [this, selected] {
        NewObservationInputs in;
        const LiveValues v = live_.Snapshot();
        const auto cat = catalogue_.Get();
        in.nowLocal = clock_.JulianDateNow();
        in.siteName = v.siteName, in.siteLatitude = v.siteLatitude;
        in.siteLongitude = v.siteLongitude, in.siteAltitude = v.siteAltitude;
        in.elementFile = TrimRight(ToLatin1(elements_->elementFileName->text()));
        const ObjectIdentity id = IdentityOf(*cat, selected);
        in.objectName = id.name, in.catalogueNumber = id.number;
        if (lastDisplay_.Field("T+Epoch:").empty()) DisplayPass();
        in.tPlusEpoch = lastDisplay_.Field("T+Epoch:");
        in.timingOffset = ToLatin1(adjustments_->timingOffset->text());
        in.alignment = ToLatin1(adjustments_->alignmentAdjust->text());
        in.scopeCode = settings_.ScopeType;
        // The object's pass around now, searched as the pass predictions search.
        const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
        PropagationSlot slot(kSlotPassPrediction);
        const auto pass = PassAroundNow(*cat, selected, slot, site,
                                        PassSettings{settings_.AOSElevation, settings_.IgnoreEclipse != 0},
                                        UtcNow(clock_, site));
        if (pass) {
            const double offset = site.utcOffset / 24.0;
            in.pass = ObservedPass{pass->aos + offset, pass->los + offset, pass->losSecond - pass->aosSecond,
                                   pass->maxElevation, pass->rangeAtMax};
        }
        return in;
    };
    auto* window = new ObsLogWindow(std::move(context), this);
    obsLog_ = window;
    KeepSecondary(window);
    window->show();
}

void MainWindow::OpenObsReport() {
    if (ObsReportWindow* open = obsReportWindow()) {
        open->raise();
        open->activateWindow();
        return;
    }
    ObsReportContext context;
    context.settings = &settings_;
    context.nowLocal = [this] { return clock_.JulianDateNow(); };
    context.saveFileName = [this](QWidget* parent, const QString& title, const QString& proposed,
                                  const QString& filter, const QString& suffix) {
        const auto& dialog = plans_->context().saveFileName;
        return dialog ? dialog(parent, title, proposed, filter, suffix) : QString();
    };
    context.openInViewer = [this](const QString& file) {
        if (openInViewer) return openInViewer(file);
        // Window tests never start a viewer.
        if (qEnvironmentVariableIsSet("CORVANE_TEST_MODE")) return true;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));
    };
    auto* window = new ObsReportWindow(std::move(context), this);
    obsReport_ = window;
    window->show();
}

}  // namespace corvane::ui
