// The string encryption window and the clipboard commands, driven through the
// real windows and the offscreen platform's clipboard, with the password
// dialog answered by a script.

#include "core/crypto/base64.h"
#include "core/jobs/text_cipher.h"
#include "gui/kit/application.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_bytes.h"
#include "gui/windows/text_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace ciphra::gui;

namespace {

QClipboard& Clipboard()
{
    return *QGuiApplication::clipboard();
}

// A password dialog step: type the password and confirm, noting whether
// "Use Hash of password" was on show meanwhile.
ModalScript::Step Answer(PasswordDialog& dialog, const QString& password,
                         bool* optionShown = nullptr)
{
    return [&dialog, password, optionShown](QDialog&) {
        if (optionShown != nullptr)
            *optionShown = dialog.DigestOptionVisible();
        dialog.passwordEdit->setText(password);
        return int(QDialog::Accepted);
    };
}

ModalScript::Step Cancel(PasswordDialog& dialog, const QString& typed)
{
    return [&dialog, typed](QDialog&) {
        dialog.passwordEdit->setText(typed);
        return int(QDialog::Rejected);
    };
}

// The encrypted text of the bytes, built from the core.
QString Expected(std::string bytes, const char* password)
{
    ciphra::EncryptTextWithPassword(password, bytes);
    return QString::fromLatin1(ciphra::Base64EncodeText(bytes));
}

} // namespace

class TestTextWindow : public QObject {
    Q_OBJECT

    PasswordDialog* dialog = nullptr;
    TextWindow* window = nullptr;

    // Clicks a button the way the user does.
    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    static bool MarkedSecret()
    {
        const QMimeData* data = Clipboard().mimeData();
        return data != nullptr && data->data(kSecretHintType) == kSecretHintValue;
    }

private slots:
    void init()
    {
        dialog = new PasswordDialog;
        window = new TextWindow(*dialog);
        window->show();
    }
    void cleanup()
    {
        delete window;
        delete dialog;
    }

    // Bytes to text: valid UTF-8 read as such, every other byte as its
    // Latin-1 character, nothing dropped; the work text stops at a zero byte.
    void bytesAsText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("workText");
        QTest::newRow("ascii") << QByteArray("plain") << "plain"
                               << "plain";
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x91")
                               << QString::fromUtf8("café € \U0001F511")
                               << QString::fromUtf8("café € \U0001F511");
        QTest::newRow("8-bit text")
            << QByteArray("caf\xE9") << QString::fromUtf8("café") << QString::fromUtf8("café");
        QTest::newRow("bad byte amid utf-8")
            << QByteArray("\xC3\xA9\xFF\xC3\xA9") << QString::fromUtf8("éÿé")
            << QString::fromUtf8("éÿé");
        QTest::newRow("overlong form")
            << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯") << QString::fromUtf8("À¯");
        QTest::newRow("surrogate")
            << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\xC2\xA0\xC2\x80")
            << QString::fromUtf8("í\xC2\xA0\xC2\x80");
        QTest::newRow("cut short") << QByteArray("a\xE2\x82") << QString::fromUtf8("aâ\xC2\x82")
                                   << QString::fromUtf8("aâ\xC2\x82");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xEF\xBB\xBFx") << QString(QChar(0xFEFF)) + "x"
            << QString(QChar(0xFEFF)) + "x";
        QTest::newRow("zero byte") << QByteArray("ab\0cd", 5) << QString("ab") + QChar(0) + "cd"
                                   << "ab";
        QTest::newRow("zero byte first") << QByteArray("\0x", 2) << QString(QChar(0)) + "x"
                                         << "";
    }
    void bytesAsText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, workText);
        QCOMPARE(TextFromBytes(bytes), text);
        QCOMPARE(WorkTextFromBytes(std::string(bytes.constData(), std::size_t(bytes.size()))),
                 workText);
    }

    void layout()
    {
        QCOMPARE(window->windowTitle(), QString("String encryption / clipboard encryption"));
        QCOMPARE(window->size(), QSize(442, 296));
        QVERIFY(!(window->windowFlags() & Qt::WindowMinimizeButtonHint));
        const QList<QPushButton*> row = {window->encryptButton, window->decryptButton,
                                         window->copyButton, window->viewClipboardButton};
        const QStringList captions = {"&Encrypt", "&Decrypt", "&Copy to clipboard",
                                      "&View clipboard text"};
        for (int i = 0; i < row.size(); ++i) {
            QCOMPARE(row[i]->text(), captions[i]);
            QVERIFY(row[i]->isVisible());
            QVERIFY(row[i]->y() > window->workTextEdit->geometry().bottom());
            if (i > 0)
                QVERIFY(row[i]->x() > row[i - 1]->x());
        }
        QVERIFY(window->workTextEdit->y() > 0); // below the banner strip
        QCOMPARE(window->cancelButton->text(), QString("invisible"));
        QVERIFY(!window->cancelButton->isVisible());
        QTest::keyClicks(window->workTextEdit, "a");
        QTest::keyClick(window->workTextEdit, Qt::Key_Tab);
        QCOMPARE(window->WorkText(), QString("a\t"));
    }

    // Each text is encrypted to one line of 4 * ceil(n / 3) characters for
    // its n bytes (UTF-8, line breaks as CR LF), keyed from the digest even
    // when "Use Hash of password" is off, and decrypted back exactly.
    void encryptAndDecryptInTheWindow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one character") << "x" << QByteArray("x");
        QTest::newRow("two characters") << "xy" << QByteArray("xy");
        QTest::newRow("three characters") << "xyz" << QByteArray("xyz");
        QTest::newRow("lines and tabs") << "first\tline\nsecond line\n\tthird"
                                        << QByteArray("first\tline\r\nsecond line\r\n\tthird");
        QTest::newRow("CR LF typed in") << "a\r\nb" << QByteArray("a\r\nb");
        QTest::newRow("Shift+Enter line break")
            << QString("a") + QChar::LineSeparator + "b" << QByteArray("a\r\nb");
        QTest::newRow("trailing line break") << "end\n" << QByteArray("end\r\n");
        QTest::newRow("non-breaking space") << QString::fromUtf8("a\u00A0b")
                                            << QByteArray("a\xC2\xA0"
                                                          "b");
        QTest::newRow("non-ASCII") << QString::fromUtf8("Grüße €")
                                   << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x82\xAC");
        QTest::newRow("long") << QString(1000, QLatin1Char('q')) << QByteArray(1000, 'q');
    }
    void encryptAndDecryptInTheWindow()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        dialog->digestOption->setChecked(false);
        window->workTextEdit->setPlainText(text);
        QCOMPARE(QByteArray::fromStdString(WorkTextBytes(window->WorkText())), bytes);

        ModalScript script;
        script.Queue(Answer(*dialog, "pw"));
        script.Queue(Answer(*dialog, "pw"));
        Click(window->encryptButton);
        const QString encrypted = window->WorkText();
        QCOMPARE(encrypted.size(), 4 * ((bytes.size() + 2) / 3));
        QCOMPARE(encrypted.endsWith("=="), bytes.size() % 3 == 1);
        QCOMPARE(encrypted, Expected(bytes.toStdString(), "pw"));
        QVERIFY(dialog->passwordEdit->text().isEmpty());

        Click(window->decryptButton);
        QCOMPARE(QByteArray::fromStdString(WorkTextBytes(window->WorkText())), bytes);
        QVERIFY(dialog->passwordEdit->text().isEmpty());
        QCOMPARE(script.Shown().size(), std::size_t(2));
    }

    void sameTextSameResultAndLastCharacterOnlyChangesTheEnd()
    {
        const QString text = "The same text, twice over and then once more.";
        QString changed = text;
        changed.back() = QLatin1Char('!');
        QStringList results;
        ModalScript script;
        for (const QString& input : {text, text, changed}) {
            window->workTextEdit->setPlainText(input);
            script.Queue(Answer(*dialog, "pw"));
            Click(window->encryptButton);
            results << window->WorkText();
        }
        QCOMPARE(results[0], results[1]);
        QVERIFY(results[0] != results[2]);
        const qsizetype common = (text.size() - 1) / 3 * 4; // groups before the last byte
        QCOMPARE(results[2].left(common), results[0].left(common));
    }

    void wrongPasswordGivesOtherBytesWithoutAMessage()
    {
        MessageBoxScript boxes;
        ModalScript script;
        const QString text = "a secret note";
        window->workTextEdit->setPlainText(Expected(text.toStdString(), "right"));
        script.Queue(Answer(*dialog, "wrong"));
        Click(window->decryptButton);
        std::string bytes =
            ciphra::Base64DecodeText(Expected(text.toStdString(), "right").toStdString());
        ciphra::DecryptTextWithPassword("wrong", bytes);
        QCOMPARE(window->WorkText(), WorkTextFromBytes(bytes));
        QVERIFY(window->WorkText() != text);
        QVERIFY(boxes.Boxes().empty());
    }

    // A line break breaks the length rule: the error report shows the format
    // error with its ".", and the text and the typed password stay.
    void brokenBase64IsReported()
    {
        MessageBoxScript boxes;
        ModalScript script;
        QString broken = Expected("some words to encrypt", "pw");
        broken.insert(8, QLatin1Char('\n'));
        window->workTextEdit->setPlainText(broken);
        script.Queue(Answer(*dialog, "pw"));
        Click(window->decryptButton);
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::ErrorReport);
        QCOMPARE(boxes.Boxes()[0].text, QString("Base64: Incorrect string format."));
        QCOMPARE(window->WorkText(), broken);
        QCOMPARE(dialog->passwordEdit->text(), QString("pw"));
    }

    void emptyTextAsksNoPasswordAndCancelChangesNothing()
    {
        ModalScript script;
        Click(window->encryptButton);
        Click(window->decryptButton);
        QVERIFY(script.Shown().empty());

        window->workTextEdit->setPlainText("keep me");
        script.Queue(Cancel(*dialog, "typed"));
        Click(window->encryptButton);
        QCOMPARE(window->WorkText(), QString("keep me"));
        QCOMPARE(dialog->passwordEdit->text(), QString("typed"));
    }

    void copyAndViewClipboard()
    {
        window->workTextEdit->setPlainText("one\ntwo");
        Click(window->copyButton);
        QCOMPARE(Clipboard().text(), QString("one\ntwo"));
        QCOMPARE(window->workTextEdit->textCursor().selectedText().size(), 7);

        window->workTextEdit->setPlainText("abc");
        QTextCursor cursor = window->workTextEdit->textCursor();
        cursor.setPosition(1);
        cursor.setPosition(2, QTextCursor::KeepAnchor);
        window->workTextEdit->setTextCursor(cursor);
        Clipboard().setText("XY");
        Click(window->viewClipboardButton);
        QCOMPARE(window->WorkText(), QString("aXYc"));
    }

    // Opening hides the digest option and puts the focus in the text;
    // closing by Escape (through the hidden button) or by the close box
    // empties the text and shows the option again.
    void openingAndClosingTheWindow_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Escape") << true;
        QTest::newRow("close box") << false;
    }
    void openingAndClosingTheWindow()
    {
        QFETCH(bool, byEscape);
        window->hide();
        bool optionShown = true;
        QWidget* focus = nullptr;
        bool closed = false;
        ModalScript script;
        script.Queue([&](QDialog& shown) {
            shown.show();
            optionShown = dialog->DigestOptionVisible();
            focus = shown.focusWidget();
            QTest::keyClicks(window->workTextEdit, "typed text");
            if (byEscape)
                QTest::keyClick(window->workTextEdit, Qt::Key_Escape);
            else
                shown.close();
            closed = !shown.isVisible();
            return shown.result();
        });
        window->Execute();
        QVERIFY(!optionShown);
        QCOMPARE(focus, static_cast<QWidget*>(window->workTextEdit));
        QVERIFY(closed);
        QVERIFY(window->WorkText().isEmpty());
        QVERIFY(dialog->DigestOptionVisible());
    }

    void clipboardEncryptThenDecryptRestoresIt()
    {
        window->hide();
        const QString original = "clipboard text\nwith a\ttab";
        Clipboard().setText(original);
        bool optionShown = true;
        bool windowShown = true;
        ModalScript script;
        script.Queue([&](QDialog& shown) {
            windowShown = window->isVisible();
            return Answer(*dialog, "clip", &optionShown)(shown);
        });
        script.Queue(Answer(*dialog, "clip"));

        window->EncryptClipboard();
        QCOMPARE(Clipboard().text(), Expected(WorkTextBytes(original), "clip"));
        QVERIFY(!optionShown);
        QVERIFY(!windowShown);
        QVERIFY(window->WorkText().isEmpty());
        QVERIFY(dialog->DigestOptionVisible());
        QVERIFY(dialog->passwordEdit->text().isEmpty());

        window->DecryptClipboard();
        QCOMPARE(Clipboard().text(), original);
        QVERIFY(window->WorkText().isEmpty());
    }

    // However a clipboard command ends, the work text is emptied and the
    // digest option is back for the next file command.
    void clipboardCommandEndings_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("afterwards");
        QTest::addColumn<QString>("report");
        QTest::newRow("encrypt, cancelled") << false << "plain" << false << "plain"
                                            << "";
        QTest::newRow("decrypt, cancelled") << true << "AAAA" << false << "AAAA"
                                            << "";
        QTest::newRow("decrypt, not Base64") << true << "abc" << true << "abc"
                                             << "Base64: Incorrect string format.";
        QTest::newRow("encrypt, empty clipboard") << false << "" << true << ""
                                                  << "";
        QTest::newRow("decrypt, empty clipboard") << true << "" << true << ""
                                                  << "";
    }
    void clipboardCommandEndings()
    {
        QFETCH(bool, decrypt);
        QFETCH(QString, clipboard);
        QFETCH(bool, confirm);
        QFETCH(QString, afterwards);
        QFETCH(QString, report);
        window->hide();
        if (clipboard.isEmpty())
            TextWindow::EmptyClipboard();
        else
            Clipboard().setText(clipboard);
        MessageBoxScript boxes;
        ModalScript script;
        script.Queue(confirm ? Answer(*dialog, "pw") : Cancel(*dialog, "pw"));
        // As the main window runs it: a failure goes to the error report.
        RunGuarded([&] { decrypt ? window->DecryptClipboard() : window->EncryptClipboard(); });
        QCOMPARE(script.Shown().size(), std::size_t(1));
        QCOMPARE(Clipboard().text(), afterwards);
        QVERIFY(window->WorkText().isEmpty());
        QVERIFY(dialog->DigestOptionVisible());
        QCOMPARE(boxes.Boxes().empty(), report.isEmpty());
        if (!report.isEmpty())
            QCOMPARE(boxes.Boxes()[0].text, report);
    }

    // Decrypted text, and only that, goes to the clipboard marked secret:
    // the Decrypt clipboard command's result, and the window's text copied
    // while it holds decrypted text, edited or not.
    void decryptedTextIsMarkedSecret()
    {
        window->hide();
        ModalScript script;
        Clipboard().setText("plain");
        script.Queue(Answer(*dialog, "pw"));
        window->EncryptClipboard();
        const QString encrypted = Clipboard().text();
        QVERIFY(!MarkedSecret());
        script.Queue(Answer(*dialog, "pw"));
        window->DecryptClipboard();
        QCOMPARE(Clipboard().text(), QString("plain"));
        QVERIFY(MarkedSecret());
        QVERIFY(window->secretClipboard.HoldsSecret());

        // Copied as it stands, then after each step.
        const struct {
            QPushButton* Button; // pressed before copying; none: a line typed
            bool Secret;
        } steps[] = {{window->copyButton, false},
                     {window->decryptButton, true},
                     {nullptr, true},
                     {window->encryptButton, false}};
        window->workTextEdit->setPlainText(encrypted);
        for (const auto& step : steps) {
            if (step.Button == nullptr) {
                window->workTextEdit->appendPlainText("typed");
            } else if (step.Button != window->copyButton) {
                script.Queue(Answer(*dialog, "pw"));
                Click(step.Button);
            }
            Click(window->copyButton);
            QCOMPARE(MarkedSecret(), step.Secret);
            QCOMPARE(Clipboard().text(), window->WorkText());
        }
    }

    // Closing wipes the work text: emptied, nothing to undo, and what was
    // decrypted no longer counts as decrypted text.
    void closingWipesTheWorkText()
    {
        window->hide();
        std::string bytes = "decrypt me";
        ciphra::EncryptTextWithPassword("pw", bytes);
        ModalScript script;
        QString decrypted;
        script.Queue([&](QDialog& shown) {
            window->workTextEdit->setPlainText(
                QString::fromLatin1(ciphra::Base64EncodeText(bytes)));
            Click(window->decryptButton); // answered by the next step
            decrypted = window->WorkText();
            return int(shown.result());
        });
        script.Queue(Answer(*dialog, "pw"));
        window->Execute();
        QCOMPARE(decrypted, QString("decrypt me"));
        QVERIFY(window->WorkText().isEmpty());
        QVERIFY(!window->workTextEdit->document()->isUndoAvailable());
        Click(window->copyButton);
        QVERIFY(!MarkedSecret());
    }

    void emptyClipboard()
    {
        Clipboard().setText("something");
        TextWindow::EmptyClipboard();
        QVERIFY(Clipboard().text().isEmpty());
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestTextWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_text_window.moc"
