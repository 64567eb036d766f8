#include "AboutDialogUnit.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
const QString MakerSite = QStringLiteral("www.kelvra.example");
const QString MakerCopyright = QStringLiteral("Copyright (c) Kelvra Ltd");
} // namespace

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

void TAboutDialog::SetVersion(const QString& AppVersion) {
    InfoLabel->setText("PXS733 GUI \nVersion " + AppVersion + '\n' + MakerCopyright);
    SiteLabel->setText(MakerSite);
}
