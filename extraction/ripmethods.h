// The read methods of the rip engine that finish a request themselves,
// gathered behind IRipMethods: the two-pass read (twopass.h), the burst read
// and the benchmark (burst.h), and digital play (digiplay.h).
//
// Portable: no <windows.h>.
#pragma once
#include "extraction/tempstore.h"
#include "extraction/wendrisub.h"

namespace wx {

class TRipMethods : public IRipMethods {
public:
    explicit TRipMethods(ITempFiles& files = StdioFiles()) : files_(files) {}
    void Benchmark(TRipEngine& e) override;
    void DigitalPlay(TRipEngine& e) override;
    void TwoPass(TRipEngine& e) override;
    void Burst(TRipEngine& e) override;

private:
    ITempFiles& files_;
};

// The program's methods, store and normalizer for a rip context: fills in
// what the context leaves empty.
void UseProgramRipServices(TRipContext& context);

}  // namespace wx
