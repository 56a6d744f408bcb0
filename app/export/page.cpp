#include "app/export/page.h"
#include "app/export/gltf.h"

#include <string_view>

namespace tesselin {

namespace {

// three.js, its GLTFLoader and OrbitControls, and the page's own viewer,
// made into string literals at build time (app/export/embed_scripts.cmake).
const char *const Scripts[] = {
#include "page_scripts.inc"
};

std::string Escaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

constexpr std::string_view Style = R"(<style>
html, body { margin: 0; height: 100%; overflow: hidden; background: #202020; font: 14px sans-serif; }
#view { position: absolute; inset: 0; }
#bar { position: absolute; left: 8px; top: 8px; display: flex; gap: 6px; align-items: center; color: #ddd;
       background: rgba(0, 0, 0, 0.55); padding: 6px 8px; border-radius: 6px; }
#bar button { font: inherit; padding: 3px 8px; border: 1px solid #888; border-radius: 4px; background: #333; color: #eee; cursor: pointer; }
#bar button[aria-pressed="true"] { background: #eee; color: #111; }
#bar span { margin-left: 6px; color: #bbb; }
</style>
)";

} // namespace

std::string PageHtml(const std::string &glb, const std::string &title)
{
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                       Escaped(title) + "</title>\n";
    page += Style;
    page += "</head>\n<body>\n<div id=\"view\"></div>\n<div id=\"bar\"><strong>" + Escaped(title) +
            "</strong>"
            "<button id=\"mono\" aria-pressed=\"true\" title=\"M\">3D</button>"
            "<button id=\"anaglyph\" aria-pressed=\"false\" title=\"A\">Red-cyan</button>"
            "<button id=\"side-by-side\" aria-pressed=\"false\" title=\"S\">Side by side</button>"
            "<span>drag: turn &middot; right-drag: move &middot; wheel: zoom</span></div>\n";
    page += "<script type=\"application/octet-stream\" id=\"model\">";
    page += Base64(glb);
    page += "</script>\n";
    for (const char *script : Scripts) {
        page += "<script>\n";
        page += script;
        page += "\n</script>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

} // namespace tesselin
