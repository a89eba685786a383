// dalvoractl: the fleet tool. Everything is in the ctl library, so the tests run the same code.
#include "ctl/CtlApp.h"

#include <iostream>

int main(int argc, char** argv) {
    return ctl::RunDalvoractl(argc, argv, std::cout, std::cerr);
}
