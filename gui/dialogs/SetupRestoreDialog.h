// Asks whether restoring values affects every setup item or only the current page's items.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SetupRestoreDialog;
}

class SetupRestoreDialog : public QDialog {
    Q_OBJECT

public:
    explicit SetupRestoreDialog(QWidget* parent = nullptr);
    ~SetupRestoreDialog() override;

    // 1 when only the current page is affected, 0 for all setup items.
    int getSelection() const;

private:
    std::unique_ptr<Ui::SetupRestoreDialog> m_ui;
};
