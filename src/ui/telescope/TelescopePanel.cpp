#include "ui/telescope/TelescopePanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "core/ComPort.h"
#include "core/Text.h"
#include "scope/PosixSerialPort.h"
#include "ui/common/Icons.h"

namespace corvane::ui {

TelescopePanel::TelescopePanel(ScopeSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Telescope"), parent), session_(session) {
    auto* tl = new QGridLayout(this);
    tl->addWidget(new QLabel(QStringLiteral("COM Port")), 0, 0);
    comPort = new QComboBox;
    comPort->setEditable(true);
    for (int i = 1; i <= kComPortCount; ++i) comPort->addItem(QString::number(i));
    tl->addWidget(comPort, 0, 1);
    connectButton = new QPushButton(QStringLiteral("&Connect"));
    connectButton->setAutoDefault(false);
    tl->addWidget(connectButton, 0, 2);
    comDevice = new QLabel;
    tl->addWidget(comDevice, 1, 0, 1, 3);
    trackButton = new QToolButton;
    trackButton->setText(QStringLiteral("Start Tracking"));
    trackButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    trackButton->setIconSize(QSize(24, 24));
    tl->addWidget(trackButton, 2, 0, 1, 3);
    tl->addWidget(new QLabel(QStringLiteral("Tracking Method")), 3, 0, 1, 3);
    trackingMethod = new QSlider(Qt::Horizontal);
    trackingMethod->setRange(0, 5);
    trackingMethod->setTickPosition(QSlider::TicksBelow);
    trackingMethod->setPageStep(1);
    tl->addWidget(trackingMethod, 4, 0, 1, 3);
    tl->addWidget(new QLabel(QStringLiteral("Continuous")), 5, 0);
    tl->addWidget(new QLabel(QStringLiteral("Leap Frog")), 5, 2, Qt::AlignRight);
    raStatus = new QLabel(QStringLiteral("R.A. Tracking Stopped"));
    decStatus = new QLabel(QStringLiteral("Dec. Tracking Stopped"));
    raBar = new QProgressBar;
    decBar = new QProgressBar;
    for (QProgressBar* bar : {raBar, decBar}) {
        bar->setRange(0, 16);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setMaximumHeight(10);
    }
    tl->addWidget(raStatus, 6, 0, 1, 3);
    tl->addWidget(raBar, 7, 0, 1, 3);
    tl->addWidget(decStatus, 8, 0, 1, 3);
    tl->addWidget(decBar, 9, 0, 1, 3);
    lx200ControlButton = new QPushButton(QStringLiteral("LX200 Control"));
    lx200ControlButton->setAutoDefault(false);
    tl->addWidget(lx200ControlButton, 10, 0, 1, 3);

    connect(connectButton, &QPushButton::clicked, this, [this] { ConnectOrDisconnect(); });
    connect(trackButton, &QToolButton::clicked, this, [this] { StartStopTracking(); });
    connect(comPort, &QComboBox::currentTextChanged, this, [this] { ShowComDevice(); });
}

int TelescopePanel::PortNumber() const { return ComPortNumber(LeadingInt(comPort->currentText().toStdString())); }

void TelescopePanel::ShowComDevice() {
    const int n = PortNumber();
    comDevice->setText(QStringLiteral("COM%1 is %2").arg(n).arg(QString::fromLocal8Bit(SerialDeviceForPort(n).c_str())));
}

void TelescopePanel::ConnectOrDisconnect() {
    if (session_.ConnectedPort() == 0) {
        if (beforeMount) beforeMount();
        session_.Connect(PortNumber());
    } else {
        // The session stops tracking, sends the stop sequence and closes the port; the button
        // turns back to "&Connect" when it has.
        session_.Disconnect();
    }
}

void TelescopePanel::StartStopTracking() {
    if (beforeMount) beforeMount();
    session_.StartStopTracking();
}

void TelescopePanel::StopIfTracking() {
    if (session_.TrackingOn()) session_.StopTracking();
}

void TelescopePanel::ShowTrackingPicture(bool tracking) {
    const bool night = nightVision && nightVision();
    trackButton->setIcon(PictureIcon(tracking ? Picture::Stop : Picture::Start, night));
    trackButton->setText(tracking ? QStringLiteral("Stop Tracking") : QStringLiteral("Start Tracking"));
}

void TelescopePanel::ShowConnecting(bool connecting) {
    if (!connecting) {
        if (connectProgress) {
            connectProgress->reset();
            connectProgress->deleteLater();
        }
        return;
    }
    if (connectProgress) return;
    auto* progress = new QProgressDialog(QStringLiteral("Identifying the telescope on COM%1...").arg(PortNumber()),
                                         QStringLiteral("Cancel"), 0, 0, window());
    progress->setObjectName(QStringLiteral("connectProgress"));
    progress->setWindowTitle(QStringLiteral("Connecting"));
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this, [this] { session_.CancelConnect(); });
    connectProgress = progress;
    progress->show();
}

}  // namespace corvane::ui
