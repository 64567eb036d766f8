// The main window's side of the dongles: listing them as they come and go, accepting or
// refusing the selected one by model and firmware, the firmware updater, the link type and
// the supply voltage.
#include "MainUnit.h"

#include "CategoryPanel.h"
#include "HIDToolsErrorCodes.h"
#include "KelvraDevList.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "StreamSetupUnit.h"
#include "ToolTipManager.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>

using namespace DongleAcceptance;

namespace {
const QString Outdated = QStringLiteral("  -  OUTDATED");
const QString NoDongleHint =
    QStringLiteral("Plug in a Configuration Tool, or choose File > Plug Simulated Dongle to try "
                   "the application without one.");
} // namespace

void TPXS733MainForm::KelvraDevList1DeviceChange(bool /*Arrived*/) {
    // The tips wait for the first look at the dongles, so that a question about the dongle
    // is not hidden behind them.
    const auto showTips = qScopeGuard([this] {
        FDonglesChecked = true;
        if (std::exchange(FTipsWaiting, false))
            QMetaObject::invokeMethod(this, &TPXS733MainForm::ShowHintTips, Qt::QueuedConnection);
    });
    const auto recordControls =
        qScopeGuard([this] { UpdateRecordControls(); }); // the dongle listed
    DevListBox->KvrClear();
    Session->DevicesChanged();
    if (KelvraDevList1->HidDevices().Count == 0) {
        StreamingReset();
        if (!FUpdating) {
            MessageBox->KvrAddItem("No compatible device(s) connected!", aError);
            MessageBox->KvrAddItem(NoDongleHint, aInfo);
        }
    } else if (!CheckPresentDongle()) {
        return;
    }
    ApplySupplyRule();
    if (MessagesCategory->Collapsed()) MessagesCategory->Expand();
    Session->DongleReady();
}

bool TPXS733MainForm::CheckPresentDongle() {
    FValidFirmware = true;
    ReportUnopenableDongles();

    // Asked first: a failed reselection leaves no dongle selected.
    const bool wasSelected = KelvraHidTool1->DeviceSelected();
    // A run waiting for its dongle takes it back as soon as it is listed.
    const int waitedFor =
        Session->State().Waiting
            ? int(KelvraDevList1->HidDevices().SerialNumber.indexOf(Session->WaitingFor()))
            : -1;
    bool reselected = false;
    if (wasSelected && KelvraHidTool1->ReselectDevice() &&
        (waitedFor < 0 || KelvraHidTool1->CurrentDeviceIndex() == waitedFor)) {
        reselected = true;
    } else {
        if (wasSelected && !KelvraHidTool1->DeviceSelected()) {
            FInfoStr.clear();
            StreamingReset();
        }
        KelvraHidTool1->SetCurrentDevice(std::max(waitedFor, 0));
    }
    const int selected = KelvraHidTool1->CurrentDeviceIndex();
    // The simulated dongle's updater is the simulator's, whatever is installed.
    if (!FUpdaterInstalled || UpdaterFoldersForSelected() != FUpdaterFoldersUsed) FindUpdater();

    const QStringList names = KelvraDevList1->HidDevices().Name;
    if (!IsCompatible(KelvraHidTool1->ProductID())) {
        DevListBox->KvrAddStrings(names, aInfo);
        DevListBox->KvrSetItemIndex(selected);
        EnableStreamingButtons(false);
        FValidFirmware = false;
        return false;
    }

    bool rfDetected = false;
    bool rfError = false;
    if (!reselected) {
        MessageBox->KvrAddItem("Compatible device(s) detected", aInfo);
        QCoreApplication::processEvents();
        const quint16 result = KelvraHidTool1->DetectRFModule(rfDetected);
        if (rfDetected) MessageBox->KvrAddItem("RF module detected", aInfo);
        if (result != 0 && (result & 0xFF) != 0xFF) {
            MessageBox->KvrAddItem(GetErrorText(result), aError);
            rfError = true;
        }
    }

    DevListBox->KvrAddStrings(names, aInfo);
    if (rfDetected) DevListBox->item(selected)->setText(" Kelvra - RM800");
    DevListBox->KvrSetItemIndex(selected);
    if (reselected) return false;

    if (!FFirmwareCheck || rfError) {
        EnableStreamingButtons(true);
    } else {
        FProductID = rfDetected ? RM800 : KelvraHidTool1->ProductID();
        if (!FCheckVer) {
            MessageBox->KvrAddItem("", aError);
            MessageBox->KvrAddItem("Error checking USB Dongle firmware version!", aError);
            MessageBox->KvrAddItem("", aError);
            EnableStreamingButtons(false);
            FValidFirmware = false;
            FDialogs.Message(QMessageBox::Critical,
                             "Error checking USB Dongle firmware version!\nPlease reinstall the "
                             "application or contact Kelvra for support.",
                             QMessageBox::Ok);
            return false;
        }
        FirmwareDecision(rfDetected);
    }

    if (FProductID == LK510) {
        MessageBox->KvrAddItem("The LK510 is not supported by the application!", aError);
        FDialogs.Message(QMessageBox::Warning, "The LK510 is not supported by this application!",
                         QMessageBox::Ok);
        // A refused dongle starts nothing, not even from the keyboard.
        EnableStreamingButtons(false);
        FValidFirmware = false;
    }
    return true;
}

void TPXS733MainForm::FirmwareDecision(bool RFDetected) {
    std::optional<quint32> versionRead;
    if (const std::optional<qint32> minimum = MinimumFor(quint16(FProductID), FMinVer)) {
        quint32 version = 0;
        // A failed read is silent: the buttons keep their state.
        if (KelvraHidTool1->GetCTFWVersion(version) == 0) {
            FFirmwareVersion = version;
            versionRead = version;
            CheckFirmwareVersion(RFDetected, *minimum);
        }
    } else {
        EnableStreamingButtons(true);
        FDialogs.Message(QMessageBox::Warning,
                         "The connected Configuration Tool might not be fully supported by this "
                         "application!",
                         QMessageBox::Ok);
    }
    ToolTipManager1->RebuildToolTips();
    FInfoStr = Description(RFDetected, versionRead, KelvraHidTool1->VendorID(),
                           KelvraHidTool1->ProductID(), KelvraHidTool1->SerialNumber());
}

void TPXS733MainForm::CheckFirmwareVersion(bool RFDetected, qint32 Minimum) {
    if (FirmwareCurrent(quint16(FProductID), FFirmwareVersion, Minimum)) {
        if (FUpdating) {
            FUpdating = false;
            MessageBox->KvrAddItem("Firmware update completed", aInfo);
        }
        EnableStreamingButtons(true);
        return;
    }
    const QString versions = QStringLiteral("Installed firmware: %1; required: %2 or later.")
                                 .arg(Hex4(FFirmwareVersion), Hex4(quint32(Minimum)));
    MessageBox->KvrAddItem("USB Dongle firmware is outdated!", aError);
    if (QListWidgetItem* item = DevListBox->currentItem()) item->setText(item->text() + Outdated);
    EnableStreamingButtons(false);
    FValidFirmware = false;
    if (!FUpdaterInstalled) {
        FDialogs.Message(QMessageBox::Warning, "The connected USB Dongle firmware is outdated!",
                         QMessageBox::Ok, versions);
    } else if (!FUpdating) {
        const auto answer = FDialogs.Message(
            QMessageBox::Warning,
            "The connected USB Dongle firmware is outdated!\n\nDo you want to update the "
            "firmware now?",
            QMessageBox::Yes | QMessageBox::No, versions);
        if (answer != QMessageBox::Yes) return;
        if (RFDetected)
            FDialogs.Message(QMessageBox::Warning,
                             "Please turn off the RF Module and connect it directly to the USB "
                             "cable, click 'OK' to continue...",
                             QMessageBox::Ok);
        OfferUpdate();
    }
}

void TPXS733MainForm::OfferUpdate() {
    const QString program = UpdaterProgram(FUpdaterPath);
    // A launch that fails is silent: the next dongle change asks again.
    if (program.isEmpty() || !QProcess::startDetached(program, {})) return;
    FUpdating = true;
    MessageBox->KvrAddItem("Updating Firmware...", aInfo);
}

void TPXS733MainForm::FindUpdater() {
    FUpdaterFoldersUsed = UpdaterFoldersForSelected();
    const TUpdaterEntry entry = FindUpdaterEntry(FUpdaterFoldersUsed);
    if (entry.ReadFailed) {
        FUpdaterInstalled = false;
    } else if (entry.Found) {
        FUpdaterPath = entry.InstallDir;
        FUpdaterInstalled = !UpdaterProgram(FUpdaterPath).isEmpty();
    }
    FCheckVer = FUpdaterInstalled && QFileInfo::exists(MinVerFile(FUpdaterPath)) &&
                ReadMinVer(TIniFile(MinVerFile(FUpdaterPath)), FMinVer);
}

void TPXS733MainForm::StreamingReset() {
    Session->DongleGone();
    // The dongle it records is gone, streaming or not; a run waiting for it keeps recording.
    if (!Session->State().Waiting) StopRecording();
}

void TPXS733MainForm::EnableStreamingButtons(bool Enabled) {
    Session->SetDongleUsable(Enabled);
}

void TPXS733MainForm::ReportUnopenableDongles() {
    FReportedUnopenable.removeAll(nullptr);
    const TCTData& dongles = KelvraDevList1->HidDevices();
    for (int i = 0; i < dongles.Count; ++i) {
        THidDevice* device = dongles.Objects[i];
        if (device->IsOpen() || FReportedUnopenable.contains(device)) continue;
        FReportedUnopenable << device;
        QString line = dongles.Name[i] + " cannot be opened: " + device->OpenError() + '.';
        if (device->OpenError().contains("permission"))
            line += " Copy packaging/udev/70-kelvra-dongles.rules to /etc/udev/rules.d/, run "
                    "'udevadm control --reload' and 'udevadm trigger', then replug the dongle.";
        MessageBox->KvrAddItem(line, aError);
    }
}

void TPXS733MainForm::ApplySupplyRule() {
    if (Fixed3V3(KelvraHidTool1->ProductID()) && VoltageCombo->currentIndex() != 0) {
        VoltageCombo->setCurrentIndex(0);
        VoltageComboClick();
    }
    ShowRunState(); // the supply list is enabled for the dongles that can change it
}

void TPXS733MainForm::DevListBoxClick() {
    // The list shows the selected dongle; a click does not select another.
    const int selected = KelvraHidTool1->CurrentDeviceIndex();
    if (selected < DevListBox->count() && DevListBox->currentRow() != selected)
        DevListBox->KvrSetItemIndex(selected);
}

void TPXS733MainForm::OfferSimulatedDongle(TSimulatedDongleOffer Offer) {
    FSimulated = std::move(Offer);
    SimDongleItem->setVisible(true);
    ShowSimDongleItem();
}

void TPXS733MainForm::SimDongleItemClick() {
    FSimulated.Plugged = FSimulated.Plug(!FSimulated.Plugged);
    ShowSimDongleItem();
}

void TPXS733MainForm::ShowSimDongleItem() {
    SimDongleItem->setText(FSimulated.Plugged ? "Unplug Simulated Dongle"
                                              : "Plug Simulated Dongle");
}

const QStringList& TPXS733MainForm::UpdaterFoldersForSelected() const {
    const THidDevice* selected = KelvraHidTool1->CurrentDevice();
    const bool simulated =
        selected && FSimulated.IsSimulated && FSimulated.IsSimulated(selected->Info().Path);
    return simulated ? FSimulated.UpdaterFolders : FUpdaterFolders;
}
