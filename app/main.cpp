// halvorn-terminal: the terminal for stepper-motor controllers.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/links.h"
#include "app/program.h"
#include "console/stop_signals.h"

int main(int argc, char** argv) {
  // First of all: a signal from here on is counted and acted on when the
  // run can act, instead of ending the program by its default action.
  app::stop_signals::Install();
  std::ios::sync_with_stdio(false);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  app::ProgramIo io{std::cin,     std::cout,     std::cerr,
                    STDIN_FILENO, STDOUT_FILENO, argc > 0 ? argv[0] : ""};
  return app::RunProgram(arguments, io, app::InstallRealLinks);
}
