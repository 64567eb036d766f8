#pragma once

class QDialog;

// Every modal dialog of the application is shown through this, so that tests can answer
// dialogs instead of blocking on them.
class TModalDialogs {
public:
    virtual ~TModalDialogs() = default;
    // Shows the dialog modally and returns its result code.
    virtual int Exec(QDialog& Dialog);
};
