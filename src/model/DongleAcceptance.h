#pragma once

#include "IniFile.h"

#include <QString>
#include <QStringList>

#include <optional>

// The rules by which the main window accepts or refuses a dongle: its model from the USB
// product ID, its firmware against the minimum version of that model, and the firmware
// updater that installs those minimum versions.
namespace DongleAcceptance {

inline constexpr quint16 LK510 = 0x0101;
inline constexpr quint16 LK600 = 0x0102;
inline constexpr quint16 MV800 = 0x0103;
inline constexpr quint16 RM800 = 0x0104; // recorded whenever an RF module is detected
inline constexpr quint16 LK620 = 0x0105;
inline constexpr quint16 LK610 = 0x0108;

// Every dongle of the maker has a product ID with high byte 0x01.
bool IsCompatible(quint16 ProductID);
// The models that cannot supply 1.8 V to the IC.
bool Fixed3V3(quint16 ProductID);

// The minimum firmware version of each model, as the updater's minver.ini gives them.
struct TMinVer {
    qint32 LK600 = 0;
    qint32 MV800 = 0;
    qint32 RM800 = 0;
    qint32 LK620 = 0;
    qint32 LK610 = 0;
};
// The minimum of a product ID, or nothing for a model without a key (the LK510, unknown ones).
std::optional<qint32> MinimumFor(quint16 ProductID, const TMinVer& MinVer);
// Whether a firmware version is at least its model's minimum: the whole version compared
// unsigned, or its low byte only for the RF module.
bool FirmwareCurrent(quint16 ProductID, quint32 Version, qint32 Minimum);

// Reads section "CT" of a minver.ini: hexadecimal values, a missing key "0". A value that is
// not a hexadecimal number stops the reading (the fields read before it keep their values);
// the result tells whether all five were read.
bool ReadMinVer(const TIniFile& File, TMinVer& MinVer);

// The dongle's description for its balloon; lines are separated by a carriage return.
// Version is nothing when no version was read from this dongle.
QString Description(bool RFModule, std::optional<quint32> Version, quint16 VendorID,
                    quint16 ProductID, const QString& SerialNumber);

// Where the firmware updater is installed, as the first Kelvra/Upflare.ini among Folders
// (section "Kelvra_Upflare", key "Install_Dir") says.
struct TUpdaterEntry {
    bool Found = false; // an entry of the updater exists
    bool ReadFailed = false;
    QString InstallDir;
};
TUpdaterEntry FindUpdaterEntry(const QStringList& Folders);
// The updater's program in its folder, executable; empty when there is none.
QString UpdaterProgram(const QString& InstallDir);
// The updater's minimum-version file in its folder.
QString MinVerFile(const QString& InstallDir);

// A firmware version or USB ID as four hexadecimal digits: "0105".
QString Hex4(quint32 Value);

} // namespace DongleAcceptance
