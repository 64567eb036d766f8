#pragma once

#include "EventLoop.h"
#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <memory>

// Virtual devices for the transport tests.
inline std::shared_ptr<TVirtualDongle> MakeDongle(const QString& Serial = "S1",
                                                  quint16 ProductID = 0x0102,
                                                  const QString& Product = "Kelvra LK600",
                                                  quint8 ToolID = 0) {
    TVirtualDongleConfig config;
    config.Serial = Serial;
    config.ProductID = ProductID;
    config.Product = Product;
    config.ToolID = ToolID;
    return std::make_shared<TVirtualDongle>(config);
}

inline std::shared_ptr<TSimHidDevice> MakeHidDevice(quint16 VendorID, quint16 ProductID,
                                                    const QString& Product) {
    THidDeviceInfo info;
    info.VendorID = VendorID;
    info.ProductID = ProductID;
    info.ProductString = Product;
    return std::make_shared<TSimHidDevice>(info);
}

inline std::shared_ptr<TSimHidDevice> MakeKeyboard() {
    return MakeHidDevice(0x046D, 0xC31C, "USB Keyboard");
}

// Changes some of a dongle's faults.
inline void ChangeFaults(TVirtualDongle& Dongle,
                         const std::function<void(TDongleFaults&)>& Change) {
    TDongleFaults faults = Dongle.Faults();
    Change(faults);
    Dongle.SetFaults(faults);
}
