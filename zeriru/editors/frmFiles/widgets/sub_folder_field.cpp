#include "zeriru/frmFiles/widgets/sub_folder_field.h"

#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/widgets/define_widgets.h"

#include <QLineEdit>

namespace zeriru::gui {

void AllowTypedSubFolder(TParameterField& field) {
    TDefineCombo* combo = field.combo();
    if (!combo) return;
    const auto follow = [&field, combo] { field.edit()->setReadOnly(DefineNeedsParameter(combo->define())); };
    QObject::connect(combo, &QComboBox::currentTextChanged, &field, follow);
    follow();
}

}  // namespace zeriru::gui
