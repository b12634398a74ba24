// Outside programs that check our output, run through the shell of the
// build machine (host build only).
#pragma once
#if !defined(_WIN32)
#include <cstdio>
#include <string>

namespace wxtest {

// Runs a command line; what it wrote, its errors included ("" when it
// could not be started).
inline std::string RunTool(const std::string& cmd) {
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// Whether the shell finds the program.
inline bool HaveTool(const std::string& tool) {
    return RunTool("command -v " + tool).find(tool) != std::string::npos;
}

}  // namespace wxtest
#endif
