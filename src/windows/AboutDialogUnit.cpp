#include "AboutDialogUnit.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString MakerSite = QStringLiteral("www.kelvra.example");
const QString MakerCopyright = QStringLiteral("Copyright (c) Kelvra Ltd");
const QString LicenceText = QStringLiteral(
    "PXS733 is free software: you can redistribute it and/or modify it under the terms of the "
    "GNU General Public License as published by the Free Software Foundation, either version 3 "
    "of the License, or (at your option) any later version. It is distributed in the hope that "
    "it will be useful, but WITHOUT ANY WARRANTY; without even the implied warranty of "
    "MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See the GNU General Public License "
    "(the LICENSE file; on Debian /usr/share/common-licenses/GPL-3) for more details.\n\n"
    "It uses these libraries, under their own licences:\n"
    "- Qt 6, The Qt Company and others: GNU LGPL version 3\n"
    "- QCustomPlot 2.1, Emanuel Eichhammer: GNU GPL version 3\n"
    "- hidapi, Alan Ott, Signal 11 Software and others: GNU GPL version 3, BSD or the "
    "original HIDAPI licence, at the user's choice\n"
    "- libudev, the systemd authors: GNU LGPL version 2.1 or later");
constexpr QSize CompactSize(335, 260);
constexpr QSize LicencesSize(460, 480);
} // namespace

TAboutDialog::TAboutDialog(QWidget* Parent)
    : QDialog(Parent), OpenUrl([](const QUrl& Url) { QDesktopServices::openUrl(Url); }),
      LogoImage(new QLabel(this)), InfoLabel(new QLabel(this)), SiteLabel(new QLabel(this)) {
    setObjectName("TAboutDialog");
    setWindowTitle("About");
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xCE, 0xCE, 0xCE));
    setPalette(p);
    LogoImage->setObjectName("LogoImage");
    LogoImage->setPixmap(QPixmap(":/images/Logo.png"));
    LogoImage->setAlignment(Qt::AlignCenter);
    InfoLabel->setObjectName("InfoLabel");
    InfoLabel->setAlignment(Qt::AlignCenter);
    SiteLabel->setObjectName("SiteLabel");
    SiteLabel->setAlignment(Qt::AlignCenter);
    QFont info = InfoLabel->font();
    info.setPointSize(10);
    info.setBold(true);
    InfoLabel->setFont(info);
    SetSiteHighlight(false);
    for (QLabel* link : {LogoImage, SiteLabel}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setToolTip(MakerSite);
        link->installEventFilter(this);
    }
    auto* panel = new QWidget(this);
    panel->setAutoFillBackground(true);
    QPalette light = panel->palette();
    light.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    panel->setPalette(light);
    auto* inside = new QVBoxLayout(panel);
    for (QLabel* label : {LogoImage, InfoLabel, SiteLabel}) {
        label->setParent(panel);
        inside->addWidget(label);
    }
    LicencesButton = new QPushButton("Licences", panel);
    LicencesButton->setObjectName("LicencesButton");
    LicencesButton->setCheckable(true);
    LicencesButton->setToolTip("Free software under the GNU GPL version 3 or later");
    inside->addWidget(LicencesButton, 0, Qt::AlignHCenter);
    LicencesText = new QPlainTextEdit(LicenceText, panel);
    LicencesText->setObjectName("LicencesText");
    LicencesText->setReadOnly(true);
    LicencesText->hide();
    inside->addWidget(LicencesText, 1);
    connect(LicencesButton, &QPushButton::toggled, this, [this](bool On) {
        LicencesText->setVisible(On);
        setFixedSize(On ? LicencesSize : CompactSize);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(panel);
    setFixedSize(CompactSize);
}

void TAboutDialog::SetVersion(const QString& AppVersion) {
    InfoLabel->setText("PXS733 GUI \nVersion " + AppVersion + '\n' + MakerCopyright);
    SiteLabel->setText(MakerSite);
}

void TAboutDialog::SetSiteHighlight(bool On) {
    QFont f = SiteLabel->font();
    f.setPointSize(12);
    f.setBold(true);
    f.setUnderline(On);
    SiteLabel->setFont(f);
    QPalette p = SiteLabel->palette();
    p.setColor(QPalette::WindowText,
               On ? QColor(0, 0, 255) : palette().color(QPalette::WindowText));
    SiteLabel->setPalette(p);
}

bool TAboutDialog::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == SiteLabel && Event->type() == QEvent::Enter) SetSiteHighlight(true);
    if (Watched == SiteLabel && Event->type() == QEvent::Leave) SetSiteHighlight(false);
    if (Event->type() == QEvent::MouseButtonRelease && OpenUrl) {
        // A browser that does not start is not reported.
        OpenUrl(QUrl("https://" + MakerSite));
        return true;
    }
    return false;
}
