// Handing an image to the desktop's clipboard, where there is one.
#ifndef TESSELIN_APP_FILES_CLIPBOARD_H
#define TESSELIN_APP_FILES_CLIPBOARD_H

#include <string>

namespace tesselin {

// Puts PNG bytes on the clipboard with wl-copy (Wayland) or xclip (X11),
// whichever has a display and is installed. Returns the tool used, or an
// empty text when no clipboard took the image.
std::string CopyPngToClipboard(const std::string &png);

} // namespace tesselin

#endif
