// The one look shared by the window's small dialogs: white frame, blue or grey labels, blue push
// buttons, and white bordered buttons in the OK/Cancel frames. Every dialog takes its style sheet here.
#pragma once

#include <QString>
#include <QWidget>

namespace DialogStyle {

inline constexpr const char* kBlue = "#1D70B7";
inline constexpr const char* kGrey = "#B1B1B1";

// The dialog itself, its labels and its plain push buttons.
inline constexpr const char* kDialog = R"(
QDialog { background-color: white; }
QLabel { color: #1D70B7; background: transparent; }
QLabel[tone="grey"] { color: #B1B1B1; }
QPushButton {
    background-color: #1D70B7; color: white;
    border: 1px solid #1D70B7; padding: 6px 18px; min-width: 70px;
}
QPushButton:hover { background-color: #C2E0FF; color: #1D70B7; border: 1px solid #1D70B7; }
QPushButton:pressed { background-color: #99CCFF; }
QPushButton:focus { border: 2px solid #003250; }
QRadioButton { color: #1D70B7; }
)";

// Buttons inside a frame named "frameButtons": white with blue text, the border widening on hover.
inline constexpr const char* kButtonFrame = R"(
QFrame#frameButtons QPushButton {
    background-color: white; color: #1D70B7;
    border: 1px solid #1D70B7; padding: 6px 18px; min-width: 70px;
}
QFrame#frameButtons QPushButton:hover { border: 2px solid #1D70B7; }
QFrame#frameButtons QPushButton:pressed { background-color: #99CCFF; }
QFrame#frameButtons QPushButton:focus { border: 2px solid #1D70B7; }
)";

// The window title of the message and question dialogs: the product name, then the caller's title.
inline QString WindowTitle(const QString& title) {
    return title.isEmpty() ? QString("Dalvora") : "Dalvora - " + title;
}

// Gives a dialog the shared look.
inline void Apply(QWidget& dialog) {
    dialog.setStyleSheet(QString(kDialog) + kButtonFrame);
}

} // namespace DialogStyle
