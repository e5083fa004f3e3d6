// What every library editor has: OK, Cancel and Help..., and the refusal of a field on OK.
#pragma once

#include <string>

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace vellumix {
class Host;
}

namespace vellumix::gui {

// OK (the default), Cancel and Help... for `dialog`; Help... and F1 open `topic`.
QDialogButtonBox* OkCancelHelp(QDialog* dialog, const char* topic);
// Shows a refusal and puts the focus back on `field` (its text selected).
void RefuseField(Host& host, QWidget* field, const std::string& text);

}  // namespace vellumix::gui
