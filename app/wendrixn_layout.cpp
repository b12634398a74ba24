// The main window's bars, panes, image lists, menus and the binding of its
// commands.
#include <algorithm>
#include <cmath>

#include "app/wendrixn.h"
#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "resources/msgids.h"

namespace wendrix {

namespace {

COLORREF Gray(COLORREF c) {
    const int y = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
    const int g = 96 + y * 96 / 255;  // a light, flat grey
    return RGB(g, g, g);
}

struct TPen {
    HDC dc;
    HPEN pen;
    HBRUSH brush;
    HGDIOBJ oldPen, oldBrush;
    TPen(HDC d, COLORREF line, COLORREF fill, int width = 1)
        : dc(d), pen(CreatePen(PS_SOLID, width, line)), brush(CreateSolidBrush(fill)) {
        oldPen = SelectObject(dc, pen);
        oldBrush = SelectObject(dc, brush);
    }
    ~TPen() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
};

void Label(HDC dc, const RECT& r, const char* text, COLORREF color, int height) {
    HFONT f = CreateFontA(-height, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Tahoma");
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    RECT rr = r;
    DrawTextA(dc, text, -1, &rr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(f);
}

void Disc(HDC dc, int cx, int cy, int r, COLORREF c, bool color) {
    TPen p(dc, color ? RGB(64, 64, 96) : Gray(RGB(64, 64, 96)), color ? c : Gray(c));
    Ellipse(dc, cx - r, cy - r, cx + r, cy + r);
    TPen q(dc, color ? RGB(64, 64, 96) : Gray(RGB(64, 64, 96)), RGB(255, 255, 255));
    Ellipse(dc, cx - r / 4, cy - r / 4, cx + r / 4, cy + r / 4);
}

// The pictures of the tool bar's commands: 0 refresh, 1 rip, 2 settings,
// 3 tag, 4 CD-TEXT, 5 CDDB, 6 normalize, 7 compressed output, 8 WAVE output.
void PaintAction(HDC dc, int w, int h, int index, bool color) {
    auto C = [color](COLORREF c) { return color ? c : Gray(c); };
    const int cx = w / 2, cy = h / 2, r = std::min(w, h) / 2 - 2;
    switch (index) {
    case 0: {
        TPen p(dc, C(RGB(0, 128, 0)), C(RGB(0, 160, 0)), std::max(2, w / 10));
        Arc(dc, cx - r + 2, cy - r + 2, cx + r - 2, cy + r - 2, cx + r, cy, cx, cy - r);
        POINT tri[3] = {{cx + r - 2, cy - r / 3}, {cx + r - 2 - r / 2, cy - r / 3}, {cx + r - 2, cy + r / 6}};
        Polygon(dc, tri, 3);
        break;
    }
    case 1: {
        Disc(dc, cx - r / 5, cy - r / 5, r * 4 / 5, RGB(192, 208, 255), color);
        TPen p(dc, C(RGB(160, 0, 0)), C(RGB(220, 40, 40)));
        POINT arrow[7] = {{cx + r / 3, cy}, {cx + r * 2 / 3, cy}, {cx + r * 2 / 3, cy + r / 3}, {cx + r, cy + r / 3},
                          {cx + r / 2, cy + r}, {cx, cy + r / 3}, {cx + r / 3, cy + r / 3}};
        Polygon(dc, arrow, 7);
        break;
    }
    case 2: {
        TPen p(dc, C(RGB(64, 64, 64)), C(RGB(160, 160, 176)));
        POINT gear[16];
        for (int i = 0; i < 16; ++i) {
            const double a = i * 3.14159265 / 8;
            const int rr = (i % 2) ? r : r * 3 / 4;
            gear[i] = {cx + static_cast<int>(rr * std::cos(a)), cy + static_cast<int>(rr * std::sin(a))};
        }
        Polygon(dc, gear, 16);
        TPen q(dc, C(RGB(64, 64, 64)), RGB(255, 255, 255));
        Ellipse(dc, cx - r / 4, cy - r / 4, cx + r / 4, cy + r / 4);
        break;
    }
    case 3: {
        TPen p(dc, C(RGB(128, 96, 0)), C(RGB(255, 224, 128)));
        POINT tag[5] = {{2, cy - r / 2}, {w - r / 2 - 2, cy - r / 2}, {w - 2, cy}, {w - r / 2 - 2, cy + r / 2}, {2, cy + r / 2}};
        Polygon(dc, tag, 5);
        Label(dc, RECT{2, 0, w - r / 2, h}, "ID3", C(RGB(96, 64, 0)), h * 3 / 8);
        break;
    }
    case 4: {
        Disc(dc, cx, cy, r, RGB(255, 240, 192), color);
        Label(dc, RECT{0, 0, w, h}, "T", C(RGB(0, 0, 160)), h * 5 / 8);
        break;
    }
    case 5: {
        TPen p(dc, C(RGB(0, 64, 128)), C(RGB(128, 192, 255)));
        Ellipse(dc, cx - r, cy - r, cx + r, cy + r);
        Ellipse(dc, cx - r / 2, cy - r, cx + r / 2, cy + r);
        MoveToEx(dc, cx - r, cy, nullptr);
        LineTo(dc, cx + r, cy);
        MoveToEx(dc, cx, cy - r, nullptr);
        LineTo(dc, cx, cy + r);
        break;
    }
    case 6: {
        TPen p(dc, C(RGB(0, 96, 96)), C(RGB(0, 160, 160)));
        for (int i = 0; i < 4; ++i) {
            const int bh = r * (i + 2) / 3;
            Rectangle(dc, 3 + i * (w - 6) / 4, h - 3 - bh, 3 + (i + 1) * (w - 6) / 4 - 1, h - 3);
        }
        break;
    }
    case 7: {
        TPen p(dc, C(RGB(96, 0, 128)), C(RGB(224, 192, 255)));
        RoundRect(dc, 2, cy - r / 2, w - 2, cy + r / 2, 6, 6);
        Label(dc, RECT{2, 0, w - 2, h}, "MP3", C(RGB(96, 0, 128)), h * 3 / 8);
        break;
    }
    default: {
        TPen p(dc, C(RGB(0, 64, 160)), C(RGB(255, 255, 255)));
        Rectangle(dc, 2, cy - r / 2 - 2, w - 2, cy + r / 2 + 2);
        TPen q(dc, C(RGB(0, 96, 200)), C(RGB(0, 96, 200)), std::max(1, w / 16));
        MoveToEx(dc, 3, cy, nullptr);
        for (int x = 3; x < w - 3; ++x)
            LineTo(dc, x, cy - static_cast<int>((r / 2) * std::sin((x - 3) * 6.2831853 / ((w - 6) / 2.0))));
        break;
    }
    }
}

// Small pictures: 0 audio track, 1 data track, 2..6 folder, file, play,
// stop, pause; 7 compressed output, 8 the drive mark of the track-list bar.
void PaintSmall(HDC dc, int w, int h, int index) {
    const int cx = w / 2, cy = h / 2;
    switch (index) {
    case 0: Disc(dc, cx, cy, w / 2 - 1, RGB(192, 208, 255), true); break;
    case 1: Disc(dc, cx, cy, w / 2 - 1, RGB(208, 208, 208), true); break;
    case 2: {
        TPen p(dc, RGB(128, 96, 0), RGB(255, 216, 96));
        Rectangle(dc, 1, 4, w - 1, h - 2);
        break;
    }
    case 3: {
        TPen p(dc, RGB(64, 64, 64), RGB(255, 255, 255));
        Rectangle(dc, 3, 1, w - 3, h - 1);
        break;
    }
    case 4: {
        TPen p(dc, RGB(0, 96, 0), RGB(0, 160, 0));
        POINT t[3] = {{4, 3}, {w - 3, cy}, {4, h - 3}};
        Polygon(dc, t, 3);
        break;
    }
    case 5: {
        TPen p(dc, RGB(0, 0, 0), RGB(64, 64, 64));
        Rectangle(dc, 4, 4, w - 4, h - 4);
        break;
    }
    case 6: {
        TPen p(dc, RGB(0, 0, 0), RGB(64, 64, 64));
        Rectangle(dc, 4, 3, 7, h - 3);
        Rectangle(dc, w - 7, 3, w - 4, h - 3);
        break;
    }
    case 7: PaintAction(dc, w, h, 7, true); break;
    default: {
        TPen p(dc, RGB(64, 64, 64), RGB(200, 200, 208));
        Rectangle(dc, 1, 5, w - 1, h - 3);
        TPen q(dc, RGB(0, 0, 0), RGB(0, 0, 0));
        POINT t[3] = {{cx - 3, 8}, {cx + 4, 8}, {cx, 12}};
        Polygon(dc, t, 3);
        break;
    }
    }
}

// Drive pictures: 0 removable, 1 fixed, 2 CD-ROM, 3 network, 4 RAM disk.
void PaintDrive(HDC dc, int w, int h, int index) {
    switch (index) {
    case 2: Disc(dc, w / 2, h / 2, w / 2 - 1, RGB(192, 208, 255), true); break;
    case 3: {
        TPen p(dc, RGB(64, 64, 64), RGB(160, 200, 160));
        Rectangle(dc, 1, 4, w - 1, h - 5);
        MoveToEx(dc, w / 2, h - 5, nullptr);
        LineTo(dc, w / 2, h - 1);
        break;
    }
    default: {
        const COLORREF fill = index == 0 ? RGB(200, 200, 255) : index == 4 ? RGB(255, 200, 160) : RGB(200, 200, 200);
        TPen p(dc, RGB(64, 64, 64), fill);
        Rectangle(dc, 1, 5, w - 1, h - 4);
        TPen q(dc, RGB(0, 160, 0), RGB(0, 200, 0));
        Rectangle(dc, w - 5, h - 7, w - 3, h - 5);
        break;
    }
    }
}

HBITMAP MenuBitmap(int index) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
    PaintAction(dc, 16, 16, index, true);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bmp;
}

// A status bar inside a panel: its own height, placed by the panel's layout
// instead of aligning itself to the panel's bottom.
HWND PanelStatusBar(wendrix::TForm1& form, HWND parent, int id) {
    HWND sb = wx::CreateChild(form, parent, STATUSCLASSNAMEA, id, WS_VISIBLE | CCS_NODIVIDER);
    SendMessageA(sb, WM_SIZE, 0, 0);
    RECT r{};
    GetWindowRect(sb, &r);
    SetWindowLongA(sb, GWL_STYLE, GetWindowLongA(sb, GWL_STYLE) | CCS_NOPARENTALIGN | CCS_NORESIZE);
    SetWindowPos(sb, nullptr, 0, 0, 10, r.bottom - r.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    return sb;
}

void AddTextButton(HWND bar, int id, const std::string& caption, BYTE style = BTNS_BUTTON) {
    TBBUTTON b{};
    b.iBitmap = I_IMAGENONE;
    b.idCommand = id;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = style;
    b.iString = reinterpret_cast<INT_PTR>(caption.c_str());
    SendMessageA(bar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
}

}  // namespace

void TForm1::BuildImageLists() {
    ActionEnableImage.Create(32, 32);
    ActionDisableImage.Create(32, 32);
    for (int i = 0; i < 9; ++i) {
        ActionEnableImage.AddDrawn([i](HDC dc, int w, int h) { PaintAction(dc, w, h, i, true); });
        ActionDisableImage.AddDrawn([i](HDC dc, int w, int h) { PaintAction(dc, w, h, i, false); });
    }
    Small.Create(16, 16);
    for (int i = 0; i < 9; ++i) Small.AddDrawn([i](HDC dc, int w, int h) { PaintSmall(dc, w, h, i); });
    DrvImage.Create(16, 16);
    for (int i = 0; i < 5; ++i) DrvImage.AddDrawn([i](HDC dc, int w, int h) { PaintDrive(dc, w, h, i); });
    MenuWaveBitmap = MenuBitmap(8);
    MenuEncodeBitmap = MenuBitmap(7);
}

void TForm1::BuildToolBars() {
    const DWORD barStyle = WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                           CCS_NODIVIDER | CCS_NOPARENTALIGN | TBSTYLE_TRANSPARENT;
    // ToolBar1: six caption buttons that open the drop-down menus.
    HWND tb1 = wx::CreateChild(*this, Handle(), TOOLBARCLASSNAMEA, IDC_TOOLBAR1, barStyle);
    SendMessageA(tb1, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(tb1, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
    SendMessageA(tb1, TB_SETPARENT, reinterpret_cast<WPARAM>(Handle()), 0);
    const int menuButtons[] = {IDT_FILEPULLDOWN, IDT_EXECPULLDOWN, IDT_CONFIGPULLDOWN,
                               IDT_VIEWPULLDOWN, IDT_TOOLPULLDOWN, IDT_HELPPULLDOWN};
    for (int i = 0; i < 6; ++i) AddTextButton(tb1, menuButtons[i], wx::LoadResString(MSG_FRAME_TOOLBAR1 + i));
    SendMessageA(tb1, TB_SETBUTTONWIDTH, 0, MAKELONG(70, 70));
    SendMessageA(tb1, TB_SETBUTTONSIZE, 0, MAKELONG(70, 20));
    SendMessageA(tb1, TB_AUTOSIZE, 0, 0);

    // ToolBar2: the command buttons with pictures and captions.
    HWND tb2 = wx::CreateChild(*this, Handle(), TOOLBARCLASSNAMEA, IDC_TOOLBAR2, barStyle);
    SendMessageA(tb2, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(tb2, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageA(tb2, TB_SETPARENT, reinterpret_cast<WPARAM>(Handle()), 0);
    ToolBar2.SetImageList(ActionDisableImage.Handle(), ActionDisableImage.Handle(), ActionEnableImage.Handle());
    struct B {
        int id, image;
        BYTE style;
    };
    const B buttons[] = {{IDT_REFRESHLIST, 0, BTNS_BUTTON},  {IDT_TOOLRIPSTART, 1, BTNS_BUTTON},
                         {IDT_TOOLCONFIGBTN, 2, BTNS_BUTTON}, {IDT_TOOLEXTENCODE, 8, BTNS_DROPDOWN},
                         {IDT_TOOLID3BTN, 3, BTNS_BUTTON},    {IDT_TOOLCDTEXTBTN, 4, BTNS_BUTTON},
                         {IDT_TOOLCDDBBTN, 5, BTNS_BUTTON}};
    for (int i = 0; i < 7; ++i)
        ToolBar2.AddButton(buttons[i].id, buttons[i].image, wx::LoadResString(MSG_FRAME_TOOLBAR2 + i), buttons[i].style);
    SendMessageA(tb2, TB_SETBUTTONSIZE, 0, MAKELONG(57, 51));
    SendMessageA(tb2, TB_AUTOSIZE, 0, 0);

    CoolBar1.Create(Handle(), IDC_COOLBAR1);
    RegisterItem(IDC_COOLBAR1, CoolBar1.Handle());
    SIZE s1{}, s2{};
    SendMessageA(tb1, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&s1));
    SendMessageA(tb2, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&s2));
    CoolBar1.AddBand(tb1, 20, s1.cx);
    CoolBar1.AddBand(tb2, 53, s2.cx);
}

void TForm1::BuildFrame() {
    BuildImageLists();
    MainMenus = wx::TMenu::Load(IDM_MAINMENUS);
    FilePulldown = GetSubMenu(MainMenus.Handle(), MENUPOS_FILE);
    ExecPullDown = GetSubMenu(MainMenus.Handle(), MENUPOS_EXEC);
    ConfigPullDown = GetSubMenu(MainMenus.Handle(), MENUPOS_CONFIG);
    ViewPullDown = GetSubMenu(MainMenus.Handle(), MENUPOS_VIEW);
    ToolPullDown = GetSubMenu(MainMenus.Handle(), MENUPOS_TOOL);
    HelpPullDown = GetSubMenu(MainMenus.Handle(), MENUPOS_HELP);
    EncodeMenu = GetSubMenu(MainMenus.Handle(), MENUPOS_ENCODE);
    AllangeIcons1 = GetSubMenu(ViewPullDown, 6);
    wx::TMenu(EncodeMenu).SetRadio(IDM_WAVEOUT, IDM_VQFOUT, IDM_WAVEOUT);
    Accelerators = LoadAcceleratorsA(wx::Application.ResourceModuleFor(MAKEINTRESOURCEA(IDA_MAIN), RT_ACCELERATOR),
                                     MAKEINTRESOURCEA(IDA_MAIN));
    wx::Application.SetAccelerators(Handle(), Accelerators);

    BuildToolBars();
    layout_.Add(CoolBar1.Handle(), wx::alTop);

    DrivePanel1.Create(Handle(), IDC_DRIVEPANEL1);
    RegisterItem(IDC_DRIVEPANEL1, DrivePanel1.Handle());
    DrivePanel1.SetDrawTop(2);
    DrivePanel1.SetDrawLeft(8);
    DrivePanel1.SetImages(&DrvImage);
    layout_.Add(DrivePanel1.Handle(), wx::alTop, 16 + 2 * 2 + 5);

    HWND sb1 = wx::CreateChild(*this, Handle(), STATUSCLASSNAMEA, IDC_STATUSBAR1, WS_VISIBLE | SBARS_SIZEGRIP);
    StatusBar1.SetParts({500, -1});
    layout_.Add(sb1, wx::alBottom);

    // Panel1: the test-playback bar.
    RegisterItem(IDC_PANEL1, Panel1.Create(Handle(), IDC_PANEL1, wx::bvLowered));
    layout_.Add(Panel1.Handle(), wx::alBottom, 30);
    {
        HWND p = Panel1.Handle();
        auto& l = Panel1.Layout();
        const int ids[] = {IDC_SPEEDBUTTON2, IDC_SPEEDBUTTON1, IDC_SPEEDBUTTON3, IDC_CLEARHISTORY};
        for (int i = 0; i < 4; ++i) {
            HWND b = wx::CreateChild(*this, p, "BUTTON", ids[i], WS_VISIBLE | BS_PUSHBUTTON,
                                     0, wx::LoadResString(MSG_FRAME_PLAYBAR + i).c_str());
            l.Add(b, wx::alLeft, i == 3 ? 64 : 56);
        }
        HWND combo = wx::CreateChild(*this, p, WC_COMBOBOXA, IDC_COMBOBOX1,
                                     WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
        SendMessageA(combo, CB_SETITEMHEIGHT, 0, 16);
        l.Add(combo, wx::alLeft, 220);
        HWND label = wx::CreateChild(*this, p, "STATIC", IDC_LABEL6, WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0, "00:00");
        l.Add(label, wx::alRight, 56);
        HWND bar = CustomTrackBar1.Create(p, TBS_HORZ | TBS_NOTICKS);
        CustomTrackBar1.SetRange(0, 240);
        l.Add(bar, wx::alClient);
        SpeedButton1.SetEnabled(false);
        SpeedButton3.SetEnabled(false);
        Panel1.OnResize = [this] {
            // The drop-down list of the history reaches below the bar.
            RECT r{};
            GetWindowRect(ComboBox1.Handle(), &r);
            MapWindowPoints(nullptr, Panel1.Handle(), reinterpret_cast<POINT*>(&r), 2);
            SetWindowPos(ComboBox1.Handle(), nullptr, r.left, 2, r.right - r.left, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        };
    }

    // Panel2: the folder tree.
    RegisterItem(IDC_PANEL2, Panel2.Create(Handle(), IDC_PANEL2));
    layout_.Add(Panel2.Handle(), wx::alLeft, 200);
    HWND tree = wx::CreateChild(*this, Panel2.Handle(), WC_TREEVIEWA, IDC_TREEVIEW1,
                                WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                    TVS_SHOWSELALWAYS,
                                WS_EX_CLIENTEDGE);
    wx::WantDialogKeys(tree);
    Panel2.Layout().Add(tree, wx::alClient);
    Panel2.OnResize = [this] { Panel2Resize(); };

    Splitter1.Create(Handle(), IDC_SPLITTER1, wx::alLeft, Panel2.Handle(), layout_);
    Splitter1.OnMoved = [this] { Splitter1Moved(); };

    // Panel3: the track list below, the file list above.
    RegisterItem(IDC_PANEL3, Panel3.Create(Handle(), IDC_PANEL3));
    layout_.Add(Panel3.Handle(), wx::alClient);
    RegisterItem(IDC_PANEL7, Panel7.Create(Panel3.Handle(), IDC_PANEL7));
    Panel3.Layout().Add(Panel7.Handle(), wx::alBottom, 180);
    HWND sb4 = PanelStatusBar(*this, Panel7.Handle(), IDC_STATUSBAR4);
    StatusBar4.SetParts({-1});
    Panel7.Layout().Add(sb4, wx::alTop);
    HWND tracks = wx::CreateChild(*this, Panel7.Handle(), WC_LISTVIEWA, IDC_TRACKLIST,
                                  WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE);
    TrackList.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    SendMessageA(tracks, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(Small.Handle()));
    const int widths[] = {60, 100, 100, 80, 100, 100, 60};
    for (int i = 0; i < 7; ++i) TrackList.AddColumn(wx::LoadResString(MSG_FRAME_TRACKCOLUMNS + i), widths[i]);
    wx::WantDialogKeys(tracks);
    Panel7.Layout().Add(tracks, wx::alClient);
    SetStatusBar4Text(std::string());

    Splitter2.Create(Panel3.Handle(), IDC_SPLITTER2, wx::alBottom, Panel7.Handle(), Panel3.Layout());
    Splitter2.OnMoved = [this] { Splitter2Moved(); };

    RegisterItem(IDC_PANEL4, Panel4.Create(Panel3.Handle(), IDC_PANEL4));
    Panel3.Layout().Add(Panel4.Handle(), wx::alClient);
    Panel3.OnResize = [this] { Panel3Resize(); };
    HWND sb2 = PanelStatusBar(*this, Panel4.Handle(), IDC_STATUSBAR2);
    StatusBar2.SetParts({250, -1});
    Panel4.Layout().Add(sb2, wx::alTop);
    HWND files = wx::CreateChild(*this, Panel4.Handle(), WC_LISTVIEWA, IDC_LISTVIEW1,
                                 WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                                 WS_EX_CLIENTEDGE);
    ListView1.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    wx::WantDialogKeys(files);
    Panel4.Layout().Add(files, wx::alClient);

    DisableUnbuiltCommands();
    Realign();
}

void TForm1::Realign() {
    if (!Handle()) return;
    layout_.Arrange(Handle());
}

void TForm1::BindCommands() {
    OnClick(IDT_FILEPULLDOWN, [this] { OpenPulldown(IDT_FILEPULLDOWN); });
    OnClick(IDT_EXECPULLDOWN, [this] { OpenPulldown(IDT_EXECPULLDOWN); });
    OnClick(IDT_CONFIGPULLDOWN, [this] { OpenPulldown(IDT_CONFIGPULLDOWN); });
    OnClick(IDT_VIEWPULLDOWN, [this] { OpenPulldown(IDT_VIEWPULLDOWN); });
    OnClick(IDT_TOOLPULLDOWN, [this] { OpenPulldown(IDT_TOOLPULLDOWN); });
    OnClick(IDT_HELPPULLDOWN, [this] { OpenPulldown(IDT_HELPPULLDOWN); });
    OnClick(IDM_EXIT1, [this] { Exit1Click(); });
    OnClick(IDT_TOOLCONFIGBTN, [this] { ToolConfigBtnClick(); });
    OnClick(IDM_CONFIGMENU, [this] { ConfigButtonClick(); });
    OnClick(IDT_TOOLCDDBBTN, [this] { ToolCDDBBtnClick(); });
    OnClick(IDM_CDDBD1, [this] { ToolCDDBBtnClick(); });
    OnClick(IDT_TOOLEXTENCODE, [this] { ToolExtEncodeClick(); });
    OnClick(IDM_PULLDOWNENCODE, [this] { ToolExtEncodeClick(); });
    OnClick(IDM_POPUPDISPTOOLBAR, [this] { PopupDispToolBarClick(); });
    OnClick(IDM_POPUPDISPPLAYPANEL, [this] { PopupDispPlayPanelClick(); });
    OnClick(IDM_EXECNORMZ, [this] { ExecNormzClick(); });
    OnClick(IDM_DRIVEBENCH, [this] { DriveBenchClick(); });
    OnClick(IDM_HELPTOPIX1, [this] { HelpTopix1Click(); });
    OnClick(IDM_KEYSEARCH, [this] { KeySearchClick(); });
    OnClick(IDM_ABOUT1, [this] { About1Click(); });
    for (int tag = 0; tag < 4; ++tag) OnClick(IDM_WAVEOUT + tag, [this, tag] { WAVEOutClick(tag); });
    OnClick(IDM_ENCODEFILES, [this] { OpenEncodeList({}); });
    OnNotify(IDC_TOOLBAR2, TBN_DROPDOWN, [this](NMHDR* nm) -> LRESULT {
        auto* tb = reinterpret_cast<NMTOOLBARA*>(nm);
        if (tb->iItem != IDT_TOOLEXTENCODE) return TBDDRET_NODEFAULT;
        RECT r{};
        SendMessageA(ToolBar2.Handle(), TB_GETRECT, IDT_TOOLEXTENCODE, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(ToolBar2.Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        const UINT cmd = wx::Prompter().PopupMenu(EncodeMenu, Handle(), r.left, r.bottom);
        if (cmd) PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
        return TBDDRET_DEFAULT;
    });
    OnNotify(IDC_COOLBAR1, RBN_HEIGHTCHANGE, [this](NMHDR*) -> LRESULT {
        Realign();
        return 0;
    });
    OnNotify(IDC_STATUSBAR4, NM_DBLCLK, [this](NMHDR*) -> LRESULT {
        StatusBar4DblClick();
        return 0;
    });
    OnDrawItem(IDC_STATUSBAR4, [this](DRAWITEMSTRUCT& di) { StatusBar4DrawPanel(di); });
}

void TForm1::DisableUnbuiltCommands() {
    // Each line goes when the window behind the command is built.
    wx::TMenu file(FilePulldown), exec(ExecPullDown), config(ConfigPullDown), tool(ToolPullDown);
    config.SetEnabled(IDM_CONFIGWIZERD, false);    // never built: no action
    tool.SetEnabled(IDM_V1, false);                // never built: no action
}

void TForm1::DriveBenchClick() { StartBenchMark(); }

}  // namespace wendrix
