#pragma once

#include <QMessageBox>

class QDialog;

// What a save-file dialog asks: its caption, the name it proposes (a full path) and the file
// types offered ("CSV files (*.csv)"), the first one chosen at start.
struct TSaveRequest {
    QString Caption;
    QString Proposed;
    QStringList Filters;
};

// The user's answer: the path (empty when cancelled) and the file type chosen.
struct TSaveAnswer {
    QString Path;
    QString Filter;
};

// Every modal dialog of the application is shown through this, so that tests can answer
// dialogs instead of blocking on them.
class TModalDialogs {
public:
    virtual ~TModalDialogs() = default;
    // Shows the dialog modally and returns its result code.
    virtual int Exec(QDialog& Dialog);
    // Shows a message box of the given kind over the active window and returns the button
    // that closed it. Details, when given, show below the text in a smaller font.
    virtual QMessageBox::StandardButton Message(QMessageBox::Icon Kind, const QString& Text,
                                                QMessageBox::StandardButtons Buttons,
                                                const QString& Details = QString());
    // The application's error report: an error box with an OK button, for a failure that
    // ends what the user asked for (a field that does not convert, a file that cannot be
    // written).
    void ReportError(const QString& Text) { Message(QMessageBox::Critical, Text, QMessageBox::Ok); }
    // The platform's colour chooser preset to Initial; an invalid colour when cancelled.
    virtual QColor ChooseColour(const QColor& Initial);
    // The platform's save-file dialog (asking before it replaces a file).
    virtual TSaveAnswer SaveFileName(const TSaveRequest& Request);
    // Asks where to save a file: proposes Stem-YYYYMMDD-HHMMSS in the folder last used, with
    // the first filter's extension, and adds the chosen type's extension to a name typed
    // without one. Empty when cancelled.
    QString SaveFile(const QString& Caption, const QString& Stem, const QStringList& Filters);

    // The folder of the last file saved; the main window keeps it in the settings file.
    QString LastFolder;
};
