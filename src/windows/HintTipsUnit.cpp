#include "HintTipsUnit.h"

#include <QPushButton>
#include <QVBoxLayout>

THintTipsForm::THintTipsForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName("THintTipsForm");
    setWindowTitle("Hints & Tips");
    auto* layout = new QVBoxLayout(this);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("CloseButton");
    layout->addStretch(1);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(384, 174);
}
