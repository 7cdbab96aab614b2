#include "gui/app/launch.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ciphra::gui {
namespace {

constexpr std::array<std::pair<const char*, FileCommandKind>, 4> CommandOptions = {{
    {"--encrypt", FileCommandKind::Encrypt},
    {"--decrypt", FileCommandKind::Decrypt},
    {"--shred", FileCommandKind::Shred},
    {"--hash", FileCommandKind::Hash},
}};

} // namespace

Launch ParseLaunch(const QStringList& arguments)
{
    Launch launch;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == "-") {
            launch.Paths << argument;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else {
            const auto* command =
                std::find_if(CommandOptions.begin(), CommandOptions.end(),
                             [&](const auto& option) { return argument == option.first; });
            if (command == CommandOptions.end()) {
                if (launch.Problem.isEmpty()) {
                    launch.Problem = QStringLiteral("unknown option %1").arg(argument);
                }
            } else if (launch.Mode == LaunchMode::FileCommand) {
                if (launch.Problem.isEmpty()) {
                    launch.Problem = QStringLiteral("only one of --encrypt, --decrypt, --shred "
                                                    "and --hash may be given");
                }
            } else {
                launch.Mode = LaunchMode::FileCommand;
                launch.Command = command->second;
            }
        }
    }
    if (help) {
        launch.Mode = LaunchMode::Help;
    } else if (version) {
        launch.Mode = LaunchMode::Version;
    } else if (!launch.Problem.isEmpty()) {
        launch.Mode = LaunchMode::UsageError;
    }
    return launch;
}

QString VersionText()
{
    return QStringLiteral("ciphra2k " CIPHRA_VERSION "\n");
}

QString HelpText()
{
    return QStringLiteral(
        "Usage: ciphra2k [PATH...]\n"
        "       ciphra2k --encrypt|--decrypt|--shred|--hash [FILE...]\n"
        "\n"
        "Without arguments the main window opens as it was left. Given a folder, it\n"
        "lists that folder; given files, it lists their folder with them selected.\n"
        "\n"
        "  --encrypt FILE...  encrypt the files, asking for the password\n"
        "  --decrypt FILE...  decrypt the files, asking for the password\n"
        "  --shred FILE...    overwrite and delete the files, after a confirmation\n"
        "  --hash FILE...     show the SHA-1 digest of each file in turn\n"
        "  --help             show this help\n"
        "  --version          show the version\n"
        "\n"
        "A command runs with its dialogs and boxes but without the main window, once\n"
        "for each folder the files are in, and asks for the files when none are given.\n"
        "It exits with 0 when every file was done, 1 otherwise, and 2 on a wrong\n"
        "command line.\n");
}

} // namespace ciphra::gui
