// The stand-in fiscal driver as a program: WQG.exe PAR.PAS
#include "standin_driver/standin_logic.h"

int main(int argc, char** argv) {
    return standin::Run(argc > 1 ? argv[1] : "PAR.PAS", standin::ConfigFromEnvironment());
}
