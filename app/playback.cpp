// Test playback and the wave-out thread of the main window.
#include "app/wendrixn.h"

namespace wendrix {

void TForm1::CreateWaveOutThread() { WaveOutThread = nullptr; }

void TForm1::FreeWaveOutThread() { WaveOutThread = nullptr; }

void TForm1::SpeedButton1Click() {}

void TForm1::PlayStop(int) {}

void TForm1::Timer1Timer() {}

}  // namespace wendrix
