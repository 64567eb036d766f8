#include "HidApiAccess.h"

#include "HidReportDescriptor.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <unistd.h>

namespace {

constexpr int DefaultReportLength = 64 + 1; // 64 data bytes and the report-ID byte
constexpr int PollIntervalMs = 1000;
constexpr int DebounceMs = 100;
constexpr int MaxFlushReads = 256; // a hidraw queue holds 64 reports

QString FromWide(const wchar_t* Text) {
    return Text ? QString::fromWCharArray(Text) : QString();
}

// The report descriptor of a hidraw node, from sysfs.
std::optional<THidReportLengths> ReportLengthsOf(const QString& Path) {
    const QString node = QFileInfo(Path).fileName();
    QFile file("/sys/class/hidraw/" + node + "/device/report_descriptor");
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(4096);
    return ParseReportDescriptor(reinterpret_cast<const quint8*>(bytes.constData()),
                                 int(bytes.size()));
}

// Why a node cannot be opened, in words the user can act on.
QString OpenFailureReason(const QString& Path) {
    const int fd = ::open(QFile::encodeName(Path).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return QStringLiteral("cannot be opened");
    }
    switch (errno) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied (install the udev rule for the dongles)");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("device gone");
    case EBUSY:
        return QStringLiteral("device busy");
    default:
        return QString::fromLocal8Bit(std::strerror(errno));
    }
}

class THidApiHandle : public THidHandle {
public:
    THidApiHandle(hid_device* Device, bool NumberedReports)
        : FDevice(Device), FNumbered(NumberedReports) {}
    ~THidApiHandle() override { hid_close(FDevice); }

    bool Flush() override {
        unsigned char scratch[1024];
        for (int i = 0; i < MaxFlushReads; ++i) {
            const int n = hid_read_timeout(FDevice, scratch, sizeof scratch, 0);
            if (n < 0) return false;
            if (n == 0) return true;
        }
        return true;
    }

    bool Write(const quint8* Data, int Length) override {
        return hid_write(FDevice, Data, size_t(Length)) >= 0;
    }

    int Read(quint8* Data, int Length, int TimeoutMs) override {
        if (FNumbered) return hid_read_timeout(FDevice, Data, size_t(Length), TimeoutMs);
        // Unnumbered reports come without their ID byte; put the 0 in front.
        if (Length < 1) return -1;
        const int n = hid_read_timeout(FDevice, Data + 1, size_t(Length - 1), TimeoutMs);
        if (n <= 0) return n;
        Data[0] = 0;
        return n + 1;
    }

private:
    hid_device* FDevice;
    bool FNumbered;
};

} // namespace

THidApiAccess::THidApiAccess(QObject* Parent) : QObject(Parent), FDebounce(new QTimer(this)) {
    hid_init();
    FDebounce->setSingleShot(true);
    FDebounce->setInterval(DebounceMs);
    connect(FDebounce, &QTimer::timeout, this, &THidApiAccess::NotifyChanged);
    StartMonitor();
}

THidApiAccess::~THidApiAccess() {
    delete FNotifier;
    if (FMonitor) udev_monitor_unref(FMonitor);
    if (FUdev) udev_unref(FUdev);
    hid_exit();
}

void THidApiAccess::StartMonitor() {
    FUdev = udev_new();
    if (FUdev) FMonitor = udev_monitor_new_from_netlink(FUdev, "udev");
    if (FMonitor &&
        udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(FMonitor) >= 0) {
        FNotifier = new QSocketNotifier(udev_monitor_get_fd(FMonitor), QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, &THidApiAccess::UdevEvent);
        return;
    }
    // No udev: look again every second; a pass that finds no change reports nothing.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &THidApiAccess::NotifyChanged);
    poll->start(PollIntervalMs);
}

void THidApiAccess::UdevEvent() {
    while (udev_device* device = udev_monitor_receive_device(FMonitor))
        udev_device_unref(device);
    FDebounce->start(); // one pass for a burst of events
}

void THidApiAccess::NotifyChanged() {
    if (OnDevicesChanged) OnDevicesChanged();
}

QList<THidDeviceInfo> THidApiAccess::Enumerate() {
    QList<THidDeviceInfo> devices;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d; d = d->next) {
        const QString path = QString::fromLocal8Bit(d->path);
        const bool seen = std::any_of(devices.begin(), devices.end(),
                                      [&](const THidDeviceInfo& i) { return i.Path == path; });
        if (seen) continue; // one entry per interface, whatever its number of usages
        THidDeviceInfo info;
        info.Path = path;
        info.VendorID = d->vendor_id;
        info.ProductID = d->product_id;
        info.ProductString = FromWide(d->product_string);
        info.SerialNumber = FromWide(d->serial_number);
        const auto lengths = ReportLengthsOf(path);
        info.InputReportByteLength = lengths ? lengths->Input : DefaultReportLength;
        info.OutputReportByteLength = lengths ? lengths->Output : DefaultReportLength;
        devices.append(info);
    }
    hid_free_enumeration(list);
    return devices;
}

std::unique_ptr<THidHandle> THidApiAccess::Open(const QString& Path, QString& Error) {
    hid_device* device = hid_open_path(QFile::encodeName(Path).constData());
    if (!device) {
        Error = OpenFailureReason(Path);
        return nullptr;
    }
    const auto lengths = ReportLengthsOf(Path);
    return std::make_unique<THidApiHandle>(device, lengths && lengths->NumberedReports);
}
