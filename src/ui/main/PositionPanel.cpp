#include "ui/main/PositionPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/common/Icons.h"
#include "ui/common/ShownText.h"
#include "ui/common/Widgets.h"

namespace corvane::ui {

PositionPanel::PositionPanel(QWidget* parent) : QGroupBox(parent) {
    auto* pl = new QGridLayout(this);
    pl->setVerticalSpacing(1);
    int row = 0;
    for (const char* c : kPanelCaptions) {
        auto* box = ReadOnlyBox();
        box->setMinimumWidth(DialogUnitsX(this, 92));
        panelFields.insert(QString::fromLatin1(c), box);
        pl->addWidget(new QLabel(QString::fromLatin1(c)), row, 0, Qt::AlignRight);
        pl->addWidget(box, row, 1);
        ++row;
    }
    directionLine = new QLabel;
    directionLine->setAlignment(Qt::AlignCenter);
    pl->addWidget(directionLine, row++, 0, 1, 2);
    auto* sunRow = new QHBoxLayout;
    sunIcon = new QLabel;
    sunIcon->setFixedSize(20, 20);
    sunLine = new QLabel;
    sunRow->addStretch();
    sunRow->addWidget(sunIcon);
    sunRow->addWidget(sunLine);
    sunRow->addStretch();
    pl->addLayout(sunRow, row++, 0, 1, 2);
    pl->setRowStretch(row, 1);
}

void PositionPanel::Show(const DisplayTexts& d, bool night) {
    for (size_t i = 0; i < kPanelCaptions.size(); ++i)
        if (QLineEdit* box = panelFields.value(QString::fromLatin1(kPanelCaptions[i]))) {
            const QString text = ShownLatin1(d.fields[i]);
            if (box->text() != text) box->setText(text);
        }
    directionLine->setText(Latin1(d.direction) + (d.ageNote.empty() ? QString() : "\n" + Latin1(d.ageNote)));
    sunLine->setText(Latin1(d.sunText));
    switch (d.sunIcon) {
        case SunIcon::kSun:
            sunIcon->setPixmap(DrawPicture(Picture::Sun, night, 18));
            break;
        case SunIcon::kEclipse:
            sunIcon->setPixmap(DrawPicture(Picture::Eclipse, night, 18));
            break;
        case SunIcon::kWarning:
            sunIcon->setPixmap(DrawPicture(Picture::Warning, night, 18));
            break;
        case SunIcon::kNone:
            sunIcon->clear();
            break;
    }
}

}  // namespace corvane::ui
