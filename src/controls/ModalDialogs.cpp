#include "ModalDialogs.h"

#include "FileNames.h"

#include <QApplication>
#include <QColorDialog>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

int TModalDialogs::Exec(QDialog& Dialog) {
    return Dialog.exec();
}

QMessageBox::StandardButton TModalDialogs::Message(QMessageBox::Icon Kind, const QString& Text,
                                                   QMessageBox::StandardButtons Buttons,
                                                   const QString& Details) {
    QMessageBox box(Kind, QApplication::applicationDisplayName(), Text, Buttons,
                    QApplication::activeWindow());
    box.setInformativeText(Details);
    return QMessageBox::StandardButton(box.exec());
}

TSaveAnswer TModalDialogs::SaveFileName(const TSaveRequest& Request) {
    TSaveAnswer answer;
    answer.Filter = Request.Filters.value(0);
    answer.Path =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), Request.Caption,
                                     Request.Proposed, Request.Filters.join(";;"), &answer.Filter);
    return answer;
}

QString TModalDialogs::SaveFile(const QString& Caption, const QString& Stem,
                                const QStringList& Filters) {
    const QString folder = QFileInfo(LastFolder).isDir() ? LastFolder : QDir::homePath();
    const QString proposed = FileNames::Proposed(
        folder, Stem, FileNames::ExtensionOf(Filters.value(0)), QDateTime::currentDateTime());
    const TSaveAnswer answer = SaveFileName({Caption, proposed, Filters});
    if (answer.Path.isEmpty()) return {};
    LastFolder = QFileInfo(answer.Path).absolutePath();
    return FileNames::WithExtension(answer.Path, answer.Filter);
}

QColor TModalDialogs::ChooseColour(const QColor& Initial) {
    return QColorDialog::getColor(Initial, QApplication::activeWindow());
}
