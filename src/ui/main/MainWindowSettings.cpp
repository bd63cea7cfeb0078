// The main window's settings: the controls filled from "ConfigFile.ini" and copied back, the
// values the telescope session reads, and saving the file (never over one that could not be read
// unless the user says so).
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>

#include "ui/common/Widgets.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ObjectListPanel.h"
#include "ui/main/PositionPanel.h"
#include "ui/main/SitePanel.h"
#include "ui/main/ViewPlanPanel.h"
#include "ui/telescope/AdjustmentPanel.h"
#include "ui/telescope/TelescopePanel.h"

namespace corvane::ui {

void MainWindow::ApplySettingsToControls() {
    const Settings& s = settings_;
    objects_->ApplySettings(s);
    adjustments_->timingOffset->setText(Latin1(s.TimingOffset));
    elements_->elementFileName->setText(Latin1(s.ElementsFile));
    telescope_->comPort->setCurrentText(QString::number(s.ComPort));
    telescope_->trackingMethod->setValue(std::min(5, std::max(0, s.TrackMethod)));
}

void MainWindow::CopyControlsToSettings() {
    Settings& s = settings_;
    objects_->CopyToSettings(s);
    s.TimingOffset = ToLatin1(adjustments_->timingOffset->text());
    s.ElementsFile = ToLatin1(elements_->elementFileName->text());
    s.ComPort = telescope_->PortNumber();
    s.TrackMethod = telescope_->trackingMethod->value();
}

void MainWindow::PushTrackingSettings() {
    TrackingSettings t = TrackingSettingsFrom(settings_);
    t.elementFile = ToLatin1(elements_->elementFileName->text());
    session_->SetSettings(t);
}

void MainWindow::SaveSettingsNow() {
    const SettingsSave decision = DecideSettingsSave(loadedSettings_, settings_);
    if (decision == SettingsSave::kKeepFile) return;
    if (decision == SettingsSave::kAskFirst) {
        QMessageBox ask(QMessageBox::Question, QStringLiteral("Settings"),
                        QStringLiteral("ConfigFile.ini could not be read when Corvane started. Replace it "
                                       "with the settings of this session?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setObjectName(QStringLiteral("replaceSettings"));
        ask.setDefaultButton(QMessageBox::No);
        if (ask.exec() != QMessageBox::Yes) return;
    }
    std::string error;
    if (SaveSettingsFile(settings_, kConfigFileName, &error)) {
        loadedSettings_.state = SettingsFileState::kRead;  // saved: ours to write from now on
    } else {
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QStringLiteral("The settings could not be saved (") +
                                 QString::fromLocal8Bit(error.c_str()) +
                                 QStringLiteral("). The previous ConfigFile.ini is unchanged."));
    }
}

}  // namespace corvane::ui
