#pragma once
// The program's message boxes. Every window shows its modal boxes through
// these functions only, so that tests can answer them from a script instead
// of blocking on a real box.

#include <QString>

#include <deque>
#include <vector>

class QWidget;

namespace ciphra::gui {

// The application's title: caption of the plain box and of the error report.
inline constexpr const char* kAppTitle = "Ciphra 2K";

enum class BoxKind {
    Confirm,     // "Confirm", question icon, "&Yes" / "&No"
    Information, // "Information", information icon, "OK"
    Error,       // "Error", error icon, "OK"
    Plain,       // application title, no icon, "OK"
    ErrorReport, // application title, error icon, "OK": unhandled failures
};

// Returns true when the user answers "&Yes".
bool ConfirmBox(QWidget* parent, const QString& text);
void InformationBox(QWidget* parent, const QString& text);
void ErrorBox(QWidget* parent, const QString& text);
void PlainBox(QWidget* parent, const QString& text);

// Shows a failure that no handler caught, with the "." rule applied.
void ErrorReportBox(const QString& message);

// Appends "." when the message is not empty and its last character sorts
// after "." (so "x" gets a dot, "done." and "3)" keep theirs).
QString WithFinalDot(const QString& message);

// Test seam: while a MessageBoxScript lives, no box is shown. Each box is
// recorded; a confirmation takes the next queued answer ("&No" when the
// queue is empty).
class MessageBoxScript {
public:
    struct Box {
        BoxKind kind;
        QString title;
        QString text;
    };

    MessageBoxScript();
    ~MessageBoxScript();
    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

    void QueueAnswer(bool yes) { answers_.push_back(yes); }
    const std::vector<Box>& Boxes() const { return boxes_; }
    void Clear() { boxes_.clear(); }

    // Used by the box functions.
    static MessageBoxScript* Active();
    bool Record(BoxKind kind, const QString& title, const QString& text);

private:
    std::deque<bool> answers_;
    std::vector<Box> boxes_;
    MessageBoxScript* previous_;
};

} // namespace ciphra::gui
