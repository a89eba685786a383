// Every modal dialog and file dialog of the window runs through here. In production this is the plain
// Qt call; a test preloads the answers (file names, and what to do with the next modal dialog) so that
// no test has to hunt for the active modal widget with timers.
#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

class DialogSeam {
public:
    // What a test does with a dialog instead of running it: look at it, set its widgets, return the
    // result exec() would have returned.
    using Answer = std::function<int(QDialog&)>;

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    // Runs the dialog modally and returns its result.
    static int exec(QDialog& dialog);

    // Test side. Preloaded answers are used in order, one per call; once a test has preloaded
    // anything, a dialog nothing was preloaded for is not run: it is counted and rejected (0 / an
    // empty file name), so a forgotten answer fails the test instead of hanging it.
    static void pushFileName(const QString& name);
    static void pushAnswer(Answer answer);
    static int unexpectedDialogs();
    static void reset();
};
