// The small frameless box shown while a background job runs: a title, the spinner and an optional
// message line that the main window updates with progress texts.
#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class WaitingSpinnerWidget;

namespace Ui {
class WaitingDialog;
}

class WaitingDialog : public QDialog {
    Q_OBJECT

public:
    explicit WaitingDialog(const QString& title, QWidget* parent = nullptr);
    ~WaitingDialog() override;

    void setLabelMsgVisible(bool visible);
    QLabel* getLabelMsg() const;

private:
    std::unique_ptr<Ui::WaitingDialog> m_ui;
    WaitingSpinnerWidget* m_spinner = nullptr;
};
