#pragma once

#include <QtGlobal>

#include <optional>

// Report lengths as the application counts them: the longest report of each kind in bytes,
// plus one for the report-ID byte.
struct THidReportLengths {
    int Input = 0;
    int Output = 0;
    bool NumberedReports = false; // the device puts a report ID in front of its reports
};

// Reads the lengths from a HID report descriptor; nothing for a malformed descriptor.
std::optional<THidReportLengths> ParseReportDescriptor(const quint8* Data, int Size);
