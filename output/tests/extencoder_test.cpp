// The file-fed external encoder run with the test encoder program.
#include <gtest/gtest.h>

#include <string>

#include "output/extencoder.h"
#include "output/tests/wavtools.h"

namespace {

std::string Dir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of('\\'));
}

std::string RunDir() {
    static const std::string d = [] {
        const std::string dir = Dir() + "\\extenc_out";
        CreateDirectoryA(dir.c_str(), nullptr);
        return dir;
    }();
    return d;
}

bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFileBytes(const std::string& name, const wavtools::Bytes& b) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(h, b.data(), DWORD(b.size()), &done, nullptr);
    CloseHandle(h);
}

TFileEncoderJob Job(const std::string& options, const std::string& output) {
    TFileEncoderJob job;
    job.Program = Dir() + "\\testenc.exe";
    job.Options = options;
    job.SourceFile = RunDir() + "\\source.wav";
    job.OutputFile = RunDir() + "\\" + output;
    DeleteFileA(job.OutputFile.c_str());
    return job;
}

const wavtools::Bytes& Source() {
    static const wavtools::Bytes s = [] {
        const auto b = wavtools::TestSignal(44100);
        WriteFileBytes(RunDir() + "\\source.wav", b);
        return b;
    }();
    return s;
}

}  // namespace

TEST(FileEncoder, FinishedRunBecomesTheOutput) {
    const auto& src = Source();
    int started = 0;
    const auto job = Job("-h -q", "done file.mp3");
    const auto run = RunFileEncoder(job, [] { return false; }, [&] { ++started; });
    EXPECT_EQ(run.Result, TFileEncoderResult::Done);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(wavtools::ReadFile(job.OutputFile), src);
    EXPECT_FALSE(Exists(run.TempFile));
    // Options, the short source path and the temporary name, in this order,
    // each path one argument whatever blanks it holds.
    EXPECT_EQ(run.Parameters.rfind("-h -q \"", 0), 0u) << run.Parameters;
    EXPECT_NE(run.Parameters.find("\" \""), std::string::npos) << run.Parameters;
    EXPECT_NE(run.Parameters.find("\\TMP"), std::string::npos);
    EXPECT_EQ(run.Parameters.substr(run.Parameters.size() - 5), ".MP3\"");

    // A source and an output in folders with blanks reach the encoder whole.
    const std::string blank = RunDir() + "\\a b";
    CreateDirectoryA(blank.c_str(), nullptr);
    auto spaced = Job("", "a b\\out put.mp3");
    spaced.SourceFile = blank + "\\so urce.wav";
    WriteFileBytes(spaced.SourceFile, src);
    const auto again = RunFileEncoder(spaced, [] { return false; });
    EXPECT_EQ(again.Result, TFileEncoderResult::Done) << again.Parameters;
    EXPECT_EQ(wavtools::ReadFile(spaced.OutputFile), src);
}

TEST(FileEncoder, FailedEncoderLeavesNoOutput) {
    Source();
    const auto job = Job("-exit 3", "failed.mp3");
    const auto run = RunFileEncoder(job, [] { return false; });
    EXPECT_EQ(run.Result, TFileEncoderResult::EncoderFailed);
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_FALSE(Exists(job.OutputFile));
    EXPECT_FALSE(Exists(run.TempFile));
}

TEST(FileEncoder, EncoderWithoutOutputIsARenameFailure) {
    Source();
    const auto job = Job("-nowrite", "nothing.mp3");
    const auto run = RunFileEncoder(job, [] { return false; });
    EXPECT_EQ(run.Result, TFileEncoderResult::RenameFailed);
    EXPECT_FALSE(Exists(job.OutputFile));
}

TEST(FileEncoder, StopRequestClaimsNoOutput) {
    Source();
    const auto job = Job("-sleep 4000", "stopped.mp3");
    int polls = 0;
    const auto run = RunFileEncoder(job, [&] { return ++polls > 3; });
    // Aborted means the wait ended while the encoder still ran.
    EXPECT_EQ(run.Result, TFileEncoderResult::Aborted);
    EXPECT_FALSE(Exists(job.OutputFile));
}

TEST(FileEncoder, StopWhileTheEncoderWritesRemovesItsTemporaryFile) {
    Source();
    // The encoder writes its temporary file at once and then keeps it open.
    const auto job = Job("-hold 20000", "held.mp3");
    const std::string pattern = RunDir() + "\\TMP*.MP3";
    int polls = 0;
    const auto tempWritten = [&] {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return ++polls > 200;
        FindClose(h);
        return true;
    };
    const DWORD start = GetTickCount();
    const auto run = RunFileEncoder(job, tempWritten);
    EXPECT_EQ(run.Result, TFileEncoderResult::Aborted);
    EXPECT_LE(polls, 200) << "the encoder never wrote its temporary file";
    EXPECT_FALSE(Exists(run.TempFile)) << run.TempFile;
    EXPECT_FALSE(Exists(job.OutputFile));
    // Ended, not waited out.
    EXPECT_LT(GetTickCount() - start, 15000u);
}

TEST(FileEncoder, SourceChecks) {
    Source();
    auto job = Job("", "short.mp3");
    job.MinSourceBytes = 520000;  // a burst-read rip needs this much
    EXPECT_EQ(RunFileEncoder(job, {}).Result, TFileEncoderResult::SourceTooShort);
    job.MinSourceBytes = 2396;
    job.SourceFile = RunDir() + "\\missing.wav";
    EXPECT_EQ(RunFileEncoder(job, {}).Result, TFileEncoderResult::SourceMissing);
    job = Job("", "x.mp3");
    job.Program = RunDir() + "\\no-such-encoder.exe";
    EXPECT_EQ(RunFileEncoder(job, {}).Result, TFileEncoderResult::StartFailed);
    job = Job("", "x.mp3");
    job.OutputFile = RunDir() + "\\no such folder\\x.mp3";
    EXPECT_EQ(RunFileEncoder(job, {}).Result, TFileEncoderResult::NoTempName);
}

TEST(FileEncoder, TempNameSkipsTakenNames) {
    const std::string dir = RunDir() + "\\temps";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (int n : {1, 2}) WriteFileBytes(dir + "\\TMP" + std::to_string(n) + ".MP3", {1});
    DeleteFileA((dir + "\\TMP3.MP3").c_str());
    EXPECT_EQ(MakeEncoderTempName(dir + "\\", ".MP3"), dir + "\\TMP3.MP3");
    EXPECT_EQ(MakeEncoderTempName(dir, ".MP3"), dir + "\\TMP3.MP3");
}
