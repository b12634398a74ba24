// A small Windows console encoder for the driver's tests.
//
//   testenc [switches] OUTPUT          reads PCM from standard input
//   testenc [switches] SOURCE OUTPUT   copies a finished file
//
// Switches: -wav (write the PCM as a 44,100 Hz 16-bit stereo WAV file),
// -die N (exit with code 3 after N input bytes), -exit N (exit code at the
// end), -noise N (print N bytes to standard error first), -sleep MS (wait
// before ending), -hold MS (keep the written output open that long before
// closing it), -stall MS (read no input for that long first, as an encoder
// that hangs), -quit (end at once), -nowrite (produce no output).
// Anything else starting with '-' is ignored, as encoders ignore options
// meant for others.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Put32(std::vector<char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}

std::vector<char> WavHeader(std::uint32_t dataBytes) {
    std::vector<char> h(44, 0);
    std::memcpy(&h[0], "RIFF", 4);
    Put32(h, 4, 36 + dataBytes);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    Put32(h, 16, 16);
    h[20] = 1;
    h[22] = 2;
    Put32(h, 24, 44100);
    Put32(h, 28, 176400);
    h[32] = 4;
    h[34] = 16;
    std::memcpy(&h[36], "data", 4);
    Put32(h, 40, dataBytes);
    return h;
}

bool WriteAll(HANDLE h, const char* p, DWORD n) {
    while (n > 0) {
        DWORD done = 0;
        if (!WriteFile(h, p, n, &done, nullptr) || done == 0) return false;
        p += done;
        n -= done;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool wav = false, quit = false, nowrite = false;
    long long dieAfter = -1;
    int exitCode = 0, sleepMs = 0, holdMs = 0, stallMs = 0;
    long noise = 0;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() { return i + 1 < argc ? std::atoll(argv[++i]) : 0; };
        if (a == "-wav") wav = true;
        else if (a == "-die") dieAfter = next();
        else if (a == "-exit") exitCode = int(next());
        else if (a == "-noise") noise = long(next());
        else if (a == "-sleep") sleepMs = int(next());
        else if (a == "-hold") holdMs = int(next());
        else if (a == "-stall") stallMs = int(next());
        else if (a == "-quit") quit = true;
        else if (a == "-nowrite") nowrite = true;
        else if (a == "-" || a.empty() || a[0] != '-') files.push_back(a);
    }
    if (quit) return exitCode;
    // "-" stands for the standard input in encoders' option strings.
    std::vector<std::string> names;
    for (const auto& f : files)
        if (f != "-") names.push_back(f);
    if (names.empty()) return 2;

    if (noise > 0) {
        std::string junk(std::size_t(noise), 'x');
        WriteAll(GetStdHandle(STD_ERROR_HANDLE), junk.data(), DWORD(junk.size()));
    }

    if (stallMs > 0) Sleep(DWORD(stallMs));
    std::vector<char> data;
    if (names.size() >= 2) {
        HANDLE in = CreateFileA(names[0].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE) return 4;
        char buf[65536];
        DWORD got = 0;
        while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) data.insert(data.end(), buf, buf + got);
        CloseHandle(in);
    } else {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        char buf[16384];
        DWORD got = 0;
        while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
            data.insert(data.end(), buf, buf + got);
            if (dieAfter >= 0 && (long long)data.size() >= dieAfter) ExitProcess(3);
        }
    }
    if (sleepMs > 0) Sleep(DWORD(sleepMs));
    if (nowrite) return exitCode;

    HANDLE out = CreateFileA(names.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) return 5;
    bool ok = true;
    if (wav) {
        const auto h = WavHeader(std::uint32_t(data.size()));
        ok = WriteAll(out, h.data(), DWORD(h.size()));
    }
    ok = ok && WriteAll(out, data.data(), DWORD(data.size()));
    if (holdMs > 0) Sleep(DWORD(holdMs));
    CloseHandle(out);
    return ok ? exitCode : 6;
}
