#pragma once

class QLineEdit;
class QWidget;

namespace tarnwick {

// Read-only edit fields drawn on the window's background colour instead of
// the white of an editable field; their text stays selectable.
void ApplyReadOnlyLook(QLineEdit* field);
// The look for every read-only edit field below root.
void ApplyReadOnlyLookBelow(QWidget* root);

} // namespace tarnwick
