#include "ui/maps/WorldMapWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "ui/maps/MapCanvas.h"
#include "ui/maps/MapPainting.h"

namespace corvane::ui {

namespace {
const QSize kFlatSize(640, 334);
const QSize kGlobeSize(490, 410);
}  // namespace

WorldMapWindow::WorldMapWindow(const maps::WorldMapTable& table, CatalogueStore& catalogue, LiveState& live,
                               Clock& clock, Settings& settings, std::function<bool()> nightVision,
                               QWidget* parent)
    : QDialog(parent),
      table_(table),
      catalogue_(catalogue),
      live_(live),
      clock_(clock),
      settings_(settings),
      nightVision_(std::move(nightVision)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    auto* outer = new QVBoxLayout(this);
    titleField = new QLabel;
    titleField->setObjectName(QStringLiteral("titleField"));
    titleField->setAlignment(Qt::AlignCenter);
    outer->addWidget(titleField);
    canvas = new MapCanvas(kFlatSize);
    canvas->paint = [this](QPainter& p) { Paint(p); };
    outer->addWidget(canvas, 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    projectionButton = new QPushButton;
    zoomButton = new QPushButton;
    closeButton = new QPushButton(QStringLiteral("Close"));
    for (QPushButton* b : {projectionButton, zoomButton, closeButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(projectionButton, &QPushButton::clicked, this, [this] {
        settings_.WorldMap = settings_.WorldMap == 1 ? 0 : 1;
        Redraw();
    });
    connect(zoomButton, &QPushButton::clicked, this, [this] {
        settings_.ZoomMap = settings_.ZoomMap == 1 ? 0 : 1;
        Redraw();
    });
    connect(&redrawTimer, &QTimer::timeout, this, [this] { Redraw(); });
    redrawTimer.start(10000);
    Redraw();
}

void WorldMapWindow::ShowButtons() {
    const bool flat = settings_.WorldMap == 1;
    projectionButton->setText(flat ? QStringLiteral("Orthographic Map") : QStringLiteral("World Map"));
    zoomButton->setText(settings_.ZoomMap == 1 ? QStringLiteral("Zoom Out") : QStringLiteral("Zoom In"));
    zoomButton->setEnabled(flat);
    canvas->SetPictureSize(flat ? kFlatSize : kGlobeSize);
}

void WorldMapWindow::Redraw() {
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const auto catalogue = catalogue_.Get();
    const double local = clock_.JulianDateNow();
    const double now = local - site.utcOffset / 24.0;
    const bool flat = settings_.WorldMap == 1;
    hasObject = catalogue->Entry(v.selectedObject) != nullptr;
    ahead_.clear();
    behind_.clear();
    position = {};
    QString title;
    if (hasObject) {
        const int points = flat ? 800 : 300;
        ahead_ = maps::GroundTrack(*catalogue, v.selectedObject, slot_, now, 60.0, points);
        behind_ = maps::GroundTrack(*catalogue, v.selectedObject, slot_, now, -60.0, points);
        position = ahead_.front();
        quarter = position.ok ? maps::ZoomQuarter(position.latitude, position.longitude) : 1;
        const ElementSet& el = slot_.Elements();
        title = QString::fromLatin1((Trim(el.name) + "  NORAD: " + CatalogueNumberText(el.catalogueNumber) +
                                     "   " + CalendarDateText(local) + " " + TimeOfDayText(local, true, 0))
                                        .c_str());
        setWindowTitle(QStringLiteral("World Map ") + QString::fromLatin1(Trim(el.name).c_str()));
    } else {
        setWindowTitle(QStringLiteral("World Map "));
    }
    titleField->setText(title);
    ShowButtons();
    canvas->update();
}

QImage WorldMapWindow::Render() const { return canvas->Render(); }

void WorldMapWindow::Paint(QPainter& painter) {
    const bool night = nightVision_ && nightVision_();
    const MapColours c = MapColours::For(night);
    const bool flat = settings_.WorldMap == 1;
    maps::OrthographicView view;
    maps::Projector projector;
    double maxJump = 1e9;
    if (flat) {
        const bool zoomed = settings_.ZoomMap == 1;
        projector = {zoomed ? maps::Projection::kFlatZoomed : maps::Projection::kFlat, quarter, nullptr};
        maxJump = 400.0;
        painter.fillRect(QRect(13, 13, 613, 307), c.flatBackground);
        maps::DrawSteps steps;
        maps::FlatGraticule(projector, steps);
        PaintSteps(painter, steps, c.graticule, c.graticule);
        steps.clear();
        maps::OutlineSteps(table_, projector, steps);
        PaintSteps(painter, steps, c.outline, c.waterFlat);
    } else {
        PaintGlobe(painter, table_, position.ok ? position.latitude : 0.0,
                   position.ok ? position.longitude : 0.0, night, view);
        projector = {maps::Projection::kOrthographic, 1, &view};
    }
    if (flat) {
        // The observer's site, so that the track can be read against it.
        const LiveValues v = live_.Snapshot();
        const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
        const maps::MapPoint home = projector(site.latitude, site.longitude);
        if (home.visible) PaintSiteMarker(painter, QPointF(home.x, home.y), c.site);
    }
    if (!hasObject || !position.ok) return;
    for (const auto* track : {&ahead_, &behind_}) {
        for (const maps::TrackSegment& s : maps::TrackSegments(*track, projector, maxJump)) {
            // The flat map's track runs over a dozen orbits: one pixel wide, so the coast shows.
            QPen pen = c.TrackPen(s.sunlit);
            if (flat) pen.setWidth(1);
            painter.setPen(pen);
            painter.drawLine(QPointF(s.from.x, s.from.y), QPointF(s.to.x, s.to.y));
        }
    }
    const maps::MapPoint here = projector(position.latitude, position.longitude);
    if (here.visible) PaintCrossMarker(painter, QPointF(here.x, here.y), c.marker, c.markerWidth);
    const auto circle =
        maps::FootprintCircle(position.latitude, position.longitude, position.height, flat ? 361 : 181);
    painter.setPen(c.FootprintPen());
    for (const maps::TrackSegment& s : maps::CircleSegments(circle, projector, flat ? 300.0 : 1e9))
        painter.drawLine(QPointF(s.from.x, s.from.y), QPointF(s.to.x, s.to.y));
}

}  // namespace corvane::ui
