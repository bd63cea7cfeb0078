#include "ui/telescope/MouseAdjustDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/Settings.h"

namespace corvane::ui {

namespace {
// The window's client area: the confinement area with a margin around it.
constexpr int kWindowWidth = kMouseConfinement.left * 2 + kMouseConfinement.width;
constexpr int kWindowHeight = kMouseConfinement.top + kMouseConfinement.height + 32;

QSlider* SensitivitySlider() {
    auto* s = new QSlider(Qt::Horizontal);
    s->setRange(0, 4);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(1);
    s->setFocusPolicy(Qt::NoFocus);
    return s;
}
}  // namespace

MouseAdjustDialog::MouseAdjustDialog(AdjustmentTarget& target, Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Tracking Adjustments with Mouse"));
    setFixedSize(kWindowWidth, kWindowHeight);
    setFocusPolicy(Qt::StrongFocus);

    helpLine = new QLabel(
        QStringLiteral("Right-Click or [End] key to Start and Stop Move mouse or arrow keys to adjust"));
    helpLine->setWordWrap(true);
    helpLine->setAlignment(Qt::AlignCenter);
    timingCaption = new QLabel(QStringLiteral("[PgDn]  Timing Offset Sensitivity    [PgUp]"));
    timingCaption->setAlignment(Qt::AlignCenter);
    alignmentCaption = new QLabel(QStringLiteral("Alignment Adjustment Sensitivity"));
    alignmentCaption->setAlignment(Qt::AlignCenter);
    timingSlider = SensitivitySlider();
    alignmentSlider = SensitivitySlider();
    resetButton = new QPushButton(QStringLiteral("Reset [Esc]"));
    closeButton = new QPushButton(QStringLiteral("Close"));
    for (QPushButton* b : {resetButton, closeButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMouseConfinement.left, 8, kMouseConfinement.left, 8);
    layout->addWidget(helpLine);
    layout->addStretch(1);
    auto sliderRow = [&](QLabel* caption, QSlider* slider) {
        auto* grid = new QGridLayout;
        grid->addWidget(caption, 0, 0, 1, 3);
        auto* fine = new QLabel(QStringLiteral("Fine"));
        auto* coarse = new QLabel(QStringLiteral("Coarse"));
        grid->addWidget(fine, 1, 0);
        grid->addWidget(slider, 1, 1);
        grid->addWidget(coarse, 1, 2);
        layout->addLayout(grid);
        controls_ << caption << fine << slider << coarse;
    };
    sliderRow(timingCaption, timingSlider);
    layout->addSpacing(12);
    sliderRow(alignmentCaption, alignmentSlider);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(resetButton);
    buttons->addWidget(closeButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    controls_ << resetButton << closeButton;

    pointerPos = [this] { return mapFromGlobal(QCursor::pos()); };
    setPointerPos = [this](QPoint p) { QCursor::setPos(mapToGlobal(p)); };

    // 1. Opening values, base values and sliders from the stored sensitivities.
    logic_ =
        std::make_unique<MouseAdjustLogic>(target, settings.TimingMouseAdjust, settings.AlignmentMouseAdjust);
    ShowSliders();
    connect(timingSlider, &QSlider::valueChanged, this, [this](int v) { logic_->SetTimingSlider(v); });
    connect(alignmentSlider, &QSlider::valueChanged, this, [this](int v) { logic_->SetAlignmentSlider(v); });
    connect(resetButton, &QPushButton::clicked, this, [this] { logic_->Reset(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { CloseWindow(); });

    timer_.setInterval(kMouseTimerMs);
    connect(&timer_, &QTimer::timeout, this, &MouseAdjustDialog::Tick);
    timer_.start();
}

MouseAdjustDialog::~MouseAdjustDialog() {
    timer_.stop();
    EndAdjusting();
}

void MouseAdjustDialog::ShowSliders() {
    const QSignalBlocker a(timingSlider), b(alignmentSlider);
    timingSlider->setValue(logic_->TimingSlider());
    alignmentSlider->setValue(logic_->AlignmentSlider());
}

void MouseAdjustDialog::ShowControls(bool show) {
    for (QWidget* w : controls_) w->setVisible(show);
}

void MouseAdjustDialog::ToggleActive() {
    logic_->ToggleActive();
    if (logic_->Active()) {
        ShowControls(false);
        if (!crossCursor_) {
            QApplication::setOverrideCursor(Qt::CrossCursor);
            crossCursor_ = true;
        }
        const PixelPoint ref = logic_->ReferencePoint();
        setPointerPos(QPoint(ref.x, ref.y));
        setFocus();
    } else {
        EndAdjusting();
        ShowControls(true);
    }
}

void MouseAdjustDialog::EndAdjusting() {
    // The pointer is kept inside the area only by the ticks, so stopping frees it.
    if (crossCursor_) {
        QApplication::restoreOverrideCursor();
        crossCursor_ = false;
    }
}

void MouseAdjustDialog::Tick() {
    const QPoint p = pointerPos();
    const std::vector<AdjustKey> keys = std::move(keys_);
    keys_.clear();
    const std::optional<PixelPoint> moveTo = logic_->Tick(keys, PixelPoint{p.x(), p.y()});
    if (moveTo) setPointerPos(QPoint(moveTo->x, moveTo->y));
    ShowSliders();
}

void MouseAdjustDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_End:
            ToggleActive();
            break;
        case Qt::Key_PageUp:
            keys_.push_back(AdjustKey::kPageUp);
            break;
        case Qt::Key_PageDown:
            keys_.push_back(AdjustKey::kPageDown);
            break;
        case Qt::Key_Left:
            keys_.push_back(AdjustKey::kLeft);
            break;
        case Qt::Key_Right:
            keys_.push_back(AdjustKey::kRight);
            break;
        case Qt::Key_Up:
            keys_.push_back(AdjustKey::kUp);
            break;
        case Qt::Key_Down:
            keys_.push_back(AdjustKey::kDown);
            break;
        case Qt::Key_Escape:
            keys_.push_back(AdjustKey::kEscape);
            break;
        default:
            QDialog::keyPressEvent(event);
            return;
    }
    event->accept();
}

void MouseAdjustDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ToggleActive();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MouseAdjustDialog::CloseWindow() {
    // "Close": keep the sensitivities, stop the timer, free the pointer, restore the cursor.
    settings_.TimingMouseAdjust = logic_->TimingMouseAdjust();
    settings_.AlignmentMouseAdjust = logic_->AlignmentMouseAdjust();
    timer_.stop();
    if (logic_->Active()) logic_->ToggleActive();
    EndAdjusting();
    ShowControls(true);
    done(QDialog::Accepted);
}

void MouseAdjustDialog::reject() {
    // The window's own close command only stops the timer (the sensitivities are not kept).
    timer_.stop();
    // DEPARTURE: closing while adjusting also restores the cursor; otherwise the cross cursor
    // would stay on the whole program after the window has gone.
    if (logic_->Active()) logic_->ToggleActive();
    EndAdjusting();
    ShowControls(true);
    QDialog::reject();
}

}  // namespace corvane::ui
