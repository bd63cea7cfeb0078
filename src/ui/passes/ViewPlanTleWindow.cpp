#include "ui/passes/ViewPlanTleWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "passes/TleExport.h"

namespace corvane::ui {

ViewPlanTleWindow::ViewPlanTleWindow(PlanContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Create View Plan TLE File"));
    SavePlan();

    auto* layout = new QVBoxLayout(this);
    explanation = new QLabel(QString::fromLatin1(kTleExportExplanation));
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(420);
    layout->addWidget(explanation);
    addAosTime = new QCheckBox(QStringLiteral("AOS Time in Object Name (eg.'ISS @21:02') "));
    addAosTime->setChecked(context_.settings.MakeTLEAddAOS == 1);
    layout->addWidget(addAosTime);
    status = new QLabel;
    layout->addWidget(status);
    auto* row = new QHBoxLayout;
    createButton = new QPushButton(QStringLiteral("Create File"));
    closeButton = new QPushButton(QStringLiteral("Close"));
    createButton->setAutoDefault(false);
    closeButton->setAutoDefault(false);
    row->addWidget(createButton);
    row->addStretch();
    row->addWidget(closeButton);
    layout->addLayout(row);

    const size_t n = context_.plan.Count();
    status->setText(Latin1(TleExportPlanStatus(n)));
    createButton->setEnabled(n > 0);
    connect(createButton, &QPushButton::clicked, this, [this] { CreateFile(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

bool ViewPlanTleWindow::SavePlan() { return SaveViewPlanOrWarn(context_, this); }

void ViewPlanTleWindow::CreateFile() {
    SavePlan();
    if (context_.plan.Empty()) {
        QMessageBox box(
            QMessageBox::Critical, QStringLiteral("View Plan Empty"),
            QStringLiteral("There are no objects currently in the View Plan to create ViewPlan.tle"),
            QMessageBox::Ok, this);
        box.exec();
        return;
    }
    if (!context_.saveFileName) return;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString proposed =
        desktop.isEmpty() ? QStringLiteral("ViewPlan") : desktop + QStringLiteral("/ViewPlan");
    const QString output =
        context_.saveFileName(this, QStringLiteral("Save View Plan TLE File"), proposed,
                              QStringLiteral("Element Files(*.tle);;All Files (*)"), QStringLiteral("tle"));
    if (output.isEmpty()) return;
    const std::string input = context_.ElementFileText();
    TleExportResult result;
    {
        BusyCursor busy;
        result = CreateViewPlanTle(
            context_.plan, input, output.toStdString(), addAosTime->isChecked(),
            [this](size_t i, size_t n) { status->setText(Latin1(TleExportProgress(i, n))); });
    }
    if (result.outcome == TleExportOutcome::kInputMissing) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Open File Error"),
                        QStringLiteral("Could not open ") + Latin1(input), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    if (result.outcome == TleExportOutcome::kOutputFailed) {
        QMessageBox::warning(
            this, QStringLiteral("File Error"),
            QStringLiteral("Could not write ") + output + QStringLiteral(": ") + Latin1(result.error));
        return;
    }
    status->setText(Latin1(TleExportDone(context_.plan.Count(), ToLatin1(output))));
}

void ViewPlanTleWindow::closeEvent(QCloseEvent* event) {
    context_.settings.MakeTLEAddAOS = addAosTime->isChecked() ? 1 : 0;
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
