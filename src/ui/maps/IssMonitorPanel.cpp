#include "ui/maps/IssMonitorPanel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "astro/MathUtil.h"
#include "ui/common/GuiPost.h"
#include "ui/common/Widgets.h"
#include "ui/maps/MapCanvas.h"
#include "ui/maps/MapPainting.h"

namespace corvane::ui {

namespace {
const std::array<const char*, 4> kPassCaptions = {"AOS:", "LOS:", "Max. Elev.:", "Duration:"};
constexpr double kGlobeScale = 0.4;
}  // namespace

IssMonitorPanel::IssMonitorPanel(const maps::WorldMapTable& table, std::function<bool()> nightVision,
                                 Clock& clock, LiveState& live, CatalogueStore& catalogue, QWidget* parent)
    : QFrame(parent), table_(table), nightVision_(std::move(nightVision)) {
    setFrameShape(QFrame::StyledPanel);
    setObjectName(QStringLiteral("issMonitorPanel"));
    auto* outer = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("ISS Monitor"));
    title->setAlignment(Qt::AlignCenter);
    outer->addWidget(title);
    auto makeGroup = [this, outer](const QString& name, const auto& captions) {
        auto* group = new QGroupBox(name);
        auto* form = new QFormLayout(group);
        form->setContentsMargins(4, 2, 4, 2);
        form->setVerticalSpacing(1);
        for (const char* caption : captions) {
            auto* field = new QLineEdit;
            field->setReadOnly(true);
            field->setFocusPolicy(Qt::NoFocus);
            field->setMinimumWidth(110);
            form->addRow(QString::fromLatin1(caption), field);
            fields.insert(QString::fromLatin1(caption), field);
        }
        outer->addWidget(group);
    };
    makeGroup(QStringLiteral("Current Position"), kIssPositionCaptions);
    makeGroup(QStringLiteral("Next Pass"), kPassCaptions);
    alertWhenVisible = new QCheckBox(QStringLiteral("Alert when visible"));
    outer->addWidget(alertWhenVisible);
    globe = new MapCanvas(QSize(static_cast<int>(490 * kGlobeScale), static_cast<int>(410 * kGlobeScale)));
    globe->paint = [this](QPainter& p) { PaintGlobe(p); };
    outer->addWidget(globe, 0, Qt::AlignHCenter);
    outer->addStretch();

    port_ = std::make_unique<GuiIssPort>(this, [this] { AnswerAlert(); });
    monitor_ = std::make_unique<IssMonitor>(clock, live, catalogue, *port_);
    connect(alertWhenVisible, &QCheckBox::toggled, this, [this](bool on) { monitor_->SetAlert(on); });
    confirmAlert = [this] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("ISS Visible"),
                        QStringLiteral("International Space Station is visible now!\r\n Start Tracking?"),
                        QMessageBox::Yes | QMessageBox::No, window());
        box.setObjectName(QStringLiteral("issVisible"));
        return box.exec() == QMessageBox::Yes;
    };
}

IssMonitorPanel::~IssMonitorPanel() { monitor_->Stop(); }

void IssMonitorPanel::AnswerAlert() {
    // The worker has cleared its flag; the box follows.
    {
        const QSignalBlocker block(alertWhenVisible);
        alertWhenVisible->setChecked(false);
    }
    if (confirmAlert && confirmAlert() && trackStation) trackStation();
}

void IssMonitorPanel::Show(const IssPanelTexts& t) {
    last_ = t;
    for (size_t i = 0; i < kIssPositionCaptions.size(); ++i)
        fields.value(QString::fromLatin1(kIssPositionCaptions[i]))->setText(Latin1(t.position[i]));
    const std::string* pass[4] = {&t.aos, &t.los, &t.maxElevation, &t.duration};
    for (int i = 0; i < 4; ++i)
        fields.value(QString::fromLatin1(kPassCaptions[i]))->setText(Latin1(*pass[i]));
    if (!t.stationKnown) {
        picture_ = QImage();
    } else if ((t.redrawMap || picture_.isNull()) && t.positionKnown) {
        pictureLatitude_ = t.latitude;
        pictureLongitude_ = t.longitude;
        RedrawGlobe();
    }
    globe->update();
}

void IssMonitorPanel::RedrawGlobe() {
    if (!last_.stationKnown) return;
    picture_ = QImage(490, 410, QImage::Format_RGB32);
    picture_.fill(Qt::black);
    QPainter painter(&picture_);
    maps::OrthographicView view;
    corvane::ui::PaintGlobe(painter, table_, pictureLatitude_, pictureLongitude_,
                            nightVision_ && nightVision_(), view);
    globe->update();
}

void IssMonitorPanel::PaintGlobe(QPainter& painter) {
    const QRect area(QPoint(0, 0), globe->size());
    if (picture_.isNull()) {
        // No station: the map area blanked.
        painter.fillRect(area, palette().window());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(area, picture_);
    // The station now, on the globe drawn at the last search.
    if (!last_.positionKnown) return;
    maps::OrthographicView view;
    view.SetOrthographicView(pictureLatitude_, pictureLongitude_, maps::OrthographicView::kFarHeight);
    const maps::MapPoint p = view.OrthographicPoint(Radians(last_.latitude), Radians(last_.longitude));
    if (!p.visible) return;
    const bool night = nightVision_ && nightVision_();
    painter.setPen(
        QPen(night ? QColor(255, 60, 60) : (last_.sunlit ? QColor(255, 255, 0) : QColor(255, 255, 255)), 2));
    const QPointF at(p.x * kGlobeScale, p.y * kGlobeScale);
    painter.drawLine(at + QPointF(-3, -3), at + QPointF(3, 3));
    painter.drawLine(at + QPointF(-3, 3), at + QPointF(3, -3));
}

QImage IssMonitorPanel::RenderGlobe() const { return globe->Render(); }

void GuiIssPort::ShowIss(const IssPanelTexts& texts) {
    IssMonitorPanel* panel = panel_;
    PostToGui(panel, [panel, texts] { panel->Show(texts); });
}

void GuiIssPort::AskIssAlert() {
    auto ask = askAlert_;
    PostToGui(panel_, [ask] {
        if (ask) ask();
    });
}

}  // namespace corvane::ui
