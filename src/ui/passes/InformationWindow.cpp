#include "ui/passes/InformationWindow.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/passes/PlanContext.h"

namespace corvane::ui {

InformationWindow::InformationWindow(const ObjectInfo& info, QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(Latin1(InformationTitle(info)));
    auto* layout = new QVBoxLayout(this);
    text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setPlainText(Latin1(info.text));
    text->setMinimumSize(420, 260);
    layout->addWidget(text, 1);
    auto* row = new QHBoxLayout;
    closeButton = new QPushButton(QStringLiteral("Close"));
    row->addStretch();
    row->addWidget(closeButton);
    layout->addLayout(row);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

}  // namespace corvane::ui
