// The file list on a folder of 100,000 files: from ShowFolder to the first
// rows drawn, beside `ls -f | sort` on the same folder; the memory each entry
// costs; and the main window's start-up to its first paint.

#include "gui/app/startup.h"
#include "gui/kit/application.h"
#include "gui/list/file_list_view.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

using namespace ciphra::gui;

namespace {

constexpr int kFiles = 100000;

// The folder is made once per run under /tmp and removed at exit.
const QString& BigFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + "/ciphra-bench-XXXXXX");
    static const bool filled = [] {
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name =
                QFile::encodeName(dir.filePath(QString("document-%1.txt").arg(i)));
            const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
            if (fd >= 0)
                ::close(fd);
        }
        return true;
    }();
    (void)filled;
    static const QString path = dir.path();
    return path;
}

// Shows the folder and draws the visible rows once.
void ShowAndDraw(MainWindow& window, const QString& folder)
{
    window.ShowFolder(folder);
    window.fileList->CurrentView()->viewport()->repaint();
}

void BM_ShowFolderToFirstRowsDrawn(benchmark::State& state)
{
    const QString folder = BigFolder();
    ProgramWindows windows;
    MainWindow& window = windows.Main();
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        ShowAndDraw(window, folder);
        state.PauseTiming();
        window.ShowFolder(kComputerId); // the next listing starts from a small folder
        state.ResumeTiming();
    }
    state.counters["entries"] = kFiles;
}
BENCHMARK(BM_ShowFolderToFirstRowsDrawn)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LsFSort(benchmark::State& state)
{
    const QByteArray command = "ls -f '" + QFile::encodeName(BigFolder()) + "' | sort >/dev/null";
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("ls -f | sort failed");
    }
}
BENCHMARK(BM_LsFSort)->Unit(benchmark::kMillisecond)->Iterations(5);

// Heap bytes in use, which unlike the resident size do not depend on when
// the allocator hands pages back.
double HeapInUse()
{
    return static_cast<double>(mallinfo2().uordblks);
}

void BM_MemoryPerEntry(benchmark::State& state)
{
    const QString folder = BigFolder();
    ProgramWindows windows;
    MainWindow& window = windows.Main();
    window.show();
    QCoreApplication::processEvents();
    double perEntry = 0;
    for (auto _ : state) {
        window.ShowFolder(kComputerId);
        const double before = HeapInUse();
        ShowAndDraw(window, folder);
        perEntry = (HeapInUse() - before) / kFiles;
    }
    state.counters["bytes_per_entry"] = perEntry;
}
BENCHMARK(BM_MemoryPerEntry)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StartUpToFirstPaint(benchmark::State& state)
{
    for (auto _ : state) {
        ProgramWindows windows;
        windows.Main().show();
        windows.Main().repaint();
        state.PauseTiming();
        windows.Main().hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    Application app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
