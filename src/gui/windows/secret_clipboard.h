#pragma once
// The clipboard for text that decrypting produces. It is offered with the
// type "x-kde-passwordManagerHint" set to "secret", which clipboard managers
// (Klipper and others) take as "keep this out of the history", and it is
// cleared after a delay, but only while the clipboard still holds it: a text
// copied since, here or in another program, is left alone. The program's
// copy of the text is wiped when the clipboard lets it go, and a secret
// still on the clipboard when this object goes (the program ends) is cleared.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QMimeData;

namespace ciphra::gui {

// The type and value that mark clipboard data as a secret.
inline constexpr const char* kSecretHintType = "x-kde-passwordManagerHint";
inline constexpr const char* kSecretHintValue = "secret";

class SecretClipboard : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultClearDelay{30000};

    explicit SecretClipboard(QObject* parent = nullptr);
    ~SecretClipboard() override;

    // Puts `text` on the clipboard as a secret and, unless clearDelay is
    // zero, clears the clipboard after clearDelay if it still holds it.
    void Put(const QString& text);
    // True while the clipboard holds the last secret put there.
    bool HoldsSecret() const;

    // How long a secret stays; zero keeps it until something replaces it.
    std::chrono::milliseconds clearDelay = kDefaultClearDelay;

private:
    void ClearIfStillHeld();

    QPointer<QMimeData> offered_;
    QTimer timer_;
};

} // namespace ciphra::gui
