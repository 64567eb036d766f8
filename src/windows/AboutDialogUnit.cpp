#include "AboutDialogUnit.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const QString MakerSite = QStringLiteral("www.kelvra.example");
const QString MakerCopyright = QStringLiteral("Copyright (c) Kelvra Ltd");
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(panel);
    setFixedSize(335, 230);
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
