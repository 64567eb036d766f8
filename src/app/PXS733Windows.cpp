// Creation and destruction of the application's windows.
#include "AboutDialogUnit.h"
#include "HintTipsUnit.h"
#include "MainUnit.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "SnrUnit.h"
#include "StreamSetupUnit.h"

TPXS733Windows::TPXS733Windows(TModalDialogs& Dialogs, THidAccess& Hid,
                               const QStringList& UpdaterFolders) {
    MainForm = new TPXS733MainForm(Dialogs, Hid, UpdaterFolders);
    ScopeForm = new TScopeForm;
    StreamSetupForm = new TStreamSetupForm;
    SendCommands = new TSendCommands;
    AboutDialog = new TAboutDialog;
    HintTipsForm = new THintTipsForm;
    SnrForm = new TSnrForm;
    MainForm->BindWindows(*this);
}

TPXS733Windows::~TPXS733Windows() {
    delete SnrForm;
    delete HintTipsForm;
    delete AboutDialog;
    delete SendCommands;
    delete StreamSetupForm;
    delete ScopeForm;
    delete MainForm; // its destruction switches the IC off and may delete the settings
}
