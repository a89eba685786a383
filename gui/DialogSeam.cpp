#include "gui/DialogSeam.h"

#include <QDialog>
#include <QFileDialog>

#include <deque>

namespace {

struct Preloaded {
    bool active = false;
    std::deque<QString> fileNames;
    std::deque<DialogSeam::Answer> answers;
    int unexpected = 0;
};

// Only the main thread opens dialogs, so this needs no lock.
Preloaded& preloaded() {
    static Preloaded state;
    return state;
}

QString nextFileName() {
    Preloaded& state = preloaded();
    if (state.fileNames.empty()) {
        ++state.unexpected;
        return {};
    }
    QString name = state.fileNames.front();
    state.fileNames.pop_front();
    return name;
}

} // namespace

QString DialogSeam::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (preloaded().active)
        return nextFileName();
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DialogSeam::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (preloaded().active)
        return nextFileName();
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

int DialogSeam::exec(QDialog& dialog) {
    Preloaded& state = preloaded();
    if (!state.active)
        return dialog.exec();
    if (state.answers.empty()) {
        ++state.unexpected;
        return QDialog::Rejected;
    }
    Answer answer = std::move(state.answers.front());
    state.answers.pop_front();
    return answer(dialog);
}

void DialogSeam::pushFileName(const QString& name) {
    preloaded().active = true;
    preloaded().fileNames.push_back(name);
}

void DialogSeam::pushAnswer(Answer answer) {
    preloaded().active = true;
    preloaded().answers.push_back(std::move(answer));
}

int DialogSeam::unexpectedDialogs() {
    return preloaded().unexpected;
}

void DialogSeam::reset() {
    preloaded() = Preloaded{};
}
