#include "tarnwick/widgets/common/ReadOnlyLook.h"

#include <QLineEdit>
#include <QPalette>

namespace tarnwick {

void ApplyReadOnlyLook(QLineEdit* field)
{
    if (!field || !field->isReadOnly())
        return;
    QPalette palette = field->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
    field->setPalette(palette);
}

void ApplyReadOnlyLookBelow(QWidget* root)
{
    for (QLineEdit* field : root->findChildren<QLineEdit*>())
        ApplyReadOnlyLook(field);
}

} // namespace tarnwick
