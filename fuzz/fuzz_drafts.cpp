// The draft readers on arbitrary bytes: any file is read whole or refused with a message,
// and a draft that was read becomes transcript text that the subtitle writers take.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "exchange/draft.h"
#include "exchange/exchange_error.h"
#include "exchange/export.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::vector<exchange::Segment> segments;
    try {
        segments = exchange::ReadDraft(exchange::DecodeTextBytes(bytes));
    } catch (const exchange::ExchangeError& e) {
        if (e.message().isEmpty()) std::abort();
        return 0;
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const exchange::Segment& s = segments[i];
        if (s.text.isEmpty() || s.end < s.start || (i > 0 && s.start < segments[i - 1].start))
            std::abort();
    }
    const QString text = exchange::DraftText(segments, {QStringLiteral("Анна")}, {});
    try {
        exchange::ExportBytes(text, {{QStringLiteral("Анна"), 0}}, exchange::ExportFormat::Vtt, {});
    } catch (const exchange::ExchangeError&) {
        // A segment's own text may hold a timestamp earlier than its start: said, not a fault.
    }
    return 0;
}
