#include "VelkanTool.h"

#include <iostream>

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    velkan::VelkanTool tool(std::cout, std::cerr);
    return tool.run(args);
}
