// The clipboard of decrypted text on a real X server (Xvfb, started by
// xvfb_run.sh), watched from another program with xclip: the types offered,
// the clearing after the delay, and a newer owner left alone.

#include "core/crypto/base64.h"
#include "core/jobs/text_cipher.h"
#include "gui/kit/application.h"
#include "gui/kit/modal.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"

#include <QClipboard>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace ciphra::gui;
using namespace std::chrono_literals;

namespace {

const QString kSecret = QString::fromUtf8("the decrypted text, caf\u00e9");

struct Xclip {
    int exitCode = -1;
    QByteArray out;
};

// Runs xclip on the clipboard. The event loop turns meanwhile: this program
// answers xclip's requests for the data it owns.
Xclip RunXclip(const QStringList& args, const QByteArray& input = {})
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), QStringList{"-selection", "clipboard"} + args);
    if (!input.isEmpty()) {
        xclip.write(input);
        xclip.closeWriteChannel();
    }
    for (int waited = 0; xclip.state() != QProcess::NotRunning && waited < 10000; waited += 10)
        QTest::qWait(10);
    return {xclip.exitStatus() == QProcess::NormalExit ? xclip.exitCode() : -1,
            xclip.readAllStandardOutput()};
}

// What another program pastes: the text, or nothing when the clipboard has no owner.
QString Pasted()
{
    const Xclip result = RunXclip({"-o", "-t", "UTF8_STRING"});
    return result.exitCode == 0 ? QString::fromUtf8(result.out) : QStringLiteral("<nothing>");
}

} // namespace

class TestClipboardXvfb : public QObject {
    Q_OBJECT

    std::unique_ptr<PasswordDialog> dialog_;
    std::unique_ptr<TextWindow> window_;

    // The Decrypt clipboard command on the encrypted form of kSecret.
    void DecryptSecretOntoTheClipboard()
    {
        std::string bytes = kSecret.toStdString();
        ciphra::EncryptTextWithPassword("pw", bytes);
        QGuiApplication::clipboard()->setText(QString::fromLatin1(ciphra::Base64EncodeText(bytes)));
        ModalScript script;
        script.Queue([this](QDialog&) {
            dialog_->passwordEdit->setText("pw");
            return int(QDialog::Accepted);
        });
        window_->DecryptClipboard();
    }

private slots:
    void init()
    {
        dialog_ = std::make_unique<PasswordDialog>();
        window_ = std::make_unique<TextWindow>(*dialog_);
    }
    void cleanup()
    {
        window_.reset();
        dialog_.reset();
        QGuiApplication::clipboard()->clear();
    }

    // Besides the text in its usual types, the hint that managers honour.
    void offersTheTextAndTheSecretHint()
    {
        DecryptSecretOntoTheClipboard();
        const QList<QByteArray> targets = RunXclip({"-o", "-t", "TARGETS"}).out.split('\n');
        for (const char* target : {"x-kde-passwordManagerHint", "UTF8_STRING", "text/plain"})
            QVERIFY2(targets.contains(target), target);
        QCOMPARE(RunXclip({"-o", "-t", "x-kde-passwordManagerHint"}).out, QByteArray("secret"));
        QCOMPARE(Pasted(), kSecret);
    }

    // Gone after the delay, for every other program too.
    void clearedAfterTheDelay()
    {
        window_->secretClipboard.clearDelay = 1500ms;
        DecryptSecretOntoTheClipboard();
        QCOMPARE(Pasted(), kSecret);
        QTRY_COMPARE_WITH_TIMEOUT(Pasted(), QStringLiteral("<nothing>"), 10000);
        QVERIFY(!window_->secretClipboard.HoldsSecret());
    }

    // Another program's text, copied since, is not cleared; nor is a newer
    // text of this program's own.
    void aNewerOwnerIsLeftAlone()
    {
        window_->secretClipboard.clearDelay = 300ms;
        DecryptSecretOntoTheClipboard();
        QCOMPARE(RunXclip({"-i"}, "copied in another program").exitCode, 0);
        QTRY_VERIFY(!window_->secretClipboard.HoldsSecret());
        QTest::qWait(600);
        QCOMPARE(Pasted(), QStringLiteral("copied in another program"));

        DecryptSecretOntoTheClipboard();
        QGuiApplication::clipboard()->setText("copied here since");
        QTest::qWait(600);
        QCOMPARE(Pasted(), QStringLiteral("copied here since"));
    }

    // With the option off the text stays; when the program ends, it goes.
    void keptWithoutDelayUntilTheProgramEnds()
    {
        window_->secretClipboard.clearDelay = 0ms;
        DecryptSecretOntoTheClipboard();
        QTest::qWait(300);
        QCOMPARE(Pasted(), kSecret);
        window_.reset();
        QCOMPARE(Pasted(), QStringLiteral("<nothing>"));
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestClipboardXvfb test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_clipboard_xvfb.moc"
