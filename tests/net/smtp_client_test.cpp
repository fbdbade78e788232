// The SMTP client against aiosmtpd on loopback; what arrives is taken apart by
// Python's email package and compared with what was sent.
#include "net/smtp_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "net/peer_servers.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// Stores each message as <n>.eml and its envelope as <n>.env in argv[1]; refuses
// the recipient nobody@example.org. Prints its port.
const char* kSmtpServer = R"(
import asyncio, os, sys
from aiosmtpd.smtp import SMTP
out = sys.argv[1]
class H:
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address == 'nobody@example.org':
            return '550 no such user'
        envelope.rcpt_tos.append(address)
        return '250 OK'
    async def handle_DATA(self, server, session, envelope):
        n = len([f for f in os.listdir(out) if f.endswith('.eml')])
        open(os.path.join(out, '%d.env' % n), 'w').write(envelope.mail_from + '\n' + '\n'.join(envelope.rcpt_tos))
        open(os.path.join(out, '%d.eml' % n), 'wb').write(envelope.original_content)
        return '250 OK'
loop = asyncio.new_event_loop()
srv = loop.run_until_complete(loop.create_server(lambda: SMTP(H(), decode_data=False), '127.0.0.1', 0))
print(srv.sockets[0].getsockname()[1], flush=True)
loop.run_forever()
)";

// Writes the text part as body.txt (UTF-8, LF line ends) and each attachment under
// its file name; prints the decoded subject and the text part's charset.
const char* kTakeApart = R"(
import email, sys
from email import policy
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
print(m['Subject'])
for part in m.walk():
    if part.is_multipart():
        continue
    name = part.get_filename()
    if name:
        open(sys.argv[2] + '/' + name, 'wb').write(part.get_payload(decode=True))
    else:
        print(part.get_content_charset())
        open(sys.argv[2] + '/body.txt', 'w', encoding='utf-8', newline='').write(part.get_content().replace('\r\n', '\n'))
)";

class SmtpClientTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    if (!test::HavePythonModule("aiosmtpd")) GTEST_SKIP() << "aiosmtpd not installed";
    Spool = Dir + "spool";
    std::filesystem::create_directories(Spool);
    ASSERT_TRUE(Server.Start({test::kSystemPython, "-c", kSmtpServer, Spool}));
  }
  void Configure(TSyncSmtpClient& C) {
    C.SetHost("127.0.0.1");
    C.SetPort(Server.FirstLine());
    C.SetSignOn("kavrelin.test");
    C.SetFromName("cam@example.org");
    C.SetHdrFrom("Cam <cam@example.org>");
    C.SetHdrTo("viewer@example.org");
    C.SetHdrSubject("Frame");
    C.SetTimeout(20);
    TStringList rcpt;
    rcpt.Add("viewer@example.org");
    C.SetRcptName(&rcpt);
    C.OnDisplay = [this](TObject*, const std::string& M) { Log += M + "\n"; };
  }
  size_t Delivered() {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(Spool)) n += e.path().extension() == ".eml";
    return n;
  }

  test::TPeerProcess Server;
  std::string Spool, Log;
};

TEST_F(SmtpClientTest, AttachmentsEightBitTextAndLongLinesArriveIntact) {
  std::mt19937 rng(9);
  std::vector<std::vector<uint8_t>> files = {std::vector<uint8_t>(200000), std::vector<uint8_t>(46), {}};
  for (auto& f : files)
    for (auto& b : f) b = uint8_t(rng());
  const std::vector<std::string> names = {"frame.jpg", "small.bin", "empty.dat"};
  TStringList attach;
  for (size_t i = 0; i < files.size(); ++i) {
    test::WriteBytes(Dir + names[i], files[i]);
    attach.Add(Dir + names[i]);
  }
  const std::vector<std::string> lines = {
      "Gr\xC3\xBC\xC3\x9F" "e aus der Kamera", std::string(2500, 'x') + " end", ".", ".leading dot", "", "last"};
  for (bool withFiles : {true, false}) {
    TSyncSmtpClient c(nullptr);
    Configure(c);
    c.SetHdrSubject("Bild f\xC3\xBCr dich");
    TStringList body;
    body.AssignLines(lines);
    c.SetMailMessage(&body);
    if (withFiles) c.SetEmailFiles(&attach);
    ASSERT_TRUE(c.Connect()) << c.ErrorMessage() << Log;
    ASSERT_TRUE(c.Helo()) << c.ErrorMessage();
    ASSERT_TRUE(c.Mail()) << c.ErrorMessage() << Log.substr(0, 3000);
    ASSERT_TRUE(c.Quit());

    const std::string eml = Spool + "/" + std::to_string(Delivered() - 1) + ".eml";
    // No line on the wire may exceed the 998 characters mail allows.
    const std::string raw = test::ReadText(eml);
    size_t start = 0, longest = 0;
    for (size_t at; (at = raw.find("\r\n", start)) != std::string::npos; start = at + 2)
      longest = std::max(longest, at - start);
    EXPECT_LE(longest, 998u);
    test::TScratchFolder parts("smtpparts");
    const std::string out = test::RunCapture(std::string(test::kSystemPython) + " -c \"$(cat <<'PY'\n" + kTakeApart +
                                             "\nPY\n)\" " + eml + " " + parts.Path());
    EXPECT_EQ(out, "Bild f\xC3\xBCr dich\niso-8859-1\n") << withFiles;
    // In a multipart message the last line end belongs to the boundary.
    std::string expected, got = test::ReadText(parts.Path() + "/body.txt");
    for (const auto& l : lines) expected += l + "\n";
    if (withFiles) expected.pop_back();
    EXPECT_EQ(got, expected) << withFiles;
    if (withFiles) {
      for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(test::ReadBytes(parts.Path() + "/" + names[i]), files[i]) << names[i];
    }
  }
}

TEST_F(SmtpClientTest, RefusedRecipientStopsBeforeData) {
  TSyncSmtpClient c(nullptr);
  Configure(c);
  TStringList rcpt;
  rcpt.AssignLines({"viewer@example.org", "nobody@example.org"});
  c.SetRcptName(&rcpt);
  ASSERT_TRUE(c.Connect());
  ASSERT_TRUE(c.Helo());
  EXPECT_FALSE(c.Mail());
  EXPECT_EQ(c.RequestResult(), 550);
  EXPECT_EQ(c.ErrorMessage(), "550 no such user");
  EXPECT_EQ(Log.find("> DATA"), std::string::npos);
  EXPECT_TRUE(c.Quit());
  EXPECT_EQ(Delivered(), 0u);
}

// Nothing reaches the server when the message cannot be sent whole: an
// attachment gone missing, or a line break that would forge a header or command.
TEST_F(SmtpClientTest, BadMessagesFailBeforeAnythingIsSent) {
  const std::string gone = Dir + "gone.jpg";
  test::WriteText(gone, "x");
  struct TCase {
    const char* What;
    std::function<void(TSyncSmtpClient&)> Spoil;
  } cases[] = {
      {"missing attachment",
       [&](TSyncSmtpClient& c) {
         TStringList f;
         f.Add(gone);
         c.SetEmailFiles(&f);
         std::filesystem::remove(gone);
       }},
      {"subject", [](TSyncSmtpClient& c) { c.SetHdrSubject("Hi\r\nBcc: eve@example.org"); }},
      {"header to", [](TSyncSmtpClient& c) { c.SetHdrTo("a@example.org\nBcc: eve@example.org"); }},
      {"sender", [](TSyncSmtpClient& c) { c.SetFromName("cam@example.org>\r\nRCPT TO:<eve@example.org"); }},
      {"recipient",
       [](TSyncSmtpClient& c) {
         TStringList r;
         r.Add("viewer@example.org\rDATA");
         c.SetRcptName(&r);
       }},
  };
  for (auto& k : cases) {
    TSyncSmtpClient c(nullptr);
    Configure(c);
    ASSERT_TRUE(c.Connect());
    ASSERT_TRUE(c.Helo());
    Log.clear();
    k.Spoil(c);
    EXPECT_FALSE(c.Mail()) << k.What;
    EXPECT_EQ(Log.find("> MAIL"), std::string::npos) << k.What;
    EXPECT_FALSE(c.ErrorMessage().empty()) << k.What;
    EXPECT_TRUE(c.Quit()) << k.What;
  }
  EXPECT_EQ(Delivered(), 0u);
}

}  // namespace
}  // namespace kv
