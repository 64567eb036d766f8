#include "RemoteCommand.h"

namespace RemoteCommand {

int Answer(const QString& Text) {
    if (Text.contains(QStringLiteral("Status"))) return 1;
    return AsksToClose(Text) ? 2 : 0;
}

bool AsksToClose(const QString& Text) {
    return Text.contains(QStringLiteral("Close"));
}

} // namespace RemoteCommand
