#pragma once
// The "Adjust/Reset LX200 Date and Time" dialog: runs the whole program on a shifted clock (the
// clock correction) without touching the computer's clock, and, for the LX200 interface with
// "LX200" ticked, copies the program clock into the mount (SetMountDateTime, on the telescope
// session's thread). The only writer of the clock correction. GUI thread only.
#include <QDialog>

#include "core/Clock.h"
#include "core/Settings.h"
#include "scope/ScopeSession.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace corvane::ui {

class DateTimeDialog : public QDialog {
    Q_OBJECT
public:
    DateTimeDialog(Clock& clock, Settings& settings, ScopeSession& session, QWidget* parent = nullptr);

    // The two buttons: each sets the correction, hands the mount its date and time, and closes.
    void Adjust();
    void ResetToSystem();

    QComboBox* dateList = nullptr;
    QComboBox* hours = nullptr;
    QComboBox* minutes = nullptr;
    QCheckBox* lx200 = nullptr;
    QPushButton* adjustButton = nullptr;
    QPushButton* resetButton = nullptr;
    QLabel* note = nullptr;

private:
    // LX200TIMEADJUST from the check box, then the mount's date and time when it is set.
    void SetMountDateTimeFromDialog();

    Clock& clock_;
    Settings& settings_;
    ScopeSession& session_;
};

}  // namespace corvane::ui
