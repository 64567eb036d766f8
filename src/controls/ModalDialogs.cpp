#include "ModalDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>

int TModalDialogs::Exec(QDialog& Dialog) {
    return Dialog.exec();
}

QMessageBox::StandardButton TModalDialogs::Message(QMessageBox::Icon Kind, const QString& Text,
                                                   QMessageBox::StandardButtons Buttons) {
    QMessageBox box(Kind, QApplication::applicationDisplayName(), Text, Buttons,
                    QApplication::activeWindow());
    return QMessageBox::StandardButton(box.exec());
}

QString TModalDialogs::SaveFileName(const QString& Caption) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), Caption);
}

QColor TModalDialogs::ChooseColour(const QColor& Initial) {
    return QColorDialog::getColor(Initial, QApplication::activeWindow());
}
