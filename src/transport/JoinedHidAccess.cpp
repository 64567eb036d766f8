#include "JoinedHidAccess.h"

TJoinedHidAccess::TJoinedHidAccess(THidAccess& First, THidAccess& Second)
    : FParts{&First, &Second} {
    for (THidAccess* part : FParts) {
        part->OnDevicesChanged = [this] {
            if (OnDevicesChanged) OnDevicesChanged();
        };
        part->Listener = this;
    }
}

TJoinedHidAccess::~TJoinedHidAccess() {
    for (THidAccess* part : FParts) {
        if (part->Listener != this) continue;
        part->OnDevicesChanged = nullptr;
        part->Listener = nullptr;
    }
}

QList<THidDeviceInfo> TJoinedHidAccess::Enumerate() {
    QList<THidDeviceInfo> all;
    FListedBy.clear();
    for (THidAccess* part : FParts) {
        for (THidDeviceInfo& info : part->Enumerate()) {
            if (FListedBy.contains(info.Path)) continue; // the first access's device wins
            FListedBy.insert(info.Path, part);
            all << std::move(info);
        }
    }
    return all;
}

std::unique_ptr<THidHandle> TJoinedHidAccess::Open(const QString& Path, QString& Error) {
    THidAccess* part = FListedBy.value(Path);
    if (!part) {
        Error = QStringLiteral("device gone");
        return nullptr;
    }
    return part->Open(Path, Error);
}
