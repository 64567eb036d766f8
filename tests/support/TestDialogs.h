#pragma once

#include "ModalDialogs.h"

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Answers every modal dialog of the application at once, as a user would, and remembers what
// was shown: a dialog's object name or a message's text.
struct TTestDialogs : TModalDialogs {
    QStringList shown;
    // The buttons that answer the next message boxes; OK once they are used up (or when the
    // box has no such button).
    QList<QMessageBox::StandardButton> answers;
    // Acts on a dialog shown without blocking; without it a dialog is closed unseen.
    std::function<void(QDialog&)> act;
    QString savePath;                  // the save-file chooser's answer (empty: cancelled)
    std::function<void()> whileSaving; // what happens while the save-file chooser is open
    QString saveFilter;                // the file type chosen in it (empty: the first one offered)
    QList<TSaveRequest> saveRequests;
    QStringList details; // the details of each message, in the order shown
    QColor chosenColour; // the colour chooser's answer (invalid: cancelled)

    int Exec(QDialog& Dialog) override {
        if (!act) {
            shown << Dialog.objectName();
            return QDialog::Rejected;
        }
        Dialog.open();
        act(Dialog);
        if (Dialog.isVisible()) Dialog.reject();
        return Dialog.result();
    }
    QMessageBox::StandardButton Message(QMessageBox::Icon, const QString& Text,
                                        QMessageBox::StandardButtons Buttons,
                                        const QString& Details) override {
        shown << Text;
        details << Details;
        if (!answers.isEmpty() && Buttons.testFlag(answers.first())) return answers.takeFirst();
        return QMessageBox::Ok;
    }
    TSaveAnswer SaveFileName(const TSaveRequest& Request) override {
        saveRequests << Request;
        if (whileSaving) whileSaving();
        return {savePath, saveFilter.isEmpty() ? Request.Filters.value(0) : saveFilter};
    }
    QColor ChooseColour(const QColor&) override { return chosenColour; }
};

// Settings and runtime files of the windows under test go to a folder of their own.
inline void UsePrivateFolders(const QTemporaryDir& Folder) {
    qputenv("XDG_DATA_HOME", (Folder.path() + "/data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", Folder.path().toUtf8());
}
