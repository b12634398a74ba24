#include "settings/configlogic.h"

#include <cstdio>

#include "classlib/sjis.h"
#include "resources/msgids.h"

std::string NormalizeExtension(const std::string& typed) {
    if (!typed.empty() && typed[0] == '.') return typed;
    return "." + wx::SjisUpperCase(typed);
}

std::string TConfigLogic::EncodeButtonCaption(int m) {
    switch (m) {
        case omWMA: return "WMT";
        case omMP3: return "MP3";
        case omTwinVQ: return "TwinVQ";
        default: return "WAVE";
    }
}

void TConfigLogic::CheckBox2Click() { s.SpinEdit2.Enabled = s.CheckBox2.Checked; }
void TConfigLogic::CheckBox10Click() { s.SpinEdit3.Enabled = s.CheckBox10.Checked; }

void TConfigLogic::CheckBox14Click() {
    if (s.CheckBox14.CheckedAndEnabled()) {
        if (!IsWindowsNT) s.SpinEdit1.SetRange(1, 18);
    } else {
        s.SpinEdit1.SetRange(1, 50);
    }
}

void TConfigLogic::ReadCommandChosen(int kind) {
    s.SelectReadCommand(kind);
    if (s.ComboBox1.ItemIndex() == rcPioneer && s.SelReadMethod.ItemIndex() == rm1PassZitterRead) {
        s.SelReadMethod.SetItemIndex(rm2PassZitterRead);
        ShowMethodOptions();
    }
}

// The option boxes show the flags of the method now selected, whoever
// changed it, so that a click stores what the user sees.
void TConfigLogic::ShowMethodOptions() {
    s.ShowReadMethodFlags();
    const int now = s.ReadMethod();
    s.UseMultiThreadWrite.Enabled = (now == rmNormalRead || now == rm1PassZitterRead) && !s.ReadMethod3.Checked;
}

void TConfigLogic::SelReadMethodChange(bool silent) {
    const int r = s.SelReadMethod.ItemIndex();
    int warning = 0;
    if (r == rm1PassZitterRead && s.ComboBox1.ItemIndex() == rcPioneer) warning = MSG_CFG_PIONEER_ZITTER;
    else if (IsWindowsNT && s.CheckBox21.Checked && r == rmHispeedBurstRead) warning = MSG_CFG_CLASSDRV_BURST;
    else if (!IsWindowsNT && s.CheckBox14.Checked && r == rmHispeedBurstRead) warning = MSG_CFG_MSCDEX_BURST;
    if (warning) {
        if (!silent) Say(warning);
        s.SelReadMethod.SetItemIndex(rmNormalRead);
    }
    for (TCheckBinding* b : {&s.ReadMethod1, &s.ReadMethod2, &s.ReadMethod3}) b->Visible = b->Enabled = true;
    ShowMethodOptions();
}

void TConfigLogic::ReadMethodClick(int k) {
    // Only the box clicked.
    if (k < 0 || k > 2) return;
    TCheckBinding* boxes[3] = {&s.ReadMethod1, &s.ReadMethod2, &s.ReadMethod3};
    s.ReadMethodFlags[s.ReadMethod() * 3 + k] = boxes[k]->Checked;
    if (k == 2) {
        const int now = s.ReadMethod();
        s.UseMultiThreadWrite.Enabled = (now == rmNormalRead || now == rm1PassZitterRead) && !s.ReadMethod3.Checked;
    }
}

void TConfigLogic::TabSheet2Show() {
    const bool noBurst = IsWindowsNT ? s.CheckBox21.Checked : s.CheckBox14.Checked;
    if (noBurst && s.SelReadMethod.ItemIndex() == rmHispeedBurstRead) {
        s.SelReadMethod.SetItemIndex(rmNormalRead);
        ShowMethodOptions();
    }
}

void TConfigLogic::UseL3EncClick(bool gogoPresent, unsigned v) {
    if (s.SelMP3Enc.ItemIndex() == mekGogo) {
        if (!gogoPresent) {
            Say(MSG_CFG_NO_GOGO);
            s.SelMP3Enc.SetItemIndex(mekACM);
        } else {
            const unsigned major = v >> 8, minor = v & 0xFF;
            if (major < 3) {
                if (major < 2 || minor < 0x25) {
                    char buf[512];
                    std::snprintf(buf, sizeof buf, T(MSG_CFG_GOGO_VERSION).c_str(), major, minor);
                    Say(MSG_CFG_GOGO_VERSION, buf);
                    s.SelMP3Enc.SetItemIndex(mekACM);
                }
                if (minor < 0x30) s.GogoFormatType = gftMP3;
            }
        }
    }
    const int e = s.SelMP3Enc.ItemIndex();
    const bool external = e == mekExternal;
    s.UseStdin.Enabled = external;
    x.Label9 = external;
    s.ProgramEdit.Enabled = external;
    x.Button3 = external;
    s.CRCCheckBox.Enabled = external;
    s.HQCheckBox.Enabled = external;
    s.UseOriginalOption.Enabled = external;
    x.Label16 = external;
    s.OptionEdit.Enabled = external;
    x.GogoSetting = e == mekGogo;
    UseOriginalOptionClick();
}

void TConfigLogic::UseOriginalOptionClick() {
    const bool external = s.SelMP3Enc.ItemIndex() == mekExternal;
    TCheckBinding* styles[4] = {&s.SelL3Cmd, &s.Sel8hzCmd, &s.SelSCMPXCmd, &s.SelLameStdin};
    if (s.UseOriginalOption.Checked) {
        s.CRCCheckBox.Enabled = s.HQCheckBox.Enabled = false;
        x.Label17 = false;
        s.bitratebox.Enabled = !external;
        x.Label16 = x.Button3 = external;
        for (TCheckBinding* b : styles) b->Enabled = false;
        s.AdditionalOption.Enabled = false;
    } else {
        s.bitratebox.Enabled = true;
        s.CRCCheckBox.Enabled = s.HQCheckBox.Enabled = external;
        x.Label17 = true;
        if (external) {
            s.AdditionalOption.Enabled = x.Button3 = true;
            for (TCheckBinding* b : styles) b->Enabled = true;
        } else {
            s.AdditionalOption.Enabled = x.Button3 = false;
            for (TCheckBinding* b : styles) b->Enabled = false;
        }
        x.Label16 = s.AdditionalOption.Enabled && s.AdditionalOption.Checked;
    }
    s.OptionEdit.Enabled = x.Label16;
    SelL3CmdClick();
}

void TConfigLogic::SelL3CmdClick() {
    const int st = s.ExtEncoderType();
    const int e = s.SelMP3Enc.ItemIndex();
    if (st == eetL3Enc || st == eet8hz || e != mekExternal || s.UseOriginalOption.Checked) {
        if (st != eetSCMPX) s.UseLayerType.SetItemIndex(2);  // MPEG Layer-3
        s.VBRCheckBox.Enabled = e == mekGogo;
        if (e == mekExternal && !s.UseOriginalOption.Checked) s.HQCheckBox.Enabled = true;
        s.UseLayerType.Enabled = false;
    } else {
        s.HQCheckBox.Enabled = st == eetLameStdin;
        s.UseLayerType.Enabled = st == eetSCMPX;
        s.VBRCheckBox.Enabled = true;
    }
    x.LayerLabel = s.UseLayerType.Enabled;
}

std::string TConfigLogic::MakeMP3StatusString() const {
    char buf[1024];
    switch (s.SelOutputMethod.ItemIndex()) {
        case omWMA:
            return T(MSG_CFG_STATUS_WMA) + s.WMTSamplingRate.Text() + "," + s.WMTBitrate.Text() + "," +
                   T(s.WMTStereoSel.Checked ? MSG_CFG_STEREO : MSG_CFG_MONO);
        case omTwinVQ:
            return T(MSG_CFG_STATUS_VQF) + s.VQFBitRate.Text() + "," + T(MSG_CFG_VQF_QUALITY) + s.VQFQuality.Text();
        case omMP3: {
            std::string t = T(MSG_CFG_STATUS_MP3);
            switch (s.SelMP3Enc.ItemIndex()) {
                case mekExternal: {
                    static const char* const styles[4] = {"L3ENC", "8hz-mp3", "SCMPX", "LAME"};
                    const int st = s.ExtEncoderType();
                    if (s.UseOriginalOption.Checked) return T(MSG_CFG_STATUS_MP3) + T(MSG_CFG_EXT_ORIGINAL);
                    t += std::string(st >= 0 ? styles[st] : "") + T(MSG_CFG_EXT_COMPAT);
                    if (s.SelSCMPXCmd.Checked && s.VBRCheckBox.Checked) t += T(MSG_CFG_VBR);
                    return t + s.bitratebox.Text();
                }
                case mekGogo:
                    if (s.GogoFormatType == gftRiffWave) t = T(MSG_CFG_STATUS_RIFF_WAVE);
                    else if (s.GogoFormatType == gftRiffMP3) t = T(MSG_CFG_STATUS_RIFF_MP3);
                    t += T(MSG_CFG_GOGO_USED);
                    if (s.VBRCheckBox.Checked) t += T(MSG_CFG_VBR);
                    return t + s.bitratebox.Text();
                default:
                    return t + T(MSG_CFG_ACM_MP3) + s.bitratebox.Text();
            }
        }
        default:
            std::snprintf(buf, sizeof buf, T(MSG_CFG_STATUS_WAVE).c_str(), s.Edit2.Text.c_str(), s.Edit3.Text.c_str());
            return buf;
    }
}

bool TConfigLogic::AddExt(TFilerExtFilter& filter, const std::string& typed) {
    if (static_cast<int>(s.ExtList.Items.Count()) >= TFilerExtFilter::MaxEntries) {
        Say(MSG_CFG_EXT_FULL);
        return false;
    }
    if (typed.empty()) return false;
    const std::string ext = NormalizeExtension(typed);
    // ".mp3" beside ".MP3" would be the same extension twice.
    for (std::size_t i = 0; i < s.ExtList.Items.Count(); ++i) {
        if (wx::SjisUpperCase(s.ExtList.Items[i]) == wx::SjisUpperCase(ext)) {
            Say(MSG_CFG_EXT_EXISTS);
            return false;
        }
    }
    s.ExtList.Items.Add(ext);
    filter.Add(ext);
    char buf[512];
    std::snprintf(buf, sizeof buf, T(MSG_CFG_EXT_ADDED).c_str(), ext.c_str());
    Say(MSG_CFG_EXT_ADDED, buf);
    return true;
}

bool TConfigLogic::DelExt(TFilerExtFilter& filter, int index) {
    if (index < 0 || index >= static_cast<int>(s.ExtList.Items.Count())) return false;
    const std::string text = s.ExtList.Items[static_cast<std::size_t>(index)];
    if (text.empty()) return false;
    const std::string ext = NormalizeExtension(text);
    filter.Remove(ext);
    // An entry stored without its dot is the one listed, and goes too.
    if (text != ext) filter.Remove(text);
    s.ExtList.Items.Delete(static_cast<std::size_t>(index));
    s.ExtList.SetItemIndex(-1);
    char buf[512];
    std::snprintf(buf, sizeof buf, T(MSG_CFG_EXT_DELETED).c_str(), ext.c_str());
    Say(MSG_CFG_EXT_DELETED, buf);
    return true;
}
