#include "discinfo/cdtextread.h"

#include <cstring>

namespace wx {

TCdTextRead GetCDTextData(TSrbExecutor& exec, const TDriveAddress& drive, std::vector<std::uint8_t>& packs) {
    packs.clear();
    TDriveCommands cmds(exec);
    const bool first = cmds.IsDeviceIn(drive);
    const bool second = cmds.IsDeviceIn(drive);
    if (!first || !second) return TCdTextRead::NoMedia;

    constexpr std::uint32_t kAsked = 0x2000;  // the allocation length of the command
    TAspiBuffer buf(kCdTextBufferSize);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, drive, SRB_DIR_IN, buf.data(), 0x4000, {0x43, 0, 5, 0, 0, 0, 0, 0x20, 0, 0}, 10);
    exec.Exec(s);
    if (!CommandSucceeded(s, drive.IgnoreTargetStat)) return TCdTextRead::Unsupported;
    const long length = CdTextPackLength(buf.data(), kAsked);
    if (length < 0) return TCdTextRead::BadData;
    if (length == 0) return TCdTextRead::Unsupported;
    packs.assign(buf.data() + 4, buf.data() + 4 + length);
    return TCdTextRead::Ok;
}

}  // namespace wx
