#include "zeriru/update_check.h"

#include "platform/sjis.h"
#include "zeriru/ini_document.h"
#include "zeriru/ui.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;
namespace sjis = platform::sjis;

namespace {
constexpr std::string_view kSection = "Information";
}  // namespace

std::string OwnVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "Ver.%d.%d.%d.%d", kOwnVersion[0], kOwnVersion[1], kOwnVersion[2],
                  kOwnVersion[3]);
    return text;
}

HttpGetRequest UpdateRequest(const EditorSettings& settings) {
    const EditorOptions options = settings.ReadOptions();
    HttpGetRequest request;
    request.url = options.updateUrl;
    request.timeoutMs = kUpdateTimeoutMs;
    request.proxy.server = options.proxyServer;
    request.proxy.port = settings.UpdateCheckProxyPort();
    request.proxy.user = options.proxyUserId;
    request.proxy.password = options.proxyPassword;
    return request;
}

std::optional<UpdateInformation> ReadUpdateInformation(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    // The response header comes before the first section and is not read as entries.
    const TIniDocument doc(file);
    UpdateInformation info;
    info.version = doc.ReadInteger(kSection, "Version", 0);
    info.verStr = doc.ReadString(kSection, "VerStr", "Ver.%d.%d.%d.%d");
    info.url = doc.ReadString(kSection, "Url");
    return info;
}

std::optional<UpdateInformation> FetchUpdateInformation(const fs::path& editorFolder, const HttpGetRequest& request) {
    const fs::path file = editorFolder / kUpdateFileName;
    std::error_code ec;
    fs::remove(file, ec);
    const std::optional<HttpResponse> response = HttpGet(request);
    if (!response || response->status < 200 || response->status > 299) return std::nullopt;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(response->whole.data(), static_cast<std::streamsize>(response->whole.size()));
        if (!out) {
            out.close();
            fs::remove(file, ec);
            return std::nullopt;
        }
    }
    return ReadUpdateInformation(file);
}

UpdateCheckOutcome ReportUpdateInformation(Ui& ui, const std::optional<UpdateInformation>& information,
                                           bool fromMenu, const std::function<bool(const std::string&)>& openUrl) {
    if (!information) {
        if (fromMenu) ui.ShowMessage(sjis::S("最新版についての情報を取得することができませんでした。"));
        return UpdateCheckOutcome::NoInformation;
    }
    if (information->version <= kOwnVersionNumber) {
        if (fromMenu) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "既に最新版(%d.%d.%d.%d)を使用しています。定期的に更新をチェックすることをおすすめします。",
                          kOwnVersion[0], kOwnVersion[1], kOwnVersion[2], kOwnVersion[3]);
            ui.ShowMessage(sjis::S(text));
        }
        return UpdateCheckOutcome::UpToDate;
    }
    const std::string question =
        sjis::S("最新版(") + information->verStr + sjis::S(")が公開されています。ダウンロードしますか？");
    if (!ui.AskYesNo(question)) return UpdateCheckOutcome::Declined;
    if (openUrl) openUrl(information->url);
    return UpdateCheckOutcome::Opened;
}

}  // namespace zeriru
