#include "DongleAcceptance.h"

#include "Kelvra.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DongleAcceptance {

namespace {
const QString UpdaterSection = QStringLiteral("Kelvra_Upflare");
const QString UpdaterProgramName = QStringLiteral("Kelvra Upflare");
} // namespace

QString Hex4(quint32 Value) {
    return QString::number(Value, 16).toUpper().rightJustified(4, '0');
}

bool IsCompatible(quint16 ProductID) {
    return ProductID >> 8 == 0x01;
}

bool Fixed3V3(quint16 ProductID) {
    return ProductID == LK600 || ProductID == MV800;
}

std::optional<qint32> MinimumFor(quint16 ProductID, const TMinVer& MinVer) {
    switch (ProductID) {
    case LK600:
        return MinVer.LK600;
    case MV800:
        return MinVer.MV800;
    case RM800:
        return MinVer.RM800;
    case LK620:
        return MinVer.LK620;
    case LK610:
        return MinVer.LK610;
    default:
        return std::nullopt;
    }
}

bool FirmwareCurrent(quint16 ProductID, quint32 Version, qint32 Minimum) {
    const quint32 compared = ProductID == RM800 ? (Version & 0xFF) : Version;
    return compared >= quint32(Minimum);
}

bool ReadMinVer(const TIniFile& File, TMinVer& MinVer) {
    struct TKey {
        const char* Name;
        qint32 TMinVer::*Field;
    };
    const TKey keys[] = {{"LK600", &TMinVer::LK600},
                         {"MV800", &TMinVer::MV800},
                         {"RM800", &TMinVer::RM800},
                         {"LK620", &TMinVer::LK620},
                         {"LK610", &TMinVer::LK610}};
    try {
        for (const TKey& key : keys)
            MinVer.*key.Field = HexToInt(File.ReadString("CT", key.Name, "0"));
    } catch (const EConvertError&) {
        return false;
    } catch (const EIniFileError&) {
        return false;
    }
    return true;
}

QString Description(bool RFModule, std::optional<quint32> Version, quint16 VendorID,
                    quint16 ProductID, const QString& SerialNumber) {
    QString text = QStringLiteral("Firmware Version : ");
    if (Version) {
        const QString h = Hex4(*Version);
        text += h.left(2) + '.' + h.mid(2, 2);
    } else {
        text += QStringLiteral("unknown");
    }
    if (RFModule) return text;
    return text + "\rVendor ID : " + Hex4(VendorID) + "\rProduct ID : " + Hex4(ProductID) +
           "\rSerial Number : " + SerialNumber;
}

TUpdaterEntry FindUpdaterEntry(const QStringList& Folders) {
    for (const QString& folder : Folders) {
        const QString path = folder + QStringLiteral("/Kelvra/Upflare.ini");
        if (!QFileInfo::exists(path)) continue;
        TUpdaterEntry entry;
        try {
            const TIniFile ini(path);
            const QString dir = ini.ReadString(UpdaterSection, "Install_Dir", QString());
            if (dir.isNull()) continue; // no entry of the updater in this file
            entry.Found = true;
            entry.InstallDir = dir;
        } catch (const EIniFileError&) {
            entry.Found = true;
            entry.ReadFailed = true;
        }
        return entry;
    }
    return {};
}

QString UpdaterProgram(const QString& InstallDir) {
    if (InstallDir.isEmpty() || !QFileInfo(InstallDir).isDir()) return {};
    return QStandardPaths::findExecutable(UpdaterProgramName, {InstallDir});
}

QString MinVerFile(const QString& InstallDir) {
    return QDir(InstallDir).filePath(QStringLiteral("minver.ini"));
}

} // namespace DongleAcceptance
