#pragma once

#include <locale.h>

#include <cstdio>
#include <string>

#include "runtime/ConsoleTerminal.h"

typedef struct editline EditLine;
typedef struct history History;

namespace zanfir {

// The console on a terminal device: the player edits the line typed with
// libedit (cursor keys, the lines typed before on Up and Down, the
// bindings of ~/.editrc), as UTF-8 text. The unfinished last row of the
// output (the game's question, "Cosa devo fare? ") becomes the editor's
// prompt and is drawn by the editor, so that no redraw of the line covers
// it. The end of the input (Ctrl-D on an empty line) ends the terminal as
// the end of piped input does. A signal that ends or stops the program
// gives the terminal its modes back first. One such terminal at a time in
// a process; reads come from one thread at a time.
class EditingTerminal : public ConsoleTerminal {
public:
    // The lines typed that Up and Down go back to.
    static constexpr int HISTORY = 1000;

    EditingTerminal(int in, int out, bool fitWidth = false, int history = HISTORY);
    ~EditingTerminal() override;
    EditingTerminal(const EditingTerminal&) = delete;
    EditingTerminal& operator=(const EditingTerminal&) = delete;

    void flush() override;

protected:
    bool fill() override;

private:
    static char* prompt(EditLine* editor);

    locale_t _locale;
    FILE* _in_file = nullptr;
    FILE* _out_file = nullptr;
    EditLine* _editor = nullptr; // none: lines are read as ConsoleTerminal reads them
    History* _history = nullptr;
    std::string _prompt;
    std::string _shown; // the last row sent, when it is not ended
};

} // namespace zanfir
