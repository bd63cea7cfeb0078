#pragma once
// "Telescope Interface": chooses the protocol the tracking and control code speaks and, for the
// LX200GPS and the NexStar GPS, the mount type, and for INDI the server and device. "OK" stores the checked
// interface; "Cancel" keeps the old one. The caller applies the interface when the dialog closes either way.
#include <QDialog>
#include <QList>

#include "core/Settings.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class QPushButton;
class QRadioButton;
class QTextEdit;

namespace corvane::ui {

class InterfaceDialog : public QDialog {
    Q_OBJECT
public:
    InterfaceDialog(Settings& settings, QWidget* parent = nullptr);

    // The code of the checked radio button; empty when none is checked (GEMINI has no button).
    QString CheckedCode() const;
    // Reads the mount buttons into LGPSMount / NGPSMount (the apply step calls it).
    void ReadMountButtons(Settings& settings) const;

    QList<QRadioButton*> interfaceButtons;  // in table order, without GEMINI
    QTextEdit* note = nullptr;
    QGroupBox* mountBox = nullptr;
    QRadioButton* lgpsAltAz = nullptr;
    QRadioButton* lgpsPolar = nullptr;
    QRadioButton* ngpsAltAz = nullptr;
    QRadioButton* ngpsEqN = nullptr;
    QRadioButton* ngpsEqS = nullptr;
    // The INDI interface's server, shown while "INDI Server" is checked; "OK" stores them.
    QGroupBox* indiBox = nullptr;
    QLineEdit* indiHost = nullptr;
    QSpinBox* indiPort = nullptr;
    QLineEdit* indiDevice = nullptr;
    // PredictiveTracking: the predictive engines instead of the standard ones; "OK" stores it.
    QCheckBox* predictive = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void ShowInterface(const QString& code);
    Settings& settings_;
    QButtonGroup* group_ = nullptr;
};

}  // namespace corvane::ui
