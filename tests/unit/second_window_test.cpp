// The second window's newsletter and quality-improvement pages under the scripted host, with the
// request answered by a stand-in for the server.
#include "online/second_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine_test_support.h"
#include "online/newsletter_page.h"
#include "system/registry.h"
#include "system/settings_keys.h"

namespace nd::test {
namespace {

using online::SignUpInputProblem;
using ui::MsgBoxIcon;

struct SecondRig {
  SecondRig() : context(ScratchContext(scratch)) {
    online::SecondServices services{
        context, host, [this] { return standard_scale; },
        [this](const std::string& url, const std::string& path, size_t length) {
          requests.push_back(url);
          if (answered) WriteFile(path, answer);
          EXPECT_EQ(length, 1000u);
          return answered;
        }};
    form = std::make_unique<online::SecondForm>(std::move(services));
    host.Attach(*form);
    online::WireSecondForm(*form);
  }

  online::SecondForm& Open(online::SecondPage page) {
    online::SecondForm_Load(*form);
    online::ShowSecondPage(*form, page);
    return *form;
  }

  // Fills the page in and clicks Subscribe.
  void SignUp(const std::string& email, const std::string& first = "Ada",
              const std::string& last = "Lovelace") {
    form->Text1.SetText(email);
    form->FN.SetText(first);
    form->LN.SetText(last);
    form->Command2.UserClick();
  }

  // The server's answer: 1000 bytes whose first line is `first_line`.
  void Answer(const std::string& first_line) {
    answer = first_line + "\r\n";
    answer.resize(1000, 'x');
  }

  std::string Text(const char* section, const char* key) {
    return LookupText(context.language, section, key);
  }

  ScratchFolder scratch;
  Context context;
  ui::ScriptedHost host;
  bool standard_scale = true;
  bool answered = true;
  std::string answer;
  std::vector<std::string> requests;
  std::unique_ptr<online::SecondForm> form;
};

TEST(SignUpInput, TheLastFailingCheckDecides) {
  EXPECT_EQ(SignUpInputProblem("ab@cd.e", "Al", "Bo"), "");
  EXPECT_EQ(SignUpInputProblem("a@b.c", "Al", "Bo"), "SHORT-EMAIL");
  EXPECT_EQ(SignUpInputProblem("abcdefg", "Al", "Bo"), "INVALID-EMAIL");
  EXPECT_EQ(SignUpInputProblem("abc", "Al", "Bo"), "INVALID-EMAIL");
  EXPECT_EQ(SignUpInputProblem("ada@example.org", "A", "Bo"), "INVALID-NAME");
  EXPECT_EQ(SignUpInputProblem("ada@example.org", "Al", ""), "INVALID-NAME");
  EXPECT_EQ(SignUpInputProblem("a@b.c", "A", "B"), "SHORT-EMAIL");
  EXPECT_EQ(SignUpInputProblem("ada @example.org", "Al", "Bo"), "INVALID-EMAIL");
  EXPECT_EQ(SignUpInputProblem("ada&x@example.org", "Al", "Bo"), "INVALID-EMAIL");
  // Only the address is checked for blanks and ampersands.
  EXPECT_EQ(SignUpInputProblem("ada@example.org", "Ada Mary", "Smith & Co"), "");
}

TEST(Newsletter, BadInputIsRefusedBeforeAnythingIsStoredOrSent) {
  SecondRig rig;
  rig.Open(online::SecondPage::kNewsletter);
  rig.SignUp("a@b.c");
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, MsgBoxIcon::kExclamation);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text, rig.Text("SUBSCRIBER", "SHORT-EMAIL"));
  EXPECT_TRUE(rig.requests.empty());
  EXPECT_EQ(Get(rig.context.settings, settings::kSubscriptionEmail), "");
  EXPECT_TRUE(rig.form->Picture1.Visible());
}

TEST(Newsletter, AFailedRequestKeepsTheAddressAndLetsTheUserRetry) {
  SecondRig rig;
  rig.answered = false;
  rig.Open(online::SecondPage::kNewsletter);
  rig.SignUp("ada@example.org", "Ada", "Smith & Co");
  ASSERT_EQ(rig.requests.size(), 1u);
  EXPECT_NE(rig.requests[0].find("&email=ada%40example.org"), std::string::npos);
  EXPECT_NE(rig.requests[0].find("&t=1000&fn=Ada&ln=Smith%20%26%20Co"), std::string::npos);
  EXPECT_EQ(Get(rig.context.settings, settings::kSubscriptionEmail), "ada@example.org");
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, MsgBoxIcon::kExclamation);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text, rig.Text("SUBSCRIBER", "WRONG-SERVER-RESPONSE"));
  EXPECT_TRUE(rig.form->Command2.Enabled());
  EXPECT_TRUE(rig.form->Picture1.Visible());

  // The address comes back the next time the page opens.
  SecondRig again;
  again.context.settings = rig.context.settings;
  EXPECT_EQ(again.Open(online::SecondPage::kNewsletter).Text1.Text(), "ada@example.org");
}

TEST(Newsletter, EachMarkerOfTheAnswerIsLookedForOnItsOwn) {
  struct Case {
    std::string first_line;
    std::vector<const char*> boxes;
    bool goes_on;
  };
  const std::vector<Case> cases = {
      {"[OKAY]", {"OK-SERVER-RESPONSE"}, true},
      {"[ERROR]", {"WRONG-SERVER-RESPONSE"}, false},
      {"[ALREADY-SUBSCRIBED]", {"ALREADY-SERVER-RESPONSE"}, true},
      {"[OKAY] [ALREADY-SUBSCRIBED]", {"OK-SERVER-RESPONSE", "ALREADY-SERVER-RESPONSE"}, true},
      {"[OKAY][ERROR][ALREADY-SUBSCRIBED]", {"OK-SERVER-RESPONSE", "WRONG-SERVER-RESPONSE"}, false},
      {"no marker", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_line);
    SecondRig rig;
    rig.Answer(c.first_line);
    rig.Open(online::SecondPage::kNewsletter);
    rig.SignUp("ada@example.org");
    ASSERT_EQ(rig.host.MsgBoxes().size(), c.boxes.size());
    for (size_t i = 0; i < c.boxes.size(); ++i) {
      EXPECT_EQ(rig.host.MsgBoxes()[i].icon, MsgBoxIcon::kInformation);
      EXPECT_EQ(rig.host.MsgBoxes()[i].text, rig.Text("SUBSCRIBER", c.boxes[i]));
    }
    EXPECT_EQ(rig.form->Picture5.Visible(), c.goes_on);
    EXPECT_EQ(rig.form->Picture1.Visible(), !c.goes_on);
    EXPECT_EQ(rig.form->Command2.Enabled(), !c.goes_on);
    EXPECT_FALSE(FileExists(online::AnswerFilePath(rig.context.env)));
  }
}

TEST(Newsletter, DecliningMovesOnWithoutStoringOrSending) {
  SecondRig rig;
  rig.Open(online::SecondPage::kNewsletter);
  rig.form->Text1.SetText("ada@example.org");
  rig.form->Command1.UserClick();
  EXPECT_TRUE(rig.form->Picture5.Visible());
  EXPECT_TRUE(rig.requests.empty());
  EXPECT_EQ(Get(rig.context.settings, settings::kSubscriptionEmail), "");
}

TEST(QualityProgramme, SavingRecordsTheAnswerAndEndsTheProgram) {
  for (bool join : {true, false}) {
    SCOPED_TRACE(join);
    SecondRig rig;
    Save(rig.context.settings, settings::kCip, join ? "NO" : "YES");
    WriteFile(rig.context.env.data_folder + "/cip.txt", "stale");
    online::SecondForm& f = rig.Open(online::SecondPage::kNewsletter);
    EXPECT_EQ(f.Check1.Value(), join ? 0 : 1);  // as stored
    f.Command1.UserClick();
    f.Check1.SetValue(join ? 1 : 0);
    f.Command8.UserClick();
    EXPECT_EQ(Get(rig.context.settings, settings::kCip), join ? "YES" : "NO");
    EXPECT_EQ(FileExists(rig.context.env.data_folder + "/cip.txt"), !join);
    ASSERT_EQ(rig.host.MsgBoxes().size(), join ? 1u : 0u);
    if (join) {
      EXPECT_EQ(rig.host.MsgBoxes()[0].text, rig.Text("CIP", "THANKS"));
    }
    EXPECT_TRUE(f.IsClosed());
    EXPECT_EQ(rig.host.ExitCode(), 0);
  }
}

TEST(SecondWindowLoad, WarnsOnlyWhenTheDisplayIsNotAtTheStandardScale) {
  for (bool standard : {true, false}) {
    SecondRig rig;
    rig.standard_scale = standard;
    online::SecondForm& f = rig.Open(online::SecondPage::kLanguage);
    EXPECT_TRUE(f.Picture4.Visible());
    EXPECT_FALSE(f.Picture1.Visible());
    EXPECT_EQ(f.Caption(), "Nulldrift");
    if (standard) {
      EXPECT_TRUE(rig.host.MsgBoxes().empty());
    } else {
      ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
      EXPECT_EQ(rig.host.MsgBoxes()[0].text,
                "Please set your display settings to 96 DPI.\n\nIn other case the program wont "
                "appear properly!");
    }
  }
}

// The Windows check reads the registry's AppliedDPI, a DWORD rendered byte by byte.
TEST(SecondWindowLoad, AppliedDpiIsStandardOnlyAt96Dpi) {
  auto rendered = [](uint32_t dpi) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((dpi >> (8 * i)) & 0xFF);
    return RenderRegistryValue({kRegDword, bytes});
  };
  EXPECT_EQ(rendered(96), "60 00 00 00 ");
  EXPECT_TRUE(online::AppliedDpiIsStandard(rendered(96)));
  EXPECT_FALSE(online::AppliedDpiIsStandard(rendered(120)));
  EXPECT_FALSE(online::AppliedDpiIsStandard(rendered(144)));
  // A missing value reads as the empty text.
  EXPECT_FALSE(online::AppliedDpiIsStandard(""));
}

}  // namespace
}  // namespace nd::test
