// The compiled-in fonts and images. dalvora_gui is a static library, so the bundle's registration is
// only linked in when something calls it: every user of ":/fonts/" or ":/images/" calls this first.
#pragma once

// Registers the bundle with Qt's resource system; later calls do nothing.
void EnsureApplicationResources();
