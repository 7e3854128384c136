#pragma once

#include <QString>

#include <span>

class QWidget;

// What's This texts (Shift+F1, "Was ist das?") by control id. Each window or
// settings page has its own table; ApplyWhatsThis puts a table's texts on the
// controls of a widget tree, found by their objectName "idc_<decimal id>".
namespace tarnwick {

struct WhatsThisEntry
{
    int controlId;
    const char* text; // UTF-8
};

using WhatsThisTable = std::span<const WhatsThisEntry>;

// The main window's 24 texts (template 102).
WhatsThisTable MainWindowWhatsThis();

// The text for a control id; empty when the table has none.
QString WhatsThisText(WhatsThisTable table, int controlId);

// The objectName of a control: "idc_" followed by its decimal id.
QString ControlObjectName(int controlId);

// Sets the texts on root and its descendants; returns how many controls got one.
int ApplyWhatsThis(QWidget* root, WhatsThisTable table);

} // namespace tarnwick
