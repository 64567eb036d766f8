#include "ModalDialogs.h"

#include <QDialog>

int TModalDialogs::Exec(QDialog& Dialog) {
    return Dialog.exec();
}
