// PNG files through the Windows Imaging Component, which every Windows has.
#ifndef TESSELIN_PLATFORM_WIN32_HOST_PNG_WRITER_H
#define TESSELIN_PLATFORM_WIN32_HOST_PNG_WRITER_H

#include "platform/win32/host/script_host.h"

#include <string>

namespace tesselin::windows {

// Writes pixels as a 24-bit PNG at path: first to a temporary file beside
// it, which replaces path only when complete, so that a failure leaves what
// was there. False with the reason in error.
bool WritePng(const std::string &path, const Pixels &pixels, std::string &error);

} // namespace tesselin::windows

#endif
