#include "output/extencoder.h"

#include <shellapi.h>

#include "classlib/sjis.h"
#include "output/acmmgr32.h"

namespace {

std::string FolderOf(const std::string& path) {
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i += wx::SjisCharLength(path, i))
        if (path[i] == '\\' || path[i] == '/') cut = i;
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string ShortPath(const std::string& path) {
    char buf[MAX_PATH * 2];
    const DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    return std::string(buf, n);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A path as one argument of the command line, whatever blanks it holds
// (a path has no quotes of its own).
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// How long an encoder ended on a stop gets to let go of its files.
constexpr DWORD AbortWaitMs = 5000;

}  // namespace

std::string MakeEncoderTempName(const std::string& folder, const std::string& extension) {
    const std::string base = wx::StripTrailingBackslash(folder);
    for (int n = 1; n <= 999; ++n) {
        const std::string name = base + "\\TMP" + std::to_string(n) + extension;
        if (!Exists(name)) return name;
    }
    return {};
}

TFileEncoderRun RunFileEncoder(const TFileEncoderJob& job, const std::function<bool()>& stopRequested,
                               const std::function<void()>& started) {
    TFileEncoderRun run;
    const std::string folder = ShortPath(FolderOf(job.OutputFile));
    run.TempFile = folder.empty() ? std::string() : MakeEncoderTempName(folder, ".MP3");

    HANDLE src = CreateFileA(job.SourceFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (src == INVALID_HANDLE_VALUE) {
        run.Result = TFileEncoderResult::SourceMissing;
        return run;
    }
    LARGE_INTEGER size{};
    const bool sized = GetFileSizeEx(src, &size);
    CloseHandle(src);
    if (!sized || size.QuadPart < LONGLONG(job.MinSourceBytes)) {
        run.Result = TFileEncoderResult::SourceTooShort;
        return run;
    }
    if (run.TempFile.empty()) {
        run.Result = TFileEncoderResult::NoTempName;
        return run;
    }
    const std::string source = ShortPath(job.SourceFile);
    run.Parameters = job.Options + " " + Quoted(source.empty() ? job.SourceFile : source) + " " + Quoted(run.TempFile);

    const std::string workDir = FolderOf(job.Program);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = job.Program.c_str();
    info.lpParameters = run.Parameters.c_str();
    info.lpDirectory = workDir.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info) || !info.hProcess) {
        run.Result = TFileEncoderResult::StartFailed;
        return run;
    }
    if (started) started();
    bool ended = false;
    for (;;) {
        if (WaitForSingleObject(info.hProcess, 100) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (stopRequested && stopRequested()) break;
    }
    if (!ended) {
        // Stopped while the encoder still runs: end it, so that it lets go of
        // its temporary file, and remove what it had written.
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, AbortWaitMs);
        GetExitCodeProcess(info.hProcess, &run.ExitCode);
        CloseHandle(info.hProcess);
        DeleteFileA(run.TempFile.c_str());
        run.Result = TFileEncoderResult::Aborted;
        return run;
    }
    GetExitCodeProcess(info.hProcess, &run.ExitCode);
    CloseHandle(info.hProcess);
    if (run.ExitCode != 0) {
        DeleteFileA(run.TempFile.c_str());
        run.Result = TFileEncoderResult::EncoderFailed;
        return run;
    }
    // The finished file replaces an old one of its name only now.
    // When it cannot, the finished file stays under its temporary name.
    if (PutOutputInPlace(run.TempFile, job.OutputFile)) {
        run.Result = TFileEncoderResult::Done;
    } else {
        run.TempKept = Exists(run.TempFile);
        run.Result = TFileEncoderResult::RenameFailed;
    }
    return run;
}
