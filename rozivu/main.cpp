// rozivu <sub-folder>: started by the editor while it makes a CAB self-extractor.
#include "rozivu.h"

#include "platform/sjis.h"

#include <chrono>
#include <thread>

int main(int argc, char** argv) {
    // The argument arrives in the host's encoding; the dialog takes Shift-JIS.
    std::string subFolder = argc > 1 ? platform::sjis::FromUtf8(argv[1]) : std::string();
    return rozivu::Run(subFolder, [] { std::this_thread::sleep_for(std::chrono::milliseconds(rozivu::kPollMs)); });
}
