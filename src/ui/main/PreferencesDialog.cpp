#include "ui/main/PreferencesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/Text.h"
#include "ui/common/InlineField.h"

namespace corvane::ui {

namespace {
// A spin box whose text may hold anything the user types; the form reads the text with the
// program's numeric rule (non-numeric is 0), so typing never blocks or crashes.
QSpinBox* NumberBox(int lo, int hi) {
    auto* box = new QSpinBox;
    box->setRange(lo, hi);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return box;
}

template <size_t N>
QComboBox* List(const std::array<const char*, N>& entries) {
    auto* combo = new QComboBox;
    for (const char* e : entries) combo->addItem(QString::fromLatin1(e));
    return combo;
}

QLabel* Note(const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setWordWrap(true);
    return label;
}
}  // namespace

PreferencesDialog::PreferencesDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Corvane Preferences"));
    setModal(true);

    trackingFactor = NumberBox(0, 300);
    coarse = List(kCoarseIncrements);
    fine = List(kFineIncrements);
    alignment = List(kAlignmentIncrements);
    resetAlignment =
        new QCheckBox(QStringLiteral("Reset Alignment Adjustment to zero when selecting a new object."));
    trackingLimitEnable = new QCheckBox(QStringLiteral("Enable Tracking Limit"));
    trackingLimit = NumberBox(0, 90);
    limitElevation = new QRadioButton(QString::fromUtf8("\u00B0 Elevation"));
    limitDeclination = new QRadioButton(QString::fromUtf8("\u00B0 Declination"));
    ignoreEclipse = new QCheckBox(QStringLiteral("Ignore eclipsed state in pass predictions"));
    calcVPWhenTracking = new QCheckBox(QStringLiteral("Disable Auto-Refresh of View Plan when Tracking"));
    aosElevation = NumberBox(0, 90);
    resetButton = new QPushButton(QStringLiteral("Reset to Defaults"));
    saveButton = new QPushButton(QStringLiteral("Save"));
    cancelButton = new QPushButton(QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);

    auto* tracking = new QGroupBox;
    auto* tl = new QGridLayout(tracking);
    tl->addWidget(new QLabel(QStringLiteral("Tracking Factor")), 0, 0);
    tl->addWidget(trackingFactor, 0, 1);
    tl->setColumnStretch(2, 1);
    tl->addWidget(Note("The Tracking Factor (0 - 300) optimizes (smoother) continuous tracking for each "
                       "computer/telescope combination."),
                  1, 0, 1, 3);
    layout->addWidget(tracking);

    auto* incr = new QGroupBox;
    auto* il = new QGridLayout(incr);
    il->addWidget(
        new InlineField(QStringLiteral("Timing Offset Increments:   Coarse                  second(s)"),
                        coarse),
        0, 0, Qt::AlignLeft);
    auto* fineRow = new InlineField(QStringLiteral("Fine                  second(s)"), fine);
    il->addWidget(fineRow, 1, 0, Qt::AlignRight);
    il->addWidget(
        new InlineField(QStringLiteral("Alignment Adjustment Increments:                   step(s)"),
                        alignment),
        2, 0, Qt::AlignLeft);
    il->addWidget(resetAlignment, 3, 0);
    layout->addWidget(incr);

    auto* limit = new QGroupBox;
    auto* ll = new QGridLayout(limit);
    ll->addWidget(trackingLimitEnable, 0, 0, 1, 3);
    ll->addWidget(new InlineField(QStringLiteral("Tracking Limit                 "), trackingLimit), 1, 0, 1,
                  2);
    auto* radios = new QVBoxLayout;
    radios->addWidget(limitElevation);
    radios->addWidget(limitDeclination);
    ll->addLayout(radios, 1, 2);
    ll->addWidget(
        Note("The Tracking Limit will prevent the scope from slewing higher than the specified limit "
             "during satellite tracking"),
        2, 0, 1, 3);
    layout->addWidget(limit);

    auto* plan = new QGroupBox;
    auto* pl = new QVBoxLayout(plan);
    pl->addWidget(ignoreEclipse);
    pl->addWidget(calcVPWhenTracking);
    pl->addWidget(
        Note("The View Plan on the main dialog automatically refreshes every 15 seconds. "
             "The refreshing of a large plan may affect smooth tracking."));
    pl->addWidget(
        new InlineField(QString::fromUtf8("  AOS/LOS at                 \u00B0 Elevation"), aosElevation));
    pl->addWidget(Note("For satellite pass predictions, sets the elevation for AOS/LOS. "));
    layout->addWidget(plan);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(resetButton);
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    ShowForm(FillPreferences(settings_));

    connect(resetButton, &QPushButton::clicked, this, [this] { ShowForm(DefaultPreferencesForm()); });
    connect(saveButton, &QPushButton::clicked, this, [this] {
        SavePreferences(ReadForm(), settings_);
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    saveButton->setAutoDefault(false);
    cancelButton->setDefault(true);
    cancelButton->setFocus();
}

void PreferencesDialog::ShowForm(const PreferencesForm& f) {
    trackingFactor->setValue(LeadingInt(f.trackingFactor));
    coarse->setCurrentIndex(f.coarseIndex);
    fine->setCurrentIndex(f.fineIndex);
    alignment->setCurrentIndex(f.alignmentIndex);
    resetAlignment->setChecked(f.resetAlignment);
    trackingLimitEnable->setChecked(f.trackingLimitEnable);
    trackingLimit->setValue(LeadingInt(f.trackingLimit));
    limitElevation->setChecked(f.limitElevation);
    limitDeclination->setChecked(!f.limitElevation);
    ignoreEclipse->setChecked(f.ignoreEclipse);
    calcVPWhenTracking->setChecked(f.calcVPWhenTracking);
    aosElevation->setValue(LeadingInt(f.aosElevation));
}

PreferencesForm PreferencesDialog::ReadForm() const {
    PreferencesForm f;
    f.trackingFactor = trackingFactor->text().toStdString();
    f.coarseIndex = coarse->currentIndex();
    f.fineIndex = fine->currentIndex();
    f.alignmentIndex = alignment->currentIndex();
    f.resetAlignment = resetAlignment->isChecked();
    f.trackingLimitEnable = trackingLimitEnable->isChecked();
    f.trackingLimit = trackingLimit->text().toStdString();
    f.limitElevation = limitElevation->isChecked();
    f.ignoreEclipse = ignoreEclipse->isChecked();
    f.calcVPWhenTracking = calcVPWhenTracking->isChecked();
    f.aosElevation = aosElevation->text().toStdString();
    return f;
}

}  // namespace corvane::ui
