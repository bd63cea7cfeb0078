#include "ui/maps/SkyViewWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/maps/MapCanvas.h"
#include "ui/maps/MapPainting.h"

namespace corvane::ui {

SkyViewWindow::SkyViewWindow(const maps::SkyTables& tables, CatalogueStore& catalogue, LiveState& live,
                             Clock& clock, Settings& settings, std::function<bool()> nightVision,
                             double fixedUtc, QWidget* parent)
    : QDialog(parent),
      tables_(tables),
      catalogue_(catalogue),
      live_(live),
      clock_(clock),
      nightVision_(std::move(nightVision)),
      fixedUtc_(fixedUtc) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Sky View "));
    auto* outer = new QVBoxLayout(this);
    canvas = new MapCanvas(QSize(480, 410));
    canvas->paint = [this](QPainter& p) { PaintSkyChart(p, chart_, nightVision_ && nightVision_()); };
    outer->addWidget(canvas);
    auto* row = new QHBoxLayout;
    drawConstellations = new QCheckBox(QStringLiteral("Draw Constellations"));
    drawConstellations->setChecked(settings.DrawConLines != 0);
    closeButton = new QPushButton(QStringLiteral("Close"));
    closeButton->setAutoDefault(false);
    row->addWidget(drawConstellations);
    row->addStretch();
    row->addWidget(closeButton);
    outer->addLayout(row);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(drawConstellations, &QCheckBox::toggled, this, [this, &settings](bool on) {
        settings.DrawConLines = on ? 1 : 0;
        DrawSkyChart();
    });
    connect(&redrawTimer, &QTimer::timeout, this, [this] { DrawSkyChart(); });
    redrawTimer.start(10000);
    DrawSkyChart();
}

void SkyViewWindow::DrawSkyChart() {
    const LiveValues v = live_.Snapshot();
    maps::SkyChartRequest r;
    r.site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    r.jdUtc = fixedUtc_ != 0.0 ? fixedUtc_ : clock_.JulianDateNow() - r.site.utcOffset / 24.0;
    r.constellations = drawConstellations->isChecked();
    r.object = v.selectedObject;
    chart_ = maps::BuildSkyChart(tables_, *catalogue_.Get(), slot_, r);
    canvas->update();
}

QImage SkyViewWindow::Render() const { return canvas->Render(); }

}  // namespace corvane::ui
