#pragma once
// The "View Plan Map " window: the globe centred on the site with a marker for every planned
// pass still to come, the details of a clicked marker, and Select / Remove for its object.
// GUI thread only.
#include <QDialog>
#include <array>
#include <functional>
#include <vector>

#include "maps/PlanMap.h"
#include "maps/WorldMap.h"
#include "orbit/PropagationSlot.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvane::ui {

class MapCanvas;
struct PlanContext;

class ViewPlanMapWindow : public QDialog {
    Q_OBJECT
public:
    ViewPlanMapWindow(PlanContext& context, const maps::WorldMapTable& table,
                      std::function<bool()> nightVision, QWidget* parent = nullptr);

    // The markers for now, and a repaint.
    void Redraw();
    QImage Render() const;
    // Mouse actions in picture pixels.
    void ClickAt(QPointF at);
    void DoubleClickAt(QPointF at);
    void SelectClicked();
    void RemoveClicked();
    const std::vector<maps::PlanMarker>& markers() const { return markers_; }
    int clickedObject() const { return clickedObject_; }

    // Opens "Viewing Plan" (set by the owner).
    std::function<void()> openTextViewPlan;

    MapCanvas* canvas = nullptr;
    QLabel* prompt = nullptr;
    QPushButton* selectButton = nullptr;
    QPushButton* removeButton = nullptr;
    QCheckBox* removeAfterSelected = nullptr;
    QPushButton* textPlanButton = nullptr;
    QPushButton* closeButton = nullptr;
    std::array<QLabel*, 9> details{};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Paint(QPainter& painter);
    void ShowDetails(const std::array<std::string, 9>& lines);
    void RemoveObjectEntries(const std::string& norad);
    void Select(int object, const std::string& norad);

    PlanContext& context_;
    const maps::WorldMapTable& table_;
    std::function<bool()> nightVision_;
    PropagationSlot slot_{kSlotViewPlanMap};
    std::vector<maps::PlanMarker> markers_;
    int clickedObject_ = 0;
    std::string clickedNorad_;
};

}  // namespace corvane::ui
