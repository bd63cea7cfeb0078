#pragma once
#include <QGroupBox>

#include "core/Settings.h"

class QLineEdit;
class QPushButton;

namespace corvane::ui {

// The three observing sites and the five fields of the current one.
class SitePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SitePanel(QWidget* parent = nullptr);
    void ShowSite(const SiteRecord& site);
    SiteRecord SiteOnScreen() const;
    void ShowCurrent(int site);

    QPushButton* siteButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // 1..3
    QLineEdit* siteName = nullptr;
    QLineEdit* siteLatitude = nullptr;
    QLineEdit* siteLongitude = nullptr;
    QLineEdit* siteAltitude = nullptr;
    QLineEdit* siteUtcOffset = nullptr;
};

}  // namespace corvane::ui
