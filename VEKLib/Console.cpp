#include "VEKLib/Console.h"

#include <cstdlib>
#include <streambuf>
#include <string>

#include "platform/Console.h"
#include "platform/Utf8.h"

namespace vek {

namespace {

// Collects wide units and hands them to the console as UTF-8, a line at a
// time. A high surrogate waits for its partner so pairs are never split.
class CUtf8ConsoleBuf final : public std::wstreambuf {
public:
    explicit CUtf8ConsoleBuf(int fd) : m_fd(fd) {}
    ~CUtf8ConsoleBuf() override { Flush(true); }

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) {
            return traits_type::not_eof(ch);
        }
        m_pending += traits_type::to_char_type(ch);
        if (ch == L'\n' || m_pending.size() >= 4096) {
            Flush(false);
        }
        return ch;
    }
    std::streamsize xsputn(const wchar_t* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) {
            overflow(traits_type::to_int_type(s[i]));
        }
        return n;
    }
    int sync() override {
        Flush(false);
        return 0;
    }

private:
    void Flush(bool all) {
        size_t n = m_pending.size();
        if (!all && n > 0) {
            const wchar_t last = m_pending[n - 1];
            if (last >= 0xD800 && last <= 0xDBFF) {
                --n;
            }
        }
        if (n == 0) {
            return;
        }
        platform::Console().Write(m_fd, platform::ToUtf8(std::wstring_view(m_pending).substr(0, n)));
        m_pending.erase(0, n);
    }

    int m_fd;
    std::wstring m_pending;
};

struct CConsoleStream {
    explicit CConsoleStream(int fd) : buf(fd), stream(&buf) {}
    CUtf8ConsoleBuf buf;
    std::wostream stream;
};

// Console colour state.
platform::ConsoleHandle g_handle = platform::kInvalidHandle;
uint16_t g_savedAttributes = 0;
bool g_colorsEnabled = true;
bool g_cleanupRegistered = false;

void RestoreAtExit() { SetConsoleColor(0); }

// Steps shared by SetConsoleColor and the manipulators: take the handle and
// save the attributes on first use. False when colours cannot be set now.
bool PrepareConsole() {
    if (!g_colorsEnabled) {
        return false;
    }
    if (g_handle == platform::kInvalidHandle) {
        g_handle = platform::Console().GetStdHandle(1);
        if (g_handle == platform::kInvalidHandle) {
            return false;
        }
        g_savedAttributes = platform::Console().GetTextAttributes(g_handle);
        if (!g_cleanupRegistered) {
            g_cleanupRegistered = true;
            // Built before the handler is registered, so it outlives it.
            ConsoleOut();
            std::atexit(RestoreAtExit);
        }
    }
    return true;
}

void SetAttributes(uint16_t attributes) {
    // Text already written must come out in the colour it was written in.
    ConsoleOut().flush();
    platform::Console().SetTextAttributes(g_handle, attributes);
}

std::wostream& Manipulate(std::wostream& os, uint16_t attributes) {
    if (&os != &ConsoleOut()) {
        return os;
    }
    os.flush();
    if (PrepareConsole()) {
        SetAttributes(attributes);
    }
    return os;
}

} // namespace

std::wostream& ConsoleOut() {
    static CConsoleStream s(1);
    return s.stream;
}

std::wostream& ConsoleErr() {
    static CConsoleStream s(2);
    return s.stream;
}

void SetConsoleColor(int color) {
    if (!PrepareConsole()) {
        return;
    }
    static constexpr uint16_t kAttributes[15] = {0, 15, 4, 2, 1, 3, 5, 6, 12, 10, 9, 11, 13, 14, 7};
    uint16_t attributes = 0;
    if (color == 0) {
        attributes = g_savedAttributes;
    } else if (color > 0 && color < 15) {
        attributes = kAttributes[color];
    }
    SetAttributes(attributes);
}

void EnableConsoleColors(bool enable) { g_colorsEnabled = enable; }

void ResetConsoleState() {
    g_handle = platform::kInvalidHandle;
    g_savedAttributes = 0;
}

std::wostream& ConsoleDefault(std::wostream& os) {
    if (&os != &ConsoleOut()) {
        return os;
    }
    os.flush();
    SetConsoleColor(0);
    return os;
}

std::wostream& ConsoleRed(std::wostream& os) { return Manipulate(os, 12); }
std::wostream& ConsoleGreen(std::wostream& os) { return Manipulate(os, 10); }
std::wostream& ConsoleYellow(std::wostream& os) { return Manipulate(os, 14); }
std::wostream& ConsoleDarkYellow(std::wostream& os) { return Manipulate(os, 6); }
std::wostream& ConsoleCyan(std::wostream& os) { return Manipulate(os, 11); }

} // namespace vek
