#include "ui/GuiTrackingDisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "ui/GuiPost.h"
#include "ui/MainWindow.h"

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
    PostToGui(window_, [w = window_, text = Shown(text), title = Shown(title), icon] {
        const auto qIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                           : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                          : QMessageBox::Information;
        auto* box = new QMessageBox(qIcon, title, text, QMessageBox::Ok, w);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("trackingMessage"));
        box->open();
    });
}

void GuiTrackingDisplay::SetStatusLines(const std::string& raLine, const std::string& decLine) {
    PostToGui(window_, [w = window_, ra = Shown(raLine), dec = Shown(decLine)] {
        w->raStatus->setText(ra);
        w->decStatus->setText(dec);
    });
}

void GuiTrackingDisplay::SetProgress(int raBars, int decBars) {
    PostToGui(window_, [w = window_, raBars, decBars] {
        w->raBar->setValue(std::clamp(raBars, 0, 16));
        w->decBar->setValue(std::clamp(decBars, 0, 16));
    });
}

void GuiTrackingDisplay::SetStartButtonTracking(bool tracking) {
    PostToGui(window_, [w = window_, tracking] { w->ShowTrackingPicture(tracking); });
}

void GuiTrackingDisplay::SetConnectEnabled(bool enabled) {
    PostToGui(window_, [w = window_, enabled] { w->connectButton->setEnabled(enabled); });
}

void GuiTrackingDisplay::SetConnected(bool connected) {
    PostToGui(window_, [w = window_, connected] {
        w->connectButton->setText(connected ? QStringLiteral("Dis&connect") : QStringLiteral("&Connect"));
        w->comPort->setEnabled(!connected);
    });
}

void GuiTrackingDisplay::SetBusy(bool busy) {
    PostToGui(window_, [busy] {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
}

void GuiTrackingDisplay::RefreshViewPlan() {
    PostToGui(window_, [w = window_] { w->RefreshViewPlanNow(); });
}

}  // namespace corvane::ui
