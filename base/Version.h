// The product's release text, shown by --version, the usage text and the window title.
#pragma once

inline constexpr const char* kDalvoraRelease = "1.1.1";

// The software code shown by the window's About dialog.
inline constexpr const char* kDalvoraSoftwareCode = "07SW0000004213";
