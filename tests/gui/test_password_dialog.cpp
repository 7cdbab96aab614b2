// The password dialog: its starting state, when OK may be used, the keys that
// close it, what it keeps from one use to the next, and the bytes it hands out.

#include "gui/kit/application.h"
#include "gui/kit/modal.h"
#include "gui/windows/password_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using namespace ciphra::gui;

class TestPasswordDialog : public QObject {
    Q_OBJECT
private slots:
    void startsAsDesigned()
    {
        PasswordDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Enter password:"));
        QCOMPARE(dialog.size(), QSize(300, 141));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(dialog.passwordEdit->text().isEmpty());
        QCOMPARE(dialog.passwordEdit->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.digestOption->text(), QString("Use Hash of password"));
        QVERIFY(dialog.digestOption->isChecked());
        QVERIFY(dialog.DigestOptionVisible());
        QCOMPARE(dialog.showPasswordOption->text(), QString("Show password"));
        QVERIFY(!dialog.showPasswordOption->isChecked());
        QCOMPARE(dialog.okButton->text(), QString("&OK"));
        QVERIFY(!dialog.okButton->isEnabled());
        QVERIFY(dialog.okButton->isDefault());
        QCOMPARE(dialog.cancelButton->text(), QString("&Cancel"));
        QVERIFY(dialog.cancelButton->isEnabled());
        QVERIFY(!dialog.banner->pixmap().isNull());
    }

    void tabOrderAndFocus()
    {
        PasswordDialog dialog;
        dialog.show();
        QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(dialog.passwordEdit));
        const QList<QWidget*> order = {dialog.passwordEdit, dialog.okButton, dialog.cancelButton,
                                       dialog.showPasswordOption, dialog.digestOption};
        for (int i = 0; i + 1 < order.size(); ++i)
            QCOMPARE(order[i]->nextInFocusChain(), order[i + 1]);
    }

    // Typing and the callers' blanking drive the OK button through OnPasswordChanged.
    void okFollowsTheText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("backspaces");
        QTest::addColumn<bool>("cleared");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("nothing typed") << "" << 0 << false << false;
        QTest::newRow("one character") << "x" << 0 << false << true;
        QTest::newRow("one typed, one deleted") << "x" << 1 << false << false;
        QTest::newRow("two typed, one deleted") << "xy" << 1 << false << true;
        QTest::newRow("blanked by the caller") << "secret" << 0 << true << false;
    }
    void okFollowsTheText()
    {
        QFETCH(QString, typed);
        QFETCH(int, backspaces);
        QFETCH(bool, cleared);
        QFETCH(bool, okEnabled);
        PasswordDialog dialog;
        dialog.show();
        QTest::keyClicks(dialog.passwordEdit, typed);
        for (int i = 0; i < backspaces; ++i)
            QTest::keyClick(dialog.passwordEdit, Qt::Key_Backspace);
        if (cleared)
            dialog.ClearPasswordField();
        QCOMPARE(dialog.okButton->isEnabled(), okEnabled);
    }

    void clearingWritesZeroDigitsThenNothing()
    {
        PasswordDialog dialog;
        dialog.passwordEdit->setText("secret");
        QSignalSpy changes(dialog.passwordEdit, &QLineEdit::textChanged);
        dialog.ClearPasswordField();
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[0][0].toString(), QString(32, QLatin1Char('0')));
        QCOMPARE(changes[1][0].toString(), QString());
    }

    // Enter confirms only while OK is enabled; Escape always cancels and
    // leaves the text for the caller to blank.
    void keysThatCloseTheDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter on an empty field")
            << "" << int(Qt::Key_Return) << false << int(QDialog::Rejected);
        QTest::newRow("Enter with text")
            << "pw" << int(Qt::Key_Return) << true << int(QDialog::Accepted);
        QTest::newRow("Escape on an empty field")
            << "" << int(Qt::Key_Escape) << true << int(QDialog::Rejected);
        QTest::newRow("Escape with text")
            << "pw" << int(Qt::Key_Escape) << true << int(QDialog::Rejected);
    }
    void keysThatCloseTheDialog()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, closed);
        QFETCH(int, result);
        PasswordDialog dialog;
        dialog.show();
        QTest::keyClicks(dialog.passwordEdit, typed);
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTest::keyClick(dialog.passwordEdit, Qt::Key(key));
        QCOMPARE(finished.size(), closed ? 1 : 0);
        QCOMPARE(dialog.isVisible(), !closed);
        if (closed)
            QCOMPARE(finished[0][0].toInt(), result);
        QCOMPARE(dialog.passwordEdit->text(), typed);
    }

    void showPasswordUnmasks()
    {
        PasswordDialog dialog;
        dialog.passwordEdit->setText("abc");
        QCOMPARE(dialog.passwordEdit->displayText(), QString("***"));
        QTest::mouseClick(dialog.showPasswordOption, Qt::LeftButton);
        QCOMPARE(dialog.passwordEdit->displayText(), QString("abc"));
        QTest::mouseClick(dialog.showPasswordOption, Qt::LeftButton);
        QCOMPARE(dialog.passwordEdit->displayText(), QString("***"));
    }

    // One dialog serves every command: the next use finds what the last left.
    void stateIsKeptBetweenUses()
    {
        PasswordDialog dialog;
        ModalScript script;
        script.Queue([&](QDialog&) {
            dialog.showPasswordOption->setChecked(true);
            dialog.digestOption->setChecked(false);
            dialog.passwordEdit->setText("first");
            return int(QDialog::Accepted);
        });
        bool okAtSecondOpening = true;
        script.Queue([&](QDialog&) {
            okAtSecondOpening = dialog.okButton->isEnabled();
            return int(QDialog::Rejected);
        });
        QVERIFY(dialog.AskPassword());
        QCOMPARE(QString::fromUtf8(dialog.Password().View().data(),
                                   qsizetype(dialog.Password().View().size())),
                 QString("first"));
        QVERIFY(!dialog.UseDigest());
        dialog.ClearPasswordField();
        QVERIFY(!dialog.AskPassword());
        QVERIFY(!okAtSecondOpening);
        QVERIFY(dialog.passwordEdit->text().isEmpty());
        QVERIFY(dialog.showPasswordOption->isChecked());
        QCOMPARE(dialog.passwordEdit->echoMode(), QLineEdit::Normal);
        QVERIFY(!dialog.UseDigest());
        QCOMPARE(script.Shown(), (std::vector<QString>{"Enter password:", "Enter password:"}));
    }

    void passwordBytesAreUtf8()
    {
        PasswordDialog dialog;
        dialog.passwordEdit->setText(QString::fromUtf8("p\xC3\xA4ss \xE2\x82\xAC"));
        const PasswordBytes bytes = dialog.Password();
        QCOMPARE(QByteArray(bytes.View().data(), qsizetype(bytes.View().size())),
                 QByteArray("p\xC3\xA4ss \xE2\x82\xAC"));
    }

    // The text encryption hides the digest option; its checked state stays
    // and the visibility comes back however the scope ends.
    void digestOptionHiddenForAScope()
    {
        PasswordDialog dialog;
        dialog.digestOption->setChecked(false);
        try {
            DigestOptionHidden outer(dialog);
            QVERIFY(!dialog.DigestOptionVisible());
            {
                DigestOptionHidden inner(dialog);
                QVERIFY(!dialog.DigestOptionVisible());
            }
            QVERIFY(!dialog.DigestOptionVisible());
            throw std::runtime_error("command failed");
        } catch (const std::runtime_error&) {
        }
        QVERIFY(dialog.DigestOptionVisible());
        QVERIFY(!dialog.digestOption->isChecked());
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestPasswordDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_password_dialog.moc"
