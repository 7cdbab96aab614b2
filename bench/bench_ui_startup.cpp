// Start-up of the windowed program, measured as a whole process: from the
// start of a fresh process to the first paint of the main window (the child
// then ends at once). Runs on the platform QT_QPA_PLATFORM names, offscreen
// when it names none; run it under Xvfb with QT_QPA_PLATFORM=xcb for the
// figure with a real X server.

#include "gui/app/startup.h"
#include "gui/kit/application.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// Ends the event loop after the first paint of the watched window.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return QObject::eventFilter(watched, event);
    }
};

int RunChild(int argc, char** argv)
{
    ciphra::gui::Application app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ciphra::gui::ProgramWindows windows;
    FirstPaint watcher;
    windows.Main().installEventFilter(&watcher);
    windows.Main().show();
    return ciphra::gui::Application::exec();
}

const char* self = nullptr;

void BM_ProcessStartToFirstPaint(benchmark::State& state)
{
    char child[] = "--child";
    char* args[] = {const_cast<char*>(self), child, nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, self, nullptr, nullptr, args, environ) != 0) {
            state.SkipWithError("cannot start the child");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the child failed");
            break;
        }
    }
}
BENCHMARK(BM_ProcessStartToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv);
    self = argv[0];
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
