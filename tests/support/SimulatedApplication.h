#pragma once

#include "KvrListBox.h"
#include "MainUnit.h"
#include "SimHidAccess.h"
#include "SimUpdater.h"
#include "TestDialogs.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>

#include <memory>

// The application with an accepted, current LK620 (it can supply 1.8 V) driving a virtual
// PXS733.
struct Application {
    TTestDialogs dialogs;
    TSimHidAccess hid;
    std::shared_ptr<TVirtualPXS733> ic;
    std::shared_ptr<TVirtualDongle> dongle;
    std::unique_ptr<TSimUpdater> updater;
    std::unique_ptr<TPXS733Windows> windows;
    TPXS733MainForm* form = nullptr;

    explicit Application(std::shared_ptr<TVirtualPXS733> IC = std::make_shared<TVirtualPXS733>(),
                         int SampleRate = TVirtualDongleConfig{}.SampleRate)
        : ic(std::move(IC)) {
        TVirtualDongleConfig config;
        config.SampleRate = SampleRate;
        config.ProductID = 0x0105;
        config.Product = "Kelvra LK620";
        dongle = std::make_shared<TVirtualDongle>(config, ic);
        updater = std::make_unique<TSimUpdater>(hid, dongle, config.Firmware);
        windows =
            std::make_unique<TPXS733Windows>(dialogs, hid, QStringList{updater->ConfigFolder()});
        form = windows->MainForm;
        hid.Plug(dongle);
        Settle();
    }
    ~Application() {
        if (form->Session->State().Streaming) form->PowerButtonClick();
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    QString LastMessage() const {
        const int n = form->MessageBox->count();
        return n ? form->MessageBox->item(n - 1)->text().trimmed() : QString();
    }
    QStringList Messages() const {
        QStringList lines;
        for (int i = 0; i < form->MessageBox->count(); ++i)
            lines << form->MessageBox->item(i)->text().trimmed();
        return lines;
    }
    void Fail(quint8 Code, quint16 Error) {
        TDongleFaults faults = dongle->Faults();
        faults.ErrorForCommand[Code] = Error;
        dongle->SetFaults(faults);
    }
    // The captions and enabled states of the state table, with the flags.
    QString State() const {
        TPXS733MainForm& f = *form;
        return QStringLiteral("%1/%2/%3:%4/%5/%6 %7%8%9%10")
            .arg(f.StartButton->text())
            .arg(f.StartTMButton->isEnabled() ? "tm" : "-")
            .arg(f.PauseButton->text())
            .arg(f.PauseButton->isEnabled() ? "on" : "off")
            .arg(f.PowerButton->text())
            .arg(f.CommsCombo->isEnabled() ? "link" : "-")
            .arg(f.Session->State().CTSetup ? "S" : "-")
            .arg(f.Session->State().PowerOn ? "P" : "-")
            .arg(f.Session->State().Streaming ? "T" : "-")
            .arg(f.Session->State().Paused ? "Z" : "-");
    }
};
