#include "gui/windows/secret_clipboard.h"

#include "core/crypto/wipe.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace ciphra::gui {

namespace {

// Text offered as a secret. The clipboard owns it and deletes it when it
// is replaced (by this program or, on X11 and Wayland, by another one
// taking the clipboard); the text's bytes are wiped then. Copies handed out
// on request belong to the toolkit and are not.
class SecretMimeData final : public QMimeData {
public:
    explicit SecretMimeData(const QString& text) : utf8_(text.toUtf8()) {}
    SecretMimeData(const SecretMimeData&) = delete;
    SecretMimeData& operator=(const SecretMimeData&) = delete;
    // The array is never shared (copies are made by hand below), so data()
    // does not detach: this wipes the one buffer that held the bytes.
    ~SecretMimeData() override { SecureWipe(utf8_.data(), std::size_t(utf8_.size())); }

    QStringList formats() const override
    {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8"),
                QString::fromLatin1(kSecretHintType)};
    }
    bool hasFormat(const QString& type) const override { return formats().contains(type); }

protected:
    QVariant retrieveData(const QString& type, QMetaType preferred) const override
    {
        if (type == QLatin1String(kSecretHintType)) {
            return QByteArray(kSecretHintValue);
        }
        if (!type.startsWith(QLatin1String("text/plain"))) {
            return {};
        }
        if (preferred.id() == QMetaType::QString) {
            return QString::fromUtf8(utf8_);
        }
        return QByteArray(utf8_.constData(), utf8_.size()); // a copy, not a share
    }

private:
    QByteArray utf8_;
};

} // namespace

SecretClipboard::SecretClipboard(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SecretClipboard::ClearIfStillHeld);
}

SecretClipboard::~SecretClipboard()
{
    // Were the program to end with the secret on the clipboard, the toolkit
    // could hand it to a clipboard manager to keep.
    ClearIfStillHeld();
}

void SecretClipboard::Put(const QString& text)
{
    auto* data = new SecretMimeData(text);
    offered_ = data;
    QGuiApplication::clipboard()->setMimeData(data);
    timer_.stop();
    if (clearDelay.count() > 0) {
        timer_.start(clearDelay);
    }
}

bool SecretClipboard::HoldsSecret() const
{
    return !offered_.isNull() && QGuiApplication::instance() != nullptr &&
           QGuiApplication::clipboard()->mimeData() == offered_.data();
}

void SecretClipboard::ClearIfStillHeld()
{
    if (HoldsSecret()) {
        QGuiApplication::clipboard()->clear();
    }
    offered_.clear();
}

} // namespace ciphra::gui
