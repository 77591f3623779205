// Plays the sibling program that a request starts again: writes the
// arguments it was given, space-separated, into "args.txt" in its folder.
#include <fstream>

int main(int argc, char** argv) {
    std::ofstream out("args.txt", std::ios::binary);
    for (int i = 1; i < argc; ++i) out << (i > 1 ? " " : "") << argv[i];
    return 0;
}
