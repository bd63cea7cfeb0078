#pragma once
// The panels of the main window, each a small widget that builds its controls and shows or
// reads its values; the main window composes them and wires them together. Controls are public
// members named after what the user sees, so tests can reach them. GUI thread only.
#include <QGroupBox>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "core/Settings.h"
#include "passes/Adjustments.h"
#include "passes/DisplayPanel.h"
#include "passes/ObjectList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace corvane::ui {

class JoystickAdjuster;

// Texts of files are Latin-1; the window shows Unicode.
QString FromFile(const std::string& s);
std::string ToFile(const QString& s);
QPushButton* SmallButton(const QString& text);

// The position panel: the sixteen read-only fields, the direction line and the Sun line.
class PositionPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PositionPanel(QWidget* parent = nullptr);
    void Show(const DisplayTexts& texts, bool nightVision);

    QMap<QString, QLineEdit*> panelFields;  // caption -> value box ("Satellite Name:", ...)
    QLabel* directionLine = nullptr;
    QLabel* sunIcon = nullptr;
    QLabel* sunLine = nullptr;
};

// The object list with its filters.
class ObjectListPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ObjectListPanel(QWidget* parent = nullptr);
    ObjectFilters Filters() const;
    void ShowFilters(const ObjectFilters& filters);
    void ApplySettings(const Settings& settings);
    void CopyToSettings(Settings& settings) const;
    // Fills the list with the result of a build ("&Refresh List").
    void ShowEntries(const ObjectListResult& result);
    // The whole entry text of a row (hidden "~~<index>" included), or the typed text for -1.
    std::string EntryText(int row) const;

    QComboBox* objectList = nullptr;
    QLabel* listStatus = nullptr;
    QPushButton* refreshListButton = nullptr;
    QPushButton* resetFiltersButton = nullptr;
    QRadioButton* visAll = nullptr;
    QRadioButton* visAboveHorizon = nullptr;
    QCheckBox* elevationFilter = nullptr;
    QSpinBox* elevationLimit = nullptr;
    QCheckBox* ascendingOnly = nullptr;
    QCheckBox* sunOnly = nullptr;
    QCheckBox* favorites = nullptr;
    QCheckBox* neverObserved = nullptr;
    QCheckBox* geostationaryOnly = nullptr;
    QComboBox* directionFilter = nullptr;
    QComboBox* altitudeFilter = nullptr;
    QCheckBox* listByNorad = nullptr;
};

// The element file box and the buttons of the selected object.
class ElementsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ElementsPanel(QWidget* parent = nullptr);
    // The buttons that need a selected object.
    void ShowObjectButtons(bool objectSelected);

    QPushButton* openTleButton = nullptr;
    QPushButton* downloadTleButton = nullptr;
    QLineEdit* elementFileName = nullptr;
    QLabel* elementFileStatus = nullptr;
    QPushButton* predictPassButton = nullptr;
    QPushButton* batchPredictButton = nullptr;
    QPushButton* viewPlanButton = nullptr;
    QPushButton* infoButton = nullptr;
    QPushButton* tleDataButton = nullptr;
    QPushButton* skyMapButton = nullptr;
    QPushButton* worldMapButton = nullptr;
    QPushButton* observationLogButton = nullptr;
};

// The three observing sites and the five fields of the current one.
class SitePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SitePanel(QWidget* parent = nullptr);
    void ShowSite(const SiteRecord& site);
    SiteRecord SiteOnScreen() const;
    void ShowCurrent(int site);

    QPushButton* siteButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // 1..3
    QLineEdit* siteName = nullptr;
    QLineEdit* siteLatitude = nullptr;
    QLineEdit* siteLongitude = nullptr;
    QLineEdit* siteAltitude = nullptr;
    QLineEdit* siteUtcOffset = nullptr;
};

// The Timing Offset and Alignment Adjustment boxes with their buttons, the joystick, the mouse
// adjustment and the timing-offset sweep, which all change the two boxes.
class AdjustmentPanel : public QGroupBox, public AdjustmentTarget {
    Q_OBJECT
public:
    // `settings` gives the increments and the joystick buttons; it outlives the panel.
    explicit AdjustmentPanel(Settings& settings, QWidget* parent = nullptr);
    ~AdjustmentPanel() override;
    std::string TimingOffsetText() const override;
    std::string AlignmentText() const override;
    // Writing a box publishes the values (textChanged).
    void SetTimingOffsetText(const std::string& text) override;
    void SetAlignmentText(const std::string& text) override;
    void ToggleJoystick(bool on);
    void StopJoystick();
    void OpenMouseAdjust();
    void OpenFindTiming();
    // The joystick's tracking button.
    std::function<void()> startStopTracking;

    QLineEdit* timingOffset = nullptr;
    QPushButton* timingButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // -coarse, -fine, +fine, +coarse
    QLineEdit* alignmentAdjust = nullptr;
    QPushButton* alignmentMinus = nullptr;
    QPushButton* alignmentPlus = nullptr;
    QCheckBox* joystickAdjust = nullptr;
    QPushButton* mouseAdjustButton = nullptr;
    QPushButton* findTimingButton = nullptr;

private:
    Settings& settings_;
    std::unique_ptr<JoystickAdjuster> joystick_;
};

// The View Plan list of the main window and the ISS Monitor button.
class ViewPlanPanel : public QWidget {
    Q_OBJECT
public:
    explicit ViewPlanPanel(QWidget* parent = nullptr);

    QListWidget* viewPlanList = nullptr;
    QPushButton* viewPlanSelect = nullptr;
    QPushButton* issMonitorButton = nullptr;
};

}  // namespace corvane::ui
