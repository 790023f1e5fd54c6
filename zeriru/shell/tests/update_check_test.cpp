#include "zeriru/update_check.h"

#include "local_http_server.h"
#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

std::string Reply(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nSet-Cookie: session=1\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::string Information(int version, const std::string& verStr) {
    return "[Information]\r\nVersion=" + std::to_string(version) + "\r\nVerStr=" + verStr +
           "\r\nUrl=http://download.example/dozoze2.exe\r\n";
}

struct UpdateCheckTest : ::testing::Test {
    fs::path folder;
    void SetUp() override {
        char tmpl[] = "/tmp/update_check_test_XXXXXX";
        folder = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(folder); }

    HttpGetRequest Direct(int port, const std::string& path = "/dozoze/2/update.inf") const {
        HttpGetRequest r;
        r.url = "http://127.0.0.1:" + std::to_string(port) + path;
        r.timeoutMs = 3000;
        return r;
    }
    // The whole check from the menu and at start-up on one fetch.
    struct Outcome {
        UpdateCheckOutcome menu, startup;
        std::vector<std::string> menuMessages, startupMessages;
        std::vector<std::string> opened;
    };
    Outcome Check(const HttpGetRequest& request, Answer answer = Answer::No) {
        Outcome out;
        auto open = [&](const std::string& url) {
            out.opened.push_back(url);
            return true;
        };
        const auto info = FetchUpdateInformation(folder, request);
        ScriptedUi menu, startup;
        menu.QueueAnswer(answer);
        startup.QueueAnswer(answer);
        out.menu = ReportUpdateInformation(menu, info, true, open);
        out.startup = ReportUpdateInformation(startup, info, false, open);
        out.menuMessages = menu.messages();
        out.startupMessages = startup.messages();
        return out;
    }
};

}  // namespace

TEST_F(UpdateCheckTest, ANewerVersionAsksWithItsShiftJisTextAndYesOpensTheAddress) {
    const std::string verStr = S("Ver.2.45.0.4 (修正版)");
    LocalHttpServer server(Reply("200 OK", Information(24504, verStr)));
    const Outcome out = Check(Direct(server.port()), Answer::Yes);
    const std::string question = S("最新版(") + verStr + S(")が公開されています。ダウンロードしますか？");
    EXPECT_EQ(out.menu, UpdateCheckOutcome::Opened);
    EXPECT_EQ(out.startup, UpdateCheckOutcome::Opened);
    EXPECT_EQ(out.menuMessages, std::vector<std::string>{question});
    EXPECT_EQ(out.startupMessages, std::vector<std::string>{question});
    EXPECT_EQ(out.opened, (std::vector<std::string>(2, "http://download.example/dozoze2.exe")));
    // The header went into the file before the section and was not read as entries.
    const std::string stored = [&] {
        std::ifstream in(folder / "update.inf", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(stored.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("GET /dozoze/2/update.inf HTTP/1.0\r\n", 0), 0u) << server.requests()[0];
}

TEST_F(UpdateCheckTest, TheSameVersionIsReportedFromTheMenuOnly) {
    LocalHttpServer server(Reply("200 OK", Information(24503, "Ver.2.45.0.3")));
    const Outcome out = Check(Direct(server.port()));
    EXPECT_EQ(out.menu, UpdateCheckOutcome::UpToDate);
    EXPECT_EQ(out.menuMessages,
              std::vector<std::string>{S("既に最新版(2.45.0.3)を使用しています。定期的に更新をチェックすることをおすすめします。")});
    EXPECT_TRUE(out.startupMessages.empty());
    EXPECT_TRUE(out.opened.empty());
}

TEST_F(UpdateCheckTest, EveryFailureToFetchIsOneMessageFromTheMenuAndSilenceAtStartUp) {
    const std::string failed = S("最新版についての情報を取得することができませんでした。");
    // An old file of an earlier check must not answer for a failed one.
    std::ofstream(folder / "update.inf") << Information(30000, "old");
    struct Case {
        const char* name;
        std::string reply;
        bool silent;
    } cases[] = {
        {"404 page", Reply("404 Not Found", "<html>[Information]\r\nVersion=99999\r\n</html>"), false},
        {"500 page", Reply("500 Internal Server Error", ""), false},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n", false},
        {"never answers", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(c.reply, c.silent);
        HttpGetRequest request = Direct(server.port());
        if (c.silent) request.timeoutMs = 300;  // the 6 s of the editor, shortened
        const Outcome out = Check(request);
        EXPECT_EQ(out.menu, UpdateCheckOutcome::NoInformation);
        EXPECT_EQ(out.menuMessages, std::vector<std::string>{failed});
        EXPECT_TRUE(out.startupMessages.empty());
        EXPECT_FALSE(fs::exists(folder / "update.inf"));
    }
    SCOPED_TRACE("closed port");
    const Outcome closed = Check(Direct(LocalHttpServer::ClosedPort()));
    EXPECT_EQ(closed.menuMessages, std::vector<std::string>{failed});
    HttpGetRequest bad;
    bad.url = "ftp://127.0.0.1/update.inf";
    EXPECT_EQ(Check(bad).menu, UpdateCheckOutcome::NoInformation);
}

TEST_F(UpdateCheckTest, AProxyGetsTheWholeAddressAndTheCredentials) {
    LocalHttpServer proxy(Reply("200 OK", Information(24600, "Ver.2.46")));
    HttpGetRequest request;
    request.url = "http://updates.zuzoruve.example:8080/dozoze/2/update.inf";
    request.proxy = {"127.0.0.1", proxy.port(), "user", S("パス")};
    const Outcome out = Check(request);
    EXPECT_EQ(out.menu, UpdateCheckOutcome::Declined);
    ASSERT_EQ(proxy.requests().size(), 1u);
    const std::string seen = proxy.requests()[0];
    EXPECT_EQ(seen.rfind("GET http://updates.zuzoruve.example:8080/dozoze/2/update.inf HTTP/1.0\r\n", 0), 0u) << seen;
    EXPECT_NE(seen.find("\r\nHost: updates.zuzoruve.example:8080\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\r\nProxy-Authorization: Basic " + BasicCredentials("user", S("パス")) + "\r\n"),
              std::string::npos)
        << seen;
    EXPECT_EQ(BasicCredentials("Aladdin", "open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST(UpdateRequest, TakesTheAddressProxyPortAndUnscrambledCredentialsFromTheOptions) {
    MemorySettingsStore store;
    EditorSettings settings(store, "C:\\E\\", "C:\\D");
    EXPECT_EQ(UpdateRequest(settings).url, std::string(kDefaultUpdateUrl));
    EXPECT_EQ(UpdateRequest(settings).proxy.port, 0) << "no port stored: 0 for the update check";
    EditorOptions options;
    options.updateUrl = "http://127.0.0.1/u.inf";
    options.proxyServer = "proxy";
    options.proxyPort = 3128;
    options.proxyUserId = "me";
    options.proxyPassword = "secret";
    settings.WriteOptions(options);
    EXPECT_NE(store.GetString("Option", "ProxyPassword"), "secret") << "stored scrambled";
    const HttpGetRequest r = UpdateRequest(settings);
    EXPECT_EQ(r.url, "http://127.0.0.1/u.inf");
    EXPECT_EQ(r.timeoutMs, 6000);
    EXPECT_EQ(r.proxy.server, "proxy");
    EXPECT_EQ(r.proxy.port, 3128);
    EXPECT_EQ(r.proxy.user, "me");
    EXPECT_EQ(r.proxy.password, "secret");
}

TEST(ParseHttpUrl, AcceptsHttpAddressesOnly) {
    struct Case {
        const char* url;
        bool ok;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://a.example/x/update.inf", true, "a.example", 80, "/x/update.inf"},
        {"HTTP://a.example:8080", true, "a.example", 8080, "/"},
        {"https://a.example/", false, "", 0, ""},
        {"http://:80/", false, "", 0, ""},
        {"http://a.example:99999/", false, "", 0, ""},
        {"http://a.example:8x/", false, "", 0, ""},
        {"http://a.example/with space", false, "", 0, ""},
        {"http://user@a.example/", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const auto u = ParseHttpUrl(c.url);
        ASSERT_EQ(u.has_value(), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(u->host, c.host);
        EXPECT_EQ(u->port, c.port);
        EXPECT_EQ(u->path, c.path);
    }
}

TEST(OwnVersion, TextAndNumber) {
    EXPECT_EQ(OwnVersionText(), "Ver.2.45.0.3");
    EXPECT_EQ(kOwnVersionNumber, 2 * 10000 + 45 * 100 + 0 * 10 + 3);
}
