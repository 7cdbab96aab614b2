// The main window's view, text and clipboard commands, run through its
// actions with the program's own password dialog, viewer and text window.

#include "gui/app/startup.h"
#include "gui/kit/application.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_model.h"
#include "gui/list/file_list_view.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"
#include "support/test_files.h"

#include <QAction>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

using namespace ciphra::gui;
using ciphra::test::TempFolder;
using ciphra::test::WriteBytes;

namespace {

void SelectEntry(MainWindow& w, const QString& caption)
{
    for (int row = 0; row < w.entries->rowCount(); ++row) {
        const QModelIndex index = w.entries->index(row, 0);
        if (index.data().toString() == caption) {
            w.fileList->Selection()->select(index, QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
            return;
        }
    }
    QFAIL("entry not listed");
}

} // namespace

class TestTextCommands : public QObject {
    Q_OBJECT
private slots:
    void viewCommandShowsTheSelectedFile()
    {
        TempFolder folder;
        WriteBytes(folder / "note.txt", "to be viewed");
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(QString::fromStdString(folder.Path().string()));
        ModalScript script;
        QString shown;
        script.Queue([&](QDialog&) {
            shown = windows.Others().viewer->textView->toPlainText();
            return int(QDialog::Rejected);
        });
        w.fileList->ClearSelection();
        w.SetFileCommandsEnabled(true);
        w.commands.viewAction->trigger(); // nothing selected: nothing shown
        QVERIFY(script.Shown().empty());

        SelectEntry(w, "note.txt");
        w.commands.viewAction->trigger();
        QCOMPARE(script.Shown(), std::vector<QString>{"File viewer"});
        QCOMPARE(shown, QString("to be viewed"));
        QVERIFY(w.fileList->FirstSelectedRow() >= 0); // the selection stays

        std::filesystem::remove(folder / "note.txt");
        MessageBoxScript boxes;
        w.commands.viewAction->trigger();
        QCOMPARE(script.Shown().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].text,
                 "Cannot open file " + QString::fromStdString(folder / "note.txt") + ".");
    }

    void stringWindowHidesTheDigestOptionWhileOpen()
    {
        ProgramWindows windows;
        PasswordDialog& password = *windows.Others().password;
        ModalScript script;
        bool optionShown = true;
        script.Queue([&](QDialog& shown) {
            optionShown = password.DigestOptionVisible();
            static_cast<TextWindow&>(shown).workTextEdit->setPlainText("left behind");
            return int(QDialog::Rejected);
        });
        windows.Main().commands.textEncryptionAction->trigger();
        QCOMPARE(script.Shown(), std::vector<QString>{"String encryption / clipboard encryption"});
        QVERIFY(!optionShown);
        QVERIFY(password.DigestOptionVisible());
        QVERIFY(windows.Others().stringEncryption->WorkText().isEmpty());
    }

    // F6 then F7 restore the clipboard; a format error is reported with the
    // clipboard unchanged; both menus' empty commands empty it.
    void clipboardCommands()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        PasswordDialog& password = *windows.Others().password;
        QClipboard& clipboard = *QGuiApplication::clipboard();
        const auto answer = [&](QDialog&) {
            password.passwordEdit->setText("pw");
            return int(QDialog::Accepted);
        };
        ModalScript script;
        MessageBoxScript boxes;

        clipboard.setText("plain\ttext");
        script.Queue(answer);
        w.commands.encryptClipboardAction->trigger();
        QVERIFY(clipboard.text() != "plain\ttext");
        script.Queue(answer);
        w.commands.decryptClipboardAction->trigger();
        QCOMPARE(clipboard.text(), QString("plain\ttext"));
        QVERIFY(boxes.Boxes().empty());

        clipboard.setText("abcde");
        script.Queue(answer);
        w.commands.decryptClipboardAction->trigger();
        QCOMPARE(clipboard.text(), QString("abcde"));
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Base64: Incorrect string format."));
        QVERIFY(password.DigestOptionVisible());

        for (const char* name : {"Emptyclipboard1", "Emptyclipboard2"}) {
            clipboard.setText("full");
            w.findChild<QAction*>(name)->trigger();
            QVERIFY2(clipboard.text().isEmpty(), name);
        }
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QTemporaryDir settings; // the main window stores its placement
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    TestTextCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_text_commands.moc"
