// The main window's live display: the balloon tips of its controls.
#include "MainUnit.h"

#include "KvrListBox.h"
#include "ToolTipManager.h"

#include <QAction>
#include <QPushButton>

void TPXS733MainForm::CreateToolTips() {
    ToolTipManager1 = new TToolTipManager(this);
    ToolTipManager1->setObjectName("ToolTipManager1");
    ToolTipManager1->SetCenterTip(true);
    ToolTipManager1->HidePause = 20000;
    ToolTipManager1->ReshowPause = 200;
    ToolTipManager1->OnBeforeShow = [this](TToolTipManager*, TToolTipItem* ToolTip) {
        ToolTipManager1BeforeShow(*ToolTip);
    };
    for (QWidget* control :
         {static_cast<QWidget*>(DevListBox), static_cast<QWidget*>(StartButton),
          static_cast<QWidget*>(PauseButton), static_cast<QWidget*>(ScopeButton),
          static_cast<QWidget*>(StreamSetupButton), static_cast<QWidget*>(StartTMButton)}) {
        TToolTipItem& item = ToolTipManager1->ToolTips.Add();
        item.IconType = control == StartTMButton ? ttiNone : ttiInformation;
        item.SetControl(control);
    }
    ToolTipManager1->RebuildToolTips();
}

void TPXS733MainForm::ToolTipManager1BeforeShow(TToolTipItem& ToolTip) {
    QWidget* control = ToolTip.Control();
    if (control == DevListBox) {
        // The dongle's description shows whatever the hover hints say.
        const bool listed = DevListBox->count() > 0;
        ToolTip.Title = listed ? DevListBox->item(0)->text().trimmed() : QString();
        ToolTip.Description = listed ? FInfoStr : QString();
        return;
    }
    if (!ShowHintsItem->isChecked()) {
        ToolTip.Title.clear();
        ToolTip.Description.clear();
        return;
    }
    if (control == StartButton) {
        if (!FIsStreaming) {
            ToolTip.Title = "Start Streaming (F1)";
            ToolTip.Description = "Start Streaming the PXS733";
        } else if (StartButton->text() == "Resume") {
            ToolTip.Title = "Resume Streaming (F1)";
            ToolTip.Description = "Exit Debug Mode and resume device streaming";
        } else {
            ToolTip.Title = "Stop Streaming (F1)";
            ToolTip.Description = "Stop device streaming (power remains on)";
        }
    } else if (control == PauseButton) {
        if (PauseButton->text() == "Pause") {
            ToolTip.Title = "Pause Streaming (F2)";
            ToolTip.Description = "Pause device data streaming (power remains on)";
        } else {
            ToolTip.Title = "Resume Streaming (F2)";
            ToolTip.Description = "Resume device data streaming";
        }
    } else if (control == ScopeButton) {
        ToolTip.Title = "Open Scope (F3)";
        ToolTip.Description = "Open the scope window";
    } else if (control == StreamSetupButton) {
        ToolTip.Title = "Streaming Setup";
        ToolTip.Description = "Setup the data that is streamed to the application";
    } else if (control == StartTMButton) {
        ToolTip.Title = "Start Streaming (Shift + F1)";
        ToolTip.Description =
            "\u201C2-wire Comms\u201D bit NOT programmed, but correct connection to IC required";
    }
}
