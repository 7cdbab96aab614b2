#include "gui/main/option_commands.h"

#include "core/jobs/output_names.h"
#include "gui/commands/decrypt_command.h"
#include "gui/commands/encrypt_command.h"

namespace ciphra::gui {

bool EncryptWithOptions(const FileCommandWindows& windows, const StoredOptions& options)
{
    return RunEncryptCommand(windows,
                             {options.selfDecrypting, options.overwrite, options.ageFormat},
                             DefaultStubPath(options.selfDecryptingFor));
}

bool DecryptWithOptions(const FileCommandWindows& windows, const StoredOptions& options)
{
    return RunDecryptCommand(windows, options.overwrite);
}

} // namespace ciphra::gui
