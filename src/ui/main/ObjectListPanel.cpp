#include "ui/main/ObjectListPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "core/Text.h"
#include "ui/common/ShownText.h"
#include "ui/common/Widgets.h"

namespace corvane::ui {

ObjectListPanel::ObjectListPanel(QWidget* parent) : QGroupBox(QStringLiteral("Objects"), parent) {
    auto* ol = new QGridLayout(this);
    objectList = new QComboBox;
    objectList->setEditable(true);
    objectList->setInsertPolicy(QComboBox::NoInsert);
    objectList->setMinimumWidth(DialogUnitsX(this, 110));
    ol->addWidget(objectList, 0, 0, 1, 3);
    listStatus = new QLabel;
    ol->addWidget(listStatus, 1, 0, 1, 3);
    refreshListButton = SmallButton(QStringLiteral("&Refresh List"));
    resetFiltersButton = SmallButton(QStringLiteral("R&eset Filters"));
    ol->addWidget(refreshListButton, 2, 0);
    ol->addWidget(resetFiltersButton, 2, 1, 1, 2);
    visAll = new QRadioButton(QStringLiteral("All"));
    visAboveHorizon = new QRadioButton(QStringLiteral("Above Horizon"));
    auto* visGroup = new QButtonGroup(this);
    visGroup->addButton(visAll);
    visGroup->addButton(visAboveHorizon);
    ol->addWidget(visAll, 3, 0);
    ol->addWidget(visAboveHorizon, 3, 1, 1, 2);
    elevationFilter = new QCheckBox(QStringLiteral("Elevation >"));
    elevationLimit = new QSpinBox;
    elevationLimit->setRange(0, 90);
    ol->addWidget(elevationFilter, 4, 0);
    ol->addWidget(elevationLimit, 4, 1);
    ascendingOnly = new QCheckBox(QStringLiteral("Ascending Only"));
    sunOnly = new QCheckBox(QStringLiteral("In Sun Only"));
    favorites = new QCheckBox(QStringLiteral("Favorites"));
    neverObserved = new QCheckBox(QStringLiteral("Never Observed"));
    geostationaryOnly = new QCheckBox(QStringLiteral("Geostationary Only"));
    listByNorad = new QCheckBox(QStringLiteral("List by NORAD"));
    ol->addWidget(ascendingOnly, 5, 0);
    ol->addWidget(sunOnly, 5, 1, 1, 2);
    ol->addWidget(favorites, 6, 0);
    ol->addWidget(neverObserved, 6, 1, 1, 2);
    ol->addWidget(geostationaryOnly, 7, 0);
    ol->addWidget(listByNorad, 7, 1, 1, 2);
    directionFilter = new QComboBox;
    for (const char* d : {"All", "N", "NE", "E", "SE", "S", "SW", "W", "NW"}) directionFilter->addItem(d);
    altitudeFilter = new QComboBox;
    for (const char* a : {"All", "Low", "Mod", "High"}) altitudeFilter->addItem(a);
    ol->addWidget(new QLabel(QStringLiteral("Direction")), 8, 0);
    ol->addWidget(directionFilter, 8, 1, 1, 2);
    ol->addWidget(new QLabel(QStringLiteral("Altitude")), 9, 0);
    ol->addWidget(altitudeFilter, 9, 1, 1, 2);
}

ObjectFilters ObjectListPanel::Filters() const {
    ObjectFilters f;
    f.aboveHorizon = visAboveHorizon->isChecked();
    f.elevationAbove = elevationFilter->isChecked();
    f.elevationLimit = ToLatin1(elevationLimit->text());
    f.ascendingOnly = ascendingOnly->isChecked();
    f.sunOnly = sunOnly->isChecked();
    f.favorites = favorites->isChecked();
    f.neverObserved = neverObserved->isChecked();
    f.geostationaryOnly = geostationaryOnly->isChecked();
    f.direction = ToLatin1(directionFilter->currentText());
    f.altitudeClass = ToLatin1(altitudeFilter->currentText());
    f.listByNorad = listByNorad->isChecked();
    return f;
}

void ObjectListPanel::ShowFilters(const ObjectFilters& f) {
    (f.aboveHorizon ? visAboveHorizon : visAll)->setChecked(true);
    elevationFilter->setChecked(f.elevationAbove);
    ascendingOnly->setChecked(f.ascendingOnly);
    sunOnly->setChecked(f.sunOnly);
    favorites->setChecked(f.favorites);
    neverObserved->setChecked(f.neverObserved);
    geostationaryOnly->setChecked(f.geostationaryOnly);
    directionFilter->setCurrentText(Latin1(f.direction));
    altitudeFilter->setCurrentText(Latin1(f.altitudeClass));
}

void ObjectListPanel::ApplySettings(const Settings& s) {
    directionFilter->setCurrentText(Latin1(s.Direction));
    elevationLimit->setValue(std::min(90, std::max(0, LeadingInt(s.ElevationLimit))));
    sunOnly->setChecked(s.SunOnly != 0);
    favorites->setChecked(s.Favorites != 0);
    neverObserved->setChecked(s.NeverObserved != 0);
    elevationFilter->setChecked(s.ObjElevation != 0);
    ascendingOnly->setChecked(s.ObjRising != 0);
    altitudeFilter->setCurrentText(Latin1(s.ObjAlt));
    (s.ObjVisAboveHorizon ? visAboveHorizon : visAll)->setChecked(true);
    listByNorad->setChecked(s.NoradSort != 0);
}

void ObjectListPanel::CopyToSettings(Settings& s) const {
    s.Direction = ToLatin1(directionFilter->currentText().trimmed());
    s.ElevationLimit = ToLatin1(elevationLimit->text());
    s.SunOnly = sunOnly->isChecked();
    s.Favorites = favorites->isChecked();
    s.NeverObserved = neverObserved->isChecked();
    s.ObjElevation = elevationFilter->isChecked();
    s.ObjRising = ascendingOnly->isChecked();
    s.ObjAlt = ToLatin1(altitudeFilter->currentText());
    s.ObjVisAboveHorizon = visAboveHorizon->isChecked();
    s.NoradSort = listByNorad->isChecked() ? 1 : 0;
}

void ObjectListPanel::ShowEntries(const ObjectListResult& result) {
    if (result.ascendingCleared) ascendingOnly->setChecked(false);
    objectList->clear();
    for (const ObjectListEntry& e : result.entries)
        objectList->addItem(ShownLatin1(e.VisibleText()), Latin1(e.text));
    objectList->setCurrentIndex(-1);
    objectList->setEditText(QString());
    listStatus->setText(Latin1(result.status));
}

std::string ObjectListPanel::EntryText(int row) const {
    return row >= 0 ? ToLatin1(objectList->itemData(row).toString()) : ToLatin1(objectList->currentText());
}

}  // namespace corvane::ui
