#pragma once
// "Download TLE File" window: the seven download sets as radio buttons, "Download TLE" and
// "Cancel". The set's script runs on a worker thread (DownloadElementSet) while the window shows
// the wait cursor and stays responsive; the result comes back through PostToGui. Modeless.
// GUI thread only.
#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/Clock.h"
#include "core/Settings.h"
#include "orbit/ElementDownload.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace corvane::ui {

inline constexpr const char* kDownloadExplanation =
    "This download will execute a specific .bat file corresponding to the selected Orbital Element contained "
    "in the list on this page. Selecting visual.TLE will execute the visual.bat file and so on. The "
    "user_defined.TLE will execute the user_defined.bat file which is a special batch file that the user can "
    "prepare him/herself to meet one's specific needs or desires. This file is a template based on "
    "visual.bat "
    "for which you can modify on your own. However, in this case, once your special purpose file has been "
    "downloaded you must execute a Load TLE command to bring the file into the Corvane program.  Please "
    "Note:  "
    "You must be connected to the internet to retreive this data!";

class DownloadWindow : public QDialog {
    Q_OBJECT
public:
    // loaded(element file) runs after a successful download (the main window loads the file and
    // empties the View Plan); the window then closes.
    DownloadWindow(Settings& settings, Clock& clock, std::function<void(const std::string&)> loaded,
                   QWidget* parent = nullptr);
    ~DownloadWindow() override;

    // The "Download TLE" button: starts the selected set's script.
    void DownloadElementSet();
    void Cancel();
    bool Running() const { return running_; }
    // The working folder the script runs in ("." by default).
    void SetFolder(const std::string& folder) { folder_ = folder; }

    QLabel* explanation = nullptr;
    QRadioButton* setButtons[kDownloadSetCount + 1] = {};  // 1..7
    QPushButton* downloadButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* status = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Finished(DownloadOutcome outcome);
    void StopWorker();
    void ShowRunning(bool running);

    Settings& settings_;
    Clock& clock_;
    std::function<void(const std::string&)> loaded_;
    std::string folder_ = ".";
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    bool running_ = false;
    bool closed_ = false;  // a result that arrives after closing is dropped
};

}  // namespace corvane::ui
