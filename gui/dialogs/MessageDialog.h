// The window's message box: a title, a text and an OK button. Run it through DialogSeam::exec.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class MessageDialog;
}

class MessageDialog : public QDialog {
    Q_OBJECT

public:
    explicit MessageDialog(QWidget* parent = nullptr);
    ~MessageDialog() override;

    // The window title becomes "Dalvora - <title>" ("Dalvora" alone for an empty title); the text
    // replaces the message line.
    void setText(const QString& title, const QString& text);

private:
    std::unique_ptr<Ui::MessageDialog> m_ui;
};
