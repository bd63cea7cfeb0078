#include "ui/passes/PlanWindows.h"

#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "core/Text.h"
#include "ui/passes/BatchPredictionsWindow.h"
#include "ui/passes/InformationWindow.h"
#include "ui/passes/PassPredictionsWindow.h"
#include "ui/passes/ViewPlanTleWindow.h"
#include "ui/passes/ViewPlanWindow.h"

namespace corvane::ui {

namespace {

constexpr int kRecordRole = Qt::UserRole + 1;

QString DefaultSaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                            const QString& filter, const QString& suffix) {
    QFileDialog dialog(parent, title, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool DefaultPrintDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

// A window that has been closed is deleted later; until then it no longer counts as open.
template <typename W>
W* Open(const QPointer<W>& window) {
    return window && window->isVisible() ? window.data() : nullptr;
}

template <typename W>
void Raise(W* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PlanContext

void TellAlreadyPlanned(QWidget* parent, int passes) {
    if (passes <= 0) return;
    // DEPARTURE: a pass already in the plan is still added, as before, but no longer silently.
    const QString text =
        passes == 1
            ? QStringLiteral("This pass was already in the View Plan; it is now listed twice.")
            : QString::number(passes) + QStringLiteral(
                                            " of these passes were already in the View Plan; they are "
                                            "now listed twice.");
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("View Plan"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("alreadyPlanned"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool SaveViewPlanOrWarn(const PlanContext& context, QWidget* parent, const char* afterwards) {
    std::string error;
    if (SaveViewPlan(context.plan, context.planPath, context.NowLocal(), &error)) return true;
    QMessageBox::warning(parent, QStringLiteral("File Error"),
                         QStringLiteral("The View Plan could not be saved (") + Latin1(error) +
                             QStringLiteral("). ") + QString::fromLatin1(afterwards));
    return false;
}

std::string PlanContext::ElementFileText() const {
    return elementFileName ? TrimRight(ToLatin1(elementFileName())) : TrimRight(settings.ElementsFile);
}

PlanHeader PlanContext::CurrentPlanHeader() const {
    PlanHeader h;
    h.site = SiteFields();
    h.tleFile = ElementFileText();
    h.aosElevation = settings.AOSElevation;
    h.ignoreEclipse = settings.IgnoreEclipse != 0;
    return h;
}

// ---------------------------------------------------------------------------------------------

PlanWindows::PlanWindows(Clock& clock, LiveState& live, Settings& settings, CatalogueStore& catalogue,
                         QWidget* mainWindow)
    : QObject(mainWindow), main_(mainWindow), context_(clock, live, settings, catalogue, plan_) {
    context_.saveFileName = DefaultSaveFileName;
    context_.printDialog = DefaultPrintDialog;
}

PlanWindows::~PlanWindows() = default;

PassPredictionsWindow* PlanWindows::passPredictions() const { return Open(predictions_); }
BatchPredictionsWindow* PlanWindows::batchPredictions() const { return Open(batch_); }
ViewPlanWindow* PlanWindows::viewPlanWindow() const { return Open(viewPlan_); }
ViewPlanTleWindow* PlanWindows::viewPlanTleWindow() const { return Open(tle_); }
InformationWindow* PlanWindows::informationWindow() const { return Open(information_); }

void PlanWindows::LoadAtStart() {
    const ViewPlanLoad load = ReadViewPlan(plan_, context_.planPath);
    if (load.NeedsTelling())
        QMessageBox::warning(main_, QStringLiteral("File Error"),
                             Latin1(ViewPlanLoadMessage(load, context_.planPath)));
}

void PlanWindows::SaveAtExit() {
    SaveViewPlanOrWarn(context_, main_, "The previous vplan.log is unchanged.");
}

void PlanWindows::StartEmptyPlan() {
    ClearViewPlan(plan_, context_.planPath);
    if (context_.refreshMainPlan) context_.refreshMainPlan();
}

void PlanWindows::RefreshMainViewPlan(QListWidget* list, QPushButton* selectButton) {
    PurgeViewPlan(plan_, context_.NowLocal());
    list->clear();
    const auto catalogue = context_.catalogue.Get();
    for (const MainPlanLine& line :
         MainViewPlanLines(plan_, *catalogue, refreshSlot_, context_.CurrentSite(), context_.NowLocal())) {
        auto* item = new QListWidgetItem(Latin1(line.text));
        const std::string& record = plan_.entries[line.entry].Record();
        item->setData(kRecordRole, QByteArray(record.data(), static_cast<qsizetype>(record.size())));
        list->addItem(item);
    }
    if (selectButton) selectButton->setVisible(false);
}

void PlanWindows::SelectFromMainList(QListWidgetItem* item) {
    if (item == nullptr) return;
    const std::string record = item->data(kRecordRole).toByteArray().toStdString();
    ViewPlanEntry* entry = nullptr;
    for (ViewPlanEntry& e : plan_.entries) {
        if (e.Record() == record) entry = &e;
    }
    if (entry == nullptr) return;  // the pass has left the plan since the list was built
    const int index = FindObjectByNorad(*context_.catalogue.Get(), entry->Norad());
    if (context_.settings.RemoveAfterSelect) {
        entry->MarkRemoved();
        PurgeViewPlan(plan_, context_.NowLocal());
    }
    if (context_.selectObject) context_.selectObject(index);
    if (context_.closeSecondaryWindows) context_.closeSecondaryWindows();
    if (context_.refreshMainPlan) context_.refreshMainPlan();
}

bool PlanWindows::UpdateInfo(int object) {
    info_.reset();
    const ObjectIdentity id = IdentityOf(*context_.catalogue.Get(), object);
    if (id.number.empty()) return false;
    info_ = FindObjectInfo(kObjectInfoFileName, static_cast<long>(LeadingNumber(id.number)));
    return info_.has_value();
}

void PlanWindows::OpenPassPredictions(int object) {
    if (PassPredictionsWindow* open = passPredictions()) {
        if (open->object() == object) {
            Raise(open);
            open->passList->setFocus();
            return;
        }
        open->close();
    }
    if (context_.catalogue.Get()->Entry(object) == nullptr) return;
    predictions_ = new PassPredictionsWindow(context_, object, main_);
    Raise(predictions_.data());
}

void PlanWindows::OpenBatchPredictions() {
    if (BatchPredictionsWindow* open = batchPredictions()) {
        if (open->isMinimized()) open->showNormal();
        Raise(open);
        return;
    }
    batch_ = new BatchPredictionsWindow(context_, main_);
    Raise(batch_.data());
}

void PlanWindows::OpenViewPlan() {
    if (ViewPlanWindow* open = viewPlanWindow()) {
        Raise(open);
        return;
    }
    viewPlan_ = new ViewPlanWindow(context_, main_);
    Raise(viewPlan_.data());
}

void PlanWindows::OpenViewPlanTle() {
    if (ViewPlanTleWindow* open = viewPlanTleWindow()) {
        Raise(open);
        return;
    }
    tle_ = new ViewPlanTleWindow(context_, main_);
    Raise(tle_.data());
}

void PlanWindows::OpenInformation() {
    if (!info_) return;
    if (InformationWindow* open = informationWindow()) open->close();
    information_ = new InformationWindow(*info_, main_);
    Raise(information_.data());
}

void PlanWindows::CloseAll() {
    if (predictions_) predictions_->close();
    if (batch_) batch_->close();
    if (viewPlan_) viewPlan_->close();
    if (tle_) tle_->close();
    if (InformationWindow* open = informationWindow()) open->close();
}

}  // namespace corvane::ui
