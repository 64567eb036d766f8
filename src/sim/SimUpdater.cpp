#include "SimUpdater.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

const QString RequestFile = QStringLiteral("update-requested");

bool WriteFile(const QString& Path, const QByteArray& Text) {
    QFile file(Path);
    return file.open(QIODevice::WriteOnly) && file.write(Text) == Text.size();
}

} // namespace

TSimUpdater::TSimUpdater(TSimHidAccess& Hid, std::shared_ptr<TVirtualDongle> Dongle,
                         quint32 Minimum, QObject* Parent)
    : QObject(Parent), FHid(Hid), FDongle(std::move(Dongle)), FMinimum(Minimum) {
    if (!FFolder.isValid()) return;
    const QDir root(FFolder.path());
    const QString install = root.filePath("Upflare");
    root.mkpath("config/Kelvra");
    root.mkpath("Upflare");
    const QByteArray hex = QByteArray::number(Minimum, 16);
    const QByteArray rf = QByteArray::number(Minimum & 0xFF, 16);
    const QString program = install + "/Kelvra Upflare";
    const bool made =
        WriteFile(root.filePath("config/Kelvra/Upflare.ini"),
                  "[Kelvra_Upflare]\r\nInstall_Dir=" + install.toUtf8() + "\r\n") &&
        WriteFile(install + "/minver.ini", "[CT]\r\nLK600=" + hex + "\r\nMV800=" + hex +
                                               "\r\nRM800=" + rf + "\r\nLK620=" + hex +
                                               "\r\nLK610=" + hex + "\r\n") &&
        WriteFile(program, "#!/bin/sh\n: > \"$(dirname \"$0\")/" + RequestFile.toUtf8() + "\"\n") &&
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!made) return;
    FWatcher.addPath(install);
    connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this, &TSimUpdater::CheckRequest);
}

QString TSimUpdater::ConfigFolder() const {
    return FFolder.isValid() ? FFolder.filePath("config") : QString();
}

void TSimUpdater::CheckRequest() {
    const QString request = FFolder.filePath("Upflare/" + RequestFile);
    if (!QFile::remove(request)) return;

    TVirtualDongleConfig config = FDongle->Config();
    config.Firmware = config.RFModule ? (config.Firmware & ~0xFFu) | (FMinimum & 0xFF) : FMinimum;
    FHid.Unplug(FDongle);
    FDongle = std::make_shared<TVirtualDongle>(config, FDongle->IC());
    QTimer::singleShot(ReplugDelayMs, this, [this] {
        FHid.Plug(FDongle);
        emit Updated();
    });
}
