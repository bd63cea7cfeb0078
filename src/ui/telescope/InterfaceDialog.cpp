#include "ui/telescope/InterfaceDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/ScopeInterface.h"

namespace corvane::ui {

InterfaceDialog::InterfaceDialog(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Telescope Interface"));
    setModal(true);

    auto* layout = new QHBoxLayout(this);
    auto* left = new QGroupBox(QStringLiteral("Interface"));
    auto* leftLayout = new QVBoxLayout(left);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    for (const auto& i : ScopeInterfaces()) {
        if (i.dialogEntry[0] == '\0') continue;
        auto* button = new QRadioButton(QString::fromLatin1(i.dialogEntry));
        button->setProperty("code", QString::fromLatin1(i.code));
        group_->addButton(button);
        interfaceButtons.append(button);
        leftLayout->addWidget(button);
    }
    layout->addWidget(left);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Note")));
    note = new QTextEdit;
    note->setReadOnly(true);
    note->setMinimumWidth(320);
    right->addWidget(note, 1);

    mountBox = new QGroupBox(QStringLiteral("Mount"));
    auto* mountLayout = new QHBoxLayout(mountBox);
    // Two independent groups: the LX200GPS pair and the NexStar GPS triple.
    auto* lgpsGroup = new QButtonGroup(this);
    auto* ngpsGroup = new QButtonGroup(this);
    lgpsAltAz = new QRadioButton(QStringLiteral("Alt-Az"));
    lgpsPolar = new QRadioButton(QStringLiteral("Polar"));
    ngpsAltAz = new QRadioButton(QStringLiteral("Alt-Az"));
    ngpsEqN = new QRadioButton(QStringLiteral("EQ N"));
    ngpsEqS = new QRadioButton(QStringLiteral("EQ S"));
    for (auto* b : {lgpsAltAz, lgpsPolar}) lgpsGroup->addButton(b), mountLayout->addWidget(b);
    for (auto* b : {ngpsAltAz, ngpsEqN, ngpsEqS}) ngpsGroup->addButton(b), mountLayout->addWidget(b);
    mountLayout->addStretch();
    right->addWidget(mountBox);
    lgpsAltAz->setChecked(settings_.LGPSMount != 2);
    lgpsPolar->setChecked(settings_.LGPSMount == 2);
    ngpsAltAz->setChecked(settings_.NGPSMount != 2 && settings_.NGPSMount != 3);
    ngpsEqN->setChecked(settings_.NGPSMount == 2);
    ngpsEqS->setChecked(settings_.NGPSMount == 3);

    indiBox = new QGroupBox(QStringLiteral("INDI Server"));
    auto* indiLayout = new QFormLayout(indiBox);
    indiHost = new QLineEdit(QString::fromStdString(settings_.IndiHost));
    indiPort = new QSpinBox;
    indiPort->setRange(1, 65535);
    indiPort->setValue(settings_.IndiPort >= 1 && settings_.IndiPort <= 65535 ? settings_.IndiPort : 7624);
    indiDevice = new QLineEdit(QString::fromStdString(settings_.IndiDevice));
    indiLayout->addRow(QStringLiteral("Host"), indiHost);
    indiLayout->addRow(QStringLiteral("Port"), indiPort);
    indiLayout->addRow(QStringLiteral("Device"), indiDevice);
    right->addWidget(indiBox);

    predictive = new QCheckBox(QStringLiteral("Predictive tracking"));
    predictive->setChecked(settings_.PredictiveTracking == 1);
    right->addWidget(predictive);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton = new QPushButton(QStringLiteral("OK"));
    cancelButton = new QPushButton(QStringLiteral("Cancel"));
    okButton->setDefault(true);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    right->addLayout(buttons);
    layout->addLayout(right, 1);

    const QString current = QString::fromStdString(settings_.ScopeType);
    for (auto* b : interfaceButtons)
        if (b->property("code").toString() == current) b->setChecked(true);
    ShowInterface(current);

    connect(group_, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton* b) { ShowInterface(b->property("code").toString()); });
    connect(okButton, &QPushButton::clicked, this, [this] {
        const QString code = CheckedCode();
        if (!code.isEmpty()) settings_.ScopeType = code.toStdString();
        const QString host = indiHost->text().trimmed();
        settings_.IndiHost = host.isEmpty() ? "localhost" : host.toStdString();
        settings_.IndiPort = indiPort->value();
        settings_.IndiDevice = indiDevice->text().trimmed().toStdString();
        settings_.PredictiveTracking = predictive->isChecked() ? 1 : 0;
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void InterfaceDialog::ShowInterface(const QString& code) {
    const std::string c = code.toStdString();
    note->setPlainText(QString::fromLatin1(InterfaceNote(c).c_str()));
    const bool lgps = c == "LX200GPS", ngps = c == "NEXSTARGPS";
    lgpsAltAz->setVisible(lgps);
    lgpsPolar->setVisible(lgps);
    ngpsAltAz->setVisible(ngps);
    ngpsEqN->setVisible(ngps);
    ngpsEqS->setVisible(ngps);
    mountBox->setVisible(lgps || ngps);
    indiBox->setVisible(c == "INDI");
}

QString InterfaceDialog::CheckedCode() const {
    for (auto* b : interfaceButtons)
        if (b->isChecked()) return b->property("code").toString();
    return {};
}

void InterfaceDialog::ReadMountButtons(Settings& settings) const {
    if (lgpsAltAz->isChecked()) settings.LGPSMount = 1;
    if (lgpsPolar->isChecked()) settings.LGPSMount = 2;
    if (ngpsAltAz->isChecked()) settings.NGPSMount = 1;
    if (ngpsEqN->isChecked()) settings.NGPSMount = 2;
    if (ngpsEqS->isChecked()) settings.NGPSMount = 3;
}

}  // namespace corvane::ui
