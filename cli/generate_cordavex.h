// The Cordavex code half of `cordavex generate`: argv[0] is "cordavex".
#pragma once

namespace cordavex::cli {

int GenerateCordavex(int argc, char** argv);

}  // namespace cordavex::cli
