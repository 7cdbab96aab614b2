#pragma once
// Stand-ins for the password dialog and the file list's host interface until
// their own headers are merged. Removed on merge.

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QStringList>

namespace ciphra::ui {

class TForm4 : public QDialog {
public:
    explicit TForm4(QWidget* parent = nullptr)
        : QDialog(parent), Edit1(new QLineEdit(this)), CheckBox2(new QCheckBox(this))
    {
        CheckBox2->setChecked(true);
    }
    void ClearPasswordField()
    {
        Edit1->setText(QStringLiteral("00000000000000000000000000000000"));
        Edit1->clear();
    }
    QLineEdit* Edit1;
    QCheckBox* CheckBox2;
};

class FileListHost {
public:
    virtual QString FolderPath() const = 0;
    virtual QStringList SelectedNames() const = 0;
    virtual void RefreshFromPathBox() = 0;
    virtual void ClearSelection() = 0;

protected:
    ~FileListHost() = default;
};

} // namespace ciphra::ui
