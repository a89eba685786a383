// The window's fonts: the four Courier-compatible faces and Open Sans light and semibold, all taken
// from the resource bundle, with Open Sans light as the application font.
#pragma once

// Registers the six fonts and sets the application font. False when a font could not be registered;
// the fonts that could are still usable.
[[nodiscard]] bool RegisterApplicationFonts();
