#include "extraction/ripmethods.h"

#include "extraction/burst.h"
#include "extraction/digiplay.h"
#include "extraction/normaliz.h"
#include "extraction/twopass.h"

namespace wx {

void TRipMethods::Benchmark(TRipEngine& e) { RunBenchmark(e); }
void TRipMethods::DigitalPlay(TRipEngine& e) { PlayDigital(e); }
void TRipMethods::TwoPass(TRipEngine& e) { ReadTwoPass(e, files_); }
void TRipMethods::Burst(TRipEngine& e) { ReadBurst(e, files_); }

void UseProgramRipServices(TRipContext& context) {
    static TRipMethods methods;
    if (!context.Store) context.Store = &TempStore;
    // The program's normalizer reads the program's store.
    if (!context.Normalizer && context.Store == &TempStore) context.Normalizer = &Normalizer;
    if (!context.Methods) context.Methods = &methods;
    if (!context.NormalizeModeOf) context.NormalizeModeOf = &NormalizeModeOf;
}

}  // namespace wx
