#include "app/command_line_export.h"

#include <cstdio>

#include "exchange/exchange_error.h"
#include "exchange/export.h"

int RunExportCommand(const CommandLine& line) {
    if (!line.exportRequest) {
        std::fprintf(stderr, "%s\n", line.exportError.toUtf8().constData());
        return 2;
    }
    const ExportRequest& request = *line.exportRequest;
    exchange::ExportOptions options;
    options.timestamps = request.timestamps;
    try {
        exchange::ConvertFile(request.in, request.out, request.participants, options);
    } catch (const exchange::ExchangeError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
