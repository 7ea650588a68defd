#include <cstdio>
#include <string>
#include <vector>

#include "Grep.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return sjisgrep::Main(args, stdout, stderr);
}
