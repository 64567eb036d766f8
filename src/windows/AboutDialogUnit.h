#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The About box: the maker's logo, product and version, the maker's web address, and the
// licences of the program and of the libraries it uses.
class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* Parent = nullptr);

    // Shows the application's version with the product name and the maker's address.
    void SetVersion(const QString& AppVersion);
    // Opens a web page in the user's browser; replaceable so that tests see the request.
    std::function<void(const QUrl&)> OpenUrl;

    QLabel* LogoImage;
    QLabel* InfoLabel;
    QLabel* SiteLabel;
    QPushButton* LicencesButton;
    QPlainTextEdit* LicencesText;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetSiteHighlight(bool On);
};
