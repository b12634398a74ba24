// The CDDB options dialog and the job's small dialogs against real
// controls (under Wine), scripted through the prompter seam.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/app.h"
#include "classlib/dialogs.h"
#include "discinfo/TrkInfoSet.h"
#include "discinfo/cddbopt.h"
#include "discinfo/cddbui.h"
#include "discinfo/choice.h"
#include "discinfo/motdfrm.h"
#include "discinfo/passedit.h"
#include "resources/msgids.h"
#include "tests/pump.h"

namespace wx {
namespace {

class CddbForms : public testing::Test {
protected:
    static void SetUpTestSuite() { Application.Initialize(); }
    TScriptedPrompter prompter;
    TPrompterGuard guard{prompter};
};

bool Enabled(TForm& f, int id) { return IsWindowEnabled(f.Item(id)) != 0; }

TEST_F(CddbForms, OptionsShowTheSettingsFollowTheRulesAndApplyOnOk) {
    TCddbConfig cfg;
    cfg.Servers = {"a.example", "b.example"};
    cfg.Select(1);
    cfg.Net.CddbpPort = 8880;
    cfg.Net.Timeout = 30;
    cfg.Net.Flags = kCddbFlagSubmitHttp;
    cfg.Net.UserEmail = "me@example.org";
    int round = 0;
    prompter.OnModal = [&](TForm& form) -> INT_PTR {
        auto& f = static_cast<TCDDBOptionForm&>(form);
        if (round++ == 0) {
            EXPECT_TRUE(f.CDDBBtn.Checked());
            EXPECT_FALSE(f.HTTPBtn.Checked());
            EXPECT_EQ(f.CDDBPort.Text(), "8880");
            EXPECT_EQ(f.ServerList.Text(), "b.example");
            EXPECT_EQ(f.SendProtocol.ItemIndex(), 1);
            EXPECT_EQ(f.EmailAddrEdit.Text(), "me@example.org");
            EXPECT_EQ(f.PageControl1.Count(), 3);
            // CDDB: no path, no proxy.
            EXPECT_FALSE(Enabled(f, IDC_OPT_PATH));
            EXPECT_TRUE(Enabled(f, IDC_OPT_PORT));
            EXPECT_FALSE(Enabled(f, IDC_OPT_USEPROXY));
            EXPECT_FALSE(Enabled(f, IDC_OPT_PROXYSERVER));
            // Values that are no number, and time-outs outside 1..120 s
            // (0 would make every read fail at once): refused, nothing
            // applied, the dialog stays.
            struct TBad {
                const char* port;
                const char* timeout;
            };
            for (const TBad& bad : {TBad{"port", "30"}, TBad{"8880", "x"}, TBad{"8880", "0"}, TBad{"8880", "-5"},
                                    TBad{"8880", "121"}}) {
                f.CDDBPort.SetText(bad.port);
                f.Timeout.SetText(bad.timeout);
                prompter.Messages.clear();
                f.Button1Click();
                EXPECT_EQ(f.ModalResult(), 0) << bad.port << " " << bad.timeout;
                EXPECT_EQ(prompter.Messages.size(), 1u);
                if (!prompter.Messages.empty()) {
                    EXPECT_EQ(prompter.Messages.back().text, LoadResString(MSG_CDDB_BAD_VALUE));
                }
            }
            EXPECT_EQ(cfg.Net.CddbpPort, 8880);
            f.CDDBPort.SetText("8880");
            f.Timeout.SetText("30");
            // HTTP through a proxy with authorization and an asked password.
            f.CDDBBtn.SetChecked(false);
            f.HTTPBtn.SetChecked(true);
            f.UseProxy.SetChecked(true);
            f.UpdateEnabling();
            EXPECT_TRUE(Enabled(f, IDC_OPT_PROXYSERVER));
            EXPECT_FALSE(Enabled(f, IDC_OPT_PROXYUSER));
            f.UseProxyAuth.SetChecked(true);
            f.AskPassword.SetChecked(true);
            f.UpdateEnabling();
            EXPECT_TRUE(Enabled(f, IDC_OPT_PROXYUSER));
            EXPECT_TRUE(Enabled(f, IDC_OPT_PROXYPASS));
            f.ProxyPort.SetText("port");
            f.Button1Click();  // a proxy port that is no number
            EXPECT_EQ(f.ModalResult(), 0);
            EXPECT_EQ(prompter.Messages.back().text, LoadResString(MSG_CDDB_BAD_VALUE));
            f.ProxyPort.SetText("3128");
            f.ProxyServerEdit.SetText("  proxy.example ");
            f.ProxyUser.SetText("alice");
            f.ProxyPass.SetText(" s3cret ");  // its blanks are part of it
            f.ServerList.SetText("new.example");
            f.ForceProto1.SetChecked(true);
            f.SendProtocol.SetItemIndex(0);
            f.Button1Click();
            return f.ModalResult();
        }
        // An existing server typed into the box selects it.
        auto& g = static_cast<TCDDBOptionForm&>(form);
        g.ServerList.SetText("a.example");
        g.Button1Click();
        return g.ModalResult();
    };
    TCDDBOptionForm form(nullptr, cfg);
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_EQ(cfg.Net.Flags, kCddbFlagHttp | kCddbFlagProxy | kCddbFlagProxyAuth | kCddbFlagAskPassword |
                                 kCddbFlagForceProto1);
    EXPECT_EQ(cfg.Net.ProxyPort, 3128);
    EXPECT_EQ(cfg.Net.ProxyHost, "proxy.example");
    EXPECT_EQ(cfg.Net.ProxyPassword, " s3cret ");
    EXPECT_EQ(cfg.Net.Timeout, 30);
    EXPECT_EQ(cfg.Servers, (std::vector<std::string>{"new.example", "a.example", "b.example"}));
    EXPECT_EQ(cfg.Net.ServerHost, "new.example");
    TCDDBOptionForm again(nullptr, cfg);
    EXPECT_EQ(again.ShowModal(), IDOK);
    EXPECT_EQ(cfg.Selected, 1);
    EXPECT_EQ(cfg.Net.ServerHost, "a.example");
}

TEST_F(CddbForms, JobDialogsAnswerThroughTheJobInterface) {
    TCddbDialogUi ui;
    prompter.OnModal = [](TForm& form) -> INT_PTR {
        if (auto* c = dynamic_cast<TChoiceForm*>(&form)) {
            EXPECT_EQ(c->ListBox1.Count(), 2);
            EXPECT_EQ(c->ListBox1.ItemIndex(), 0);
            EXPECT_GT(c->ListBox1.Send(LB_GETHORIZONTALEXTENT), 0);
            c->ListBox1.SetItemIndex(1);
            SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
            return form.ModalResult();
        }
        if (auto* p = dynamic_cast<TPasswordForm*>(&form)) {
            p->PasswordEdit.SetText("pw");
            SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
            return form.ModalResult();
        }
        if (auto* m = dynamic_cast<TMOTDForm*>(&form)) {
            EXPECT_EQ(m->Memo1.Text(), "Welcome.\r\nSecond line.\r\n");
            // At any size the button stands 10 pixels from the right edge.
            for (int width : {300, 520}) {
                SetWindowPos(form.Handle(), nullptr, 0, 0, width, 240, SWP_NOMOVE | SWP_NOZORDER);
                RECT c, b;
                GetClientRect(form.Handle(), &c);
                GetWindowRect(m->Button1.Handle(), &b);
                MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&b), 2);
                EXPECT_EQ(b.right, c.right - 10) << width;
                EXPECT_LE(b.bottom, c.bottom);
            }
            return IDOK;
        }
        return IDCANCEL;
    };
    EXPECT_EQ(ui.ChooseMatch({"ID: rock , TITLE =  A / B", "ID: jazz , TITLE =  C / D"}), 1);
    std::string pw;
    EXPECT_TRUE(ui.AskProxyPassword(pw));
    EXPECT_EQ(pw, "pw");
    ui.ShowServerMessage({"Welcome.", "Second line."});
    ui.ShowRefusal("");
    EXPECT_EQ(prompter.Messages.back().text, LoadResString(MSG_CDDB_REFUSED));
    prompter.OnModal = [](TForm&) -> INT_PTR { return IDCANCEL; };
    EXPECT_EQ(ui.ChooseMatch({"x"}), -1);
    EXPECT_FALSE(ui.AskProxyPassword(pw));

    TTrackInfoForm t;
    t.TrackInfo = "old";
    prompter.OnModal = [](TForm& form) -> INT_PTR {
        auto& f = static_cast<TTrackInfoForm&>(form);
        EXPECT_EQ(f.TrackInfoEdit.Text(), "old");
        f.TrackInfoEdit.SetText("New title");
        f.TrkExtInfoEdit.SetText("line");
        SendMessageA(form.Handle(), WM_COMMAND, IDOK, 0);
        return form.ModalResult();
    };
    EXPECT_EQ(t.ShowModal(), IDOK);
    EXPECT_EQ(t.TrackInfo, "New title");
    EXPECT_EQ(t.TrackExtInfo, "line");
}

// With WX_HOLD_SECONDS set, the options dialog stays up that long on the
// page WX_HOLD_PAGE (for a screenshot taken from outside).
TEST_F(CddbForms, HoldForScreenshot) {
    const char* hold = std::getenv("WX_HOLD_SECONDS");
    if (!hold) GTEST_SKIP() << "WX_HOLD_SECONDS not set";
    TCddbConfig cfg;
    cfg.Servers = CddbBuiltInServers();
    cfg.Select(0);
    cfg.Net.Flags = kCddbFlagHttp | kCddbFlagProxy | kCddbFlagProxyAuth;
    cfg.Net.ProxyHost = "proxy.example";
    cfg.Net.ProxyUser = "alice";
    TCDDBOptionForm form(nullptr, cfg);
    form.Show();
    const char* page = std::getenv("WX_HOLD_PAGE");
    if (page) {
        form.PageControl1.SetTabIndex(std::atoi(page));
        form.ShowPage(std::atoi(page));
    }
    wxtest::PumpFor(static_cast<DWORD>(std::atoi(hold)) * 1000);
    form.DestroyHandle();
}

}  // namespace
}  // namespace wx
