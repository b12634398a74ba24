#include "discinfo/cddbopt.h"

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "classlib/sjis.h"
#include "output/dlgcenter.h"
#include "resources/msgids.h"
#include "settings/inifile.h"

namespace wx {

namespace {

const int kPages[3][16] = {
    {IDC_OPT_PROTOGROUP, IDC_OPT_HTTP, IDC_OPT_CDDB, IDC_OPT_SERVERLABEL, IDC_OPT_SERVERLIST, IDC_OPT_PORTLABEL,
     IDC_OPT_PORT, IDC_OPT_PATHLABEL, IDC_OPT_PATH, IDC_OPT_TIMEOUTLABEL, IDC_OPT_TIMEOUT, IDC_OPT_FORCEPROTO1,
     IDC_OPT_MOTD, 0},
    {IDC_OPT_USEPROXY, IDC_OPT_PROXYSERVERLABEL, IDC_OPT_PROXYSERVER, IDC_OPT_PROXYPORTLABEL, IDC_OPT_PROXYPORT,
     IDC_OPT_USEPROXYAUTH, IDC_OPT_PROXYUSERLABEL, IDC_OPT_PROXYUSER, IDC_OPT_ASKPASSWORD, IDC_OPT_PROXYPASSLABEL,
     IDC_OPT_PROXYPASS, 0},
    {IDC_OPT_EMAILLABEL, IDC_OPT_EMAIL, IDC_OPT_RECEIVERLABEL, IDC_OPT_RECEIVER, IDC_OPT_SENDLABEL,
     IDC_OPT_SENDPROTOCOL, 0},
};

bool Number(const std::string& text, std::int32_t& v) { return ParseInt32(TrimSpaces(text), v); }

}  // namespace

TCDDBOptionForm::TCDDBOptionForm(TComponent* owner, TCddbConfig& config)
    : TForm(owner, "TCDDBOPTIONFORM"), cfg_(config) {
    OnClick(IDOK, [this] { Button1Click(); });
    for (int id : {IDC_OPT_HTTP, IDC_OPT_CDDB, IDC_OPT_USEPROXY, IDC_OPT_USEPROXYAUTH, IDC_OPT_ASKPASSWORD})
        OnClick(id, [this] { UpdateEnabling(); });
    OnNotify(IDC_OPT_TAB, TCN_SELCHANGE, [this](NMHDR*) -> LRESULT {
        ShowPage(PageControl1.TabIndex());
        return 0;
    });
}

void TCDDBOptionForm::FormCreate() {
    for (UINT id : {MSG_CDDB_OPT_PAGE_PROTOCOL, MSG_CDDB_OPT_PAGE_PROXY, MSG_CDDB_OPT_PAGE_MAIL}) {
        const std::string page = LoadResString(id);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(page.c_str());
        PageControl1.Send(TCM_INSERTITEMA, static_cast<WPARAM>(PageControl1.Count()), reinterpret_cast<LPARAM>(&item));
    }
    const TCDDBNetSettings& n = cfg_.Net;
    HTTPBtn.SetChecked(n.Flags & kCddbFlagHttp);
    CDDBBtn.SetChecked(!(n.Flags & kCddbFlagHttp));
    CDDBPort.SetText(std::to_string(n.CddbpPort));
    ServerList.Clear();
    for (const std::string& s : cfg_.Servers) ServerList.Add(s);
    ServerList.SetItemIndex(cfg_.Selected);
    ProxyPort.SetText(std::to_string(n.ProxyPort));
    ProxyServerEdit.SetText(n.ProxyHost);
    HTTPPathEdit.SetText(n.HttpPath);
    UseProxy.SetChecked(n.Flags & kCddbFlagProxy);
    UseProxyAuth.SetChecked(n.Flags & kCddbFlagProxyAuth);
    AskPassword.SetChecked(n.Flags & kCddbFlagAskPassword);
    ProxyPass.SetText(n.ProxyPassword);
    Timeout.SetText(std::to_string(n.Timeout));
    ProxyUser.SetText(n.ProxyUser);
    EmailReceiverEdit.SetText(n.SubmitReceiver);
    EmailAddrEdit.SetText(n.UserEmail);
    CheckMOTD.SetChecked(n.ShowMotd != 0);
    SendProtocol.Clear();
    SendProtocol.Add("SMTP");
    SendProtocol.Add("HTTP");
    SendProtocol.SetItemIndex((n.Flags & kCddbFlagSubmitHttp) ? 1 : 0);
    ForceProto1.SetChecked(n.Flags & kCddbFlagForceProto1);
    PageControl1.SetTabIndex(0);
    ShowPage(0);
    UpdateEnabling();
    GetCenter(*this);
}

void TCDDBOptionForm::ShowPage(int page) {
    for (int p = 0; p < 3; ++p)
        for (const int* id = kPages[p]; *id; ++id) ShowWindow(Item(*id), p == page ? SW_SHOW : SW_HIDE);
}

void TCDDBOptionForm::UpdateEnabling() {
    const bool http = HTTPBtn.Checked();
    HTTPPathEdit.SetEnabled(http);
    EnableWindow(Item(IDC_OPT_PATHLABEL), http);
    EnableWindow(Item(IDC_OPT_PORTLABEL), !http);
    CDDBPort.SetEnabled(!http);
    UseProxy.SetEnabled(http);
    const bool proxy = http && UseProxy.Checked();
    ProxyServerEdit.SetEnabled(proxy);
    EnableWindow(Item(IDC_OPT_PROXYSERVERLABEL), proxy);
    ProxyPort.SetEnabled(proxy);
    EnableWindow(Item(IDC_OPT_PROXYPORTLABEL), proxy);
    UseProxyAuth.SetEnabled(proxy);
    const bool auth = proxy && UseProxyAuth.Checked();
    ProxyUser.SetEnabled(auth);
    EnableWindow(Item(IDC_OPT_PROXYUSERLABEL), auth);
    AskPassword.SetEnabled(auth);
    const bool pass = auth && AskPassword.Checked();
    ProxyPass.SetEnabled(pass);
    EnableWindow(Item(IDC_OPT_PROXYPASSLABEL), pass);
}

void TCDDBOptionForm::Button1Click() {
    std::int32_t port = 0, timeout = 0, proxyPort = 0;
    bool ok = true;
    if (!Number(CDDBPort.Text(), port)) {
        if (CDDBBtn.Checked())
            ok = false;
        else
            CDDBPort.SetText("");
    }
    // A time-out outside the settings' range would make every read fail at
    // once (0 or less) or wait for hours: as invalid as a word.
    if (!Number(Timeout.Text(), timeout) || timeout < kCddbMinTimeout || timeout > kCddbMaxTimeout) ok = false;
    if (!Number(ProxyPort.Text(), proxyPort)) {
        if (UseProxy.Checked())
            ok = false;
        else
            ProxyPort.SetText("");
    }
    if (!ok) {
        ShowMessageBox(LoadResString(MSG_CDDB_BAD_VALUE), MB_OK | MB_ICONERROR, Handle());
        return;
    }
    TCDDBNetSettings& n = cfg_.Net;
    n.Timeout = timeout;
    if (!TrimSpaces(CDDBPort.Text()).empty()) n.CddbpPort = port;
    if (!TrimSpaces(ProxyPort.Text()).empty()) n.ProxyPort = proxyPort;
    std::uint8_t f = 0;
    if (HTTPBtn.Checked()) f |= kCddbFlagHttp;
    if (UseProxy.Checked()) f |= kCddbFlagProxy;
    if (SendProtocol.ItemIndex() == 1) f |= kCddbFlagSubmitHttp;
    if (UseProxyAuth.Checked()) f |= kCddbFlagProxyAuth;
    if (AskPassword.Checked()) f |= kCddbFlagAskPassword;
    if (ForceProto1.Checked()) f |= kCddbFlagForceProto1;
    n.Flags = f;

    // The combo's text: an entry of the list (typed or chosen) selects it;
    // a new one goes first and is selected.
    const std::string typed = TrimSpaces(ServerList.Text());
    int selected = -1;
    for (std::size_t i = 0; i < cfg_.Servers.size(); ++i)
        if (cfg_.Servers[i] == typed) selected = static_cast<int>(i);
    if (selected < 0 && !typed.empty()) {
        cfg_.Servers.insert(cfg_.Servers.begin(), typed);
        if (cfg_.Servers.size() > static_cast<std::size_t>(kCddbMaxServers)) cfg_.Servers.resize(kCddbMaxServers);
        selected = 0;
    }
    cfg_.Select(selected < 0 ? 0 : selected);

    n.ProxyHost = TrimSpaces(ProxyServerEdit.Text());
    n.HttpPath = TrimSpaces(HTTPPathEdit.Text());
    // The password as typed: blanks at its ends are part of it.
    n.ProxyPassword = ProxyPass.Text();
    n.ProxyUser = TrimSpaces(ProxyUser.Text());
    n.SubmitReceiver = TrimSpaces(EmailReceiverEdit.Text());
    n.UserEmail = TrimSpaces(EmailAddrEdit.Text());
    n.ShowMotd = CheckMOTD.Checked() ? 1 : 0;
    SetModalResult(IDOK);
}

}  // namespace wx
