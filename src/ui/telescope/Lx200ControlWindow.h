#pragma once
// The "LX200 Control" window: a hand controller on the screen for LX200-class mounts. It shows
// where the mount points (polled every 500 ms), moves and synchronises it, drives its object
// library and FIND search, reads and writes its four stored sites and sets its date and time.
//
// Every exchange is a job on the telescope session's thread; results come back with PostToGui,
// so the window never waits on the serial line. The polling pauses around each command
// sequence: one last read-out, 50 ms, the sequence, then the timer again. GUI thread only.
#include <QDialog>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "core/Clock.h"
#include "scope/Lx200Panel.h"
#include "scope/ScopeSession.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace corvane::ui {

class Lx200ControlWindow : public QDialog {
    Q_OBJECT
public:
    Lx200ControlWindow(ScopeSession& session, Clock& clock, QWidget* parent = nullptr);
    ~Lx200ControlWindow() override;

    // Step 1 of opening (after the caller has stopped tracking and asked for a connection):
    // the slew rate, the site of "Entry#", and the polling.
    void Start();

    // The actions, as the buttons run them.
    void SlewOrSearch();
    void RunSearch();
    void Sync();
    // "&Go To Object": the library look-up, then the slew to that object.
    void GoToObject();
    void NextFound(bool previous);
    void ReadSite();
    void SaveSite();
    void SetDateAndTime();
    void PressDirection(PanelDirection direction);
    void ReleaseDirection();
    void ChooseRate(PanelRate rate);

    bool SearchArmed() const { return searchArmed_; }
    // True while a command sequence is under way (the polling is paused).
    bool Busy() const { return busy_; }
    int PollCount() const { return polls_; }
    QTimer& PollTimer() { return pollTimer_; }

    // Controls, by what the user sees.
    QLabel* objectText = nullptr;
    QProgressBar* raBar = nullptr;
    QProgressBar* decBar = nullptr;
    QLabel* objectRa = nullptr;
    QLabel* objectDec = nullptr;
    QLabel* telescopeRa = nullptr;
    QLabel* telescopeDec = nullptr;
    QPushButton* slewButton = nullptr;
    QPushButton* syncButton = nullptr;
    QPushButton* north = nullptr;
    QPushButton* south = nullptr;
    QPushButton* west = nullptr;
    QPushButton* east = nullptr;
    QRadioButton* rateSlew = nullptr;
    QRadioButton* rateFind = nullptr;
    QRadioButton* rateCenter = nullptr;
    QRadioButton* rateGuide = nullptr;
    QComboBox* siteEntry = nullptr;
    QLineEdit* siteName = nullptr;
    QComboBox* latitudeDegrees = nullptr;
    QComboBox* latitudeMinutes = nullptr;
    QComboBox* longitudeDegrees = nullptr;
    QComboBox* longitudeMinutes = nullptr;
    QComboBox* utcOffset = nullptr;
    QPushButton* saveSiteButton = nullptr;
    std::array<QCheckBox*, 5> typeBoxes{};
    QComboBox* better = nullptr;
    QLineEdit* higher = nullptr;
    QLineEdit* larger = nullptr;
    QLineEdit* smaller = nullptr;
    QLineEdit* brighter = nullptr;
    QLineEdit* fainter = nullptr;
    QComboBox* catalog = nullptr;
    QPushButton* previousButton = nullptr;
    QPushButton* nextButton = nullptr;
    QComboBox* libraryType = nullptr;
    QComboBox* libraryObject = nullptr;
    QPushButton* goToButton = nullptr;
    QPushButton* dateTimeButton = nullptr;

protected:
    // Closed, or hidden by Esc: the polling stops.
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    bool Connected() const;
    void Poll();
    // Runs `work` on the session thread as one command sequence: the timer stops, one last
    // read-out, 50 ms, the work; `work` posts its own results; then the timer starts again.
    // `waitCursor`: the wait cursor is shown until the sequence has ended.
    void RunSequence(std::function<void(SerialLink&)> work, bool waitCursor = false);
    // The same without the pause, for single commands (moves, rates).
    void RunSingle(std::function<void(SerialLink&)> work);
    void ShowReadout(const PanelReadout& readout);
    void ShowInformation(const std::string& text, const std::string& ra, const std::string& dec);
    void ShowSite(const PanelSite& site);
    PanelSite SiteOnScreen() const;
    FindFilters FiltersOnScreen() const;
    void Disarm();
    void RefreshActionButtons();
    void FillLibraryObjects();
    // What queued jobs read on the session thread. `open` ends with the window, so that read-outs
    // still waiting in the session's queue are dropped; a mount that left "#:Gr#" unanswered is
    // not asked for the target again until the next opening.
    struct Opening {
        std::atomic<bool> open{true};
        std::atomic<bool> targetUnanswered{false};
    };
    // Reads the target's position after a choice and posts the texts with the information.
    void PostChosenObject(SerialLink& link, const std::string& information, Opening& opening);
    void PostSlew(SerialLink& link);

    ScopeSession& session_;
    Clock& clock_;
    QTimer pollTimer_;
    bool searchArmed_ = false;
    bool objectChosen_ = false;
    bool busy_ = false;
    bool pollInFlight_ = false;
    bool started_ = false;
    int polls_ = 0;
    int sequences_ = 0;  // sequences posted and not yet finished
    bool showingSite_ = false;
    std::shared_ptr<Opening> opening_ = std::make_shared<Opening>();
};

}  // namespace corvane::ui
