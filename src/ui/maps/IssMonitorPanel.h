#pragma once
// The ISS monitor panel on the right of the main window: the station's position, its next
// night pass with countdowns, a small globe, and "Alert when visible". The panel owns the
// monitor's worker; GuiIssPort carries the worker's reports to the panel on the GUI thread.
// GUI thread only (the port: any thread).
#include <QFrame>
#include <QImage>
#include <QMap>
#include <functional>
#include <memory>

#include "maps/WorldMap.h"
#include "passes/IssMonitor.h"

class QCheckBox;
class QLineEdit;

namespace corvane::ui {

class GuiIssPort;
class MapCanvas;

class IssMonitorPanel : public QFrame {
    Q_OBJECT
public:
    IssMonitorPanel(const maps::WorldMapTable& table, std::function<bool()> nightVision, Clock& clock,
                    LiveState& live, CatalogueStore& catalogue, QWidget* parent = nullptr);
    ~IssMonitorPanel() override;

    // The worker: started and stopped by the main window.
    IssMonitor& Monitor() { return *monitor_; }
    // The station became visible with "Alert when visible" ticked: the check box is cleared and
    // `confirmAlert` asks whether to track it; on Yes `trackStation` runs.
    void AnswerAlert();
    std::function<bool()> confirmAlert;  // true for Yes (tests replace it)
    std::function<void()> trackStation;

    // A report of the worker.
    void Show(const IssPanelTexts& texts);
    // The globe drawn again at the last search's centre (night vision changed).
    void RedrawGlobe();
    // The globe picture as shown.
    QImage RenderGlobe() const;
    const IssPanelTexts& last() const { return last_; }

    QMap<QString, QLineEdit*> fields;  // by caption: the eight position and four pass fields
    QCheckBox* alertWhenVisible = nullptr;
    MapCanvas* globe = nullptr;

private:
    void PaintGlobe(QPainter& painter);

    const maps::WorldMapTable& table_;
    std::function<bool()> nightVision_;
    IssPanelTexts last_;
    QImage picture_;  // the globe at the last search, full size (490 x 410)
    double pictureLatitude_ = 0.0, pictureLongitude_ = 0.0;
    std::unique_ptr<GuiIssPort> port_;
    std::unique_ptr<IssMonitor> monitor_;  // stopped before the port and the panel go
};

// The worker's port: posts each report to the panel, and the alert to `askAlert`.
class GuiIssPort : public IssMonitorPort {
public:
    GuiIssPort(IssMonitorPanel* panel, std::function<void()> askAlert)
        : panel_(panel), askAlert_(std::move(askAlert)) {}
    void ShowIss(const IssPanelTexts& texts) override;
    void AskIssAlert() override;

private:
    IssMonitorPanel* panel_;
    std::function<void()> askAlert_;
};

}  // namespace corvane::ui
