// The encrypt and decrypt commands through the real main window: its
// selection, its two options, its refresh, and its error report.

#include <QCheckBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>

#include "core/crypto/twofish.h"
#include "file_command_bench.h"
#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_model.h"
#include "gui/list/file_list_view.h"
#include "gui/ui_test_support.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/password_dialog.h"

using namespace ciphra;
using namespace ciphra::gui;

namespace {

void Select(MainWindow& w, const QStringList& names)
{
    for (int row = 0; row < w.entries->rowCount(); ++row) {
        if (names.contains(w.entries->Entry(row).Name))
            w.fileList->Selection()->select(
                w.entries->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    w.SetFileCommandsEnabled(true);
}

QStringList Listed(MainWindow& w)
{
    QStringList names;
    for (int row = 0; row < w.entries->rowCount(); ++row)
        names << w.entries->Entry(row).Name;
    return names;
}

void AnswerPassword(ModalScript& dialogs, PasswordDialog& dialog, const QString& password,
                    bool digest)
{
    dialogs.Queue([&dialog, password, digest](QDialog&) {
        dialog.passwordEdit->setText(password);
        dialog.digestOption->setChecked(digest);
        return int(QDialog::Accepted);
    });
}

} // namespace

class TestFileCommandsWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { testing::ClearSettings(); }

    void encryptThenDecryptTheSelectedEntries()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "first plain file");
        test::WriteBytes(folder / "b.txt", "second plain file");
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(QString::fromStdString(folder.Path().string()));
        Select(w, {"a.txt", "b.txt"});
        MessageBoxScript boxes;
        ModalScript dialogs;
        AnswerPassword(dialogs, *windows.Others().password, "pw", true);

        w.commands.encryptAction->trigger();

        QCOMPARE(Listed(w), (QStringList{"a.txt", "a.txt.CPH", "b.txt", "b.txt.CPH"}));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        QCOMPARE(boxes.Boxes().size(), std::size_t(2));
        QCOMPARE(test::ReadBytes(folder / "b.txt.CPH"),
                 test::Encrypted("second plain file", "pw", true));

        // In place, with the confirmation answered "&Yes".
        w.commands.overwriteOption->setChecked(true);
        Select(w, {"a.txt.CPH"});
        boxes.Clear();
        boxes.QueueAnswer(true);
        AnswerPassword(dialogs, *windows.Others().password, "pw", true);

        w.commands.decryptAction->trigger();

        QCOMPARE(test::ReadBytes(folder / "a.txt.CPH"), std::string("first plain file"));
        QCOMPARE(boxes.Boxes().back().text, QString("All done. File Decrypted."));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        QVERIFY(windows.Others().hash->fileNameEdit->text().isEmpty());
    }

    void overlongPasswordReachesTheErrorReport()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "plain");
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(QString::fromStdString(folder.Path().string()));
        Select(w, {"a.txt"});
        MessageBoxScript boxes;
        ModalScript dialogs;
        AnswerPassword(dialogs, *windows.Others().password, QString(33, 'x'), false);

        w.commands.encryptAction->trigger();

        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::ErrorReport);
        QCOMPARE(boxes.Boxes()[0].text, WithFinalDot(TwofishKeyLengthMessage()));
        QCOMPARE(QDir(QString::fromStdString(folder.Path().string())).entryList(QDir::Files),
                 QStringList{"a.txt"});
    }
};

CIPHRA_UI_TEST_MAIN(TestFileCommandsWindow)

#include "test_file_commands_window.moc"
