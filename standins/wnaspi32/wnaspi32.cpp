// WNASPI32.DLL stand-in: the two ASPI entry points over the emulated drives.
//
// The configuration is the INI file named by the environment variable
// WX_ASPI_CONFIG, else "wnaspi32.ini" beside this DLL; without either, one
// drive serves "demo\demo.cue" beside this DLL.  WX_ASPI_LOG names a request
// log that overrides the file's own.  When the configuration file changes,
// the next GetASPI32SupportInfo rebuilds everything, and the next TEST UNIT
// READY swaps the discs whose Image= changed (a disc change).
#include <windows.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "standins/mmcdrive/EmuConfig.h"

using namespace wx;
using namespace wx::emu;

namespace {

std::mutex g_lock;
// Never destroyed at process exit: by then its worker thread is gone and
// could not be joined.  A new configuration replaces it (outside DllMain).
AspiEmulator* g_emu = nullptr;
std::string g_configPath;
std::uint64_t g_configTime = 0;
std::vector<std::string> g_images;  // Image= of each unit, as configured

std::string Env(const char* name) {
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

std::string ModuleDir() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ModuleDir), &self);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(self, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string();
}

std::string ConfigPath() {
    std::string p = Env("WX_ASPI_CONFIG");
    if (!p.empty()) return p;
    return (std::filesystem::path(ModuleDir()) / "wnaspi32.ini").string();
}

// Last write time (100 ns units) and size of a file, folded into one
// stamp; 0 when the file is missing.
std::uint64_t TimeOf(const std::string& p) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(p.c_str(), GetFileExInfoStandard, &a)) return 0;
    std::uint64_t t = (std::uint64_t(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
    return t ^ (std::uint64_t(a.nFileSizeLow) << 48);
}

void SignalEvent(void* ev) { SetEvent(static_cast<HANDLE>(ev)); }

void LogErrors(const std::string& logPath, const std::vector<std::string>& errors) {
    for (auto& e : errors) OutputDebugStringA(("wnaspi32: " + e + "\n").c_str());
    if (logPath.empty() || errors.empty()) return;
    FILE* f = std::fopen(logPath.c_str(), "a");
    if (!f) return;
    for (auto& e : errors) std::fprintf(f, "# %s\n", e.c_str());
    std::fclose(f);
}

// Builds the emulator when there is none or the configuration changed.
void Ensure(bool rebuildOnChange) {
    std::string path = ConfigPath();
    auto when = TimeOf(path);
    if (g_emu && !(rebuildOnChange && (path != g_configPath || when != g_configTime))) return;
    // The worker thread must outlive any FreeLibrary of the program.
    HMODULE pin;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&Ensure), &pin);
    delete g_emu;
    g_emu = nullptr;
    std::vector<std::string> errors;
    EmuSetup setup;
    IniFile ini;
    g_images.clear();
    std::string base = std::filesystem::path(path).parent_path().string();
    if (ini.Load(path)) {
        setup = BuildSetup(ini, base, errors);
        for (int d = 0; d < 32; ++d) {
            std::string s = "Drive" + std::to_string(d);
            if (ini.HasSection(s)) g_images.push_back(ini.Get(s, "Image"));
        }
    } else {
        setup = DefaultSetup((std::filesystem::path(ModuleDir()) / "demo" / "demo.cue").string(), errors);
        g_images.push_back("demo\\demo.cue");
    }
    std::string log = Env("WX_ASPI_LOG");
    if (log.empty()) log = setup.logPath;
    LogErrors(log, errors);
    g_emu = new AspiEmulator(setup.adapters, setup.units, SignalEvent);
    g_emu->SetLogFile(log);
    g_configPath = path;
    g_configTime = when;
}

// A changed configuration file swaps the discs whose image changed.
void CheckDiscChange() {
    auto when = TimeOf(g_configPath);
    if (when == g_configTime) return;
    g_configTime = when;
    IniFile ini;
    if (!ini.Load(g_configPath)) return;
    std::string base = std::filesystem::path(g_configPath).parent_path().string();
    std::size_t unit = 0;
    for (int d = 0; d < 32; ++d) {
        std::string s = "Drive" + std::to_string(d);
        if (!ini.HasSection(s)) continue;
        if (unit >= g_images.size()) break;
        std::string image = ini.Get(s, "Image");
        Unit* u = g_emu->FindUnit(int(ini.GetInt(s, "Adapter", 0)), int(ini.GetInt(s, "Target", d + 1)));
        if (u && image != g_images[unit]) {
            std::shared_ptr<Disc> disc;
            if (!image.empty()) {
                IniFile sidecar;
                std::string err;
                std::filesystem::path p(image);
                disc = LoadDiscImage(p.is_absolute() ? image : (std::filesystem::path(base) / p).string(), sidecar, err);
            }
            u->drive->Load(disc);
            g_images[unit] = image;
        }
        ++unit;
    }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD GetASPI32SupportInfo(void) {
    std::lock_guard<std::mutex> g(g_lock);
    Ensure(true);
    return g_emu->SupportInfo();
}

extern "C" __declspec(dllexport) DWORD SendASPI32Command(void* srb) {
    AspiEmulator* emu;
    {
        std::lock_guard<std::mutex> g(g_lock);
        Ensure(false);
        auto* s = static_cast<SRB_ExecSCSICmd*>(srb);
        if (s && s->SRB_Cmd == SC_EXEC_SCSI_CMD && s->SRB_CDBLen > 0 && s->CDBByte[0] == 0x00) CheckDiscChange();
        emu = g_emu;
    }
    return emu->Send(srb);
}
