#pragma once
// "Observation Log " window: the records of "obslog.dat" of one object, oldest to newest, with
// New (filled from the program's state), Save (append or rewrite in place; marks the object
// observed, and favourite as "Favorite" says), Delete (blanks the slot), navigation and the
// unsaved-changes question. Modeless. GUI thread only.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "obslog/NewObservation.h"
#include "obslog/ObsLog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvane::ui {

struct ObsLogContext {
    std::string logPath = kObslogFileName;
    long catalogueNumber = 0;  // the selected object
    int nextYear = 2000;       // last year of the year lists
    // The program's state for "New".
    std::function<NewObservationInputs()> newInputs;
    // The observed list: the object's favourite flag, and the update after a save.
    std::function<bool(long)> isFavourite;
    std::function<void(long, bool)> markObserved;
};

class ObsLogWindow : public QDialog {
    Q_OBJECT
public:
    explicit ObsLogWindow(ObsLogContext context, QWidget* parent = nullptr);

    long catalogueNumber() const { return context_.catalogueNumber; }
    const std::vector<std::string>& index() const { return index_; }
    int position() const { return position_; }             // 1-based place in the index, 0 = none
    long currentRecord() const { return currentRecord_; }  // 0 = a new, unsaved record

    // The buttons' actions.
    void RebuildIndex();
    void NewRecord();
    void SaveRecord();
    void DeleteRecord();
    void First();
    void Previous();
    void Next();
    void Last();
    // The record the controls describe, as the Save button would write it.
    ObsRecord RecordFromControls() const;
    // Asks "Save changes to current record? " when the shown record is new or was changed;
    // Yes saves.
    void CheckUnsaved();
    bool HasUnsavedChanges() const;

    // Controls, named after their captions.
    QLineEdit* noradEdit = nullptr;
    QLineEdit* nameEdit = nullptr;
    QComboBox* dateBoxes[3] = {};  // year, month, day
    QComboBox* timeBoxes[3] = {};  // hours, minutes, seconds
    QLineEdit* siteNameEdit = nullptr;
    QLineEdit* latitudeEdit = nullptr;
    QLineEdit* longitudeEdit = nullptr;
    QLineEdit* altitudeEdit = nullptr;
    QLineEdit* tleFileEdit = nullptr;
    QLineEdit* tPlusEpochEdit = nullptr;
    QComboBox* aosBoxes[3] = {};
    QComboBox* losBoxes[3] = {};
    QComboBox* durationBoxes[3] = {};
    QLineEdit* maxElevationEdit = nullptr;
    QLineEdit* minRangeEdit = nullptr;
    QLineEdit* timingOffsetEdit = nullptr;
    QLineEdit* alignmentEdit = nullptr;
    QComboBox* telescopeBox = nullptr;
    QLineEdit* versionEdit = nullptr;
    QPlainTextEdit* remarksEdit = nullptr;
    QLabel* rawLabel = nullptr;
    QPlainTextEdit* rawText = nullptr;
    QCheckBox* favoriteBox = nullptr;
    QLabel* positionLabel = nullptr;
    QPushButton* firstButton = nullptr;
    QPushButton* previousButton = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* lastButton = nullptr;
    QPushButton* newButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* closeButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowBytes(const std::string& bytes);
    void ShowAt(int position);
    void ShowEmpty();
    void ShowPositionLabel();
    void Report(const std::string& error);

    ObsLogContext context_;
    ObsLogFile file_;
    std::vector<std::string> index_;
    int position_ = 0;
    long currentRecord_ = 0;
    bool isNew_ = false;
    std::string shown_;  // the record as the controls showed it when it was loaded
};

}  // namespace corvane::ui
