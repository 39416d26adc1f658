#pragma once

#include <string>
#include <vector>

namespace zanfir {

// The entry point: checks the command line and runs the engine.
class Zanfir {
public:
    // Returns the process exit status: 0 after a normal run, 1 when
    // start-up failed or a failure ended the console's game, 2 for an
    // invalid command line.
    static int main(const std::vector<std::string>& args);
};

} // namespace zanfir
