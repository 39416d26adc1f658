# Makes the page a browser plays on from web/: index.html with its
# stylesheet and script put in their places, as one C++ string.
#   cmake -D WEB=<web folder> -D OUT=<file.cpp> -P EmbedPage.cmake
file(READ "${WEB}/index.html" page)
file(READ "${WEB}/page.css" css)
file(READ "${WEB}/page.js" js)

# The stylesheet's lines are indented inside the page.
string(REGEX REPLACE "\n([^\n])" "\n  \\1" css "${css}")
set(css "  ${css}")

set(link "<link rel=\"stylesheet\" href=\"page.css\">\n")
set(script "<script src=\"page.js\"></script>\n")
foreach(tag link script)
    string(FIND "${page}" "${${tag}}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "web/index.html: no ${${tag}}")
    endif()
endforeach()
string(REPLACE "${link}" "<style>\n${css}</style>\n" page "${page}")
string(REPLACE "${script}" "<script>\n${js}</script>\n" page "${page}")

set(end ")ZANFIR_PAGE\"")
string(FIND "${page}" "${end}" at)
if(NOT at EQUAL -1)
    message(FATAL_ERROR "web/: the page holds ${end}")
endif()
file(WRITE "${OUT}.new"
     "// Made at build time from web/ (cmake/EmbedPage.cmake): edit those files.\n"
     "namespace zanfir {\n"
     "extern const char* const WEB_PAGE;\n"
     "const char* const WEB_PAGE = R\"ZANFIR_PAGE(${page}${end};\n"
     "} // namespace zanfir\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
