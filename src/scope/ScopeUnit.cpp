#include "ScopeUnit.h"

TScopeForm::TScopeForm(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("TScopeForm");
    setWindowTitle("Scope");
    resize(800, 500);
}
