// A web page that shows the model on its own, offline: the .glb inside it as
// base64 and three.js with its glTF loader and orbit controls inside it too
// (taken from the system's copy when Tesselin was built), so that it opens
// from file:// in a current browser without fetching anything.
#ifndef TESSELIN_APP_EXPORT_PAGE_H
#define TESSELIN_APP_EXPORT_PAGE_H

#include <string>

namespace tesselin {

// The page for the .glb bytes glb, with title as its title.
std::string PageHtml(const std::string &glb, const std::string &title);

} // namespace tesselin

#endif
