// corvane: calls the network component from scripts (see corvane --help).
#include "corvanecom/host/CorvaneHost.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    corvane::host::CorvaneHost host(std::cout, std::cerr);
    return host.Run(args);
}
