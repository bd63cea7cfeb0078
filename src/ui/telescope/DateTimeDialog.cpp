#include "ui/telescope/DateTimeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "astro/Time.h"
#include "scope/MountClock.h"

namespace corvane::ui {

DateTimeDialog::DateTimeDialog(Clock& clock, Settings& settings, ScopeSession& session, QWidget* parent)
    : QDialog(parent), clock_(clock), settings_(settings), session_(session) {
    setWindowTitle(QStringLiteral("Adjust/Reset LX200 Date and Time"));
    setObjectName(QStringLiteral("dateTimeDialog"));
    auto* outer = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Adjust Time"));
    auto* grid = new QGridLayout(group);
    const double now = clock_.JulianDateNow();
    dateList = new QComboBox;
    for (int day = 0; day <= 10; ++day)
        dateList->addItem(QString::fromLatin1(CalendarDateText(now + day).c_str()));
    dateList->setCurrentIndex(0);
    const CivilInstant at = CivilFromJulianDateMs(now);
    hours = new QComboBox;
    minutes = new QComboBox;
    for (int h = 0; h < 24; ++h) hours->addItem(QStringLiteral("%1").arg(h, 2, 10, QChar('0')));
    for (int m = 0; m < 60; ++m) minutes->addItem(QStringLiteral("%1").arg(m, 2, 10, QChar('0')));
    hours->setCurrentIndex(static_cast<int>(at.millisecondOfDay / 3600000));
    minutes->setCurrentIndex(static_cast<int>(at.millisecondOfDay / 60000 % 60));
    grid->addWidget(new QLabel(QStringLiteral("Date")), 0, 0);
    grid->addWidget(dateList, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time                :")), 1, 0);
    grid->addWidget(hours, 1, 1);
    grid->addWidget(minutes, 1, 2);
    lx200 = new QCheckBox(QStringLiteral("LX200"));
    lx200->setChecked(settings_.LX200TimeAdjust == 1);
    lx200->setEnabled(settings_.ScopeType == "LX200");
    grid->addWidget(lx200, 2, 0);
    outer->addWidget(group);
    adjustButton = new QPushButton(QStringLiteral("Adjust"));
    resetButton = new QPushButton(QStringLiteral("Reset to System"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(adjustButton);
    buttons->addWidget(resetButton);
    outer->addLayout(buttons);
    note = new QLabel(
        QStringLiteral("Temporarily adjust date and/or time without changing the system date and time."));
    note->setWordWrap(true);
    outer->addWidget(note);
    connect(adjustButton, &QPushButton::clicked, this, [this] { Adjust(); });
    connect(resetButton, &QPushButton::clicked, this, [this] { ResetToSystem(); });
}

void DateTimeDialog::Adjust() {
    clock_.SetCorrection(0.0);
    const std::string text = dateList->currentText().toStdString() + "  " +
                             hours->currentText().toStdString() + ":" + minutes->currentText().toStdString();
    if (const auto chosen = ParseDateAndTimeText(text))
        clock_.SetCorrection(*chosen - clock_.JulianDateNow());
    SetMountDateTimeFromDialog();
    accept();
}

void DateTimeDialog::ResetToSystem() {
    clock_.SetCorrection(0.0);
    SetMountDateTimeFromDialog();
    accept();
}

void DateTimeDialog::SetMountDateTimeFromDialog() {
    settings_.LX200TimeAdjust = lx200->isChecked() ? 1 : 0;
    // DEPARTURE: only the LX200 interface is sent the LX200 date and time commands. A ticked box
    // kept from an LX200 evening must not send them to a NexStar or another mount's dialect.
    if (settings_.LX200TimeAdjust == 0 || settings_.ScopeType != "LX200") return;
    if (session_.TrackingOn()) session_.StopTracking();
    session_.Post([](SerialLink& link) { SetMountDateTime(link, true); });
}

}  // namespace corvane::ui
