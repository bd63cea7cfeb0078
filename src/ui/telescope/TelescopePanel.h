#pragma once
// The telescope controls of the main window: the COM port and its device, Connect/Disconnect,
// Start/Stop Tracking, the Tracking Method slider, the two status lines and slew bars, and the
// LX200 Control button. Everything it asks of the mount goes to the telescope session, which
// carries it out on its own thread; the panel never waits on the serial line. While the mount
// is being identified it offers a cancellable progress window. GUI thread only.
#include <QGroupBox>
#include <QPointer>

#include <functional>

#include "scope/ScopeSession.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QProgressDialog;
class QPushButton;
class QSlider;
class QToolButton;

namespace corvane::ui {

class TelescopePanel : public QGroupBox {
    Q_OBJECT
public:
    TelescopePanel(ScopeSession& session, QWidget* parent = nullptr);

    // The port number the box shows: 1..16, anything else 1.
    int PortNumber() const;
    void ShowComDevice();
    void ConnectOrDisconnect();
    void StartStopTracking();
    // The Start button's picture and text.
    void ShowTrackingPicture(bool tracking);
    // The identification is running (true) or over (false): the progress window.
    void ShowConnecting(bool connecting);
    // Only tracking in progress is stopped: an idle mount is not sent stop commands.
    void StopIfTracking();

    // Run before Connect and Start so that the session has the current settings.
    std::function<void()> beforeMount;
    // Whether night vision is on (for the pictures).
    std::function<bool()> nightVision;

    QComboBox* comPort = nullptr;
    QLabel* comDevice = nullptr;
    QPushButton* connectButton = nullptr;
    QToolButton* trackButton = nullptr;
    QSlider* trackingMethod = nullptr;
    QLabel* raStatus = nullptr;
    QLabel* decStatus = nullptr;
    QProgressBar* raBar = nullptr;
    QProgressBar* decBar = nullptr;
    QPushButton* lx200ControlButton = nullptr;
    QPointer<QProgressDialog> connectProgress;

private:
    ScopeSession& session_;
};

}  // namespace corvane::ui
