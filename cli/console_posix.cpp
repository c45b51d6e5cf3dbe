#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "cli/text.h"

std::vector<std::string> CommandLineUtf8(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void PrintText(FILE* stream, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

bool IsLiveTerminal(FILE* stream)
{
    const char* term = std::getenv("TERM");
    return isatty(fileno(stream)) && term != nullptr && std::string(term) != "dumb";
}

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

// Echo goes off before the prompt shows, and without TCSAFLUSH: what is
// typed as soon as the prompt appears must neither show nor be thrown away.
bool ReadHiddenLine(const char* prompt, std::string& utf8)
{
    termios before{};
    const bool terminal = tcgetattr(STDIN_FILENO, &before) == 0;
    termios hidden = before;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &hidden);
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    std::string line;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &before);
    std::fputs("\n", stderr);
    if (c == EOF && line.empty())
        return false;
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    utf8 = line;
    return true;
}

