#pragma once
// The progress window of the encrypt and decrypt commands. A file that takes
// longer than a moment shows it, modal, with the file's name and a bar that
// moves with the bytes done; short files never show it. The commands run on
// the user interface thread, so the window repaints by processing pending
// events (never user input) between chunks.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include "core/jobs/cipher_stream.h"

class QLabel;
class QProgressBar;

namespace ciphra::gui {

class CipherProgressWindow : public QDialog {
public:
    // Bar positions: per mille of the file.
    static constexpr int BarRange = 1000;

    explicit CipherProgressWindow(QWidget* parent = nullptr);

    // How long a file runs before the window appears (500 ms by default).
    void SetDelay(int milliseconds) { delay_ = milliseconds; }
    int Delay() const { return delay_; }

    QLabel* FileLabel;
    QProgressBar* Bar;

protected:
    void reject() override {} // Escape does not hide it while a file runs

private:
    int delay_ = 500;
};

// One file's run through the cipher stream. The window appears once the run
// has taken longer than the window's delay and is hidden again when the run
// ends, before the command shows its message for the file.
class ProgressRun : public StreamProgress {
public:
    ProgressRun(CipherProgressWindow& window, const QString& caption, const QString& fileName);
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;
    ~ProgressRun();

    void BytesDone(std::uint64_t done, std::uint64_t total) override;

private:
    CipherProgressWindow& window_;
    QString caption_;
    QString fileName_;
    QElapsedTimer started_;
    QElapsedTimer lastRepaint_;
};

} // namespace ciphra::gui
