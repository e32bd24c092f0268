// The entry of a benchmark that has no main of its own: the library's usual one, printing
// through ConsoleOutput.
#include "bench/common/ConsoleOutput.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchkit::RunBenchmarks();
    benchmark::Shutdown();
    return 0;
}
