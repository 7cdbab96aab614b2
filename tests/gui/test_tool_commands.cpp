// The shred and hash commands through the real main window: the selected
// entries of its list, its refresh and its selection.

#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_model.h"
#include "gui/list/file_list_view.h"
#include "gui/shells/shells.h"
#include "gui/ui_test_support.h"

#include <QItemSelectionModel>
#include <QLineEdit>

using namespace ciphra::gui;
using ciphra::gui::testing::FolderOf;

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

} // namespace

class TestToolCommands : public QObject {
    Q_OBJECT
private slots:
    void init() { ciphra::gui::testing::ClearSettings(); }

    void shredWipesTheSelectedEntriesAndListsTheFolderAgain()
    {
        FolderOf folder({"a.txt", "b.txt", "c.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        windows.Others().wipeProgress->beep = [] {};
        w.ShowFolderByPath(folder.Path());
        Select(w, {"a.txt", "c.txt"});
        MessageBoxScript boxes;
        boxes.QueueAnswer(true);
        w.commands.shredAction->trigger();
        QCOMPARE(Listed(w), QStringList{"b.txt"});
        QCOMPARE(QDir(folder.Path()).entryList(QDir::Files), QStringList{"b.txt"});
        QCOMPARE(boxes.Boxes().size(), std::size_t(2));
        QCOMPARE(boxes.Boxes()[1].text, QString("File(s) shredded..."));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
    }

    void wipeFileSetsWipeSucceeded()
    {
        FolderOf folder({"a.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        windows.Others().wipeProgress->beep = [] {};
        MessageBoxScript boxes;
        w.WipeFile(folder.FilePath("a.txt"), 1);
        QVERIFY(w.wipeSucceeded);
        w.WipeFile(folder.FilePath("a.txt"), 1);
        QVERIFY(!w.wipeSucceeded);
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].text,
                 "Unable to get file from disk: \n\n" + folder.FilePath("a.txt"));
    }

    void hashShowsTheWindowOnTheFirstSelectedEntry()
    {
        FolderOf folder({"a.txt", "b.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(folder.Path());
        Select(w, {"b.txt"});
        ModalScript modal;
        QString hashed;
        modal.Queue([&](QDialog& dialog) {
            auto& hash = static_cast<HashWindow&>(dialog);
            hash.OnHash();
            hashed = hash.hashEdit->text();
            hash.reject();
            return int(QDialog::Rejected);
        });
        w.commands.hashAction->trigger();
        // SHA-1 of "x", the content FolderOf writes.
        QCOMPARE(hashed, QString("0x11F6AD8EC52A2984ABAAFD7C3B516503785C2072"));
        QVERIFY(windows.Others().hash->fileNameEdit->text().isEmpty());
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
    }
};

CIPHRA_UI_TEST_MAIN(TestToolCommands)
#include "test_tool_commands.moc"
