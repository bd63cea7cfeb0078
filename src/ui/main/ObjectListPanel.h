#pragma once
#include <QGroupBox>
#include <string>

#include "core/Settings.h"
#include "passes/ObjectList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace corvane::ui {

// The object list with its filters.
class ObjectListPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ObjectListPanel(QWidget* parent = nullptr);
    ObjectFilters Filters() const;
    void ShowFilters(const ObjectFilters& filters);
    void ApplySettings(const Settings& settings);
    void CopyToSettings(Settings& settings) const;
    // Fills the list with the result of a build ("&Refresh List").
    void ShowEntries(const ObjectListResult& result);
    // The whole entry text of a row (hidden "~~<index>" included), or the typed text for -1.
    std::string EntryText(int row) const;

    QComboBox* objectList = nullptr;
    QLabel* listStatus = nullptr;
    QPushButton* refreshListButton = nullptr;
    QPushButton* resetFiltersButton = nullptr;
    QRadioButton* visAll = nullptr;
    QRadioButton* visAboveHorizon = nullptr;
    QCheckBox* elevationFilter = nullptr;
    QSpinBox* elevationLimit = nullptr;
    QCheckBox* ascendingOnly = nullptr;
    QCheckBox* sunOnly = nullptr;
    QCheckBox* favorites = nullptr;
    QCheckBox* neverObserved = nullptr;
    QCheckBox* geostationaryOnly = nullptr;
    QComboBox* directionFilter = nullptr;
    QComboBox* altitudeFilter = nullptr;
    QCheckBox* listByNorad = nullptr;
};

}  // namespace corvane::ui
