#include "zeriru/editors/check_result.h"

#include "zeriru/ui.h"

namespace zeriru {

void ShowCheckMessage(Ui& ui, const CheckResult& result) {
    ui.ShowMessage(result.message, MessageButtons::Ok, MessageIcon::None, result.caption);
}

}  // namespace zeriru
