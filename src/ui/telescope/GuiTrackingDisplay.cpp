#include "ui/telescope/GuiTrackingDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "ui/common/GuiPost.h"
#include "ui/telescope/TelescopePanel.h"

namespace corvane::ui {

namespace {
// The telescope code speaks Latin-1 with carriage returns as line breaks.
QString Shown(const std::string& text) {
    QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}
}  // namespace

void GuiTrackingDisplay::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
    PostToGui(panel_, [w = panel_, text = Shown(text), title = Shown(title), icon] {
        const auto qIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                           : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                          : QMessageBox::Information;
        auto* box = new QMessageBox(qIcon, title, text, QMessageBox::Ok, w->window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("trackingMessage"));
        box->open();
    });
}

void GuiTrackingDisplay::SetStatusLines(const std::string& raLine, const std::string& decLine) {
    PostToGui(panel_, [w = panel_, ra = Shown(raLine), dec = Shown(decLine)] {
        w->raStatus->setText(ra);
        w->decStatus->setText(dec);
    });
}

void GuiTrackingDisplay::SetProgress(int raBars, int decBars) {
    PostToGui(panel_, [w = panel_, raBars, decBars] {
        w->raBar->setValue(std::clamp(raBars, 0, 16));
        w->decBar->setValue(std::clamp(decBars, 0, 16));
    });
}

void GuiTrackingDisplay::SetStartButtonTracking(bool tracking) {
    PostToGui(panel_, [w = panel_, tracking] { w->ShowTrackingPicture(tracking); });
}

void GuiTrackingDisplay::SetConnectEnabled(bool enabled) {
    PostToGui(panel_, [w = panel_, enabled] { w->connectButton->setEnabled(enabled); });
}

void GuiTrackingDisplay::SetConnected(bool connected) {
    PostToGui(panel_, [w = panel_, connected] {
        w->connectButton->setText(connected ? QStringLiteral("Dis&connect") : QStringLiteral("&Connect"));
        w->comPort->setEnabled(!connected);
    });
}

void GuiTrackingDisplay::SetBusy(bool busy) {
    PostToGui(panel_, [busy] {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
}

void GuiTrackingDisplay::SetConnecting(bool connecting) {
    PostToGui(panel_, [w = panel_, connecting] { w->ShowConnecting(connecting); });
}

void GuiTrackingDisplay::RefreshViewPlan() {
    PostToGui(panel_, [refresh = refreshViewPlan_] {
        if (refresh) refresh();
    });
}

}  // namespace corvane::ui
