#pragma once
// "Corvane Preferences": tracking, adjustment and prediction parameters. "Save" stores into the
// settings (in memory; the file is written at exit), "Cancel" changes nothing, "Reset to
// Defaults" only changes the controls.
#include <QDialog>

#include "core/Preferences.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace corvane::ui {

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(Settings& settings, QWidget* parent = nullptr);

    void ShowForm(const PreferencesForm& form);
    PreferencesForm ReadForm() const;

    QSpinBox* trackingFactor = nullptr;
    QComboBox* coarse = nullptr;
    QComboBox* fine = nullptr;
    QComboBox* alignment = nullptr;
    QCheckBox* resetAlignment = nullptr;
    QCheckBox* trackingLimitEnable = nullptr;
    QSpinBox* trackingLimit = nullptr;
    QRadioButton* limitElevation = nullptr;
    QRadioButton* limitDeclination = nullptr;
    QCheckBox* ignoreEclipse = nullptr;
    QCheckBox* calcVPWhenTracking = nullptr;
    QSpinBox* aosElevation = nullptr;
    QPushButton* resetButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    Settings& settings_;
};

}  // namespace corvane::ui
