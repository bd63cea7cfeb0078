#include "ui/main/SitePanel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/common/Widgets.h"

namespace corvane::ui {

SitePanel::SitePanel(QWidget* parent) : QGroupBox(QStringLiteral("Location"), parent) {
    auto* sl = new QGridLayout(this);
    auto* siteRow = new QHBoxLayout;
    auto* siteGroup = new QButtonGroup(this);
    for (int i = 1; i <= 3; ++i) {
        siteButtons[i] = SmallButton(QString::number(i));
        siteButtons[i]->setCheckable(true);
        siteButtons[i]->setMaximumWidth(DialogUnitsX(this, 16) + 12);
        siteGroup->addButton(siteButtons[i], i);
        siteRow->addWidget(siteButtons[i]);
    }
    siteGroup->setExclusive(true);
    siteRow->addStretch();
    sl->addLayout(siteRow, 0, 0, 1, 2);
    siteName = new QLineEdit;
    siteLatitude = new QLineEdit;
    siteLongitude = new QLineEdit;
    siteAltitude = new QLineEdit;
    siteUtcOffset = new QLineEdit;
    siteName->setMaxLength(SiteRecord::kNameWidth);
    siteLatitude->setMaxLength(SiteRecord::kLatitudeWidth);
    siteLongitude->setMaxLength(SiteRecord::kLongitudeWidth);
    siteAltitude->setMaxLength(SiteRecord::kAltitudeWidth);
    siteUtcOffset->setMaxLength(SiteRecord::kUtcOffsetWidth);
    const std::pair<const char*, QLineEdit*> fields[] = {{"Name", siteName},
                                                         {"Latitude", siteLatitude},
                                                         {"Longitude", siteLongitude},
                                                         {"Altitude", siteAltitude},
                                                         {"UTC Offset", siteUtcOffset}};
    int row = 1;
    for (const auto& [caption, box] : fields) {
        sl->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        sl->addWidget(box, row, 1);
        ++row;
    }
}

void SitePanel::ShowSite(const SiteRecord& site) {
    siteName->setText(Latin1(site.name));
    siteLatitude->setText(Latin1(site.latitude));
    siteLongitude->setText(Latin1(site.longitude));
    siteAltitude->setText(Latin1(site.altitude));
    siteUtcOffset->setText(Latin1(site.utcOffset));
}

SiteRecord SitePanel::SiteOnScreen() const {
    return SiteRecord{ToLatin1(siteName->text()), ToLatin1(siteLatitude->text()),
                      ToLatin1(siteLongitude->text()), ToLatin1(siteAltitude->text()),
                      ToLatin1(siteUtcOffset->text())};
}

void SitePanel::ShowCurrent(int site) {
    for (int i = 1; i <= 3; ++i) siteButtons[i]->setChecked(i == site);
}

}  // namespace corvane::ui
