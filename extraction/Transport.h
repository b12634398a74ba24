// Request executors of the transports and the dispatch by which the main
// window and the settings dialog run one request on the transport in use
// (ASPI, or the class driver with the selected drive's port key).
// Portable; the ASPI executor is in Win32Aspi.h.
#pragma once
#include <cstdint>

#include "extraction/ClassDrv.h"
#include "extraction/DriveCmds.h"

namespace wx {

// Runs requests through the class driver on the drive with this port key.
class TClassDrvExecutor : public TSrbExecutor {
public:
    explicit TClassDrvExecutor(std::int32_t portKey) : port_(portKey) {}
    void Exec(SRB_ExecSCSICmd& srb) override { ClassDrvExecSRB(port_, srb); }

private:
    std::int32_t port_;
};

// ExecASPIWait: ASPI when the transport switch says so, else the class
// driver with the selected drive's port key.
class TTransportDispatch : public TSrbExecutor {
public:
    TTransportDispatch(const bool& useAspi, TSrbExecutor* aspi, const std::int32_t& selectedPort)
        : useAspi_(useAspi), aspi_(aspi), port_(selectedPort) {}
    void Exec(SRB_ExecSCSICmd& srb) override {
        if (useAspi_) {
            if (aspi_) {
                aspi_->Exec(srb);
            } else {
                srb.SRB_Status = SS_ERR;  // no ASPI library: the request fails
                srb.SRB_TargStat = STATUS_CHKCOND;
            }
        } else {
            ClassDrvExecSRB(port_, srb);
        }
    }
    bool HaInquiry(SRB_HAInquiry& ha) override { return useAspi_ && aspi_ && aspi_->HaInquiry(ha); }

private:
    const bool& useAspi_;
    TSrbExecutor* aspi_;
    const std::int32_t& port_;
};

}  // namespace wx
