#pragma once

#include "MainUnit.h"
#include "ModalDialogs.h"
#include "SimHidAccess.h"
#include "SimUpdater.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"

#include <QApplication>

#include <memory>

// Dialogs answered at once; a save dialog answers SavePath.
struct QuietDialogs : TModalDialogs {
    QString SavePath;
    int Exec(QDialog&) override { return 0; }
    QMessageBox::StandardButton Message(QMessageBox::Icon, const QString&,
                                        QMessageBox::StandardButtons, const QString&) override {
        return QMessageBox::Ok;
    }
    TSaveAnswer SaveFileName(const TSaveRequest& Request) override {
        return {SavePath, Request.Filters.value(0)};
    }
};

// The application, shown, with an accepted dongle whose pace the benchmark drives.
struct Application {
    QuietDialogs dialogs;
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle;
    std::unique_ptr<TSimUpdater> updater;
    std::unique_ptr<TPXS733Windows> windows;
    TPXS733MainForm* form;

    explicit Application(int Rate,
                         std::shared_ptr<TVirtualPXS733> IC = std::make_shared<TVirtualPXS733>()) {
        TVirtualDongleConfig config;
        config.SampleRate = Rate;
        dongle = std::make_shared<TVirtualDongle>(config, std::move(IC));
        dongle->SetAutoPump(false);
        updater = std::make_unique<TSimUpdater>(hid, dongle, config.Firmware);
        windows =
            std::make_unique<TPXS733Windows>(dialogs, hid, QStringList{updater->ConfigFolder()});
        form = windows->MainForm;
        hid.Plug(dongle);
        form->show();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    ~Application() {
        if (form->Session->State().Streaming) form->PowerButtonClick();
    }
};
