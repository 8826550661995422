// halvorn-lang: builds and reads language files for translators.
#include <iostream>
#include <string>
#include <vector>

#include "lang/tool/language_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return lang::RunLanguageTool(args, std::cout, std::cerr);
}
