// The page a browser plays on: one file, nothing fetched from elsewhere.
// Its parts are web/index.html, page.css and page.js, made into WEB_PAGE at
// build time.

#include "net/Web.h"

#include <utility>

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

std::string WebListener::page(const std::string& title, std::size_t maxLine) {
    std::string out = WEB_PAGE;
    for (auto [mark, value] : {std::pair<std::string, std::string>{"{{TITLE}}", escaped(title)},
                               {"{{MAXLINE}}", std::to_string(maxLine)}})
        for (auto at = out.find(mark); at != std::string::npos;
             at = out.find(mark, at + value.size()))
            out.replace(at, mark.size(), value);
    return out;
}

} // namespace zanfir
