#include "StreamSetupUnit.h"

TStreamSetupForm::TStreamSetupForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName("TStreamSetupForm");
    setWindowTitle("Streaming Setup");
    setFixedSize(419, 208);
}
