// The update check: fetches the update information file update.inf over HTTP (directly or
// through the proxy of the editor options), compares its version number with the editor's own
// and offers to open the download page. From the help menu every outcome is reported; at
// start-up only a newer version is.
#pragma once

#include "zeriru/editor_settings.h"
#include "zeriru/http_get.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zeriru {

class Ui;

// The editor's own version, 2.45.0.3, and the same as one number (major * 10000 + minor * 100
// + release * 10 + build).
inline constexpr int kOwnVersion[4] = {2, 45, 0, 3};
inline constexpr int kOwnVersionNumber = 24503;
// "Ver.2.45.0.3".
std::string OwnVersionText();

// Time-out of the whole request, ms.
inline constexpr int kUpdateTimeoutMs = 6000;
inline constexpr const char* kUpdateFileName = "update.inf";

// [Information] of update.inf.
struct UpdateInformation {
    int version = 0;
    std::string verStr;  // Shift-JIS, for display
    std::string url;
};

// The request the options describe: UpdateUrl, the proxy with the port as the update check
// reads it (0 when not set) and the unscrambled credentials.
HttpGetRequest UpdateRequest(const EditorSettings& settings);

// Deletes update.inf in the editor's folder (host path), fetches the address and stores the
// response, header and body, in that file. Only a successful reply (status 2xx) is stored: an
// error page holds no version. The information read from the stored file, nullopt when
// nothing was stored.
std::optional<UpdateInformation> FetchUpdateInformation(const std::filesystem::path& editorFolder,
                                                        const HttpGetRequest& request);
// Reads update.inf; nullopt when it does not exist.
std::optional<UpdateInformation> ReadUpdateInformation(const std::filesystem::path& file);

enum class UpdateCheckOutcome {
    NoInformation,  // nothing could be fetched
    UpToDate,
    Declined,  // a newer version exists; the user answered No
    Opened,    // the download page was opened; from the menu the editor then ends
};

// Tells the user what the fetch found: from the menu every case, at start-up (`fromMenu`
// false) only a newer version. `openUrl` opens the download page in the browser.
UpdateCheckOutcome ReportUpdateInformation(Ui& ui, const std::optional<UpdateInformation>& information,
                                           bool fromMenu, const std::function<bool(const std::string&)>& openUrl);

}  // namespace zeriru
