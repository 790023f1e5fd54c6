#include "sfx/cab_options.h"

#include "sfx/stub_support.h"

namespace archivers::sfx {

CabSfxOptions DefaultCabSfxOptions(const std::string& stem) {
    CabSfxOptions o;
    o.extractDir = "%temp%\\" + stem + "\\";
    return o;
}

std::string EncodeCabSfxOptions(const CabSfxOptions& o) {
    return "ExtractDir=" + o.extractDir + "\r\nCommand=" + o.command + "\r\nAskFolder=" + (o.askFolder ? "1" : "0") +
           "\r\nDeleteAfterRun=" + (o.deleteAfterRun ? "1" : "0") + "\r\n";
}

CabSfxOptions DecodeCabSfxOptions(const std::string& text) {
    const auto d = ParseDirectives(text);
    CabSfxOptions o;
    auto get = [&d](const char* key) {
        auto it = d.find(key);
        return it == d.end() ? std::string() : it->second;
    };
    o.extractDir = get("ExtractDir");
    o.command = get("Command");
    o.askFolder = get("AskFolder") == "1";
    o.deleteAfterRun = get("DeleteAfterRun") == "1";
    return o;
}

}  // namespace archivers::sfx
