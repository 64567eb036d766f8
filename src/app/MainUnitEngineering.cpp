// The main window's engineering tools: the IC's version read.
#include "MainUnit.h"

#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "StreamSetupUnit.h"

#include <QLabel>

namespace {
QString TwoDigits(quint8 Byte) {
    return QString::number(Byte, 16).toUpper().rightJustified(2, '0');
}
} // namespace

bool TPXS733MainForm::ReadDeviceVersion() {
    if (!CheckDevicePower()) return false;
    if (FIsStreaming && !Report(PXS731Device1->StopStreaming())) return false;
    TKvrByteArray read{};
    if (!Report(KelvraHidTool1->I2CRead(quint8(0x00), 2, read))) return false;
    if (FIsStreaming) {
        const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
        if (!Report(
                PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes())))
            return false;
    }
    const QString text = TwoDigits(read[0]) + " : " + TwoDigits(read[1]);
    VersionLbl2->setText(text);
    MessageBox->KvrAddItem("Device Version (PROD:SW):  " + text, aInfo);
    return true;
}
