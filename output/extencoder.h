// The external encoder run on a finished WAV file, shared by the rip (after
// a track was ripped to a work file) and the batch encode list.
//
// The encoder writes a temporary "TMPn.MP3" in the output's folder, which
// becomes the output file (replacing an old file of that name) only when
// the encoder ended by itself with exit code 0; after a stop request or a
// failed encoder the output is never claimed, an old file stays as it was,
// and the temporary file is removed.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "classlib/win.h"

struct TFileEncoderJob {
    std::string Program;        // encoder program (full path)
    std::string Options;        // from the option builder
    std::string SourceFile;     // the finished WAV file
    std::string OutputFile;     // the file to produce
    std::uint32_t MinSourceBytes = 0;  // shorter sources are not encoded
};

enum class TFileEncoderResult {
    Done,            // the output file is there
    SourceMissing,   // the WAV file cannot be opened
    SourceTooShort,  // shorter than MinSourceBytes: nothing done
    NoTempName,      // TMP1..TMP999 all taken, or the folder is missing
    StartFailed,     // the program could not be started
    Aborted,         // a stop was requested before the encoder ended: it was
                     // ended and its temporary file removed
    EncoderFailed,   // the encoder ended with a non-zero exit code
    RenameFailed,    // the temporary output could not become the output (it
                     // stays under its own name when the encoder made it)
};

struct TFileEncoderRun {
    TFileEncoderResult Result = TFileEncoderResult::StartFailed;
    std::string Parameters;  // as given to the program
    std::string TempFile;
    bool TempKept = false;  // RenameFailed: the finished file is still TempFile
    DWORD ExitCode = 0;
};

// Runs the encoder: `started` is called once the program runs (to post the
// progress and status texts), `stopRequested` is polled every 100 ms.
TFileEncoderRun RunFileEncoder(const TFileEncoderJob& job, const std::function<bool()>& stopRequested,
                               const std::function<void()>& started = {});

// The first name folder\TMPn<extension> (n = 1..999) that does not exist;
// empty when all are taken.
std::string MakeEncoderTempName(const std::string& folder, const std::string& extension);
