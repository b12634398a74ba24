// The SSTP notifier of the main window over Windows Sockets: one notice of
// the rip completion per call, with Winsock started and cleaned up around
// it.
#pragma once
#include <string>

namespace wx {

// Sends scriptText in Japanese mode (nothing in English mode); portField
// is the settings' port text, set to "11000" when it holds no port number.
// False when the send failed, which silences the rest of the run.
bool SendPelloraNotice(const std::string& scriptText, bool japaneseMode, const std::string& host,
                       std::string& portField, const std::string& revision);

}  // namespace wx
