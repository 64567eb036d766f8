#include "SendCommandsUnit.h"

TSendCommands::TSendCommands(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("TSendCommands");
    setWindowTitle("Send Commands");
}
