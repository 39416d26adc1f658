// The page a browser plays on: one file, nothing fetched from elsewhere.
// Its parts are web/index.html, page.css and page.js, made into WEB_PAGE at
// build time.

#include "net/Web.h"

namespace zanfir {

extern const char* const WEB_PAGE;

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string WebListener::page(const std::string& title) {
    std::string out = WEB_PAGE, mark = "{{TITLE}}", name = escaped(title);
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + name.size()))
        out.replace(at, mark.size(), name);
    return out;
}

} // namespace zanfir
