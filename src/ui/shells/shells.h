#pragma once
// Placeholder windows: created at start-up with their captions and sizes so
// that the main window can show them. Each is replaced by the finished
// window of its own area (hash, password, wipe progress, viewer, text
// encryption), which keeps the class name and the members used here.

#include <QDialog>

#include "tools/hash_window.h"
#include "tools/wipe_window.h"

namespace ciphra::ui {

// The password dialog.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

// The file viewer.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
};

// The string and clipboard encryption window.
class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);
};

} // namespace ciphra::ui
