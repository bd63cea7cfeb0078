#include "ui/main/DownloadWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/GuiPost.h"

namespace corvane::ui {

DownloadWindow::DownloadWindow(Settings& settings, Clock& clock,
                               std::function<void(const std::string&)> loaded, QWidget* parent)
    : QDialog(parent), settings_(settings), clock_(clock), loaded_(std::move(loaded)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Download TLE File"));
    auto* outer = new QVBoxLayout(this);
    explanation = new QLabel(QString::fromLatin1(kDownloadExplanation));
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(420);
    outer->addWidget(explanation);
    auto* grid = new QGridLayout;
    const int selected =
        settings_.DefaultTLE >= 1 && settings_.DefaultTLE <= kDownloadSetCount ? settings_.DefaultTLE : 1;
    for (int i = 1; i <= kDownloadSetCount; ++i) {
        setButtons[i] =
            new QRadioButton(QString::fromLocal8Bit(settings_.TleName[static_cast<size_t>(i)].c_str()));
        setButtons[i]->setChecked(i == selected);
        // Sets 1-4 in the left column, 5-7 in the right one.
        grid->addWidget(setButtons[i], i <= 4 ? i - 1 : i - 5, i <= 4 ? 0 : 1);
    }
    outer->addLayout(grid);
    status = new QLabel;
    outer->addWidget(status);
    auto* buttons = new QHBoxLayout;
    downloadButton = new QPushButton(QStringLiteral("Download TLE"));
    cancelButton = new QPushButton(QStringLiteral("Cancel"));
    cancelButton->setEnabled(false);
    buttons->addStretch();
    buttons->addWidget(downloadButton);
    buttons->addWidget(cancelButton);
    outer->addLayout(buttons);
    connect(downloadButton, &QPushButton::clicked, this, [this] { DownloadElementSet(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { Cancel(); });
}

DownloadWindow::~DownloadWindow() {
    StopWorker();
    if (running_) QApplication::restoreOverrideCursor();
}

void DownloadWindow::ShowRunning(bool running) {
    running_ = running;
    downloadButton->setEnabled(!running);
    cancelButton->setEnabled(running);
    for (int i = 1; i <= kDownloadSetCount; ++i) setButtons[i]->setEnabled(!running);
    if (running) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void DownloadWindow::StopWorker() {
    if (cancel_) cancel_->store(true);
    // A cancelled script is ended within a second; the previous file is then back.
    if (worker_.joinable()) worker_.join();
}

void DownloadWindow::DownloadElementSet() {
    if (running_) return;
    StopWorker();
    int index = 1;
    for (int i = 1; i <= kDownloadSetCount; ++i)
        if (setButtons[i]->isChecked()) index = i;
    settings_.DefaultTLE = index;
    const DownloadSet set = DownloadSetOf(settings_, index);
    DownloadOptions options;
    options.folder = folder_;
    options.maxDownloadSeconds = settings_.MaxTLEDownloadTime;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    status->setText(QStringLiteral("Running ") + QString::fromLocal8Bit(set.batchFile.c_str()) +
                    QStringLiteral(" ..."));
    ShowRunning(true);
    worker_ = std::thread([this, set, options, cancel = cancel_] {
        DownloadOutcome outcome = corvane::DownloadElementSet(set, options, clock_, *cancel);
        PostToGui(this, [this, outcome = std::move(outcome)]() mutable { Finished(std::move(outcome)); });
    });
}

void DownloadWindow::Cancel() {
    if (cancel_) cancel_->store(true);
    cancelButton->setEnabled(false);
}

void DownloadWindow::Finished(DownloadOutcome outcome) {
    if (worker_.joinable()) worker_.join();
    if (closed_) return;
    ShowRunning(false);
    status->clear();
    if (outcome.status == DownloadStatus::kSuccess) {
        const std::string file = settings_.TleName[static_cast<size_t>(settings_.DefaultTLE)];
        close();  // closed_ is set: nothing else of this window runs
        if (loaded_) loaded_(file);
        return;
    }
    status->setText(QString::fromLocal8Bit(outcome.detail.c_str()));
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kDownloadErrorTitle),
                    QString::fromLatin1(kDownloadErrorMessage), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("downloadError"));
    box.exec();
}

void DownloadWindow::closeEvent(QCloseEvent* event) {
    closed_ = true;
    if (running_) {
        Cancel();
        StopWorker();
        ShowRunning(false);
    }
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
