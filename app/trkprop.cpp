#include "app/trkprop.h"

#include "app/trackrange.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "output/dlgcenter.h"
#include "resources/msgids.h"
#include "settings/inifile.h"

using namespace wx;

TTrackProparty::TTrackProparty(TComponent* owner, TTrackRecord& track)
    : TForm(owner, "TTRACKPROPARTY"), track_(track) {
    OnClick(IDC_TRKPROP_RESET, [this] { Button1Click(); });
    OnClick(IDC_TRKPROP_OK, [this] { BitBtn1Click(); });
    OnClick(IDOK, [this] { BitBtn1Click(); });  // Enter
    OnClick(IDC_TRKPROP_CANCEL, [this] { SetModalResult(IDCANCEL); });
    OnClick(IDCANCEL, [this] { SetModalResult(IDCANCEL); });  // Escape
    for (TNumEdit* e : {&SMIN, &SSEC, &EMIN, &ESEC})
        OnCommand(e->Id(), EN_KILLFOCUS, [this, e] { SSECExit(*e); });
    for (TNumEdit* e : {&SFRAME, &EFRAME}) OnCommand(e->Id(), EN_KILLFOCUS, [this, e] { SFRAMEExit(*e); });
}

void TTrackProparty::FormCreate() {
    GetCenter(*this);
    SetCaption(CaptionText);
    FileNameEdit.SetMaxLength(255);
    for (TNumEdit* e : {&SMIN, &EMIN}) {
        e->EnableMinus = true;
        e->SetMaxLength(3);
        e->Attach();
    }
    for (TNumEdit* e : {&SSEC, &SFRAME, &ESEC, &EFRAME}) {
        e->SetMaxLength(2);
        e->Attach();
    }
    FileNameEdit.SetText(track_.FileStem);
    ShowRange(track_.RangeStart, track_.RangeEnd);
    Emph.SetChecked(track_.PreEmphasis);
}

void TTrackProparty::ShowRange(std::int32_t start, std::int32_t end) {
    const TMsf s = MsfOfSectors(start), e = MsfOfSectors(end);
    SMIN.SetText(MinutesText(s));
    SSEC.SetText(std::to_string(s.Seconds));
    SFRAME.SetText(std::to_string(s.Frames));
    EMIN.SetText(MinutesText(e));
    ESEC.SetText(std::to_string(e.Seconds));
    EFRAME.SetText(std::to_string(e.Frames));
}

void TTrackProparty::Button1Click() {
    ShowRange(0, track_.SectorCount - 1);
    Emph.SetChecked(track_.PreEmphasis);
}

// The message of a field's check; false (and the field focused again) when
// it fails.
bool TTrackProparty::CheckField(TNumEdit& field) {
    const TMsfField kind = (&field == &SFRAME || &field == &EFRAME) ? TMsfField::Frames
                           : (&field == &SSEC || &field == &ESEC)   ? TMsfField::Seconds
                                                                     : TMsfField::Minutes;
    const TFieldCheck c = CheckMsfField(kind, field.Text());
    if (c == TFieldCheck::Ok) return true;
    const UINT id = c == TFieldCheck::NotNumber        ? MSG_INVALID_ENTRY
                    : kind == TMsfField::Frames         ? MSG_FRAMES_RANGE
                    : kind == TMsfField::Seconds        ? MSG_SECONDS_RANGE
                                                        : MSG_MINUTES_RANGE;
    Refuse(id, field);
    return false;
}

// A message over the dialog, then the focus to `focus`; the fields' exit
// checks wait meanwhile (the message and the focus take the focus from
// them).
void TTrackProparty::Refuse(UINT message, wx::TControl& focus) {
    checking_ = true;
    ShowMessageBox(LoadResString(message), MB_OK | MB_ICONERROR, Handle());
    focus.SetFocus();
    checking_ = false;
}

bool TTrackProparty::SSECExit(TNumEdit& field) {
    if (checking_ || !Handle() || ModalResult() != 0) return true;
    return CheckField(field);
}

bool TTrackProparty::SFRAMEExit(TNumEdit& field) {
    if (checking_ || !Handle() || ModalResult() != 0) return true;
    return CheckField(field);
}

// The name as a file: refused when it names a device or holds a character
// file names cannot; otherwise made once in the temporary folder (never in
// the Windows folder) and removed again.  A file of that name that exists
// there already is left as it is.
bool TTrackProparty::NameUsable(const std::string& name) const {
    if (IsReservedDeviceName(name) || !IsValidFileName(name)) return false;
    // Dots and blanks alone name the folder itself or its parent, not a file.
    if (name.find_first_not_of(". ") == std::string::npos) return false;
    char temp[MAX_PATH] = {};
    if (!GetTempPathA(sizeof temp, temp)) return false;
    const std::string path = IncludeTrailingBackslash(temp) + name;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    DeleteFileA(path.c_str());
    return true;
}

void TTrackProparty::BitBtn1Click() {
    SetModalResult(0);
    // A field that is not a number first, then the ranges of the fields.
    for (TNumEdit* e : {&SMIN, &SSEC, &SFRAME, &EMIN, &ESEC, &EFRAME})
        if (std::int32_t v = 0; !ParseInt32(e->Text(), v)) {
            Refuse(MSG_INVALID_ENTRY_COLON, *e);
            return;
        }
    for (TNumEdit* e : {&SMIN, &SSEC, &SFRAME, &EMIN, &ESEC, &EFRAME})
        if (!CheckField(*e)) return;
    std::int32_t start = 0, end = 0;
    if (!PositionOfFields(SMIN.Text(), SSEC.Text(), SFRAME.Text(), start) ||
        !PositionOfFields(EMIN.Text(), ESEC.Text(), EFRAME.Text(), end)) {
        Refuse(MSG_INVALID_ENTRY_COLON, SMIN);
        return;
    }
    if (start >= end) {
        Refuse(MSG_BAD_RECORDING_RANGE, SMIN);
        return;
    }
    const std::string name = SjisCut(FileNameEdit.Text(), 255);
    if (!name.empty() && !NameUsable(name)) {
        Refuse(MSG_INVALID_FILE_NAME, FileNameEdit);
        return;
    }
    track_.RangeStart = start;
    track_.RangeEnd = end;
    track_.FileStem = name;
    track_.PreEmphasis = Emph.Checked();
    SetModalResult(IDOK);
}

bool TTrackProparty::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    // Enter in any field is the OK button.
    if (msg == DM_GETDEFID) {
        result = MAKELRESULT(IDC_TRKPROP_OK, DC_HASDEFID);
        return true;
    }
    return false;
}
