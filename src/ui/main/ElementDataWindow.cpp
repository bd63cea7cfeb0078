#include "ui/main/ElementDataWindow.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "orbit/ElementData.h"
#include "ui/common/ShownText.h"

namespace corvane::ui {

ElementDataWindow::ElementDataWindow(const QString& name, std::string_view line1, std::string_view line2,
                                     QWidget* parent, const QString& ageNote)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("TLE Data for ") + WithoutControls(name));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QGridLayout(this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    int row = 0;
    for (const auto& [label, value] : ElementDataRows(line1, line2)) {
        auto* l = new QLabel(QString::fromLatin1(label.c_str()));
        l->setFont(fixed);
        auto* v = new QLabel(ShownLatin1(value));
        v->setFont(fixed);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(l, row, 0);
        layout->addWidget(v, row, 1);
        ++row;
    }
    ageLabel = new QLabel(ageNote);
    ageLabel->setAlignment(Qt::AlignCenter);
    ageLabel->setVisible(!ageNote.isEmpty());
    layout->addWidget(ageLabel, row++, 0, 1, 2);
    closeButton = new QPushButton(QStringLiteral("Close"));
    layout->addWidget(closeButton, row, 0, 1, 2, Qt::AlignHCenter);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

}  // namespace corvane::ui
