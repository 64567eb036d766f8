// The main window's run control of the IC: the streaming set-up and the restart after it.
#include "MainUnit.h"

#include "HIDToolsErrorCodes.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "StreamSetupUnit.h"

void TPXS733MainForm::StreamSetupButtonClick() {
    FDialogs.Exec(*FWindows->StreamSetupForm);
    RestartStreaming();
}

void TPXS733MainForm::RestartStreaming() {
    if (!FIsStreaming) return;
    quint16 result = PXS731Device1->StopStreaming();
    if (result != 0) {
        MessageBox->KvrAddItem(GetErrorText(result), aError);
        return;
    }
    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    result = PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes());
    if (result != 0) MessageBox->KvrAddItem(GetErrorText(result), aError);
}

void TPXS733MainForm::StreamSetupMessage(const QString& Text, TKvrItemType Kind) {
    MessageBox->KvrAddItem(Text, Kind);
}

bool TPXS733MainForm::BaselineViewOn() const {
    return FDeltaOnly;
}
