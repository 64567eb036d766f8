#include "HidReportDescriptor.h"

#include <map>
#include <vector>

namespace {

enum ItemType { Main = 0, Global = 1 };
enum MainTag { Input = 0x8, Output = 0x9 };
enum GlobalTag { ReportSize = 0x7, ReportID = 0x8, ReportCount = 0x9, Push = 0xA, Pop = 0xB };
constexpr int MaxPushDepth = 32;
constexpr quint8 LongItemPrefix = 0xFE;

struct GlobalState {
    quint32 reportSize = 0;
    quint32 reportCount = 0;
    quint32 reportId = 0;
};

int BytesOf(const std::map<quint32, quint64>& bitsById) {
    quint64 longest = 0;
    for (const auto& [id, bits] : bitsById)
        longest = std::max(longest, bits);
    return longest == 0 ? 0 : int(std::min<quint64>((longest + 7) / 8, 1 << 20)) + 1;
}

} // namespace

std::optional<THidReportLengths> ParseReportDescriptor(const quint8* Data, int Size) {
    if (!Data || Size <= 0) return std::nullopt;
    GlobalState state;
    std::vector<GlobalState> stack;
    std::map<quint32, quint64> inputBits, outputBits;
    bool numbered = false;

    for (int pos = 0; pos < Size;) {
        const quint8 prefix = Data[pos];
        if (prefix == LongItemPrefix) {
            if (pos + 1 >= Size) return std::nullopt;
            pos += 3 + Data[pos + 1];
            continue;
        }
        const int dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (pos + 1 + dataSize > Size) return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < dataSize; ++i)
            value |= quint32(Data[pos + 1 + i]) << (8 * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        pos += 1 + dataSize;

        if (type == Global) {
            switch (tag) {
            case ReportSize:
                state.reportSize = value;
                break;
            case ReportCount:
                state.reportCount = value;
                break;
            case ReportID:
                state.reportId = value;
                numbered = true;
                break;
            case Push:
                if (stack.size() >= MaxPushDepth) return std::nullopt;
                stack.push_back(state);
                break;
            case Pop:
                if (stack.empty()) return std::nullopt;
                state = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == Main && (tag == Input || tag == Output)) {
            auto& bits = tag == Input ? inputBits : outputBits;
            bits[state.reportId] += quint64(state.reportSize) * state.reportCount;
        }
    }
    return THidReportLengths{BytesOf(inputBits), BytesOf(outputBits), numbered};
}
