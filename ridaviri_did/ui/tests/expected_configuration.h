// The configuration file the exit writes for three units with ID numbers 1-3 on channels 1-3
// (identities T, year 26, month-lot 4097, lot = ID), measured each second; shared by the main
// view's and the window's tests.
#pragma once

#include <string>

#include "ridaviri/monitor_data.h"

namespace ridaviri::testing {

// `silentChannel` (1-3) is the unit that stopped answering: its no-response mark is written.
inline std::string ExpectedConfiguration(int silentChannel = 0) {
    std::string text =
        "[DATA]\nINTERFACE_SELECT_TIMEOUT=0\nSAVE_DATA_SIZE=0\nINTERFACE_SELECT=0\nSEIDO_MODEL=0\nINTERVAL=1000\n"
        "SCALE=1\nMAX=100\nMINI=0\n";
    for (int i = 1; i <= kChannelCount; ++i) {
        const bool unit = i <= 3;
        const std::string n = std::to_string(i);
        text += "[SENSOR" + n + "]\n";
        text += std::string("PRODUCT_SENSOR_TYPE=") + (unit ? "T" : "") + "\n";
        text += std::string("PRODUCT_YEAR=") + (unit ? std::string(1, char(26)) : "") + "\n";
        text += "PRODUCT_MONTH_LOT=" + std::string(unit ? "4097" : "0") + "\n";
        text += "PRODUCT_LOT_NO=" + (unit ? n : "0") + "\n";
        text += "ID_NO=" + (unit ? n : "0") + "\n";
        text += "DEV_NAME=" + (unit ? n : "0") + "\n";
        text += std::string("KEISOKU_ONOFF=") + (unit ? "1" : "0") + "\n";
        text += std::string("INPUT_MODE=") + (unit ? "1" : "0") + "\n";
        text += "INTERVAL=1000\nKOSEI_ONOFF=0\nKOSEI_A=0.0000\nKOSEI_B=0.0000\n";
        text += std::string("LIST_DISP=") + (unit ? "1" : "0") + "\n";
        text += std::string("CONNECT_STS=") + (i == silentChannel ? "1" : "0") + "\n";
        text += "CH_NO=" + (unit ? n : "0") + "\n";
    }
    // The platform's INI writer ends its lines as Windows does.
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

}  // namespace ridaviri::testing
