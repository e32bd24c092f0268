// The benchmark library's console table as every benchmark prints it: in colour only on a
// terminal (never escape codes in a file or a pipe), and with the library's warning about
// its own debug build said for what it is.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>

namespace benchkit {

// Colour when standard output is a terminal that is not "dumb" (the library itself looks
// only at TERM, so its colours reach redirected output).
inline bool StdoutTakesColour() {
    const char* term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) == 1 && term && *term && std::strcmp(term, "dumb") != 0;
}

// What stands in the context block for the system library's "Library was built as DEBUG"
// line: the library Debian ships keeps its assertions, which says nothing of the code
// measured here.
inline std::string DebugLibraryNote() {
#ifdef NDEBUG
    return "Note: the system's benchmark library (libbenchmark) is a debug build; that concerns its own\n"
           "bookkeeping only: this benchmark and the engine it measures are built without assertions.\n";
#else
    return "***WARNING*** this benchmark and the engine are built with assertions (not Release): their\n"
           "figures are not the game's; build them with -DCMAKE_BUILD_TYPE=Release.\n";
#endif
}

class ConsoleOutput : public benchmark::ConsoleReporter {
public:
    explicit ConsoleOutput(bool tabular = false)
        : ConsoleReporter(OutputOptions((StdoutTakesColour() ? OO_Color : OO_None) | (tabular ? OO_Tabular : OO_None))) {}

    bool ReportContext(const Context& context) override {
        std::ostream& err = GetErrorStream();
        std::ostringstream block;
        SetErrorStream(&block);
        const bool ok = ConsoleReporter::ReportContext(context);
        SetErrorStream(&err);
        std::string text = block.str();
        const std::string warning = "***WARNING*** Library was built as DEBUG. Timings may be affected.\n";
        const size_t at = text.find(warning);
        if (at != std::string::npos) text.replace(at, warning.size(), DebugLibraryNote());
        err << text;
        return ok;
    }
};

// benchmark::RunSpecifiedBenchmarks through ConsoleOutput (the --benchmark_out file, when
// asked for, is written as the library writes it).
inline size_t RunBenchmarks() {
    ConsoleOutput output;
    return benchmark::RunSpecifiedBenchmarks(&output);
}

}  // namespace benchkit
