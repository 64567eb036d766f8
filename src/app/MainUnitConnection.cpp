// The main window's side of the dongles: listing them as they come and go.
#include "MainUnit.h"

#include "KelvraDevList.h"
#include "KelvraHIDTool.h"
#include "KvrListBox.h"

void TPXS733MainForm::KelvraDevList1DeviceChange(bool /*Arrived*/) {
    DevListBox->KvrClear();
    DevListBox->KvrAddStrings(KelvraDevList1->HidDevices().Name, aInfo);
    DevListBox->KvrSetItemIndex(0);
    if (!KelvraHidTool1->ReselectDevice()) KelvraHidTool1->SetCurrentDevice(0);
}
