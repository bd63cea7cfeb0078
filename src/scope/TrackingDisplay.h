#pragma once
// What the telescope code shows the user: message boxes, the two tracking status lines, the two
// slew progress bars, the Start and Connect buttons, the wait cursor and the View Plan refresh.
//
// The main window implements it by posting each call to the GUI thread; the CLI prints; tests
// record. Calls come from the tracking thread as well as the user-interface thread, so an
// implementation must be thread-safe and must never block (in particular it must not wait for a
// message box to be closed).
//
// Texts are in the program's 8-bit character set (Latin-1: the degree sign is the byte 0xB0);
// a window converts them for display. Message texts may hold carriage returns as line breaks.
#include <string>

namespace corvane {

enum class MessageIcon { Information, Warning, Error };

class TrackingDisplay {
public:
    virtual ~TrackingDisplay() = default;

    // A message box with its text, title and icon.
    virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
    // The "R.A." and "Dec." status lines of the main window.
    virtual void SetStatusLines(const std::string& raLine, const std::string& decLine) = 0;
    // The R.A. and Dec. progress bars, 0..16 bars of remaining slew.
    virtual void SetProgress(int raBars, int decBars) = 0;
    // The Start button: true shows its stop picture (tracking), false its start picture.
    virtual void SetStartButtonTracking(bool tracking) = 0;
    // The Connect button's enabled state (disabled while tracking).
    virtual void SetConnectEnabled(bool enabled) = 0;
    // Connected: the Connect button reads "Dis&connect" and the port selector is disabled;
    // not connected: "&Connect" and the selector enabled.
    virtual void SetConnected(bool connected) = 0;
    // The wait cursor around slow exchanges with the mount.
    virtual void SetBusy(bool busy) = 0;
    // The mount is being identified after its port opened (true) or no longer (false): the
    // window offers to cancel meanwhile.
    virtual void SetConnecting(bool connecting) {}
    // The View Plan list should be refreshed (tracking stopped).
    virtual void RefreshViewPlan() = 0;
};

// Shows nothing. Thread-safe.
class NullTrackingDisplay : public TrackingDisplay {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    void SetStatusLines(const std::string&, const std::string&) override {}
    void SetProgress(int, int) override {}
    void SetStartButtonTracking(bool) override {}
    void SetConnectEnabled(bool) override {}
    void SetConnected(bool) override {}
    void SetBusy(bool) override {}
    void RefreshViewPlan() override {}
};

}  // namespace corvane
