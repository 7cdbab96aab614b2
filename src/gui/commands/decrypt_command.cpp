#include "gui/commands/decrypt_command.h"

#include "gui/commands/file_transform.h"
#include "gui/kit/message_boxes.h"

namespace ciphra::gui {
namespace {

// After the loop and after Cancel in the password dialog: the list is read
// again before the selection is cleared.
void EndStep(const FileCommandWindows& w)
{
    w.Password.ClearPasswordField();
    w.List.RefreshFromPathBox();
    w.List.ClearSelection();
}

} // namespace

bool RunDecryptCommand(const FileCommandWindows& windows, bool overwrite)
{
    if (overwrite && !ConfirmBox(windows.Parent, OverwriteOnDecryptQuestion)) {
        return false;
    }
    PasswordEntry entry;
    const bool asked = AskPassword(windows.Password, entry);
    if (asked && !TransformSelection(windows, CipherDirection::Decrypt, overwrite, entry)) {
        return false;
    }
    EndStep(windows);
    return asked;
}

} // namespace ciphra::gui
