// The internet connection settings of the CDDB dialog.  Edits the dialog's
// settings in memory: read on show, written on OK; nothing reaches the
// settings file here.
#pragma once
#include "classlib/controls.h"
#include "classlib/form.h"
#include "discinfo/cddbcfg.h"
#include "resources/cddbopt.h"

namespace wx {

class TCDDBOptionForm : public TForm {
public:
    TCDDBOptionForm(TComponent* owner, TCddbConfig& config);

    TTabControl PageControl1{this, IDC_OPT_TAB};
    TCheckBox HTTPBtn{this, IDC_OPT_HTTP};
    TCheckBox CDDBBtn{this, IDC_OPT_CDDB};
    TComboBox ServerList{this, IDC_OPT_SERVERLIST};
    TEdit CDDBPort{this, IDC_OPT_PORT};
    TEdit HTTPPathEdit{this, IDC_OPT_PATH};
    TEdit Timeout{this, IDC_OPT_TIMEOUT};
    TCheckBox ForceProto1{this, IDC_OPT_FORCEPROTO1};
    TCheckBox CheckMOTD{this, IDC_OPT_MOTD};
    TCheckBox UseProxy{this, IDC_OPT_USEPROXY};
    TEdit ProxyServerEdit{this, IDC_OPT_PROXYSERVER};
    TEdit ProxyPort{this, IDC_OPT_PROXYPORT};
    TCheckBox UseProxyAuth{this, IDC_OPT_USEPROXYAUTH};
    TEdit ProxyUser{this, IDC_OPT_PROXYUSER};
    TCheckBox AskPassword{this, IDC_OPT_ASKPASSWORD};
    TEdit ProxyPass{this, IDC_OPT_PROXYPASS};
    TEdit EmailAddrEdit{this, IDC_OPT_EMAIL};
    TEdit EmailReceiverEdit{this, IDC_OPT_RECEIVER};
    TComboBox SendProtocol{this, IDC_OPT_SENDPROTOCOL};

    // The enabling rules of the controls.
    void UpdateEnabling();
    // Shows page 0 (protocol), 1 (proxy) or 2 (mail).
    void ShowPage(int page);
    void Button1Click();

protected:
    void FormCreate() override;

private:
    TCddbConfig& cfg_;
};

}  // namespace wx
