#include "cli/commands.h"

int main(int argc, char** argv) { return cordavex::cli::Main(argc, argv); }
