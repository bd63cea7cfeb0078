#pragma once
// "Observation Reports " window: a date range and optional criteria over the whole observation
// log, two sort keys, and "Execute Report", which writes the tab-delimited report and may open it
// in the desktop's viewer. The log is only read. Modeless. GUI thread only.
#include <QDialog>
#include <functional>
#include <string>

#include "core/Settings.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace corvane::ui {

struct ObsReportContext {
    Settings* settings = nullptr;  // ViewObsReport
    std::string logPath = kObslogFileName;
    std::function<double()> nowLocal;  // the program clock, as a local Julian date
    // Save-file dialog (title, proposed name, filter, default suffix); empty when cancelled.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&, const QString&)>
        saveFileName;
    // Opens a file in the desktop's viewer; false when none could be started.
    std::function<bool(const QString&)> openInViewer;
};

class ObsReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ObsReportWindow(ObsReportContext context, QWidget* parent = nullptr);

    // The criteria the controls describe.
    ObsReportCriteria Criteria() const;
    void ExecuteReport();
    void SetFromDate(long yyyymmdd);
    void SetToDate(long yyyymmdd);
    // The report file last written ("" before).
    const QString& lastReport() const { return lastReport_; }

    QComboBox* primaryBox = nullptr;
    QComboBox* secondaryBox = nullptr;
    QComboBox* fromBoxes[3] = {};  // year, month, day
    QComboBox* toBoxes[3] = {};
    QPushButton* fromTodayButton = nullptr;
    QPushButton* toTodayButton = nullptr;
    QPushButton* allDatesButton = nullptr;
    QCheckBox* satelliteCheck = nullptr;
    QComboBox* satelliteBox = nullptr;
    QCheckBox* siteCheck = nullptr;
    QComboBox* siteBox = nullptr;
    QCheckBox* telescopeCheck = nullptr;
    QComboBox* telescopeBox = nullptr;
    QCheckBox* elevationCheck = nullptr;
    QComboBox* elevationCompare = nullptr;
    QSpinBox* elevationValue = nullptr;
    QCheckBox* rangeCheck = nullptr;
    QComboBox* rangeCompare = nullptr;
    QSpinBox* rangeValue = nullptr;
    QCheckBox* viewReportCheck = nullptr;
    QPushButton* executeButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    long Today() const;
    ObsReportContext context_;
    QString lastReport_;
};

}  // namespace corvane::ui
