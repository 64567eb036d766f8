#include "AboutDialogUnit.h"

#include <QLabel>
#include <QVBoxLayout>

TAboutDialog::TAboutDialog(QWidget* Parent)
    : QDialog(Parent), InfoLabel(new QLabel(this)), SiteLabel(new QLabel(this)) {
    setObjectName("TAboutDialog");
    setWindowTitle("About");
    InfoLabel->setObjectName("InfoLabel");
    SiteLabel->setObjectName("SiteLabel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLabel);
    layout->addWidget(SiteLabel);
    setFixedSize(335, 230);
}
