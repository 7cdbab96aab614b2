// The window kit: the "." rule, scripted boxes and dialogs, and the error
// report of the application's event dispatch.

#include "core/error.h"
#include "gui/kit/application.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"

#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include <functional>

using namespace ciphra::gui;

namespace {

// Fails the way a command's handler can, by the kind given.
void Fail(int kind)
{
    if (kind == 0)
        throw ciphra::Exception("Disk full");
    if (kind == 1)
        throw std::runtime_error("path not found.");
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    throw std::runtime_error("");
}

// An object whose event handler fails: what escapes every guard.
class FailingObject : public QObject {
public:
    int kind = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            Fail(kind);
        return QObject::event(event);
    }
};

} // namespace

class TestUiKit : public QObject {
    Q_OBJECT
private slots:
    void finalDot_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("letter") << "Disk full"
                                << "Disk full.";
        QTest::newRow("dot") << "Done."
                             << "Done.";
        QTest::newRow("digit after dot") << "I/O error 5"
                                         << "I/O error 5.";
        QTest::newRow("comma sorts before dot") << "a,"
                                                << "a,";
        QTest::newRow("bracket sorts before dot") << "(x)"
                                                  << "(x)";
        QTest::newRow("slash sorts after dot") << "/tmp/"
                                               << "/tmp/.";
        QTest::newRow("multi line") << "Key\r\"Use\""
                                    << "Key\r\"Use\"";
    }
    void finalDot()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(WithFinalDot(message), shown);
    }

    void boxesAreRecordedWithTheirTitles()
    {
        MessageBoxScript script;
        script.QueueAnswer(true);
        QVERIFY(ConfirmBox(nullptr, "sure?"));
        QVERIFY(!ConfirmBox(nullptr, "again?")); // queue empty: "&No"
        InformationBox(nullptr, "info");
        ErrorBox(nullptr, "err");
        PlainBox(nullptr, "plain");
        const std::vector<std::pair<QString, QString>> expected = {
            {"Confirm", "sure?"}, {"Confirm", "again?"},  {"Information", "info"},
            {"Error", "err"},     {"Ciphra 2K", "plain"},
        };
        QCOMPARE(script.Boxes().size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(script.Boxes()[i].title, expected[i].first);
            QCOMPARE(script.Boxes()[i].text, expected[i].second);
        }
    }

    void modalScriptFillsTheDialog()
    {
        ModalScript script;
        QDialog dialog;
        dialog.setWindowTitle("Enter password:");
        auto* edit = new QLineEdit(&dialog);
        script.Queue([](QDialog& shown) {
            shown.findChild<QLineEdit*>()->setText("secret");
            return int(QDialog::Accepted);
        });
        QCOMPARE(ExecModal(dialog), int(QDialog::Accepted));
        QCOMPARE(edit->text(), QString("secret"));
        QCOMPARE(ExecModal(dialog), int(QDialog::Rejected)); // no step left
        QCOMPARE(script.Shown(), (std::vector<QString>{"Enter password:", "Enter password:"}));
    }

    void unhandledFailuresReachTheReport_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("program error") << 0 << "Disk full.";
        QTest::newRow("standard error") << 1 << "path not found.";
        QTest::newRow("empty message, hourglass taken back") << 2 << "";
    }
    void unhandledFailuresReachTheReport()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        bool rest = false;
        const auto handler = [&] {
            Fail(kind);
            rest = true;
        };
        FailingObject object;
        object.kind = kind;
        QEvent event(QEvent::User);
        // A guarded handler, a guarded slot, and the event dispatch.
        const std::vector<std::function<void()>> ways = {
            [&] { QVERIFY(!RunGuarded(handler)); },
            [&] { Guarded(handler)(); },
            [&] { QCoreApplication::sendEvent(&object, &event); },
        };
        for (const auto& way : ways) {
            MessageBoxScript script;
            way();
            QVERIFY(!rest); // the handler ends where it failed
            QCOMPARE(script.Boxes().size(), std::size_t(1));
            QCOMPARE(script.Boxes()[0].kind, BoxKind::ErrorReport);
            QCOMPARE(script.Boxes()[0].title, QString("Ciphra 2K"));
            QCOMPARE(script.Boxes()[0].text, shown);
            QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        }
    }

    void guardedRunsSucceedQuietly()
    {
        MessageBoxScript script;
        int runs = 0;
        QVERIFY(RunGuarded([&] { ++runs; }));
        Guarded([&] { ++runs; })();
        QCOMPARE(runs, 2);
        QVERIFY(script.Boxes().empty());
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestUiKit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_uikit.moc"
