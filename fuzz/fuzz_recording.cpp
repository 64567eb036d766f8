// Reads arbitrary bytes as a recording to replay: the header, the rows, the first bad line.
// A prefix of a valid header is put in front of some inputs, so that the rows are reached.
#include "Recording.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    QByteArray text(reinterpret_cast<const char*>(Data), qsizetype(Size));
    if (Size > 0 && Data[0] % 2 == 0) text = Recording::Header({}) + text.mid(1);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    Recording::TReader reader(buffer);
    while (const std::optional<Recording::TRow> row = reader.Next())
        if (row->Raw.size() <= 3 || row->Lost < 0 || row->Lost > 255) __builtin_trap();
    return 0;
}
