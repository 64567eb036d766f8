#pragma once

#include <QMessageBox>

class QDialog;

// Every modal dialog of the application is shown through this, so that tests can answer
// dialogs instead of blocking on them.
class TModalDialogs {
public:
    virtual ~TModalDialogs() = default;
    // Shows the dialog modally and returns its result code.
    virtual int Exec(QDialog& Dialog);
    // Shows a message box of the given kind over the active window and returns the button
    // that closed it.
    virtual QMessageBox::StandardButton Message(QMessageBox::Icon Kind, const QString& Text,
                                                QMessageBox::StandardButtons Buttons);
    // The application's error report: an error box with an OK button, for a failure that
    // ends what the user asked for (a field that does not convert, a file that cannot be
    // written).
    void ReportError(const QString& Text) { Message(QMessageBox::Critical, Text, QMessageBox::Ok); }
    // The platform's colour chooser preset to Initial; an invalid colour when cancelled.
    virtual QColor ChooseColour(const QColor& Initial);
    // The platform's save-file dialog (asking before it replaces a file); empty when cancelled.
    virtual QString SaveFileName(const QString& Caption);
};
