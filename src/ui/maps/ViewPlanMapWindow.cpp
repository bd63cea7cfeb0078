#include "ui/maps/ViewPlanMapWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "astro/MathUtil.h"
#include "core/Text.h"
#include "ui/maps/MapCanvas.h"
#include "ui/maps/MapPainting.h"
#include "ui/passes/PlanContext.h"

namespace corvane::ui {

ViewPlanMapWindow::ViewPlanMapWindow(PlanContext& context, const maps::WorldMapTable& table,
                                     std::function<bool()> nightVision, QWidget* parent)
    : QDialog(parent), context_(context), table_(table), nightVision_(std::move(nightVision)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("View Plan Map "));
    context_.settings.ShowViewPlanMap = 1;
    PurgeViewPlan(context_.plan, context_.NowLocal());

    auto* outer = new QHBoxLayout(this);
    canvas = new MapCanvas(QSize(490, 410));
    canvas->paint = [this](QPainter& p) { Paint(p); };
    canvas->clicked = [this](QPointF at) { ClickAt(at); };
    canvas->doubleClicked = [this](QPointF at) { DoubleClickAt(at); };
    outer->addWidget(canvas);
    auto* side = new QVBoxLayout;
    prompt = new QLabel(QStringLiteral(
        "Click on an object to display details and refresh position or double-click to select."));
    prompt->setWordWrap(true);
    prompt->setMaximumWidth(230);
    side->addWidget(prompt);
    for (auto& line : details) {
        line = new QLabel;
        side->addWidget(line);
    }
    selectButton = new QPushButton(QStringLiteral("Select Object"));
    removeButton = new QPushButton(QStringLiteral("Remove Object"));
    removeAfterSelected = new QCheckBox(QStringLiteral("Remove after Selected"));
    removeAfterSelected->setChecked(context_.settings.RemoveAfterSelect != 0);
    textPlanButton = new QPushButton(QStringLiteral("Text Viewing Plan"));
    closeButton = new QPushButton(QStringLiteral("Close"));
    side->addStretch();
    for (QWidget* w : std::initializer_list<QWidget*>{selectButton, removeButton, removeAfterSelected,
                                                      textPlanButton, closeButton})
        side->addWidget(w);
    for (QPushButton* b : {selectButton, removeButton, textPlanButton, closeButton}) b->setAutoDefault(false);
    outer->addLayout(side);
    selectButton->setEnabled(false);
    removeButton->setEnabled(false);

    connect(selectButton, &QPushButton::clicked, this, [this] { SelectClicked(); });
    connect(removeButton, &QPushButton::clicked, this, [this] { RemoveClicked(); });
    connect(removeAfterSelected, &QCheckBox::toggled, this,
            [this](bool on) { context_.settings.RemoveAfterSelect = on ? 1 : 0; });
    connect(textPlanButton, &QPushButton::clicked, this, [this] {
        auto open = openTextViewPlan;
        close();
        if (open) open();
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    Redraw();
}

void ViewPlanMapWindow::Redraw() {
    const Site site = context_.CurrentSite();
    const double nowUtc = context_.NowLocal() - site.utcOffset / 24.0;
    maps::OrthographicView view;
    view.SetOrthographicView(site.latitude, site.longitude, maps::OrthographicView::kFarHeight);
    markers_ = maps::BuildPlanMarkers(context_.plan, *context_.catalogue.Get(), slot_, site, nowUtc, view);
    canvas->update();
}

QImage ViewPlanMapWindow::Render() const { return canvas->Render(); }

void ViewPlanMapWindow::Paint(QPainter& painter) {
    const bool night = nightVision_ && nightVision_();
    const Site site = context_.CurrentSite();
    maps::OrthographicView view;
    PaintGlobe(painter, table_, site.latitude, site.longitude, night, view);
    const MapColours c = MapColours::For(night);
    // The site, then one marker per planned object.
    const maps::MapPoint home = view.OrthographicPoint(Radians(site.latitude), Radians(site.longitude));
    PaintSiteMarker(painter, QPointF(home.x, home.y), c.site);
    for (const maps::PlanMarker& m : markers_) {
        const QPointF at(m.x, m.y);
        // Sunlit objects wide, eclipsed ones thin; the clicked one ringed as well.
        PaintCrossMarker(painter, at, m.sunlit ? c.marker : c.trackShadow, m.sunlit ? c.markerWidth : 1);
        if (m.object == clickedObject_) {
            painter.setPen(QPen(c.track, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, 8, 8);
        }
    }
}

void ViewPlanMapWindow::ShowDetails(const std::array<std::string, 9>& lines) {
    for (size_t i = 0; i < details.size(); ++i) details[i]->setText(Latin1(lines[i]));
}

void ViewPlanMapWindow::ClickAt(QPointF at) {
    const int i = maps::NearestMarker(markers_, at.x(), at.y());
    if (i < 0) return;
    clickedObject_ = markers_[static_cast<size_t>(i)].object;
    clickedNorad_ = markers_[static_cast<size_t>(i)].norad;
    Redraw();
    // The details of the refreshed picture.
    for (const maps::PlanMarker& m : markers_)
        if (m.object == clickedObject_) ShowDetails(m.details);
    selectButton->setEnabled(true);
    removeButton->setEnabled(true);
}

void ViewPlanMapWindow::DoubleClickAt(QPointF at) {
    const int i = maps::NearestMarker(markers_, at.x(), at.y());
    if (i < 0) return;
    Select(markers_[static_cast<size_t>(i)].object, markers_[static_cast<size_t>(i)].norad);
}

void ViewPlanMapWindow::SelectClicked() {
    if (clickedObject_ != 0) Select(clickedObject_, clickedNorad_);
}

void ViewPlanMapWindow::RemoveObjectEntries(const std::string& norad) {
    const std::string wanted = Trim(norad);
    for (ViewPlanEntry& e : context_.plan.entries)
        if (Trim(e.Norad()) == wanted) e.MarkRemoved();
    PurgeViewPlan(context_.plan, context_.NowLocal());
    if (context_.refreshMainPlan) context_.refreshMainPlan();
}

void ViewPlanMapWindow::Select(int object, const std::string& norad) {
    // Selecting stops tracking (the main window's selection does).
    if (context_.selectObject) context_.selectObject(object);
    if (removeAfterSelected->isChecked()) RemoveObjectEntries(norad);
    close();
}

void ViewPlanMapWindow::RemoveClicked() {
    if (clickedObject_ == 0) return;
    RemoveObjectEntries(clickedNorad_);
    clickedObject_ = 0;
    clickedNorad_.clear();
    ShowDetails({});
    selectButton->setEnabled(false);
    removeButton->setEnabled(false);
    Redraw();
}

void ViewPlanMapWindow::closeEvent(QCloseEvent* event) {
    SaveViewPlanOrWarn(context_, this);
    if (context_.refreshMainPlan) context_.refreshMainPlan();
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
