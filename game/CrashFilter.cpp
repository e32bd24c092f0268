#include "game/CrashFilter.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "shell/foundation/Log.h"
#include "shell/platform/CrashSignals.h"

namespace game {

namespace {

// Appends text to a fixed buffer without allocating; answers the new length.
std::size_t Append(char* out, std::size_t length, std::size_t capacity, const char* text) {
    while (*text && length + 1 < capacity) out[length++] = *text++;
    out[length] = '\0';
    return length;
}

constexpr const char* kUpperHex = "0123456789ABCDEF";
constexpr const char* kLowerHex = "0123456789abcdef";

// Hexadecimal with the given digits, at least `minDigits` of them.
std::size_t AppendHex(char* out, std::size_t length, std::size_t capacity, std::uintptr_t value, int minDigits,
                      const char* alphabet) {
    char digits[2 * sizeof value + 1];
    int n = 0;
    do {
        digits[n++] = alphabet[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (n < minDigits) digits[n++] = '0';
    while (n > 0 && length + 1 < capacity) out[length++] = digits[--n];
    out[length] = '\0';
    return length;
}

// One call per piece, to the log and to the debugger output.
void Write(const char* text) {
    const std::size_t size = std::strlen(text);
    pf::WriteAllToDescriptor(pf::LogFileDescriptor(), text, size);
    pf::WriteAllToDescriptor(pf::StandardErrorDescriptor(), text, size);
}

[[noreturn]] void OnTerminate() {
    // Name what escaped; the abort then reports the fault itself.
    if (std::exception_ptr pending = std::current_exception()) {
        Write("\nUnhandled exception: ");
        try {
            std::rethrow_exception(pending);
        } catch (const std::exception& e) {
            Write(e.what());
        } catch (...) {
            Write("(not a standard exception)");
        }
        Write("\n");
    }
    std::abort();
}

}  // namespace

void LogUnhandledException(unsigned code, std::uintptr_t address) {
    char codeLine[64];
    std::size_t n = Append(codeLine, 0, sizeof codeLine, "Exception code: ");
    n = AppendHex(codeLine, n, sizeof codeLine, code, 1, kUpperHex);
    Append(codeLine, n, sizeof codeLine, "\n");
    char addressLine[64];
    n = Append(addressLine, 0, sizeof addressLine, "Exception address: 0x");
    n = AppendHex(addressLine, n, sizeof addressLine, address, 2, kLowerHex);
    Append(addressLine, n, sizeof addressLine, "\n");

    Write("\n==  ==  ==  ==  ==  ==  ===\n");
    Write("Exception happened!\n");
    Write(codeLine);
    Write(addressLine);
    Write("==  ==  ==  ==  ==  ==  ===\n\n");
}

void InstallCrashFilter() {
    pf::InstallCrashSignals(&LogUnhandledException);
    std::set_terminate(&OnTerminate);
}

}  // namespace game
