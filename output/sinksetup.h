// The output driver set up for the output the settings choose, and the
// external encoder's options from the settings: one set-up for the rip and
// the batch encode list.
#pragma once
#include <string>

#include "output/acmparams.h"

class TAcmDrv;
class TConfigStore;

namespace wx {

// The way PCM leaves the program, by the settings.
enum class TOutputRoute {
    ExternalFile,  // a WAV file that an external encoder then reads
    Pipe,          // an external encoder's standard input
    AcmMp3,        // raw MP3 through an ACM codec
    Wma,
    Gogo,
    TwinVq,
    AcmWave,       // RIFF WAVE in the chosen ACM format
};
TOutputRoute OutputRouteOf(const TConfigStore& c);

// Setup of the driver for the route.  tags: the texts of the TwinVQ header
// and of the encoder library's RIFF INFO chunks (used only with its RIFF
// formats), or null; emphasis: the encoder library marks its frames as
// pre-emphasised; encoderOptions: the external encoder's options (Pipe).
// The external-file route writes 44.1 kHz PCM.  False when the MP3 format
// cannot be found or Setup fails.
bool SetupOutputDriver(TAcmDrv& drv, const TConfigStore& c, const TTrackTags* tags, bool emphasis,
                       const std::string& encoderOptions);

// What the external encoder's option builder reads of the settings (the
// program file's existence from the file system).
TEncoderOptionSettings EncoderOptionSettingsOf(const TConfigStore& c);
// The external encoder's options ("" for the other routes); false after
// the builder's message was shown (no program, an unsupported bit rate).
bool GetEncoderOption(const TConfigStore& c, std::string& options);

}  // namespace wx
