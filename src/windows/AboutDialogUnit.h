#pragma once

#include <QDialog>

class QLabel;

// The About box: product, version and the maker's web address.
class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* Parent = nullptr);

    QLabel* InfoLabel;
    QLabel* SiteLabel;
};
