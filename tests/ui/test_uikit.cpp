// The window kit: the "." rule, scripted boxes and dialogs, and the error
// report of the application's event dispatch.

#include "crypto/exception.h"
#include "ui/kit/application.h"
#include "ui/kit/message_boxes.h"
#include "ui/kit/modal.h"

#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

using namespace ciphra::ui;

namespace {

// A widget whose key handler fails the way a command's handler can.
class FailingWidget : public QWidget {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_A)
            throw ciphra::Exception("Disk full");
        if (event->key() == Qt::Key_B)
            throw std::runtime_error("path not found.");
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        throw std::runtime_error("");
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
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");
        QTest::newRow("program error") << int(Qt::Key_A) << "Disk full.";
        QTest::newRow("standard error") << int(Qt::Key_B) << "path not found.";
        QTest::newRow("empty message, hourglass taken back") << int(Qt::Key_C) << "";
    }
    void unhandledFailuresReachTheReport()
    {
        QFETCH(int, key);
        QFETCH(QString, shown);
        MessageBoxScript script;
        FailingWidget widget;
        widget.show();
        QTest::keyClick(&widget, Qt::Key(key));
        QCOMPARE(script.Boxes().size(), std::size_t(1));
        QCOMPARE(script.Boxes()[0].kind, BoxKind::ErrorReport);
        QCOMPARE(script.Boxes()[0].title, QString("Ciphra 2K"));
        QCOMPARE(script.Boxes()[0].text, shown);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestUiKit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_uikit.moc"
