#pragma once

#include <QDialog>

class QLabel;

// The About box: product, version and the maker's web address.
class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* Parent = nullptr);

    // Shows the application's version with the product name and the maker's address.
    void SetVersion(const QString& AppVersion);

    QLabel* InfoLabel;
    QLabel* SiteLabel;
};
