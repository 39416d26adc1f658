#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Action;
class Config;
class Exception;

// One declaration of a definition file, as the loader reads it.
struct Declaration {
    enum class Kind {
        File,     // a definition file
        Item,     // a section of the inventory, or an item a place of the map lists
        Location, // a section of the map
        Text,     // the description of an item or a place
        Binding,
        Message,
        Event,
    };

    Declaration(Kind kind, std::string file, int line = 0, std::string section = "",
                std::string variable = "")
        : kind(kind), file(std::move(file)), line(line), section(std::move(section)),
          variable(std::move(variable)) {}

    Kind kind;
    std::string file;     // the file's name, without its folder
    int line = 0;         // where it stands in the file; 0 for a whole file
    std::string section;  // e.g. "LAMPADA", "ACTIONS", "SALA/EVENTS"; empty for a file
    std::string variable; // the declaration as written (upper-cased by the reader)
    // Once loaded: its key in its table (a binding or event key, a message,
    // item or place name) and what it runs (texts, bindings, messages and
    // events); the file read, for a file.
    std::string key;
    std::shared_ptr<Action> action;
    std::shared_ptr<const Config> config;
};

// Follows a load declaration by declaration: a checker of adventures, for
// instance, learns where everything came from without reading a file again.
class LoadListener {
public:
    virtual ~LoadListener() = default;

    // A declaration is about to be loaded; false leaves it out.
    virtual bool admit(const Declaration&) { return true; }
    virtual void loaded(const Declaration&) {}
    // Loading a declaration failed. When this returns, loading goes on with
    // the next declaration (a description that failed is replaced by the
    // name of its item or place in quotes); throwing ends it.
    virtual void failed(const Declaration& declaration, const Exception& error) = 0;
};

} // namespace zanfir
