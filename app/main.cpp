#include "app/entry.h"

int main(int argc, char** argv) { return cordavex::app::Main(argc, argv); }
