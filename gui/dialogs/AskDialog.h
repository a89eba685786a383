// A yes/no question. Run it through DialogSeam::exec: an accepted run (YES) means yes.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AskDialog;
}

class AskDialog : public QDialog {
    Q_OBJECT

public:
    explicit AskDialog(QWidget* parent = nullptr);
    ~AskDialog() override;

    // Same title rule as the message dialog.
    void setText(const QString& title, const QString& text);
    // 1 after YES, 0 after NO; 1 until the user answers.
    int getResponseValue() const { return m_response; }

    // Escape and the window's close button answer NO, not the initial yes.
    void reject() override;

private:
    std::unique_ptr<Ui::AskDialog> m_ui;
    int m_response = 1;
};
