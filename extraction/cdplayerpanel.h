// TCDPlayer: the CD player panel, a small tool window shown modally while a
// digital play runs: track and 10-second seek buttons, pause and stop, the
// time code with its display mode, and the left and right level meters fed
// from the level ring every 75 ms.  It steers the play only through thread
// messages to the wave-out thread; the end of the play closes it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "classlib/controls.h"
#include "classlib/form.h"
#include "extraction/LevelMeter.h"
#include "extraction/TrackTable.h"
#include "extraction/ripplan.h"
#include "resources/cdplayer.h"

namespace wx {

// What the panel reads and changes of the main window.
struct TCDPlayerHost {
    const TTrackTable* Tracks = nullptr;
    TLevelRing* Levels = nullptr;
    // The last reported play position and its track.
    const std::int32_t* PlayLba = nullptr;
    const int* PlayTrack = nullptr;
    int* TimeDisplayMode = nullptr;
    // A thread message to the wave-out thread.
    std::function<void(std::uint32_t msg, std::intptr_t lParam)> PostWaveOut;
    // The panel's saved position (read when shown, written when freed).
    std::int32_t* Left = nullptr;
    std::int32_t* Top = nullptr;
};

class TCDPlayer : public TForm {
public:
    TCDPlayer(TComponent* owner, TCDPlayerHost host);

    TControl TimeCode{this, IDC_CDP_TIMECODE};
    TControl Panel1{this, IDC_CDP_PANEL1};
    TButton Button1{this, IDC_CDP_MODE};
    TButton PrevTrack{this, IDC_CDP_PREVTRACK};
    TButton PrevRew{this, IDC_CDP_PREVREW};
    TButton PauseResume{this, IDC_CDP_PAUSERESUME};
    TButton StopPlay{this, IDC_CDP_STOPPLAY};
    TButton NextRew{this, IDC_CDP_NEXTREW};
    TButton NextTrack{this, IDC_CDP_NEXTTRACK};
    TLevelMeter* LeftLevelMeter() const { return LevelMeterOf(Item(IDC_CDP_LEFTMETER)); }
    TLevelMeter* RightLevelMeter() const { return LevelMeterOf(Item(IDC_CDP_RIGHTMETER)); }

    // The six actions.
    void CDTrPrev();
    void CDTrNext();
    void CDPause();
    void CDStop();
    void CDPrev();
    void CDNext();
    void Button1Click();
    void FormDblClick();
    void TimerOnTimer();

    bool Paused() const { return paused_; }
    // Set by the end of the play: the panel may close.
    bool CloseAllowed = false;
    // The time code's text (also the application's title while playing).
    void SetTimeCode(const std::string& text);

protected:
    void FormCreate() override;
    void FormShow() override;
    bool FormCloseQuery() override;
    void FormDestroy() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void PlayingState();
    void PausingState();
    void Seek(std::int32_t lba);

    TCDPlayerHost h_;
    TTimer* levelTimer_ = nullptr;
    bool paused_ = false;
    bool silver_ = false;  // the time code is drawn silver (paused)
    int savedMainState_ = SW_RESTORE;
    HFONT timeFont_ = nullptr;
};

}  // namespace wx
