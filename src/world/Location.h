#pragma once

#include <memory>
#include <string>

namespace zanfir {

class Description;

// A place of the map: its descriptions and its six exits, as written.
class Location {
public:
    static constexpr int N = 1;
    static constexpr int S = 2;
    static constexpr int E = 4;
    static constexpr int W = 8;
    static constexpr int U = 16;
    static constexpr int D = 32;

    struct Exits {
        std::string north, south, east, west, up, down;
    };

    Location(std::string name, std::shared_ptr<Description> descr,
             std::shared_ptr<Description> longDescr, Exits exits);
    virtual ~Location() = default;

    virtual const std::string& name() const { return _name; }
    virtual Description& descr() const { return *_descr; }
    virtual Description* descrLong() const { return _long_descr.get(); }
    virtual bool hasLongDescription() const { return _long_descr != nullptr; }
    virtual const std::string& north() const { return _exits.north; }
    virtual const std::string& south() const { return _exits.south; }
    virtual const std::string& east() const { return _exits.east; }
    virtual const std::string& west() const { return _exits.west; }
    virtual const std::string& up() const { return _exits.up; }
    virtual const std::string& down() const { return _exits.down; }
    // The exit of a direction bit; empty for no exit or another value.
    virtual std::string getNextByDirection(int direction) const;
    virtual bool equals(const Location* location) const;
    virtual bool equals(const std::string& name) const { return _name == name; }

private:
    std::string _name;
    std::shared_ptr<Description> _descr;
    std::shared_ptr<Description> _long_descr;
    Exits _exits;
};

} // namespace zanfir
