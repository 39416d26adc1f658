#include "console/EditingTerminal.h"

#include <histedit.h>
#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace zanfir {

namespace {

// The player's locale when it is a UTF-8 one, else C.UTF-8: what is typed
// is decoded with it. Only the editor's calls use it, so no character
// test of the engine changes.
locale_t utf8Locale() {
    locale_t own = ::newlocale(LC_CTYPE_MASK, "", nullptr);
    if (own && std::strcmp(::nl_langinfo_l(CODESET, own), "UTF-8") == 0)
        return own;
    if (own)
        ::freelocale(own);
    return ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
}

// The calling thread uses `locale` while it lives (none: nothing changes).
class LocaleScope {
public:
    explicit LocaleScope(locale_t locale) : _old(locale ? ::uselocale(locale) : nullptr) {}
    ~LocaleScope() {
        if (_old)
            ::uselocale(_old);
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    locale_t _old;
};

// The terminal's modes before any editing, given back when a signal ends or
// stops the program while a line is edited (one terminal per process: the
// console). The editor's own signal handling is not used: its handlers
// allocate and redraw, which a handler may not do in a program of threads.
int restored = -1;
termios before{};
const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
struct sigaction previous[std::size(SIGNALS)];

void onSignal(int signal);

void catchSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

void onSignal(int signal) {
    int error = errno;
    termios editing{};
    bool known = ::tcgetattr(restored, &editing) == 0;
    ::tcsetattr(restored, TCSANOW, &before);
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    // Still here: continued after a stop (Ctrl-Z, then fg); editing goes on.
    catchSignal(signal);
    if (known)
        ::tcsetattr(restored, TCSANOW, &editing);
    errno = error;
}

// Handles the signals for the terminal `fd`, or (-1) hands them back to the
// handlers found; a signal that was ignored stays ignored.
void giveBackOnSignals(int fd) {
    if (fd >= 0 && ::tcgetattr(fd, &before) != 0)
        return;
    restored = fd;
    for (std::size_t i = 0; i < std::size(SIGNALS); ++i) {
        if (fd < 0) {
            ::sigaction(SIGNALS[i], &previous[i], nullptr);
        } else if (::sigaction(SIGNALS[i], nullptr, &previous[i]) == 0 &&
                   previous[i].sa_handler != SIG_IGN) {
            catchSignal(SIGNALS[i]);
        }
    }
}

FILE* openCopy(int fd, const char* mode) {
    int copy = ::dup(fd);
    FILE* file = copy < 0 ? nullptr : ::fdopen(copy, mode);
    if (!file && copy >= 0)
        ::close(copy);
    return file;
}

} // namespace

EditingTerminal::EditingTerminal(int in, int out, bool fitWidth, int history)
    : ConsoleTerminal(in, out, fitWidth), _locale(utf8Locale()) {
    LocaleScope scope(_locale);
    _in_file = openCopy(in, "r");
    _out_file = openCopy(out, "w");
    if (_in_file && _out_file)
        _editor = ::el_init("zanfir", _in_file, _out_file, _out_file);
    if (!_editor)
        return;
    ::el_set(_editor, EL_CLIENTDATA, this);
    ::el_set(_editor, EL_PROMPT, &EditingTerminal::prompt);
    ::el_set(_editor, EL_EDITOR, "emacs");
    giveBackOnSignals(in);
    _history = ::history_init();
    if (_history) {
        HistEvent event;
        ::history(_history, &event, H_SETSIZE, history);
        ::history(_history, &event, H_SETUNIQUE, 1);
        ::el_set(_editor, EL_HIST, ::history, _history);
    }
    ::el_source(_editor, nullptr); // the player's ~/.editrc, if any
}

EditingTerminal::~EditingTerminal() {
    if (_editor)
        giveBackOnSignals(-1);
    LocaleScope scope(_locale);
    if (_editor)
        ::el_end(_editor);
    if (_history)
        ::history_end(_history);
    for (FILE* file : {_in_file, _out_file})
        if (file)
            ::fclose(file);
    if (_locale)
        ::freelocale(_locale);
}

char* EditingTerminal::prompt(EditLine* editor) {
    EditingTerminal* self = nullptr;
    ::el_get(editor, EL_CLIENTDATA, &self);
    return self->_prompt.data();
}

void EditingTerminal::flush() {
    auto cut = _pending.rfind('\n');
    _shown = cut == std::string::npos ? _shown + _pending : _pending.substr(cut + 1);
    ConsoleTerminal::flush();
}

bool EditingTerminal::fill() {
    if (!_editor)
        return ConsoleTerminal::fill();
    if (_ended)
        return false;
    // The rows that are ended go out; the last one is redrawn by the editor
    // from its first column, also when part of it was sent already.
    auto cut = _pending.rfind('\n');
    if (cut == std::string::npos) {
        _prompt = _shown + _pending;
        _pending.clear();
        if (!_shown.empty())
            _pending.push_back('\r'); // back to the row's start
    } else {
        _prompt = _pending.substr(cut + 1);
        _pending.erase(cut + 1);
    }
    ConsoleTerminal::flush();
    _shown.clear();

    LocaleScope scope(_locale);
    ::el_resize(_editor); // the window may have changed since the last line
    int count = 0;
    const char* line = ::el_gets(_editor, &count);
    if (!line || count <= 0) {
        _ended = true;
        _pending += "\n"; // after the editor's "^D": what follows starts a row
        return false;
    }
    _buffer.erase(0, _next);
    _next = 0;
    _buffer.append(line, static_cast<std::size_t>(count));
    std::string typed(line, static_cast<std::size_t>(count));
    if (typed.ends_with('\n'))
        typed.pop_back();
    if (_history && typed.find_first_not_of(" \t") != std::string::npos) {
        HistEvent event;
        ::history(_history, &event, H_ENTER, typed.c_str());
    }
    return true;
}

} // namespace zanfir
